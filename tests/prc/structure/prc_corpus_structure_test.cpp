// Real files: every file structure is loaded; the sections that read to completion and
// the tessellations read are counted and reported, and every failure is classified.
#include "prc/container/inflate_section.h"
#include "prc/container/prc_file_header.h"
#include "prc/structure/entity_base.h"
#include "prc/structure/file_structure_loader.h"
#include "prc/structure/globals_reader.h"

#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>

namespace {

// Failures that real files are known to cause: the reading is right, the file carries
// something the preview does not read.
const char* const kKnownFailures[] = {
    "readFileStructureGlobals: unhandled fill patterns (no reference)",
};

struct CorpusReport {
    size_t files = 0, fileStructures = 0;
    size_t globals = 0, trees = 0, tessellationSections = 0;
    size_t plain = 0, compressed = 0, wireOrMarkup = 0;
    std::map<std::string, size_t> failures; // message -> count
};

// The globals again, for the message the loader does not pass on.
std::string globalsFailure(const std::vector<uint8_t>& file, const std::vector<uint32_t>& offsets, uint32_t version)
{
    try {
        const std::vector<uint8_t> section = inflateSection(file.data() + offsets[1], offsets[2] - offsets[1]);
        PRCBitReader reader(section, version);
        readFileStructureGlobals(reader);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

// The number of tessellations the section announces.
uint32_t announcedTessellations(const std::vector<uint8_t>& file, const std::vector<uint32_t>& offsets)
{
    const std::vector<uint8_t> section = inflateSection(file.data() + offsets[3], offsets[4] - offsets[3]);
    PRCBitReader reader(section);
    expectType(reader, 305, "FileStructureTessellation");
    readEmptyContentPRCBase(reader);
    return reader.readUnsignedInteger();
}

void loadFile(const std::filesystem::path& path, CorpusReport& report)
{
    const std::vector<uint8_t> file = readFileBytes(path);
    const std::string name = path.filename().string();
    ++report.files;
    PrcDocument document;
    PrcFileHeader header;
    try {
        header = readPrcFileHeader(file.data(), file.size());
    } catch (const std::runtime_error& error) {
        ++report.failures[std::string("header: ") + error.what()];
        return;
    }
    document.header = &header;
    document.fileStructures.resize(header.fileStructures.size());
    for (size_t i = 0; i < header.fileStructures.size(); ++i) {
        const std::vector<uint32_t>& offsets = header.fileStructures[i].sectionOffsets;
        if (offsets.size() < 5) {
            ++report.failures["fewer than five section offsets"];
            continue;
        }
        ++report.fileStructures;
        loadFileStructure(document, file.data(), file.size(), i);
        const FileStructureData& fs = document.fileStructures[i];
        const std::string where = name + " file structure " + std::to_string(i) + ": ";

        const std::string globals = globalsFailure(file, offsets, fs.authoringVersion);
        if (globals.empty())
            ++report.globals;
        else
            ++report.failures["globals: " + globals];
        if (fs.tree_loaded)
            ++report.trees;
        else
            ++report.failures["tree"];
        if (announcedTessellations(file, offsets) == fs.tessEntries.size())
            ++report.tessellationSections;
        else
            ++report.failures["tessellation section ends early"];
        report.plain += fs.plainTessellations.size();
        report.compressed += fs.compressedTessellations.size();
        for (const TessEntry& entry : fs.tessEntries)
            report.wireOrMarkup += entry.kind == kTessNone;
    }
}

class PrcCorpusStructure : public ::testing::TestWithParam<std::string> {};

TEST_P(PrcCorpusStructure, FileStructuresLoad)
{
    const std::vector<std::filesystem::path> files = corpusFiles(GetParam(), ".prc");
    if (files.empty())
        GTEST_SKIP() << "no corpus folder " << GetParam();
    CorpusReport report;
    for (const std::filesystem::path& path : files)
        loadFile(path, report);
    std::cout << "corpus " << GetParam() << "/: " << report.files << " files, " << report.fileStructures
              << " file structures; read to completion: " << report.globals << " globals, " << report.trees
              << " trees, " << report.tessellationSections << " tessellation sections; tessellations: " << report.plain
              << " plain, " << report.compressed << " compressed, " << report.wireOrMarkup << " wire or markup\n";
    for (const auto& [message, count] : report.failures) {
        std::cout << "  " << count << " x " << message << "\n";
        bool known = false;
        for (const char* expected : kKnownFailures)
            known = known || message == std::string("globals: ") + expected;
        EXPECT_TRUE(known) << count << " x " << message;
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, PrcCorpusStructure, ::testing::Values("prc", "prc-generated"),
                         [](const auto& info) { return info.param == "prc" ? std::string("Exporters") : "Generated"; });

} // namespace
