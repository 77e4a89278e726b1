// A tessellation section that arrives no faster than its reader asks for it, and the
// comparisons that hold such a reading against the reading of the whole section.
#pragma once

#include "prc/bits/prc_bit_reader.h"
#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_data.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

// No more of the section than asked for. It moves whenever it grows past its room, the
// old place spoiled first, so that a reader keeping an old pointer reads other bytes;
// the bytes the reader reported read are spoiled too.
class TrickledSection final : public PRCSectionSource {
public:
    TrickledSection(const uint8_t* section, size_t length) : section_(section), length_(length) {}

    Bytes extend(uint64_t end) override
    {
        const auto size = static_cast<size_t>(std::min<uint64_t>(std::max<uint64_t>(end, given_.size()), length_));
        if (size > given_.capacity()) {
            std::vector<uint8_t> moved;
            moved.reserve(std::max(size, 2 * given_.capacity()));
            moved.assign(given_.begin(), given_.end());
            std::fill(given_.begin(), given_.end(), uint8_t{0x5A});
            given_.swap(moved);
        }
        given_.insert(given_.end(), section_ + given_.size(), section_ + size);
        spoilUpTo(read_);
        return {given_.data(), given_.size()};
    }

    void spoilUpTo(size_t read)
    {
        read_ = read;
        const size_t to = std::min(read, given_.size());
        if (to > spoiled_)
            std::fill(given_.begin() + static_cast<ptrdiff_t>(spoiled_), given_.begin() + static_cast<ptrdiff_t>(to),
                      uint8_t{0xA5});
        spoiled_ = std::max(spoiled_, to);
    }

private:
    const uint8_t* section_;
    size_t length_;
    std::vector<uint8_t> given_;
    size_t read_ = 0;
    size_t spoiled_ = 0;
};

// Floating values by their bits: the same NaN read twice is the same.
template <typename T>
bool sameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool sameRecord(const PRC3DTess& a, const PRC3DTess& b)
{
    return a.coordinates.size() == b.coordinates.size() &&
           std::equal(a.coordinates.begin(), a.coordinates.end(), b.coordinates.begin(), sameBits<double>) &&
           a.triangulated_index == b.triangulated_index && a.face_vertices == b.face_vertices &&
           a.index_slots == b.index_slots && a.face_tessellation == b.face_tessellation &&
           sameBits(a.crease_angle, b.crease_angle) && a.must_recalculate_normals == b.must_recalculate_normals;
}

inline bool sameRecord(PRC3DTessCompressed a, PRC3DTessCompressed b)
{
    if (!sameBits(a.tolerance, b.tolerance) || !sameBits(a.reversalDouble, b.reversalDouble) ||
        !sameBits(a.origin, b.origin))
        return false;
    a.tolerance = b.tolerance = a.reversalDouble = b.reversalDouble = 0;
    std::fill(std::begin(a.origin), std::end(a.origin), 0.0F);
    std::fill(std::begin(b.origin), std::end(b.origin), 0.0F);
    return a == b;
}

inline bool sameRecord(const TessEntry& a, const TessEntry& b)
{
    return a.kind == b.kind && a.index == b.index;
}

template <typename Record>
bool sameRecords(const std::vector<Record>& a, const std::vector<Record>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Record& x, const Record& y) { return sameRecord(x, y); });
}
