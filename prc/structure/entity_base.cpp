#include "prc/structure/entity_base.h"

#include <stdexcept>

namespace {

constexpr uint32_t kTypeAttribute = 201;
constexpr uint32_t kTypeReferenceOnPRCBase = 205;
constexpr uint32_t kTypeReferenceOnTopology = 206;
constexpr uint32_t kTypePicture = 703;

// Section headers (301 to 305) and pictures carry no identifiers after their name.
bool carriesIdentifiers(uint32_t type)
{
    return !((type >= 301 && type <= 305) || type == kTypePicture);
}

void readAttributeTitle(PRCBitReader& reader)
{
    if (reader.readBoolean())
        reader.readUnsignedInteger();
    else
        reader.readString();
}

void readSingleAttribute(PRCBitReader& reader)
{
    readAttributeTitle(reader);
    const uint32_t type = reader.readUnsignedInteger();
    switch (static_cast<int32_t>(type)) {
    case 0:
        break;
    case 1:
    case 3:
        reader.readInteger();
        break;
    case 2:
        reader.readDouble();
        break;
    case 4:
        reader.readString();
        break;
    case 5:
        reader.readInteger();
        reader.readUnsignedInteger();
        break;
    default:
        throw std::runtime_error("readSingleAttribute: unhandled attribute type " + std::to_string(type));
    }
}

// A name bit of 0 brings a new current name; 1 keeps the current one.
const std::string& readName(PRCBitReader& reader)
{
    if (!reader.readBoolean())
        reader.currentName = reader.readString();
    return reader.currentName;
}

void readFileStructureUid(PRCBitReader& reader)
{
    for (int i = 0; i < 4; ++i)
        reader.readUnsignedInteger();
}

} // namespace

void expectType(PRCBitReader& reader, uint32_t expected, const char* name)
{
    const uint32_t type = reader.readUnsignedInteger();
    if (type != expected)
        throw std::runtime_error(std::string("unexpected type for ") + name + ": expected " +
                                 std::to_string(expected) + ", got " + std::to_string(type));
}

void readAttributes(PRCBitReader& reader)
{
    const uint32_t count = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < count; ++i) {
        expectType(reader, kTypeAttribute, "PRCAttribute");
        readAttributeTitle(reader);
        const uint32_t keys = reader.readUnsignedInteger();
        for (uint32_t k = 0; k < keys; ++k)
            readSingleAttribute(reader);
    }
}

std::string readContentPRCBase(PRCBitReader& reader, uint32_t type)
{
    readAttributes(reader);
    std::string name = readName(reader);
    if (carriesIdentifiers(type)) {
        reader.readUnsignedInteger(); // CAD identifier
        reader.readUnsignedInteger(); // CAD persistent identifier
        reader.readUnsignedInteger(); // PRC unique identifier
    }
    return name;
}

void readEmptyContentPRCBase(PRCBitReader& reader)
{
    if (reader.readUnsignedInteger() != 0)
        throw std::runtime_error("readEmptyContentPRCBase: unexpected attributes (non-empty section?)");
    if (!readName(reader).empty())
        throw std::runtime_error("readEmptyContentPRCBase: unexpected name (non-empty section?)");
}

void readUserData(PRCBitReader& reader)
{
    const uint32_t bits = reader.readUnsignedInteger();
    if (bits == 0)
        return;
    if (!reader.hasBits(bits))
        throw std::runtime_error("PRCBitReader: skip past end");
    reader.skipBits(bits);
}

Vector3d readVector3d(PRCBitReader& reader)
{
    Vector3d v;
    v.x = reader.readDouble();
    v.y = reader.readDouble();
    v.z = reader.readDouble();
    return v;
}

void readReferenceOnPRCBase(PRCBitReader& reader, const char* name)
{
    expectType(reader, kTypeReferenceOnPRCBase, name);
    reader.readUnsignedInteger(); // type of the target
    if (!reader.readBoolean())
        readFileStructureUid(reader);
    reader.readUnsignedInteger(); // index of the target
}

void readReferenceData(PRCBitReader& reader)
{
    readReferenceData(reader, "ReferenceData: unknown type");
}

void readReferenceData(PRCBitReader& reader, const char* unknownTypeMessage)
{
    const uint32_t type = reader.readUnsignedInteger();
    if (type == kTypeReferenceOnPRCBase) {
        reader.readUnsignedInteger();
        if (!reader.readBoolean())
            readFileStructureUid(reader);
        reader.readUnsignedInteger();
    } else if (type == kTypeReferenceOnTopology) {
        reader.readUnsignedInteger();
        if (!reader.readBoolean())
            return;
        if (!reader.readBoolean())
            readFileStructureUid(reader);
        reader.readUnsignedInteger();
        reader.readUnsignedInteger();
        const uint32_t count = reader.readUnsignedInteger();
        for (uint32_t i = 0; i < count; ++i)
            reader.readUnsignedInteger();
    } else {
        throw std::runtime_error(unknownTypeMessage);
    }
}

RepresentationItemContent readRepresentationItemContent(PRCBitReader& reader, uint32_t type)
{
    RepresentationItemContent content;
    readContentPRCBase(reader, type);
    content.styleIndex = reader.readGraphics().lineStyle;
    content.index_local_coordinate_system = indexFromStored(reader.readUnsignedInteger());
    content.index_tessellation = indexFromStored(reader.readUnsignedInteger());
    return content;
}
