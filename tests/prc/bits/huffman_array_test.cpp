#include "prc/bits/huffman_array.h"

#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

namespace {

using Parts = std::vector<std::pair<uint32_t, uint32_t>>; // (value, bit count)

LsbBitFieldWriter fieldOf(const Parts& parts)
{
    LsbBitFieldWriter field;
    for (const auto& [value, count] : parts)
        field.writeBits(value, count);
    return field;
}

std::vector<uint32_t> decode(const Parts& parts, uint8_t numBitsPerElem, bool signedValues = false,
                             HuffmanOptions options = {})
{
    const LsbBitFieldWriter field = fieldOf(parts);
    LsbBitFieldReader reader(field.bytes().data(), field.bitCount());
    return decodeHuffmanBitField(reader, numBitsPerElem, signedValues, options);
}

TEST(HuffmanBitField, SignCodeOrderShadowingAndDuplicates)
{
    // One 3-bit value whose bits read 0, 0, 1: 4, or -4 when signed; code 1; two elements.
    const Parts minusFour = {{1, 4}, {1, 8}, {4, 3}, {1, 1}, {1, 1}, {2, 32}, {0b11, 2}};
    EXPECT_EQ(decode(minusFour, 3, true), (std::vector<uint32_t>{0xFFFFFFFC, 0xFFFFFFFC}));
    EXPECT_EQ(decode(minusFour, 3, false), (std::vector<uint32_t>{4, 4}));
    // Stored codes 1 0 (value 1) and 1 1 (value 2); the data carries 0 1 and 1 1.
    const Parts table = {{2, 3}, {2, 8}, {1, 2}, {2, 2}, {0b01, 2}, {2, 2}, {2, 2}, {0b11, 2}};
    Parts order = table;
    order.insert(order.end(), {{3, 32}, {0b10, 2}, {0b11, 2}, {0b10, 2}}); // bits 0 1, 1 1, 0 1
    EXPECT_EQ(decode(order, 2), (std::vector<uint32_t>{1, 2, 1}));
    Parts wrong = table;
    wrong.insert(wrong.end(), {{1, 32}, {0b01, 2}}); // bits 1 0
    EXPECT_TRUE(failsToDecode([&] { decode(wrong, 2); }));
    // 8-bit lengths: (1, 0) -> 7, (2, 00) -> 9, (1, 0) -> 8 again. The later value wins and
    // the shorter code shadows the longer one.
    const Parts shadow = {{3, 5}, {2, 8}, {7, 4}, {1, 8}, {0, 1}, {9, 4}, {2, 8}, {0, 2},
                          {8, 4}, {1, 8}, {0, 1}, {3, 32}, {0, 3}};
    EXPECT_EQ(decode(shadow, 4, false, {false, true}), (std::vector<uint32_t>{8, 8, 8}));
}

TEST(HuffmanBitField, CodesLongerThanTheLookupTableStillDecode)
{
    // Value 1 by the 1-bit code 0 and value 2 by twelve 1 bits, in an array long enough
    // for the table lookup.
    Parts parts = {{2, 3}, {12, 8}, {1, 2}, {1, 12}, {0, 1}, {2, 2}, {12, 12}, {0xFFF, 12}, {600, 32}};
    std::vector<uint32_t> expected;
    for (int i = 0; i < 300; ++i) {
        parts.insert(parts.end(), {{0, 1}, {0xFFF, 12}});
        expected.insert(expected.end(), {1, 2});
    }
    EXPECT_EQ(decode(parts, 2), expected);
}

TEST(HuffmanBitField, MalformedFieldsFailWithoutLargeAllocations)
{
    const Parts oneCode = {{1, 3}, {1, 8}, {0, 2}, {1, 1}, {0, 1}}; // value 0, code 0
    // Codes 1 (length 1) and 111 (length 3): a 0 matches nothing at length 1.
    const Parts twoCodes = {{2, 3}, {3, 8}, {1, 2}, {1, 3}, {1, 1}, {2, 2}, {3, 3}, {7, 3}, {1, 32}};
    const auto with = [](Parts parts, const Parts& more) {
        parts.insert(parts.end(), more.begin(), more.end());
        return parts;
    };
    const std::tuple<const char*, Parts, uint8_t, bool> cases[] = { // name, field, bits per value, fails
        {"empty field", {}, 2, true},
        {"no entries", {{0, 3}}, 2, false},
        {"max length 0", {{1, 3}, {0, 8}}, 2, true},
        {"max length 33", {{1, 3}, {33, 8}}, 2, true},
        {"code length 0", {{1, 3}, {32, 8}, {0, 2}, {0, 32}}, 2, true},
        {"32-bit values", {}, 32, true},
        {"2^32 - 1 entries", {{0xFFFFFFFF, 32}, {1, 8}}, 31, true},
        {"too many elements", with(oneCode, {{0x8000001, 32}}), 2, true},
        {"elements beyond the field", with(oneCode, {{0x8000000, 32}}), 2, true},
        {"field ends before the longest length", with(twoCodes, {{0, 2}}), 2, true},
        {"no code matches", with(twoCodes, {{0, 3}}), 2, true},
    };
    for (const auto& [name, stored, storedBits, fails] : cases) {
        const Parts& parts = stored; // bindings cannot be captured
        const uint8_t bits = storedBits;
        resetLargestAllocation();
        EXPECT_EQ(failsToDecode([&] { decode(parts, bits); }), fails) << name;
        EXPECT_LT(largestAllocation(), 4096u) << name;
    }
}

TEST(HuffmanArray, WordCountsAndLastWordBits)
{
    const auto read = [](const PrcBitWriter& w) {
        PrcBitInput in(w.bytes());
        resetLargestAllocation();
        const bool fails = failsToDecode([&] { readHuffmanCompressedArray(in.reader, 2, false, {}); });
        EXPECT_LT(largestAllocation(), 4096u);
        return fails;
    };
    PrcBitInput empty("0 1");
    EXPECT_TRUE(readHuffmanCompressedArray(empty.reader, 2, false, {}).empty());
    EXPECT_EQ(empty.reader.bitsLeft(), 7u); // only the size was read
    PrcBitWriter huge;
    huge.writeUnsignedInteger(0x4000001);
    EXPECT_TRUE(read(huge));
    PrcBitWriter largest;
    largest.writeUnsignedInteger(0x4000000);
    EXPECT_TRUE(read(largest));
    PrcBitWriter badLast;
    badLast.writeUnsignedInteger(2);
    badLast.writeByteArray(std::vector<uint8_t>(8, 0));
    badLast.writeUnsignedInteger(33);
    EXPECT_TRUE(read(badLast));
    // Three words with 0 bits used in the last, or two with all 32: 64 bits, of which table
    // and count take 47 and each element one.
    for (const auto& [words, usedInLast] : {std::pair{3u, 0u}, {2u, 32u}})
        for (const uint32_t elements : {17u, 18u}) {
            std::vector<uint8_t> bytes = fieldOf({{1, 3}, {1, 8}, {2, 2}, {1, 1}, {0, 1}, {elements, 32}, {0, 32}}).bytes();
            bytes.resize(4 * words, 0);
            PrcBitWriter w;
            w.writeUnsignedInteger(words);
            w.writeByteArray(bytes);
            w.writeUnsignedInteger(usedInLast);
            EXPECT_EQ(read(w), elements != 17);
        }
}

} // namespace
