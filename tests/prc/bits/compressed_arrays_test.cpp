#include "prc/bits/compressed_arrays.h"

#include "prc/bits/prc_bit_reader.h"
#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

namespace {

PrcArrayEncoding encoding(bool writeFlag, bool compressed, uint32_t bits, bool signedValues, HuffmanOptions options = {})
{
    PrcArrayEncoding e;
    e.writeFlag = writeFlag;
    e.compressed = compressed;
    e.numBitsPerElem = bits;
    e.signedValues = signedValues;
    e.options = options;
    return e;
}

TEST(CharacterAndShortArrays, RoundTripEveryEncoding)
{
    const std::pair<PrcArrayEncoding, std::vector<uint8_t>> cases[] = {
        {encoding(true, false, 2, false), {0, 1, 2, 255, 128}}, // plain arrays ignore numBitsPerElem
        {encoding(false, false, 8, false), {7, 0, 200}},
        {encoding(true, true, 8, false), {0, 1, 2, 255, 128, 2, 2}},
        {encoding(false, true, 3, true), {0xFC, 3, 0, 0xFF, 3}},
        {encoding(true, true, 6, true, {false, false}), {0xE0, 31, 1, 1}}};
    for (const auto& [e, chars] : cases) {
        std::vector<uint16_t> shorts;
        for (const uint8_t c : chars)
            shorts.push_back(e.signedValues && c >= 0x80 ? static_cast<uint16_t>(c | 0xFF00) : c);
        if (!e.compressed)
            shorts.push_back(0x1234);
        PrcBitWriter w;
        writeCharacterArray(w, chars, e);
        writeShortArray(w, shorts, e);
        w.writeBits(0xA7, 8);
        PrcBitInput in(w.bytes());
        EXPECT_EQ(readCharacterArray(in.reader, e.numBitsPerElem, e.writeFlag, e.compressed, e.signedValues, e.options),
                  chars);
        EXPECT_EQ(readShortArray(in.reader, e.numBitsPerElem, e.writeFlag, e.compressed, e.signedValues, e.options),
                  shorts);
        EXPECT_EQ(in.reader.readBits(8), 0xA7u);
    }
    // Plain: flag 0, count, whole bytes whatever numBitsPerElem says; shorts low byte first.
    PrcBitInput chars("0 1 00000010 0 00000011 11111111");
    EXPECT_EQ(readCharacterArray(chars.reader, 2, true, true, false, {}), (std::vector<uint8_t>{3, 255}));
    PrcBitInput shorts("1 00000001 0 00110100 00010010");
    EXPECT_EQ(readShortArray(shorts.reader, 16, false, false, false, {}), (std::vector<uint16_t>{0x1234}));
}

TEST(CharacterAndShortArrays, BitsPerElementAndHugeCounts)
{
    const auto read = [](const std::vector<uint8_t>& bytes, bool shorts, uint32_t bits) {
        PrcBitInput in(bytes);
        resetLargestAllocation();
        const std::string message = runtimeErrorOf([&] {
            shorts ? (void)readShortArray(in.reader, bits, true, false, false, {})
                   : (void)readCharacterArray(in.reader, bits, true, false, false, {});
        });
        EXPECT_LT(largestAllocation(), 1024u);
        return message;
    };
    const std::vector<uint8_t> empty = bytesFromBitString("0 0");
    EXPECT_EQ(read(empty, false, 0), "readCharacterArray: numBitsPerElem out of range");
    EXPECT_EQ(read(empty, false, 9), "readCharacterArray: numBitsPerElem out of range");
    EXPECT_EQ(read(empty, false, 1) + read(empty, false, 8) + read(empty, true, 1) + read(empty, true, 16), "");
    EXPECT_EQ(read(empty, true, 0), "readShortArray: numBitsPerElem out of range");
    EXPECT_EQ(read(empty, true, 17), "readShortArray: numBitsPerElem out of range");
    PrcBitWriter huge; // a count near 2^32 before three bytes
    huge.writeBoolean(false);
    huge.writeUnsignedInteger(0xFFFFFFFF);
    huge.writeByteArray({1, 2, 3});
    EXPECT_EQ(read(huge.bytes(), false, 8), "PRCBitReader: read past end");
    EXPECT_EQ(read(huge.bytes(), true, 16), "PRCBitReader: read past end");
}

TEST(CompressedIntegerArray, RoundTripsAndCounts)
{
    const std::vector<int32_t> values = {0, 1, -1, 5, -5, 1 << 29, -(1 << 29) + 1, 1000, 0};
    const std::vector<int32_t> extremes = {INT32_MAX, -INT32_MAX}; // 32-bit counts: plain only
    for (const auto& [list, compressCounts] :
         {std::pair{values, true}, std::pair{values, false}, std::pair{extremes, false}}) {
        PrcBitWriter w;
        writeCompressedIntegerArray(w, list, compressCounts);
        PrcBitInput in(w.bytes());
        EXPECT_EQ(readCompressedIntegerArray(in.reader, {}), list);
    }
    // Plain counts 0 and 2: a sign bit alone, then sign and one magnitude bit.
    PrcBitInput zero("0 1 00000010 0 00000000 00000010  1  1 1");
    EXPECT_EQ(readCompressedIntegerArray(zero.reader, {}), (std::vector<int32_t>{0, -1}));
    PrcBitWriter negative; // a compressed 6-bit count of -1 is 255 as a byte
    writeCharacterArray(negative, {0xFF}, encoding(true, true, 6, true));
    for (const std::vector<uint8_t>& bytes : {bytesFromBitString("0 1 00000001 0 00100001"), negative.bytes()}) {
        PrcBitInput in(bytes);
        EXPECT_EQ(runtimeErrorOf([&] { readCompressedIntegerArray(in.reader, {}); }),
                  "readCompressedIntegerArray: bit count out of range");
    }
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
            EXPECT_EQ(readCompressedIndiceArray(in.reader, e.writeFlag, e.numBitsPerElem, e.compressed, e.options),
                      std::vector<uint32_t>(list.begin(), list.end())); // a first -3 is kept, wrapped
        }
}

TEST(CompressedIndiceArray, BitCountsAndNegativeIndices)
{
    const std::string count = "readCompressedIndiceArray: bit count out of range";
    const std::string negative = "readCompressedIndiceArray: negative index";
    const std::pair<std::string, std::string> cases[] = {
        {"0 1 00000001 0 00100001", count},                                   // deltas [33]
        {"0 1 00000010 0 00000101 11111010  0 0011", count},                  // [5, -6]: a negative total
        {"0 1 00000010 0 00000011 00000000  0 10  1 11", negative},           // 2, then -3
        {"0 1 00000010 0 00100000 00000000  0 " + std::string(31, '1') + " 0 " + std::string(30, '0') + "1",
         negative}}; // INT32_MAX, then +1 wraps
    for (const auto& [bits, message] : cases) {
        PrcBitInput in(bits);
        EXPECT_EQ(runtimeErrorOf([&] { readCompressedIndiceArray(in.reader, true, 8, false, {}); }), message) << bits;
    }
}

} // namespace
