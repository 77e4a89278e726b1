#include "u3dlib/adaptive_histogram.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace u3dlib;

namespace {

// The table as plainly as it can be kept, against the tree that must match it.
struct PlainHistogram {
    std::map<uint32_t, uint32_t> counts{{0, 1}};
    uint32_t total() const
    {
        uint32_t t = 0;
        for (const auto& [s, c] : counts)
            t += c;
        return t;
    }
    void add(uint64_t symbol)
    {
        if (symbol >= 0xFFFF)
            return;
        if (total() >= 0x1FFF) {
            for (auto& [s, c] : counts)
                c /= 2;
            counts[0] += 1;
        }
        counts[static_cast<uint32_t>(symbol)] += 1;
    }
};

struct HistogramCase {
    uint32_t seed;
    uint32_t adds;
    uint32_t spread; // symbols drawn from 0 .. spread-1, now and then from the top
};

class TreeHistogram : public ::testing::TestWithParam<HistogramCase> {};

TEST_P(TreeHistogram, MatchesThePlainTable)
{
    const auto [seed, adds, spread] = GetParam();
    std::mt19937 rng(seed);
    AdaptiveHistogram tree;
    PlainHistogram plain;
    HistogramBudget budget{AdaptiveHistogram::kMaxCapacity};
    for (uint32_t i = 0; i < adds; ++i) {
        const uint64_t symbol = rng() % 50 == 0 ? 0xFFF0 + rng() % 32 : rng() % spread;
        ASSERT_TRUE(tree.add(symbol, budget));
        plain.add(symbol);
    }
    ASSERT_EQ(tree.total(), plain.total());
    uint32_t cumulative = 0;
    for (const auto& [symbol, count] : plain.counts) {
        ASSERT_EQ(tree.frequency(symbol), count) << symbol;
        ASSERT_EQ(tree.cumulative(symbol), cumulative) << symbol;
        // Every target inside the symbol's interval finds it (zero counts are skipped).
        for (uint32_t t : {cumulative, cumulative + count - 1}) {
            if (count == 0)
                break;
            const SymbolInterval found = tree.find(t);
            ASSERT_EQ(found.symbol, symbol);
            ASSERT_EQ(found.cumulative, cumulative);
            ASSERT_EQ(found.frequency, count);
        }
        cumulative += count;
    }
}

INSTANTIATE_TEST_SUITE_P(Mixes, TreeHistogram,
                         ::testing::Values(HistogramCase{1, 100, 4}, HistogramCase{2, 20000, 8},
                                           HistogramCase{3, 20000, 3000}, HistogramCase{4, 9000, 1}),
                         [](const auto& info) { return "Seed" + std::to_string(info.param.seed); });

TEST(AdaptiveHistogram, GrowthBeyondTheBudgetChangesNothing)
{
    AdaptiveHistogram h;
    HistogramBudget budget{100};
    EXPECT_TRUE(h.add(100, budget)); // 32 -> 128 slots
    EXPECT_EQ(budget.slotsLeft, 4u);
    EXPECT_FALSE(h.add(200, budget));
    EXPECT_EQ(h.total(), 2u);
    EXPECT_EQ(h.frequency(200), 0u);
    EXPECT_TRUE(h.add(127, budget)); // fits the table it has
}

} // namespace
