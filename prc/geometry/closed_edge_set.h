// The set of edges a compressed tessellation's walk has closed: one insert per closed
// edge and one lookup per gate that may lead nowhere. An edge is kept with its higher
// point, which is mostly the point just decoded, so the slots touched are recent and
// in cache. A slot holds how far below the higher point the lower one lies: the walk
// numbers points as it reaches them, so the two ends of an edge are seldom far apart.
// An edge whose ends lie further apart (round a large mesh), or a point with more closed
// edges than its slots (a hub), spills into a hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ClosedEdgeSet {
public:
    // Room for the edges of points below pointCount, taken up only as points are
    // reached: the slots then never move, and never outgrow what the record needs.
    void reservePoints(size_t pointCount);
    // Keys as edgeKey makes them: the lower point number above the higher one.
    void insert(uint64_t key);
    bool contains(uint64_t key) const;

private:
    static constexpr size_t kSlotsPerPoint = 4;
    static constexpr size_t kSlotsPerGrowth = 2048; // a page of slots
    // The spill: open addressing, never more than half full.
    static constexpr uint64_t kEmpty = UINT64_MAX; // no edge: the point numbers are bounded
    static constexpr size_t kInitialSpillSlots = 64;

    size_t spillSlotOf(uint64_t key) const;
    void growSpill();

    // Per higher point, of each edge higher - lower + 1; 0 is free.
    std::vector<uint16_t> slots_;
    std::vector<uint64_t> spill_;
    size_t spillSize_ = 0;
};
