// Room for the elements of a list whose length comes from the file.
#pragma once

#include "prc/bits/prc_bit_reader.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// Beyond this a list grows only with the elements actually read.
inline constexpr uint64_t kMaxReservedListBytes = uint64_t{64} << 20;

// A corrupt count must not size an allocation: reserve no more elements than the rest of
// the section could encode, each taking at least minBitsPerElement bits, and no more than
// a bounded amount of memory.
template <typename T>
void reserveForList(std::vector<T>& list, uint64_t count, PRCBitReader& reader, uint64_t minBitsPerElement = 1)
{
    const uint64_t bits = std::max<uint64_t>(minBitsPerElement, 1);
    const uint64_t wanted = std::min(count, kMaxReservedListBytes / sizeof(T));
    const uint64_t fits = reader.bitsLeftUpTo(wanted > UINT64_MAX / bits ? UINT64_MAX : wanted * bits) / bits;
    list.reserve(static_cast<size_t>(std::min(wanted, fits)));
}
