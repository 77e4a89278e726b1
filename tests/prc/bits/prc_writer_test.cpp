// The test encoder against fixed bit strings, so that round trips through the reader do
// not rest on a writer that shares the reader's mistakes. Doubles: prc_double_test.cpp.
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string plain(std::string_view text)
{
    return PrcBitWriter(text).bitString();
}

TEST(PrcBitWriter, IntegersAsFixedBits)
{
    const std::tuple<uint32_t, const char*, const char*> cases[] = {
        // value, as UnsignedInteger, as Integer
        {0, "0", "0"},
        {5, "1 00000101 0", "1 00000101 0"},
        {127, "1 01111111 0", "1 01111111 0"},
        {128, "1 10000000 0", "1 10000000 1 00000000 0"},
        {255, "1 11111111 0", "1 11111111 1 00000000 0"},
        {0x201, "1 00000001 1 00000010 0", "1 00000001 1 00000010 0"},
        {0xFFFFFF80, "1 10000000 1 11111111 1 11111111 1 11111111 0", "1 10000000 0"},
        {0xFFFFFFFF, "1 11111111 1 11111111 1 11111111 1 11111111 0", "1 11111111 0"},
        {0x80000000, "1 00000000 1 00000000 1 00000000 1 10000000 0", "1 00000000 1 00000000 1 00000000 1 10000000 0"}};
    for (const auto& [value, unsignedBits, signedBits] : cases) {
        PrcBitWriter u;
        u.writeUnsignedInteger(value);
        EXPECT_EQ(u.bitString(), plain(unsignedBits)) << value;
        PrcBitWriter s;
        s.writeInteger(static_cast<int32_t>(value));
        EXPECT_EQ(s.bitString(), plain(signedBits)) << value;
    }
}

TEST(PrcBitWriter, IntegersRoundTrip)
{
    std::mt19937 random(5);
    std::vector<uint32_t> values = {0x7FFF, 0x8000, 0x7FFFFF, 0x800000, 0x7FFFFFFF, 0xFF800000, 0xFFFF8000};
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

TEST(PrcBitWriter, StringsGraphicsPaddingAndRefusals)
{
    PrcBitWriter w;
    w.writeString("");
    w.writeString("A");
    w.writeGraphics({false, 0, 1, 0x0201, {}}, 8137);
    w.writeGraphics({true, 0, 0, 0, {{3, 4}}}, 8138);
    w.writeUnsignedIntegerWithVariableBitNumber(0x1234);
    EXPECT_EQ(w.bitString(), plain("0  1 1 00000001 0 01000001  0 1 00000001 0 1 00000010 0 00000001 00000010"
                                   "  1 1 00000001 0 1 00000011 0 1 00000100 0  01101 1001000110100"));
    EXPECT_EQ(PrcBitWriter("101 1").bytes(), std::vector<uint8_t>{0xB0});
    EXPECT_EQ(bytesFromBitString("1111 1111 1"), (std::vector<uint8_t>{0xFF, 0x80}));
    EXPECT_THROW(writeCompressedIntegerArray(w, {INT32_MIN}, false), std::invalid_argument);
    EXPECT_THROW(writeCompressedIntegerArray(w, {INT32_MAX}, true), std::invalid_argument); // count 32 in 6 bits
    EXPECT_THROW(w.writeUnsignedIntegerWithVariableBitNumber(0x80000000), std::invalid_argument);
}

} // namespace
