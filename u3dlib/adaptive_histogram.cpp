#include "u3dlib/adaptive_histogram.h"

#include <bit>

namespace u3dlib {

namespace {

size_t lowestBit(size_t i)
{
    return i & (~i + 1);
}

} // namespace

AdaptiveHistogram::AdaptiveHistogram()
    : tree_(kInitialCapacity + 1, 0), capacity_(kInitialCapacity)
{
    addToTree(kEscapeSymbol + 1, 1);
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
    return prefix(symbol + 1) - prefix(symbol);
}

uint32_t AdaptiveHistogram::cumulative(uint32_t symbol) const
{
    return prefix(symbol);
}

SymbolInterval AdaptiveHistogram::find(uint32_t target) const
{
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
    SymbolInterval interval;
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

bool AdaptiveHistogram::add(uint64_t symbol, HistogramBudget& budget)
{
    if (symbol >= kUnlearntSymbol)
        return true;
    if (symbol >= capacity_) {
        const size_t grown = std::bit_ceil(static_cast<size_t>(symbol) + 1);
        if (grown - capacity_ > budget.slotsLeft)
            return false;
        budget.slotsLeft -= grown - capacity_;
        toCounts();
        tree_.resize(grown + 1, 0);
        capacity_ = grown;
        fromCounts();
    }
    if (total_ >= kRescaleTotal) {
        toCounts();
        total_ = 0;
        for (size_t i = 1; i <= capacity_; ++i) {
            tree_[i] = static_cast<uint16_t>(tree_[i] >> 1);
            total_ += tree_[i];
        }
        ++tree_[kEscapeSymbol + 1];
        ++total_;
        fromCounts();
    }
    addToTree(static_cast<size_t>(symbol) + 1, 1);
    ++total_;
    return true;
}

} // namespace u3dlib
