#include "prc/structure/globals_reader.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

namespace {

PrcMaterial material(uint32_t diffusePlusOne, double shininess)
{
    PrcMaterial m;
    m.ambientPlusOne = 1, m.diffusePlusOne = diffusePlusOne, m.specularPlusOne = 3;
    m.shininess = shininess;
    m.diffuseAlpha = 0.5;
    return m;
}

PrcTextureDefinition texture(uint8_t dimension, int32_t mappingType)
{
    PrcTextureDefinition t;
    t.dimension = dimension;
    t.mappingType = mappingType;
    return t;
}

// Every table filled, every optional field of a texture definition exercised.
PrcGlobals fullGlobals()
{
    PrcGlobals g;
    g.schemaTypes = {501, 303};
    g.fonts = g.pictures = g.linePatterns = 2;
    g.colours = {{1, 0, 0}, {0, 0.5, 1}, {0.25, 0.25, 0.25}};
    PrcTextureDefinition blended = texture(3, 1);
    blended.function = 3;
    blended.firstBlend = 2;
    blended.applyingMode = 0x02;
    blended.hasTransformation = true;
    blended.transformationFlags = 0x01 | 0x20 | 0x10 | 0x40;
    PrcTextureDefinition byOperator = texture(2, 3);
    byOperator.operatorTransformation = placement({1, 2, 3});
    byOperator.hasTransformation = true;
    byOperator.transformationFlags = 0x02 | 0x08;
    PrcTextureDefinition plainOperator = texture(1, 3);
    plainOperator.hasTransformation = true;
    g.textureDefinitions = {blended, byOperator, plainOperator, texture(1, 2)};
    g.materials = {PrcTextureApplication{1}, material(2, 0.75), PrcTextureApplication{2}, PrcTextureApplication{4},
                   PrcTextureApplication{0}, material(0, 1)};
    PrcStyle transparent = colourStyle(1);
    transparent.transparent = true;
    transparent.lineWidth = 2.5;
    PrcStyle none = colourStyle(0);
    none.colourPlusOne = 0;
    g.styles = {transparent, colourStyle(4, true), none};
    PrcRepresentationItem set;
    set.type = 239;
    set.children = {coordinateSystemItem(generalTransformation(kIdentity4d))};
    PrcRepresentationItem empty;
    empty.type = 0;
    g.coordinateSystems = {coordinateSystemItem(placement({5, 6, 7})), polyBrepItem(0), set, empty};
    g.userDataBits = 11;
    return g;
}

TEST(Globals, EveryTableIsReadAndTheSectionConsumedExactly)
{
    for (const uint32_t version : {7094u, 8137u, 8138u, kPrcVersionUnknown}) {
        PrcBitWriter w;
        writeGlobalsSection(w, fullGlobals(), version);
        GlobalsData g;
        EXPECT_TRUE(readsExactly(w, [&](PRCBitReader& r) { g = readFileStructureGlobals(r); }, version)) << version;

        EXPECT_EQ(g.schemaTypes, (std::vector<uint32_t>{501, 303}));
        ASSERT_EQ(g.colours.size(), 3u);
        EXPECT_EQ(std::tuple(g.colours[1].r, g.colours[1].g, g.colours[1].b), std::tuple(0.0, 0.5, 1.0));

        // Texture applications copy a material read before them, else take the default.
        const auto summary = [](const MaterialData& m) {
            return std::vector<double>{double(m.ambient), double(m.diffuse), double(m.emissive), double(m.specular),
                                       m.shininess, m.ambient_alpha, m.diffuse_alpha, m.emissive_alpha,
                                       m.specular_alpha};
        };
        const std::vector<double> defaults{-1, -1, -1, -1, 0, 1, 1, 1, 1}, read{0, 1, -1, 2, 0.75, 1, 0.5, 1, 1};
        std::vector<std::vector<double>> materials;
        for (const MaterialData& m : g.materials)
            materials.push_back(summary(m));
        // Names itself (nothing before it), read, a copy of 1, names the one after it, none.
        EXPECT_EQ(materials, (std::vector<std::vector<double>>{defaults, read, read, defaults, defaults,
                                                               {0, -1, -1, 2, 1, 1, 0.5, 1, 1}}));

        ASSERT_EQ(g.styles.size(), 3u);
        EXPECT_EQ(std::tuple(g.styles[0].lineWidth, g.styles[0].isMaterial, g.styles[0].colourOrMaterialIndex),
                  std::tuple(2.5, false, uint64_t{1}));
        EXPECT_EQ(std::pair(g.styles[1].isMaterial, g.styles[1].colourOrMaterialIndex), std::pair(true, uint64_t{4}));
        EXPECT_EQ(g.styles[2].colourOrMaterialIndex, UINT64_MAX);

        // One matrix per item whatever its kind; identity for items that are no coordinate system.
        const Matrix4d shifted = {1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1};
        EXPECT_EQ(g.coordinateSystems, (std::vector<Matrix4d>{shifted, kIdentity4d, kIdentity4d, kIdentity4d}));
    }
}

TEST(Globals, EmptySectionAndReaderStateReset)
{
    PrcGlobals g;
    g.base.reuseName = true;
    PrcBitWriter w;
    writeGlobalsSection(w, g, 8137);
    PrcBitInput in = inputWithSentinel(w, 8137);
    in.reader.currentName = "stale";
    in.reader.currentLayer = 4;
    in.reader.currentLineStyle = 5;
    in.reader.currentBehaviour = 9;
    const GlobalsData read = readFileStructureGlobals(in.reader);
    EXPECT_TRUE(atSentinel(in.reader));
    EXPECT_TRUE(read.colours.empty() && read.materials.empty() && read.styles.empty() && read.coordinateSystems.empty());
    EXPECT_EQ(std::tuple(in.reader.currentName, in.reader.currentLayer, in.reader.currentLineStyle,
                         in.reader.currentBehaviour, in.reader.version),
              std::tuple(std::string(), kPrcNoIndex, kPrcNoIndex, uint16_t{1}, 8137u));
}

TEST(Globals, FailuresReachTheCaller)
{
    const std::pair<void (*)(PrcGlobals&), std::string> cases[] = {
        {[](PrcGlobals& g) { g.fillPatternCount = 1; }, "readFileStructureGlobals: unhandled fill patterns (no reference)"},
        {[](PrcGlobals& g) { g.materials.push_back(PrcUnknownMaterial{703}); },
         "readMaterial: unexpected material type: 703"},
        {[](PrcGlobals& g) { g.textureDefinitions[1].operatorTransformation->type = 208; },
         "readTransformation3d: unknown transformation type"},
    };
    for (const auto& [change, message] : cases) {
        PrcGlobals g = fullGlobals();
        change(g);
        PrcBitInput in(globalsSectionBytes(g, 8137), 8137);
        EXPECT_EQ(runtimeErrorOf([&] { readFileStructureGlobals(in.reader); }), message);
    }
    PrcBitInput wrongSection("0 1 00101110 1 00000001 0");
    EXPECT_EQ(runtimeErrorOf([&] { readFileStructureGlobals(wrongSection.reader); }),
              "unexpected type for FileStructureGlobals: expected 303, got 302");
}

} // namespace
