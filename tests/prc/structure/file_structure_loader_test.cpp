#include "prc/structure/file_structure_loader.h"

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

struct Loaded {
    std::vector<uint8_t> file;
    PrcFileHeader header;
    PrcDocument document;
};

// Builds the file and loads every file structure (the document outlives the header it points to).
std::unique_ptr<Loaded> load(const std::vector<PrcFileStructureSpec>& fileStructures)
{
    auto loaded = std::make_unique<Loaded>();
    PrcModel model;
    model.fileStructures = fileStructures;
    loaded->file = buildPrcModelFile(model);
    loaded->header = readPrcFileHeader(loaded->file.data(), loaded->file.size());
    loaded->document.header = &loaded->header;
    loaded->document.fileStructures.resize(loaded->header.fileStructures.size());
    for (size_t i = 0; i < loaded->document.fileStructures.size(); ++i)
        loadFileStructure(loaded->document, loaded->file.data(), loaded->file.size(), i);
    return loaded;
}

bool globalsLoaded(const FileStructureData& fs)
{
    return fs.globals.colours.size() == 2 && fs.globals.styles.size() == 1;
}

bool treeLoaded(const FileStructureData& fs)
{
    return fs.tree_loaded && fs.partDefinitions.size() == 1 && fs.productOccurrences.size() == 1 &&
           fs.index_product_occurrence == 1 && fs.productOccurrences[0].name == "root";
}

bool tessellationsLoaded(const FileStructureData& fs)
{
    return fs.plainTessellations.size() == 1 && fs.compressedTessellations.size() == 1 && fs.tessEntries.size() == 3;
}

bool empty(const FileStructureData& fs)
{
    return fs.globals.colours.empty() && fs.globals.styles.empty() && fs.globals.schemaTypes.empty() &&
           !fs.tree_loaded && fs.partDefinitions.empty() && fs.productOccurrences.empty() &&
           fs.plainTessellations.empty() && fs.compressedTessellations.empty() && fs.tessEntries.empty();
}

PrcSectionOverride garbage()
{
    return {std::vector<uint8_t>{0xFF, 0x00, 0xA5, 0x3C}, false};
}

TEST(FileStructureLoader, EverySectionOfAGoodFileStructure)
{
    for (const uint32_t version : {7094u, 8137u, 8138u}) {
        const auto loaded = load({goodFileStructure(version), goodFileStructure(version)});
        for (const FileStructureData& fs : loaded->document.fileStructures) {
            EXPECT_EQ(fs.minimalVersionForRead, 8000u);
            EXPECT_EQ(fs.authoringVersion, version);
            EXPECT_TRUE(globalsLoaded(fs));
            EXPECT_TRUE(treeLoaded(fs));
            EXPECT_TRUE(tessellationsLoaded(fs));
        }
    }
}

TEST(FileStructureLoader, EachSectionFailsOnItsOwn)
{
    struct Case {
        const char* name;
        void (*change)(PrcFileStructureSpec&);
        bool globals, tree, tessellations;
    };
    const Case cases[] = {
        {"broken globals", [](PrcFileStructureSpec& fs) { fs.overrides[1] = garbage(); }, false, true, true},
        {"globals with fill patterns", [](PrcFileStructureSpec& fs) { fs.globals.fillPatternCount = 2; }, false, true,
         true},
        {"empty globals block", [](PrcFileStructureSpec& fs) { fs.overrides[1] = PrcSectionOverride{{}, true}; }, false,
         true, true},
        {"broken tree", [](PrcFileStructureSpec& fs) { fs.overrides[2] = garbage(); }, true, false, true},
        {"tree failing in its last occurrence",
         [](PrcFileStructureSpec& fs) {
             fs.tree.occurrences.push_back(fs.tree.occurrences[0]);
             fs.tree.occurrences.back().location.emplace().type = 203;
         },
         true, false, true},
        {"tessellation header",
         [](PrcFileStructureSpec& fs) {
             PrcBitWriter w;
             writeTreeSection(w, PrcTree{}, 8137); // a section of another kind
             fs.overrides[3] = PrcSectionOverride{w.bytes(), false};
         },
         true, true, false},
        {"empty tessellation block", [](PrcFileStructureSpec& fs) { fs.overrides[3] = PrcSectionOverride{{}, true}; },
         true, true, false},
    };
    for (const Case& c : cases) {
        PrcFileStructureSpec broken = goodFileStructure();
        c.change(broken);
        const auto loaded = load({goodFileStructure(), broken, goodFileStructure()});
        const FileStructureData& fs = loaded->document.fileStructures[1];
        EXPECT_EQ(std::tuple(globalsLoaded(fs), treeLoaded(fs), tessellationsLoaded(fs)),
                  std::tuple(c.globals, c.tree, c.tessellations))
            << c.name;
        // A failed section leaves nothing of itself behind.
        EXPECT_TRUE((c.globals || fs.globals.colours.empty()) && (c.tree || fs.productOccurrences.empty()) &&
                    (c.tessellations || fs.tessEntries.empty()))
            << c.name;
        for (const size_t neighbour : {0u, 2u})
            EXPECT_TRUE(treeLoaded(loaded->document.fileStructures[neighbour]) &&
                        tessellationsLoaded(loaded->document.fileStructures[neighbour]))
                << c.name;
    }
}

TEST(FileStructureLoader, HeaderAndOffsets)
{
    // Four offsets: nothing is loaded, not even the versions.
    PrcFileStructureSpec four = goodFileStructure();
    four.sectionCount = 4;
    const auto fewer = load({four, goodFileStructure()});
    EXPECT_TRUE(empty(fewer->document.fileStructures[0]));
    EXPECT_EQ(fewer->document.fileStructures[0].authoringVersion, kPrcVersionUnknown);
    EXPECT_TRUE(treeLoaded(fewer->document.fileStructures[1]));

    // No file structure header: versions unknown, and the sections are read as of the
    // newest version (graphics with their trailing pairs).
    PrcFileStructureSpec headless = goodFileStructure(kPrcVersionUnknown);
    headless.overrides[0] = PrcSectionOverride{{'P', 'R', 'X', 0, 0, 0, 0, 0, 0, 0, 0}, true};
    const auto unknown = load({headless});
    const FileStructureData& fs = unknown->document.fileStructures[0];
    EXPECT_EQ(fs.minimalVersionForRead, kPrcVersionUnknown);
    EXPECT_EQ(fs.authoringVersion, kPrcVersionUnknown);
    EXPECT_TRUE(globalsLoaded(fs) && treeLoaded(fs) && tessellationsLoaded(fs));

    // Indices beyond the header or the document, and a document without header, are ignored.
    PrcDocument document;
    document.fileStructures.resize(1);
    loadFileStructure(document, unknown->file.data(), unknown->file.size(), 0);
    EXPECT_TRUE(empty(document.fileStructures[0]));
    document.header = &unknown->header;
    loadFileStructure(document, unknown->file.data(), unknown->file.size(), 1);
    document.fileStructures[0].tree_loaded = true;
    loadFileStructure(document, unknown->file.data(), unknown->file.size(), 0);
    EXPECT_TRUE(treeLoaded(document.fileStructures[0]));
    // Sections that lie beyond the data given are not read.
    loadFileStructure(document, unknown->file.data(), unknown->header.fileStructures[0].sectionOffsets[3], 0);
    EXPECT_TRUE(globalsLoaded(document.fileStructures[0]) && treeLoaded(document.fileStructures[0]));
    EXPECT_TRUE(document.fileStructures[0].tessEntries.empty());
}

TEST(FileStructureLoader, FileStructureHeaderVersions)
{
    const std::vector<uint8_t> bytes = {'x', 'P', 'R', 'C', 0x9D, 0x1F, 0, 0, 0xA9, 0x1F, 0, 0};
    struct Case {
        uint64_t size, offset, expected;
    };
    const Case cases[] = {
        {12, 1, uint64_t{0x1FA9} << 32 | 0x1F9D},
        {11, 1, UINT64_MAX}, // one byte short
        {12, 0, UINT64_MAX}, // no "PRC" there
        {12, 12, UINT64_MAX},
        {12, 0xFFFFFFFFFFFFFFF8u, UINT64_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readFileStructureHeader(bytes.data(), c.size, c.offset), c.expected) << c.size << " " << c.offset;
    EXPECT_EQ(readFileStructureHeader(nullptr, 12, 0), UINT64_MAX);
}

} // namespace
