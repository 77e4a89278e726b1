// Cursor over the bit container of a Huffman-compressed array: bit i is bit (i mod 8),
// counted from the least significant, of byte i / 8, and the first bit of a read is
// the least significant of its value.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The eight bytes at bytes, the first the least significant, as one load.
inline uint64_t littleEndianWord(const uint8_t* bytes)
{
    uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// The low count (1 to 32) bits of value in the opposite order: what one bit order reads
// as value, the other reads as this.
inline uint32_t reverseLowBits(uint32_t value, uint32_t count)
{
    value = (value >> 1 & 0x55555555u) | (value & 0x55555555u) << 1;
    value = (value >> 2 & 0x33333333u) | (value & 0x33333333u) << 2;
    value = (value >> 4 & 0x0F0F0F0Fu) | (value & 0x0F0F0F0Fu) << 4;
    value = (value >> 8 & 0x00FF00FFu) | (value & 0x00FF00FFu) << 8;
    value = value >> 16 | value << 16;
    return static_cast<uint32_t>(uint64_t{value} >> (32 - count));
}

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
    // A position from position() of this reader, or any up to the end.
    void setPosition(uint64_t position) { position_ = position < bitCount_ ? position : bitCount_; }
    const uint8_t* data() const { return data_; }
    uint64_t bitCount() const { return bitCount_; }
    uint64_t bitsLeft() const { return bitCount_ - position_; }

private:
    [[noreturn]] static void throwTooWide();
    [[noreturn]] static void throwExhausted();

    const uint8_t* data_;
    uint64_t bitCount_;
    uint64_t position_ = 0;
};

// Inline: the Huffman decoder peeks and skips once per element.
inline uint32_t LsbBitFieldReader::peekBits(uint32_t count) const
{
    constexpr uint32_t kMaxReadBits = 32;
    if (count > kMaxReadBits)
        throwTooWide();
    if (count > bitsLeft())
        throwExhausted();
    // Gather whole bytes from the first one touched, then drop the leading bits.
    uint64_t window = 0;
    const uint64_t firstByte = position_ / 8;
    const uint32_t skip = static_cast<uint32_t>(position_ % 8);
    if (firstByte + sizeof window <= (bitCount_ + 7) / 8) {
        window = littleEndianWord(data_ + firstByte);
    } else {
        const uint32_t bytes = (skip + count + 7) / 8; // at most 5
        for (uint32_t i = 0; i < bytes; ++i)
            window |= static_cast<uint64_t>(data_[firstByte + i]) << (8 * i);
    }
    window >>= skip;
    return count == kMaxReadBits ? static_cast<uint32_t>(window)
                                 : static_cast<uint32_t>(window & ((uint64_t{1} << count) - 1));
}

inline void LsbBitFieldReader::skipBits(uint32_t count)
{
    if (count > bitsLeft())
        throwExhausted();
    position_ += count;
}

inline uint32_t LsbBitFieldReader::readBits(uint32_t count)
{
    const uint32_t value = peekBits(count);
    position_ += count;
    return value;
}
