#include "u3dlib/bit_decoder.h"

#include <bit>
#include <cstring>

namespace u3dlib {

namespace {

constexpr uint32_t kHalf = 0x8000;
constexpr uint32_t kRegisterMask = 0xFFFF;
constexpr uint32_t kBelowHalfMask = 0x7FFF;
constexpr int kRegisterBits = 16;
// takeBits asks for at most 16 bits at once; a refill leaves at least 57.
constexpr int kWindowRefillBelow = 56;

constexpr int kCleanReadMaxBits = 32;

uint64_t reverseBitsOfEachByte(uint64_t v)
{
    v = (v & 0xF0F0F0F0F0F0F0F0u) >> 4 | (v & 0x0F0F0F0F0F0F0F0Fu) << 4;
    v = (v & 0xCCCCCCCCCCCCCCCCu) >> 2 | (v & 0x3333333333333333u) << 2;
    v = (v & 0xAAAAAAAAAAAAAAAAu) >> 1 | (v & 0x5555555555555555u) << 1;
    return v;
}

// The eight bytes at p, the first one highest.
uint64_t bigEndianWord(const uint8_t* p)
{
    uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, p, sizeof word);
        return __builtin_bswap64(word);
    }
    for (int i = 0; i < 8; ++i)
        word = (word << 8) | p[i];
    return word;
}

} // namespace

const char* describeDecodeError(DecodeError error)
{
    switch (error) {
    case DecodeError::None: return "no error";
    case DecodeError::PastEnd: return "read past the end of the block";
    case DecodeError::ValueTooWide: return "compressed value too wide for its field";
    case DecodeError::HistogramBudget: return "too many adaptive histogram entries";
    case DecodeError::SymbolBudget: return "too many symbols for the size of the block";
    case DecodeError::CorruptState: return "arithmetic decoder state corrupt";
    }
    return "unknown decode error";
}

const char* describeEndStatus(EndStatus status)
{
    switch (status) {
    case EndStatus::Exact: return "exact end";
    case EndStatus::ZeroTail: return "zero bytes after the content";
    case EndStatus::TrailingData: return "unread data after the content";
    case EndStatus::BadFlush: return "closing word not zero";
    case EndStatus::Failed: return "read failed";
    }
    return "unknown end status";
}

BitDecoder::BitDecoder(std::span<const uint8_t> section, DecoderOptions options)
    : section_(section), options_(options), sectionBits_(uint64_t{section.size()} * 8)
{
    symbolBudget_ = kSymbolBudgetBase + kSymbolsPerDataBit * sectionBits_;
    code_ = takeBits(kRegisterBits);
}

BitDecoder::~BitDecoder() = default;

void BitDecoder::fail(DecodeError error)
{
    if (error_ == DecodeError::None)
        error_ = error;
}

uint64_t BitDecoder::bitsConsumed() const
{
    return bitPosition_ - kRegisterBits - underflow_;
}

uint64_t BitDecoder::bitsLeft() const
{
    const uint64_t used = bitsConsumed();
    return used < sectionBits_ ? sectionBits_ - used : 0;
}

[[gnu::noinline]] void BitDecoder::refill()
{
    // Whole bytes only, so that a byte is never split between two refills.
    while (windowBits_ <= kWindowRefillBelow) {
        if (nextByte_ + 8 <= section_.size()) {
            uint64_t word = reverseBitsOfEachByte(bigEndianWord(section_.data() + nextByte_));
            const int bytes = (64 - windowBits_) / 8;
            if (bytes < 8)
                word &= ~uint64_t{0} << (64 - 8 * bytes);
            window_ |= word >> windowBits_;
            windowBits_ += 8 * bytes;
            nextByte_ += bytes;
        } else {
            const uint8_t byte = nextByte_ < section_.size() ? section_[nextByte_] : 0;
            window_ |= uint64_t{reverseBits8(byte)} << (56 - windowBits_);
            windowBits_ += 8;
            ++nextByte_;
        }
    }
}

[[gnu::always_inline]] inline uint32_t BitDecoder::takeBits(int count)
{
    if (count == 0)
        return 0;
    if (windowBits_ < count)
        refill();
    const uint32_t bits = static_cast<uint32_t>(window_ >> (64 - count));
    window_ <<= count;
    windowBits_ -= count;
    bitPosition_ += static_cast<uint64_t>(count);
    return bits;
}

// Shifts settled bits out of the registers, mirroring the encoder: equal top bits are
// emitted by the encoder; low = 01..., high = 10... is an underflow it defers. The
// encoder does this one bit at a time; the run of equal top bits and the run of
// underflow bits that follows it are each taken in one step. (After an underflow
// the top bits differ, so no equal bits can follow it.)
[[gnu::always_inline]] inline void BitDecoder::renormalise()
{
    const int settled = std::countl_zero((high_ ^ low_) & kRegisterMask) - kRegisterBits;
    if (settled > 0) {
        low_ = (low_ << settled) & kRegisterMask;
        high_ = ((high_ << settled) & kRegisterMask) | ((1u << settled) - 1);
        code_ = ((code_ << settled) & kRegisterMask) | takeBits(settled);
        underflow_ = 0;
    }
    // Bits 14 down where low has a 1 and high a 0, moved to the top.
    const int deferred = std::countl_one(((low_ & ~high_) & kBelowHalfMask) << (kRegisterBits + 1));
    if (deferred > 0) {
        low_ = (low_ << deferred) & kBelowHalfMask;
        high_ = ((high_ << deferred) & kBelowHalfMask) | kHalf | ((1u << deferred) - 1);
        // Each underflow step maps x to 2 (x - 0x8000) + 0x8000 + bit, modulo 2^16.
        code_ = ((((code_ ^ kHalf) << deferred) | takeBits(deferred)) & kRegisterMask) ^ kHalf;
        underflow_ += static_cast<uint64_t>(deferred);
    }
}

bool BitDecoder::checkAfterSymbol()
{
    ++symbols_;
    if (symbols_ > symbolBudget_)
        fail(DecodeError::SymbolBudget);
    else if (bitsConsumed() > sectionBits_)
        fail(DecodeError::PastEnd);
    return ok();
}

[[gnu::always_inline]] inline uint32_t BitDecoder::decodeRawByteSymbol()
{
    uint32_t symbol = 0;
    if (isClean()) {
        // From a clean state a raw byte is exactly the next 8 stream bits.
        symbol = code_ >> 8;
        code_ = ((code_ << 8) & kRegisterMask) | takeBits(8);
        underflow_ = 0;
    } else {
        const uint32_t range = high_ - low_ + 1;
        symbol = ((code_ - low_ + 1) * kRawByteTotal - 1) / range;
        high_ = low_ + range * (symbol + 1) / kRawByteTotal - 1;
        low_ = low_ + range * symbol / kRawByteTotal;
        renormalise();
    }
    return checkAfterSymbol() ? symbol : 0;
}

uint32_t BitDecoder::decodeStatic(uint32_t range)
{
    const uint32_t width = high_ - low_ + 1;
    const uint32_t value = ((code_ - low_ + 1) * range - 1) / width;
    high_ = low_ + width * (value + 1) / range - 1;
    low_ = low_ + width * value / range;
    renormalise();
    return checkAfterSymbol() ? value : 0;
}

uint32_t BitDecoder::decodeAdaptive(AdaptiveHistogram& histogram)
{
    const uint32_t total = histogram.total();
    const uint32_t width = high_ - low_ + 1;
    const uint32_t target = ((code_ - low_ + 1) * total - 1) / width;
    if (target >= total) {
        fail(DecodeError::CorruptState);
        return 0;
    }
    const SymbolInterval interval = histogram.find(target);
    high_ = low_ + width * (interval.cumulative + interval.frequency) / total - 1;
    low_ = low_ + width * interval.cumulative / total;
    // The escape is counted too; a symbol already present never needs more room.
    if (!histogram.add(interval.symbol, histogramBudget_)) {
        fail(DecodeError::HistogramBudget);
        return 0;
    }
    renormalise();
    return checkAfterSymbol() ? interval.symbol : 0;
}

// From a clean state raw bytes are the next stream bits and leave the state clean, so
// several are taken at once when none of them can fail.
[[gnu::always_inline]] inline bool BitDecoder::readCleanBytes(int bytes, uint32_t& value)
{
    const int bits = 8 * bytes;
    if (!ok() || !isClean() || symbols_ + static_cast<uint64_t>(bytes) > symbolBudget_ ||
        bitPosition_ + static_cast<uint64_t>(bits) - kRegisterBits > sectionBits_)
        return false;
    if (windowBits_ < kCleanReadMaxBits)
        refill();
    const uint64_t next = window_ >> (64 - bits);
    window_ <<= bits;
    windowBits_ -= bits;
    bitPosition_ += static_cast<uint64_t>(bits);
    // The symbols are the bytes ahead of the new code register, the first one highest.
    const uint64_t stream = (uint64_t{code_} << bits) | next;
    code_ = static_cast<uint32_t>(stream) & kRegisterMask;
    underflow_ = 0;
    symbols_ += static_cast<uint64_t>(bytes);
    // Bits reversed per byte; multi-byte values are little-endian.
    const uint64_t symbols = reverseBitsOfEachByte(stream >> kRegisterBits);
    value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<uint32_t>((symbols >> (bits - 8 - 8 * i)) & 0xFF) << (8 * i);
    return true;
}

// Raw bytes one symbol each, little-endian; 0 once a read fails.
uint32_t BitDecoder::readRawBytes(int bytes)
{
    if (uint32_t value = 0; readCleanBytes(bytes, value))
        return value;
    uint64_t symbols = 0;
    for (int i = 0; i < bytes; ++i) {
        if (!ok())
            return 0;
        symbols |= uint64_t{decodeRawByteSymbol()} << (8 * i);
    }
    // Each symbol is its byte bit-reversed.
    return ok() ? static_cast<uint32_t>(reverseBitsOfEachByte(symbols)) : 0;
}

uint8_t BitDecoder::readU8()
{
    return static_cast<uint8_t>(readRawBytes(1));
}

uint16_t BitDecoder::readU16()
{
    return static_cast<uint16_t>(readRawBytes(2));
}

uint32_t BitDecoder::readU32()
{
    return readRawBytes(4);
}

uint64_t BitDecoder::readU64()
{
    const uint64_t low = readU32();
    const uint64_t high = readU32();
    return ok() ? low | high << 32 : 0;
}

int16_t BitDecoder::readI16()
{
    return static_cast<int16_t>(readU16());
}

int32_t BitDecoder::readI32()
{
    return static_cast<int32_t>(readU32());
}

float BitDecoder::readF32()
{
    return std::bit_cast<float>(readU32());
}

double BitDecoder::readF64()
{
    return std::bit_cast<double>(readU64());
}

std::string BitDecoder::readString()
{
    const uint16_t length = readU16();
    std::string text;
    if (!ok())
        return text;
    text.reserve(length < bytesLeft() ? length : bytesLeft());
    for (uint16_t i = 0; i < length && ok(); ++i)
        text.push_back(static_cast<char>(readU8()));
    if (!ok())
        text.clear();
    return text;
}

bool BitDecoder::readBytes(std::span<uint8_t> out)
{
    for (uint8_t& byte : out) {
        byte = readU8();
        if (!ok())
            break;
    }
    return ok();
}

uint64_t BitDecoder::readRawOfWidth(int bits)
{
    switch (bits) {
    case 8: return readRawBytes(1);
    case 16: return readRawBytes(2);
    default: return readRawBytes(4);
    }
}

AdaptiveHistogram* BitDecoder::histogramFor(uint32_t id)
{
    // A section uses few of the contexts: a small index by id, histograms only for those used.
    if (histogramSlot_.empty())
        histogramSlot_.resize(kLastAdaptiveContextId + 1, 0);
    uint16_t& slot = histogramSlot_[id];
    if (slot == 0) {
        if (histogramBudget_.slotsLeft < AdaptiveHistogram::kInitialCapacity) {
            fail(DecodeError::HistogramBudget);
            return nullptr;
        }
        histogramBudget_.slotsLeft -= AdaptiveHistogram::kInitialCapacity;
        histograms_.push_back(std::make_unique<AdaptiveHistogram>());
        slot = static_cast<uint16_t>(histograms_.size());
    }
    return histograms_[slot - 1u].get();
}

const AdaptiveHistogram* BitDecoder::histogram(Context context) const
{
    if (!context.isAdaptive() || histogramSlot_.empty() || histogramSlot_[context.id] == 0)
        return nullptr;
    return histograms_[histogramSlot_[context.id] - 1u].get();
}

uint32_t BitDecoder::readCompressed(Context context, int bits)
{
    if (!ok())
        return 0;
    if (options_.noCompression || context.isRaw())
        return static_cast<uint32_t>(readRawOfWidth(bits));
    usedCompression_ = true;
    const uint64_t widest = bits == 8 ? 0xFFu : bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;

    if (context.isCodedStatic()) {
        const uint32_t value = decodeStatic(context.staticRange());
        if (ok() && value > widest)
            fail(DecodeError::ValueTooWide);
        return ok() ? value : 0;
    }

    AdaptiveHistogram* histogram = histogramFor(context.id);
    if (histogram == nullptr)
        return 0;
    const uint32_t symbol = decodeAdaptive(*histogram);
    if (!ok())
        return 0;
    if (symbol != AdaptiveHistogram::kEscapeSymbol) {
        const uint32_t value = symbol - 1;
        if (value > widest) {
            // Learnt from a wider field that shares the context.
            fail(DecodeError::ValueTooWide);
            return 0;
        }
        return value;
    }
    const uint64_t value = readRawOfWidth(bits);
    if (!ok())
        return 0;
    if (!histogram->add(value + 1, histogramBudget_)) {
        fail(DecodeError::HistogramBudget);
        return 0;
    }
    return static_cast<uint32_t>(value);
}

uint8_t BitDecoder::readCompressedU8(Context context)
{
    return static_cast<uint8_t>(readCompressed(context, 8));
}

uint16_t BitDecoder::readCompressedU16(Context context)
{
    return static_cast<uint16_t>(readCompressed(context, 16));
}

uint32_t BitDecoder::readCompressedU32(Context context)
{
    return readCompressed(context, 32);
}

BlockEnd BitDecoder::finish()
{
    BlockEnd end;
    if (finished_ || !ok())
        return end;
    finished_ = true;
    if (usedCompression_) {
        const uint32_t closing = readU32();
        if (!ok())
            return end;
        if (closing != 0) {
            end.status = EndStatus::BadFlush;
            end.contentBytes = (bitsConsumed() + 7) / 8;
            return end;
        }
    }
    end.contentBytes = (bitsConsumed() + 7) / 8;
    end.status = EndStatus::Exact;
    for (uint64_t i = end.contentBytes; i < section_.size(); ++i) {
        if (section_[i] != 0)
            return BlockEnd{EndStatus::TrailingData, end.contentBytes};
        end.status = EndStatus::ZeroTail;
    }
    return end;
}

} // namespace u3dlib
