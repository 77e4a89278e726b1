// Point and line sets built by the test writer.
#include "tests/support/u3d_geometry_writer.h"
#include "tests/u3dlib/geometry_test_support.h"

#include <gtest/gtest.h>

using namespace u3dlib;

namespace {

U3dGeneratorDesc setDesc(U3dGeneratorKind kind, uint32_t items, uint32_t positions)
{
    U3dGeneratorDesc desc;
    desc.kind = kind;
    desc.name = "Set";
    desc.primitiveCount = items;
    desc.positionCount = positions;
    desc.diffuseCount = 8;
    desc.shadings = {{0, {}, 0}, {1, {}, 0}};
    desc.positionIq = 1.0f / 64;
    desc.diffuseIq = 1.0f / 128;
    return desc;
}

void expectPositions(const AuthorGeometry& g, const std::vector<IFXVector3>& expected)
{
    ASSERT_EQ(g.positions.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(g.positions[i].x, expected[i].x, 1.0f / 128);
        EXPECT_NEAR(g.positions[i].y, expected[i].y, 1.0f / 128);
        EXPECT_NEAR(g.positions[i].z, expected[i].z, 1.0f / 128);
    }
}

TEST(PointSet, PointsWithNewAndRepeatedColours)
{
    U3dPointLineWriter writer(setDesc(U3dGeneratorKind::PointSet, 4, 3));
    std::vector<U3dPointLineUpdateDesc> updates(3);
    updates[0].position = {1, 2, 3};
    updates[0].items = {{1, 0, {u3dEnd(IFXVector4{1, 0, 0, 1})}}};
    updates[1].split = 0;
    updates[1].position = {1.5f, 2, 2};
    updates[1].items = {{1, 0, {u3dEnd(IFXVector4{0.5f, 0.25f, 0, 1})}}, {1, 0, {u3dEnd(std::nullopt)}}};
    updates[2].split = 1;
    updates[2].position = {-4, 0, 8};
    updates[2].normalCount = 0;
    updates[2].items = {{0, 0, {{}}}};
    const auto decoder = declare(writer.declarationBlock());
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(feed(*decoder, writer.continuationBlock(updates)));
    const AuthorGeometry& g = decoder->geometry();
    EXPECT_EQ(g.cornersPerPrimitive, 1u);
    EXPECT_EQ(g.primitiveCount, 4u);
    expectPositions(g, {{1, 2, 3}, {1.5f, 2, 2}, {-4, 0, 8}});
    EXPECT_EQ(g.positionIndices, (std::vector<uint32_t>{0, 1, 1, 2}));
    EXPECT_EQ(g.primitiveMaterials, (std::vector<uint32_t>{1, 1, 1, 0}));
    EXPECT_EQ(g.diffuseIndices, (std::vector<uint32_t>{0, 1, 1, 0}));
    ASSERT_EQ(g.diffuseColors.size(), 2u);
    EXPECT_NEAR(g.diffuseColors[1].g, 0.25f, 1.0f / 256);
    EXPECT_TRUE(g.normals.empty());
}

TEST(LineSet, LinesFromEarlierPositionsToTheNewOne)
{
    U3dPointLineWriter writer(setDesc(U3dGeneratorKind::LineSet, 3, 4));
    std::vector<U3dPointLineUpdateDesc> updates(4);
    updates[0].position = {0, 0, 0};
    updates[1].position = {1, 0, 0};
    updates[1].items = {{1, 0, {u3dEnd(IFXVector4{0, 0, 1, 1}), u3dEnd(std::nullopt)}}};
    updates[2].split = 1;
    updates[2].position = {1, 1, 0};
    updates[2].items = {{1, 1, {u3dEnd(std::nullopt), u3dEnd(IFXVector4{0, 1, 1, 1})}}, {0, 0, {{}, {}}}};
    updates[3].split = 2;
    updates[3].position = {0, 1, 0};
    const auto decoder = declare(writer.declarationBlock());
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(feed(*decoder, writer.continuationBlock({updates[0], updates[1]})));
    ASSERT_TRUE(feed(*decoder, writer.continuationBlock({updates[2], updates[3]})));
    const AuthorGeometry& g = decoder->geometry();
    EXPECT_EQ(g.cornersPerPrimitive, 2u);
    EXPECT_EQ(g.primitiveCount, 3u);
    expectPositions(g, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    EXPECT_EQ(g.positionIndices, (std::vector<uint32_t>{0, 1, 1, 2, 0, 2}));
    EXPECT_EQ(g.diffuseIndices, writer.endDiffuse());
    ASSERT_EQ(g.diffuseColors.size(), writer.diffuse().size());
    for (size_t i = 0; i < g.diffuseColors.size(); ++i)
        EXPECT_EQ(g.diffuseColors[i].b, writer.diffuse()[i].b);
}

} // namespace
