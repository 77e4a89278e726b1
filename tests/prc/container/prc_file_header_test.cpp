#include "prc/container/prc_file_header.h"

#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

namespace {

const std::string kPastEnd = "RawByteReader: read past end (u32)";

std::vector<uint8_t> u32Bytes(std::initializer_list<uint32_t> words)
{
    std::vector<uint8_t> bytes;
    for (const uint32_t word : words)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(word >> shift));
    return bytes;
}

// "PRC", versions, uids and the given number_of_file_structures, then the rest.
std::vector<uint8_t> headerStart(uint32_t fileStructures, const std::vector<uint8_t>& rest)
{
    std::vector<uint8_t> bytes{'P', 'R', 'C'};
    const std::vector<uint8_t> words = u32Bytes({8137, 9000, 1, 2, 3, 4, 5, 6, 7, 8, fileStructures});
    bytes.insert(bytes.end(), words.begin(), words.end());
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

TEST(PrcFileHeader, ReadsWhatTheBuilderWrote)
{
    PrcFileBuilder builder;
    builder.minimalVersionForRead = 7094;
    builder.authoringVersion = 10001;
    builder.fileStructureUid = {1, 2, 3, 4};
    builder.applicationUid = {5, 6, 7, 8};
    const size_t first = builder.addFileStructure({0xA, 0xB, 0xC, 0xD}, 77);
    builder.addRawBlock(first, fileStructureHeaderBytes(7094, 10001, {0xA, 0xB, 0xC, 0xD}, {}));
    builder.addSection(first, {1, 2, 3});
    builder.addFileStructure({9, 9, 9, 9}); // no section at all
    builder.setModelFile({4, 5});
    const std::vector<uint8_t> file = builder.build();

    const PrcFileHeader header = readPrcFileHeader(file.data(), file.size());
    const PrcFileHeader expected = builder.header();
    EXPECT_EQ(header.minimal_version_for_read, 7094u);
    EXPECT_EQ(header.authoring_version, 10001u);
    EXPECT_EQ(header.file_structure_uid, (PrcUid{1, 2, 3, 4}));
    EXPECT_EQ(header.application_uid, (PrcUid{5, 6, 7, 8}));
    ASSERT_EQ(header.number_of_file_structures, 2u);
    ASSERT_EQ(header.fileStructures.size(), 2u);
    EXPECT_EQ(header.fileStructures[0].uid, (PrcUid{0xA, 0xB, 0xC, 0xD}));
    EXPECT_EQ(header.fileStructures[0].reserved, 77u);
    EXPECT_EQ(header.fileStructures[0].sectionOffsets, expected.fileStructures[0].sectionOffsets);
    EXPECT_EQ(header.fileStructures[0].sectionOffsets.size(), 2u);
    EXPECT_TRUE(header.fileStructures[1].sectionOffsets.empty());
    EXPECT_EQ(header.start_model_file, expected.start_model_file);
    EXPECT_EQ(header.end_model_file, file.size());
    EXPECT_EQ(std::string(file.begin() + header.fileStructures[0].sectionOffsets[0],
                          file.begin() + header.fileStructures[0].sectionOffsets[0] + 3),
              "PRC");
}

TEST(PrcFileHeader, NoFileStructuresAndTrailingBytes)
{
    const std::vector<uint8_t> file = headerStart(0, u32Bytes({100, 0xFFFFFFFF, 0xDEADBEEF}));
    const PrcFileHeader header = readPrcFileHeader(file.data(), file.size());
    EXPECT_TRUE(header.fileStructures.empty());
    EXPECT_EQ(header.start_model_file, 100u);
    EXPECT_EQ(header.end_model_file, 0xFFFFFFFFu); // not checked against the size here
}

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

struct MalformedHeader {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string message;
};

TEST(PrcFileHeader, MalformedHeaders)
{
    const std::string magic = "RawByteReader: expected magic \"PRC\"";
    const std::string tooManyStructures = "PRC header: number_of_file_structures larger than the data";
    const std::string tooManyOffsets = "PRC header: number_of_offsets larger than the data";
    // One descriptor of 24 bytes with the given number_of_offsets, and extra bytes.
    const auto descriptor = [](uint32_t offsets, size_t extra) {
        std::vector<uint8_t> bytes = u32Bytes({1, 2, 3, 4, 0, offsets});
        bytes.resize(bytes.size() + extra, 0);
        return bytes;
    };
    const MalformedHeader cases[] = {
        {"empty", {}, magic},
        {"two bytes", {'P', 'R'}, magic},
        {"wrong magic", {'P', 'R', 'D', 0, 0, 0, 0}, magic},
        {"magic only", {'P', 'R', 'C'}, kPastEnd},
        {"cut in the versions", {'P', 'R', 'C', 1, 2, 3, 4, 5}, kPastEnd},
        {"cut before the count", cut(headerStart(0, {}), 46), kPastEnd},
        {"no model file offsets", headerStart(0, {}), kPastEnd},
        {"end_model_file cut", headerStart(0, {1, 0, 0, 0, 2, 0, 0}), kPastEnd},
        {"count near 2^32", headerStart(0xFFFFFFFF, std::vector<uint8_t>(100)), tooManyStructures},
        // Two descriptors need 48 bytes; 47 are too few, 48 pass the check and then end early.
        {"one byte short for the structures", headerStart(2, std::vector<uint8_t>(47)), tooManyStructures},
        {"structures fit, model file offsets missing", headerStart(2, std::vector<uint8_t>(48)), kPastEnd},
        {"offsets near 2^32", headerStart(1, descriptor(0xFFFFFFFF, 8)), tooManyOffsets},
        {"one byte short for the offsets", headerStart(1, descriptor(3, 11)), tooManyOffsets},
        {"offsets fit, model file offsets missing", headerStart(1, descriptor(3, 12)), kPastEnd},
    };
    for (const MalformedHeader& c : cases) {
        resetLargestAllocation();
        EXPECT_EQ(runtimeErrorOf([&] { readPrcFileHeader(c.bytes.data(), c.bytes.size()); }), c.message) << c.name;
        EXPECT_LT(largestAllocation(), 1024u) << c.name;
    }
}

} // namespace
