// CLOD meshes built by the test writer: declarations, base meshes, progressive
// updates (splits with faces moving and staying, colours, texture coordinates).
#include "tests/u3dlib/geometry_test_support.h"
#include "u3dlib/block_types.h"
#include "u3dlib/generator_declaration.h"
#include "u3dlib/stream_fault.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace u3dlib;

namespace {

// The decoder's geometry against the writer's model.
void expectMatchesModel(const AuthorGeometry& g, const U3dClodMeshWriter& w, bool diffuse, uint32_t layers)
{
    ASSERT_EQ(g.positions.size(), w.positions().size());
    for (size_t i = 0; i < g.positions.size(); ++i)
        EXPECT_EQ(std::tie(g.positions[i].x, g.positions[i].y, g.positions[i].z),
                  std::tie(w.positions()[i].x, w.positions()[i].y, w.positions()[i].z));
    ASSERT_EQ(g.primitiveCount, w.faces().size());
    for (uint32_t f = 0; f < g.primitiveCount; ++f) {
        SCOPED_TRACE("face " + std::to_string(f));
        const U3dClodMeshWriter::Face& m = w.faces()[f];
        EXPECT_EQ(g.primitiveMaterials[f], m.shading);
        for (uint32_t k = 0; k < 3; ++k) {
            EXPECT_EQ(cornerOf(g.positionFaces[f], k), m.positions[k]);
            EXPECT_EQ(diffuse ? g.diffuseIndices[3 * f + k] : 0, m.diffuse[k]);
            for (uint32_t layer = 0; layer < layers; ++layer)
                EXPECT_EQ(g.texCoordIndices[layer][3 * f + k], m.texCoords[layer][k]);
        }
    }
    ASSERT_EQ(g.diffuseColors.size(), w.diffuse().size());
    for (size_t i = 0; i < g.diffuseColors.size(); ++i)
        EXPECT_EQ(std::tie(g.diffuseColors[i].r, g.diffuseColors[i].g, g.diffuseColors[i].b),
                  std::tie(w.diffuse()[i].r, w.diffuse()[i].g, w.diffuse()[i].b));
    ASSERT_EQ(g.texCoords.size(), w.texCoords().size());
    for (size_t i = 0; i < g.texCoords.size(); ++i)
        EXPECT_EQ(std::tie(g.texCoords[i].r, g.texCoords[i].g), std::tie(w.texCoords()[i].r, w.texCoords()[i].g));
}

TEST(ClodDeclaration, MalformedDeclarationsAreRefused)
{
    U3dGeneratorDesc good = meshDesc(4, 5, 0);
    const U3dBytes data = u3dGeneratorDeclarationData(good);
    U3dGeneratorDesc nineLayers = good;
    nineLayers.shadings = {{0, std::vector<uint32_t>(9, 2), 0}};
    U3dGeneratorDesc inverted = good;
    inverted.minResolution = 6;
    U3dBytes cut(data.begin(), data.end() - 10);
    U3dBytes trailing = data;
    trailing.push_back(7);
    struct Case {
        const char* what;
        uint32_t type;
        U3dBytes data;
        DeclarationStatus status;
    };
    for (const Case& c : {Case{"cut", kBlockClodMeshDeclaration, cut, DeclarationStatus::FieldsCut},
                          Case{"trailing", kBlockClodMeshDeclaration, trailing, DeclarationStatus::UnreadData},
                          Case{"layers", kBlockClodMeshDeclaration, u3dGeneratorDeclarationData(nineLayers),
                               DeclarationStatus::TooManyLayers},
                          Case{"resolution", kBlockClodMeshDeclaration, u3dGeneratorDeclarationData(inverted),
                               DeclarationStatus::BadResolution},
                          Case{"type", kBlockModelNode, data, DeclarationStatus::NotADeclaration}}) {
        SCOPED_TRACE(c.what);
        const OwnedBlock owned = ownBlock(u3dBlock(c.type, c.data));
        GeneratorDeclaration d;
        EXPECT_EQ(readGeneratorDeclarationBlock(owned.block, {}, d), c.status);
        EXPECT_FALSE(readGeneratorDeclaration(owned.block, {}));
    }
}

// A mesh sent whole in its base block keeps the normals it was sent, each corner its own.
TEST(ClodBaseMesh, AuthorNormalsKeepTheirCorners)
{
    U3dClodMeshWriter writer(meshDesc(6, 7, 7));
    U3dBaseMeshDesc base = hexagonFan();
    base.normals = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
    for (uint32_t f = 0; f < 6; ++f)
        base.faces[f].normals = {f % 3, (f + 1) % 3, (f + 2 + f / 3) % 3};
    const auto decoder = declare(writer.declarationBlock());
    ASSERT_TRUE(feed(*decoder, writer.baseMeshBlock(base)));
    const AuthorGeometry& g = decoder->geometry();
    expectMatchesModel(g, writer, false, 0);
    ASSERT_EQ(g.normals.size(), 3u);
    ASSERT_EQ(g.normalFaces.size(), 6u);
    for (uint32_t f = 0; f < 6; ++f)
        for (uint32_t k = 0; k < 3; ++k)
            EXPECT_EQ(cornerOf(g.normalFaces[f], k), base.faces[f].normals[k]) << "face " << f << " corner " << k;
}

// Splits the centre of the hexagon fan with update u, moving the faces whose bits are
// set in moves, and decodes it back.
void expectSplitDecodes(const U3dGeneratorDesc& desc, U3dUpdateDesc u, uint32_t moves)
{
    U3dClodMeshWriter writer(desc);
    const auto decoder = declare(writer.declarationBlock());
    ASSERT_TRUE(feed(*decoder, writer.baseMeshBlock(hexagonFan())));
    u.moves.clear();
    for (uint32_t f = 0; f < 6; ++f)
        if (moves & (1u << f))
            u.moves.push_back(u3dMove(f));
    ASSERT_TRUE(feed(*decoder, writer.progressiveBlock({u})));
    expectMatchesModel(decoder->geometry(), writer, false, 0);
}

TEST(ClodProgressive, PredictionsWithoutNeighboursAndUnexpectedMoves)
{
    // Mispredicted flags are legal: every combination of moves around the centre must
    // come back as written, whatever contexts the predictions pick.
    for (uint32_t mask = 0; mask < 64; ++mask) {
        SCOPED_TRACE("moves " + std::to_string(mask));
        U3dUpdateDesc u = splitCentre();
        if (mask & 1)
            u.newFaces.pop_back();
        expectSplitDecodes(meshDesc(8, 8), u, mask);
    }
}

TEST(ClodProgressive, NeighboursThatDisagreePredictMove)
{
    // Without new faces nothing predicts from a third position: the walk (faces 5 to 0)
    // passes each flag on to the next face, and face 0, walked last, meets face 1 across
    // its previous position and face 5 across its next one.
    // Bit f: face f moves. Faces 1 and 5 disagree; face 0 stays or moves.
    for (const uint32_t moves : {0b000010u, 0b100000u, 0b000011u, 0b100001u}) {
        SCOPED_TRACE("moves " + std::to_string(moves));
        U3dUpdateDesc u = splitCentre();
        u.newFaces.clear();
        expectSplitDecodes(meshDesc(6, 8), u, moves);
    }
}

} // namespace
