#include "prc/model/model_file_driver.h"

#include "prc/bits/prc_bit_reader.h"
#include "prc/container/inflated_sections.h"
#include "prc/container/prc_file_header.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "prc/geometry/face_triangles.h"
#include "prc/model/model_assembly.h"
#include "prc/geometry/tessellation_reader.h"
#include "prc/structure/entity_base.h"
#include "prc/model/file_structure_loader.h"
#include "prc/structure/globals_reader.h"
#include "prc/model/model_result_output.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

constexpr uint32_t kTypeModelFile = 301;
// File structures with fewer offsets are not loaded.
constexpr size_t kLoadedOffsets = 5;
// Real model files name a few roots; a list far longer than anything the node table
// could hold is taken as corrupt data.
constexpr uint64_t kMaxModelRoots = 4 * uint64_t{kMaxAssemblyNodes};

struct ModelRoot {
    size_t fileStructure; // first descriptor with the root's uid
    uint64_t occurrence;
};

struct Totals {
    uint32_t colours = 0;
    uint32_t materials = 0;
    uint32_t styles = 0;
};

uint32_t saturatingAdd(uint32_t a, size_t b)
{
    const uint64_t sum = uint64_t{a} + b;
    return sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
}

bool sectionInFile(const std::vector<uint32_t>& offsets, size_t first, uint32_t size)
{
    return offsets[first] < offsets[first + 1] && offsets[first + 1] <= size;
}

uint32_t authoringVersionAt(const uint8_t* data, uint32_t size, uint32_t offset)
{
    return static_cast<uint32_t>(readFileStructureHeader(data, size, offset) >> 32);
}

// Colours, materials and styles of every file structure's globals: those the loader
// read, and those of file structures too short for it.
Totals countGlobals(const PrcDocument& document, InflatedSections& sections)
{
    Totals totals;
    const PrcFileHeader& header = *document.header;
    for (size_t i = 0; i < header.fileStructures.size(); ++i) {
        const std::vector<uint32_t>& offsets = header.fileStructures[i].sectionOffsets;
        if (offsets.size() < 3 || !sectionInFile(offsets, 1, static_cast<uint32_t>(sections.size())))
            continue;
        GlobalsData read;
        const GlobalsData* globals = &read;
        if (offsets.size() >= kLoadedOffsets) {
            globals = &document.fileStructures[i].globals;
        } else {
            try {
                const SectionBytes section = sections.bytes(offsets[1], offsets[2]);
                PRCBitReader reader(section.data, section.size,
                                    authoringVersionAt(sections.data(), static_cast<uint32_t>(sections.size()), offsets[0]));
                read = readFileStructureGlobals(reader);
            } catch (const std::runtime_error&) {
                continue; // this file structure counts nothing
            }
        }
        totals.colours = saturatingAdd(totals.colours, globals->colours.size());
        totals.materials = saturatingAdd(totals.materials, globals->materials.size());
        totals.styles = saturatingAdd(totals.styles, globals->styles.size());
    }
    return totals;
}

// The roots named by the ModelFile section, each with the first file structure whose
// uid it gives; roots naming no file structure are dropped here.
std::vector<ModelRoot> readModelRoots(InflatedSections& sections, const PrcFileHeader& header)
{
    const uint32_t size = static_cast<uint32_t>(sections.size());
    const uint32_t end = header.end_model_file < size ? header.end_model_file : size;
    if (header.start_model_file >= end)
        throw std::runtime_error("model file: offset fuori dal file");
    const SectionBytes section = sections.bytes(header.start_model_file, end);
    PRCBitReader reader(section.data, section.size, kPrcVersionUnknown);

    // The schema is stepped over.
    const uint32_t schemaEntries = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < schemaEntries; ++i) {
        reader.readUnsignedInteger();
        const uint32_t tokens = reader.readUnsignedInteger();
        for (uint32_t t = 0; t < tokens; ++t)
            reader.readUnsignedInteger();
    }
    expectType(reader, kTypeModelFile, "ModelFile");
    readContentPRCBase(reader, kTypeModelFile);
    reader.readBoolean(); // unit from CAD file
    reader.readDouble();  // unit

    std::map<PrcUid, size_t> fileStructureOfUid;
    for (size_t i = header.fileStructures.size(); i-- > 0;)
        fileStructureOfUid[header.fileStructures[i].uid] = i;

    const uint32_t count = reader.readUnsignedInteger();
    std::vector<ModelRoot> roots;
    roots.reserve(std::min<uint64_t>({count, reader.bitsLeft(), kMaxModelRoots}));
    for (uint32_t i = 0; i < count; ++i) {
        PrcUid uid;
        for (uint32_t& word : uid)
            word = reader.readUnsignedInteger();
        const uint32_t occurrencePlusOne = reader.readUnsignedInteger();
        reader.readBoolean();
        const auto found = fileStructureOfUid.find(uid);
        if (occurrencePlusOne == 0 || found == fileStructureOfUid.end())
            continue;
        if (roots.size() == kMaxModelRoots)
            throw std::runtime_error("model file: troppe radici");
        roots.push_back({found->second, uint64_t{occurrencePlusOne} - 1});
    }
    return roots;
}

// The product tree of every root. Any decoder error abandons it.
bool decodeStructured(PrcDocument& document, InflatedSections& sections, const AssemblyLimits& limits,
                      AssemblyMesh& mesh)
{
    try {
        const std::vector<ModelRoot> roots = readModelRoots(sections, *document.header);
        mesh.limits = limits;
        // The counting walk meets every limit of the tree no later than the real one,
        // so that a tree given up by it would have been given up anyway.
        for (const bool counting : {true, false}) {
            mesh.countingUses = counting;
            mesh.nodes.clear();
            mesh.walkSteps = 0;
            for (const ModelRoot& root : roots)
                assembleOccurrence(document, static_cast<int64_t>(root.fileStructure),
                                   static_cast<int64_t>(root.occurrence), kNoParent, kIdentity4d, 0, 0, mesh);
        }
    } catch (const std::runtime_error&) {
        mesh = AssemblyMesh{};
        return false;
    }
    return !mesh.triangles.empty();
}

bool exceedsStreamLimit(const AssemblyMesh& mesh)
{
    return prcPayloadSize(static_cast<uint32_t>(std::min<uint64_t>(mesh.vertices.size() / 3, UINT32_MAX)),
                          static_cast<uint32_t>(std::min<uint64_t>(mesh.triangles.size() / 3, UINT32_MAX)), 0,
                          false) > kPayloadLimitBytes;
}

enum class FallbackOutcome { Mesh, Undecodable };

// Every tessellation as it stands, from the tessellations the loader read. Once the mesh
// is too large for the stream the rest is not read: the result is refused by its size
// either way.
FallbackOutcome decodeFlat(const PrcDocument& document, InflatedSections& sections, AssemblyMesh& mesh)
{
    const uint32_t size = static_cast<uint32_t>(sections.size());
    const PrcFileHeader& header = *document.header;
    for (size_t i = 0; i < header.fileStructures.size(); ++i) {
        const std::vector<uint32_t>& offsets = header.fileStructures[i].sectionOffsets;
        if (offsets.size() < kLoadedOffsets)
            continue;
        GlobalsData globals;
        if (sectionInFile(offsets, 1, size)) {
            try {
                // Read again without the file structure's version, as this reading always has.
                const SectionBytes section = sections.bytes(offsets[1], offsets[2]);
                PRCBitReader reader(section.data, section.size, kPrcVersionUnknown);
                globals = readFileStructureGlobals(reader);
            } catch (const std::runtime_error&) {
                globals = GlobalsData{};
            }
        }
        const FileStructureData& record = document.fileStructures[i];
        if (!sectionInFile(offsets, 3, size) || !record.tessellations_loaded)
            continue;
        const std::vector<PRC3DTess>& plain = record.plainTessellations;
        const std::vector<PRC3DTessCompressed>& compressed = record.compressedTessellations;
        for (const PRC3DTess& tess : plain) {
            try {
                const TessMesh converted = appendFaceTriangles(tess, globals, nullptr);
                if (!converted.triangles.empty())
                    appendUntransformedMesh(mesh, converted);
            } catch (const std::runtime_error&) {
                return FallbackOutcome::Undecodable;
            }
            if (exceedsStreamLimit(mesh))
                return FallbackOutcome::Mesh;
        }
        for (const PRC3DTessCompressed& record : compressed) {
            try {
                const TessMesh converted = compressedTessToMesh(record, globals, nullptr);
                if (!converted.triangles.empty())
                    appendUntransformedMesh(mesh, converted);
            } catch (const std::runtime_error&) {
                // Only this tessellation is lost.
            }
            if (exceedsStreamLimit(mesh))
                return FallbackOutcome::Mesh;
        }
    }
    return FallbackOutcome::Mesh;
}

bool decode(const uint8_t* data, uint32_t size, const AssemblyLimits& limits, PrcModelResult& result,
            const InputBytes* input)
{
    PrcFileHeader header;
    try {
        header = readPrcFileHeader(data, size);
    } catch (const std::runtime_error&) {
        result.status = kPrcStatusUndecodable;
        return false;
    }
    InflatedSections sections(data, size, &header, input);
    PrcDocument document;
    document.header = &header;
    document.fileStructures.resize(header.fileStructures.size());
    for (size_t i = 0; i < document.fileStructures.size(); ++i)
        loadFileStructure(document, sections, i);
    if (input != nullptr)
        input->dropPages();
    const Totals totals = countGlobals(document, sections);

    AssemblyMesh mesh;
    bool withNodes = decodeStructured(document, sections, limits, mesh);
    if (!withNodes) {
        mesh = AssemblyMesh{};
        for (size_t i = 0; i < document.fileStructures.size(); ++i)
            if (document.fileStructures[i].tessellationsReleased)
                reloadTessellations(document, sections, i);
        if (decodeFlat(document, sections, mesh) == FallbackOutcome::Undecodable) {
            result.status = kPrcStatusUndecodable;
            return false;
        }
        if (mesh.triangles.empty()) {
            result.status = kPrcStatusNoTriangle;
            return false;
        }
    }

    // The loaded model and its converted meshes are not needed for the output.
    std::vector<FileStructureData>().swap(document.fileStructures);
    if (!fillModelResult(std::move(mesh), withNodes, result))
        return false;
    result.minimalVersionForRead = header.minimal_version_for_read;
    result.authoringVersion = header.authoring_version;
    result.fileStructureCount = header.number_of_file_structures;
    result.colourTotal = totals.colours;
    result.materialTotal = totals.materials;
    result.styleTotal = totals.styles;
    return true;
}

} // namespace

namespace {

bool decodeCatching(const uint8_t* data, uint32_t size, const AssemblyLimits& limits, PrcModelResult& result,
                    const InputBytes* input)
{
    std::memset(&result, 0, sizeof result);
    if (data == nullptr || size == 0)
        return false;
    try {
        return decode(data, size, limits, result, input);
    } catch (const std::bad_alloc&) {
        // Memory ran out: the same answer as a failed output allocation.
        releaseModelResult(result);
        result.status = kPrcStatusNoData;
    } catch (const std::length_error&) {
        releaseModelResult(result);
        result.status = kPrcStatusNoData;
    } catch (const std::exception&) {
        releaseModelResult(result);
        result.status = kPrcStatusUndecodable;
    }
    return false;
}

} // namespace

bool decodeModelFileWithLimits(const uint8_t* data, uint32_t size, const AssemblyLimits& limits,
                               PrcModelResult& result)
{
    return decodeCatching(data, size, limits, result, nullptr);
}

bool decodeModelFile(const uint8_t* data, uint32_t size, PrcModelResult& result)
{
    return decodeCatching(data, size, AssemblyLimits{}, result, nullptr);
}

bool decodeInputFile(const InputBytes& input, PrcModelResult& result)
{
    return decodeCatching(input.data(), input.size(), AssemblyLimits{}, result, &input);
}
