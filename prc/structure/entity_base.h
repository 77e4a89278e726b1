// The pieces every PRC entity starts or ends with: its type, base content (attributes,
// name, identifiers), user data, and the small structures many entities embed.
// All readers throw std::runtime_error on malformed data; nothing is caught here.
#pragma once

#include "prc/bits/prc_bit_reader.h"

#include <cstdint>
#include <string>

struct RepresentationItemContent {
    uint32_t styleIndex = 0xFFFFFFFFu;                   // line style of its graphics
    uint64_t index_local_coordinate_system = UINT64_MAX; // file value minus 1
    uint64_t index_tessellation = UINT64_MAX;            // file value minus 1
};

struct Vector3d {
    double x = 0, y = 0, z = 0;
};

// Reads the entity type and fails unless it is the expected one.
void expectType(PRCBitReader& reader, uint32_t expected, const char* name);

void readAttributes(PRCBitReader& reader);
// Attributes, name (a new one becomes the reader's current name) and, for most types,
// three identifiers; returns the entity's name.
std::string readContentPRCBase(PRCBitReader& reader, uint32_t type);
// The base content of a section header, which must be empty.
void readEmptyContentPRCBase(PRCBitReader& reader);
void readUserData(PRCBitReader& reader);
Vector3d readVector3d(PRCBitReader& reader);
void readReferenceOnPRCBase(PRCBitReader& reader, const char* name);
void readReferenceData(PRCBitReader& reader);
// The same grammar, failing with the caller's message on an unknown type.
void readReferenceData(PRCBitReader& reader, const char* unknownTypeMessage);
RepresentationItemContent readRepresentationItemContent(PRCBitReader& reader, uint32_t type);

// "Index plus 1" as stored in the file, turned into an index with all ones for none.
inline uint64_t indexFromStored(uint32_t storedPlusOne)
{
    return storedPlusOne == 0 ? UINT64_MAX : uint64_t{storedPlusOne} - 1;
}
