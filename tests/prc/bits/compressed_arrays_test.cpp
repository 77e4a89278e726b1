#include "prc/bits/compressed_arrays.h"

#include "prc/bits/prc_bit_reader.h"
#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

namespace {

TEST(CharacterAndShortArrays, BitsPerElementAndHugeCounts)
{
    const auto read = [](const std::vector<uint8_t>& bytes, bool shorts, uint32_t bits) {
        PrcBitInput in(bytes);
        resetLargestAllocation();
        const bool fails = failsToDecode([&] {
            shorts ? (void)readShortArray(in.reader, bits, true, false, false, {})
                   : (void)readCharacterArray(in.reader, bits, true, false, false, {});
        });
        EXPECT_LT(largestAllocation(), 1024u);
        return fails;
    };
    const std::vector<uint8_t> empty = bytesFromBitString("0 0");
    for (const auto& [shorts, bits, fails] : {std::tuple{false, 0u, true}, {false, 1u, false}, {false, 8u, false},
                                              {false, 9u, true}, {true, 0u, true}, {true, 1u, false},
                                              {true, 16u, false}, {true, 17u, true}})
        EXPECT_EQ(read(empty, shorts, bits), fails) << shorts << " " << bits;
    PrcBitWriter huge; // a count near 2^32 before three bytes
    huge.writeBoolean(false);
    huge.writeUnsignedInteger(0xFFFFFFFF);
    huge.writeByteArray({1, 2, 3});
    EXPECT_TRUE(read(huge.bytes(), false, 8));
    EXPECT_TRUE(read(huge.bytes(), true, 16));
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
        EXPECT_EQ(failsToDecode([&] { readCompressedIndiceArray(in.reader, true, 8, false, {}); }), !std::string_view(message).empty()) << bits;
    }
}

} // namespace
