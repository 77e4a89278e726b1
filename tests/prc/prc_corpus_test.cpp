// Real files, in one pass per folder: every header reads and every section inflates;
// every file structure loads, with the sections read to completion counted and each
// failure classified; every compressed tessellation decodes (first run, after retries,
// or not at all) into meshes whose shared edges run once each way.
#include "prc/container/inflate_section.h"
#include "prc/container/prc_file_header.h"
#include "prc/geometry/compressed_tess_decoder.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "prc/structure/entity_base.h"
#include "prc/structure/globals_reader.h"
#include "tests/support/files.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

// The reading is right; the file carries something the preview does not read.
const std::string kKnownGlobalsFailure = "readFileStructureGlobals: unhandled fill patterns (no reference)";

struct Compressed {
    uint64_t first = 0, retried = 0, failed = 0, triangles = 0, interiorEdges = 0, misorientedEdges = 0;

    std::string line() const
    {
        return "compressed: " + std::to_string(first) + " first run, " + std::to_string(retried) + " retried, " +
               std::to_string(failed) + " failed, " + std::to_string(triangles) + " triangles, misoriented edges " +
               std::to_string(misorientedEdges) + " of " + std::to_string(interiorEdges);
    }
    void add(const Compressed& o)
    {
        first += o.first, retried += o.retried, failed += o.failed, triangles += o.triangles;
        interiorEdges += o.interiorEdges, misorientedEdges += o.misorientedEdges;
    }
};

struct Tally {
    uint64_t files = 0, fileStructures = 0, sections = 0;
    uint64_t globals = 0, trees = 0, tessellationSections = 0, plain = 0, wireOrMarkup = 0;
    Compressed compressed;
    std::map<std::string, uint64_t> failures; // message -> count
};

std::vector<uint8_t> inflateRange(const std::vector<uint8_t>& file, uint64_t start, uint64_t end)
{
    if (start >= end || end > file.size())
        throw std::runtime_error("section outside the file");
    return inflateSection(file.data() + start, static_cast<size_t>(end - start));
}

// Edges shared by two triangles should run once each way; count those that do not.
void countWinding(const CompressedTessDecoding& d, Compressed& tally)
{
    std::map<std::pair<uint32_t, uint32_t>, std::pair<int, int>> edges;
    for (size_t t = 0; t + 2 < d.triangles.size(); t += 3)
        for (int k = 0; k < 3; ++k) {
            const uint32_t a = d.triangles[t + k], b = d.triangles[t + (k + 1) % 3];
            if (a != b)
                ++(a < b ? edges[{a, b}].first : edges[{b, a}].second);
        }
    for (const auto& [key, e] : edges)
        if (e.first + e.second == 2) {
            ++tally.interiorEdges;
            tally.misorientedEdges += e.first != 1;
        }
}

void checkCompressed(const std::vector<PRC3DTessCompressed>& records, Compressed& tally)
{
    for (const PRC3DTessCompressed& record : records) {
        const bool firstRun = runCompressedTessDecoding(record, kTessFrameAsGiven, kNoForcedDecision).error.empty();
        try {
            const CompressedTessDecoding d = buildCompressedTessMesh(record);
            ++(firstRun ? tally.first : tally.retried);
            tally.triangles += d.triangles.size() / 3;
            EXPECT_TRUE(std::all_of(d.triangles.begin(), d.triangles.end(), [&](uint32_t p) { return p < d.pointsMade; }));
            countWinding(d, tally);
        } catch (const std::runtime_error&) {
            ++tally.failed;
        }
    }
}

void checkFile(const std::filesystem::path& path, Tally& total)
{
    ++total.files;
    std::unique_ptr<LoadedPrcFile> loaded;
    try {
        loaded = loadPrcFile(readFileBytes(path));
    } catch (const std::runtime_error& error) {
        ++total.failures[std::string("header: ") + error.what()];
        return;
    }
    const std::vector<uint8_t>& file = loaded->bytes;
    const PrcFileHeader& header = loaded->header;
    // The last section of a file structure runs to the next offset in the file.
    std::vector<uint64_t> starts{header.start_model_file, file.size()};
    for (const FileStructureDescriptor& descriptor : header.fileStructures)
        starts.insert(starts.end(), descriptor.sectionOffsets.begin(), descriptor.sectionOffsets.end());
    std::sort(starts.begin(), starts.end());
    const auto inflateAt = [&](const std::vector<uint32_t>& offsets, size_t i) {
        const uint64_t end = i + 1 < offsets.size() ? offsets[i + 1]
                                                    : *std::upper_bound(starts.begin(), starts.end() - 1, offsets[i]);
        return inflateRange(file, offsets[i], end);
    };
    Compressed compressed;
    for (size_t f = 0; f < header.fileStructures.size(); ++f) {
        const std::vector<uint32_t>& offsets = header.fileStructures[f].sectionOffsets;
        ++total.fileStructures;
        if (offsets.size() < 5 || readFileStructureHeader(file.data(), file.size(), offsets[0]) == UINT64_MAX) {
            ++total.failures["no file structure header or fewer than five sections"];
            continue;
        }
        for (size_t i = 1; i < offsets.size(); ++i) {
            try {
                inflateAt(offsets, i);
                ++total.sections;
            } catch (const std::runtime_error& error) {
                ++total.failures[std::string("section: ") + error.what()];
            }
        }
        const FileStructureData& fs = loaded->document.fileStructures[f];
        try { // the loader does not pass the message on
            const std::vector<uint8_t> section = inflateAt(offsets, 1);
            PRCBitReader reader(section, fs.authoringVersion);
            readFileStructureGlobals(reader);
            ++total.globals;
        } catch (const std::runtime_error& error) {
            ++total.failures[std::string("globals: ") + error.what()];
        }
        if (fs.tree_loaded)
            ++total.trees;
        else
            ++total.failures["tree"];
        const std::vector<uint8_t> tessellations = inflateAt(offsets, 3);
        PRCBitReader reader(tessellations);
        expectType(reader, 305, "FileStructureTessellation");
        readEmptyContentPRCBase(reader);
        if (reader.readUnsignedInteger() == fs.tessEntries.size())
            ++total.tessellationSections;
        else
            ++total.failures["tessellation section ends early"];
        total.plain += fs.plainTessellations.size();
        for (const TessEntry& entry : fs.tessEntries)
            total.wireOrMarkup += entry.kind == kTessNone;
        checkCompressed(fs.compressedTessellations, compressed);
    }
    try {
        inflateRange(file, header.start_model_file, std::min<uint64_t>(header.end_model_file, file.size()));
        ++total.sections;
    } catch (const std::runtime_error& error) {
        ++total.failures[std::string("model file: ") + error.what()];
    }
    if (compressed.first + compressed.retried + compressed.failed > 0)
        std::printf("%-50.50s %s\n", path.filename().string().c_str(), compressed.line().c_str());
    total.compressed.add(compressed);
}

class PrcCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(PrcCorpus, EveryFileReads)
{
    const std::vector<std::filesystem::path> files = corpusFiles(GetParam(), ".prc");
    if (files.empty())
        GTEST_SKIP() << "no corpus folder " << GetParam();
    Tally t;
    for (const std::filesystem::path& path : files)
        checkFile(path, t);
    std::printf("corpus %s/: %llu files, %llu file structures, %llu sections inflated; read to completion: %llu "
                "globals, %llu trees, %llu tessellation sections; tessellations: %llu plain, %llu wire or markup; %s\n",
                GetParam().c_str(), (unsigned long long)t.files, (unsigned long long)t.fileStructures,
                (unsigned long long)t.sections, (unsigned long long)t.globals, (unsigned long long)t.trees,
                (unsigned long long)t.tessellationSections, (unsigned long long)t.plain,
                (unsigned long long)t.wireOrMarkup, t.compressed.line().c_str());
    for (const auto& [message, count] : t.failures) {
        std::printf("  %llu x %s\n", (unsigned long long)count, message.c_str());
        EXPECT_EQ(message, "globals: " + kKnownGlobalsFailure) << count << " x " << message;
    }
    const Compressed& c = t.compressed;
    EXPECT_TRUE(GetParam() != "prc" || c.first + c.retried + c.failed > 0) << "no compressed tessellation";
    // Near-degenerate slivers leave a few records and edges that no run gets right.
    EXPECT_LE(c.failed * 200, c.first + c.retried + c.failed);
    EXPECT_LE(c.misorientedEdges * 100, c.interiorEdges);
}

INSTANTIATE_TEST_SUITE_P(Folders, PrcCorpus, ::testing::Values("prc", "prc-generated"),
                         [](const auto& info) { return info.param == "prc" ? std::string("Exporters") : "Generated"; });

} // namespace
