#include "u3d/u3d_blocks.h"

namespace {

constexpr size_t kBlockHeaderBytes = 12;

uint32_t readU32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint64_t padded(uint32_t size)
{
    return (uint64_t{size} + 3) & ~uint64_t{3};
}

} // namespace

bool U3dBlockCursor::next(U3dBlock& block)
{
    if (size_ - offset_ < kBlockHeaderBytes)
        return false;
    const uint8_t* header = data_ + offset_;
    const uint32_t dataSize = readU32(header + 4);
    const uint32_t metaSize = readU32(header + 8);
    if (dataSize > size_ - offset_ - kBlockHeaderBytes)
        return false;
    block.type = readU32(header);
    block.data = header + kBlockHeaderBytes;
    block.dataSize = dataSize;
    const uint64_t step = kBlockHeaderBytes + padded(dataSize) + padded(metaSize);
    // A block running past the end is still handed out; the walk ends after it.
    offset_ = step >= size_ - offset_ ? size_ : offset_ + static_cast<size_t>(step);
    return true;
}

bool U3dDataReader::skip(size_t bytes)
{
    if (bytes > left())
        return fail();
    offset_ += bytes;
    return true;
}

bool U3dDataReader::u16(uint16_t& value)
{
    if (left() < 2)
        return fail();
    value = static_cast<uint16_t>(data_[offset_] | data_[offset_ + 1] << 8);
    offset_ += 2;
    return true;
}

bool U3dDataReader::u32(uint32_t& value)
{
    if (left() < 4)
        return fail();
    value = readU32(data_ + offset_);
    offset_ += 4;
    return true;
}

bool U3dDataReader::string(std::string& value)
{
    uint16_t length = 0;
    if (!u16(length) || length > left())
        return fail();
    value.assign(reinterpret_cast<const char*>(data_ + offset_), length);
    offset_ += length;
    return true;
}
