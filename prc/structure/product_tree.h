// Reading of the product tree: the tree section, representation items, transformations.
#pragma once

#include "prc/bits/prc_bit_reader.h"
#include "prc/structure/product_tree_data.h"
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
// An empty item takes one bit but a whole record in memory: more items than this in one
// section (real files hold some tens of thousands) are taken as corrupt data.
inline constexpr uint64_t kMaxRepresentationItemsPerSection = uint64_t{1} << 20;

// The items a section may still hold, nested ones included.
struct RepresentationItemBudget {
    uint64_t itemsLeft = kMaxRepresentationItemsPerSection;
};

// One item of any type from 232 to 240 (sets with their children), or an empty slot (0).
RepresentationItemData readRepresentationItem(PRCBitReader& reader);
// The same, counting the items against the section's budget.
RepresentationItemData readRepresentationItem(PRCBitReader& reader, RepresentationItemBudget& budget);
// One item read the same way, for its transformation when it is a coordinate system
// (identity otherwise).
Matrix4d readCoordinateSystemItem(PRCBitReader& reader, RepresentationItemBudget& budget);

// General (207) or cartesian (202) transformation as a row-major matrix.
Matrix4d readTransformation3d(PRCBitReader& reader);

// Which optional fields a cartesian placement carries (transformations and surface planes).
struct CartesianFlag {
    static constexpr uint32_t kTranslation = 0x01;
    static constexpr uint32_t kTwoAxes = 0x02;
    static constexpr uint32_t kUniformScale = 0x08;
    static constexpr uint32_t kScale = 0x10;
    static constexpr uint32_t kThreeAxes = 0x20;
    static constexpr uint32_t kHomogeneous = 0x40;
};
