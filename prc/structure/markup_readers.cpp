#include "prc/structure/markup_readers.h"

#include "prc/structure/entity_base.h"

#include <stdexcept>
#include <string>

namespace {

constexpr uint32_t kTypeMarkupLinkedItem = 204;
constexpr uint32_t kTypeMarkup = 502;
constexpr uint32_t kTypeLeader = 503;
constexpr uint32_t kTypeAnnotationItem = 504;
constexpr uint32_t kTypeAnnotationSet = 505;
constexpr uint32_t kTypeAnnotationReference = 506;

void readReferenceList(PRCBitReader& reader, const char* name)
{
    const uint32_t count = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < count; ++i)
        readReferenceOnPRCBase(reader, name);
}

void readAnnotationEntityAt(PRCBitReader& reader, int depth)
{
    const uint32_t type = reader.readUnsignedInteger();
    if (type != kTypeAnnotationItem && type != kTypeAnnotationSet && type != kTypeAnnotationReference)
        throw std::runtime_error("readAnnotationEntity: unknown type " + std::to_string(type));
    readContentPRCBase(reader, type);
    reader.readGraphics();
    if (type == kTypeAnnotationItem) {
        readReferenceOnPRCBase(reader, "AnnotationItem.markup");
    } else if (type == kTypeAnnotationSet) {
        if (depth >= kMaxAnnotationSetDepth)
            throw std::runtime_error("readAnnotationEntity: annotation sets nested too deeply");
        const uint32_t count = reader.readUnsignedInteger();
        for (uint32_t i = 0; i < count; ++i)
            readAnnotationEntityAt(reader, depth + 1);
    } else {
        readReferenceList(reader, "AnnotationReference.linked_items");
    }
    readUserData(reader);
}

} // namespace

void readMarkupLinkedItem(PRCBitReader& reader)
{
    expectType(reader, kTypeMarkupLinkedItem, "PRCMarkupLinkedItem");
    readContentPRCBase(reader, kTypeMarkupLinkedItem);
    reader.readGraphics();
    reader.readUnsignedInteger();
    if (reader.readBoolean())
        readReferenceData(reader);
    if (reader.readBoolean())
        readReferenceData(reader);
    for (int i = 0; i < 4; ++i)
        reader.readBoolean();
    readUserData(reader);
}

void readLeader(PRCBitReader& reader)
{
    expectType(reader, kTypeLeader, "PRCLeader");
    readContentPRCBase(reader, kTypeLeader);
    reader.readGraphics();
    if (reader.readBoolean())
        readReferenceOnPRCBase(reader, "Leader.first_linked_item");
    if (reader.readBoolean())
        readReferenceOnPRCBase(reader, "Leader.second_linked_item");
    reader.readUnsignedInteger(); // tessellation index
    readUserData(reader);
}

void readMarkup(PRCBitReader& reader)
{
    expectType(reader, kTypeMarkup, "PRCMarkup");
    readContentPRCBase(reader, kTypeMarkup);
    reader.readGraphics();
    reader.readUnsignedInteger(); // type
    reader.readUnsignedInteger(); // sub-type
    readReferenceList(reader, "Markup.linked_items");
    readReferenceList(reader, "Markup.leaders");
    reader.readUnsignedInteger(); // tessellation index
    readUserData(reader);
}

void readAnnotationEntity(PRCBitReader& reader)
{
    readAnnotationEntityAt(reader, 0);
}

void readMarkupLists(PRCBitReader& reader)
{
    for (void (*readOne)(PRCBitReader&) : {readMarkupLinkedItem, readLeader, readMarkup, readAnnotationEntity}) {
        const uint32_t count = reader.readUnsignedInteger();
        for (uint32_t i = 0; i < count; ++i)
            readOne(reader);
    }
}
