// Splitting a byte range into U3D blocks.
//
// A block is a 12-byte header (U32 type, U32 data size, U32 meta data size, little-
// endian), the Data, zero padding to a multiple of 4, the Meta Data, zero padding to a
// multiple of 4. The sizes exclude the padding. A file is a sequence of blocks, the
// file header first; a modifier chain's Data holds further blocks (modifier_chain.h).
//
// Blocks are found by their sizes, never by how much of their content a reader
// consumed: several writers leave zero bytes after a block's content. The cursor only
// hands out blocks whose Data and Meta Data fit the range; the first one that does not
// stops the walk with a status saying why, and nothing of it is read. Padding is never
// read, so a last block cut only inside its closing padding is still handed out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace u3dlib {

inline constexpr size_t kBlockHeaderSize = 12;

constexpr uint64_t paddedTo4(uint64_t size)
{
    return (size + 3) & ~uint64_t{3};
}

struct Block {
    uint32_t type = 0;
    uint32_t dataSize = 0;
    uint32_t metaDataSize = 0;
    std::span<const uint8_t> data;     // dataSize bytes
    std::span<const uint8_t> metaData; // metaDataSize bytes
    uint64_t offset = 0;               // of the block header, from the start of the file
    uint64_t size = 0;                 // header, data, meta data and both paddings
};

enum class FramingStatus : uint8_t {
    Walking,         // no end reached yet
    End,             // the range ends right after the last block (or holds none)
    ZeroTail,        // after the last block, fewer than 12 bytes, all zero
    TruncatedHeader, // fewer than 12 bytes left, not all zero
    DataOverrun,     // the Data goes past the end of the range
    MetaDataOverrun, // the Meta Data (after the data padding) goes past the end
    UnpaddedEnd,     // the last block is whole but the range ends inside its padding
};

const char* describeFramingStatus(FramingStatus status);

// End, ZeroTail and UnpaddedEnd are clean ends (every block was handed out whole);
// everything else is a malformed range.
constexpr bool isCleanEnd(FramingStatus status)
{
    return status == FramingStatus::End || status == FramingStatus::ZeroTail || status == FramingStatus::UnpaddedEnd;
}

class BlockCursor {
public:
    // bytes: the blocks; baseOffset: the file offset of bytes[0], for Block::offset and
    // messages. The range must start 4-aligned in the file (a file, or the nested
    // blocks of a modifier chain).
    explicit BlockCursor(std::span<const uint8_t> bytes, uint64_t baseOffset = 0);

    // The next block, or nothing once the range is used up or malformed (status()).
    std::optional<Block> next();

    FramingStatus status() const { return status_; }
    // File offset of the next block, or of the block that failed to fit.
    uint64_t offset() const { return baseOffset_ + position_; }
    // For a failed block: its header as far as it was there.
    uint32_t failedType() const { return failedType_; }

private:
    std::span<const uint8_t> bytes_;
    uint64_t baseOffset_ = 0;
    uint64_t position_ = 0;
    uint32_t failedType_ = 0;
    FramingStatus status_ = FramingStatus::Walking;
};

// Little-endian U32 at bytes[offset]; the caller checks that 4 bytes are there.
uint32_t loadU32LittleEndian(std::span<const uint8_t> bytes, size_t offset);

} // namespace u3dlib
