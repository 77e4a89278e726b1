// Loading writer-built files into a scene: every block type, palettes and names,
// modifier chains, the scene graph's links, generators, and malformed input.
#include "tests/support/u3d_bit_encoder.h"
#include "tests/support/u3d_geometry_writer.h"
#include "tests/support/u3d_scene_blocks.h"
#include "u3dlib/block_types.h"
#include "u3dlib/modifier_chain.h"
#include "u3dlib/scene_loader.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace u3dlib;

namespace {

IFXRESULT load(const U3dBytes& file, Scene& scene, GeneratorReader reader = nullptr)
{
    return loadScene(file, {"", reader}, scene);
}

template <typename T>
const T& named(const Palette<T>& palette, const std::string& name)
{
    return palette.entry(palette.find(name).value_or(0)).object;
}

TEST(U3dSceneLoader, EveryDeclarationLandsInItsPaletteWithItsFields)
{
    U3dBitEncoder motion;
    motion.writeString("Walk");
    motion.writeU32(0); // tracks
    motion.writeF32(1);
    motion.writeF32(1);
    U3dLightFields spot;
    spot.spotAngle = 45;
    const U3dBytes file = u3dFile({
        u3dGroupNodeBlock("Group", {{"", u3dTranslation(1, 2, 3)}}),
        u3dModelNodeBlock("Model", {{"Group", kU3dIdentity}, {"", u3dTranslation(0, 2, 0)}, {"Group", kU3dIdentity}},
                          "Mesh", 1),
        u3dLightNodeBlock("Lamp", {{"", kU3dIdentity}}, "Spot"),
        u3dViewNodeBlock("Camera", {{"", kU3dIdentity}}, "ViewRes", 0, {34.5f, 0, 0}, {"Backdrop"}),
        u3dViewNodeBlock("Ortho", {}, "ViewRes", 2, {10, 0, 0}),
        u3dLightResourceBlock("Spot", spot),
        u3dViewResourceBlock("ViewRes", {"Group", ""}),
        u3dLitTextureShaderBlock("Shader", "Paint", {{0, "Wood"}, {3, "Bump"}}),
        u3dMaterialBlock("Paint", {0.5f, 0.6f, 0.7f}, 0.4f),
        u3dTextureDeclarationBlock("Wood", 8, 4, kTextureTypeRgba, {{2, 0x0F, {}, 10}, {4, 0x01, {"a.tif"}, 0}}),
        u3dBlock(kBlockMotionResource, motion.finish()),
    });
    Scene scene;
    ASSERT_EQ(load(file, scene), kIfxOk);

    // Light, material and shader values reach heron_scan (heron_scan_library_test).
    ASSERT_EQ(scene.nodes.size(), 6u);
    EXPECT_EQ(named(scene.nodes, "Group").parents[0].matrix[13], 2.0f);
    const Node& model = named(scene.nodes, "Model");
    EXPECT_EQ(std::tie(model.kind, model.resourceName, model.visibility), std::make_tuple(NodeKind::Model, "Mesh", 1u));
    ASSERT_EQ(model.parents.size(), 3u); // every parent with its own matrix
    EXPECT_EQ(std::tie(model.parents[1].name, model.parents[1].matrix[13], model.parents[2].name),
              std::make_tuple("", 2.0f, "Group"));
    EXPECT_EQ(named(scene.nodes, "Lamp").kind, NodeKind::Light);
    const Node& camera = named(scene.nodes, "Camera");
    EXPECT_EQ(std::tie(camera.kind, camera.view.projection[0]), std::make_tuple(NodeKind::View, 34.5f));
    EXPECT_EQ(camera.view.backdropTextures, std::vector<std::string>{"Backdrop"});
    EXPECT_EQ(named(scene.nodes, "Ortho").view.attributes, 2u);
    EXPECT_EQ(named(scene.lights, "Spot").spotAngle, 45.0f);
    ASSERT_EQ(named(scene.views, "ViewRes").passes.size(), 2u);
    EXPECT_EQ(named(scene.views, "ViewRes").passes[0].rootNode, "Group");
    const LitTextureShader& shader = named(scene.shaders, "Shader");
    ASSERT_EQ(shader.layers.size(), 2u);
    EXPECT_EQ(std::tie(shader.layers[1].layer, shader.layers[1].textureName), std::make_tuple(3u, "Bump"));
    const Texture& texture = named(scene.textures, "Wood");
    EXPECT_EQ(std::tie(texture.width, texture.height), std::make_tuple(8u, 4u));
    ASSERT_EQ(texture.images.size(), 2u);
    EXPECT_EQ(texture.images[1].urls, std::vector<std::string>{"a.tif"});
    EXPECT_TRUE(scene.motions.find("Walk"));
}

TEST(U3dSceneLoader, PalettesKeepTheirDefaultEntryAndLaterNamesReplaceEarlierOnes)
{
    const U3dBytes file = u3dFile({
        u3dMaterialBlock("Red", {1, 0, 0}),
        u3dMaterialBlock("Blue", {0, 0, 1}),
        u3dMaterialBlock("Red", {0.5f, 0, 0}),
        u3dGroupNodeBlock("A", {}),
        u3dModelNodeBlock("A", {{"", kU3dIdentity}}, "Mesh"),
        u3dGroupNodeBlock("", {{"A", kU3dIdentity}}), // defaults are not redeclared
        u3dMaterialBlock("", {0.5f, 0.5f, 0.5f}),
    });
    Scene scene;
    ASSERT_EQ(load(file, scene), kIfxOk);
    ASSERT_EQ(scene.materials.size(), 3u);
    EXPECT_EQ(scene.materials.entry(0).object.ambient[0], 0.75f); // the default material
    EXPECT_EQ(std::tie(scene.materials.entry(1).name, scene.materials.entry(1).object.diffuse[0]),
              std::make_tuple("Red", 0.5f));
    EXPECT_EQ(scene.materials.find("Blue"), 2u);
    EXPECT_EQ(scene.materials.resolve("Green"), 0u);
    EXPECT_EQ(scene.nodes.size(), 2u);
    EXPECT_EQ(scene.nodes.entry(1).object.kind, NodeKind::Model);
    EXPECT_TRUE(scene.nodes.entry(0).object.parents.empty()); // the world
}

TEST(U3dSceneLoader, ModifiersJoinTheChainOfTheirName)
{
    U3dClodMeshWriter mesh({.name = "BoxMesh"});
    const U3dBytes file = u3dFile({
        // Node chain: the node, then shading and animation.
        u3dModifierChainBlock("Box", kChainTypeNode,
                              {u3dModelNodeBlock("Box", {{"", kU3dIdentity}}, "BoxMesh"),
                               u3dShadingModifierBlock("Box", {{"S1", "S2"}, {"S3"}}, 1),
                               u3dOtherModifierBlock(kBlockAnimationModifier, "Box", 2),
                               u3dOtherModifierBlock(kBlockClodModifier, "Box", 3)}),
        // Resource chain: the modifier before its resource.
        u3dModifierChainBlock("BoxMesh", kChainTypeModelResource,
                              {u3dShadingModifierBlock("BoxMesh", {{"R"}}, 1), mesh.declarationBlock()}),
        // Outside any chain: joins the node of its name.
        u3dShadingModifierBlock("Box", {{"Late"}}, 4),
        u3dOtherModifierBlock(kBlockSubdivisionModifier, "Nobody", 1),
    });
    Scene scene;
    ASSERT_EQ(load(file, scene), kIfxOk);
    const Node& box = named(scene.nodes, "Box");
    ASSERT_EQ(box.modifiers.size(), 4u);
    EXPECT_EQ(std::tie(box.modifiers[0].kind, box.modifiers[1].kind, box.modifiers[2].kind, box.modifiers[3].kind),
              std::make_tuple(ModifierKind::Shading, ModifierKind::Animation, ModifierKind::ClodModifier,
                              ModifierKind::Shading));
    EXPECT_EQ(box.modifiers[0].shading.shaders, (std::vector<std::vector<std::string>>{{"S1", "S2"}, {"S3"}}));
    EXPECT_EQ(box.modifiers[3].shading.shaders[0][0], "Late");
    const ModelResource& resource = named(scene.generators, "BoxMesh");
    ASSERT_EQ(resource.modifiers.size(), 1u);
    EXPECT_EQ(resource.modifiers[0].shading.shaders[0][0], "R");
}

TEST(U3dSceneLoader, ExtensionObjectsPriorityUpdatesAndUnknownBlocksAreSteppedOver)
{
    U3dBitEncoder priority;
    priority.writeU32(0x100);
    const U3dBytes file = u3dFile({
        u3dModelNodeBlock("House", {{"", kU3dIdentity}}, "HouseMesh"),
        u3dModifierChainBlock("HouseMesh", kChainTypeModelResource,
                              {u3dNewObjectTypeBlock("RHAdobeMeshResource", 0x100, {0x101}),
                               u3dNewObjectBlock(0x100, "HouseMesh")}),
        u3dBlock(kBlockPriorityUpdate, priority.finish()),
        u3dNewObjectBlock(0x101, "HouseMesh"),
        u3dNewObjectBlock(kBlockFileHeader, "Again"),
        u3dBlock(0xFFFFFF99, U3dBytes{1, 2, 3, 4, 5}),
        u3dMaterialBlock("After", {1, 1, 1}),
    });
    Scene scene;
    ASSERT_EQ(load(file, scene, &readGeneratorDeclaration), kIfxOk);
    EXPECT_EQ(scene.generators.size(), 1u); // only the default: the house has no mesh
    EXPECT_TRUE(scene.materials.find("After"));
}

TEST(U3dSceneLoader, GeneratorContinuationsReachTheDeclarationOfTheirName)
{
    U3dClodMeshWriter mesh(u3dOneTriangleDeclaration("Mesh"));
    const U3dBaseMeshDesc triangle = u3dOneTriangle();
    U3dPointLineWriter points({.kind = U3dGeneratorKind::PointSet, .name = "Points", .primitiveCount = 2,
                               .positionCount = 2});
    std::vector<U3dPointLineUpdateDesc> twoPoints(2);
    twoPoints[0].items = twoPoints[1].items = {{0, 0, {{}}}};
    U3dPointLineWriter lines({.kind = U3dGeneratorKind::LineSet, .name = "Lines", .positionCount = 1});
    const U3dBytes lineDeclaration = lines.declarationBlock();
    const U3dBytes lineContinuation = lines.continuationBlock(twoPoints);
    const U3dBytes file = u3dFile({
        u3dModifierChainBlock("Mesh", kChainTypeModelResource, {mesh.declarationBlock()}),
        u3dModifierChainBlock("Points", kChainTypeModelResource,
                              {points.declarationBlock(), points.continuationBlock(twoPoints)}),
        lineDeclaration,
        mesh.baseMeshBlock(triangle),
        lineContinuation, // more positions than declared: lost
        lineContinuation, // lost stays lost
        U3dClodMeshWriter({.name = "Undeclared"}).baseMeshBlock(triangle),
    });
    Scene decoded;
    ASSERT_EQ(load(file, decoded, &readGeneratorDeclaration), kIfxOk);
    ASSERT_NE(named(decoded.generators, "Mesh").geometry(), nullptr);
    EXPECT_EQ(named(decoded.generators, "Mesh").geometry()->primitiveCount, 1u);
    EXPECT_EQ(named(decoded.generators, "Points").geometry()->positionIndices, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(named(decoded.generators, "Lines").geometry(), nullptr);
    EXPECT_EQ(named(decoded.generators, "Lines").kind, GeneratorKind::LineSet);

    Scene undecoded;
    ASSERT_EQ(load(file, undecoded), kIfxOk);
    EXPECT_EQ(undecoded.generators.size(), 4u);
    EXPECT_EQ(undecoded.generators.entry(1).object.geometry(), nullptr);
}

TEST(U3dSceneLoader, TextureContinuationsConcatenatePerImage)
{
    const U3dBytes file = u3dFile({
        u3dTextureDeclarationBlock("T", 1, 1, kTextureTypeRgba, {{2, 0x0E, {}, 5}, {2, 0x01, {}, 2}}),
        u3dTextureContinuationBlock("T", 0, {1, 2, 3}),
        u3dTextureContinuationBlock("T", 1, {9, 9}),
        u3dTextureContinuationBlock("T", 0, {4, 5}),
        u3dTextureContinuationBlock("T", 7, {6}),
        u3dTextureContinuationBlock("Other", 0, {6}),
    });
    Scene scene;
    ASSERT_EQ(load(file, scene), kIfxOk);
    const Texture& texture = scene.textures.entry(1).object;
    EXPECT_EQ(*texture.images[0].bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(*texture.images[1].bytes, (std::vector<uint8_t>{9, 9}));
}

// Every block type whose Data is cut short makes the file corrupt; the same blocks
// whole load. (A chain cut only in its last block's padding is still whole.)
TEST(U3dSceneLoader, EveryBlockCutShortIsCorrupt)
{
    const std::vector<std::pair<const char*, U3dBytes>> blocks = {
        {"group", u3dGroupNodeBlock("G", {{"", kU3dIdentity}})},
        {"model", u3dModelNodeBlock("M", {{"", kU3dIdentity}}, "R")},
        {"light node", u3dLightNodeBlock("L", {}, "R")},
        {"view node", u3dViewNodeBlock("V", {}, "R", 0, {30, 0, 0}, {"B"})},
        {"shading", u3dShadingModifierBlock("M", {{"S"}}, 1)},
        {"light", u3dLightResourceBlock("L", {})},
        {"view", u3dViewResourceBlock("V", {"Root"})},
        {"shader", u3dLitTextureShaderBlock("S", "M", {{0, "T"}})},
        {"material", u3dMaterialBlock("M", {1, 1, 1})},
        {"texture", u3dTextureDeclarationBlock("T", 1, 1, kTextureTypeRgb, {{2, 0x0E, {"x.png"}, 0}})},
        {"file reference", u3dFileReferenceBlock({.urls = {"x.u3d"}, .nameFilters = {"*"}})},
        {"new object type", u3dNewObjectTypeBlock("Ext", 0x100, {0x101})},
        {"chain", u3dModifierChainBlock("G", kChainTypeNode, {u3dGroupNodeBlock("G", {})})},
    };
    for (const auto& [what, block] : blocks) {
        SCOPED_TRACE(what);
        Scene whole;
        // The whole file reference fails only for want of a document folder.
        EXPECT_EQ(load(u3dFile({block}), whole),
                  std::string(what) == "file reference" ? kIfxErrorExternalReferenceFailed : kIfxOk);
        const uint32_t size = loadU32LittleEndian(block, 4);
        for (const size_t cut : {size_t{2}, size_t{3}, size_t{8}}) {
            if (cut > size)
                continue;
            Scene scene;
            const U3dBytes shorter = u3dBlock(loadU32LittleEndian(block, 0), std::span(block).subspan(12, size - cut));
            EXPECT_EQ(load(u3dFile({shorter}), scene), kIfxErrorCorrupt) << cut;
            EXPECT_EQ(scene.nodes.size(), 1u); // a failed load leaves the scene as it was
        }
    }
}

TEST(U3dSceneLoader, InputThatIsNotAWholeU3dFileIsCorrupt)
{
    const U3dBytes good = u3dFile({u3dGroupNodeBlock("G", {{"", kU3dIdentity}})});
    U3dBytes overrun = u3dModifierChainBlock("G", kChainTypeNode, {u3dGroupNodeBlock("G", {})});
    overrun[12 + 20] = 0x7F; // inside the nested block's data size: past the chain's end
    // A count the Data cannot hold fails before anything is sized by it.
    const auto hugeCountAt = [](U3dBytes block, size_t at) {
        std::fill_n(block.begin() + 12 + static_cast<std::ptrdiff_t>(at), 4, 0xF0);
        return u3dFile({block});
    };
    const std::vector<std::pair<const char*, U3dBytes>> cases = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'}},
        {"header only, cut", U3dBytes(good.begin(), good.begin() + 20)},
        {"cut inside a block", U3dBytes(good.begin(), good.end() - 10)},
        {"no header first", u3dGroupNodeBlock("G", {})},
        {"nested block past its chain", u3dFile({overrun})},
        {"parents", hugeCountAt(u3dGroupNodeBlock("G", {}), 3)},
        {"shader lists", hugeCountAt(u3dShadingModifierBlock("G", {}), 11)},
        {"view passes", hugeCountAt(u3dViewResourceBlock("V", {}), 3)},
        {"texture images", hugeCountAt(u3dTextureDeclarationBlock("T", 1, 1, kTextureTypeRgb, {}), 12)},
    };
    for (const auto& [what, bytes] : cases) {
        Scene scene;
        EXPECT_EQ(load(bytes, scene), kIfxErrorCorrupt) << what;
    }
}

TEST(U3dSceneLoader, NameFiltersMatchWildcards)
{
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"Wheel", "Wheel", true},   {"Wheel", "wheel", false}, {"Wheel", "W*", true},  {"Wheel", "*l", true},
        {"Wheel", "W?eel", true},   {"Wheel", "W?el", false},  {"", "*", true},        {"ab", "a*b*", true},
        {"abcbd", "a*bd", true},    {"abc", "a*d", false},     {"é", "?", true},       {"Wheel", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesNamePattern(c.name, c.pattern), c.matches) << c.name << " / " << c.pattern;
}

} // namespace
