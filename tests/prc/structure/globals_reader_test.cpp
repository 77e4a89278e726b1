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
        EXPECT_EQ(failsToDecode([&] { readFileStructureGlobals(in.reader); }), !std::string_view(message).empty());
    }
    PrcBitInput wrongSection("0 1 00101110 1 00000001 0");
    EXPECT_TRUE(failsToDecode([&] { readFileStructureGlobals(wrongSection.reader); }));
}

} // namespace
