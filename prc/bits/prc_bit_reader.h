// Cursor over one inflated PRC section: bits most significant first within a byte,
// with the primitive encodings every entity reader is written on, and the state that
// carries from entity to entity (current name and graphics, authoring version).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// An authoring version that is not known; it counts as newer than every known one.
inline constexpr uint32_t kPrcVersionUnknown = 0xFFFFFFFF;
// An index that points nowhere (a stored index + 1 of 0).
inline constexpr uint32_t kPrcNoIndex = 0xFFFFFFFF;
// The newest version whose graphics block ends after the behaviour bits.
inline constexpr uint32_t kPrcLastVersionWithoutGraphicsExtension = 8137;
// The pairs after a graphics block are skipped; more than this is taken as corrupt data.
inline constexpr uint32_t kPrcMaxGraphicsExtensionPairs = 1024;

struct Graphics {
    uint32_t layer = kPrcNoIndex;
    uint32_t lineStyle = kPrcNoIndex;
    uint16_t behaviour = 1;
};

// The rest of a section that is inflated while it is read.
class PRCSectionSource {
public:
    struct Bytes {
        const uint8_t* data = nullptr;
        uint64_t size = 0;
    };
    // The section's bytes from its start: at least end of them, or all of them when the
    // section is shorter, and never fewer than before. They may have moved, and those
    // the reader has reported read may be gone.
    virtual Bytes extend(uint64_t end) = 0;

protected:
    ~PRCSectionSource() = default;
};

class PRCBitReader {
public:
    struct Position {
        uint64_t bytePos = 0;
        uint32_t bitPos = 0;
    };

    // The data is not copied and must outlive the reader. With more, the section goes
    // on past size, and is asked for as the reading gets there.
    PRCBitReader(const uint8_t* data, uint64_t size, uint32_t version = kPrcVersionUnknown,
                 PRCSectionSource* more = nullptr);
    explicit PRCBitReader(const std::vector<uint8_t>& section, uint32_t version = kPrcVersionUnknown);
    // A temporary section would be gone before the first read.
    PRCBitReader(std::vector<uint8_t>&& section, uint32_t version = kPrcVersionUnknown) = delete;

    // Every read throws std::runtime_error("PRCBitReader: read past end") when the
    // section ends before it; the position is then unspecified.
    bool readBoolean();
    // count bits, the first read the most significant; count < 1 reads nothing and gives
    // 0; above 32 only the last 32 bits read remain.
    uint32_t readBits(int count);
    uint32_t readUnsignedInteger();
    int32_t readInteger();
    double readDouble();
    std::string readString();
    // Reads a graphics block, updates the current graphics and returns them.
    Graphics readGraphics();
    // A 5-bit width, then that many bits.
    uint32_t readUnsignedIntegerWithVariableBitNumber();
    // Steps over count of them (data kept only for its length).
    void skipUnsignedIntegersWithVariableBitNumber(uint32_t count);

    // Steps over count bits (user data), or throws read past end.
    void skipBits(uint64_t count);
    // Whether count more bits are there. Counts from the file are bounded by these, and
    // the answers do not depend on how much of the section has arrived: the section is
    // asked for as far as the question reaches.
    bool hasBits(uint64_t count) { return count <= availableBits() || arrive(count); }
    // The bits left, or limit when there are at least as many.
    uint64_t bitsLeftUpTo(uint64_t limit) { return hasBits(limit) ? limit : availableBits(); }
    uint64_t bitsLeft() { return bitsLeftUpTo(UINT64_MAX); }

    // For reading ahead (such as an entity type) and coming back.
    Position position() const { return {bytePos_, bitPos_}; }
    // Only positions obtained from position() of this reader are valid.
    void setPosition(Position position);

    std::string currentName;
    uint32_t currentLayer = kPrcNoIndex;
    uint32_t currentLineStyle = kPrcNoIndex;
    uint16_t currentBehaviour = 1;
    uint32_t version;

private:
    [[noreturn]] static void throwReadPastEnd();
    uint64_t availableBits() const { return available_ * 8 - (bytePos_ * 8 + bitPos_); }
    // Asks for the section up to count bits on; whether they are there.
    bool arrive(uint64_t count);
    uint32_t readBitsByteWise(int count);
    static constexpr int kWindowBits = 64;
    // Whether eight bytes remain from the current one, so that windowAt() may be read.
    bool windowFits() const { return available_ - bytePos_ >= sizeof(uint64_t); }
    // The eight bytes from the current one, the first the most significant.
    uint64_t windowAt() const;
    // Moves on by count bits that are known to be there.
    void advanceBits(uint32_t count)
    {
        const uint32_t advanced = bitPos_ + count;
        bytePos_ += advanced / 8;
        bitPos_ = advanced % 8;
    }
    void readMantissaBytes(uint8_t (&image)[8]);

    const uint8_t* data_;
    uint64_t available_;
    PRCSectionSource* more_;
    uint64_t bytePos_ = 0;
    uint32_t bitPos_ = 0;
};

inline bool PRCBitReader::readBoolean()
{
    if (bytePos_ >= available_ && !arrive(1))
        throwReadPastEnd();
    const bool bit = (data_[bytePos_] >> (7 - bitPos_)) & 1;
    if (++bitPos_ == 8) {
        bitPos_ = 0;
        ++bytePos_;
    }
    return bit;
}

inline uint64_t PRCBitReader::windowAt() const
{
    uint64_t window = 0;
    std::memcpy(&window, data_ + bytePos_, sizeof window);
    if constexpr (std::endian::native == std::endian::little)
        window = __builtin_bswap64(window); // compilers do not see the byte loop as one swap
    return window;
}

inline uint32_t PRCBitReader::readBits(int count)
{
    if (count < 1)
        return 0;
    if (static_cast<uint64_t>(count) > availableBits() && !arrive(static_cast<uint64_t>(count)))
        throwReadPastEnd();
    // Up to 32 bits from any bit position lie within the next eight bytes.
    constexpr int kMaxWindowRead = 32;
    if (count > kMaxWindowRead || !windowFits())
        return readBitsByteWise(count);
    const uint32_t value = static_cast<uint32_t>((windowAt() << bitPos_) >> (kWindowBits - count));
    advanceBits(static_cast<uint32_t>(count));
    return value;
}

