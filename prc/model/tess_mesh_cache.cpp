#include "prc/model/tess_mesh_cache.h"

void TessMeshCache::reserveSlots(uint64_t count)
{
    if (count > firstColours_.size())
        firstColours_.resize(count);
}

// A key lives in its tessellation's slot or in the map, never in both.
std::pair<CachedTessMesh&, bool> TessMeshCache::findOrAdd(uint64_t tessellation, uint32_t colour)
{
    if (tessellation >= firstColours_.size())
        firstColours_.resize(tessellation + 1);
    Slot& slot = firstColours_[tessellation];
    if (slot.used && slot.colour == colour)
        return {slot.entry, false};
    if (!otherColours_.empty())
        if (const auto other = otherColours_.find({tessellation, colour}); other != otherColours_.end())
            return {other->second, false};
    ++size_;
    if (!slot.used) {
        slot.used = true;
        slot.colour = colour;
        return {slot.entry, true};
    }
    return {otherColours_[{tessellation, colour}], true};
}

void TessMeshCache::erase(uint64_t tessellation, uint32_t colour)
{
    if (tessellation < firstColours_.size()) {
        Slot& slot = firstColours_[tessellation];
        if (slot.used && slot.colour == colour) {
            slot = Slot{};
            --size_;
            return;
        }
    }
    size_ -= otherColours_.erase({tessellation, colour});
}

bool TessMeshCache::contains(uint64_t tessellation, uint32_t colour) const
{
    if (tessellation < firstColours_.size() && firstColours_[tessellation].used &&
        firstColours_[tessellation].colour == colour)
        return true;
    return otherColours_.contains({tessellation, colour});
}
