// Test-only PRC encoders: a bit writer with the inverse of every primitive of
// PRCBitReader, the compressed arrays, zlib sections and whole PRC files. Never linked
// into the workers.
#pragma once

#include "prc/bits/bit_array.h"
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
BitArray bitsFromString(std::string_view text);
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
    void append(const PrcBitWriter& other);

    uint64_t bitCount() const { return bitCount_; }
    // The bits, the last byte padded with zeros.
    const std::vector<uint8_t>& bytes() const { return bytes_; }

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

// How a character or short array is stored; Huffman codes are computed from the values.
struct PrcArrayEncoding {
    bool writeFlag = true;   // write the compression flag (else the reader assumes it)
    bool compressed = false; // Huffman-compressed, otherwise plain bytes
    uint32_t numBitsPerElem = 8;
    bool signedValues = false;
    HuffmanOptions options{};
};

void writeCharacterArray(PrcBitWriter& writer, const std::vector<uint8_t>& values, const PrcArrayEncoding& encoding);
void writeShortArray(PrcBitWriter& writer, const std::vector<uint16_t>& values, const PrcArrayEncoding& encoding);
// A whole Huffman-compressed array with a code made for the values.
void writeHuffmanCompressedArray(PrcBitWriter& writer, const std::vector<uint32_t>& values, uint8_t numBitsPerElem,
                                 const HuffmanOptions& options);
// The bit counts go into a character array of 6-bit signed values (compressed unless
// compressCounts is false, plain counts allow 32 bits); INT32_MIN has no encoding.
void writeCompressedIntegerArray(PrcBitWriter& writer, const std::vector<int32_t>& values, bool compressCounts = true,
                                 const HuffmanOptions& options = {});
// Indices as bit-count deltas and differences; deltas go into a signed character array
// with the given encoding (signedValues is forced).
void writeCompressedIndiceArray(PrcBitWriter& writer, const std::vector<int32_t>& indices,
                                const PrcArrayEncoding& deltaEncoding);

// A zlib stream with header, as deflate writes it.
std::vector<uint8_t> compressSection(const std::vector<uint8_t>& bytes);
// A zlib stream of the bytes before, then mebibytes MiB of zeros (at least 2), built from
// one fully flushed block repeated, so that even a gigabyte costs about a megabyte and no
// compression time.
std::vector<uint8_t> zlibStreamOfZeros(uint32_t mebibytes, const std::vector<uint8_t>& before = {});

// The uncompressed header at the first offset of a file structure: "PRC", the two
// versions, the uids and an empty list of embedded files.
std::vector<uint8_t> fileStructureHeaderBytes(uint32_t minimalVersionForRead, uint32_t authoringVersion,
                                              const PrcUid& uid, const PrcUid& applicationUid);

// A whole PRC file: the file header, then the blocks of every file structure in order
// (each block opens one section offset), then the ModelFile section, all stored as given.
struct PrcFileLayout {
    struct FileStructure {
        PrcUid uid{};
        uint32_t reserved = 0;
        std::vector<std::vector<uint8_t>> blocks;
    };
    uint32_t minimalVersionForRead = 8137;
    uint32_t authoringVersion = 8137;
    PrcUid fileStructureUid{};
    PrcUid applicationUid{};
    std::vector<FileStructure> fileStructures;
    std::vector<uint8_t> modelFile;
};

std::vector<uint8_t> prcFileBytes(const PrcFileLayout& layout);
