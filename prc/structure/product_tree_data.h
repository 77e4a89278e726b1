// What the product tree reader keeps of a tree section: representation items, part
// definitions and product occurrences.
#pragma once

#include "prc/structure/matrix4d.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the assembly uses of an item; the rest is read past. A file can hold tens of
// thousands of items, so each stays small.
struct RepresentationItemData {
    uint32_t type = 0; // 0 for an empty slot, else 232 to 240
    uint32_t styleIndex = 0xFFFFFFFFu;
    uint64_t index_tessellation = UINT64_MAX;            // file value minus 1
    uint64_t index_local_coordinate_system = UINT64_MAX; // file value minus 1
    std::vector<RepresentationItemData> children;        // items of a set
};

struct PartDefinitionData {
    std::vector<RepresentationItemData> items;
    double boundingBoxMin[3] = {0, 0, 0};
    double boundingBoxMax[3] = {0, 0, 0};
    uint32_t styleIndex = 0xFFFFFFFFu;
};

struct ProductOccurrenceData {
    std::string name;
    uint64_t index_part = UINT64_MAX;
    uint64_t index_prototype = UINT64_MAX;
    uint32_t prototype_in_same_file_structure = 1;
    std::array<uint32_t, 4> prototypeFileStructureUid = {0, 0, 0, 0};
    uint64_t index_external_data = UINT64_MAX;
    uint32_t external_data_in_same_file_structure = 1;
    std::array<uint32_t, 4> externalDataFileStructureUid = {0, 0, 0, 0};
    uint32_t styleIndex = 0xFFFFFFFFu;
    uint8_t product_behaviour = 0;
    uint8_t product_information_flags = 0;
    std::vector<uint32_t> sonOccurrences; // as read, not minus 1
    bool hasLocation = false;
    Matrix4d location = kIdentity4d;
};
