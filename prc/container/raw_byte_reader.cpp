#include "prc/container/raw_byte_reader.h"

#include <stdexcept>

uint32_t RawByteReader::readU32()
{
    if (bytesLeft() < 4)
        throw std::runtime_error("RawByteReader: read past end (u32)");
    const uint8_t* p = data_ + position_;
    position_ += 4;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
