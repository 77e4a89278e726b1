// Cursor over the bit container of a Huffman-compressed array: bit i is bit (i mod 8),
// counted from the least significant, of byte i / 8, and the first bit of a read is
// the least significant of its value.
#pragma once

#include <cstdint>

class LsbBitFieldReader {
public:
    // data must hold at least (bitCount + 7) / 8 bytes and outlive the reader.
    LsbBitFieldReader(const uint8_t* data, uint64_t bitCount) : data_(data), bitCount_(bitCount) {}

    // Reads count bits (0 to 32). Throws "LsbBitFieldReader: more than 32 bits requested"
    // or "LsbBitFieldReader: bit field exhausted".
    uint32_t readBits(uint32_t count);
    // The same without moving.
    uint32_t peekBits(uint32_t count) const;
    void skipBits(uint32_t count);

    uint64_t position() const { return position_; }
    uint64_t bitCount() const { return bitCount_; }
    uint64_t bitsLeft() const { return bitCount_ - position_; }

private:
    const uint8_t* data_;
    uint64_t bitCount_;
    uint64_t position_ = 0;
};
