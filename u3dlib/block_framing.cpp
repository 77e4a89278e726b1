#include "u3dlib/block_framing.h"

#include <algorithm>

namespace u3dlib {

const char* describeFramingStatus(FramingStatus status)
{
    switch (status) {
    case FramingStatus::Walking: return "not at the end";
    case FramingStatus::End: return "end";
    case FramingStatus::ZeroTail: return "end, followed by zero bytes";
    case FramingStatus::TruncatedHeader: return "block header cut short";
    case FramingStatus::DataOverrun: return "block data goes past the end";
    case FramingStatus::MetaDataOverrun: return "block meta data goes past the end";
    case FramingStatus::UnpaddedEnd: return "end, last block without its closing padding";
    }
    return "unknown framing status";
}

uint32_t loadU32LittleEndian(std::span<const uint8_t> bytes, size_t offset)
{
    return uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8 | uint32_t{bytes[offset + 2]} << 16 |
           uint32_t{bytes[offset + 3]} << 24;
}

BlockCursor::BlockCursor(std::span<const uint8_t> bytes, uint64_t baseOffset)
    : bytes_(bytes), baseOffset_(baseOffset)
{
}

std::optional<Block> BlockCursor::next()
{
    if (status_ != FramingStatus::Walking)
        return std::nullopt;
    const uint64_t size = bytes_.size();
    const uint64_t left = size - position_;
    if (left == 0) {
        status_ = FramingStatus::End;
        return std::nullopt;
    }
    if (left < kBlockHeaderSize) {
        const auto rest = bytes_.subspan(static_cast<size_t>(position_));
        status_ = std::all_of(rest.begin(), rest.end(), [](uint8_t b) { return b == 0; })
                      ? FramingStatus::ZeroTail
                      : FramingStatus::TruncatedHeader;
        return std::nullopt;
    }

    Block block;
    const auto at = static_cast<size_t>(position_);
    block.type = loadU32LittleEndian(bytes_, at);
    block.dataSize = loadU32LittleEndian(bytes_, at + 4);
    block.metaDataSize = loadU32LittleEndian(bytes_, at + 8);
    block.offset = baseOffset_ + position_;
    failedType_ = block.type;

    // All sums stay far below 2^64: every term is below 2^34.
    const uint64_t dataStart = position_ + kBlockHeaderSize;
    if (block.dataSize > size - dataStart) {
        status_ = FramingStatus::DataOverrun;
        return std::nullopt;
    }
    const uint64_t metaStart = dataStart + paddedTo4(block.dataSize);
    const bool noMetaData = block.metaDataSize == 0;
    if (!noMetaData && (metaStart > size || block.metaDataSize > size - metaStart)) {
        status_ = FramingStatus::MetaDataOverrun;
        return std::nullopt;
    }
    const uint64_t end = metaStart + paddedTo4(block.metaDataSize);

    block.data = bytes_.subspan(static_cast<size_t>(dataStart), block.dataSize);
    block.metaData = noMetaData ? std::span<const uint8_t>() : bytes_.subspan(static_cast<size_t>(metaStart), block.metaDataSize);
    failedType_ = 0;
    if (end > size) {
        block.size = size - position_;
        position_ = size;
        status_ = FramingStatus::UnpaddedEnd;
        return block;
    }
    block.size = end - position_;
    position_ = end;
    return block;
}

} // namespace u3dlib
