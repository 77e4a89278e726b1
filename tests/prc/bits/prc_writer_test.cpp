// The test encoder against fixed bit strings, so that round trips through the reader do
// not rest on a writer that shares the reader's mistakes.
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

std::string plain(std::string_view text)
{
    std::string bits;
    for (const bool bit : bitsFromString(text))
        bits.push_back(bit ? '1' : '0');
    return bits;
}

TEST(PrcBitWriter, IntegersAsFixedBits)
{
    const std::pair<uint32_t, const char*> unsignedCases[] = {
        {0, "0"}, {5, "1 00000101 0"}, {0x201, "1 00000001 1 00000010 0"},
        {0xFFFFFFFF, "1 11111111 1 11111111 1 11111111 1 11111111 0"}};
    for (const auto& [value, bits] : unsignedCases) {
        PrcBitWriter w;
        w.writeUnsignedInteger(value);
        EXPECT_EQ(w.bitString(), plain(bits)) << value;
    }
    const std::pair<int32_t, const char*> signedCases[] = {
        {0, "0"}, {-1, "1 11111111 0"}, {255, "1 11111111 1 00000000 0"}, {-128, "1 10000000 0"},
        {128, "1 10000000 1 00000000 0"}, {127, "1 01111111 0"},
        {INT32_MIN, "1 00000000 1 00000000 1 00000000 1 10000000 0"}};
    for (const auto& [value, bits] : signedCases) {
        PrcBitWriter w;
        w.writeInteger(value);
        EXPECT_EQ(w.bitString(), plain(bits)) << value;
    }
}

TEST(PrcBitWriter, IntegersRoundTrip)
{
    std::mt19937 random(5);
    std::vector<uint32_t> values = {0, 1, 127, 128, 255, 256, 0x7FFF, 0x8000, 0x7FFFFF, 0x800000, 0x7FFFFFFF,
                                    0x80000000, 0xFF800000, 0xFFFF8000, 0xFFFFFF80, 0xFFFFFFFF};
    for (int i = 0; i < 2000; ++i)
        values.push_back(random() >> (random() % 32));
    for (const uint32_t value : values) {
        PrcBitWriter w;
        w.writeUnsignedInteger(value);
        w.writeInteger(static_cast<int32_t>(value));
        PrcBitInput in(w.bytes());
        EXPECT_EQ(in.reader.readUnsignedInteger(), value);
        EXPECT_EQ(in.reader.readInteger(), static_cast<int32_t>(value));
        EXPECT_EQ(in.reader.bitsLeft(), w.bytes().size() * 8 - w.bitCount());
    }
}

TEST(PrcBitWriter, StringsGraphicsAndPadding)
{
    PrcBitWriter w;
    w.writeString("");
    w.writeString("A");
    w.writeGraphics({false, 0, 1, 0x0201, {}}, 8137);
    w.writeGraphics({true, 0, 0, 0, {{3, 4}}}, 8138);
    EXPECT_EQ(w.bitString(), plain("0  1 1 00000001 0 01000001  0 1 00000001 0 1 00000010 0 00000001 00000010"
                                   "  1 1 00000001 0 1 00000011 0 1 00000100 0"));
    PrcBitWriter pad;
    pad.writeBitString("101 1");
    EXPECT_EQ(pad.bytes(), std::vector<uint8_t>{0xB0});
    EXPECT_EQ(bytesFromBitString("1111 1111 1"), (std::vector<uint8_t>{0xFF, 0x80}));
}

TEST(PrcBitWriter, RefusesValuesWithoutAnEncoding)
{
    PrcBitWriter w;
    EXPECT_THROW(writeCompressedIntegerArray(w, {INT32_MIN}, false), std::invalid_argument);
    EXPECT_THROW(writeCompressedIntegerArray(w, {INT32_MAX}, true), std::invalid_argument); // count 32 in 6 bits
    EXPECT_THROW(w.writeUnsignedIntegerWithVariableBitNumber(0x80000000), std::invalid_argument);
}

TEST(ComputedHuffmanCode, PrefixFreeInDataOrderAndFrequentValuesShorter)
{
    std::mt19937 random(77);
    for (int round = 0; round < 50; ++round) {
        std::vector<uint32_t> values;
        const uint32_t distinct = 1 + random() % 40;
        for (int i = 0; i < 400; ++i)
            values.push_back(random() % (1 + random() % distinct));
        std::map<uint32_t, int> frequency;
        for (const uint32_t v : values)
            ++frequency[v];
        const std::vector<HuffmanCodeEntry> code = computeHuffmanCode(values);
        ASSERT_EQ(code.size(), frequency.size());
        for (const HuffmanCodeEntry& a : code)
            for (const HuffmanCodeEntry& b : code) {
                if (&a == &b)
                    continue;
                // Data order: the first bit is bit 0, so a prefix is a match of the low bits.
                if (a.length <= b.length) {
                    EXPECT_NE(a.code, b.code & ((uint64_t{1} << a.length) - 1));
                }
                if (frequency[a.value] > frequency[b.value]) {
                    EXPECT_LE(a.length, b.length);
                }
            }
    }
}

} // namespace
