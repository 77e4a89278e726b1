#include "u3d/u3d_blocks.h"

bool U3dBlockCursor::next(U3dBlock& block)
{
    if (const std::optional<u3dlib::Block> whole = cursor_.next()) {
        block = {whole->type, whole->data.data(), whole->dataSize};
        return true;
    }
    if (cursor_.status() != u3dlib::FramingStatus::MetaDataOverrun || lastHandedOut_)
        return false;
    // Its data fits: the block is read all the same, and the walk ends after it.
    const auto at = static_cast<size_t>(cursor_.offset());
    block.type = u3dlib::loadU32LittleEndian(bytes_, at);
    block.dataSize = u3dlib::loadU32LittleEndian(bytes_, at + 4);
    block.data = bytes_.data() + at + u3dlib::kBlockHeaderSize;
    lastHandedOut_ = true;
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
    value = u3dlib::loadU32LittleEndian({data_, size_}, offset_);
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
