// Reading of a compressed tessellation record (type 173).
#pragma once

#include "prc/bits/prc_bit_reader.h"
#include "prc/geometry/compressed_tess_data.h"

#include <cstdint>

PRC3DTessCompressed readPRC3DTessCompressed(PRCBitReader& reader, uint32_t authoringVersion);
