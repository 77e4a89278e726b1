#include "prc/model/file_structure_loader.h"

#include "prc/container/prc_file_header.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

PrcFileStructureSpec goodFileStructure(uint32_t version = 8137)
{
    PrcFileStructureSpec fs;
    fs.authoringVersion = version;
    fs.minimalVersion = 8000;
    fs.globals.colours = {{1, 0, 0}, {0, 1, 0}};
    fs.globals.styles = {colourStyle(1)};
    fs.tree = singlePartTree(1);
    fs.tree.productOccurrenceIndex = 1;
    PrcCompressedTess compressed;
    compressed.record.triangle_face_array = {0};
    compressed.record.normals_as_reversal_bits = true;
    compressed.record.normal_is_reversed = {false};
    fs.tessellations = {tessOfTriangles({0, 0, 0, 1, 0, 0, 0, 1, 0}), compressed, PrcWireTess{}};
    return fs;
}

std::unique_ptr<LoadedPrcFile> load(const std::vector<PrcFileStructureSpec>& fileStructures)
{
    PrcModel model;
    model.fileStructures = fileStructures;
    return loadPrcFile(buildPrcModelFile(model));
}

// What each section left: colours and styles of the globals, occurrences of the tree,
// tessellations; a good file structure gives (2, 1, 1, 3).
std::tuple<size_t, size_t, size_t, size_t> sections(const FileStructureData& fs)
{
    EXPECT_EQ(fs.tree_loaded, !fs.productOccurrences.empty());
    EXPECT_TRUE(fs.productOccurrences.empty() || fs.productOccurrences[0].name == "root");
    return {fs.globals.colours.size(), fs.globals.styles.size(), fs.productOccurrences.size(), fs.tessEntries.size()};
}

const std::tuple<size_t, size_t, size_t, size_t> kGood{2, 1, 1, 3};

PrcSectionOverride garbage()
{
    return {std::vector<uint8_t>{0xFF, 0x00, 0xA5, 0x3C}, false};
}

TEST(FileStructureLoader, EachSectionFailsOnItsOwn)
{
    // A failed section leaves nothing of itself behind and takes nothing else with it.
    using Change = void (*)(PrcFileStructureSpec&);
    const std::tuple<const char*, Change, std::tuple<size_t, size_t, size_t, size_t>> cases[] = {
        {"broken globals", [](PrcFileStructureSpec& fs) { fs.overrides[1] = garbage(); }, {0, 0, 1, 3}},
        {"globals with fill patterns", [](PrcFileStructureSpec& fs) { fs.globals.fillPatternCount = 2; }, {0, 0, 1, 3}},
        {"empty globals block", [](PrcFileStructureSpec& fs) { fs.overrides[1] = PrcSectionOverride{{}, true}; },
         {0, 0, 1, 3}},
        {"broken tree", [](PrcFileStructureSpec& fs) { fs.overrides[2] = garbage(); }, {2, 1, 0, 3}},
        {"tree failing in its last occurrence",
         [](PrcFileStructureSpec& fs) { fs.tree.occurrences.emplace_back().location.emplace().type = 203; },
         {2, 1, 0, 3}},
        {"tessellation section of another kind",
         [](PrcFileStructureSpec& fs) { fs.overrides[3] = PrcSectionOverride{treeSectionBytes({}, 8137), false}; },
         {2, 1, 1, 0}},
        {"empty tessellation block", [](PrcFileStructureSpec& fs) { fs.overrides[3] = PrcSectionOverride{{}, true}; },
         {2, 1, 1, 0}},
    };
    for (const auto& [name, change, expected] : cases) {
        PrcFileStructureSpec broken = goodFileStructure();
        change(broken);
        const auto loaded = load({goodFileStructure(), broken, goodFileStructure()});
        EXPECT_EQ(sections(loaded->document.fileStructures[1]), expected) << name;
        EXPECT_EQ(sections(loaded->document.fileStructures[0]), kGood) << name;
        EXPECT_EQ(sections(loaded->document.fileStructures[2]), kGood) << name;
    }
}

TEST(FileStructureLoader, HeaderAndOffsets)
{
    // Four offsets: nothing is loaded, not even the versions.
    PrcFileStructureSpec four = goodFileStructure();
    four.sectionCount = 4;
    const auto fewer = load({four, goodFileStructure()});
    EXPECT_EQ(sections(fewer->document.fileStructures[0]), std::tuple(0, 0, 0, 0));
    EXPECT_EQ(fewer->document.fileStructures[0].authoringVersion, kPrcVersionUnknown);
    EXPECT_EQ(sections(fewer->document.fileStructures[1]), kGood);

    // No file structure header: versions unknown, and the sections are read as of the
    // newest version (graphics with their trailing pairs).
    PrcFileStructureSpec headless = goodFileStructure(kPrcVersionUnknown);
    headless.overrides[0] = PrcSectionOverride{{'P', 'R', 'X', 0, 0, 0, 0, 0, 0, 0, 0}, true};
    const auto unknown = load({headless});
    const FileStructureData& fs = unknown->document.fileStructures[0];
    EXPECT_EQ(std::pair(fs.minimalVersionForRead, fs.authoringVersion),
              std::pair(kPrcVersionUnknown, kPrcVersionUnknown));
    EXPECT_EQ(sections(fs), kGood);

    // Indices beyond the header or the document, and a document without header, are ignored.
    PrcDocument document;
    document.fileStructures.resize(1);
    loadFileStructure(document, unknown->bytes.data(), unknown->bytes.size(), 0);
    EXPECT_EQ(sections(document.fileStructures[0]), std::tuple(0, 0, 0, 0));
    document.header = &unknown->header;
    loadFileStructure(document, unknown->bytes.data(), unknown->bytes.size(), 1);
    // Sections that lie beyond the data given are not read.
    loadFileStructure(document, unknown->bytes.data(), unknown->header.fileStructures[0].sectionOffsets[3], 0);
    EXPECT_EQ(sections(document.fileStructures[0]), std::tuple(2, 1, 1, 0));
}

TEST(FileStructureLoader, FileStructureHeaderVersions)
{
    const std::vector<uint8_t> bytes = {'x', 'P', 'R', 'C', 0x9D, 0x1F, 0, 0, 0xA9, 0x1F, 0, 0};
    const std::tuple<uint64_t, uint64_t, uint64_t> cases[] = {
        {12, 1, uint64_t{0x1FA9} << 32 | 0x1F9D},
        {11, 1, UINT64_MAX}, // one byte short
        {12, 0, UINT64_MAX}, // no "PRC" there
        {12, 12, UINT64_MAX},
        {12, 0xFFFFFFFFFFFFFFF8u, UINT64_MAX},
    };
    for (const auto& [size, offset, expected] : cases)
        EXPECT_EQ(readFileStructureHeader(bytes.data(), size, offset), expected) << size << " " << offset;
    EXPECT_EQ(readFileStructureHeader(nullptr, 12, 0), UINT64_MAX);
}

} // namespace
