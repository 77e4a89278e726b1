// The bit reader's primitives at their boundaries: widths, ends, sign extension, and
// counts the data cannot hold.
#include "prc/bits/prc_bit_reader.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PrcBitReaderBits, OrderWidthsPositionsAndEnd)
{
    PrcBitInput in(std::vector<uint8_t>{0xA5, 0x3C, 0xFF, 0x00, 0x81});
    PRCBitReader& r = in.reader;
    EXPECT_TRUE(r.readBoolean());
    EXPECT_FALSE(r.readBoolean());
    EXPECT_EQ(r.readBits(0) + r.readBits(-3), 0u); // reads nothing
    const PRCBitReader::Position mark = r.position();
    EXPECT_EQ(r.readBits(10), 0b1001010011u); // crosses into the second byte
    r.setPosition(mark);
    r.skipBits(10);
    EXPECT_EQ(r.readBits(4), 0xCu);
    EXPECT_TRUE(failsToDecode([&] { r.readBits(25); }));
    EXPECT_EQ(r.readBits(24), 0xFF0081u);
    EXPECT_TRUE(failsToDecode([&] { r.readBoolean(); }));
    EXPECT_TRUE(failsToDecode([&] { r.skipBits(1); }));
    r.setPosition({7, 3}); // not a position of this reader: the end
    EXPECT_EQ(r.bitsLeft(), 0u);
    PrcBitInput wide(std::vector<uint8_t>{0xAB, 0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(wide.reader.readBits(40), 0x12345678u); // the last 32 bits remain
}

TEST(PrcBitReaderIntegers, FixedBitsBothWays)
{
    const std::tuple<const char*, uint32_t, int32_t> cases[] = {
        {"0", 0, 0},
        {"1 11111111 0", 255, -1},
        {"1 11111111 1 00000000 0", 255, 255},
        {"1 10000000 0", 128, -128},
        {"1 10000000 1 00000000 0", 128, 128},
        {"1 00000000 1 00000000 1 10000000 0", 0x800000, -0x800000}, // three bytes: extended
        {"1 00000000 1 00000000 1 00000000 1 10000000 0", 0x80000000u, INT32_MIN}, // four: whole
        {"1 11111111 1 11111111 1 11111111 1 11111111 0", 0xFFFFFFFF, -1},
        // Bytes past the fourth are read and dropped and extend nothing.
        {"1 00000001 1 00000000 1 00000000 1 00000000 1 10000000 0", 1, 1},
        {"1 11111111 1 00000000 1 00000000 1 00000000 1 11111111 1 11111111 0", 255, 255}};
    // Alone, and with bytes after them (read a window at a time), from every bit offset.
    for (const auto& [bits, unsignedValue, signedValue] : cases)
        for (const std::string padding : {"", "1010101 01010101 01010101 01010101 01010101 01010101 01010101 0101"})
            for (const size_t offset : {0, 3, 7}) {
                const std::string data = std::string(offset, '1') + bits + padding;
                PrcBitInput u(data);
                PrcBitInput s(data);
                u.reader.skipBits(offset);
                s.reader.skipBits(offset);
                EXPECT_EQ(u.reader.readUnsignedInteger(), unsignedValue) << data;
                EXPECT_EQ(s.reader.readInteger(), signedValue) << data;
                EXPECT_EQ(u.reader.bitsLeft(), u.bytes.size() * 8 - offset - bitsFromString(bits).size()) << data;
                EXPECT_EQ(s.reader.bitsLeft(), u.reader.bitsLeft()) << data;
            }
    // A continuation flag as the last bit, or a byte cut short.
    for (const char* bits : {"0000000 1", "1 00000001 1 0000", "1 0000000"}) {
        PrcBitInput u(bits);
        PrcBitInput s(bits);
        u.reader.skipBits(bits[0] == '0' ? 7 : 0);
        s.reader.skipBits(bits[0] == '0' ? 7 : 0);
        EXPECT_TRUE(failsToDecode([&] { u.reader.readUnsignedInteger(); })) << bits;
        EXPECT_TRUE(failsToDecode([&] { s.reader.readInteger(); })) << bits;
    }
}

TEST(PrcBitReaderString, FlagLengthAndBytes)
{
    PrcBitInput none("0 1");
    EXPECT_EQ(none.reader.readString(), "");
    EXPECT_EQ(none.reader.bitsLeft(), 7u); // the flag alone
    const char* bits = "1 1 00000100 0 01100001 00000000 11000011 10101001";
    PrcBitInput text(bits);
    EXPECT_EQ(text.reader.readString(), std::string("a\0\xC3\xA9", 4)); // bytes kept as they are
    // Two bytes follow the length, with less than a byte of padding.
    for (const uint32_t length : {2u, 3u, 0xFFFFFFFFu}) {
        PrcBitWriter cut;
        cut.writeBoolean(true);
        cut.writeUnsignedInteger(length);
        cut.writeByteArray({'a', 'b'});
        PrcBitInput in(cut.bytes());
        EXPECT_EQ(failsToDecode([&] { in.reader.readString(); }), length != 2);
    }
}

TEST(PrcBitReaderGraphics, FieldsStateAndExtensionByVersion)
{
    for (const uint32_t version : {7094u, 8137u, 8138u, 0xFFFFFFFFu}) {
        PrcBitWriter w;
        w.writeGraphics({false, 4, 0xFFFFFFFF, 0x0102, {{7, 8}, {9, 10}}}, version);
        w.writeGraphics({true, 0, 0, 0, {{1, 2}}}, version); // extension still present
        w.writeBits(0x5A, 8);
        PrcBitInput in(w.bytes(), version);
        const Graphics first = in.reader.readGraphics();
        EXPECT_EQ(std::tuple(first.layer, first.lineStyle, first.behaviour), std::tuple(4u, kPrcNoIndex, 0x0102));
        const Graphics same = in.reader.readGraphics();
        EXPECT_EQ(std::tuple(same.layer, same.behaviour), std::tuple(4u, 0x0102));
        EXPECT_EQ(in.reader.readBits(8), 0x5Au) << version; // the extension read exactly when written
    }
    for (const uint32_t count : {1024u, 1025u, 0xFFFFFFFFu}) {
        PrcBitWriter w;
        w.writeBoolean(true);
        w.writeUnsignedInteger(count);
        for (uint32_t i = 0; i < count && i < 1024; ++i)
            w.writeBitString("0 0");
        PrcBitInput in(w.bytes(), 9000);
        EXPECT_EQ(failsToDecode([&] { in.reader.readGraphics(); }), count > 1024);
    }
}

TEST(PrcBitReaderVariableBitNumber, WidthThenBits)
{
    const char* bits = "00000 00011 101 11111 1000000000000000000000000000001";
    PrcBitInput in(bits);
    for (const uint32_t value : {0u, 5u, 0x40000001u})
        EXPECT_EQ(in.reader.readUnsignedIntegerWithVariableBitNumber(), value);

    // Skipping lands where reading would, through the last bytes too, and not past the end.
    PrcBitWriter w;
    for (uint32_t i = 0; i < 40; ++i)
        w.writeUnsignedIntegerWithVariableBitNumber(i * 0x2F0F1u >> (i % 19));
    const std::vector<uint8_t> bytes = w.bytes();
    for (uint32_t count = 0; count <= 40; ++count) {
        PRCBitReader read(bytes);
        PRCBitReader skip(bytes);
        for (uint32_t i = 0; i < count; ++i)
            read.readUnsignedIntegerWithVariableBitNumber();
        skip.skipUnsignedIntegersWithVariableBitNumber(count);
        EXPECT_EQ(skip.bitsLeft(), read.bitsLeft()) << count;
    }
    PRCBitReader past(bytes);
    EXPECT_TRUE(failsToDecode([&] { past.skipUnsignedIntegersWithVariableBitNumber(41 + 8); }));
}

} // namespace
