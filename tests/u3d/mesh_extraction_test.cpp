#include "tests/u3d/fake_library.h"
#include "u3d/appearance.h"
#include "u3d/matrix4.h"
#include "u3d/mesh_extraction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

class MeshExtraction : public FakeLibraryTest {
protected:
    bool extract(FakeGeometry* mesh, const IFXMatrix4x4& world = identityMatrix(), IFXShadingModifier* shading = nullptr)
    {
        const bool result = extractMesh(scene.graph(), shading, mesh, world, out, nullptr, 0);
        EXPECT_EQ(mesh->locks, 0) << "author mesh left locked";
        EXPECT_EQ(gOutstandingReferences, 0) << "references left unreleased";
        return result;
    }

    std::array<uint8_t, 3> colourOf(uint32_t vertex) const
    {
        return {out.colours[vertex * 3], out.colours[vertex * 3 + 1], out.colours[vertex * 3 + 2]};
    }

    // A shading modifier whose shaders give the colours (and textures) listed.
    FakeShadingModifier* shadingWith(const std::vector<std::array<float, 3>>& colours,
                                     const std::vector<uint32_t>& textures = {})
    {
        std::vector<uint32_t> shaders;
        for (size_t i = 0; i < colours.size(); ++i) {
            const uint32_t material = scene.material("m" + std::to_string(i), colours[i]);
            shaders.push_back(scene.shader("s" + std::to_string(i), material, i < textures.size() ? textures[i] : 0));
        }
        return scene.shading(shaders);
    }

    SceneCollections out;
};

TEST_F(MeshExtraction, CubeWithFaceNormalsSplitsCornersIntoTwentyFourVertices)
{
    FakeGeometry* cube = scene.geometry("cube");
    for (int i = 0; i < 8; ++i)
        cube->positions.push_back({float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1)});
    cube->normals = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    const uint32_t quads[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    const uint32_t corners[6] = {0, 1, 2, 0, 2, 3}; // two triangles per side
    for (uint32_t side = 0; side < 6; ++side)
        for (uint32_t corner : corners) {
            cube->positionIndices.push_back(quads[side][corner]);
            cube->normalIndices.push_back(side);
        }
    ASSERT_TRUE(extract(cube, scaling(2, 2, 2)));
    EXPECT_EQ(out.vertexCount(), 24u);
    EXPECT_EQ(out.triangles.size(), 36u);
    std::set<std::array<float, 6>> distinct;
    for (uint32_t v = 0; v < 24; ++v) {
        const float* p = &out.vertices[v * 3];
        const float* n = &out.normals[v * 3];
        EXPECT_FLOAT_EQ(std::fabs(n[0]) + std::fabs(n[1]) + std::fabs(n[2]), 1.0f) << "unit normal " << v;
        distinct.insert({p[0], p[1], p[2], n[0], n[1], n[2]});
    }
    EXPECT_EQ(distinct.size(), 24u); // every corner once with each of its three normals
}

TEST_F(MeshExtraction, UnusedPositionsStayAndBadFacesAreDropped)
{
    FakeGeometry* noFaces = scene.geometry("a");
    noFaces->positions = {{0, 0, 0}};
    FakeGeometry* noPositions = scene.geometry("b");
    noPositions->positionIndices = {0, 0, 0};
    EXPECT_FALSE(extract(noFaces));
    EXPECT_FALSE(extract(noPositions));
    EXPECT_EQ(out.vertexCount(), 0u);

    FakeGeometry* mesh = scene.geometry("mesh");
    mesh->positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}};
    mesh->positionIndices = {0, 1, 2, 0, 1, 4};
    ASSERT_TRUE(extract(mesh, translation(0, 0, 1)));
    EXPECT_EQ(out.vertexCount(), 4u);
    EXPECT_EQ(out.triangles, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(out.vertices[11], 6.0f);
    EXPECT_EQ(colourOf(3), (std::array<uint8_t, 3>{255, 255, 255}));
    EXPECT_TRUE(out.texCoords.empty() && out.texSources.empty()); // nothing textured, nothing kept
}

TEST_F(MeshExtraction, ColoursFollowMaterialsAndTheAuthorMaterialFlag)
{
    FakeGeometry* mesh = scene.geometry("mesh");
    mesh->positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 2, 0}, {3, 3, 0}};
    mesh->positionIndices = {0, 1, 2, 1, 3, 2, 3, 4, 5};
    mesh->materialIds = {0, 1, 1};
    mesh->materialCount = 2;
    mesh->diffuse = {{0.5f, 1.2f, std::nanf(""), 1}};
    mesh->diffuseIndices = {0, 0, 0, 0, 0, 0, 0, 0, 7};
    mesh->authorMaterials.resize(2);
    mesh->authorMaterials[1].diffuseColors = 1;
    ASSERT_TRUE(extract(mesh, identityMatrix(), shadingWith({{1, 0, 0}, {0, 0, 1}})));
    EXPECT_EQ(out.vertexCount(), 6u);
    EXPECT_EQ(colourOf(0), (std::array<uint8_t, 3>{255, 0, 0}));   // flag clear: material colour
    EXPECT_EQ(colourOf(1), (std::array<uint8_t, 3>{128, 255, 0})); // the later face wins a shared vertex
    EXPECT_EQ(colourOf(5), (std::array<uint8_t, 3>{0, 0, 255}));   // diffuse index out of range
}

TEST_F(MeshExtraction, TextureComesFromTheOnlyEntryWithoutFaceMaterials)
{
    for (uint32_t entries : {1u, 2u}) {
        out = SceneCollections{};
        FakeGeometry* mesh = scene.geometry("mesh");
        mesh->positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {9, 9, 9}};
        mesh->positionIndices = {0, 1, 2};
        mesh->materialCount = entries;
        mesh->texCoords = {{0.25f, 0.75f, 0, 0}, {1, 1, 0, 0}};
        mesh->texIndices = {0, 1, 5};
        ASSERT_TRUE(extract(mesh, identityMatrix(), shadingWith({{1, 1, 1}, {1, 1, 1}}, {7, 8})));
        if (entries == 2) {
            EXPECT_TRUE(out.textureCandidates.empty());
            continue;
        }
        EXPECT_EQ(out.textureCandidates, std::vector<uint32_t>{7});
        EXPECT_EQ(out.texCoords, (std::vector<float>{0.25f, 0.75f, 1, 1, -1, -1, -1, -1}));
        EXPECT_EQ(out.texSources, (std::vector<uint32_t>{7, 7, kNoTexture, kNoTexture}));
    }
}

TEST_F(MeshExtraction, SingularWorldDisablesNormals)
{
    FakeGeometry* mesh = scene.geometry("mesh");
    mesh->positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh->positionIndices = {0, 1, 2};
    mesh->normals = {{0, 0, 1}};
    mesh->normalIndices = {0, 0, 0};
    ASSERT_TRUE(extract(mesh, scaling(1, 0, 1)));
    EXPECT_EQ(out.normals, std::vector<float>(9, 0.0f));
}

TEST(NormalMatrix, IsTheInverseTranspose)
{
    float n[9];
    ASSERT_TRUE(normalMatrix(scaling(2, 1, 1), n));
    float out[3];
    transformNormal(n, IFXVector3{1, 1, 0}, out); // a 45° normal leans towards the unstretched axis
    EXPECT_NEAR(out[0], 1 / std::sqrt(5.0f), 1e-6);
    EXPECT_NEAR(out[1], 2 / std::sqrt(5.0f), 1e-6);
    EXPECT_FALSE(normalMatrix(scaling(1e-11f, 1e-11f, 1e-11f), n));
    ASSERT_TRUE(normalMatrix(identityMatrix(), n));
    transformNormal(n, IFXVector3{0, 0, 0}, out);
    EXPECT_EQ(out[2], 0.0f);
}

TEST_F(MeshExtraction, PointAndLineSetsTakeColoursPerEnd)
{
    FakeGeometry* points = scene.geometry("points", GeometryKind::PointSet);
    points->positions = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    points->positionIndices = {0, 2, 3};
    points->diffuse = {{1, 0, 0, 1}};
    points->diffuseIndices = {0, 1, 0};
    ASSERT_TRUE(extractPointSet(scene.graph(), nullptr, points, translation(0, 1, 0), out));
    EXPECT_EQ(out.points, (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(colourOf(0), (std::array<uint8_t, 3>{255, 0, 0}));
    EXPECT_EQ(colourOf(2), (std::array<uint8_t, 3>{255, 255, 255})); // diffuse index out of range
    EXPECT_EQ(out.vertices[4], 1.0f);

    FakeGeometry* lines = scene.geometry("lines", GeometryKind::LineSet);
    lines->positions = {{0, 0, 0}, {1, 0, 0}};
    lines->positionIndices = {0, 1, 1, 2};
    lines->materialIds = {0, 0};
    lines->materialCount = 1;
    lines->normals = {{0, 0, 1}, {0, 1, 0}};
    lines->normalIndices = {0, 1, 0, 0};
    ASSERT_TRUE(extractLineSet(scene.graph(), shadingWith({{0, 0, 1}}), lines, identityMatrix(), out));
    EXPECT_EQ(out.lines, (std::vector<uint32_t>{3, 4})); // the second line reaches past the positions
    EXPECT_EQ(colourOf(3), (std::array<uint8_t, 3>{0, 0, 255}));
    EXPECT_EQ(colourOf(4), (std::array<uint8_t, 3>{0, 0, 255}));
    EXPECT_EQ(out.normals[4 * 3 + 1], 1.0f);
    EXPECT_EQ(gOutstandingReferences, 0);
}

} // namespace
