// Test-only PRC encoders: a bit writer with the inverse of every primitive of
// PRCBitReader, the compressed arrays, zlib sections and whole PRC files. Never linked
// into the workers.
#pragma once

#include "prc/bits/huffman_array.h"
#include "prc/bits/prc_bit_reader.h"
#include "prc/container/prc_file_header.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Bits written as text: '0' and '1' are bits, every other character (spaces, dots) is
// ignored: "1 00000101 0" is ten bits.
std::vector<bool> bitsFromString(std::string_view text);
// The bits of the text packed most significant first, the last byte padded with zeros.
std::vector<uint8_t> bytesFromBitString(std::string_view text);

// A reader over bytes it keeps: from a bit text ("1 00000101 0", zero-padded to a
// byte) or from a writer.
struct PrcBitInput {
    explicit PrcBitInput(std::vector<uint8_t> data, uint32_t version = kPrcVersionUnknown)
        : bytes(std::move(data)), reader(bytes, version)
    {
    }
    explicit PrcBitInput(std::string_view bits, uint32_t version = kPrcVersionUnknown)
        : PrcBitInput(bytesFromBitString(bits), version)
    {
    }
    PrcBitInput(const PrcBitInput&) = delete;
    PrcBitInput& operator=(const PrcBitInput&) = delete;

    std::vector<uint8_t> bytes;
    PRCBitReader reader;
};

// A graphics block as written: the flag, and unless it says "same as current" the
// layer, line style and behaviour; the extension pairs follow for versions above 8137.
struct PrcGraphicsBlock {
    bool sameAsCurrent = false;
    uint32_t layer = 0xFFFFFFFF; // stored as layer + 1, so "none" is stored as 0
    uint32_t lineStyle = 0xFFFFFFFF;
    uint16_t behaviour = 1;
    std::vector<std::pair<uint32_t, uint32_t>> extensionPairs;
};

// Bits appended most significant first, bytes in increasing order.
class PrcBitWriter {
public:
    PrcBitWriter() = default;
    // Starts with the bits of a text.
    explicit PrcBitWriter(std::string_view bits) { writeBitString(bits); }

    void writeBoolean(bool value);
    // The low count bits of value (count 0 to 32), the most significant first.
    void writeBits(uint32_t value, int count);
    void writeBitString(std::string_view text);
    void writeByteArray(const std::vector<uint8_t>& bytes); // 8 bits each
    void writeUnsignedInteger(uint32_t value);
    void writeInteger(int32_t value);
    // Any double, NaN payloads and -0.0 included, bit-exact on reading back: a frequent
    // value by its code, otherwise exponent code, sign and the byte-copy coded mantissa.
    void writeDouble(double value);
    // An empty text is written as the flag 0 alone.
    void writeString(std::string_view text);
    void writeGraphics(const PrcGraphicsBlock& graphics, uint32_t version);
    // The smallest width that holds value (5 bits), then value in that many bits.
    void writeUnsignedIntegerWithVariableBitNumber(uint32_t value);
    void writeUnsignedIntegerWithVariableBitNumber(uint32_t value, uint32_t width);
    void append(const PrcBitWriter& other);

    uint64_t bitCount() const { return bitCount_; }
    // The bits, the last byte padded with zeros.
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    // The bits as '0'/'1' text, for comparisons and failure messages.
    std::string bitString() const;

private:
    std::vector<uint8_t> bytes_;
    uint64_t bitCount_ = 0;
};

// The bit container of a Huffman-compressed array: bits least significant first.
class LsbBitFieldWriter {
public:
    void writeBits(uint32_t value, uint32_t count); // count 0 to 32, bit 0 first
    uint64_t bitCount() const { return bitCount_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    uint64_t bitCount_ = 0;
};

// One code of a Huffman table. code holds the bits in the order they appear in the
// element data, the first in bit 0 (the field of the table entry stores them reversed).
struct HuffmanCodeEntry {
    uint32_t value;
    uint32_t length;
    uint32_t code;
};

// A prefix-free code from the frequencies of the values (one value gets a 1-bit code).
std::vector<HuffmanCodeEntry> computeHuffmanCode(const std::vector<uint32_t>& values);

// Table and elements into a bit field; every value must have a code in the table.
void writeHuffmanBitField(LsbBitFieldWriter& field, const std::vector<uint32_t>& values, uint8_t numBitsPerElem,
                          const std::vector<HuffmanCodeEntry>& code, const HuffmanOptions& options);
// huffman_array_size, the words of the field and, for raw words, the bits used in the last.
void writeHuffmanWords(PrcBitWriter& writer, const LsbBitFieldWriter& field, const HuffmanOptions& options);
// Both: a whole Huffman-compressed array. An empty code is computed from the values.
void writeHuffmanCompressedArray(PrcBitWriter& writer, const std::vector<uint32_t>& values, uint8_t numBitsPerElem,
                                 const std::vector<HuffmanCodeEntry>& code, const HuffmanOptions& options);

// How a character or short array is stored.
struct PrcArrayEncoding {
    bool writeFlag = true;   // write the compression flag (else the reader assumes it)
    bool compressed = false; // Huffman-compressed, otherwise plain bytes
    uint32_t numBitsPerElem = 8;
    bool signedValues = false;
    HuffmanOptions options{};
    std::vector<HuffmanCodeEntry> code{}; // empty: computed from the values
};

void writeCharacterArray(PrcBitWriter& writer, const std::vector<uint8_t>& values, const PrcArrayEncoding& encoding);
void writeShortArray(PrcBitWriter& writer, const std::vector<uint16_t>& values, const PrcArrayEncoding& encoding);
// The bit counts go into a character array of 6-bit signed values (compressed unless
// compressCounts is false, plain counts allow 32 bits); INT32_MIN has no encoding.
void writeCompressedIntegerArray(PrcBitWriter& writer, const std::vector<int32_t>& values, bool compressCounts = true,
                                 const HuffmanOptions& options = {});
// Indices as bit-count deltas and differences; deltas go into a signed character array
// with the given encoding (signedValues is forced).
void writeCompressedIndiceArray(PrcBitWriter& writer, const std::vector<int32_t>& indices,
                                const PrcArrayEncoding& deltaEncoding);
// The sign bit and bitCount - 1 magnitude bits.
void writeSignAndMagnitude(PrcBitWriter& writer, int32_t value, uint32_t bitCount);

// A zlib stream with header, as deflate writes it.
std::vector<uint8_t> compressSection(const std::vector<uint8_t>& bytes, int level = -1);
// A zlib stream of mebibytes MiB of zeros (at least 2), built from one fully flushed
// block repeated, so that even a gigabyte costs about a megabyte and no compression time.
std::vector<uint8_t> zlibStreamOfZeros(uint32_t mebibytes);

// The PRC file header as stored (number_of_file_structures and number_of_offsets are
// taken from the vectors).
std::vector<uint8_t> prcFileHeaderBytes(const PrcFileHeader& header);
// The uncompressed header at the first offset of a file structure: "PRC", the two
// versions, the uids and an empty list of embedded files.
std::vector<uint8_t> fileStructureHeaderBytes(uint32_t minimalVersionForRead, uint32_t authoringVersion,
                                              const PrcUid& uid, const PrcUid& applicationUid);

// A whole PRC file: the file header, then the blocks of every file structure in order
// (each block opens one section offset), then the ModelFile section.
class PrcFileBuilder {
public:
    uint32_t minimalVersionForRead = 8137;
    uint32_t authoringVersion = 8137;
    PrcUid fileStructureUid{};
    PrcUid applicationUid{};

    // Returns the file structure's index.
    size_t addFileStructure(const PrcUid& uid, uint32_t reserved = 0);
    // A block stored as given, such as the file structure header or broken data.
    void addRawBlock(size_t fileStructure, std::vector<uint8_t> bytes);
    // A section given uncompressed (usually PrcBitWriter::bytes()), stored compressed.
    void addSection(size_t fileStructure, const std::vector<uint8_t>& uncompressed);
    void setModelFile(const std::vector<uint8_t>& uncompressed);
    void setRawModelFile(std::vector<uint8_t> stored);

    std::vector<uint8_t> build() const;
    // The header that build() writes, with every offset filled in.
    PrcFileHeader header() const;

private:
    struct FileStructure {
        PrcUid uid;
        uint32_t reserved;
        std::vector<std::vector<uint8_t>> blocks;
    };
    std::vector<FileStructure> fileStructures_;
    std::vector<uint8_t> modelFile_;
};
