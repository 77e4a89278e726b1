// The uncompressed header at the start of a PRC file: versions, the file structures
// with the byte offsets of their sections, and where the ModelFile section lies.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

using PrcUid = std::array<uint32_t, 4>;

struct FileStructureDescriptor {
    PrcUid uid{};
    uint32_t reserved = 0;
    // Byte offsets from the start of the file, in stored order.
    std::vector<uint32_t> sectionOffsets;
};

struct PrcFileHeader {
    uint32_t minimal_version_for_read = 0;
    uint32_t authoring_version = 0;
    PrcUid file_structure_uid{};
    PrcUid application_uid{};
    uint32_t number_of_file_structures = 0;
    std::vector<FileStructureDescriptor> fileStructures;
    uint32_t start_model_file = 0;
    // As stored; may lie beyond the end of the file.
    uint32_t end_model_file = 0;
};

// Reads the header from the start of the whole file. Counts are checked against the
// bytes that follow them before anything is allocated; offsets are not checked against
// the file size. Throws std::runtime_error on malformed input.
PrcFileHeader readPrcFileHeader(const uint8_t* data, size_t size);
