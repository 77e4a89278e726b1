#include "prc/bits/prc_bit_reader.h"

#include "prc/bits/frequent_double_code.h"

#include <bit>
#include <stdexcept>

namespace {

constexpr int kUnsignedIntegerValueBits = 32;
constexpr int kVariableBitNumberWidthBits = 5;
constexpr int kExponentShift = 52;
constexpr uint64_t kExponentMask = 0x7FF;
// Mantissa back-references: 0 repeats the last byte to the end, 6 repeats it down to
// byte 1 and gives byte 0 explicitly; other values copy the byte that many places up.
constexpr uint32_t kMantissaRepeatToEnd = 0;
constexpr uint32_t kMantissaRepeatThenLastByte = 6;

// The mantissa bytes below the top nibble, from the most significant, each given or
// copied from one above it; take(n) gives the next n bits.
template <typename Take>
void readMantissaBytesFrom(uint8_t (&image)[8], Take&& take)
{
    for (int pos = 5; pos >= 0; --pos) {
        if (take(1) != 0) {
            image[pos] = static_cast<uint8_t>(take(8));
            continue;
        }
        const uint32_t distance = take(3);
        if (distance == kMantissaRepeatToEnd) {
            for (int p = pos; p >= 0; --p)
                image[p] = image[p + 1];
            return;
        }
        if (distance == kMantissaRepeatThenLastByte) {
            for (int p = pos; p >= 1; --p)
                image[p] = image[p + 1];
            image[0] = static_cast<uint8_t>(take(8));
            return;
        }
        if (pos + distance > 7)
            throw std::runtime_error("PRCBitReader: riferimento di mantissa non valido");
        image[pos] = image[pos + distance];
    }
}

} // namespace

PRCBitReader::PRCBitReader(const uint8_t* data, uint64_t size, uint32_t version, PRCSectionSource* more)
    : version(version), data_(data), available_(data != nullptr ? size : 0), more_(more)
{
}

PRCBitReader::PRCBitReader(const std::vector<uint8_t>& section, uint32_t version)
    : PRCBitReader(section.data(), section.size(), version)
{
}

void PRCBitReader::throwReadPastEnd()
{
    throw std::runtime_error("PRCBitReader: read past end");
}

bool PRCBitReader::arrive(uint64_t count)
{
    if (more_ == nullptr)
        return false;
    const uint64_t readBits = bytePos_ * 8 + bitPos_;
    constexpr uint64_t kByteRoundUp = 7;
    const uint64_t endBits = count > UINT64_MAX - kByteRoundUp - readBits ? UINT64_MAX : readBits + count + kByteRoundUp;
    const uint64_t end = endBits / 8;
    const PRCSectionSource::Bytes bytes = more_->extend(end);
    data_ = bytes.data;
    available_ = bytes.size;
    if (available_ < end)
        more_ = nullptr; // the section ends there
    return count <= availableBits();
}

uint32_t PRCBitReader::readBitsByteWise(int count)
{
    uint32_t value = 0;
    int remaining = count;
    while (remaining > 0) {
        const int available = 8 - static_cast<int>(bitPos_);
        const int take = remaining < available ? remaining : available;
        const uint32_t chunk = (data_[bytePos_] >> (available - take)) & ((1u << take) - 1);
        value = (value << take) | chunk;
        remaining -= take;
        bitPos_ += take;
        if (bitPos_ == 8) {
            bitPos_ = 0;
            ++bytePos_;
        }
    }
    return value;
}

uint32_t PRCBitReader::readUnsignedInteger()
{
    uint32_t value = 0;
    int shift = 0;
    // Up to four flagged bytes and the flag after them lie within one window.
    constexpr int kFlaggedByteBits = 9;
    constexpr int kWindowedBytes = 4;
    if (windowFits()) {
        const uint64_t window = windowAt() << bitPos_;
        int used = 0;
        for (; used < kWindowedBytes * kFlaggedByteBits; used += kFlaggedByteBits) {
            if ((window >> (kWindowBits - 1 - used) & 1) == 0) {
                advanceBits(static_cast<uint32_t>(used) + 1);
                return value;
            }
            value |= static_cast<uint32_t>(window >> (kWindowBits - kFlaggedByteBits - used) & 0xFF) << shift;
            shift += 8;
        }
        advanceBits(static_cast<uint32_t>(used));
    }
    while (readBoolean()) {
        const uint32_t byte = readBits(8);
        // Bytes past the fourth are read and dropped; the shift stops so it cannot overflow.
        if (shift < kUnsignedIntegerValueBits) {
            value |= byte << shift;
            shift += 8;
        }
    }
    return value;
}

int32_t PRCBitReader::readInteger()
{
    uint32_t value = 0;
    int shift = 0;
    uint32_t lastByte = 0;
    while (readBoolean()) {
        lastByte = readBits(8);
        if (shift < kUnsignedIntegerValueBits) {
            value |= lastByte << shift;
            shift += 8;
        }
    }
    if (shift > 0 && shift < kUnsignedIntegerValueBits && (lastByte & 0x80) != 0)
        value |= ~0u << shift;
    return static_cast<int32_t>(value);
}

std::string PRCBitReader::readString()
{
    if (!readBoolean())
        return {};
    const uint32_t length = readUnsignedInteger();
    if (!hasBits(uint64_t{8} * length))
        throw std::runtime_error("PRCBitReader: string longer than the data left");
    std::string text(length, '\0');
    for (char& c : text)
        c = static_cast<char>(readBits(8));
    return text;
}

Graphics PRCBitReader::readGraphics()
{
    if (!readBoolean()) {
        currentLayer = readUnsignedInteger() - 1;
        currentLineStyle = readUnsignedInteger() - 1;
        const uint32_t low = readBits(8);
        const uint32_t high = readBits(8);
        currentBehaviour = static_cast<uint16_t>(high << 8 | low);
    }
    if (version > kPrcLastVersionWithoutGraphicsExtension) {
        const uint32_t count = readUnsignedInteger();
        if (count > kPrcMaxGraphicsExtensionPairs)
            throw std::runtime_error("PRCBitReader: campo dopo graphics con conteggio implausibile");
        for (uint32_t i = 0; i < count; ++i) {
            readUnsignedInteger();
            readUnsignedInteger();
        }
    }
    return {currentLayer, currentLineStyle, currentBehaviour};
}

uint32_t PRCBitReader::readUnsignedIntegerWithVariableBitNumber()
{
    return readBits(static_cast<int>(readBits(kVariableBitNumberWidthBits)));
}

void PRCBitReader::skipUnsignedIntegersWithVariableBitNumber(uint32_t count)
{
    // Width and value, at most 36 bits, lie within one window wherever they start.
    for (uint32_t i = 0; i < count; ++i) {
        if (!windowFits()) {
            readUnsignedIntegerWithVariableBitNumber();
            continue;
        }
        const auto width = static_cast<uint32_t>((windowAt() << bitPos_) >> (kWindowBits - kVariableBitNumberWidthBits));
        advanceBits(kVariableBitNumberWidthBits + width);
    }
}

double PRCBitReader::readDouble()
{
    const FrequentDoubleEntry& entry = frequentDoubleCode().read(*this);
    if (entry.kind == FrequentDoubleKind::Value && entry.bits == 0)
        return 0.0; // the code for zero carries no sign bit
    const bool negative = readBoolean();
    if (entry.kind == FrequentDoubleKind::Value) {
        const double value = std::bit_cast<double>(entry.bits);
        return negative ? -value : value;
    }
    const uint64_t exponent = (entry.bits >> kExponentShift) & kExponentMask;
    if (!readBoolean())
        return std::bit_cast<double>(static_cast<uint64_t>(negative) << 63 | exponent << kExponentShift);

    uint8_t image[8] = {}; // little-endian image of the double
    image[7] = static_cast<uint8_t>((negative ? 0x80 : 0) | exponent >> 4);
    image[6] = static_cast<uint8_t>((exponent & 0xF) << 4 | readBits(4));
    readMantissaBytes(image);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | image[i];
    return std::bit_cast<double>(bits);
}

void PRCBitReader::readMantissaBytes(uint8_t (&image)[8])
{
    // Six flagged bytes, or fewer and a copy distance with perhaps a last byte: at most
    // 57 bits, which lie within one window from any bit offset.
    if (windowFits()) {
        const uint64_t window = windowAt() << bitPos_;
        uint32_t used = 0;
        readMantissaBytesFrom(image, [&](uint32_t count) {
            const auto value = static_cast<uint32_t>((window << used) >> (kWindowBits - count));
            used += count;
            return value;
        });
        advanceBits(used);
        return;
    }
    readMantissaBytesFrom(image, [&](uint32_t count) { return readBits(static_cast<int>(count)); });
}

void PRCBitReader::skipBits(uint64_t count)
{
    if (!hasBits(count))
        throwReadPastEnd();
    const uint64_t target = bytePos_ * 8 + bitPos_ + count;
    bytePos_ = target / 8;
    bitPos_ = static_cast<uint32_t>(target % 8);
}

void PRCBitReader::setPosition(Position position)
{
    // A position past the end would make bitsLeft() wrap; clamp it to the end instead.
    if (position.bytePos > available_ || position.bitPos > 7 || (position.bytePos == available_ && position.bitPos != 0))
        position = {available_, 0};
    bytePos_ = position.bytePos;
    bitPos_ = position.bitPos;
}
