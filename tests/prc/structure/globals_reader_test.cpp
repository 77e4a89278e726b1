#include "prc/structure/globals_reader.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

namespace {

PrcMaterial material(uint32_t diffusePlusOne, double shininess)
{
    PrcMaterial m;
    m.ambientPlusOne = 1, m.diffusePlusOne = diffusePlusOne, m.emissivePlusOne = 0, m.specularPlusOne = 3;
    m.shininess = shininess;
    m.diffuseAlpha = 0.5;
    return m;
}

PrcTextureApplication application(uint32_t materialPlusOne)
{
    PrcTextureApplication a;
    a.materialPlusOne = materialPlusOne;
    a.rest = {1, 0, 2};
    return a;
}

PrcTransformation transformationOfType(uint32_t type)
{
    PrcTransformation t;
    t.type = type;
    return t;
}

PrcTextureDefinition texture(uint8_t dimension, int32_t mappingType)
{
    PrcTextureDefinition t;
    t.dimension = dimension;
    t.mappingType = mappingType;
    t.mappingOperator = 1;
    t.intensities = {0.5};
    t.components = {1, 2};
    t.wrapping = {1, 2, 3};
    return t;
}

// Every table filled, every optional field of a texture definition exercised.
PrcGlobals fullGlobals()
{
    PrcGlobals g;
    g.schema = {{501, {19, 20, 7309, 0, 21, 21}}, {303, {}}};
    g.referencedFileStructures = {{1, 2, 3, 4}};
    g.chordRatio = 0.1, g.angle = 40;
    g.defaultFont = "Arial";
    g.fonts = {{"Courier", 1, {{2, 'a'}, {300, 'b'}}}};
    g.colours = {{1, 0, 0}, {0, 0.5, 1}, {0.25, 0.25, 0.25}};
    g.pictures.emplace_back().width = 64;
    PrcTextureDefinition blended = texture(3, 1);
    blended.function = 3;
    blended.blends = {{{2, 5}, {0, 9}}};
    blended.applyingMode = 0x02;
    blended.transformation = PrcTextureTransformation{true, false, 0x01 | 0x20 | 0x10 | 0x40};
    PrcTextureDefinition byOperator = texture(2, 3);
    PrcTransformation placed;
    placed.flags = 0x01;
    placed.translation = {1, 2, 3};
    byOperator.operatorTransformation = placed;
    byOperator.transformation = PrcTextureTransformation{false, true, 0x02 | 0x08};
    PrcTextureDefinition plainOperator = texture(1, 3);
    plainOperator.transformation = PrcTextureTransformation{};
    g.textureDefinitions = {blended, byOperator, plainOperator, texture(1, 2)};
    g.materials = {application(1), material(2, 0.75), application(2), application(4), application(0),
                   material(0, 1)};
    g.linePatterns.emplace_back().lengths = {1, 2};
    PrcStyle transparent = colourStyle(1);
    transparent.optionalBytes = {{uint8_t{128}, std::nullopt, uint8_t{3}, std::nullopt}};
    transparent.lineWidth = 2.5;
    PrcStyle none = colourStyle(0);
    none.colourPlusOne = 0;
    g.styles = {transparent, colourStyle(4, true), none};
    PrcRepresentationItem set;
    set.type = 239;
    set.children = {coordinateSystemItem(generalTransformation(kIdentity4d))};
    PrcTransformation shifted;
    shifted.flags = 0x01;
    shifted.translation = {5, 6, 7};
    PrcRepresentationItem empty;
    empty.type = 0;
    g.coordinateSystems = {coordinateSystemItem(shifted), polyBrepItem(0), set, empty};
    g.userDataBits = 11;
    return g;
}

TEST(Globals, EveryTableIsReadAndTheSectionConsumedExactly)
{
    for (const uint32_t version : {7094u, 8137u, 8138u, kPrcVersionUnknown}) {
        PrcBitWriter w;
        writeGlobalsSection(w, fullGlobals(), version);
        PrcBitInput in = inputWithSentinel(w, version);
        const GlobalsData g = readFileStructureGlobals(in.reader);
        EXPECT_TRUE(atSentinel(in.reader)) << version;

        EXPECT_EQ(g.schemaTypes, (std::vector<uint32_t>{501, 303}));
        ASSERT_EQ(g.colours.size(), 3u);
        EXPECT_EQ(std::vector<double>({g.colours[1].r, g.colours[1].g, g.colours[1].b}), (std::vector<double>{0, 0.5, 1}));

        // Texture applications copy a material read before them, else take the default.
        const auto summary = [](const MaterialData& m) {
            return std::vector<double>{double(m.ambient), double(m.diffuse), double(m.emissive), double(m.specular),
                                       m.shininess, m.ambient_alpha, m.diffuse_alpha, m.emissive_alpha,
                                       m.specular_alpha};
        };
        const std::vector<double> defaults{-1, -1, -1, -1, 0, 1, 1, 1, 1}, read{0, 1, -1, 2, 0.75, 1, 0.5, 1, 1};
        ASSERT_EQ(g.materials.size(), 6u);
        EXPECT_EQ(summary(g.materials[0]), defaults) << "names itself: no material before it";
        EXPECT_EQ(summary(g.materials[1]), read);
        EXPECT_EQ(summary(g.materials[2]), read) << "a copy of material 1";
        EXPECT_EQ(summary(g.materials[3]), defaults) << "names the material after it";
        EXPECT_EQ(summary(g.materials[4]), defaults) << "names none";
        EXPECT_EQ(summary(g.materials[5]), (std::vector<double>{0, -1, -1, 2, 1, 1, 0.5, 1, 1}));

        ASSERT_EQ(g.styles.size(), 3u);
        EXPECT_EQ(g.styles[0].lineWidth, 2.5);
        EXPECT_EQ(std::pair(g.styles[0].isMaterial, g.styles[0].colourOrMaterialIndex), std::pair(false, uint64_t{1}));
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
    EXPECT_EQ(in.reader.currentName, "");
    EXPECT_EQ(in.reader.currentLayer, kPrcNoIndex);
    EXPECT_EQ(in.reader.currentLineStyle, kPrcNoIndex);
    EXPECT_EQ(in.reader.currentBehaviour, 1);
    EXPECT_EQ(in.reader.version, 8137u);
}

TEST(Globals, FailuresReachTheCaller)
{
    struct Case {
        const char* name;
        void (*change)(PrcGlobals&);
        std::string message;
    };
    const Case cases[] = {
        {"fill patterns after complete tables", [](PrcGlobals& g) { g.fillPatternCount = 1; },
         "readFileStructureGlobals: unhandled fill patterns (no reference)"},
        {"unknown material", [](PrcGlobals& g) { g.materials.push_back(PrcUnknownMaterial{703}); },
         "readMaterial: unexpected material type: 703"},
        {"coordinate system with an unknown transformation",
         [](PrcGlobals& g) { g.coordinateSystems.push_back(coordinateSystemItem(transformationOfType(203))); },
         "readTransformation3d: unknown transformation type"},
        {"texture operator with an unknown transformation",
         [](PrcGlobals& g) {
             PrcTextureDefinition t = texture(2, 3);
             t.operatorTransformation = transformationOfType(208);
             g.textureDefinitions.push_back(t);
         },
         "readTransformation3d: unknown transformation type"},
    };
    for (const Case& c : cases) {
        PrcGlobals g = fullGlobals();
        c.change(g);
        PrcBitWriter w;
        writeGlobalsSection(w, g, 8137);
        PrcBitInput in(w.bytes(), 8137);
        EXPECT_EQ(runtimeErrorOf([&] { readFileStructureGlobals(in.reader); }), c.message) << c.name;
    }
    // Wrong entity types where the section names one: the tables up to the fonts are
    // empty, then the given counts and type.
    const std::pair<std::vector<uint32_t>, std::string> typed[] = {
        {{0, 1, 704}, "unexpected type for PRCPicture: expected 703, got 704"},
        {{0, 0, 0, 0, 0, 1, 702}, "unexpected type for PRCStyle: expected 701, got 702"},
    };
    for (const auto& [tail, message] : typed) {
        PrcBitWriter w;
        w.writeUnsignedInteger(0);
        w.writeUnsignedInteger(303);
        writeContentPRCBase(w, PrcBase{}, 303);
        w.writeUnsignedInteger(0);
        w.writeDouble(0);
        w.writeDouble(0);
        w.writeString("");
        w.writeUnsignedInteger(0);
        for (const uint32_t value : tail)
            w.writeUnsignedInteger(value);
        PrcBitInput in(w.bytes());
        EXPECT_EQ(runtimeErrorOf([&] { readFileStructureGlobals(in.reader); }), message);
    }
    PrcBitInput wrongSection("0 1 00101110 1 00000001 0");
    EXPECT_EQ(runtimeErrorOf([&] { readFileStructureGlobals(wrongSection.reader); }),
              "unexpected type for FileStructureGlobals: expected 303, got 302");
}

} // namespace
