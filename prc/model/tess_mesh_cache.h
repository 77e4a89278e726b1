// Converted meshes of a file structure, by tessellation index and packed colour. Nearly
// every tessellation is shown in one colour only, so its first colour has a slot by
// index, and only further colours go to a map: files of thousands of small parts would
// otherwise spend much of their time on tree nodes.
#pragma once

#include "prc/geometry/tessellation_data.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

// A converted mesh and the placements still to come, when a first walk counted them:
// the mesh goes after the last. Uncounted meshes stay to the end. A file can have
// an entry for each of tens of thousands of tessellations, most of them placed at once
// and gone, so the mesh is held apart: null until converted, and when the conversion
// gave no triangle.
struct CachedTessMesh {
    std::unique_ptr<TessMesh> mesh;
    bool converted = false;
    uint64_t usesLeft = 0;
};

class TessMeshCache {
public:
    // Slots for tessellations 0 .. count-1 at once, so that they are not grown (and their
    // old copies left behind) one tessellation at a time.
    void reserveSlots(uint64_t count);
    // The entry, and whether it was added now. It stays in place until the next call.
    std::pair<CachedTessMesh&, bool> findOrAdd(uint64_t tessellation, uint32_t colour);
    void erase(uint64_t tessellation, uint32_t colour);
    bool contains(uint64_t tessellation, uint32_t colour) const;
    size_t size() const { return size_; }

private:
    struct Slot {
        uint32_t colour = 0;
        bool used = false;
        CachedTessMesh entry;
    };
    std::vector<Slot> firstColours_;
    std::map<std::pair<uint64_t, uint32_t>, CachedTessMesh> otherColours_;
    size_t size_ = 0;
};
