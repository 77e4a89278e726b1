// Hand-made compressed tessellation records small enough to work out by hand.
#pragma once

#include "prc/geometry/compressed_tess_data.h"
#include "tests/support/prc_writer.h"

#include <string_view>
#include <vector>

// A record oriented by reversal bits, one per triangle (which also sets T).
inline PRC3DTessCompressed reversalRecord(std::vector<int32_t> points, std::vector<uint8_t> edges,
                                          std::string_view referenceBits, std::vector<uint32_t> references,
                                          std::string_view reversed, double tolerance = 1)
{
    PRC3DTessCompressed r;
    r.tolerance = tolerance;
    r.point_array = std::move(points);
    r.edge_status_array = std::move(edges);
    r.point_is_reference_array = bitsFromString(referenceBits);
    r.point_reference_array = std::move(references);
    r.normals_as_reversal_bits = true;
    r.normal_is_reversed = bitsFromString(reversed);
    r.triangle_face_array.assign(r.normal_is_reversed.size(), 0);
    return r;
}

// Triangle 0 from three new points, triangle 1 from a new point across its edge 1-2.
inline PRC3DTessCompressed stripRecord()
{
    return reversalRecord({0, 0, 0, 4, 0, 0, 0, 2, 0, 1, -2, 0}, {2}, "000 0", {}, "11");
}

// Triangle 1 refers back to points 0, 2 and 1.
inline PRC3DTessCompressed chainRecord()
{
    return reversalRecord({0, 0, 0, 4, 0, 0, 0, 2, 0}, {0}, "000 111", {0, 2, 1}, "11");
}
