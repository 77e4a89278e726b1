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

TEST(PrcFileHeader, ReadsWhatTheWriterWrote)
{
    PrcFileLayout layout;
    layout.minimalVersionForRead = 7094;
    layout.authoringVersion = 10001;
    layout.fileStructureUid = {1, 2, 3, 4};
    layout.applicationUid = {5, 6, 7, 8};
    layout.fileStructures = {{{0xA, 0xB, 0xC, 0xD}, 77, {{'P', 'R', 'C'}, {1, 2, 3, 4}}}, {{9, 9, 9, 9}, 0, {}}};
    layout.modelFile = {4, 5};
    const std::vector<uint8_t> file = prcFileBytes(layout);
    const PrcFileHeader header = readPrcFileHeader(file.data(), file.size());
    EXPECT_EQ(std::tuple(header.minimal_version_for_read, header.authoring_version, header.file_structure_uid,
                         header.application_uid, header.number_of_file_structures),
              std::tuple(7094u, 10001u, PrcUid{1, 2, 3, 4}, PrcUid{5, 6, 7, 8}, 2u));
    ASSERT_EQ(header.fileStructures.size(), 2u);
    EXPECT_EQ(header.fileStructures[0].uid, (PrcUid{0xA, 0xB, 0xC, 0xD}));
    EXPECT_EQ(header.fileStructures[0].reserved, 77u);
    const uint32_t first = static_cast<uint32_t>(file.size() - 9);
    EXPECT_EQ(header.fileStructures[0].sectionOffsets, (std::vector<uint32_t>{first, first + 3}));
    EXPECT_TRUE(header.fileStructures[1].sectionOffsets.empty());
    EXPECT_EQ(std::pair(header.start_model_file, header.end_model_file), std::pair(first + 7, first + 9));

    // No file structure: the model file offsets follow the count; bytes after them and
    // offsets beyond the file are not looked at.
    const std::vector<uint8_t> bare = headerBytes(0, {100, 0xFFFFFFFF, 0xDEADBEEF});
    const PrcFileHeader none = readPrcFileHeader(bare.data(), bare.size());
    EXPECT_TRUE(none.fileStructures.empty());
    EXPECT_EQ(std::pair(none.start_model_file, none.end_model_file), std::pair(100u, 0xFFFFFFFFu));
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
        EXPECT_EQ(runtimeErrorOf([&] { readPrcFileHeader(bytes.data(), bytes.size()); }), message) << name;
        EXPECT_LT(largestAllocation(), 1024u) << name;
    }
}

} // namespace
