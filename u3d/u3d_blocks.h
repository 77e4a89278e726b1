// Reading U3D blocks without the library, on the library's block framing: a block is
// a u32 type, a u32 data size and a u32 metadata size (little-endian), then the data
// and the metadata, each padded to a multiple of 4 bytes.
#pragma once

#include "u3dlib/block_framing.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct U3dBlock {
    uint32_t type = 0;
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
};

// Walks the blocks of a byte range in order. Stops at the first block whose header or
// data does not fit in the range; only the meta data of the last block may run past it.
class U3dBlockCursor {
public:
    U3dBlockCursor(const uint8_t* data, size_t size) : bytes_(data, data ? size : 0), cursor_(bytes_) {}
    bool next(U3dBlock& block);

private:
    std::span<const uint8_t> bytes_;
    u3dlib::BlockCursor cursor_;
    bool lastHandedOut_ = false;
};

// Little-endian reads inside one block's data; every read past the end fails and
// leaves the reader failed.
class U3dDataReader {
public:
    U3dDataReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    bool u16(uint16_t& value);
    bool u32(uint32_t& value);
    // A u16 length, then that many bytes.
    bool string(std::string& value);
    bool skip(size_t bytes);

    size_t offset() const { return offset_; }
    const uint8_t* here() const { return data_ + offset_; }
    size_t left() const { return size_ - offset_; }

private:
    bool fail()
    {
        offset_ = size_;
        return false;
    }

    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};
