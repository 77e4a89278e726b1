// Test-only encoder of compressed tessellation records: from a triangle mesh it chooses the
// walk across the edges, the edge codes, reference flags, quantised point offsets and the
// reversal bits that give the winding, repeating the decoder's arithmetic so that the
// record decodes back to the mesh within the tolerance. Normals in angle mode are tested
// with small hand-made records.
#pragma once

#include "prc/geometry/compressed_tess_data.h"

#include <cstdint>
#include <vector>

struct CompressedTessSource {
    std::vector<double> points;      // x, y, z per point
    std::vector<uint32_t> triangles; // three points each, wound as wanted
    std::vector<uint32_t> faces;     // face number per triangle; empty: all in face 0
};

struct CompressedTessEncoderOptions {
    double tolerance = 1.0 / 1024;
    bool hasOrigin = true;
    float origin[3] = {0, 0, 0};
    // Also open edges towards triangles that an older gate already leads to, which leaves
    // that gate stale on the stack for the decoder to drop.
    bool reopenClaimed = false;
    // Style index plus 1 per face number, or per source triangle with perTriangleStyles.
    std::vector<uint16_t> styles;
    bool perTriangleStyles = false;
};

struct CompressedTessEncoding {
    PRC3DTessCompressed record;
    std::vector<uint32_t> sourcePoint;    // per decoded point number
    std::vector<uint32_t> sourceTriangle; // per decoded triangle
    std::vector<int> chainReferences;     // per chain start: how many of its points were references
    uint64_t staleGates = 0;              // gates the decoder will find closed and drop
    std::vector<uint64_t> ambiguousIds;   // decisions that geometry alone cannot take
};

// Throws std::logic_error when the mesh cannot be encoded (a coordinate beyond the integer
// range).
CompressedTessEncoding encodeCompressedTess(const CompressedTessSource& source,
                                            const CompressedTessEncoderOptions& options = {});
