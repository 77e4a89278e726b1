#include "u3dlib/adaptive_histogram.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace u3dlib;

namespace {

// Plain counts, halved the slow way: what the histogram must match in either form.
struct Reference {
    std::map<uint32_t, uint32_t> counts{{AdaptiveHistogram::kEscapeSymbol, 1}};
    uint32_t total = 1;

    void add(uint32_t symbol)
    {
        if (symbol >= AdaptiveHistogram::kUnlearntSymbol)
            return;
        if (total >= AdaptiveHistogram::kRescaleTotal) {
            total = 0;
            for (auto& [s, c] : counts)
                total += c >>= 1;
            ++counts[AdaptiveHistogram::kEscapeSymbol];
            ++total;
        }
        ++counts[symbol];
        ++total;
    }
};

struct HistogramCase {
    const char* name;
    uint32_t distinct;  // symbols drawn from this many values
    uint32_t largest;   // ... spread up to this one
    uint32_t additions; // enough to halve the counts when above kRescaleTotal
};

class HistogramForms : public ::testing::TestWithParam<HistogramCase> {};

TEST_P(HistogramForms, CountsCumulativesAndLookupsMatchPlainCounts)
{
    const HistogramCase& c = GetParam();
    std::mt19937 rng(c.distinct * 7919 + c.largest);
    std::vector<uint32_t> values(c.distinct);
    for (uint32_t& v : values)
        v = 1 + rng() % c.largest;
    AdaptiveHistogram h;
    HistogramBudget budget{size_t{1} << 22};
    Reference reference;
    for (uint32_t i = 0; i < c.additions; ++i) {
        const uint32_t symbol = values[rng() % values.size()];
        ASSERT_TRUE(h.add(symbol, budget));
        reference.add(symbol);
        ASSERT_EQ(h.total(), reference.total) << i;
        // A decoded symbol is looked up, and every other time counted at once as well.
        const uint32_t target = rng() % h.total();
        const bool count = i % 2 == 1;
        const SymbolInterval found = count ? h.findAndCount(target) : h.find(target);
        ASSERT_LE(found.cumulative, target);
        ASSERT_LT(target, found.cumulative + found.frequency);
        ASSERT_EQ(found.frequency, reference.counts[found.symbol]) << i;
        if (count) {
            reference.add(found.symbol);
            ASSERT_EQ(h.total(), reference.total) << i;
        }
    }
    uint32_t below = 0;
    for (const auto& [symbol, count] : reference.counts) {
        EXPECT_EQ(h.cumulative(symbol), below) << symbol;
        EXPECT_EQ(h.frequency(symbol), count) << symbol;
        below += count;
    }
    // The budget pays for the tree the symbols would need, listed or not.
    EXPECT_EQ(budget.slotsLeft + h.capacity(), (size_t{1} << 22) + AdaptiveHistogram::kInitialCapacity);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistogramForms,
    ::testing::Values(HistogramCase{"FewLargeSymbolsStayListed", 3, 0xFFF0, 20000},
                      HistogramCase{"ListFillsExactly", AdaptiveHistogram::kMaxListedSymbols - 1, 40, 9000},
                      HistogramCase{"ManySymbolsMoveToTheTree", 200, 3000, 30000},
                      HistogramCase{"TreeGrowsAfterTheMove", 40, 0xFFFD, 5000},
                      HistogramCase{"UnlearntValuesAreIgnored", 4, 0x1FFFF, 3000}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
