#include "prc/geometry/compressed_tess_reader.h"

#include "prc/bits/compressed_arrays.h"
#include "prc/structure/entity_base.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace {

constexpr uint32_t kTypeTessCompressed = 173;
// Files up to this version store no origin.
constexpr uint32_t kLastVersionWithoutOrigin = 7030;

constexpr uint32_t kEdgeStatusBits = 2;
constexpr uint32_t kIndexDeltaBits = 6;
constexpr uint32_t kByteBits = 8;
constexpr uint32_t kStyleBits = 16;
constexpr uint32_t kMaxNormalAngleBits = 16;
// point_reference_array is compressed exactly when more than this many references are used.
constexpr size_t kMaxUncompressedReferences = 3;

// Every array of this record is written with both Huffman options set.
constexpr HuffmanOptions kOptions{true, true};

BitArray readBits(PRCBitReader& reader, uint64_t count)
{
    constexpr uint64_t kChunkBits = 32;
    if (!reader.hasBits(count))
        reader.skipBits(count); // fails as reading them would, before anything is sized
    BitArray bits;
    bits.reserve(count);
    for (uint64_t i = 0; i < count; i += kChunkBits) {
        const auto chunk = static_cast<int>(std::min(kChunkBits, count - i));
        bits.appendMostSignificantFirst(reader.readBits(chunk), chunk);
    }
    return bits;
}

// Four bytes, least significant first.
float readFloatAsBytes(PRCBitReader& reader)
{
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8)
        value |= reader.readBits(8) << shift;
    return std::bit_cast<float>(value);
}

void skipBytes(PRCBitReader& reader, uint64_t count)
{
    for (uint64_t i = 0; i < count; ++i)
        reader.readBits(8);
}

// Data whose meaning is not needed; read only to keep the bit position.
void skipUnusedBlock(PRCBitReader& reader, uint64_t faceCount)
{
    skipBytes(reader, uint64_t{4} * reader.readUnsignedInteger());
    reader.readUnsignedInteger();
    reader.skipUnsignedIntegersWithVariableBitNumber(reader.readUnsignedInteger());
    reader.readDouble();
    skipBytes(reader, uint64_t{4} * reader.readUnsignedInteger());
    if (!reader.readBoolean())
        readBits(reader, faceCount);
}

} // namespace

PRC3DTessCompressed readPRC3DTessCompressed(PRCBitReader& reader, uint32_t authoringVersion)
{
    PRC3DTessCompressed tess;
    expectType(reader, kTypeTessCompressed, "PRC3DTessCompressed");
    tess.flag1 = reader.readBoolean();
    tess.flag2 = reader.readBoolean();
    tess.tolerance = reader.readDouble();
    tess.hasOrigin = authoringVersion > kLastVersionWithoutOrigin;
    if (tess.hasOrigin)
        for (float& coordinate : tess.origin)
            coordinate = readFloatAsBytes(reader);

    tess.point_array = readCompressedIntegerArray(reader, kOptions);
    tess.edge_status_array = readCharacterArray(reader, kEdgeStatusBits, true, true, false, kOptions);
    tess.triangle_face_array = readCompressedIndiceArray(reader, true, kIndexDeltaBits, true, kOptions);
    // The face count sizes several bit arrays; the largest face number may be all ones.
    const uint64_t faceCount = tess.triangle_face_array.empty()
                                   ? 0
                                   : uint64_t{*std::max_element(tess.triangle_face_array.begin(),
                                                                tess.triangle_face_array.end())} + 1;
    const uint64_t triangleCount = tess.triangle_face_array.size();

    tess.point_is_reference_array = readBits(reader, reader.readUnsignedInteger());
    const uint64_t references = tess.point_is_reference_array.count();
    tess.point_reference_array = readCompressedIndiceArray(reader, false, kIndexDeltaBits,
                                                           references > kMaxUncompressedReferences, kOptions);

    tess.normals_as_reversal_bits = reader.readBoolean();
    if (tess.normals_as_reversal_bits) {
        tess.normal_is_reversed = readBits(reader, triangleCount);
        tess.reversalDouble = reader.readDouble();
        reader.readBits(8);
    } else {
        const uint32_t width = reader.readBits(8);
        tess.normal_angle_number_of_bits = static_cast<uint8_t>(width);
        tess.normal_binary_data = readBits(reader, reader.readUnsignedInteger());
        if (width == 0 || width > kMaxNormalAngleBits)
            throw std::runtime_error("readPRC3DTessCompressed: normal_angle_number_of_bits out of range");
        tess.normal_angle_array = readShortArray(reader, width, true, true, false, kOptions);
        tess.face_has_one_normal = readBits(reader, faceCount);
    }

    tess.hasExtraFaceData = reader.readBoolean();
    if (tess.hasExtraFaceData) {
        tess.extraFaceBits = readBits(reader, faceCount);
        tess.extraFaceBytes = readCharacterArray(reader, kByteBits, true, true, false, kOptions);
    }
    tess.perTriangleStyles = reader.readBoolean();
    if (tess.perTriangleStyles)
        tess.perTriangleStyleBits = readBits(reader, faceCount);
    tess.face_style_array = readShortArray(reader, kStyleBits, true, true, false, kOptions);
    if (!reader.readBoolean())
        skipUnusedBlock(reader, faceCount);
    tess.hasTrailingBytes = reader.readBoolean();
    if (tess.hasTrailingBytes)
        tess.trailingBytes = readCharacterArray(reader, kByteBits, true, true, false, kOptions);
    return tess;
}
