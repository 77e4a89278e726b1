#include "tests/support/files.h"
#include "tests/support/u3d_scene_blocks.h"
#include "tests/u3d/fake_library.h"
#include "u3d/appearance.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::array<uint8_t, 3> rgb(const uint8_t* colour)
{
    return {colour[0], colour[1], colour[2]};
}

class Appearance : public FakeLibraryTest {
protected:
    void TearDown() override
    {
        withdrawAppearanceContext();
        setU3dDebugColors(false);
    }

    FakeShadingModifier* shadingOnChainOf(FakeNode* node)
    {
        FakeShadingModifier* shading = scene.shading({});
        node->chain = scene.chain({scene.make<FakePlainModifier>(), shading});
        return shading;
    }

    std::vector<MaterialRecord> materials{defaultMaterialRecord()};
};

TEST_F(Appearance, ShadingModifierIsSoughtInOrder)
{
    FakeNode* wheel = scene.node("wheel");
    FakeNode* orphan = scene.node("n_wheel");
    FakeGeometry* resource = scene.geometry("mesh");
    FakeShadingModifier* onOrphan = shadingOnChainOf(orphan);
    IFXPalette* nodes = &scene.palette(kIfxPaletteNode);
    IFXModifier* resourceModifier = resource;

    setU3dDebugColors(true);
    testing::internal::CaptureStderr();
    // Only the orphan node "n_wheel" carries one yet.
    EXPECT_EQ(findShadingModifier(nodes, 0, static_cast<IFXNode*>(wheel), resourceModifier).get(), onOrphan);
    resource->chain = scene.chain({scene.shading({})});
    FakeShadingModifier* onResource = static_cast<FakeShadingModifier*>(resource->chain->modifiers[0]);
    EXPECT_EQ(findShadingModifier(nodes, 0, static_cast<IFXNode*>(wheel), resourceModifier).get(), onResource);
    FakeShadingModifier* onNode = shadingOnChainOf(wheel);
    EXPECT_EQ(findShadingModifier(nodes, 0, static_cast<IFXNode*>(wheel), resourceModifier).get(), onNode);
    EXPECT_EQ(findShadingModifier(nullptr, 0, nullptr, nullptr).get(), nullptr);
    EXPECT_EQ(findShadingModifier(nodes, 1, nullptr, nullptr).get(), nullptr); // no "n_n_wheel"
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(gOutstandingReferences, 0);

    const char* expected[] = {
        "[U3D_DEBUG] findShadingModifier: node='wheel' via=orphan-n_name\n",
        "[U3D_DEBUG] findShadingModifier: via=resource-chain (no name lookup, pNodePalette=",
        "[U3D_DEBUG] findShadingModifier: via=node-chain (no name lookup, pNodePalette=",
        "[U3D_DEBUG] findShadingModifier: via=none (no name lookup, pNodePalette=",
        "[U3D_DEBUG] findShadingModifier: node='n_wheel' via=none\n",
    };
    size_t at = 0;
    for (const char* line : expected) {
        at = diagnostics.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "\nin:\n" << diagnostics;
    }
}

TEST_F(Appearance, ElementsBeyondTheShaderListUseItsFirstShader)
{
    publishAppearanceContext(&materials, nullptr);
    const uint32_t red = scene.material("red", {1, 0, 0});
    FakeShadingModifier* shading = scene.shading({scene.shader("a", red, 5), scene.shader("b", red, 0)});
    const AppearanceTable table = resolveModelAppearance(scene.graph(), shading, 3, nullptr, 0);
    ASSERT_EQ(table.size(), 3u);
    // Texture id 0 is none.
    EXPECT_EQ(std::make_tuple(table.at(0).textureId, table.at(1).textureId, table.at(2).textureId),
              std::make_tuple(5u, kNoTexture, 5u));
    EXPECT_EQ(rgb(table.at(2).colour), (std::array<uint8_t, 3>{255, 0, 0}));
    EXPECT_EQ(std::make_tuple(table.at(1).materialIndex, materials.size()), std::make_tuple(1u, size_t{2}));
    withdrawAppearanceContext(); // lets go of what the traversal kept
    EXPECT_EQ(gOutstandingReferences, 0);
}

TEST_F(Appearance, MaterialRecordsAreClampedAndDeduplicated)
{
    publishAppearanceContext(&materials, nullptr);
    FakeMaterial odd;
    odd.diffuse = {0.5f, 2.0f, -1.0f};
    odd.emission = {std::nanf(""), INFINITY, -0.0f};
    odd.opacity = 0.5f;
    odd.transparent = 1;
    AppearanceEntry entry;
    addMaterialRecord(&odd, entry);
    EXPECT_EQ(rgb(entry.colour), (std::array<uint8_t, 3>{128, 255, 0}));
    ASSERT_EQ(entry.materialIndex, 1u);
    const MaterialRecord& record = materials[1];
    EXPECT_EQ((std::array<float, 3>{record.diffuse[0], record.diffuse[1], record.diffuse[2]}),
              (std::array<float, 3>{0.5f, 1, 0}));
    EXPECT_EQ((std::array<float, 3>{record.emissive[0], record.emissive[1], record.emissive[2]}),
              (std::array<float, 3>{0, 0, 0}));
    EXPECT_FALSE(std::signbit(record.emissive[2]));
    EXPECT_EQ(record.transparent, 1u);

    FakeMaterial same = odd;
    AppearanceEntry again;
    addMaterialRecord(&same, again);
    EXPECT_EQ(again.materialIndex, 1u);

    FakeMaterial opaque;
    opaque.transparent = 1;
    opaque.opacityFails = true; // reads as 1
    addMaterialRecord(&opaque, again);
    EXPECT_EQ(std::tie(materials.back().transparent, materials.back().opacity), std::make_tuple(0u, 1.0f));

    while (materials.size() < kMaxMaterialRecords) {
        FakeMaterial distinct;
        distinct.reflectivity = float(materials.size()) / 4096;
        addMaterialRecord(&distinct, again);
    }
    EXPECT_EQ(again.materialIndex, kMaxMaterialRecords - 1);
    FakeMaterial oneMore;
    oneMore.ambient = {0.9f, 0.9f, 0.9f};
    addMaterialRecord(&oneMore, again);
    EXPECT_EQ(std::make_tuple(again.materialIndex, materials.size()), std::make_tuple(0, kMaxMaterialRecords));
    addMaterialRecord(&same, again);
    EXPECT_EQ(again.materialIndex, 1u); // known ones are still found
}

TEST_F(Appearance, RawShadingMapReadsTheFirstShaderListOfEachModifier)
{
    const U3dChainBounds bounds{std::array<float, 4>{}, std::array<float, 6>{}};
    const U3dBytes file = u3dFile({
        u3dModifierChainBlock("n_a", 0, {u3dShadingModifierBlock("n_a", {{"s1", "s2"}, {"ignored"}})}, bounds),
        u3dModifierChainBlock("x", 0, {u3dShadingModifierBlock("n_b", {{"old"}}), u3dShadingModifierBlock("n_b", {{"new"}})}),
        u3dModifierChainBlock("yy", 0,
                              {u3dShadingModifierBlock("n_none", {}),
                               u3dShadingModifierBlock("n_many", std::vector<std::vector<std::string>>(65, {"s"})),
                               u3dShadingModifierBlock("n_wide", {std::vector<std::string>(257, "s")}),
                               u3dShadingModifierBlock("", {{"s"}})}),
        u3dShadingModifierBlock("n_top", {{"s"}}), // only inside chains
    });
    const RawShadingFallbackMap map = buildRawShadingFallbackMap(file.data(), file.size());
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at("n_a"), (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(map.at("n_b"), std::vector<std::string>{"new"});

    for (size_t cut = 0; cut < file.size(); cut += 7) // truncated files never read past the end
        buildRawShadingFallbackMap(file.data(), cut);
}

TEST_F(Appearance, RawFallbackAppliesWhenShadersGiveNoMaterial)
{
    const uint32_t blue = scene.material("blue", {0, 0, 1});
    scene.shader("s1", 99, 4); // names a material that does not exist
    scene.shader("s2", blue);
    scene.node("wheel");
    const RawShadingFallbackMap map = {{"n_wheel", {"s2", "s1"}}};
    publishAppearanceContext(&materials, &map);
    FakeShadingModifier* shading = scene.shading({0});

    setU3dDebugColors(true);
    testing::internal::CaptureStderr();
    const AppearanceTable table = resolveModelAppearance(scene.graph(), shading, 3, &scene.palette(kIfxPaletteNode), 0);
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(rgb(table.at(0).colour), (std::array<uint8_t, 3>{0, 0, 255}));
    // The texture of the shader list stays where the fallback gives none.
    EXPECT_EQ(std::make_tuple(table.at(0).textureId, table.at(1).textureId), std::make_tuple(4u, 4u));
    EXPECT_EQ(table.at(2).materialIndex, table.at(0).materialIndex);
    EXPECT_NE(diagnostics.find("numMaterials=3 numShaders=1"), std::string::npos) << diagnostics;
    EXPECT_NE(diagnostics.find("raw fallback hit for 'n_wheel', 2 shader names"), std::string::npos);

    // Without a node palette the fallback is not tried.
    EXPECT_EQ(resolveModelAppearance(scene.graph(), shading, 1, nullptr, 0).at(0).colour[0], 255);
    withdrawAppearanceContext();
    EXPECT_EQ(gOutstandingReferences, 0);
}

TEST_F(Appearance, NothingIsWrittenWithoutTheDebugSwitch)
{
    testing::internal::CaptureStderr();
    resolveModelAppearance(scene.graph(), nullptr, 2, nullptr, 0);
    findShadingModifier(nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(RawShadingMapOnRealFiles, NamesTheShadersOfRealModifierChains)
{
    const auto files = corpusFiles("u3d", ".u3d");
    if (files.empty())
        GTEST_SKIP() << "no corpus";
    size_t withEntries = 0;
    for (const auto& file : files) {
        const U3dBytes bytes = readFileBytes(file);
        const RawShadingFallbackMap map = buildRawShadingFallbackMap(bytes.data(), bytes.size());
        withEntries += !map.empty();
        for (const auto& [name, shaders] : map)
            EXPECT_FALSE(name.empty() || shaders.empty() || shaders.size() > 256) << file;
    }
    EXPECT_GT(withEntries, 0u);
}

} // namespace
