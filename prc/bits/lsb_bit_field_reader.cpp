#include "prc/bits/lsb_bit_field_reader.h"

#include <cstring>
#include <stdexcept>

namespace {

constexpr uint32_t kMaxReadBits = 32;

} // namespace

uint32_t LsbBitFieldReader::peekBits(uint32_t count) const
{
    if (count > kMaxReadBits)
        throw std::runtime_error("LsbBitFieldReader: more than 32 bits requested");
    if (count > bitsLeft())
        throw std::runtime_error("LsbBitFieldReader: bit field exhausted");
    // Gather whole bytes from the first one touched, then drop the leading bits.
    uint64_t window = 0;
    const uint64_t firstByte = position_ / 8;
    const uint32_t skip = static_cast<uint32_t>(position_ % 8);
    const uint32_t bytes = (skip + count + 7) / 8; // at most 5
    if (firstByte + sizeof window <= (bitCount_ + 7) / 8) {
        uint8_t image[sizeof window];
        std::memcpy(image, data_ + firstByte, sizeof image);
        for (uint32_t i = 0; i < sizeof image; ++i)
            window |= static_cast<uint64_t>(image[i]) << (8 * i);
    } else {
        for (uint32_t i = 0; i < bytes; ++i)
            window |= static_cast<uint64_t>(data_[firstByte + i]) << (8 * i);
    }
    window >>= skip;
    return count == kMaxReadBits ? static_cast<uint32_t>(window)
                                 : static_cast<uint32_t>(window & ((uint64_t{1} << count) - 1));
}

void LsbBitFieldReader::skipBits(uint32_t count)
{
    if (count > bitsLeft())
        throw std::runtime_error("LsbBitFieldReader: bit field exhausted");
    position_ += count;
}

uint32_t LsbBitFieldReader::readBits(uint32_t count)
{
    const uint32_t value = peekBits(count);
    position_ += count;
    return value;
}
