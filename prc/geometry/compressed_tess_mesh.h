// Rebuilding a compressed tessellation into points and oriented triangles, and its
// conversion into a coloured mesh.
#pragma once

#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_data.h"
#include "prc/structure/globals_data.h"

#include <cstdint>
#include <vector>

struct CompressedTessDecoding {
    std::vector<double> vertices;    // x, y, z of every point; points never made stay 0
    std::vector<uint32_t> triangles; // three point numbers each
    // How much of each stream the run used.
    uint64_t pointsMade = 0;
    uint64_t referencesUsed = 0;
    uint64_t referenceBitsUsed = 0;
    uint64_t normalBitsUsed = 0;
    uint64_t normalAnglesUsed = 0;
};

// A record no run decodes keeps the triangles made before its first run lost its place;
// throws std::runtime_error("buildCompressedTessMesh: ...") when that is none.
CompressedTessDecoding buildCompressedTessMesh(const PRC3DTessCompressed& record);

// defaultRgb: three bytes, or null for none (white). Errors of the decoding reach the caller.
TessMesh compressedTessToMesh(const PRC3DTessCompressed& record, const GlobalsData& globals,
                              const uint8_t* defaultRgb);
// The same, using the record up: what only the decoding reads goes before the mesh is
// made, which for a large record is when the worker's memory peaks.
TessMesh compressedTessToMesh(PRC3DTessCompressed&& record, const GlobalsData& globals, const uint8_t* defaultRgb);
