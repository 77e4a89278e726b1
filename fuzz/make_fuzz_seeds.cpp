// Writes seed corpora for the fuzz targets: pieces of the real files (sections, records,
// whole files) and small models made by the test writers.
//
//   make_fuzz_seeds <output folder> [<corpus folder>]
//
// Each target gets a subfolder named after it. Seeds are at most kMaxSeedBytes long.
#include "prc/bits/prc_bit_reader.h"
#include "prc/container/inflate_section.h"
#include "prc/container/prc_file_header.h"
#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/tessellation_reader.h"
#include "prc/model/file_structure_loader.h"
#include "tests/support/prc_entity_writer.h"
#include "tests/support/prc_writer.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxSeedBytes = 1 << 20;
constexpr size_t kMaxSeedsPerFile = 8;

// Selector of fuzz_prc_sections: reader in the low two bits, version index above.
constexpr uint8_t kSelectGlobals = 0, kSelectTree = 1, kSelectTessellation = 2;
constexpr uint8_t kVersionIndex8137 = 12, kVersionIndexUnknown = 15;

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeSeed(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& bytes)
{
    if (bytes.empty() || bytes.size() > kMaxSeedBytes)
        return;
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> withSelector(uint8_t selector, const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> out;
    out.reserve(body.size() + 1);
    out.push_back(selector);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Sections of one real PRC file, and its compressed records written back one by one.
void seedsFromPrcFile(const fs::path& file, const fs::path& out)
{
    const std::vector<uint8_t> bytes = readFile(file);
    const std::string stem = file.stem().string();
    writeSeed(out / "fuzz_prc_file", stem + ".prc", bytes);
    PrcFileHeader header;
    try {
        header = readPrcFileHeader(bytes.data(), bytes.size());
    } catch (const std::exception&) {
        return;
    }
    size_t sections = 0, records = 0;
    for (size_t fs = 0; fs < header.fileStructures.size(); ++fs) {
        const auto& offsets = header.fileStructures[fs].sectionOffsets;
        if (offsets.size() < 5)
            continue;
        const uint64_t versions = readFileStructureHeader(bytes.data(), bytes.size(), offsets[0]);
        const uint32_t version = static_cast<uint32_t>(versions >> 32);
        const uint8_t versionIndex = version == 0xFFFFFFFFu ? kVersionIndexUnknown : kVersionIndex8137;
        const uint8_t kinds[] = {kSelectGlobals, kSelectTree, kSelectTessellation};
        for (int k = 0; k < 3; ++k) {
            if (!(offsets[k + 1] < offsets[k + 2] && offsets[k + 2] <= bytes.size()))
                continue;
            try {
                const std::vector<uint8_t> section =
                    inflateSection(bytes.data() + offsets[k + 1], offsets[k + 2] - offsets[k + 1]);
                if (sections < kMaxSeedsPerFile &&
                    section.size() < kMaxSeedBytes) {
                    writeSeed(out / "fuzz_prc_sections", stem + "_" + std::to_string(fs) + "_" + std::to_string(k),
                              withSelector(static_cast<uint8_t>(kinds[k] | versionIndex << 2), section));
                    ++sections;
                }
                if (kinds[k] != kSelectTessellation || records >= kMaxSeedsPerFile)
                    continue;
                std::vector<PRC3DTessCompressed> compressed;
                readFileStructureTessellation(section.data(), section.size(), version, compressed, nullptr);
                for (const PRC3DTessCompressed& record : compressed) {
                    if (records >= kMaxSeedsPerFile)
                        break;
                    PrcBitWriter writer;
                    writePRC3DTessCompressed(writer, record, version);
                    const uint8_t selector = record.hasOrigin ? 1 : 0;
                    writeSeed(out / "fuzz_compressed_tess", stem + "_" + std::to_string(records++),
                              withSelector(selector, writer.bytes()));
                }
            } catch (const std::exception&) {
            }
        }
    }
}

void seedsFromU3dFile(const fs::path& file, const fs::path& out)
{
    const std::vector<uint8_t> bytes = readFile(file);
    writeSeed(out / "fuzz_u3d_scene", file.filename().string(), bytes);
    writeSeed(out / "fuzz_u3d_raw_parsers", file.filename().string(), bytes);
}

// Small models of the test writers, so that the fuzzers start from every entity kind
// even without the real files.
void writerSeeds(const fs::path& out)
{
    const std::vector<double> square = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    PrcModel model;
    PrcFileStructureSpec structure;
    structure.tree = singlePartTree(0);
    structure.tessellations.push_back(tessOfTriangles(square));
    model.fileStructures.push_back(structure);
    model.roots.push_back({structure.uid, 1});
    writeSeed(out / "fuzz_prc_file", "writer_single_part.prc", buildPrcModelFile(model));
    writeSeed(out / "fuzz_prc_sections", "writer_tree",
              withSelector(kSelectTree | kVersionIndex8137 << 2, treeSectionBytes(structure.tree, 8137)));
    writeSeed(out / "fuzz_prc_sections", "writer_tessellation",
              withSelector(kSelectTessellation | kVersionIndex8137 << 2,
                           tessellationSectionBytes(structure.tessellations, 8137)));
    std::vector<uint8_t> emptyPrcStream(48, 0), emptyU3dStream(80, 0);
    writeSeed(out / "fuzz_result_stream", "prc_failure", emptyPrcStream);
    writeSeed(out / "fuzz_result_stream", "u3d_failure", emptyU3dStream);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds <output folder> [<corpus folder>]\n");
        return 2;
    }
    const fs::path out = argv[1];
    writerSeeds(out);
    if (argc == 3) {
        const fs::path corpus = argv[2];
        std::error_code ec;
        for (const char* folder : {"prc", "prc-generated"})
            for (const auto& entry : fs::directory_iterator(corpus / folder, ec))
                if (entry.path().extension() == ".prc")
                    seedsFromPrcFile(entry.path(), out);
        for (const auto& entry : fs::directory_iterator(corpus / "u3d", ec))
            if (entry.path().extension() == ".u3d")
                seedsFromU3dFile(entry.path(), out);
    }
    return 0;
}
