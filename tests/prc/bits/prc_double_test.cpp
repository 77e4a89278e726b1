#include "prc/bits/frequent_double_table.h"
#include "prc/bits/prc_bit_reader.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <random>

namespace {

uint64_t bitsOf(double value)
{
    return std::bit_cast<uint64_t>(value);
}

// Reads a double from the bit text and checks that exactly its bits were consumed.
uint64_t decode(std::string_view bits)
{
    PrcBitInput in(bits);
    const uint64_t value = bitsOf(in.reader.readDouble());
    EXPECT_EQ(in.reader.bitsLeft(), in.bytes.size() * 8 - bitsFromString(bits).size()) << bits;
    return value;
}

TEST(PrcDouble, FixedBitStringsBothWays)
{
    const std::pair<const char*, double> cases[] = {
        {"0000 0", 1.0}, {"0000 1", -1.0}, {"01", 0.0}, {"11011 0 1 1000 1 00000000 0 000", 3.0},
        {"0011010001110100110010 1 0", -0.0}}; // exponent 0, sign 1, no mantissa
    for (const auto& [bits, value] : cases) {
        PrcBitWriter w;
        w.writeDouble(value);
        EXPECT_EQ(w.bitString(), PrcBitWriter(bits).bitString());
        EXPECT_EQ(decode(bits), bitsOf(value)) << bits;
    }
    PrcBitInput zero("01 1"); // the code for zero carries no sign bit
    EXPECT_EQ(bitsOf(zero.reader.readDouble()), 0u);
    EXPECT_EQ(zero.reader.bitsLeft(), 6u);
}

TEST(PrcDouble, MantissaEndCodes)
{
    // Exponent of 1.0, sign 0, mantissa present, top bits 0101: bytes 7 and 6 are 3F F5.
    const std::pair<const char*, uint64_t> cases[] = {
        {"0 000", 0x3FF5F5F5F5F5F5F5},                     // byte 6 repeated to the end
        {"0 110 00100010", 0x3FF5F5F5F5F5F522},            // repeated, then byte 0
        {"1 00010001 0 110 00100010", 0x3FF5111111111122}, // from byte 4 on
        {"1 00010001 1 00000000 0 000", 0x3FF5110000000000},
        {"1 11111111 1 00000001 1 00000010 1 00000011 0 110 10000000", 0x3FF5FF0102030380}};
    for (const auto& [bits, expected] : cases)
        EXPECT_EQ(decode(std::string("10011 0 1 0101 ") + bits), expected) << bits;
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
            const std::string error = runtimeErrorOf([&] { EXPECT_EQ(bitsOf(in.reader.readDouble()), expected); });
            EXPECT_EQ(error, pos + distance > 7 ? "PRCBitReader: riferimento di mantissa non valido" : "")
                << pos << " " << distance;
            if (error.empty()) { // the writer finds this copy or a shorter code
                PrcBitWriter w;
                w.writeDouble(std::bit_cast<double>(expected));
                EXPECT_LE(w.bitCount(), hand.bitCount()) << pos << " " << distance;
            }
        }
}

TEST(PrcDouble, WriterRoundTripsAnyBitPattern)
{
    std::vector<uint64_t> patterns = {bitsOf(INFINITY), bitsOf(-INFINITY), bitsOf(DBL_MAX), bitsOf(DBL_MIN),
                                      bitsOf(std::nextafter(DBL_MIN, 0.0)), 1, 0x8000000000000001, 0x7FF8000000000000,
                                      0x7FF0000000000001, 0xFFF8000000000000, 0x7FF4000000000123};
    for (uint64_t exponent = 0; exponent < 2048; ++exponent) // every exponent, sign and mantissa shape
        for (const uint64_t mantissa : {0ull, 1ull, 0x8000000000000ull, 0xFFFFFFFFFFFFFull, 0x123456789ABCDull})
            for (const uint64_t sign : {0ull, 1ull})
                patterns.push_back(sign << 63 | exponent << 52 | mantissa);
    for (const FrequentDoubleEntry& entry : kFrequentDoubleTable) {
        if (entry.kind != FrequentDoubleKind::Value)
            continue;
        for (const uint64_t neighbour : {entry.bits - 1, entry.bits, entry.bits + 1})
            patterns.insert(patterns.end(), {neighbour, neighbour ^ 0x8000000000000000});
        PrcBitWriter w; // a frequent value takes its code and a sign bit
        w.writeDouble(-std::bit_cast<double>(entry.bits));
        EXPECT_EQ(w.bitCount(), entry.bits == 0 ? 22u + 2 : entry.length + 1u); // -0.0 is no frequent value
    }
    const uint8_t alphabet[] = {0x00, 0xF5, 0x3F}; // mantissa bytes that repeat bytes 6 and 7
    for (int combination = 0; combination < 729; ++combination) {
        uint64_t bits = 0x3FF5000000000000;
        for (int i = 0, c = combination; i < 6; ++i, c /= 3)
            bits |= static_cast<uint64_t>(alphabet[c % 3]) << (8 * i);
        patterns.push_back(bits);
    }
    std::mt19937_64 random(14739);
    for (int i = 0; i < 20000; ++i)
        patterns.push_back(random());
    for (const uint64_t bits : patterns) {
        PrcBitWriter w;
        w.writeDouble(std::bit_cast<double>(bits));
        EXPECT_EQ(decode(w.bitString()), bits) << std::hex << bits;
    }
}

} // namespace
