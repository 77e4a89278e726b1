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
    coder_.code = takeBits(coder_, kRegisterBits);
}

BitDecoder::~BitDecoder() = default;

void BitDecoder::fail(DecodeError error)
{
    if (error_ == DecodeError::None)
        error_ = error;
}

uint64_t BitDecoder::bitsConsumed() const
{
    return consumed(coder_);
}

uint64_t BitDecoder::bitsLeft() const
{
    const uint64_t used = bitsConsumed();
    return used < sectionBits_ ? sectionBits_ - used : 0;
}

[[gnu::always_inline]] inline void BitDecoder::refill(Coder& c) const
{
    // Whole bytes only, so that a byte is never split between two refills.
    while (c.windowBits <= kWindowRefillBelow) {
        if (c.nextByte + 8 <= section_.size()) {
            uint64_t word = reverseBitsOfEachByte(bigEndianWord(section_.data() + c.nextByte));
            const int bytes = (64 - c.windowBits) / 8;
            if (bytes < 8)
                word &= ~uint64_t{0} << (64 - 8 * bytes);
            c.window |= word >> c.windowBits;
            c.windowBits += 8 * bytes;
            c.nextByte += bytes;
        } else {
            const uint8_t byte = c.nextByte < section_.size() ? section_[c.nextByte] : 0;
            c.window |= uint64_t{reverseBits8(byte)} << (56 - c.windowBits);
            c.windowBits += 8;
            ++c.nextByte;
        }
    }
}

[[gnu::always_inline]] inline uint32_t BitDecoder::takeBits(Coder& c, int count) const
{
    if (count == 0)
        return 0;
    if (c.windowBits < count)
        refill(c);
    const uint32_t bits = static_cast<uint32_t>(c.window >> (64 - count));
    c.window <<= count;
    c.windowBits -= count;
    c.bitPosition += static_cast<uint64_t>(count);
    return bits;
}

// Shifts settled bits out of the registers, mirroring the encoder: equal top bits are
// emitted by the encoder; low = 01..., high = 10... is an underflow it defers. The
// encoder does this one bit at a time; the run of equal top bits and the run of
// underflow bits that follows it are each taken in one step. (After an underflow
// the top bits differ, so no equal bits can follow it.)
[[gnu::always_inline]] inline void BitDecoder::renormalise(Coder& c) const
{
    const int settled = std::countl_zero((c.high ^ c.low) & kRegisterMask) - kRegisterBits;
    if (settled > 0) {
        c.low = (c.low << settled) & kRegisterMask;
        c.high = ((c.high << settled) & kRegisterMask) | ((1u << settled) - 1);
        c.code = ((c.code << settled) & kRegisterMask) | takeBits(c, settled);
        c.underflow = 0;
    }
    // Bits 14 down where low has a 1 and high a 0, moved to the top.
    const int deferred = std::countl_one(((c.low & ~c.high) & kBelowHalfMask) << (kRegisterBits + 1));
    if (deferred > 0) {
        c.low = (c.low << deferred) & kBelowHalfMask;
        c.high = ((c.high << deferred) & kBelowHalfMask) | kHalf | ((1u << deferred) - 1);
        // Each underflow step maps x to 2 (x - 0x8000) + 0x8000 + bit, modulo 2^16.
        c.code = ((((c.code ^ kHalf) << deferred) | takeBits(c, deferred)) & kRegisterMask) ^ kHalf;
        c.underflow += static_cast<uint64_t>(deferred);
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

[[gnu::always_inline]] inline uint32_t BitDecoder::rawByteSymbol(Coder& c) const
{
    if (isClean(c)) {
        // From a clean state a raw byte is exactly the next 8 stream bits.
        const uint32_t symbol = c.code >> 8;
        c.code = ((c.code << 8) & kRegisterMask) | takeBits(c, 8);
        c.underflow = 0;
        return symbol;
    }
    const uint32_t range = c.high - c.low + 1;
    const uint32_t symbol = ((c.code - c.low + 1) * kRawByteTotal - 1) / range;
    c.high = c.low + range * (symbol + 1) / kRawByteTotal - 1;
    c.low = c.low + range * symbol / kRawByteTotal;
    renormalise(c);
    return symbol;
}

[[gnu::always_inline]] inline uint32_t BitDecoder::decodeRawByteSymbol()
{
    const uint32_t symbol = rawByteSymbol(coder_);
    return checkAfterSymbol() ? symbol : 0;
}

uint32_t BitDecoder::decodeStatic(uint32_t range)
{
    const uint32_t width = coder_.high - coder_.low + 1;
    const uint32_t value = ((coder_.code - coder_.low + 1) * range - 1) / width;
    coder_.high = coder_.low + width * (value + 1) / range - 1;
    coder_.low = coder_.low + width * value / range;
    renormalise(coder_);
    return checkAfterSymbol() ? value : 0;
}

uint32_t BitDecoder::decodeAdaptive(AdaptiveHistogram& histogram)
{
    const uint32_t total = histogram.total();
    const uint32_t width = coder_.high - coder_.low + 1;
    const uint32_t target = ((coder_.code - coder_.low + 1) * total - 1) / width;
    if (target >= total) {
        fail(DecodeError::CorruptState);
        return 0;
    }
    // The escape is counted too.
    const SymbolInterval interval = histogram.findAndCount(target);
    coder_.high = coder_.low + width * (interval.cumulative + interval.frequency) / total - 1;
    coder_.low = coder_.low + width * interval.cumulative / total;
    renormalise(coder_);
    return checkAfterSymbol() ? interval.symbol : 0;
}

// From a clean state raw bytes are the next stream bits and leave the state clean, so
// several are taken at once when none of them can fail.
[[gnu::always_inline]] inline bool BitDecoder::readCleanBytes(int bytes, uint32_t& value)
{
    const int bits = 8 * bytes;
    if (!ok() || !isClean(coder_) || symbols_ + static_cast<uint64_t>(bytes) > symbolBudget_ ||
        coder_.bitPosition + static_cast<uint64_t>(bits) - kRegisterBits > sectionBits_)
        return false;
    if (coder_.windowBits < kCleanReadMaxBits)
        refill(coder_);
    const uint64_t next = coder_.window >> (64 - bits);
    coder_.window <<= bits;
    coder_.windowBits -= bits;
    coder_.bitPosition += static_cast<uint64_t>(bits);
    // The symbols are the bytes ahead of the new code register, the first one highest.
    const uint64_t stream = (uint64_t{coder_.code} << bits) | next;
    coder_.code = static_cast<uint32_t>(stream) & kRegisterMask;
    coder_.underflow = 0;
    symbols_ += static_cast<uint64_t>(bytes);
    // Bits reversed per byte; multi-byte values are little-endian.
    const uint64_t symbols = reverseBitsOfEachByte(stream >> kRegisterBits);
    value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<uint32_t>((symbols >> (bits - 8 - 8 * i)) & 0xFF) << (8 * i);
    return true;
}

// Field by field: the fields of a local coder live in registers, and a whole-struct copy
// would go through the stack in wide loads that wait for the narrow stores before them.
[[gnu::always_inline]] inline void BitDecoder::storeCoder(const Coder& c)
{
    coder_.bitPosition = c.bitPosition;
    coder_.window = c.window;
    coder_.windowBits = c.windowBits;
    coder_.nextByte = c.nextByte;
    coder_.underflow = c.underflow;
    coder_.low = c.low;
    coder_.high = c.high;
    coder_.code = c.code;
}

// Raw bytes one symbol each, little-endian; 0 once a read fails. From a clean state
// they are taken inline; otherwise each symbol is decoded.
[[gnu::always_inline]] inline uint32_t BitDecoder::readRawBytes(int bytes)
{
    if (uint32_t value = 0; readCleanBytes(bytes, value))
        return value;
    return decodeRawBytes(bytes);
}

uint32_t BitDecoder::decodeRawBytes(int bytes)
{
    // When no symbol can exceed the symbol budget, the coder runs on a local copy and
    // the end of the section is checked once, after the last symbol (consumed bits
    // never decrease). A value reaching past the end is read again symbol by symbol
    // below, for the exact failure.
    if (ok() && symbols_ + static_cast<uint64_t>(bytes) <= symbolBudget_) {
        Coder c = coder_;
        uint64_t symbols = 0;
        for (int i = 0; i < bytes; ++i)
            symbols |= uint64_t{rawByteSymbol(c)} << (8 * i);
        if (consumed(c) <= sectionBits_) {
            storeCoder(c);
            symbols_ += static_cast<uint64_t>(bytes);
            return static_cast<uint32_t>(reverseBitsOfEachByte(symbols));
        }
    }
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
    // Four at a time where they fit: a plain U32 is the same four byte symbols.
    uint32_t i = 0;
    for (; i + 4 <= length && ok(); i += 4) {
        const uint32_t four = readRawBytes(4);
        for (int k = 0; k < 4; ++k)
            text.push_back(static_cast<char>(four >> (8 * k)));
    }
    for (; i < length && ok(); ++i)
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

// A context already in use costs a load and a test; only a new one takes a call.
[[gnu::always_inline]] inline AdaptiveHistogram* BitDecoder::histogramFor(uint32_t id)
{
    if (histogramSlotsCleared_)
        if (const uint16_t slot = histogramSlot_[id]; slot != 0)
            return &histograms_[slot - 1u];
    return addHistogram(id);
}

// Called only for a context not in use yet.
AdaptiveHistogram* BitDecoder::addHistogram(uint32_t id)
{
    // A section uses few of the contexts: a small index by id, histograms only for those used.
    if (!histogramSlotsCleared_) {
        histogramSlot_.fill(0);
        histograms_.reserve(kHistogramsReserved);
        histogramSlotsCleared_ = true;
    }
    if (histogramBudget_.slotsLeft < AdaptiveHistogram::kInitialCapacity) {
        fail(DecodeError::HistogramBudget);
        return nullptr;
    }
    histogramBudget_.slotsLeft -= AdaptiveHistogram::kInitialCapacity;
    histograms_.emplace_back();
    histogramSlot_[id] = static_cast<uint16_t>(histograms_.size());
    return &histograms_.back();
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
