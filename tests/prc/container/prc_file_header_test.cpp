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
    const std::string magic = "RawByteReader: expected magic \"PRC\"";
    const std::string pastEnd = "RawByteReader: read past end (u32)";
    const std::string tooManyStructures = "PRC header: number_of_file_structures larger than the data";
    const std::string tooManyOffsets = "PRC header: number_of_offsets larger than the data";
    std::vector<uint8_t> cutBeforeCount = headerBytes(0);
    cutBeforeCount.resize(46);
    const std::tuple<const char*, std::vector<uint8_t>, std::string> cases[] = {
        {"empty", {}, magic},
        {"two bytes", {'P', 'R'}, magic},
        {"wrong magic", {'P', 'R', 'D', 0, 0, 0, 0}, magic},
        {"magic only", {'P', 'R', 'C'}, pastEnd},
        {"cut in the versions", {'P', 'R', 'C', 1, 2, 3, 4, 5}, pastEnd},
        {"cut before the count", cutBeforeCount, pastEnd},
        {"no model file offsets", headerBytes(0), pastEnd},
        {"end_model_file cut", headerBytes(0, {1}, 3), pastEnd},
        {"count near 2^32", headerBytes(0xFFFFFFFF, {}, 100), tooManyStructures},
        // Two descriptors need 48 bytes: 47 are too few, 48 pass and then end early.
        {"one byte short for the structures", headerBytes(2, {}, 47), tooManyStructures},
        {"structures fit", headerBytes(2, {}, 48), pastEnd},
        // One descriptor (uid, reserved, number_of_offsets), then the bytes for offsets.
        {"offsets near 2^32", headerBytes(1, {1, 2, 3, 4, 0, 0xFFFFFFFF}, 8), tooManyOffsets},
        {"one byte short for the offsets", headerBytes(1, {1, 2, 3, 4, 0, 3}, 11), tooManyOffsets},
        {"offsets fit", headerBytes(1, {1, 2, 3, 4, 0, 3}, 12), pastEnd}};
    for (const auto& [name, stored, message] : cases) {
        const std::vector<uint8_t>& bytes = stored; // a binding cannot be captured
        resetLargestAllocation();
        EXPECT_EQ(failsToDecode([&] { readPrcFileHeader(bytes.data(), bytes.size()); }), !std::string_view(message).empty()) << name;
        EXPECT_LT(largestAllocation(), 1024u) << name;
    }
}

} // namespace
