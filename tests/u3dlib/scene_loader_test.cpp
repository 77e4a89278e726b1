// Loading writer-built files into a scene: every block type, palettes and names,
// modifier chains, the scene graph's links, generators, and malformed input.
#include "tests/support/u3d_bit_encoder.h"
#include "tests/support/u3d_generator_stub.h"
#include "tests/support/u3d_scene_blocks.h"
#include "u3dlib/block_types.h"
#include "u3dlib/modifier_chain.h"
#include "u3dlib/scene_loader.h"

#include <gtest/gtest.h>

#include <functional>

using namespace u3dlib;

namespace {

IFXRESULT load(const U3dBytes& file, Scene& scene, GeneratorReader reader = nullptr)
{
    LoadEnvironment environment;
    environment.readGenerator = reader;
    return loadScene(file, environment, scene);
}

U3dBytes motionBlock(const std::string& name)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(0); // tracks
    out.writeF32(1);
    out.writeF32(1);
    return u3dBlock(kBlockMotionResource, out.finish());
}

// The same block with its Data cut to keep bytes.
U3dBytes cutData(const U3dBytes& block, size_t keep)
{
    const uint32_t type = loadU32LittleEndian(block, 0);
    const uint32_t size = loadU32LittleEndian(block, 4);
    return u3dBlock(type, std::span<const uint8_t>(block).subspan(12, std::min<size_t>(keep, size)));
}

uint32_t dataSize(const U3dBytes& block)
{
    return loadU32LittleEndian(block, 4);
}

TEST(U3dSceneLoader, EveryDeclarationLandsInItsPaletteWithItsFields)
{
    U3dLightFields spot;
    spot.type = 3;
    spot.colour = {0.5f, 0.25f, 1};
    spot.spotAngle = 45;
    spot.intensity = 2;
    const U3dBytes file = u3dFile({
        u3dGroupNodeBlock("Group", {{"", u3dTranslation(1, 2, 3)}}),
        u3dModelNodeBlock("Model", {{"Group", kU3dIdentity}}, "Mesh", 1),
        u3dLightNodeBlock("Lamp", {{"", kU3dIdentity}}, "Spot"),
        u3dViewNodeBlock("Camera", {{"", kU3dIdentity}}, "ViewRes", 0, {34.5f, 0, 0}, {"Backdrop"}),
        u3dViewNodeBlock("Ortho", {}, "ViewRes", 2, {10, 0, 0}),
        u3dLightResourceBlock("Spot", spot),
        u3dViewResourceBlock("ViewRes", {"Group", ""}),
        u3dLitTextureShaderBlock("Shader", "Paint", {{0, "Wood"}, {3, "Bump"}}),
        u3dMaterialBlock("Paint", {0.5f, 0.6f, 0.7f}, 0.4f),
        u3dTextureDeclarationBlock("Wood", 8, 4, kTextureTypeRgba, {{2, 0x0F, {}, 10}, {4, 0x01, {"a.tif"}, 0}}),
        motionBlock("Walk"),
    });
    Scene scene;
    ASSERT_EQ(load(file, scene), kIfxOk);

    ASSERT_EQ(scene.nodes.size(), 6u);
    const Node& group = scene.nodes.entry(*scene.nodes.find("Group")).object;
    EXPECT_EQ(group.kind, NodeKind::Group);
    ASSERT_EQ(group.parents.size(), 1u);
    EXPECT_EQ(group.parents[0].matrix[13], 2.0f);
    const Node& model = scene.nodes.entry(*scene.nodes.find("Model")).object;
    EXPECT_EQ(model.kind, NodeKind::Model);
    EXPECT_EQ(model.resourceName, "Mesh");
    EXPECT_EQ(model.visibility, 1u);
    EXPECT_EQ(scene.nodes.entry(*scene.nodes.find("Lamp")).object.kind, NodeKind::Light);
    const Node& camera = scene.nodes.entry(*scene.nodes.find("Camera")).object;
    EXPECT_EQ(camera.kind, NodeKind::View);
    EXPECT_EQ(camera.view.projection[0], 34.5f);
    EXPECT_EQ(camera.view.backdropTextures, std::vector<std::string>{"Backdrop"});
    EXPECT_EQ(scene.nodes.entry(*scene.nodes.find("Ortho")).object.view.attributes, 2u);

    const LightResource& light = scene.lights.entry(*scene.lights.find("Spot")).object;
    EXPECT_EQ(light.type, 3);
    EXPECT_EQ(light.colour[1], 0.25f);
    EXPECT_EQ(light.spotAngle, 45.0f);
    EXPECT_EQ(light.intensity, 2.0f);
    const ViewResource& view = scene.views.entry(*scene.views.find("ViewRes")).object;
    ASSERT_EQ(view.passes.size(), 2u);
    EXPECT_EQ(view.passes[0].rootNode, "Group");
    const LitTextureShader& shader = scene.shaders.entry(*scene.shaders.find("Shader")).object;
    EXPECT_EQ(shader.materialName, "Paint");
    ASSERT_EQ(shader.layers.size(), 2u);
    EXPECT_EQ(shader.layers[1].layer, 3u);
    EXPECT_EQ(shader.layers[1].textureName, "Bump");
    const Material& material = scene.materials.entry(*scene.materials.find("Paint")).object;
    EXPECT_EQ(material.diffuse[2], 0.7f);
    EXPECT_EQ(material.opacity, 0.4f);
    const Texture& texture = scene.textures.entry(*scene.textures.find("Wood")).object;
    EXPECT_EQ(texture.width, 8u);
    EXPECT_EQ(texture.height, 4u);
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
    EXPECT_EQ(scene.materials.entry(0).name, "");
    EXPECT_EQ(scene.materials.entry(0).object.ambient[0], 0.75f); // the default material
    EXPECT_EQ(scene.materials.entry(0).object.diffuse[0], 0.0f);
    EXPECT_EQ(scene.materials.find("Red"), 1u);
    EXPECT_EQ(scene.materials.entry(1).object.diffuse[0], 0.5f);
    EXPECT_EQ(scene.materials.find("Blue"), 2u);
    EXPECT_FALSE(scene.materials.find("Green"));
    EXPECT_EQ(scene.materials.resolve("Green"), 0u);
    EXPECT_EQ(scene.nodes.size(), 2u);
    EXPECT_EQ(scene.nodes.entry(1).object.kind, NodeKind::Model);
    EXPECT_TRUE(scene.nodes.entry(0).object.parents.empty()); // the world
}

TEST(U3dSceneLoader, NodesKeepEveryParentWithItsOwnMatrix)
{
    const U3dBytes file = u3dFile({
        u3dGroupNodeBlock("A", {{"", kU3dIdentity}}),
        u3dGroupNodeBlock("C", {{"", kU3dIdentity}}),
        u3dGroupNodeBlock("Shared",
                          {{"A", u3dTranslation(1, 0, 0)}, {"C", u3dTranslation(0, 2, 0)}, {"A", u3dTranslation(0, 0, 3)}}),
        u3dGroupNodeBlock("Orphan", {}),
    });
    Scene scene;
    ASSERT_EQ(load(file, scene), kIfxOk);
    const Node& shared = scene.nodes.entry(*scene.nodes.find("Shared")).object;
    ASSERT_EQ(shared.parents.size(), 3u);
    EXPECT_EQ(shared.parents[0].name, "A");
    EXPECT_EQ(shared.parents[1].name, "C");
    EXPECT_EQ(shared.parents[1].matrix[13], 2.0f);
    EXPECT_EQ(shared.parents[2].matrix[14], 3.0f);
    EXPECT_TRUE(scene.nodes.entry(*scene.nodes.find("Orphan")).object.parents.empty());
}

TEST(U3dSceneLoader, ModifiersJoinTheChainOfTheirName)
{
    const U3dBytes file = u3dFile({
        // Node chain: the node, then shading and animation.
        u3dModifierChainBlock("Box", kChainTypeNode,
                              {u3dModelNodeBlock("Box", {{"", kU3dIdentity}}, "BoxMesh"),
                               u3dShadingModifierBlock("Box", 1, {{"S1", "S2"}, {"S3"}}),
                               u3dOtherModifierBlock(kBlockAnimationModifier, "Box", 2),
                               u3dOtherModifierBlock(kBlockClodModifier, "Box", 3)}),
        // Resource chain: the modifier before its resource.
        u3dModifierChainBlock("BoxMesh", kChainTypeModelResource,
                              {u3dShadingModifierBlock("BoxMesh", 1, {{"R"}}),
                               u3dStubGeneratorDeclaration(kBlockClodMeshDeclaration, "BoxMesh")}),
        // Outside any chain: joins the node of its name.
        u3dShadingModifierBlock("Box", 4, {{"Late"}}),
        u3dOtherModifierBlock(kBlockSubdivisionModifier, "Nobody", 1),
    });
    Scene scene;
    ASSERT_EQ(load(file, scene), kIfxOk);
    const Node& box = scene.nodes.entry(*scene.nodes.find("Box")).object;
    ASSERT_EQ(box.modifiers.size(), 4u);
    EXPECT_EQ(box.modifiers[0].kind, ModifierKind::Shading);
    EXPECT_EQ(box.modifiers[0].shading.shaders, (std::vector<std::vector<std::string>>{{"S1", "S2"}, {"S3"}}));
    EXPECT_EQ(box.modifiers[1].kind, ModifierKind::Animation);
    EXPECT_EQ(box.modifiers[2].kind, ModifierKind::ClodModifier);
    EXPECT_EQ(box.modifiers[3].shading.shaders[0][0], "Late");
    const ModelResource& mesh = scene.generators.entry(*scene.generators.find("BoxMesh")).object;
    ASSERT_EQ(mesh.modifiers.size(), 1u);
    EXPECT_EQ(mesh.modifiers[0].shading.shaders[0][0], "R");
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
    ASSERT_EQ(load(file, scene, &readStubGeneratorDeclaration), kIfxOk);
    EXPECT_EQ(scene.generators.size(), 1u); // only the default: the house has no mesh
    EXPECT_EQ(scene.generators.resolve("HouseMesh"), 0u);
    EXPECT_TRUE(scene.materials.find("After"));
}

TEST(U3dSceneLoader, GeneratorContinuationsReachTheDeclarationOfTheirName)
{
    const U3dBytes file = u3dFile({
        u3dModifierChainBlock("Mesh", kChainTypeModelResource,
                              {u3dStubGeneratorDeclaration(kBlockClodMeshDeclaration, "Mesh")}),
        u3dModifierChainBlock("Points", kChainTypeModelResource,
                              {u3dStubGeneratorDeclaration(kBlockPointSetDeclaration, "Points"),
                               u3dStubGeneratorContinuation(kBlockPointSetContinuation, "Points", 5)}),
        u3dStubGeneratorDeclaration(kBlockLineSetDeclaration, "Lines"),
        u3dStubGeneratorContinuation(kBlockClodBaseMesh, "Mesh", 2),
        u3dStubGeneratorContinuation(kBlockLineSetContinuation, "Lines", kStubLoseResource),
        u3dStubGeneratorContinuation(kBlockClodProgressiveMesh, "Mesh", 3),
        u3dStubGeneratorContinuation(kBlockLineSetContinuation, "Lines", 4), // lost stays lost
        u3dStubGeneratorContinuation(kBlockClodBaseMesh, "Undeclared", 1),
    });
    Scene withDecoders;
    ASSERT_EQ(load(file, withDecoders, &readStubGeneratorDeclaration), kIfxOk);
    const auto geometryOf = [&](const char* name) {
        return withDecoders.generators.entry(*withDecoders.generators.find(name)).object.geometry();
    };
    ASSERT_NE(geometryOf("Mesh"), nullptr);
    EXPECT_EQ(geometryOf("Mesh")->primitiveCount, 5u);
    EXPECT_EQ(geometryOf("Points")->positionIndices.size(), 5u);
    EXPECT_EQ(geometryOf("Lines"), nullptr);
    EXPECT_EQ(withDecoders.generators.entry(*withDecoders.generators.find("Lines")).object.kind,
              GeneratorKind::LineSet);

    Scene withoutDecoders;
    ASSERT_EQ(load(file, withoutDecoders), kIfxOk);
    EXPECT_EQ(withoutDecoders.generators.size(), 4u);
    EXPECT_EQ(withoutDecoders.generators.entry(1).object.geometry(), nullptr);
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
        {"shading", u3dShadingModifierBlock("M", 1, {{"S"}})},
        {"light", u3dLightResourceBlock("L", {})},
        {"view", u3dViewResourceBlock("V", {"Root"})},
        {"shader", u3dLitTextureShaderBlock("S", "M", {{0, "T"}})},
        {"material", u3dMaterialBlock("M", {1, 1, 1})},
        {"texture", u3dTextureDeclarationBlock("T", 1, 1, kTextureTypeRgb, {{2, 0x0E, {"x.png"}, 0}})},
        {"file reference", u3dFileReferenceBlock({"scope", {"x.u3d"}, {"*"}, {}, 0, ""})},
        {"new object type", u3dNewObjectTypeBlock("Ext", 0x100, {0x101})},
        {"chain", u3dModifierChainBlock("G", kChainTypeNode, {u3dGroupNodeBlock("G", {})})},
    };
    for (const auto& [what, block] : blocks) {
        SCOPED_TRACE(what);
        Scene whole;
        const IFXRESULT wholeResult = load(u3dFile({block}), whole);
        // The whole file reference fails only for want of a document folder.
        EXPECT_EQ(wholeResult, std::string(what) == "file reference" ? kIfxErrorExternalReferenceFailed : kIfxOk);
        for (const size_t cut : {size_t{2}, size_t{3}, size_t{8}}) {
            if (cut > dataSize(block))
                continue;
            Scene scene;
            EXPECT_EQ(load(u3dFile({cutData(block, dataSize(block) - cut)}), scene), kIfxErrorCorrupt) << cut;
            EXPECT_EQ(scene.nodes.size(), 1u); // a failed load leaves the scene as it was
        }
    }
}

TEST(U3dSceneLoader, InputThatIsNotAWholeU3dFileIsCorrupt)
{
    const U3dBytes good = u3dFile({u3dGroupNodeBlock("G", {{"", kU3dIdentity}})});
    U3dBytes overrun = u3dModifierChainBlock("G", kChainTypeNode, {u3dGroupNodeBlock("G", {})});
    overrun[12 + 20] = 0x7F; // inside the nested block's data size: past the chain's end
    const std::vector<std::pair<const char*, U3dBytes>> cases = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'}},
        {"header only, cut", U3dBytes(good.begin(), good.begin() + 20)},
        {"cut inside a block", U3dBytes(good.begin(), good.end() - 10)},
        {"no header first", u3dGroupNodeBlock("G", {})},
        {"nested block past its chain", u3dFile({overrun})},
    };
    for (const auto& [what, bytes] : cases) {
        Scene scene;
        EXPECT_EQ(load(bytes, scene), kIfxErrorCorrupt) << what;
    }
}

// Counts that the Data cannot hold fail before anything is sized by them.
TEST(U3dSceneLoader, HostileCountsFailWithoutAllocating)
{
    const auto withCount = [](uint32_t type, const std::function<void(U3dBitEncoder&)>& before) {
        U3dBitEncoder out;
        before(out);
        out.writeU32(0xFFFFFFF0);
        return u3dFile({u3dBlock(type, out.finish())});
    };
    const std::vector<std::pair<const char*, U3dBytes>> cases = {
        {"parents", withCount(kBlockGroupNode, [](U3dBitEncoder& o) { o.writeString("G"); })},
        {"shader lists", withCount(kBlockShadingModifier,
                                   [](U3dBitEncoder& o) {
                                       o.writeString("G");
                                       o.writeU32(1);
                                       o.writeU32(1);
                                   })},
        {"view passes", withCount(kBlockViewResource, [](U3dBitEncoder& o) { o.writeString("V"); })},
        {"texture images", withCount(kBlockTextureDeclaration,
                                     [](U3dBitEncoder& o) {
                                         o.writeString("T");
                                         o.writeU32(1);
                                         o.writeU32(1);
                                         o.writeU8(0x0E);
                                     })},
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
