#include "prc/container/prc_file_header.h"

#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

namespace {

// "PRC", versions, uids, number_of_file_structures, then the u32 words given, then
// extra zero bytes.
std::vector<uint8_t> headerBytes(uint32_t fileStructures, std::vector<uint32_t> words = {}, size_t extra = 0)
{
    std::vector<uint8_t> bytes{'P', 'R', 'C'};
    bytes.resize(43, 0); // versions and uids
    words.insert(words.begin(), fileStructures);
    for (const uint32_t word : words)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(word >> shift));
    bytes.resize(bytes.size() + extra, 0);
    return bytes;
}

TEST(PrcFileHeader, MalformedHeadersFailWithoutLargeAllocations)
{
    std::vector<uint8_t> cutBeforeCount = headerBytes(0);
    cutBeforeCount.resize(46);
    const std::tuple<const char*, std::vector<uint8_t>, bool> cases[] = {
        {"empty", {}, true},
        {"two bytes", {'P', 'R'}, true},
        {"wrong magic", {'P', 'R', 'D', 0, 0, 0, 0}, true},
        {"magic only", {'P', 'R', 'C'}, true},
        {"cut in the versions", {'P', 'R', 'C', 1, 2, 3, 4, 5}, true},
        {"cut before the count", cutBeforeCount, true},
        {"no model file offsets", headerBytes(0), true},
        {"end_model_file cut", headerBytes(0, {1}, 3), true},
        {"count near 2^32", headerBytes(0xFFFFFFFF, {}, 100), true},
        // Two descriptors of 24 bytes, then the model file's start and end.
        {"one byte short for the structures", headerBytes(2, {}, 47), true},
        {"structures fit", headerBytes(2, {}, 56), false},
        // One descriptor (uid, reserved, number_of_offsets), then the bytes for offsets.
        {"offsets near 2^32", headerBytes(1, {1, 2, 3, 4, 0, 0xFFFFFFFF}, 8), true},
        {"one byte short for the offsets", headerBytes(1, {1, 2, 3, 4, 0, 3}, 11), true},
        {"offsets fit", headerBytes(1, {1, 2, 3, 4, 0, 3}, 20), false}};
    for (const auto& [name, stored, fails] : cases) {
        const std::vector<uint8_t>& bytes = stored; // a binding cannot be captured
        resetLargestAllocation();
        EXPECT_EQ(failsToDecode([&] { readPrcFileHeader(bytes.data(), bytes.size()); }), fails) << name;
        EXPECT_LT(largestAllocation(), 1024u) << name;
    }
}

} // namespace
