// Packed bit arrays: chunks appended at any offset land where bit-by-bit appends put them.

#include "prc/bits/bit_array.h"

#include <gtest/gtest.h>

#include <random>

TEST(BitArray, ChunksAcrossWordsMatchSingleBitsAndPoppedBitsLeaveNoTrace)
{
    std::mt19937 random(5);
    BitArray chunked;
    BitArray single;
    for (int step = 0; step < 300; ++step) {
        const int count = static_cast<int>(random() % 33);
        const uint32_t value = static_cast<uint32_t>(random());
        chunked.appendMostSignificantFirst(value, count);
        for (int bit = count - 1; bit >= 0; --bit)
            single.push_back((value >> bit & 1) != 0);
    }
    ASSERT_EQ(chunked.size(), single.size());
    EXPECT_TRUE(chunked == single);
    uint64_t set = 0;
    for (uint64_t i = 0; i < single.size(); ++i)
        set += single[i];
    EXPECT_EQ(chunked.count(), set);

    // Equal contents compare equal whatever was pushed and popped on the way.
    BitArray popped = {true, false, true};
    for (int i = 0; i < 70; ++i)
        popped.push_back(true);
    for (int i = 0; i < 71; ++i)
        popped.pop_back();
    EXPECT_TRUE(popped == (BitArray{true, false}));
    EXPECT_EQ(popped.count(), 1u);
}
