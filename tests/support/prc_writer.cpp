#include "tests/support/prc_writer.h"

#include "prc/bits/frequent_double_table.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <map>
#include <stdexcept>
#include <unordered_map>

namespace {

constexpr uint32_t kLastVersionWithoutGraphicsExtension = 8137;

// The codes of the frequent-double table by value and by exponent.
struct DoubleCodes {
    const FrequentDoubleEntry* zero = nullptr;
    std::unordered_map<uint64_t, const FrequentDoubleEntry*> valueByBits;
    std::array<const FrequentDoubleEntry*, 2048> exponent{};
};

const DoubleCodes& doubleCodes()
{
    static const DoubleCodes codes = [] {
        DoubleCodes result;
        for (const FrequentDoubleEntry& entry : kFrequentDoubleTable) {
            if (entry.kind == FrequentDoubleKind::Value) {
                if (entry.bits == 0)
                    result.zero = &entry;
                else
                    result.valueByBits.emplace(entry.bits, &entry);
            } else {
                const FrequentDoubleEntry*& slot = result.exponent[(entry.bits >> 52) & 0x7FF];
                if (slot == nullptr)
                    slot = &entry;
            }
        }
        return result;
    }();
    return codes;
}

uint32_t reverseBits(uint32_t value, uint32_t count)
{
    uint32_t reversed = 0;
    for (uint32_t i = 0; i < count; ++i) {
        reversed = reversed << 1 | (value & 1);
        value >>= 1;
    }
    return reversed;
}

uint32_t bitLength(uint64_t value)
{
    return static_cast<uint32_t>(std::bit_width(value));
}

void appendU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void appendUid(std::vector<uint8_t>& out, const PrcUid& uid)
{
    for (const uint32_t word : uid)
        appendU32(out, word);
}

// The element as the Huffman table holds it: the low bits, sign-extended when signed.
uint32_t huffmanElement(uint32_t value, uint32_t numBitsPerElem, bool signedValues)
{
    uint32_t element = numBitsPerElem >= 32 ? value : value & ((1u << numBitsPerElem) - 1);
    if (signedValues && numBitsPerElem > 0 && numBitsPerElem < 32 && (element >> (numBitsPerElem - 1) & 1) != 0)
        element |= ~0u << numBitsPerElem;
    return element;
}

template <typename T>
std::vector<uint32_t> huffmanElements(const std::vector<T>& values, const PrcArrayEncoding& encoding)
{
    std::vector<uint32_t> elements;
    for (const T value : values) {
        const uint32_t element = huffmanElement(value, encoding.numBitsPerElem, encoding.signedValues);
        if (static_cast<T>(element) != value)
            throw std::invalid_argument("value does not fit numBitsPerElem");
        elements.push_back(element);
    }
    return elements;
}

} // namespace

BitArray bitsFromString(std::string_view text)
{
    BitArray bits;
    for (const char c : text)
        if (c == '0' || c == '1')
            bits.push_back(c == '1');
    return bits;
}

std::vector<uint8_t> bytesFromBitString(std::string_view text)
{
    PrcBitWriter writer;
    writer.writeBitString(text);
    return writer.bytes();
}

void PrcBitWriter::writeBoolean(bool value)
{
    if (bitCount_ % 8 == 0)
        bytes_.push_back(0);
    if (value)
        bytes_.back() |= static_cast<uint8_t>(0x80 >> (bitCount_ % 8));
    ++bitCount_;
}

void PrcBitWriter::writeBits(uint32_t value, int count)
{
    if (count < 0 || count > 32)
        throw std::invalid_argument("writeBits: count out of range");
    for (int bit = count - 1; bit >= 0; --bit)
        writeBoolean((value >> bit) & 1);
}

void PrcBitWriter::writeBitString(std::string_view text)
{
    const BitArray bits = bitsFromString(text);
    for (uint64_t i = 0; i < bits.size(); ++i)
        writeBoolean(bits[i]);
}

void PrcBitWriter::writeByteArray(const std::vector<uint8_t>& bytes)
{
    for (const uint8_t byte : bytes)
        writeBits(byte, 8);
}

void PrcBitWriter::writeUnsignedInteger(uint32_t value)
{
    while (value != 0) {
        writeBoolean(true);
        writeBits(value & 0xFF, 8);
        value >>= 8;
    }
    writeBoolean(false);
}

void PrcBitWriter::writeInteger(int32_t value)
{
    // Low bytes first, until the rest is only sign and the last byte's top bit shows it.
    for (int32_t rest = value; value != 0;) {
        const uint32_t byte = static_cast<uint32_t>(rest) & 0xFF;
        writeBoolean(true);
        writeBits(byte, 8);
        rest >>= 8; // arithmetic: 0 or -1 once the value is used up
        const bool topBit = (byte & 0x80) != 0;
        if ((rest == 0 && !topBit) || (rest == -1 && topBit))
            break;
    }
    writeBoolean(false);
}

void PrcBitWriter::writeDouble(double value)
{
    const DoubleCodes& codes = doubleCodes();
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const auto writeCode = [this](const FrequentDoubleEntry& entry) { writeBits(entry.code, entry.length); };
    if (bits == 0) {
        writeCode(*codes.zero);
        return;
    }
    const bool negative = (bits >> 63) != 0;
    const uint64_t magnitude = bits & ~(uint64_t{1} << 63);
    if (const auto found = codes.valueByBits.find(magnitude); found != codes.valueByBits.end()) {
        writeCode(*found->second);
        writeBoolean(negative);
        return;
    }
    const uint32_t exponent = static_cast<uint32_t>(magnitude >> 52);
    const uint64_t mantissa = magnitude & ((uint64_t{1} << 52) - 1);
    writeCode(*codes.exponent[exponent]);
    writeBoolean(negative);
    writeBoolean(mantissa != 0);
    if (mantissa == 0)
        return;
    writeBits(static_cast<uint32_t>(mantissa >> 48), 4);

    uint8_t image[8];
    for (int i = 0; i < 8; ++i)
        image[i] = static_cast<uint8_t>(bits >> (8 * i));
    for (int pos = 5; pos >= 0; --pos) {
        const auto repeatsDownTo = [&](int last) {
            for (int p = pos; p >= last; --p)
                if (image[p] != image[pos + 1])
                    return false;
            return true;
        };
        if (repeatsDownTo(0)) {
            writeBitString("0 000");
            return;
        }
        if (pos >= 1 && repeatsDownTo(1)) {
            writeBitString("0 110");
            writeBits(image[0], 8);
            return;
        }
        int distance = 0;
        for (int d = 1; d <= 7 && pos + d <= 7; ++d)
            if (d != 6 && image[pos + d] == image[pos]) {
                distance = d;
                break;
            }
        if (distance != 0) {
            writeBoolean(false);
            writeBits(static_cast<uint32_t>(distance), 3);
        } else {
            writeBoolean(true);
            writeBits(image[pos], 8);
        }
    }
}

void PrcBitWriter::writeString(std::string_view text)
{
    writeBoolean(!text.empty());
    if (text.empty())
        return;
    writeUnsignedInteger(static_cast<uint32_t>(text.size()));
    for (const char c : text)
        writeBits(static_cast<uint8_t>(c), 8);
}

void PrcBitWriter::writeGraphics(const PrcGraphicsBlock& graphics, uint32_t version)
{
    writeBoolean(graphics.sameAsCurrent);
    if (!graphics.sameAsCurrent) {
        writeUnsignedInteger(graphics.layer + 1);
        writeUnsignedInteger(graphics.lineStyle + 1);
        writeBits(graphics.behaviour & 0xFF, 8);
        writeBits(graphics.behaviour >> 8, 8);
    }
    if (version > kLastVersionWithoutGraphicsExtension) {
        writeUnsignedInteger(static_cast<uint32_t>(graphics.extensionPairs.size()));
        for (const auto& [first, second] : graphics.extensionPairs) {
            writeUnsignedInteger(first);
            writeUnsignedInteger(second);
        }
    }
}

void PrcBitWriter::writeUnsignedIntegerWithVariableBitNumber(uint32_t value)
{
    const uint32_t width = bitLength(value);
    if (width > 31)
        throw std::invalid_argument("writeUnsignedIntegerWithVariableBitNumber: width");
    writeBits(width, 5);
    writeBits(value, static_cast<int>(width));
}

void PrcBitWriter::append(const PrcBitWriter& other)
{
    for (uint64_t i = 0; i < other.bitCount_; ++i)
        writeBoolean((other.bytes_[i / 8] >> (7 - i % 8)) & 1);
}

void LsbBitFieldWriter::writeBits(uint32_t value, uint32_t count)
{
    if (count > 32)
        throw std::invalid_argument("LsbBitFieldWriter: count out of range");
    for (uint32_t i = 0; i < count; ++i) {
        if (bitCount_ % 8 == 0)
            bytes_.push_back(0);
        if ((value >> i) & 1)
            bytes_.back() |= static_cast<uint8_t>(1u << (bitCount_ % 8));
        ++bitCount_;
    }
}

namespace {

// One code of a Huffman table. code holds the bits in the order they appear in the
// element data, the first in bit 0 (the field of the table entry stores them reversed).
struct HuffmanCodeEntry {
    uint32_t value;
    uint32_t length;
    uint32_t code;
};

// A prefix-free code with codes of two lengths: the most frequent value gets 0, every
// other value 1 followed by its rank in as few bits as the ranks need.
std::vector<HuffmanCodeEntry> computeHuffmanCode(const std::vector<uint32_t>& values)
{
    std::map<uint32_t, uint64_t> frequencies;
    for (const uint32_t value : values)
        ++frequencies[value];
    std::vector<std::pair<uint64_t, uint32_t>> ranked; // (frequency, value), most frequent first
    for (const auto& [value, frequency] : frequencies)
        ranked.push_back({frequency, value});
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<HuffmanCodeEntry> code;
    const uint32_t rankBits = ranked.size() > 2 ? bitLength(ranked.size() - 2) : 0;
    for (uint32_t rank = 0; rank < ranked.size(); ++rank)
        code.push_back(rank == 0 ? HuffmanCodeEntry{ranked[0].second, 1, 0}
                                 : HuffmanCodeEntry{ranked[rank].second, 1 + rankBits,
                                                    1 | reverseBits(rank - 1, rankBits) << 1});
    return code;
}

// Table and elements into a bit field; every value must have a code in the table.
void writeHuffmanBitField(LsbBitFieldWriter& field, const std::vector<uint32_t>& values, uint8_t numBitsPerElem,
                          const std::vector<HuffmanCodeEntry>& code, const HuffmanOptions& options)
{
    if (numBitsPerElem >= 32 || code.size() >= (uint64_t{1} << (numBitsPerElem + 1)))
        throw std::invalid_argument("writeHuffmanBitField: too many table entries");
    uint32_t maxLength = 0;
    std::unordered_map<uint32_t, const HuffmanCodeEntry*> byValue;
    for (const HuffmanCodeEntry& entry : code) {
        maxLength = std::max(maxLength, entry.length);
        byValue.emplace(entry.value, &entry);
    }
    const uint32_t lengthBits = options.lengthFieldsUseMaxCodeLength ? maxLength : 8;
    field.writeBits(static_cast<uint32_t>(code.size()), numBitsPerElem + 1u);
    field.writeBits(maxLength, 8);
    for (const HuffmanCodeEntry& entry : code) {
        field.writeBits(entry.value, numBitsPerElem);
        field.writeBits(entry.length, lengthBits);
        field.writeBits(reverseBits(entry.code, entry.length), entry.length);
    }
    field.writeBits(static_cast<uint32_t>(values.size()), 32);
    for (const uint32_t value : values) {
        const auto found = byValue.find(value);
        if (found == byValue.end())
            throw std::invalid_argument("writeHuffmanBitField: value without a code");
        field.writeBits(found->second->code, found->second->length);
    }
}

// huffman_array_size, the words of the field and, for raw words, the bits used in the last.
void writeHuffmanWords(PrcBitWriter& writer, const LsbBitFieldWriter& field, const HuffmanOptions& options)
{
    const uint64_t wordCount = (field.bitCount() + 31) / 32;
    writer.writeUnsignedInteger(static_cast<uint32_t>(wordCount));
    if (wordCount == 0)
        return;
    std::vector<uint8_t> bytes = field.bytes();
    bytes.resize(wordCount * 4, 0);
    if (options.rawWords) {
        writer.writeByteArray(bytes);
        writer.writeUnsignedInteger(static_cast<uint32_t>(field.bitCount() - 32 * (wordCount - 1)));
        return;
    }
    for (uint64_t i = 0; i < wordCount; ++i)
        writer.writeUnsignedInteger(static_cast<uint32_t>(bytes[4 * i]) | static_cast<uint32_t>(bytes[4 * i + 1]) << 8 |
                                    static_cast<uint32_t>(bytes[4 * i + 2]) << 16 |
                                    static_cast<uint32_t>(bytes[4 * i + 3]) << 24);
}

} // namespace

void writeHuffmanCompressedArray(PrcBitWriter& writer, const std::vector<uint32_t>& values, uint8_t numBitsPerElem,
                                 const HuffmanOptions& options)
{
    LsbBitFieldWriter field;
    writeHuffmanBitField(field, values, numBitsPerElem, computeHuffmanCode(values), options);
    writeHuffmanWords(writer, field, options);
}

namespace {

// The compression flag, then Huffman-coded elements or a count and whole bytes, the
// low byte first.
template <typename T>
void writeSmallArray(PrcBitWriter& writer, const std::vector<T>& values, const PrcArrayEncoding& encoding)
{
    if (encoding.writeFlag)
        writer.writeBoolean(encoding.compressed);
    if (encoding.compressed) {
        writeHuffmanCompressedArray(writer, huffmanElements(values, encoding),
                                    static_cast<uint8_t>(encoding.numBitsPerElem), encoding.options);
        return;
    }
    writer.writeUnsignedInteger(static_cast<uint32_t>(values.size()));
    for (const T value : values)
        for (size_t byte = 0; byte < sizeof(T); ++byte)
            writer.writeBits(value >> (8 * byte) & 0xFF, 8);
}

} // namespace

void writeCharacterArray(PrcBitWriter& writer, const std::vector<uint8_t>& values, const PrcArrayEncoding& encoding)
{
    writeSmallArray(writer, values, encoding);
}

void writeShortArray(PrcBitWriter& writer, const std::vector<uint16_t>& values, const PrcArrayEncoding& encoding)
{
    writeSmallArray(writer, values, encoding);
}

namespace {

// The sign bit and bitCount - 1 magnitude bits.
void writeSignAndMagnitude(PrcBitWriter& writer, int32_t value, uint32_t bitCount)
{
    const uint64_t magnitude = value < 0 ? uint64_t{0} - static_cast<int64_t>(value) : static_cast<uint64_t>(value);
    const uint32_t magnitudeBits = bitCount > 0 ? bitCount - 1 : 0;
    if (bitCount > 32 || bitLength(magnitude) > magnitudeBits)
        throw std::invalid_argument("writeSignAndMagnitude: value does not fit");
    writer.writeBoolean(value < 0);
    writer.writeBits(static_cast<uint32_t>(magnitude), static_cast<int>(magnitudeBits));
}

// Sign bit plus the magnitude's bits.
uint32_t signAndMagnitudeBits(int64_t value)
{
    return 1 + bitLength(static_cast<uint64_t>(value < 0 ? -value : value));
}

} // namespace

void writeCompressedIntegerArray(PrcBitWriter& writer, const std::vector<int32_t>& values, bool compressCounts,
                                 const HuffmanOptions& options)
{
    std::vector<uint8_t> counts;
    for (const int32_t value : values) {
        const uint32_t count = signAndMagnitudeBits(value);
        if (count > 32)
            throw std::invalid_argument("writeCompressedIntegerArray: value has no encoding");
        counts.push_back(static_cast<uint8_t>(count));
    }
    PrcArrayEncoding encoding;
    encoding.compressed = compressCounts;
    encoding.numBitsPerElem = 6;
    encoding.signedValues = true;
    encoding.options = options;
    writeCharacterArray(writer, counts, encoding);
    for (size_t i = 0; i < values.size(); ++i)
        writeSignAndMagnitude(writer, values[i], counts[i]);
}

void writeCompressedIndiceArray(PrcBitWriter& writer, const std::vector<int32_t>& indices,
                                const PrcArrayEncoding& deltaEncoding)
{
    PrcArrayEncoding encoding = deltaEncoding;
    encoding.signedValues = true;
    const uint32_t deltaBits = encoding.compressed ? encoding.numBitsPerElem : 8;
    if (deltaBits == 0 || deltaBits > 8)
        throw std::invalid_argument("writeCompressedIndiceArray: numBitsPerElem out of range");
    const int32_t lowest = -(1 << (deltaBits - 1));
    std::vector<uint8_t> deltas;
    std::vector<uint32_t> bitCounts;
    std::vector<int32_t> differences;
    uint32_t bits = 0;
    for (size_t i = 0; i < indices.size(); ++i) {
        const int64_t difference = i == 0 ? indices[0] : int64_t{indices[i]} - indices[i - 1];
        if (difference <= INT32_MIN || difference > INT32_MAX)
            throw std::invalid_argument("writeCompressedIndiceArray: difference has no encoding");
        // More bits than needed are harmless, so a step down larger than a delta can
        // hold just keeps some.
        const int32_t delta = std::max(static_cast<int32_t>(signAndMagnitudeBits(difference)) - static_cast<int32_t>(bits),
                                       i == 0 ? 0 : lowest);
        bits += static_cast<uint32_t>(delta);
        deltas.push_back(static_cast<uint8_t>(delta));
        bitCounts.push_back(bits);
        differences.push_back(static_cast<int32_t>(difference));
    }
    writeCharacterArray(writer, deltas, encoding);
    for (size_t i = 0; i < indices.size(); ++i)
        writeSignAndMagnitude(writer, differences[i], bitCounts[i]);
}

std::vector<uint8_t> compressSection(const std::vector<uint8_t>& bytes)
{
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        throw std::runtime_error("compressSection: compress2 failed");
    out.resize(size);
    return out;
}

std::vector<uint8_t> zlibStreamOfZeros(uint32_t mebibytes, const std::vector<uint8_t>& before)
{
    if (mebibytes < 2)
        throw std::invalid_argument("zlibStreamOfZeros: at least 2 MiB");
    const std::vector<uint8_t> zeros(1 << 20, 0);
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, 15, 9, Z_RLE) != Z_OK)
        throw std::runtime_error("zlibStreamOfZeros: deflateInit2 failed");
    const auto run = [&](const std::vector<uint8_t>& input, int flush) {
        std::vector<uint8_t> piece;
        std::vector<uint8_t> buffer(1 << 16);
        stream.next_in = const_cast<Bytef*>(input.data());
        stream.avail_in = flush == Z_FINISH ? 0 : static_cast<uInt>(input.size());
        do {
            stream.next_out = buffer.data();
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            piece.insert(piece.end(), buffer.data(), stream.next_out);
        } while (stream.avail_out == 0);
        return piece;
    };
    std::vector<uint8_t> out = run(before.empty() ? zeros : before, Z_FULL_FLUSH); // with the zlib header
    const std::vector<uint8_t> block = run(zeros, Z_FULL_FLUSH); // refers to nothing before it
    for (uint32_t i = before.empty() ? 1 : 0; i < mebibytes; ++i)
        out.insert(out.end(), block.begin(), block.end());
    std::vector<uint8_t> end = run({}, Z_FINISH);
    deflateEnd(&stream);
    // The checksum of n zeros: sums 1 and n mod 65521.
    const uint64_t zeroBytes = uint64_t{mebibytes} << 20;
    const uLong ofZeros = static_cast<uLong>(zeroBytes % 65521) << 16 | 1;
    const uLong sum = adler32_combine(adler32(1, before.data(), static_cast<uInt>(before.size())), ofZeros,
                                      static_cast<z_off_t>(zeroBytes));
    end.resize(end.size() - 4);
    end.insert(end.end(), {static_cast<uint8_t>(sum >> 24), static_cast<uint8_t>(sum >> 16),
                           static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)});
    out.insert(out.end(), end.begin(), end.end());
    return out;
}

std::vector<uint8_t> fileStructureHeaderBytes(uint32_t minimalVersionForRead, uint32_t authoringVersion,
                                              const PrcUid& uid, const PrcUid& applicationUid)
{
    std::vector<uint8_t> out{'P', 'R', 'C'};
    appendU32(out, minimalVersionForRead);
    appendU32(out, authoringVersion);
    appendUid(out, uid);
    appendUid(out, applicationUid);
    appendU32(out, 0); // embedded files
    return out;
}

std::vector<uint8_t> prcFileBytes(const PrcFileLayout& layout)
{
    // "PRC", versions, uids, count, model file offsets; per file structure its uid,
    // reserved word, count and offsets.
    uint64_t headerSize = 3 + 2 * 4 + 2 * 16 + 4 + 2 * 4;
    for (const PrcFileLayout::FileStructure& structure : layout.fileStructures)
        headerSize += 16 + 2 * 4 + 4 * structure.blocks.size();
    std::vector<uint8_t> out{'P', 'R', 'C'};
    appendU32(out, layout.minimalVersionForRead);
    appendU32(out, layout.authoringVersion);
    appendUid(out, layout.fileStructureUid);
    appendUid(out, layout.applicationUid);
    appendU32(out, static_cast<uint32_t>(layout.fileStructures.size()));
    uint64_t offset = headerSize;
    for (const PrcFileLayout::FileStructure& structure : layout.fileStructures) {
        appendUid(out, structure.uid);
        appendU32(out, structure.reserved);
        appendU32(out, static_cast<uint32_t>(structure.blocks.size()));
        for (const std::vector<uint8_t>& block : structure.blocks) {
            appendU32(out, static_cast<uint32_t>(offset));
            offset += block.size();
        }
    }
    appendU32(out, static_cast<uint32_t>(offset));
    appendU32(out, static_cast<uint32_t>(offset + layout.modelFile.size()));
    for (const PrcFileLayout::FileStructure& structure : layout.fileStructures)
        for (const std::vector<uint8_t>& block : structure.blocks)
            out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), layout.modelFile.begin(), layout.modelFile.end());
    return out;
}
