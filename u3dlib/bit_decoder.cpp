#include "u3dlib/bit_decoder.h"

#include <bit>

namespace u3dlib {

namespace {

constexpr uint32_t kHalf = 0x8000;
constexpr uint32_t kQuarter = 0x4000;
constexpr uint32_t kRegisterMask = 0xFFFF;
constexpr uint32_t kBelowHalfMask = 0x7FFF;
constexpr int kRegisterBits = 16;

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
    for (int i = 0; i < kRegisterBits; ++i)
        code_ = (code_ << 1) | nextBit();
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

uint32_t BitDecoder::nextBit()
{
    uint32_t bit = 0;
    if (bitPosition_ < sectionBits_)
        bit = (section_[bitPosition_ >> 3] >> (bitPosition_ & 7)) & 1u;
    ++bitPosition_;
    return bit;
}

uint32_t BitDecoder::nextBitsMsbFirst8()
{
    if ((bitPosition_ & 7) == 0 && bitPosition_ + 8 <= sectionBits_) {
        const uint8_t byte = section_[bitPosition_ >> 3];
        bitPosition_ += 8;
        return reverseBits8(byte);
    }
    uint32_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = (bits << 1) | nextBit();
    return bits;
}

// Shifts settled bits out of the registers, mirroring the encoder: equal top bits are
// emitted by the encoder; low = 01..., high = 10... is an underflow it defers.
void BitDecoder::renormalise()
{
    for (;;) {
        if (((high_ ^ low_) & kHalf) == 0) {
            low_ = (low_ << 1) & kRegisterMask;
            high_ = ((high_ << 1) & kRegisterMask) | 1;
            code_ = ((code_ << 1) & kRegisterMask) | nextBit();
            underflow_ = 0;
        } else if ((low_ & kQuarter) != 0 && (high_ & kQuarter) == 0) {
            low_ = (low_ << 1) & kBelowHalfMask;
            high_ = ((high_ << 1) & kBelowHalfMask) | kHalf | 1;
            code_ = (((code_ - kQuarter) << 1) & kRegisterMask) | nextBit();
            ++underflow_;
        } else {
            return;
        }
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

uint32_t BitDecoder::decodeRawByteSymbol()
{
    uint32_t symbol = 0;
    if (isClean()) {
        // From a clean state a raw byte is exactly the next 8 stream bits.
        symbol = code_ >> 8;
        code_ = ((code_ << 8) & kRegisterMask) | nextBitsMsbFirst8();
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

uint8_t BitDecoder::readU8()
{
    if (!ok())
        return 0;
    return reverseBits8(static_cast<uint8_t>(decodeRawByteSymbol()));
}

uint16_t BitDecoder::readU16()
{
    const uint16_t low = readU8();
    const uint16_t high = readU8();
    return ok() ? static_cast<uint16_t>(low | high << 8) : 0;
}

uint32_t BitDecoder::readU32()
{
    const uint32_t low = readU16();
    const uint32_t high = readU16();
    return ok() ? low | high << 16 : 0;
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
    case 8: return readU8();
    case 16: return readU16();
    default: return readU32();
    }
}

AdaptiveHistogram* BitDecoder::histogramFor(uint32_t id)
{
    if (histograms_.empty())
        histograms_.resize(kLastAdaptiveContextId + 1);
    std::unique_ptr<AdaptiveHistogram>& slot = histograms_[id];
    if (!slot) {
        if (histogramBudget_.slotsLeft < AdaptiveHistogram::kInitialCapacity) {
            fail(DecodeError::HistogramBudget);
            return nullptr;
        }
        histogramBudget_.slotsLeft -= AdaptiveHistogram::kInitialCapacity;
        slot = std::make_unique<AdaptiveHistogram>();
    }
    return slot.get();
}

const AdaptiveHistogram* BitDecoder::histogram(Context context) const
{
    if (!context.isAdaptive() || histograms_.empty())
        return nullptr;
    return histograms_[context.id].get();
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
