#include "prc/bits/frequent_double_table.h"
#include "prc/bits/prc_bit_reader.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

namespace {

uint64_t bitsOf(double value)
{
    return std::bit_cast<uint64_t>(value);
}

std::string plain(std::string_view text)
{
    std::string bits;
    for (const bool bit : bitsFromString(text))
        bits.push_back(bit ? '1' : '0');
    return bits;
}

// Writes value, reads it back and checks the bits and that exactly the written bits
// were consumed.
void expectRoundTrip(uint64_t bits)
{
    PrcBitWriter w;
    w.writeDouble(std::bit_cast<double>(bits));
    PrcBitInput in(w.bytes());
    EXPECT_EQ(bitsOf(in.reader.readDouble()), bits) << std::hex << bits << " " << w.bitString();
    EXPECT_EQ(in.reader.bitsLeft(), w.bytes().size() * 8 - w.bitCount()) << std::hex << bits;
}

TEST(PrcDouble, WorkedExamplesBothWays)
{
    const std::pair<const char*, double> cases[] = {
        {"0000 0", 1.0}, {"0000 1", -1.0}, {"01", 0.0}, {"11011 0 1 1000 1 00000000 0 000", 3.0}};
    for (const auto& [bits, value] : cases) {
        PrcBitWriter w;
        w.writeDouble(value);
        EXPECT_EQ(w.bitString(), plain(bits));
        PrcBitInput in(bits);
        EXPECT_EQ(bitsOf(in.reader.readDouble()), bitsOf(value)) << bits;
        EXPECT_EQ(in.reader.bitsLeft(), in.bytes.size() * 8 - plain(bits).size()) << bits;
    }
}

TEST(PrcDouble, SignedZeros)
{
    PrcBitInput zero("01 1"); // the code for zero has no sign bit
    EXPECT_EQ(bitsOf(zero.reader.readDouble()), 0u);
    EXPECT_EQ(zero.reader.bitsLeft(), 6u);
    PrcBitInput negative("0011010001110100110010 1 0"); // exponent 0, sign 1, no mantissa
    EXPECT_EQ(bitsOf(negative.reader.readDouble()), bitsOf(-0.0));
    PrcBitWriter w;
    w.writeDouble(-0.0);
    EXPECT_EQ(w.bitString(), plain("0011010001110100110010 1 0"));
}

// Exponent of 1.0, sign 0, mantissa present, top bits 0101: bytes 7 and 6 are 3F F5.
constexpr const char* kMantissaPrefix = "10011 0 1 0101";

struct MantissaCase {
    const char* bits; // after kMantissaPrefix
    uint64_t expected;
};

TEST(PrcDouble, MantissaEndCodes)
{
    const MantissaCase cases[] = {
        {"0 000", 0x3FF5F5F5F5F5F5F5},                                        // repeat byte 6 to the end
        {"0 110 00100010", 0x3FF5F5F5F5F5F522},                               // repeat, then byte 0
        {"1 00010001 0 110 00100010", 0x3FF5111111111122},                    // from byte 4 on
        {"1 00010001 1 00000000 0 000", 0x3FF5110000000000},                  // repeat a zero
        {"1 11111111 1 11111111 1 11111111 1 11111111 1 11111111 0 111", 0x3FF5FFFFFFFFFF3F}, // byte 7 into 0
        {"1 11111111 1 00000001 1 00000010 1 00000011 0 110 10000000", 0x3FF5FF0102030380},
    };
    for (const MantissaCase& c : cases) {
        PrcBitInput in(std::string(kMantissaPrefix) + " " + c.bits);
        EXPECT_EQ(bitsOf(in.reader.readDouble()), c.expected) << c.bits;
    }
}

// Every copy distance at every position: literals 0x10 + pos around one copy.
TEST(PrcDouble, EveryCopyDistanceAtEveryPosition)
{
    for (int pos = 5; pos >= 0; --pos)
        for (const int distance : {1, 2, 3, 4, 5, 7}) {
            PrcBitWriter hand;
            hand.writeBitString(kMantissaPrefix);
            uint8_t image[8] = {0, 0, 0, 0, 0, 0, 0xF5, 0x3F};
            for (int p = 5; p >= 0; --p) {
                image[p] = static_cast<uint8_t>(0x10 + p);
                if (p == pos) {
                    hand.writeBoolean(false);
                    hand.writeBits(static_cast<uint32_t>(distance), 3);
                    if (pos + distance <= 7)
                        image[p] = image[p + distance];
                } else {
                    hand.writeBoolean(true);
                    hand.writeBits(image[p], 8);
                }
            }
            PrcBitInput in(hand.bytes());
            const std::string error = runtimeErrorOf([&] {
                uint64_t expected = 0;
                for (int i = 7; i >= 0; --i)
                    expected = expected << 8 | image[i];
                EXPECT_EQ(bitsOf(in.reader.readDouble()), expected) << pos << " " << distance;
                // The writer finds the copy, or a shorter end code.
                PrcBitWriter w;
                w.writeDouble(std::bit_cast<double>(expected));
                EXPECT_LE(w.bitCount(), hand.bitCount()) << pos << " " << distance;
                expectRoundTrip(expected);
            });
            EXPECT_EQ(error, pos + distance > 7 ? "PRCBitReader: riferimento di mantissa non valido" : "")
                << pos << " " << distance;
        }
}

TEST(PrcDouble, RoundTripsEveryExponentSignAndMantissaShape)
{
    const uint64_t mantissas[] = {0, 1, 0x8000000000000, 0xFFFFFFFFFFFFF, 0x123456789ABCD, 0x0F0F0F0F0F0F0,
                                  0x1000000000000, 0x00000000000FF};
    for (uint64_t exponent = 0; exponent < 2048; ++exponent)
        for (const uint64_t mantissa : mantissas)
            for (const uint64_t sign : {uint64_t{0}, uint64_t{1}})
                expectRoundTrip(sign << 63 | exponent << 52 | mantissa);
}

TEST(PrcDouble, RoundTripsSpecialAndFrequentValues)
{
    const double specials[] = {0.0, -0.0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::denorm_min(), DBL_MIN, DBL_MAX, -DBL_MAX,
                               std::nextafter(DBL_MIN, 0.0), 0.1, -0.1, 1e300, 2.5};
    for (const double value : specials)
        expectRoundTrip(bitsOf(value));
    for (const uint64_t nan : {0x7FF8000000000000ull, 0x7FF0000000000001ull, 0xFFF8000000000000ull,
                               0x7FFFFFFFFFFFFFFFull, 0x7FF4000000000123ull})
        expectRoundTrip(nan);
    for (const FrequentDoubleEntry& entry : kFrequentDoubleTable) {
        if (entry.kind != FrequentDoubleKind::Value)
            continue;
        const double value = std::bit_cast<double>(entry.bits);
        for (const double v : {value, -value, std::nextafter(value, 0.0), std::nextafter(value, INFINITY)}) {
            expectRoundTrip(bitsOf(v));
            PrcBitWriter w;
            w.writeDouble(v);
            if (v == value && entry.bits != 0) { // a frequent value takes its code and a sign bit
                EXPECT_EQ(w.bitCount(), entry.length + 1u);
            }
        }
    }
}

TEST(PrcDouble, RoundTripsRandomAndRepetitiveBitPatterns)
{
    std::mt19937_64 random(14739);
    for (int i = 0; i < 20000; ++i)
        expectRoundTrip(random());
    // Mantissa bytes from a small alphabet exercise every end and copy code.
    const uint8_t alphabet[] = {0x00, 0xF5, 0x3F};
    for (int combination = 0; combination < 729; ++combination) {
        uint64_t bits = 0x3FF5000000000000;
        for (int i = 0, c = combination; i < 6; ++i, c /= 3)
            bits |= static_cast<uint64_t>(alphabet[c % 3]) << (8 * i);
        expectRoundTrip(bits);
        expectRoundTrip(bits ^ 0x8000000000000000);
    }
}

TEST(PrcDouble, EveryTruncationIsReadPastEnd)
{
    std::mt19937_64 random(2);
    for (int i = 0; i < 300; ++i) {
        PrcBitWriter w;
        w.writeDouble(std::bit_cast<double>(i == 0 ? bitsOf(3.0) : random()));
        for (size_t cut = 0; cut < (w.bitCount() + 7) / 8; ++cut) {
            PrcBitInput in(std::vector<uint8_t>(w.bytes().begin(), w.bytes().begin() + static_cast<std::ptrdiff_t>(cut)));
            if (w.bitCount() <= cut * 8)
                continue;
            EXPECT_EQ(runtimeErrorOf([&] { in.reader.readDouble(); }), "PRCBitReader: read past end") << w.bitString();
        }
    }
}

} // namespace
