#include "prc/geometry/closed_edge_set.h"

#include <algorithm>
#include <bit>

namespace {

// Fibonacci hashing: the top bits of the product depend on every bit of the key.
constexpr uint64_t kHashMultiplier = 0x9E3779B97F4A7C15ull;

// The slot value of an edge, 0 when it does not fit a slot.
uint16_t slotValue(uint32_t lower, uint32_t higher)
{
    const uint32_t value = higher - lower + 1;
    return value <= UINT16_MAX ? static_cast<uint16_t>(value) : 0;
}

} // namespace

void ClosedEdgeSet::reservePoints(size_t pointCount)
{
    slots_.reserve(kSlotsPerPoint * pointCount);
}

void ClosedEdgeSet::insert(uint64_t key)
{
    const auto lower = static_cast<uint32_t>(key >> 32);
    const auto higher = static_cast<uint32_t>(key);
    const size_t first = kSlotsPerPoint * size_t{higher};
    if (first >= slots_.size()) {
        // As points are reached. Within the reserved room the slots never move, so they
        // grow by a page at a time; beyond it, by doubling.
        const size_t needed = first + kSlotsPerPoint;
        const size_t room = slots_.capacity();
        slots_.resize(needed <= room ? std::min(std::max(needed, slots_.size() + kSlotsPerGrowth), room)
                                     : std::max(needed, 2 * slots_.size()),
                      0);
    }
    if (const uint16_t value = slotValue(lower, higher); value != 0) {
        for (size_t k = first; k < first + kSlotsPerPoint; ++k) {
            if (slots_[k] == value)
                return;
            if (slots_[k] == 0) {
                slots_[k] = value;
                return;
            }
        }
    }
    if (2 * (spillSize_ + 1) > spill_.size())
        growSpill();
    uint64_t& slot = spill_[spillSlotOf(key)];
    if (slot == kEmpty) {
        slot = key;
        ++spillSize_;
    }
}

bool ClosedEdgeSet::contains(uint64_t key) const
{
    const auto lower = static_cast<uint32_t>(key >> 32);
    const auto higher = static_cast<uint32_t>(key);
    const size_t first = kSlotsPerPoint * size_t{higher};
    if (first >= slots_.size())
        return false;
    // Slots fill in order and the spill only once they are full, or for edges too long
    // for a slot.
    if (const uint16_t value = slotValue(lower, higher); value != 0) {
        for (size_t k = first; k < first + kSlotsPerPoint; ++k) {
            if (slots_[k] == value)
                return true;
            if (slots_[k] == 0)
                return false;
        }
    }
    return !spill_.empty() && spill_[spillSlotOf(key)] == key;
}

size_t ClosedEdgeSet::spillSlotOf(uint64_t key) const
{
    const size_t mask = spill_.size() - 1;
    size_t slot = static_cast<size_t>((key * kHashMultiplier) >> (64 - std::countr_zero(spill_.size())));
    while (spill_[slot] != kEmpty && spill_[slot] != key)
        slot = (slot + 1) & mask;
    return slot;
}

void ClosedEdgeSet::growSpill()
{
    std::vector<uint64_t> old = std::move(spill_);
    spill_.assign(old.empty() ? kInitialSpillSlots : 2 * old.size(), kEmpty);
    for (const uint64_t key : old)
        if (key != kEmpty)
            spill_[spillSlotOf(key)] = key;
}
