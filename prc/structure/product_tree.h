// Reading of the product tree: the tree section, representation items, transformations.
#pragma once

#include "prc/bits/prc_bit_reader.h"
#include "prc/structure/file_structure_data.h"
#include "prc/structure/matrix4d.h"

#include <cstdint>
#include <vector>

struct TreeSectionData {
    std::vector<PartDefinitionData> partDefinitions;
    std::vector<ProductOccurrenceData> productOccurrences;
    uint64_t index_product_occurrence = 0; // as read
};

// Reads a whole tree section (FileStructureTree); throws std::runtime_error on malformed data.
TreeSectionData readFileStructureTree(PRCBitReader& reader);

// Sets nest; deeper nesting than this is taken as corrupt data.
inline constexpr int kMaxRepresentationSetDepth = 32;

// One item of any type from 232 to 240 (sets with their children), or an empty slot (0).
RepresentationItemData readRepresentationItem(PRCBitReader& reader);

// General (207) or cartesian (202) transformation as a row-major matrix.
Matrix4d readTransformation3d(PRCBitReader& reader);
