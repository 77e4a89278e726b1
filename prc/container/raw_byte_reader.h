// Little-endian cursor over the uncompressed bytes of a PRC file.
#pragma once

#include <cstddef>
#include <cstdint>

class RawByteReader {
public:
    RawByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // Throws "RawByteReader: read past end (u32)" when fewer than four bytes remain.
    uint32_t readU32();

    size_t position() const { return position_; }
    size_t bytesLeft() const { return size_ - position_; }
    void setPosition(size_t position) { position_ = position < size_ ? position : size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};
