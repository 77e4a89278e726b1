// What the loader keeps of one file structure: globals, product tree, tessellations.
#pragma once

#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_data.h"
#include "prc/structure/globals_data.h"
#include "prc/structure/matrix4d.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct RepresentationItemData {
    uint32_t type = 0; // 0 for an empty slot, else 232 to 240
    uint64_t index_tessellation = UINT64_MAX;            // file value minus 1
    uint64_t index_local_coordinate_system = UINT64_MAX; // file value minus 1
    bool is_closed = false;
    bool hasBrepData = false;
    uint32_t contextId = 0;
    uint32_t bodyId = 0;
    uint32_t styleIndex = 0xFFFFFFFFu;
    std::vector<RepresentationItemData> children; // items of a set
    bool hasTransform = false;
    Matrix4d transform = kIdentity4d;
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

// Converted meshes of a file structure, by (tessellation index, packed colour).
using TessMeshCache = std::map<std::pair<int64_t, uint32_t>, TessMesh>;

struct FileStructureData {
    uint32_t minimalVersionForRead = 0xFFFFFFFFu;
    uint32_t authoringVersion = 0xFFFFFFFFu;
    GlobalsData globals;
    std::vector<PartDefinitionData> partDefinitions;
    std::vector<ProductOccurrenceData> productOccurrences;
    uint64_t index_product_occurrence = 0;
    bool tree_loaded = false;
    std::vector<PRC3DTess> plainTessellations;
    std::vector<PRC3DTessCompressed> compressedTessellations;
    std::vector<TessEntry> tessEntries;
    TessMeshCache meshCache;
};

struct PrcFileHeader;

// The whole model as the loader and the assembly see it.
struct PrcDocument {
    const PrcFileHeader* header = nullptr;
    std::vector<FileStructureData> fileStructures; // header order
};
