#include "prc/bits/compressed_arrays.h"

#include "prc/bits/prc_bit_reader.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr uint32_t kMaxCharacterBits = 8;
constexpr uint32_t kMaxShortBits = 16;
constexpr uint32_t kIntegerCountBits = 6;

// Sign bit, then bitCount - 1 magnitude bits (none when bitCount is 0 or 1), in one read.
int32_t readSignAndMagnitude(PRCBitReader& reader, uint32_t bitCount)
{
    const uint32_t width = std::max(bitCount, 1u);
    const uint32_t bits = reader.readBits(static_cast<int>(width));
    const uint32_t magnitude = width > 1 ? bits & (~0u >> (33 - width)) : 0;
    return static_cast<int32_t>((bits >> (width - 1) & 1) != 0 ? 0u - magnitude : magnitude);
}

// Room for count elements of elementBits each, but never more than the section can hold.
size_t boundedCount(uint32_t count, PRCBitReader& reader, uint32_t elementBits)
{
    return static_cast<size_t>(reader.bitsLeftUpTo(uint64_t{count} * elementBits) / elementBits);
}

bool readCompressionFlag(PRCBitReader& reader, bool readFlag, bool defaultCompressed)
{
    return readFlag ? reader.readBoolean() : defaultCompressed;
}

} // namespace

std::vector<uint8_t> readCharacterArray(PRCBitReader& reader, uint32_t numBitsPerElem, bool readFlag,
                                        bool defaultCompressed, bool signedValues, const HuffmanOptions& options)
{
    if (numBitsPerElem == 0 || numBitsPerElem > kMaxCharacterBits)
        throw std::runtime_error("readCharacterArray: numBitsPerElem out of range");
    std::vector<uint8_t> values;
    if (readCompressionFlag(reader, readFlag, defaultCompressed)) {
        const std::vector<uint32_t> decoded =
            readHuffmanCompressedArray(reader, static_cast<uint8_t>(numBitsPerElem), signedValues, options);
        values.reserve(decoded.size());
        for (const uint32_t value : decoded)
            values.push_back(static_cast<uint8_t>(value));
        return values;
    }
    const uint32_t count = reader.readUnsignedInteger();
    values.reserve(boundedCount(count, reader, 8));
    for (uint32_t i = 0; i < count; ++i)
        values.push_back(static_cast<uint8_t>(reader.readBits(8)));
    return values;
}

std::vector<uint16_t> readShortArray(PRCBitReader& reader, uint32_t numBitsPerElem, bool readFlag,
                                     bool defaultCompressed, bool signedValues, const HuffmanOptions& options)
{
    if (numBitsPerElem == 0 || numBitsPerElem > kMaxShortBits)
        throw std::runtime_error("readShortArray: numBitsPerElem out of range");
    std::vector<uint16_t> values;
    if (readCompressionFlag(reader, readFlag, defaultCompressed)) {
        const std::vector<uint32_t> decoded =
            readHuffmanCompressedArray(reader, static_cast<uint8_t>(numBitsPerElem), signedValues, options);
        values.reserve(decoded.size());
        for (const uint32_t value : decoded)
            values.push_back(static_cast<uint16_t>(value));
        return values;
    }
    const uint32_t count = reader.readUnsignedInteger();
    values.reserve(boundedCount(count, reader, 16));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t low = reader.readBits(8);
        const uint32_t high = reader.readBits(8);
        values.push_back(static_cast<uint16_t>(high << 8 | low));
    }
    return values;
}

std::vector<int32_t> readCompressedIntegerArray(PRCBitReader& reader, const HuffmanOptions& options)
{
    const std::vector<uint8_t> counts = readCharacterArray(reader, kIntegerCountBits, true, true, true, options);
    std::vector<int32_t> values;
    values.reserve(counts.size());
    for (const uint8_t count : counts) {
        if (count > kMaxCompressedValueBits)
            throw std::runtime_error("readCompressedIntegerArray: bit count out of range");
        values.push_back(readSignAndMagnitude(reader, count));
    }
    return values;
}

std::vector<uint32_t> readCompressedIndiceArray(PRCBitReader& reader, bool readFlag, uint32_t numBitsPerElem,
                                                bool defaultCompressed, const HuffmanOptions& options)
{
    const std::vector<uint8_t> deltas =
        readCharacterArray(reader, numBitsPerElem, readFlag, defaultCompressed, true, options);
    std::vector<uint32_t> indices;
    if (deltas.empty())
        return indices;
    indices.reserve(deltas.size());
    uint32_t bitCount = 0;
    uint32_t previous = 0;
    for (size_t i = 0; i < deltas.size(); ++i) {
        // Modular sums: a negative total shows up as a huge count and fails the check.
        bitCount += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(deltas[i])));
        if (bitCount > kMaxCompressedValueBits)
            throw std::runtime_error("readCompressedIndiceArray: bit count out of range");
        const uint32_t difference = static_cast<uint32_t>(readSignAndMagnitude(reader, bitCount));
        const uint32_t index = i == 0 ? difference : previous + difference;
        if (i > 0 && static_cast<int32_t>(index) < 0)
            throw std::runtime_error("readCompressedIndiceArray: negative index");
        indices.push_back(index);
        previous = index;
    }
    return indices;
}
