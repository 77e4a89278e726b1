#include "prc/model/file_structure_loader.h"

#include "prc/container/inflated_sections.h"
#include "prc/container/prc_file_header.h"
#include "prc/geometry/tessellation_reader.h"
#include "prc/model/identical_tessellations.h"
#include "prc/structure/globals_reader.h"
#include "prc/structure/product_tree.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <utility>

namespace {

// "PRC" and the two versions.
constexpr uint64_t kFileStructureHeaderBytes = 11;
// Header, globals, tree, tessellations, and the offset that ends the tessellations.
constexpr size_t kOffsetsNeeded = 5;

uint32_t readLittleEndian32(const uint8_t* bytes)
{
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

// The section offsets of file structure index, or null when the document has no such one.
const std::vector<uint32_t>* sectionOffsetsOf(const PrcDocument& document, size_t index)
{
    if (document.header == nullptr || index >= document.header->fileStructures.size() ||
        index >= document.fileStructures.size())
        return nullptr;
    return &document.header->fileStructures[index].sectionOffsets;
}

// A tessellation section as it is inflated.
class ArrivingSection final : public PRCSectionSource {
public:
    ArrivingSection(InflatedSections& sections, uint32_t start, uint32_t end)
        : sections_(sections), start_(start), end_(end)
    {
    }
    Bytes extend(uint64_t end) override
    {
        const SectionBytes bytes =
            sections_.extend(start_, end_, static_cast<size_t>(std::min<uint64_t>(end, SIZE_MAX)));
        return {bytes.data, bytes.size};
    }

private:
    InflatedSections& sections_;
    uint32_t start_;
    uint32_t end_;
};

void loadTessellations(FileStructureData& record, InflatedSections& sections, const std::vector<uint32_t>& offsets)
{
    record.plainTessellations.clear();
    record.compressedTessellations.clear();
    record.tessEntries.clear();
    record.tessFirstIdentical.clear();
    record.tessellations_loaded = false;
    record.tessellationsReleased = false;
    try {
        // The section is read once from start to end, as it is inflated, and what lies
        // behind the reading goes. Its records count only once all of it has inflated.
        const SectionBytes first = sections.open(offsets[3], offsets[4]);
        ArrivingSection rest(sections, offsets[3], offsets[4]);
        PRCBitReader reader(first.data, first.size, record.authoringVersion, &rest);
        const auto bytesRead = [&](size_t read) { sections.readUpTo(offsets[3], offsets[4], read); };
        std::exception_ptr readingFailed;
        try {
            record.plainTessellations =
                readFileStructureTessellation(reader, record.compressedTessellations, &record.tessEntries, bytesRead);
        } catch (const std::runtime_error&) {
            readingFailed = std::current_exception();
        }
        // A section that does not inflate whole, or not within the budget, fails as such,
        // however its reading went.
        sections.finish(offsets[3], offsets[4]);
        if (readingFailed)
            std::rethrow_exception(readingFailed);
        record.tessFirstIdentical = firstIdenticalTessellations(record.tessEntries, record.compressedTessellations);
        record.tessellations_loaded = true;
    } catch (const std::runtime_error&) {
        record.plainTessellations.clear();
        record.compressedTessellations.clear();
        record.tessEntries.clear();
    }
    sections.release(offsets[3], offsets[4]);
}

} // namespace

uint64_t readFileStructureHeader(const uint8_t* data, uint64_t size, uint64_t offset)
{
    if (data == nullptr || offset > size || size - offset < kFileStructureHeaderBytes)
        return UINT64_MAX;
    const uint8_t* header = data + offset;
    if (header[0] != 'P' || header[1] != 'R' || header[2] != 'C')
        return UINT64_MAX;
    return uint64_t{readLittleEndian32(header + 7)} << 32 | readLittleEndian32(header + 3);
}

void loadFileStructure(PrcDocument& document, const uint8_t* data, uint64_t size, size_t index)
{
    InflatedSections sections(data, size);
    loadFileStructure(document, sections, index);
}

void loadFileStructure(PrcDocument& document, InflatedSections& sections, size_t index)
{
    const std::vector<uint32_t>* sectionOffsets = sectionOffsetsOf(document, index);
    if (sectionOffsets == nullptr)
        return;
    const std::vector<uint32_t>& offsets = *sectionOffsets;
    FileStructureData& record = document.fileStructures[index];
    record = FileStructureData{};
    if (offsets.size() < kOffsetsNeeded)
        return;

    const uint64_t versions = readFileStructureHeader(sections.data(), sections.size(), offsets[0]);
    record.minimalVersionForRead = static_cast<uint32_t>(versions);
    record.authoringVersion = static_cast<uint32_t>(versions >> 32);
    const uint32_t version = record.authoringVersion;

    // The globals stay inflated: the flat reading of the file may need them again.
    try {
        const SectionBytes section = sections.bytes(offsets[1], offsets[2]);
        PRCBitReader reader(section.data, section.size, version);
        record.globals = readFileStructureGlobals(reader);
    } catch (const std::runtime_error&) {
        record.globals = GlobalsData{};
    }

    try {
        const SectionBytes section = sections.bytes(offsets[2], offsets[3]);
        PRCBitReader reader(section.data, section.size, version);
        TreeSectionData tree = readFileStructureTree(reader);
        record.partDefinitions = std::move(tree.partDefinitions);
        record.productOccurrences = std::move(tree.productOccurrences);
        record.index_product_occurrence = tree.index_product_occurrence;
        record.tree_loaded = true;
    } catch (const std::runtime_error&) {
        // The tree is kept whole or not at all.
    }
    sections.release(offsets[2], offsets[3]);

    loadTessellations(record, sections, offsets);
}

void reloadTessellations(PrcDocument& document, InflatedSections& sections, size_t index)
{
    const std::vector<uint32_t>* offsets = sectionOffsetsOf(document, index);
    if (offsets != nullptr && offsets->size() >= kOffsetsNeeded)
        loadTessellations(document.fileStructures[index], sections, *offsets);
}
