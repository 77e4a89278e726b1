#include "u3dlib/file_header.h"

#include "u3dlib/block_types.h"

namespace u3dlib {

FileHeader readFileHeader(BitDecoder& in)
{
    FileHeader header;
    header.majorVersion = in.readI16();
    header.minorVersion = in.readI16();
    header.profile = in.readU32();
    header.declarationSize = in.readU32();
    header.fileSize = in.readU64();
    header.characterEncoding = in.readU32();
    if (header.hasUnits())
        header.unitsScale = in.readF64();
    return header;
}

bool readFirstBlockAsFileHeader(std::span<const uint8_t> file, Block& block, FileHeader& header)
{
    BlockCursor cursor(file);
    const std::optional<Block> first = cursor.next();
    if (!first || first->type != kBlockFileHeader)
        return false;
    BitDecoder in(first->data);
    header = readFileHeader(in);
    if (!in.ok())
        return false;
    block = *first;
    return true;
}

} // namespace u3dlib
