// Decoding of the frequent-double prefix code.
#pragma once

#include "prc/bits/frequent_double_table.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class PRCBitReader;

// The code as a binary tree walked one bit at a time, which resolves a code in one array
// step per bit. It gives what a lookup of every prefix by (length, code) would give: the
// shortest matching code wins, and of entries with the same code the first one.
class FrequentDoubleCode {
public:
    explicit FrequentDoubleCode(std::span<const FrequentDoubleEntry> entries);

    // Reads one code and returns its entry. Without a match within 32 bits, throws
    // "PRCBitReader: no frequent-double entry matched prefix".
    const FrequentDoubleEntry& read(PRCBitReader& reader) const;

private:
    // The walk from node, whose depth is n - 1, one bit at a time.
    const FrequentDoubleEntry& walk(PRCBitReader& reader, int32_t node, int n) const;

    // A child is 0 when absent, a node index when positive, -(entry index + 1) for a leaf.
    std::vector<std::array<int32_t, 2>> nodes_;
    // Per value of the first kLookupBits bits, where the walk gets: a leaf (child < 0,
    // after bits), the node after all of them (child > 0) or a dead end (0).
    struct Shortcut {
        int32_t child = 0;
        int32_t bits = 0;
    };
    static constexpr int kLookupBits = 12;
    std::vector<Shortcut> shortcuts_;
    std::span<const FrequentDoubleEntry> entries_;
};

// The code of the built-in table, built on first use and kept for the process.
const FrequentDoubleCode& frequentDoubleCode();
