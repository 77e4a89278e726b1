// What the loader keeps of one file structure: globals, product tree, tessellations.
#pragma once

#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_data.h"
#include "prc/model/tess_mesh_cache.h"
#include "prc/structure/globals_data.h"
#include "prc/structure/product_tree_data.h"

#include <cstdint>
#include <vector>

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
    // Per entry, the first entry of an identical compressed record (empty: none repeats).
    std::vector<uint64_t> tessFirstIdentical;
    bool tessellations_loaded = false; // the section was read, perhaps only in part
    TessMeshCache meshCache;
    // Conversions still to come of each tessellation (one per colour), when a first walk
    // counted them: the record goes after the last; tessellationsReleased tells that one went.
    std::vector<uint64_t> tessConversionsLeft;
    bool tessellationsReleased = false;
};

struct PrcFileHeader;

// The whole model as the loader and the assembly see it.
struct PrcDocument {
    const PrcFileHeader* header = nullptr;
    std::vector<FileStructureData> fileStructures; // header order
};
