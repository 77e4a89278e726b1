#include "u3dlib/adaptive_histogram.h"

#include <bit>

namespace u3dlib {

namespace {

size_t lowestBit(size_t i)
{
    return i & (~i + 1);
}

} // namespace

AdaptiveHistogram::AdaptiveHistogram() : capacity_(kInitialCapacity)
{
    listed_[0] = Listed{static_cast<uint16_t>(kEscapeSymbol), 1};
    listedCount_ = 1;
    total_ = 1;
}

void AdaptiveHistogram::addToTree(size_t index, int32_t delta)
{
    for (; index <= capacity_; index += lowestBit(index))
        tree_[index] = static_cast<uint16_t>(tree_[index] + delta);
}

uint32_t AdaptiveHistogram::prefix(size_t count) const
{
    uint32_t sum = 0;
    for (size_t i = count < capacity_ ? count : capacity_; i > 0; i -= lowestBit(i))
        sum += tree_[i];
    return sum;
}

uint32_t AdaptiveHistogram::frequency(uint32_t symbol) const
{
    if (symbol >= capacity_)
        return 0;
    if (isTree())
        return prefix(symbol + 1) - prefix(symbol);
    for (uint32_t i = 0; i < listedCount_ && listed_[i].symbol <= symbol; ++i)
        if (listed_[i].symbol == symbol)
            return listed_[i].count;
    return 0;
}

uint32_t AdaptiveHistogram::cumulative(uint32_t symbol) const
{
    if (isTree())
        return prefix(symbol);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < listedCount_ && listed_[i].symbol < symbol; ++i)
        sum += listed_[i].count;
    return sum;
}

uint32_t AdaptiveHistogram::listedSlot(uint32_t target, uint32_t& below) const
{
    below = 0;
    uint32_t i = 0;
    for (; i < listedCount_ && target >= below + listed_[i].count; ++i)
        below += listed_[i].count;
    return i;
}

SymbolInterval AdaptiveHistogram::findAndCount(uint32_t target)
{
    if (isTree() || total_ >= kRescaleTotal) {
        const SymbolInterval interval = find(target);
        countOne(interval.symbol);
        return interval;
    }
    uint32_t below = 0;
    const uint32_t i = listedSlot(target, below);
    if (i == listedCount_)
        return SymbolInterval{}; // target >= total: the caller's contract was broken
    const SymbolInterval interval{listed_[i].symbol, below, listed_[i].count};
    ++listed_[i].count;
    ++total_;
    return interval;
}

SymbolInterval AdaptiveHistogram::find(uint32_t target) const
{
    SymbolInterval interval;
    if (!isTree()) {
        uint32_t below = 0;
        const uint32_t i = listedSlot(target, below);
        if (i == listedCount_)
            return interval; // target >= total: the caller's contract was broken
        return SymbolInterval{listed_[i].symbol, below, listed_[i].count};
    }
    // Binary lifting: the longest prefix of symbols whose sum stays <= target.
    size_t position = 0;
    uint32_t rest = target;
    for (size_t step = capacity_; step > 0; step >>= 1) {
        const size_t next = position + step;
        if (next <= capacity_ && tree_[next] <= rest) {
            position = next;
            rest -= tree_[next];
        }
    }
    interval.symbol = static_cast<uint32_t>(position);
    interval.cumulative = target - rest;
    interval.frequency = frequency(interval.symbol);
    return interval;
}

void AdaptiveHistogram::toCounts()
{
    for (size_t i = capacity_; i > 0; --i) {
        const size_t parent = i + lowestBit(i);
        if (parent <= capacity_)
            tree_[parent] = static_cast<uint16_t>(tree_[parent] - tree_[i]);
    }
}

void AdaptiveHistogram::fromCounts()
{
    for (size_t i = 1; i <= capacity_; ++i) {
        const size_t parent = i + lowestBit(i);
        if (parent <= capacity_)
            tree_[parent] = static_cast<uint16_t>(tree_[parent] + tree_[i]);
    }
}

void AdaptiveHistogram::moveToTree()
{
    tree_.assign(capacity_ + 1, 0);
    for (uint32_t i = 0; i < listedCount_; ++i)
        tree_[size_t{listed_[i].symbol} + 1] = listed_[i].count;
    fromCounts();
    listedCount_ = 0;
}

void AdaptiveHistogram::countInList(uint16_t symbol)
{
    uint32_t i = 0;
    while (i < listedCount_ && listed_[i].symbol < symbol)
        ++i;
    if (i < listedCount_ && listed_[i].symbol == symbol) {
        ++listed_[i].count;
        return;
    }
    if (listedCount_ == kMaxListedSymbols) {
        moveToTree();
        addToTree(size_t{symbol} + 1, 1);
        return;
    }
    for (uint32_t j = listedCount_; j > i; --j)
        listed_[j] = listed_[j - 1];
    listed_[i] = Listed{symbol, 1};
    ++listedCount_;
}

// Every count halved (rounding down), then the escape one more.
void AdaptiveHistogram::rescale()
{
    total_ = 0;
    if (isTree()) {
        toCounts();
        for (size_t i = 1; i <= capacity_; ++i) {
            tree_[i] = static_cast<uint16_t>(tree_[i] >> 1);
            total_ += tree_[i];
        }
        ++tree_[kEscapeSymbol + 1];
        ++total_;
        fromCounts();
        return;
    }
    uint32_t kept = 0;
    for (uint32_t i = 0; i < listedCount_; ++i) {
        Listed entry = listed_[i];
        entry.count = static_cast<uint16_t>((entry.count >> 1) + (entry.symbol == kEscapeSymbol ? 1 : 0));
        if (entry.count > 0) {
            listed_[kept++] = entry;
            total_ += entry.count;
        }
    }
    listedCount_ = kept;
}

bool AdaptiveHistogram::add(uint64_t symbol, HistogramBudget& budget)
{
    if (symbol >= kUnlearntSymbol)
        return true;
    if (symbol >= capacity_) {
        const size_t grown = std::bit_ceil(static_cast<size_t>(symbol) + 1);
        if (grown - capacity_ > budget.slotsLeft)
            return false;
        budget.slotsLeft -= grown - capacity_;
        if (isTree()) {
            // The new symbols count 0, so of the new nodes only those covering a
            // prefix (the powers of two) hold anything: the old total.
            const uint16_t all = tree_[capacity_];
            tree_.resize(grown + 1, 0);
            for (size_t power = 2 * capacity_; power <= grown; power *= 2)
                tree_[power] = all;
        }
        capacity_ = grown;
    }
    countOne(static_cast<uint32_t>(symbol));
    return true;
}

void AdaptiveHistogram::countOne(uint32_t symbol)
{
    if (total_ >= kRescaleTotal)
        rescale();
    if (isTree())
        addToTree(size_t{symbol} + 1, 1);
    else
        countInList(static_cast<uint16_t>(symbol));
    ++total_;
}

} // namespace u3dlib
