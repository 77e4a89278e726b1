#include "prc/bits/prc_bit_reader.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

namespace {

const std::string kPastEnd = "PRCBitReader: read past end";

TEST(PrcBitReaderBits, ReadsMostSignificantFirstAcrossBytes)
{
    PrcBitInput in(std::vector<uint8_t>{0xA5, 0x3C, 0xFF, 0x00, 0x81});
    PRCBitReader& r = in.reader;
    EXPECT_TRUE(r.readBoolean());
    EXPECT_FALSE(r.readBoolean());
    EXPECT_EQ(r.readBits(0), 0u);
    EXPECT_EQ(r.readBits(-3), 0u);
    EXPECT_EQ(r.bitsLeft(), 38u);
    EXPECT_EQ(r.readBits(10), 0b1001010011u); // crosses into the second byte
    EXPECT_EQ(r.readBits(4), 0xCu);
    EXPECT_EQ(r.readBits(24), 0xFF0081u);
    EXPECT_EQ(r.bitsLeft(), 0u);
    EXPECT_EQ(runtimeErrorOf([&] { r.readBoolean(); }), kPastEnd);
}

TEST(PrcBitReaderBits, WideReadsKeepTheLast32Bits)
{
    PrcBitInput in(std::vector<uint8_t>{0xAB, 0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(in.reader.readBits(40), 0x12345678u);
}

TEST(PrcBitReaderBits, ReadPastEndIsRefusedWholeAtTheLastBit)
{
    PrcBitInput in(std::vector<uint8_t>{0xFF, 0xFF});
    EXPECT_EQ(runtimeErrorOf([&] { in.reader.readBits(17); }), kPastEnd);
    PrcBitInput empty(std::vector<uint8_t>{});
    EXPECT_EQ(runtimeErrorOf([&] { empty.reader.readBoolean(); }), kPastEnd);
    PRCBitReader none(nullptr, 5);
    EXPECT_EQ(none.bitsLeft(), 0u);
}

TEST(PrcBitReaderBits, SkipAndPositionRestore)
{
    PrcBitInput in(std::vector<uint8_t>{0x12, 0x34, 0x56});
    PRCBitReader& r = in.reader;
    r.skipBits(4);
    const PRCBitReader::Position mark = r.position();
    EXPECT_EQ(r.readBits(8), 0x23u);
    r.setPosition(mark);
    EXPECT_EQ(r.readBits(8), 0x23u);
    r.skipBits(12);
    EXPECT_EQ(r.bitsLeft(), 0u);
    r.setPosition({0, 0});
    EXPECT_EQ(runtimeErrorOf([&] { r.skipBits(25); }), kPastEnd);
    r.setPosition({7, 3}); // not a position of this reader: clamped to the end
    EXPECT_EQ(r.bitsLeft(), 0u);
}

struct IntegerCase {
    const char* bits;
    uint32_t unsignedValue;
    int32_t signedValue;
};

class PrcBitReaderIntegers : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(PrcBitReaderIntegers, UnsignedAndSignedForms)
{
    PrcBitInput u(GetParam().bits);
    EXPECT_EQ(u.reader.readUnsignedInteger(), GetParam().unsignedValue);
    PrcBitInput s(GetParam().bits);
    EXPECT_EQ(s.reader.readInteger(), GetParam().signedValue);
    EXPECT_EQ(u.reader.bitsLeft(), s.reader.bitsLeft());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrcBitReaderIntegers,
    ::testing::Values(IntegerCase{"0", 0, 0}, IntegerCase{"1 00000101 0", 5, 5},
                      IntegerCase{"1 11111111 0", 255, -1}, IntegerCase{"1 11111111 1 00000000 0", 255, 255},
                      IntegerCase{"1 10000000 0", 128, -128}, IntegerCase{"1 00000001 1 00000010 0", 0x201, 0x201},
                      // Three bytes, top bit set: extended from bit 24.
                      IntegerCase{"1 00000000 1 00000000 1 10000000 0", 0x800000, -0x800000},
                      // Four bytes: the value is whole, no extension.
                      IntegerCase{"1 00000000 1 00000000 1 00000000 1 10000000 0", 0x80000000u, INT32_MIN},
                      IntegerCase{"1 11111111 1 11111111 1 11111111 1 01111111 0", 0x7FFFFFFF, INT32_MAX},
                      // A fifth byte is read and dropped, and does not extend the sign.
                      IntegerCase{"1 00000001 1 00000000 1 00000000 1 00000000 1 10000000 0", 1, 1},
                      IntegerCase{"1 11111111 1 00000000 1 00000000 1 00000000 1 11111111 1 11111111 0", 255, 255}));

TEST(PrcBitReaderIntegersEnd, ContinuationFlagAsLastBitIsReadPastEnd)
{
    for (const char* bits : {"0000000 1", "1 00000001 1 0000", "1 0000000"}) {
        PrcBitInput u(bits);
        u.reader.skipBits(bits[0] == '0' ? 7 : 0);
        EXPECT_EQ(runtimeErrorOf([&] { u.reader.readUnsignedInteger(); }), kPastEnd) << bits;
        PrcBitInput s(bits);
        s.reader.skipBits(bits[0] == '0' ? 7 : 0);
        EXPECT_EQ(runtimeErrorOf([&] { s.reader.readInteger(); }), kPastEnd) << bits;
    }
}

TEST(PrcBitReaderString, FlagLengthAndBytes)
{
    PrcBitInput none("0 1");
    EXPECT_EQ(none.reader.readString(), "");
    EXPECT_EQ(none.reader.bitsLeft(), 7u); // exactly the flag

    PrcBitWriter w;
    w.writeBoolean(true);
    w.writeUnsignedInteger(4);
    w.writeByteArray({'a', 0x00, 0xC3, 0xA9}); // bytes are kept as they are
    PrcBitInput text(w.bytes());
    EXPECT_EQ(text.reader.readString(), std::string("a\0\xC3\xA9", 4));
}

TEST(PrcBitReaderString, LengthIsCheckedAgainstWholeBytesLeftBeforeReading)
{
    // Two bytes follow the length; the padding adds less than a byte.
    for (const uint32_t length : {2u, 3u, 0xFFFFFFFFu}) {
        PrcBitWriter w;
        w.writeBoolean(true);
        w.writeUnsignedInteger(length);
        w.writeByteArray({'a', 'b'});
        PrcBitInput in(w.bytes());
        EXPECT_EQ(runtimeErrorOf([&] { in.reader.readString(); }),
                  length == 2 ? "" : "PRCBitReader: string longer than the data left");
    }
}

class PrcBitReaderGraphics : public ::testing::TestWithParam<uint32_t> {};

TEST_P(PrcBitReaderGraphics, FieldsStateAndExtensionByVersion)
{
    const uint32_t version = GetParam();
    PrcBitWriter w;
    w.writeGraphics({false, 4, 0xFFFFFFFF, 0x0102, {{7, 8}, {9, 10}}}, version);
    w.writeGraphics({true, 0, 0, 0, {{1, 2}}}, version);
    w.writeBits(0x5A, 8);
    PrcBitInput in(w.bytes(), version);
    PRCBitReader& r = in.reader;
    const Graphics first = r.readGraphics();
    EXPECT_EQ(first.layer, 4u);
    EXPECT_EQ(first.lineStyle, kPrcNoIndex); // stored 0
    EXPECT_EQ(first.behaviour, 0x0102);
    const Graphics same = r.readGraphics();
    EXPECT_EQ(same.layer, 4u);
    EXPECT_EQ(same.behaviour, 0x0102);
    EXPECT_EQ(r.currentLayer, 4u);
    EXPECT_EQ(r.readBits(8), 0x5Au); // the extension was read exactly when it was written
}

INSTANTIATE_TEST_SUITE_P(Versions, PrcBitReaderGraphics,
                         ::testing::Values(7094u, 8137u, 8138u, 0xFFFFFFFFu));

TEST(PrcBitReaderGraphicsCount, MoreThan1024PairsIsImplausible)
{
    for (const uint32_t count : {1024u, 1025u, 0xFFFFFFFFu}) {
        PrcBitWriter w;
        w.writeBoolean(true);
        w.writeUnsignedInteger(count);
        for (uint32_t i = 0; i < count && i < 1024; ++i)
            w.writeBitString("0 0");
        PrcBitInput in(w.bytes(), 9000);
        EXPECT_EQ(runtimeErrorOf([&] { in.reader.readGraphics(); }),
                  count > 1024 ? "PRCBitReader: campo dopo graphics con conteggio implausibile" : "");
    }
}

TEST(PrcBitReaderVariableBitNumber, WidthThenBits)
{
    PrcBitInput in("00000 00011 101 11111 1000000000000000000000000000001");
    EXPECT_EQ(in.reader.readUnsignedIntegerWithVariableBitNumber(), 0u);
    EXPECT_EQ(in.reader.readUnsignedIntegerWithVariableBitNumber(), 5u);
    EXPECT_EQ(in.reader.readUnsignedIntegerWithVariableBitNumber(), 0x40000001u);
    PrcBitWriter w;
    w.writeUnsignedIntegerWithVariableBitNumber(0x1234);
    EXPECT_EQ(w.bitString(), "01101" "1001000110100");
}

} // namespace
