// Writers that do not instance a repeated part store its compressed tessellation again,
// byte for byte. Such copies convert to the same mesh, so they are decoded once.
#pragma once

#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_data.h"

#include <cstdint>
#include <vector>

// For each entry, the first entry whose compressed record equals its own (itself when
// none does, and for every other kind); empty when no two records are equal.
std::vector<uint64_t> firstIdenticalTessellations(const std::vector<TessEntry>& entries,
                                                  const std::vector<PRC3DTessCompressed>& compressed);
