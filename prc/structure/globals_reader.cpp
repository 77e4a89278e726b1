#include "prc/structure/globals_reader.h"

#include "prc/structure/entity_base.h"
#include "prc/structure/list_reserve.h"
#include "prc/structure/product_tree.h"

#include <stdexcept>
#include <string>

namespace {

constexpr uint32_t kTypeGlobals = 303;
constexpr uint32_t kTypeStyle = 701;
constexpr uint32_t kTypeMaterial = 702;
constexpr uint32_t kTypePicture = 703;
constexpr uint32_t kTypeTextureApplication = 711;
constexpr uint32_t kTypeTextureDefinition = 712;
constexpr uint32_t kTypeTextureTransformation = 713;
constexpr uint32_t kTypeLinePattern = 721;

// Texture mapping by an operator (planar, cylindrical, ...) names the operator and may
// place it with a transformation.
constexpr int32_t kMappingOperator = 3;
// A texture definition whose next Integer has this value carries four Doubles.
constexpr int32_t kTextureFourDoubles = 3;
constexpr uint32_t kTextureFunctionHasValue = 0x02;

// Smallest encodings of the list elements, to bound reservations.
constexpr uint64_t kMinColourBits = 6;    // three Doubles of at least 2 bits
constexpr uint64_t kMinMaterialBits = 19; // a type number of 702 or 711
constexpr uint64_t kMinStyleBits = 19;    // a type number of 701

void readUnsignedIntegers(PRCBitReader& reader, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        reader.readUnsignedInteger();
}

void readSchema(PRCBitReader& reader, GlobalsData& globals)
{
    const uint32_t count = reader.readUnsignedInteger();
    reserveForList(globals.schemaTypes, count, reader, 2);
    for (uint32_t i = 0; i < count; ++i) {
        globals.schemaTypes.push_back(reader.readUnsignedInteger());
        readUnsignedIntegers(reader, reader.readUnsignedInteger()); // tokens
    }
}

void readFonts(PRCBitReader& reader)
{
    const uint32_t count = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < count; ++i) {
        reader.readString();          // family name
        reader.readUnsignedInteger(); // character set
        const uint32_t pairs = reader.readUnsignedInteger();
        for (uint32_t j = 0; j < pairs; ++j) {
            reader.readUnsignedInteger();
            reader.readBits(8);
        }
    }
}

void readColours(PRCBitReader& reader, GlobalsData& globals)
{
    const uint32_t count = reader.readUnsignedInteger();
    reserveForList(globals.colours, count, reader, kMinColourBits);
    for (uint32_t i = 0; i < count; ++i) {
        Colour colour;
        colour.r = reader.readDouble();
        colour.g = reader.readDouble();
        colour.b = reader.readDouble();
        globals.colours.push_back(colour);
    }
}

void readPictures(PRCBitReader& reader)
{
    const uint32_t count = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < count; ++i) {
        expectType(reader, kTypePicture, "PRCPicture");
        readContentPRCBase(reader, kTypePicture);
        reader.readInteger(); // format
        readUnsignedIntegers(reader, 3); // file index, width, height
    }
}

// Behaviour flags of a 2D cartesian transformation, and the Doubles each brings.
void readTextureTransformation(PRCBitReader& reader)
{
    expectType(reader, kTypeTextureTransformation, "PRCTextureTransformation");
    reader.readBoolean();
    reader.readBoolean();
    if (!reader.readBoolean())
        return;
    const uint32_t flags = reader.readBits(8);
    int doubles = 0;
    if (flags & 0x01)
        doubles += 2; // translation
    if (flags & 0x20)
        doubles += 4; // two axes
    else if (flags & 0x02)
        doubles += 2; // one axis
    if (flags & 0x10)
        doubles += 2; // scale
    else if (flags & 0x08)
        doubles += 1; // uniform scale
    if (flags & 0x40)
        doubles += 3; // homogeneous part
    for (int i = 0; i < doubles; ++i)
        reader.readDouble();
}

void readTextureDefinition(PRCBitReader& reader)
{
    expectType(reader, kTypeTextureDefinition, "PRCTextureDefinition");
    readContentPRCBase(reader, kTypeTextureDefinition);
    reader.readUnsignedInteger(); // picture index
    const uint32_t dimension = reader.readBits(8);
    if (reader.readInteger() == kMappingOperator) {
        reader.readInteger(); // operator
        if (reader.readBoolean())
            readTransformation3d(reader);
    }
    reader.readUnsignedInteger();
    const uint32_t doubles = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < doubles; ++i)
        reader.readDouble();
    const uint32_t characters = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < characters; ++i)
        reader.readBits(8);
    if (reader.readInteger() == kTextureFourDoubles)
        for (int i = 0; i < 4; ++i)
            reader.readDouble();
    for (int i = 0; i < 2; ++i)
        if (reader.readInteger() != 0)
            reader.readInteger();
    if (reader.readBits(8) & kTextureFunctionHasValue) {
        reader.readInteger();
        reader.readDouble();
    }
    reader.readInteger();
    if (dimension > 1) {
        reader.readInteger();
        if (dimension != 2)
            reader.readInteger();
    }
    if (reader.readBoolean())
        readTextureTransformation(reader);
}

void readMaterials(PRCBitReader& reader, GlobalsData& globals)
{
    const uint32_t count = reader.readUnsignedInteger();
    reserveForList(globals.materials, count, reader, kMinMaterialBits);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t type = reader.readUnsignedInteger();
        if (type == kTypeMaterial) {
            readContentPRCBase(reader, kTypeMaterial);
            MaterialData material;
            material.ambient = static_cast<int64_t>(reader.readUnsignedInteger()) - 1;
            material.diffuse = static_cast<int64_t>(reader.readUnsignedInteger()) - 1;
            material.emissive = static_cast<int64_t>(reader.readUnsignedInteger()) - 1;
            material.specular = static_cast<int64_t>(reader.readUnsignedInteger()) - 1;
            material.shininess = reader.readDouble();
            material.ambient_alpha = reader.readDouble();
            material.diffuse_alpha = reader.readDouble();
            material.emissive_alpha = reader.readDouble();
            material.specular_alpha = reader.readDouble();
            globals.materials.push_back(material);
        } else if (type == kTypeTextureApplication) {
            readContentPRCBase(reader, kTypeTextureApplication);
            const uint32_t genericPlusOne = reader.readUnsignedInteger();
            readUnsignedIntegers(reader, 3); // texture definition, next texture, coordinates
            // Only a material already read can be copied; a later one is not known yet.
            if (genericPlusOne != 0 && genericPlusOne - 1 < globals.materials.size())
                globals.materials.push_back(MaterialData(globals.materials[genericPlusOne - 1]));
            else
                globals.materials.push_back(MaterialData{});
        } else {
            throw std::runtime_error("readMaterial: unexpected material type: " + std::to_string(type));
        }
    }
}

void readLinePatterns(PRCBitReader& reader)
{
    const uint32_t count = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < count; ++i) {
        expectType(reader, kTypeLinePattern, "PRCLinePattern");
        readContentPRCBase(reader, kTypeLinePattern);
        const uint32_t lengths = reader.readUnsignedInteger();
        for (uint32_t j = 0; j < lengths; ++j)
            reader.readDouble();
        reader.readDouble();
        reader.readBoolean();
    }
}

void readStyles(PRCBitReader& reader, GlobalsData& globals)
{
    const uint32_t count = reader.readUnsignedInteger();
    reserveForList(globals.styles, count, reader, kMinStyleBits);
    for (uint32_t i = 0; i < count; ++i) {
        expectType(reader, kTypeStyle, "PRCStyle");
        readContentPRCBase(reader, kTypeStyle);
        StyleData style;
        style.lineWidth = reader.readDouble();
        reader.readBoolean();         // picture flag
        reader.readUnsignedInteger(); // line pattern index
        style.isMaterial = reader.readBoolean();
        style.colourOrMaterialIndex = indexFromStored(reader.readUnsignedInteger());
        for (int j = 0; j < 4; ++j) // transparency, then three optional bytes
            if (reader.readBoolean())
                reader.readBits(8);
        globals.styles.push_back(style);
    }
}

void readCoordinateSystems(PRCBitReader& reader, GlobalsData& globals)
{
    RepresentationItemBudget budget;
    const uint32_t count = reader.readUnsignedInteger();
    reserveForList(globals.coordinateSystems, count, reader, 1);
    for (uint32_t i = 0; i < count; ++i)
        globals.coordinateSystems.push_back(readCoordinateSystemItem(reader, budget));
}

} // namespace

GlobalsData readFileStructureGlobals(PRCBitReader& reader)
{
    reader.currentName.clear();
    reader.currentLayer = kPrcNoIndex;
    reader.currentLineStyle = kPrcNoIndex;
    reader.currentBehaviour = 1;

    GlobalsData globals;
    readSchema(reader, globals);
    expectType(reader, kTypeGlobals, "FileStructureGlobals");
    readContentPRCBase(reader, kTypeGlobals);
    const uint32_t referenced = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < referenced; ++i)
        readUnsignedIntegers(reader, 4);
    reader.readDouble(); // tessellation chord height ratio
    reader.readDouble(); // tessellation angle
    reader.readString(); // default font family
    readFonts(reader);
    readColours(reader, globals);
    readPictures(reader);
    const uint32_t textures = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < textures; ++i)
        readTextureDefinition(reader);
    readMaterials(reader, globals);
    readLinePatterns(reader);
    readStyles(reader, globals);
    if (reader.readUnsignedInteger() != 0)
        throw std::runtime_error("readFileStructureGlobals: unhandled fill patterns (no reference)");
    readCoordinateSystems(reader, globals);
    readUserData(reader);
    return globals;
}
