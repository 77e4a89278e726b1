#include "prc/geometry/tessellation_reader.h"

#include "prc/geometry/compressed_tess_reader.h"
#include "prc/geometry/face_triangles.h"
#include "prc/structure/entity_base.h"
#include "prc/structure/list_reserve.h"

#include <stdexcept>

namespace {

constexpr uint32_t kTypeTessellationSection = 305;
constexpr uint32_t kTypeTess = 172;
constexpr uint32_t kTypeTessCompressed = 173;
constexpr uint32_t kTypeTessFace = 174;
constexpr uint32_t kTypeWireTess = 175;
constexpr uint32_t kTypeMarkupTess = 176;

// Optional fields of plain tessellations by authoring version.
constexpr uint32_t kLastVersionWithoutLoops = 7038;
constexpr uint32_t kLastVersionWithoutNormalsFlag = 7046;

// Faces whose entries list fans or strips rather than count triangles.
constexpr uint32_t kFanOrStripBits = 0xCCCC;
constexpr uint32_t kTriangleBits = 0x2222;

// Smallest encodings, to bound reservations.
constexpr uint64_t kMinDoubleBits = 2;
constexpr uint64_t kMinFaceBits = 18; // type 174, then one bit per field
constexpr uint64_t kMinTessBits = 10; // a type number of 172

std::vector<double> readDoubleList(PRCBitReader& reader)
{
    std::vector<double> values;
    const uint32_t count = reader.readUnsignedInteger();
    reserveForList(values, count, reader, kMinDoubleBits);
    for (uint32_t i = 0; i < count; ++i)
        values.push_back(reader.readDouble());
    return values;
}

std::vector<uint32_t> readUnsignedIntegerList(PRCBitReader& reader)
{
    std::vector<uint32_t> values;
    const uint32_t count = reader.readUnsignedInteger();
    reserveForList(values, count, reader);
    for (uint32_t i = 0; i < count; ++i)
        values.push_back(reader.readUnsignedInteger());
    return values;
}

// Lists nothing uses are read without being kept.
void skipDoubleList(PRCBitReader& reader)
{
    const uint32_t count = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < count; ++i)
        reader.readDouble();
}

void skipUnsignedIntegerList(PRCBitReader& reader)
{
    const uint32_t count = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < count; ++i)
        reader.readUnsignedInteger();
}

// Every entry after the first takes a bit at least: a larger count cannot be read.
void requireColourBits(PRCBitReader& reader, uint64_t entries, uint32_t components)
{
    const uint64_t repeats = entries - 1; // all ones when there are no entries
    const uint64_t firstBits = uint64_t{8} * components;
    if (repeats > UINT64_MAX - firstBits || !reader.hasBits(repeats + firstBits))
        throw std::runtime_error("PRCBitReader: read past end");
}

// The first entry is given whole; each later one is a repeat bit or a new entry.
std::vector<uint8_t> readColourArray(PRCBitReader& reader, uint64_t entries, uint32_t components)
{
    std::vector<uint8_t> colours;
    if (entries == 0)
        return colours;
    requireColourBits(reader, entries, components);
    reserveForList(colours, entries * components, reader, 0);
    for (uint64_t e = 0; e < entries; ++e) {
        const bool repeat = e > 0 && reader.readBoolean();
        for (uint32_t c = 0; c < components; ++c)
            colours.push_back(repeat ? colours[colours.size() - components]
                                     : static_cast<uint8_t>(reader.readBits(8)));
    }
    return colours;
}

void skipColourArray(PRCBitReader& reader, uint64_t entries, uint32_t components)
{
    if (entries == 0)
        return;
    requireColourBits(reader, entries, components);
    for (uint64_t e = 0; e < entries; ++e)
        if (e == 0 || !reader.readBoolean())
            for (uint32_t c = 0; c < components; ++c)
                reader.readBits(8);
}

// Flag and coordinates, shared by plain, wire and markup tessellations; only the plain
// ones keep their coordinates.
std::vector<double> readBaseTessellationData(PRCBitReader& reader)
{
    reader.readBoolean(); // is calculated
    return readDoubleList(reader);
}

void skipBaseTessellationData(PRCBitReader& reader)
{
    reader.readBoolean(); // is calculated
    skipDoubleList(reader);
}

PRC3DTess readPRC3DTess(PRCBitReader& reader, uint32_t version)
{
    PRC3DTess tess;
    expectType(reader, kTypeTess, "PRC3DTess");
    tess.coordinates = readBaseTessellationData(reader);
    reader.readBoolean(); // has faces
    if (version > kLastVersionWithoutLoops)
        reader.readBoolean(); // has loops
    if (version > kLastVersionWithoutNormalsFlag) {
        tess.must_recalculate_normals = reader.readBoolean();
        if (tess.must_recalculate_normals) {
            reader.readBits(8); // recalculation flags
            tess.crease_angle = reader.readDouble();
        }
    }
    skipDoubleList(reader); // normals: the mesh is shown flat
    skipUnsignedIntegerList(reader); // wire indices
    tess.triangulated_index = readUnsignedIntegerList(reader);
    const uint32_t faces = reader.readUnsignedInteger();
    reserveForList(tess.face_tessellation, faces, reader, kMinFaceBits);
    for (uint32_t i = 0; i < faces; ++i)
        tess.face_tessellation.push_back(readTessFace(reader));
    skipDoubleList(reader); // texture coordinates
    resolveFaceVertices(tess);
    return tess;
}

void readPRC3DWireTess(PRCBitReader& reader)
{
    expectType(reader, kTypeWireTess, "PRC3DWireTess");
    skipBaseTessellationData(reader);
    const std::vector<uint32_t> wireIndexes = readUnsignedIntegerList(reader);
    if (!reader.readBoolean())
        return;
    const bool isRgba = reader.readBoolean();
    const bool isSegmentColor = reader.readBoolean();
    if (reader.readBoolean())
        throw std::runtime_error("readPRC3DWireTess: unhandled b_optimised color (no reference)");
    skipColourArray(reader, countWireColorEntries(wireIndexes, isSegmentColor), isRgba ? 4 : 3);
}

void readPRCMarkupTess(PRCBitReader& reader)
{
    expectType(reader, kTypeMarkupTess, "PRCMarkupTess");
    skipBaseTessellationData(reader);
    skipUnsignedIntegerList(reader); // codes
    const uint32_t texts = reader.readUnsignedInteger();
    for (uint32_t i = 0; i < texts; ++i)
        reader.readString();
    reader.readString(); // label
    reader.readBits(8);  // behaviour
}

uint32_t peekType(PRCBitReader& reader)
{
    const PRCBitReader::Position start = reader.position();
    const uint32_t type = reader.readUnsignedInteger();
    reader.setPosition(start);
    return type;
}

// Reads one tessellation of a known type and records its entry; false for an unknown type.
bool readTessellation(PRCBitReader& reader, uint32_t version, std::vector<PRC3DTess>& plain,
                      std::vector<PRC3DTessCompressed>& compressed, std::vector<TessEntry>* entries)
{
    TessEntry entry;
    switch (peekType(reader)) {
    case kTypeTess:
        plain.push_back(readPRC3DTess(reader, version));
        entry = {kTessPlain, static_cast<int64_t>(plain.size() - 1)};
        break;
    case kTypeTessCompressed:
        compressed.push_back(readPRC3DTessCompressed(reader, version));
        entry = {kTessCompressed, static_cast<int64_t>(compressed.size() - 1)};
        break;
    case kTypeWireTess:
        readPRC3DWireTess(reader);
        break;
    case kTypeMarkupTess:
        readPRCMarkupTess(reader);
        break;
    default:
        return false;
    }
    if (entries != nullptr)
        entries->push_back(entry);
    return true;
}

} // namespace

std::vector<PRC3DTess> readFileStructureTessellation(const uint8_t* section, size_t length, uint32_t version,
                                                     std::vector<PRC3DTessCompressed>& compressed,
                                                     std::vector<TessEntry>* entries,
                                                     const SectionBytesRead& bytesRead)
{
    PRCBitReader reader(section, length, version);
    return readFileStructureTessellation(reader, compressed, entries, bytesRead);
}

std::vector<PRC3DTess> readFileStructureTessellation(PRCBitReader& reader, std::vector<PRC3DTessCompressed>& compressed,
                                                     std::vector<TessEntry>* entries,
                                                     const SectionBytesRead& bytesRead)
{
    const uint32_t version = reader.version;
    expectType(reader, kTypeTessellationSection, "FileStructureTessellation");
    readEmptyContentPRCBase(reader);
    const uint32_t count = reader.readUnsignedInteger();

    // Either kind may make up the whole section, so both lists are given room for every
    // record rather than grown by copies: room never written costs address space only.
    std::vector<PRC3DTess> plain;
    reserveForList(plain, count, reader, kMinTessBits);
    reserveForList(compressed, count, reader, kMinTessBits);
    if (entries != nullptr)
        reserveForList(*entries, count, reader, kMinTessBits);
    // What was read completely before an unknown type or a failure is kept.
    try {
        for (uint32_t i = 0; i < count; ++i) {
            if (!readTessellation(reader, version, plain, compressed, entries))
                break;
            if (bytesRead)
                bytesRead(reader.position().bytePos);
        }
    } catch (const std::exception&) {
    }
    return plain;
}

PRCTessFace readTessFace(PRCBitReader& reader)
{
    PRCTessFace face;
    expectType(reader, kTypeTessFace, "PRCTessFace");
    const uint32_t lineAttributes = reader.readUnsignedInteger();
    reserveForList(face.line_attributes, lineAttributes, reader);
    for (uint32_t i = 0; i < lineAttributes; ++i)
        face.line_attributes.push_back(reader.readUnsignedInteger() - 1);
    reader.readUnsignedInteger(); // start of wire data
    skipUnsignedIntegerList(reader); // wire sizes
    face.used_entities_flag = reader.readUnsignedInteger();
    face.start_triangulated = reader.readUnsignedInteger();
    face.sizes_triangulated = readUnsignedIntegerList(reader);
    reader.readUnsignedInteger(); // number of texture coordinate indexes
    face.has_vertex_colors = reader.readBoolean();
    if (face.has_vertex_colors) {
        face.is_rgba = reader.readBoolean();
        if (reader.readBoolean())
            throw std::runtime_error("readTessFace: unhandled b_optimised colour layout");
        // One colour per vertex the entries announce.
        uint64_t entries = 0;
        if ((face.used_entities_flag & kFanOrStripBits) == 0) {
            for (const uint32_t size : face.sizes_triangulated)
                entries += 3 * uint64_t{size};
        } else if ((face.used_entities_flag & kTriangleBits) == 0) {
            entries = fanOrStripVertexCount(face.sizes_triangulated);
        } else {
            for (const uint32_t size : face.sizes_triangulated)
                entries += size;
        }
        face.rgba_vertices = readColourArray(reader, entries, face.is_rgba ? 4 : 3);
    }
    if (!face.line_attributes.empty())
        reader.readUnsignedInteger(); // behaviour
    return face;
}

uint64_t countWireColorEntries(const std::vector<uint32_t>& wire_indexes, bool isSegmentColor)
{
    uint64_t count = 0;
    for (size_t i = 0; i < wire_indexes.size();) {
        const uint64_t points = wire_indexes[i];
        if (points == 0 || points > wire_indexes.size() - i - 1)
            throw std::runtime_error("countWireColorEntries: wire_indexes not interpretable as polylines");
        count += isSegmentColor ? points - 1 : points;
        i += static_cast<size_t>(points) + 1;
    }
    return count;
}
