// Zlib bombs and shared sections: every section is inflated once, and a file whose
// sections inflate past its budget is undecodable as a whole, quickly and without
// holding more than the budget.
#include "prc/container/inflated_sections.h"
#include "prc/model/model_file_driver.h"
#include "prc/model/model_result_output.h"
#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

namespace {

constexpr size_t kTessellationSection = 3;
constexpr size_t kGlobalsSection = 1;
// Far above the budget of a small file, as the bombs found in the wild.
constexpr uint32_t kBombMebibytes = 544;
constexpr size_t kLargestAllowedAllocation = size_t{256} << 20;

PrcFileStructureSpec triangleStructure(uint32_t n)
{
    PrcFileStructureSpec fs;
    fs.uid = {n, 2, 3, 4};
    fs.tessellations = {tessOfTriangles({0, 0, 0, 1, 0, 0, 0, 1, 0})};
    return fs;
}

PrcSectionOverride zeros(uint32_t mebibytes) { return {zlibStreamOfZeros(mebibytes), true}; }

// After the tessellations, a record whose text claims 4 GiB, so that reading it asks for
// the whole section, and a bomb.
PrcSectionOverride bombReachedInsideARecord(const PrcFileStructureSpec& fs)
{
    constexpr uint32_t kTypeMarkupTess = 176;
    PrcRawTess hugeText;
    hugeText.bits.writeUnsignedInteger(kTypeMarkupTess);
    hugeText.bits.writeBoolean(false);    // not calculated
    hugeText.bits.writeUnsignedInteger(0); // no coordinates
    hugeText.bits.writeUnsignedInteger(0); // no codes
    hugeText.bits.writeUnsignedInteger(1); // one text
    hugeText.bits.writeBoolean(true);
    hugeText.bits.writeUnsignedInteger(0xFFFFFFFF);
    std::vector<PrcTessellation> records(fs.tessellations.begin(), fs.tessellations.end());
    records.push_back(hugeText);
    return {zlibStreamOfZeros(kBombMebibytes, tessellationSectionBytes(records, fs.authoringVersion)), true};
}

// Far enough after the tessellations that their reading is done before the end inflates.
PrcSectionOverride damagedAtTheEnd(const PrcFileStructureSpec& fs)
{
    constexpr size_t kUnreadTail = size_t{4} << 20;
    std::vector<uint8_t> content = tessellationSectionBytes(fs.tessellations, fs.authoringVersion);
    content.resize(content.size() + kUnreadTail, 0);
    std::vector<uint8_t> section = compressSection(content);
    section.back() ^= 1;
    return {section, true};
}

PrcModel modelOf(size_t structures, const std::function<void(PrcFileStructureSpec&, size_t)>& change = {})
{
    PrcModel model;
    for (size_t i = 0; i < structures; ++i) {
        PrcFileStructureSpec& fs = model.fileStructures.emplace_back(triangleStructure(static_cast<uint32_t>(i)));
        if (change)
            change(fs, i);
    }
    return model;
}

// Points the tessellation offsets of every file structure at those of the first.
std::vector<uint8_t> sharingFirstTessellation(std::vector<uint8_t> file)
{
    // "PRC", two versions, two uids, the count; per structure a uid, a word, a count.
    constexpr size_t kHeaderStart = 3 + 4 + 4 + 16 + 16 + 4;
    constexpr size_t kDescriptorStart = 16 + 4 + 4;
    constexpr size_t kOffsets = 5;
    const PrcFileHeader header = readPrcFileHeader(file.data(), file.size());
    const std::vector<uint32_t>& first = header.fileStructures[0].sectionOffsets;
    for (size_t i = 1; i < header.fileStructures.size(); ++i) {
        const size_t at = kHeaderStart + i * (kDescriptorStart + 4 * kOffsets) + kDescriptorStart;
        std::memcpy(&file[at + 4 * kTessellationSection], &first[kTessellationSection], 8);
    }
    return file;
}

TEST(InflateBudget, BombsMakeTheFileUndecodable)
{
    struct Case {
        std::string name;
        std::vector<uint8_t> file;
        uint32_t triangles; // 0: undecodable
    };
    const Case cases[] = {
        {"one plain structure", buildPrcModelFile(modelOf(1)), 1},
        {"bombed tessellations",
         buildPrcModelFile(modelOf(1, [](auto& fs, size_t) { fs.overrides[kTessellationSection] = zeros(kBombMebibytes); })),
         0},
        {"bombed globals",
         buildPrcModelFile(modelOf(1, [](auto& fs, size_t) { fs.overrides[kGlobalsSection] = zeros(kBombMebibytes); })),
         0},
        // Each section alone stays within the budget; together they do not.
        {"bombs in several sections",
         buildPrcModelFile(modelOf(3, [](auto& fs, size_t) { fs.overrides[kTessellationSection] = zeros(30); })), 0},
        {"one bomb named by many structures",
         sharingFirstTessellation(buildPrcModelFile(modelOf(64, [](auto& fs, size_t i) {
             if (i == 0)
                 fs.overrides[kTessellationSection] = zeros(kBombMebibytes);
         }))),
         0},
        {"one small section named by many structures", sharingFirstTessellation(buildPrcModelFile(modelOf(64))), 64},
        {"a bomb reached inside a record",
         buildPrcModelFile(modelOf(1, [](auto& fs, size_t) { fs.overrides[kTessellationSection] = bombReachedInsideARecord(fs); })),
         0},
    };
    for (const Case& c : cases) {
        resetLargestAllocation();
        PrcModelResult result{};
        const bool ok = decodeModelFile(c.file.data(), static_cast<uint32_t>(c.file.size()), result);
        EXPECT_EQ(ok, c.triangles > 0) << c.name;
        EXPECT_EQ(result.triangleCount, c.triangles) << c.name;
        if (c.triangles == 0) {
            EXPECT_EQ(result.status, kPrcStatusUndecodable) << c.name;
        }
        EXPECT_LT(largestAllocation(), kLargestAllowedAllocation) << c.name;
        releaseModelResult(result);
    }

    // Read to its end before the damage shows: its tessellations count for nothing.
    const std::vector<uint8_t> damaged =
        buildPrcModelFile(modelOf(1, [](auto& fs, size_t) { fs.overrides[kTessellationSection] = damagedAtTheEnd(fs); }));
    PrcModelResult result{};
    EXPECT_FALSE(decodeModelFile(damaged.data(), static_cast<uint32_t>(damaged.size()), result));
    EXPECT_EQ(result.triangleCount, 0u);
    releaseModelResult(result);
}

TEST(InflateBudget, SectionsAreInflatedOnceAndPaidPerUse)
{
    const std::vector<uint8_t> content(1000, 7);
    std::vector<uint8_t> file = compressSection(content);
    const std::vector<uint8_t> broken = {0x78, 0x9C, 0xFF, 0xFF};
    file.insert(file.end(), broken.begin(), broken.end());
    const auto end = static_cast<uint32_t>(file.size() - broken.size());

    InflatedSections sections(file.data(), file.size());
    const SectionBytes first = sections.bytes(0, end);
    EXPECT_EQ(std::vector<uint8_t>(first.data, first.data + first.size), content);
    EXPECT_EQ(sections.bytes(0, end).data, first.data); // kept, not inflated again
    EXPECT_EQ(sections.handedOut(), 2 * content.size());
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_THROW(sections.bytes(end, static_cast<uint32_t>(file.size())), std::runtime_error);
        EXPECT_THROW(sections.bytes(end, end), std::runtime_error);
        EXPECT_THROW(sections.bytes(0, static_cast<uint32_t>(file.size() + 1)), std::runtime_error);
    }
    EXPECT_EQ(inflateBudgetFor(1000), kInflateBudgetFloor);
    EXPECT_EQ(inflateBudgetFor(uint64_t{4} << 20), uint64_t{256} << 20);
}

// A reader reports how far it has read, and the bytes behind it go; the next reader
// that the header announces still finds them all, and a use nobody announced finds
// them inflated again.
TEST(InflateBudget, BytesBehindTheLastReaderGoAndComeBackForALaterUse)
{
    std::vector<uint8_t> content(size_t{1} << 20);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 131 + (i >> 11) + 1);
    const std::vector<uint8_t> compressed = compressSection(content);
    std::vector<uint8_t> file = compressed;
    const auto end = static_cast<uint32_t>(file.size());
    const auto asVector = [](const SectionBytes& bytes) {
        return std::vector<uint8_t>(bytes.data, bytes.data + bytes.size);
    };
    for (const size_t readers : {1, 2}) {
        PrcFileHeader header;
        header.fileStructures.resize(readers);
        for (FileStructureDescriptor& descriptor : header.fileStructures)
            descriptor.sectionOffsets = {0, 0, 0, 0, end};
        InflatedSections sections(file.data(), file.size(), &header);
        for (size_t reader = 0; reader < readers; ++reader) {
            const SectionBytes bytes = sections.bytes(0, end);
            ASSERT_EQ(asVector(bytes), content) << readers;
            const bool last = reader + 1 == readers;
            // The next announced reader takes the bytes kept, not the file's.
            if (last)
                std::copy(compressed.begin(), compressed.end(), file.begin());
            else
                std::fill(file.begin() + 2, file.end(), uint8_t{0xFF});
            for (size_t read = 0; read < content.size(); read += 100000)
                sections.readUpTo(0, end, read);
            sections.readUpTo(0, end, content.size());
#ifdef __linux__
            if (last) { // the pages behind the reading went: they read as zeros
                const size_t from = size_t{256} << 10, to = size_t{512} << 10;
                EXPECT_EQ(std::count(bytes.data + from, bytes.data + to, uint8_t{0}), static_cast<ptrdiff_t>(to - from));
            }
#endif
            if (last) {
                EXPECT_EQ(asVector(sections.bytes(0, end)), content) << readers;
            }
            sections.release(0, end);
        }
        EXPECT_EQ(asVector(sections.bytes(0, end)), content) << readers;
    }
}

std::vector<uint8_t> asVector(const SectionBytes& bytes) { return std::vector<uint8_t>(bytes.data, bytes.data + bytes.size); }

// The last announced reader gets the section as it asks for it; whether the section is
// sound and within the budget is known only at its end, and finish says so.
TEST(InflateBudget, LastReaderGetsTheSectionAsItInflates)
{
    std::vector<uint8_t> content(size_t{1} << 20);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 131 + (i >> 11) + 1);
    const std::vector<uint8_t> file = compressSection(content);
    const auto end = static_cast<uint32_t>(file.size());
    const auto headerOf = [&](size_t readers) {
        PrcFileHeader header;
        header.fileStructures.resize(readers);
        for (FileStructureDescriptor& descriptor : header.fileStructures)
            descriptor.sectionOffsets = {0, 0, 0, 0, end};
        return header;
    };

    const PrcFileHeader one = headerOf(1);
    InflatedSections sections(file.data(), file.size(), &one);
    EXPECT_EQ(sections.open(0, end).size, 0u);
    constexpr size_t kStep = 100000;
    for (size_t at = 0; at + kStep <= content.size(); at += kStep) {
        const SectionBytes bytes = sections.extend(0, end, at + kStep);
        ASSERT_GE(bytes.size, at + kStep);
        EXPECT_LE(bytes.size, at + kStep + (size_t{256} << 10)) << at; // not all at once
        EXPECT_TRUE(std::equal(bytes.data + at, bytes.data + at + kStep, content.begin() + static_cast<ptrdiff_t>(at)));
        sections.readUpTo(0, end, at);
#ifdef __linux__
        if (at >= (size_t{512} << 10)) { // the pages behind the reading went: they read as zeros
            EXPECT_EQ(std::count(bytes.data + (size_t{256} << 10), bytes.data + (size_t{512} << 10), uint8_t{0}),
                      ptrdiff_t{256} << 10);
        }
#endif
    }
    EXPECT_EQ(sections.extend(0, end, SIZE_MAX).size, content.size());
    EXPECT_EQ(sections.handedOut(), 0u);
    sections.finish(0, end);
    EXPECT_EQ(sections.handedOut(), content.size());
    sections.release(0, end);
    EXPECT_EQ(asVector(sections.bytes(0, end)), content); // an unannounced use inflates again, and pays
    EXPECT_EQ(sections.handedOut(), 2 * content.size());

    // With another reader announced, the bytes are kept whole for it.
    const PrcFileHeader two = headerOf(2);
    InflatedSections shared(file.data(), file.size(), &two);
    EXPECT_EQ(asVector(shared.open(0, end)), content);
    EXPECT_EQ(shared.handedOut(), content.size());

    // A damaged end, found after the reader has stopped.
    std::vector<uint8_t> damaged = file;
    damaged.back() ^= 1;
    InflatedSections broken(damaged.data(), damaged.size(), &one);
    broken.open(0, end);
    EXPECT_GE(broken.extend(0, end, 1000).size, 1000u);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_TRUE(failsToDecode([&] { broken.finish(0, end); }));
        EXPECT_TRUE(failsToDecode([&] { broken.bytes(0, end); }));
    }
    EXPECT_EQ(broken.handedOut(), 0u);

    // A bomb: the reader stops early, and the budget still decides.
    const std::vector<uint8_t> bomb = zlibStreamOfZeros(100);
    const auto bombEnd = static_cast<uint32_t>(bomb.size());
    PrcFileHeader bombHeader;
    bombHeader.fileStructures.resize(1);
    bombHeader.fileStructures[0].sectionOffsets = {0, 0, 0, 0, bombEnd};
    InflatedSections bombed(bomb.data(), bomb.size(), &bombHeader);
    bombed.open(0, bombEnd);
    EXPECT_GE(bombed.extend(0, bombEnd, 10).size, 10u);
    EXPECT_THROW(bombed.finish(0, bombEnd), InflateBudgetExceeded);
    EXPECT_THROW(bombed.finish(0, bombEnd), InflateBudgetExceeded);
}

} // namespace
