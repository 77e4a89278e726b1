#include "prc/structure/filter_readers.h"

#include "prc/structure/entity_base.h"

namespace {

constexpr uint32_t kTypeEntityReference = 203;
constexpr uint32_t kTypeFilter = 320;

} // namespace

void readEntityReference(PRCBitReader& reader)
{
    expectType(reader, kTypeEntityReference, "PRCEntityReference");
    readContentPRCBase(reader, kTypeEntityReference);
    reader.readGraphics();
    reader.readUnsignedInteger(); // local coordinate system; the value is dropped
    if (reader.readBoolean())
        readReferenceData(reader, "readEntityReference: unknown reference type");
    readUserData(reader);
}

void readFilter(PRCBitReader& reader)
{
    expectType(reader, kTypeFilter, "PRCFilter");
    readContentPRCBase(reader, kTypeFilter);
    reader.readBoolean(); // active
    reader.readBoolean(); // inclusive
    const uint32_t layers = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < layers; ++i)
        reader.readUnsignedInteger();
    reader.readBoolean(); // layers inclusive
    const uint32_t references = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < references; ++i)
        readEntityReference(reader);
    readUserData(reader);
}
