// The learnt symbol counts of one adaptive context.
//
// Symbol 0 is the escape (count 1 at the start); value v is symbol v + 1. Symbols from
// kUnlearntSymbol up are never counted, so a histogram never holds more than 0xFFFF
// symbols. The total never exceeds kRescaleTotal: before a count is added to a full
// histogram every count is halved (rounding down) and the escape gets one more.
//
// Most contexts learn a handful of symbols, often one of them large (a coordinate
// difference): those keep their counts in a short sorted list. Past kMaxListedSymbols
// symbols the counts move to a Fenwick tree (binary indexed tree), so that finding the
// symbol of a coded target and its cumulative count both take O(log n): a hostile
// block must not be able to make every symbol cost a scan of thousands of entries.
// The tree covers the symbols 0 .. capacity-1, capacity a power of two that grows with
// the largest symbol learnt. The budget is charged for that capacity in both forms,
// so a list is never allowed more than the tree it stands for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace u3dlib {

// Memory shared by all adaptive histograms of one decoder, in tree slots (two bytes
// each). A histogram may only grow while slots remain.
struct HistogramBudget {
    size_t slotsLeft = 0;
};

struct SymbolInterval {
    uint32_t symbol = 0;
    uint32_t cumulative = 0; // sum of the counts of all smaller symbols
    uint32_t frequency = 0;  // count of this symbol
};

class AdaptiveHistogram {
public:
    static constexpr uint32_t kEscapeSymbol = 0;
    static constexpr uint32_t kUnlearntSymbol = 0xFFFF;
    static constexpr uint32_t kRescaleTotal = 0x1FFF;
    static constexpr size_t kInitialCapacity = 32;
    static constexpr size_t kMaxCapacity = 0x10000;
    static constexpr size_t kMaxListedSymbols = 16;

    AdaptiveHistogram();

    uint32_t total() const { return total_; }
    uint32_t frequency(uint32_t symbol) const;
    uint32_t cumulative(uint32_t symbol) const;
    // The symbol whose interval [cumulative, cumulative + frequency) holds target.
    // target must be below total().
    SymbolInterval find(uint32_t target) const;
    // find, then one more occurrence of the symbol found, as add would count it; the
    // interval is the one before the count. A decoded symbol is always present, so this
    // never grows the histogram, and in a list the slot found is counted without a
    // second search.
    SymbolInterval findAndCount(uint32_t target);
    // Counts one occurrence of symbol (ignored from kUnlearntSymbol up). False when the
    // histogram would have to grow beyond what the budget allows; nothing changes then.
    bool add(uint64_t symbol, HistogramBudget& budget);
    // Tree slots in use, for budget accounting.
    size_t capacity() const { return capacity_; }

private:
    struct Listed {
        uint16_t symbol;
        uint16_t count;
    };

    bool isTree() const { return !tree_.empty(); }
    void rescale();
    void countInList(uint16_t symbol);
    // One more of a symbol below capacity, halving first when the total is full.
    void countOne(uint32_t symbol);
    // The listed entry whose interval holds target (listedCount_ for none), and the sum
    // of the counts before it.
    uint32_t listedSlot(uint32_t target, uint32_t& below) const;
    void moveToTree();
    void toCounts();   // tree_ -> plain counts, in place
    void fromCounts(); // plain counts -> tree_, in place
    void addToTree(size_t index, int32_t delta);
    uint32_t prefix(size_t count) const; // sum of the first count symbols

    // Ascending symbols with a count above 0; the escape is always first.
    std::array<Listed, kMaxListedSymbols> listed_{};
    uint32_t listedCount_ = 0;
    std::vector<uint16_t> tree_; // 1-based: tree_[0] unused; empty while listed
    size_t capacity_ = 0;
    uint32_t total_ = 0;
};

} // namespace u3dlib
