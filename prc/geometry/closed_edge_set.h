// The set of edges a compressed tessellation's walk has closed: one insert per closed
// edge and one lookup per gate that may lead nowhere, so it is probed in place rather
// than allocated node by node.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ClosedEdgeSet {
public:
    // Room for count edges without growing; the room given is capped, the set grows past it.
    void reserve(uint64_t count);
    void insert(uint64_t key);
    bool contains(uint64_t key) const;

private:
    // A key no edge has: both point numbers all ones, far past the bounded point arrays.
    static constexpr uint64_t kEmpty = UINT64_MAX;
    static constexpr size_t kInitialSlots = 64;
    static constexpr size_t kMaxReservedSlots = size_t{1} << 20;

    size_t slotOf(uint64_t key) const;
    void grow();

    std::vector<uint64_t> slots_;
    size_t size_ = 0;
};
