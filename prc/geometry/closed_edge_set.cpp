#include "prc/geometry/closed_edge_set.h"

namespace {

// Fibonacci hashing: the top bits of the product spread consecutive point numbers.
constexpr uint64_t kHashMultiplier = 0x9E3779B97F4A7C15ull;

} // namespace

size_t ClosedEdgeSet::slotOf(uint64_t key) const
{
    const size_t mask = slots_.size() - 1;
    size_t slot = static_cast<size_t>((key * kHashMultiplier) >> 32) & mask;
    while (slots_[slot] != kEmpty && slots_[slot] != key)
        slot = (slot + 1) & mask;
    return slot;
}

void ClosedEdgeSet::grow()
{
    std::vector<uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? kInitialSlots : 2 * old.size(), kEmpty);
    for (const uint64_t key : old)
        if (key != kEmpty)
            slots_[slotOf(key)] = key;
}

void ClosedEdgeSet::reserve(uint64_t count)
{
    if (size_ != 0)
        return;
    size_t slots = kInitialSlots;
    while (slots < 2 * count && slots < kMaxReservedSlots)
        slots *= 2;
    if (slots > slots_.size())
        slots_.assign(slots, kEmpty);
}

void ClosedEdgeSet::insert(uint64_t key)
{
    // At most half full, so probes stay short and always end on an empty slot.
    if (2 * (size_ + 1) > slots_.size())
        grow();
    uint64_t& slot = slots_[slotOf(key)];
    if (slot == kEmpty) {
        slot = key;
        ++size_;
    }
}

bool ClosedEdgeSet::contains(uint64_t key) const
{
    return !slots_.empty() && slots_[slotOf(key)] == key;
}
