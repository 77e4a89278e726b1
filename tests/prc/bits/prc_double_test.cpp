#include "prc/bits/frequent_double_table.h"
#include "prc/bits/prc_bit_reader.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

uint64_t bitsOf(double value)
{
    return std::bit_cast<uint64_t>(value);
}

// Every copy distance at every position, among literal bytes 0x10 + position.
TEST(PrcDouble, EveryCopyDistanceAtEveryPosition)
{
    for (int pos = 5; pos >= 0; --pos)
        for (const int distance : {1, 2, 3, 4, 5, 7}) {
            PrcBitWriter hand("10011 0 1 0101");
            uint8_t image[8] = {0, 0, 0, 0, 0, 0, 0xF5, 0x3F};
            for (int p = 5; p >= 0; --p) {
                image[p] = p == pos && pos + distance <= 7 ? image[p + distance] : static_cast<uint8_t>(0x10 + p);
                hand.writeBoolean(p != pos);
                hand.writeBits(p == pos ? static_cast<uint32_t>(distance) : image[p], p == pos ? 3 : 8);
            }
            uint64_t expected = 0;
            for (int i = 7; i >= 0; --i)
                expected = expected << 8 | image[i];
            PrcBitInput in(hand.bytes());
            const bool fails = failsToDecode([&] { EXPECT_EQ(bitsOf(in.reader.readDouble()), expected); });
            EXPECT_EQ(fails, pos + distance > 7) << pos << " " << distance;
            if (!fails) { // the writer finds this copy or a shorter code
                PrcBitWriter w;
                w.writeDouble(std::bit_cast<double>(expected));
                EXPECT_LE(w.bitCount(), hand.bitCount()) << pos << " " << distance;
            }
        }
}

} // namespace
