#include "prc/bits/compressed_arrays.h"

#include "prc/bits/prc_bit_reader.h"
#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

namespace {

constexpr uint8_t kMarker = 0xA7;

PrcArrayEncoding encoding(bool writeFlag, bool compressed, uint32_t bits, bool signedValues,
                          HuffmanOptions options = {})
{
    PrcArrayEncoding e;
    e.writeFlag = writeFlag;
    e.compressed = compressed;
    e.numBitsPerElem = bits;
    e.signedValues = signedValues;
    e.options = options;
    return e;
}

// Encodings of character and short arrays, each checked with both element types where
// the values fit.
const PrcArrayEncoding kEncodings[] = {
    encoding(true, false, 2, false), // plain arrays ignore numBitsPerElem
    encoding(false, false, 8, false),
    encoding(true, true, 8, false),
    encoding(false, true, 3, true),
    encoding(true, true, 6, true, {false, false}),
};

TEST(CharacterAndShortArrays, RoundTripEveryEncoding)
{
    for (const PrcArrayEncoding& e : kEncodings) {
        const std::vector<uint8_t> chars =
            e.compressed && e.numBitsPerElem == 3 ? std::vector<uint8_t>{0xFC, 3, 0, 0xFF, 3}
            : e.compressed && e.numBitsPerElem == 6 ? std::vector<uint8_t>{0xE0, 31, 1, 1}
                                                     : std::vector<uint8_t>{0, 1, 2, 255, 128, 2, 2};
        std::vector<uint16_t> shorts(chars.begin(), chars.end());
        for (uint16_t& s : shorts)
            s = e.signedValues && (s & 0x80) != 0 ? static_cast<uint16_t>(s | 0xFF00) : s;
        if (!e.compressed)
            shorts.push_back(0x1234);

        PrcBitWriter w;
        writeCharacterArray(w, chars, e);
        writeShortArray(w, shorts, e);
        w.writeBits(kMarker, 8);
        PrcBitInput in(w.bytes());
        EXPECT_EQ(readCharacterArray(in.reader, e.numBitsPerElem, e.writeFlag, e.compressed, e.signedValues, e.options),
                  chars);
        EXPECT_EQ(readShortArray(in.reader, e.numBitsPerElem, e.writeFlag, e.compressed, e.signedValues, e.options),
                  shorts);
        EXPECT_EQ(in.reader.readBits(8), kMarker);
    }
}

TEST(CharacterAndShortArrays, PlainLayout)
{
    // Flag 0, count 2, then whole bytes whatever numBitsPerElem says; shorts low byte first.
    PrcBitInput chars("0 1 00000010 0 00000011 11111111");
    EXPECT_EQ(readCharacterArray(chars.reader, 2, true, true, false, {}), (std::vector<uint8_t>{3, 255}));
    PrcBitInput shorts("1 00000001 0 00110100 00010010");
    EXPECT_EQ(readShortArray(shorts.reader, 16, false, false, false, {}), (std::vector<uint16_t>{0x1234}));
}

TEST(CharacterAndShortArrays, BitsPerElementRange)
{
    const auto charError = [](uint32_t bits) {
        PrcBitInput in("0 0");
        return runtimeErrorOf([&] { readCharacterArray(in.reader, bits, true, false, false, {}); });
    };
    const auto shortError = [](uint32_t bits) {
        PrcBitInput in("0 0");
        return runtimeErrorOf([&] { readShortArray(in.reader, bits, true, false, false, {}); });
    };
    EXPECT_EQ(charError(0), "readCharacterArray: numBitsPerElem out of range");
    EXPECT_EQ(charError(9), "readCharacterArray: numBitsPerElem out of range");
    EXPECT_EQ(charError(1) + charError(8), "");
    EXPECT_EQ(shortError(0), "readShortArray: numBitsPerElem out of range");
    EXPECT_EQ(shortError(17), "readShortArray: numBitsPerElem out of range");
    EXPECT_EQ(shortError(1) + shortError(16), "");
}

TEST(CharacterAndShortArrays, HugePlainCountFailsWithoutAllocating)
{
    PrcBitWriter w;
    w.writeBoolean(false);
    w.writeUnsignedInteger(0xFFFFFFFF);
    w.writeByteArray({1, 2, 3});
    for (const bool shorts : {false, true}) {
        PrcBitInput in(w.bytes());
        resetLargestAllocation();
        EXPECT_EQ(runtimeErrorOf([&] {
                      if (shorts)
                          readShortArray(in.reader, 16, true, false, false, {});
                      else
                          readCharacterArray(in.reader, 8, true, false, false, {});
                  }),
                  "PRCBitReader: read past end");
        EXPECT_LT(largestAllocation(), 64u);
    }
}

TEST(CompressedIntegerArray, RoundTrips)
{
    const std::vector<int32_t> values = {0, 1, -1, 5, -5, 1 << 29, -(1 << 29) + 1, 1000, 0};
    for (const bool compressCounts : {true, false}) {
        PrcBitWriter w;
        writeCompressedIntegerArray(w, values, compressCounts);
        PrcBitInput in(w.bytes());
        EXPECT_EQ(readCompressedIntegerArray(in.reader, {}), values);
    }
    // A 32-bit count needs plain counts (6-bit signed counts stop at 31).
    const std::vector<int32_t> extremes = {INT32_MAX, -INT32_MAX};
    PrcBitWriter w;
    writeCompressedIntegerArray(w, extremes, false);
    PrcBitInput in(w.bytes());
    EXPECT_EQ(readCompressedIntegerArray(in.reader, {}), extremes);
}

TEST(CompressedIntegerArray, CountsZeroAndOutOfRange)
{
    // Plain counts 0 and 2: a sign bit alone, then sign and one magnitude bit.
    PrcBitInput zero("0 1 00000010 0 00000000 00000010  1  1 1");
    EXPECT_EQ(readCompressedIntegerArray(zero.reader, {}), (std::vector<int32_t>{0, -1}));
    PrcBitInput tooWide("0 1 00000001 0 00100001");
    EXPECT_EQ(runtimeErrorOf([&] { readCompressedIntegerArray(tooWide.reader, {}); }),
              "readCompressedIntegerArray: bit count out of range");
    // A compressed count of -1 (6 bits) is 255 as a byte.
    PrcBitWriter w;
    writeCharacterArray(w, {0xFF}, encoding(true, true, 6, true));
    PrcBitInput negative(w.bytes());
    EXPECT_EQ(runtimeErrorOf([&] { readCompressedIntegerArray(negative.reader, {}); }),
              "readCompressedIntegerArray: bit count out of range");
}

TEST(CompressedIndiceArray, RoundTrips)
{
    const std::vector<std::vector<int32_t>> lists = {
        {}, {0}, {5, 6, 7, 100, 3, 3, 0, 70000, 1}, {-3, 0, 2}, {(1 << 30) - 1, 0, (1 << 30) - 1}};
    for (const PrcArrayEncoding& e : {encoding(true, false, 8, true), encoding(true, true, 6, true),
                                      encoding(false, true, 6, true), encoding(true, true, 8, true, {true, false})})
        for (const std::vector<int32_t>& list : lists) {
            PrcBitWriter w;
            writeCompressedIndiceArray(w, list, e);
            PrcBitInput in(w.bytes());
            const std::vector<uint32_t> expected(list.begin(), list.end()); // -3 kept as it wraps
            EXPECT_EQ(readCompressedIndiceArray(in.reader, e.writeFlag, e.numBitsPerElem, e.compressed, e.options),
                      expected);
        }
}

TEST(CompressedIndiceArray, BitCountsAndNegativeIndices)
{
    const std::string ones31(31, '1');
    const std::string one31 = std::string(30, '0') + "1";
    const std::pair<std::string, std::string> cases[] = {
        // Plain deltas [33].
        {"0 1 00000001 0 00100001", "readCompressedIndiceArray: bit count out of range"},
        // Deltas [5, -6]: the total goes negative.
        {"0 1 00000010 0 00000101 11111010  0 0011", "readCompressedIndiceArray: bit count out of range"},
        // 2, then a difference of -3.
        {"0 1 00000010 0 00000011 00000000  0 10  1 11", "readCompressedIndiceArray: negative index"},
        // INT32_MAX, then +1: the sum wraps to a negative index.
        {"0 1 00000010 0 00100000 00000000  0 " + ones31 + " 0 " + one31, "readCompressedIndiceArray: negative index"},
    };
    for (const auto& [bits, message] : cases) {
        PrcBitInput in(bits);
        EXPECT_EQ(runtimeErrorOf([&] { readCompressedIndiceArray(in.reader, true, 8, false, {}); }), message) << bits;
    }
}

} // namespace
