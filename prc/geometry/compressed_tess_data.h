// A compressed ("highly compressed") tessellation record, entity type 173, in reading order.
#pragma once

#include "prc/bits/bit_array.h"

#include <cstdint>
#include <vector>

struct PRC3DTessCompressed {
    bool flag1 = false;
    bool flag2 = false;
    double tolerance = 0;
    bool hasOrigin = false;
    float origin[3] = {0, 0, 0};
    std::vector<int32_t> point_array;         // three integers per new point
    std::vector<uint8_t> edge_status_array;   // one 2-bit code per triangle but the last
    std::vector<uint32_t> triangle_face_array; // face number of each triangle
    BitArray point_is_reference_array;
    std::vector<uint32_t> point_reference_array;
    bool normals_as_reversal_bits = false;
    BitArray normal_is_reversed;
    double reversalDouble = 0;
    uint8_t normal_angle_number_of_bits = 0;
    BitArray normal_binary_data;
    std::vector<uint16_t> normal_angle_array;
    BitArray face_has_one_normal;
    bool hasExtraFaceData = false;
    BitArray extraFaceBits;
    std::vector<uint8_t> extraFaceBytes;
    bool perTriangleStyles = false;
    BitArray perTriangleStyleBits;
    std::vector<uint16_t> face_style_array; // style index plus 1; 0 none
    bool hasTrailingBytes = false;
    std::vector<uint8_t> trailingBytes;

    bool operator==(const PRC3DTessCompressed& other) const = default;
};
