// Point and line sets built by the test writer.
#include "tests/u3dlib/geometry_test_support.h"
#include "u3dlib/stream_fault.h"

#include <gtest/gtest.h>

using namespace u3dlib;

namespace {

U3dGeneratorDesc setDesc(U3dGeneratorKind kind, uint32_t items, uint32_t positions)
{
    return {.kind = kind, .name = "Set", .primitiveCount = items, .positionCount = positions, .diffuseCount = 8,
            .shadings = {{0, {}, 0}, {1, {}, 0}}, .positionIq = 1.0f / 64, .diffuseIq = 1.0f / 128};
}

// Positions and colours exactly as the writer quantised them.
void expectWritten(const AuthorGeometry& g, const U3dPointLineWriter& w)
{
    ASSERT_EQ(g.positions.size(), w.positions().size());
    for (size_t i = 0; i < g.positions.size(); ++i)
        EXPECT_EQ(std::tie(g.positions[i].x, g.positions[i].y, g.positions[i].z),
                  std::tie(w.positions()[i].x, w.positions()[i].y, w.positions()[i].z));
    ASSERT_EQ(g.diffuseColors.size(), w.diffuse().size());
    for (size_t i = 0; i < g.diffuseColors.size(); ++i)
        EXPECT_EQ(std::tie(g.diffuseColors[i].r, g.diffuseColors[i].g, g.diffuseColors[i].b),
                  std::tie(w.diffuse()[i].r, w.diffuse()[i].g, w.diffuse()[i].b));
    EXPECT_EQ(g.positionIndices, w.endPositions());
}

TEST(PointSet, PointsWithNewAndRepeatedColours)
{
    U3dPointLineWriter writer(setDesc(U3dGeneratorKind::PointSet, 4, 3));
    std::vector<U3dPointLineUpdateDesc> updates(3);
    updates[0].position = {1, 2, 3};
    updates[0].items = {{1, 0, {u3dEnd(IFXVector4{1, 0, 0, 1})}}};
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
    expectWritten(g, writer);
    EXPECT_EQ(g.positionIndices, (std::vector<uint32_t>{0, 1, 1, 2}));
    EXPECT_EQ(g.primitiveMaterials, (std::vector<uint32_t>{1, 1, 1, 0}));
    EXPECT_EQ(g.diffuseIndices, (std::vector<uint32_t>{0, 1, 1, 0}));
    EXPECT_NEAR(g.diffuseColors[1].g, 0.25f, 1.0f / 256); // predicted from the colour at the split position
    EXPECT_TRUE(g.normals.empty());
}

TEST(LineSet, LinesFromEarlierPositionsToTheNewOne)
{
    U3dPointLineWriter writer(setDesc(U3dGeneratorKind::LineSet, 3, 4));
    std::vector<U3dPointLineUpdateDesc> updates(4);
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
    expectWritten(g, writer);
    EXPECT_EQ(g.positionIndices, (std::vector<uint32_t>{0, 1, 1, 2, 0, 2}));
    EXPECT_EQ(g.diffuseIndices, writer.endDiffuse());
}

// Beyond 0x3FFF positions an earlier position is coded plain: a line may then name
// the new position itself, or one that does not exist yet.
TEST(LineSet, LinesEndAtEarlierPositionsOnly)
{
    for (const uint32_t first : {0x4001u, 0x4002u}) {
        U3dPointLineWriter writer(setDesc(U3dGeneratorKind::LineSet, 1, 0x4002));
        std::vector<U3dPointLineUpdateDesc> updates(0x4002);
        for (U3dPointLineUpdateDesc& u : updates)
            u.normalCount = 0;
        updates.back().items = {{0, first, {{}, {}}}};
        const auto decoder = declare(writer.declarationBlock());
        EXPECT_FALSE(feed(*decoder, writer.continuationBlock(updates)));
        EXPECT_EQ(generatorFault(*decoder), StreamFault::IndexOutOfRange) << first;
    }
}

} // namespace
