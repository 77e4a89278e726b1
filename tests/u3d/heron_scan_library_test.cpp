// heron_scan with the scene library built here, as a real process: a writer-built
// scene comes back with what each of the library's components answers, failed loads
// with their messages, and every real file gives a preview, except the one whose
// geometry is only in a vendor extension ("no mesh") and the malformed one (corrupt).
#include "tests/support/files.h"
#include "tests/support/process_runner.h"
#include "tests/support/test_images.h"
#include "tests/support/u3d_geometry_writer.h"
#include "tests/support/u3d_scene_blocks.h"
#include "tools/result_stream_reader.h"
#include "u3dlib/block_types.h"
#include "u3dlib/modifier_chain.h"
#include "u3dlib/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <set>

namespace {

ParsedResultStream runHeronScan(const std::vector<std::string>& args)
{
    const ProcessResult r = runProcess(buildProgramPath("heron_scan"), args, {});
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0);
    ParsedResultStream s;
    std::string error;
    EXPECT_TRUE(parseResultStream(StreamForm::U3d, r.out.data(), r.out.size(), s, error)) << error;
    return s;
}

TEST(HeronScanLibrary, AWriterBuiltSceneComesBackWhole)
{
    U3dClodMeshWriter mesh({.name = "Mesh", .primitiveCount = 1, .positionCount = 3, .normalCount = 1,
                            .maxResolution = 3});
    U3dBaseMeshDesc triangle;
    triangle.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    triangle.normals = {{0, 0, 1}};
    triangle.faces = {U3dBaseFace{0, {0, 1, 2}}};
    const std::vector<uint8_t> pixels = {255, 0, 0, 255, 0, 255, 0, 128};
    const U3dBytes file = u3dFile(
        {
            u3dGroupNodeBlock("A", {{"", kU3dIdentity}}),
            u3dGroupNodeBlock("B", {{"", u3dTranslation(0, 5, 0)}}),
            // Two parents, one of them twice.
            u3dModifierChainBlock("Shared", u3dlib::kChainTypeNode,
                                  {u3dModelNodeBlock("Shared",
                                                     {{"A", u3dTranslation(10, 0, 0)},
                                                      {"B", u3dTranslation(20, 0, 0)},
                                                      {"A", u3dTranslation(30, 0, 0)}},
                                                     "Mesh"),
                                   u3dOtherModifierBlock(u3dlib::kBlockAnimationModifier, "Shared", 1),
                                   u3dShadingModifierBlock("Shared", {{"Paint"}}, 2)}),
            u3dModifierChainBlock("Mesh", u3dlib::kChainTypeModelResource, {mesh.declarationBlock()}),
            u3dLightNodeBlock("Lamp", {{"", kU3dIdentity}}, "Sun"),
            u3dViewNodeBlock("Camera", {{"", u3dTranslation(0, 0, 9)}}, "CameraView", 0, {40, 0, 0}),
            u3dLightResourceBlock("Sun", {1, 3, {0.5f, 0.5f, 0.25f}, {1, 0, 0}, 30, 2}),
            u3dViewResourceBlock("CameraView", {"B"}),
            u3dLitTextureShaderBlock("Paint", "Red", {{0, "Wood"}}),
            u3dMaterialBlock("Red", {1, 0, 0}, 0.5f),
            u3dTextureDeclarationBlock("Wood", 2, 1, u3dlib::kTextureTypeRgba, {{2, 0x0F, {}, 0}}),
            mesh.baseMeshBlock(triangle),
            u3dTextureContinuationBlock("Wood", 0, encodePng(2, 1, 4, pixels)),
        },
        0x8);
    ScratchFolder folder;
    const ParsedResultStream s = runHeronScan({pathUtf8(folder.write("scene.u3d", file))});
    ASSERT_TRUE(s.ok) << s.message;

    uint32_t declarationSize = 0;
    std::memcpy(&declarationSize, &file[12 + 8], 4);
    EXPECT_EQ(+s.u3dHeader.hasHeaderValues, 1);
    EXPECT_EQ(+s.u3dHeader.headerValue32, declarationSize);
    EXPECT_EQ(+s.u3dHeader.headerValue64, file.size());
    // One instance along each parent slot, each placed by its own matrix.
    std::multiset<std::string> names;
    for (const NodeRecord& node : s.nodes)
        names.insert(node.name);
    EXPECT_EQ(names, (std::multiset<std::string>{"", "A", "B", "Shared", "Shared", "Shared", "Lamp", "Camera"}));
    ASSERT_EQ(s.vertexCount(), 9u);
    std::set<std::pair<float, float>> placed;
    for (uint32_t v = 0; v < 9; v += 3)
        placed.insert({s.vertices[3 * v], s.vertices[3 * v + 1]});
    EXPECT_EQ(placed, (std::set<std::pair<float, float>>{{10, 0}, {20, 5}, {30, 0}}));
    // Shading modifier, shader, material, texture.
    EXPECT_EQ(std::vector<uint8_t>(s.colours.begin(), s.colours.begin() + 3), (std::vector<uint8_t>{255, 0, 0}));
    ASSERT_EQ(s.materials.size(), 2u);
    EXPECT_EQ(s.materials[1].opacity, 0.5f);
    EXPECT_EQ(s.materials[1].transparent, 1u);
    EXPECT_EQ(s.texturePixels, pixels);
    EXPECT_EQ(s.textureCoordinates.size(), 18u);
    // Light and view resources.
    ASSERT_EQ(s.lights.size(), 1u);
    EXPECT_EQ(s.lights[0].type, 3);
    EXPECT_EQ(s.lights[0].colour[2], 0.25f);
    EXPECT_EQ(s.lights[0].intensity, 2.0f);
    EXPECT_NEAR(s.lights[0].spotHalfAngle, 15 * std::numbers::pi / 180, 1e-6);
    ASSERT_EQ(s.views.size(), 1u);
    EXPECT_STREQ(s.views[0].name, "Camera");
    EXPECT_NEAR(s.views[0].fieldOfView, 40 * std::numbers::pi / 180, 1e-6);
}

TEST(HeronScanLibrary, FailedReferencesAreNamed)
{
    ScratchFolder folder;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"parts/wheel.u3d"}, "the U3D file references an external file that was not found next to the document: "
                              "\"parts/wheel.u3d\""},
        {{"doc.u3d"}, "the U3D file references external files too deeply, too many of them, or in a loop "
                      "(external references are limited to 4 levels and 32 files)"},
    };
    for (const auto& [urls, message] : cases) {
        const std::string file = pathUtf8(folder.write("doc.u3d", u3dFile({u3dFileReferenceBlock({.urls = urls})})));
        const ParsedResultStream s = runHeronScan({file, pathUtf8(folder.path())});
        EXPECT_FALSE(s.ok);
        EXPECT_EQ(s.message, message);
    }
}

TEST(HeronScanLibrary, EveryRealFileGivesAPreviewOrSaysWhyNot)
{
    const auto files = corpusFiles("u3d", ".u3d");
    if (files.empty())
        GTEST_SKIP() << "no U3D corpus";
    for (const auto& path : files) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        const ParsedResultStream s = runHeronScan({pathUtf8(path), pathUtf8(path.parent_path())});
        EXPECT_EQ(+s.u3dHeader.hasHeaderValues, 1);
        if (name == "vaastav_Cube.u3d") {
            EXPECT_EQ(s.message.rfind("the U3D file is corrupt", 0), 0u) << s.message;
        } else if (name == "aspose_House_Design__obj111.u3d") {
            // All its geometry is in a vendor extension the library steps over.
            EXPECT_EQ(s.message, "the U3D file contains no mesh (only point/line sets or no geometry)");
        } else {
            ASSERT_TRUE(s.ok) << s.message;
            EXPECT_GT(s.triangles.size() + s.points.size() + s.lines.size(), 0u);
            EXPECT_GT(s.nodes.size(), 1u);
            // The files with a texture carry it decoded.
            if (name.starts_with("mevislab") || name == "ptc3dpdfexp_output.u3d") {
                EXPECT_EQ(+s.u3dHeader.textureWidth, 32u);
            }
        }
    }
}

} // namespace
