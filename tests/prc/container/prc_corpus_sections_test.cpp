// Real files: the header reads, and every section of every file structure and the
// ModelFile section inflate.
#include "prc/container/inflate_section.h"
#include "prc/container/prc_file_header.h"

#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace {

struct CorpusCount {
    size_t files = 0;
    size_t fileStructures = 0;
    size_t sections = 0;
    std::vector<std::string> failures;
};

void inflateRange(const std::vector<uint8_t>& file, uint64_t start, uint64_t end, const std::string& where,
                  CorpusCount& count)
{
    try {
        if (start >= end || end > file.size())
            throw std::runtime_error("range " + std::to_string(start) + ".." + std::to_string(end));
        inflateSection(file.data() + start, static_cast<size_t>(end - start));
        ++count.sections;
    } catch (const std::runtime_error& error) {
        count.failures.push_back(where + ": " + error.what());
    }
}

void checkFile(const std::filesystem::path& path, CorpusCount& count)
{
    const std::vector<uint8_t> file = readFileBytes(path);
    const std::string name = path.filename().string();
    ++count.files;
    PrcFileHeader header;
    try {
        header = readPrcFileHeader(file.data(), file.size());
    } catch (const std::runtime_error& error) {
        count.failures.push_back(name + ": header: " + error.what());
        return;
    }
    // The last section of a file structure runs to the next offset in the file.
    std::vector<uint64_t> starts{header.start_model_file, file.size()};
    for (const FileStructureDescriptor& descriptor : header.fileStructures)
        starts.insert(starts.end(), descriptor.sectionOffsets.begin(), descriptor.sectionOffsets.end());
    std::sort(starts.begin(), starts.end());
    for (size_t f = 0; f < header.fileStructures.size(); ++f) {
        ++count.fileStructures;
        const std::vector<uint32_t>& offsets = header.fileStructures[f].sectionOffsets;
        const std::string where = name + " file structure " + std::to_string(f);
        // The first offset opens the uncompressed file structure header.
        if (offsets.empty() || uint64_t{offsets[0]} + 3 > file.size() || file[offsets[0]] != 'P' ||
            file[offsets[0] + 1] != 'R' || file[offsets[0] + 2] != 'C') {
            count.failures.push_back(where + ": no file structure header");
            continue;
        }
        for (size_t i = 1; i < offsets.size(); ++i) {
            const uint64_t end = i + 1 < offsets.size() ? offsets[i + 1]
                                                        : *std::upper_bound(starts.begin(), starts.end() - 1, offsets[i]);
            inflateRange(file, offsets[i], end, where + " section " + std::to_string(i), count);
        }
    }
    inflateRange(file, header.start_model_file, std::min<uint64_t>(header.end_model_file, file.size()),
                 name + " model file", count);
}

class PrcCorpusSections : public ::testing::TestWithParam<std::string> {};

TEST_P(PrcCorpusSections, HeadersReadAndSectionsInflate)
{
    const std::vector<std::filesystem::path> files = corpusFiles(GetParam(), ".prc");
    if (files.empty())
        GTEST_SKIP() << "no corpus folder " << GetParam();
    CorpusCount count;
    for (const std::filesystem::path& path : files)
        checkFile(path, count);
    std::cout << "corpus " << GetParam() << "/: " << count.files << " files, " << count.fileStructures
              << " file structures, " << count.sections << " sections inflated, " << count.failures.size()
              << " failures\n";
    for (const std::string& failure : count.failures)
        ADD_FAILURE() << failure;
}

INSTANTIATE_TEST_SUITE_P(Folders, PrcCorpusSections, ::testing::Values("prc", "prc-generated"),
                         [](const auto& info) { return info.param == "prc" ? std::string("Exporters") : "Generated"; });

} // namespace
