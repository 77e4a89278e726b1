// Reads the values of one block's Data (or Meta Data) section.
//
// Every section is one independent stream of a binary arithmetic coder: plain ("raw")
// values and compressed values alike are coded symbols, raw bytes with an even 256-way
// model. The decoder is the exact inverse of the writers' encoder (16-bit low/high
// registers with underflow counting); stream bit k is bit k & 7 of byte k >> 3.
//
// Use:
//     BitDecoder in(block.data, fileHeader.decoderOptions());
//     std::string name = in.readString();
//     uint32_t count = in.readU32();
//     if (!in.ok() || count > in.bitsLeft()) ...        // bound counts before sizing
//     uint32_t shading = in.readCompressedU32(adaptiveContext(1));
//     BlockEnd end = in.finish();                       // flush check, exact end
//
// Errors are sticky: the first failure (a read past the end of the section, a value
// too wide for its field, a memory or work budget exceeded) sets error(), and from
// then on every read returns 0 and changes nothing. Check ok() at least once per
// record and in every loop whose count came from the stream. Nothing is ever read
// outside the section: the coder's look-ahead sees zero bits past its end, and a value
// that needs any of them fails with DecodeError::PastEnd.
//
// The decoder owns the adaptive histograms of the section (created on first use),
// bounded by kHistogramSlotBudget, and refuses more than
// kSymbolBudgetBase + kSymbolsPerDataBit * bits-in-section decoded symbols, since a
// symbol of a skewed adaptive context can cost far less than one bit.
#pragma once

#include "u3dlib/adaptive_histogram.h"
#include "u3dlib/contexts.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace u3dlib {

enum class DecodeError : uint8_t {
    None,
    PastEnd,          // a value needed bits beyond the end of the section
    ValueTooWide,     // a compressed value does not fit its field (U8/U16)
    HistogramBudget,  // adaptive histograms would exceed kHistogramSlotBudget
    SymbolBudget,     // more symbols than the section's size can plausibly hold
    CorruptState,     // coder registers out of order (cannot happen for any input)
};

const char* describeDecodeError(DecodeError error);

struct DecoderOptions {
    // The file's profile says no value is compressed: every compressed field is a
    // plain value of its width.
    bool noCompression = false;
};

enum class EndStatus : uint8_t {
    Exact,        // the content (and flush) ends in the section's last byte
    ZeroTail,     // the content ends earlier and only zero bytes follow
    TrailingData, // non-zero bytes follow the content: the reader missed fields
    BadFlush,     // the closing word after compressed values was not 0
    Failed,       // a read failed (see error())
};

const char* describeEndStatus(EndStatus status);

struct BlockEnd {
    EndStatus status = EndStatus::Failed;
    uint64_t contentBytes = 0; // bytes the writer's encoder produced for what was read
};

class BitDecoder {
public:
    // Histogram tree slots per decoder (2 bytes each: 8 MiB). A context whose values
    // reach 0xFFFE uses 65536 slots, so 64 such contexts fit in one section.
    static constexpr size_t kHistogramSlotBudget = size_t{1} << 22;
    // Adaptive contexts a section typically uses; more only cost a reallocation.
    static constexpr size_t kHistogramsReserved = 8;
    static constexpr uint64_t kSymbolBudgetBase = uint64_t{1} << 16;
    static constexpr uint64_t kSymbolsPerDataBit = 128;

    explicit BitDecoder(std::span<const uint8_t> section, DecoderOptions options = {});
    ~BitDecoder();
    BitDecoder(const BitDecoder&) = delete;
    BitDecoder& operator=(const BitDecoder&) = delete;

    // Plain values (multi-byte values little-endian, built from raw bytes).
    uint8_t readU8();
    uint16_t readU16();
    uint32_t readU32();
    uint64_t readU64();
    int16_t readI16();
    int32_t readI32();
    float readF32();
    double readF64();
    // U16 byte count, then the bytes (UTF-8 in practice, returned unchanged).
    std::string readString();
    // out.size() raw bytes; false (and error set) if they are not all there. The
    // caller bounds the size by bytesLeft() before allocating.
    bool readBytes(std::span<uint8_t> out);

    // Compressed values: a symbol of the context; from an adaptive context an escape
    // followed by the plain value, which the context then learns.
    uint8_t readCompressedU8(Context context);
    uint16_t readCompressedU16(Context context);
    uint32_t readCompressedU32(Context context);

    bool ok() const { return error_ == DecodeError::None; }
    DecodeError error() const { return error_; }
    // Marks the section as failed from outside (a reader that found an implausible
    // value), so that later reads stop too. The first error stays.
    void fail(DecodeError error);

    uint64_t sectionBits() const { return sectionBits_; }
    // Bits the writer's encoder had produced when it had written what was read so far.
    uint64_t bitsConsumed() const;
    // Bits still unread; a count of items each needing at least b bits is plausible
    // only up to bitsLeft() / b. bytesLeft() is the same in whole bytes.
    uint64_t bitsLeft() const;
    uint64_t bytesLeft() const { return bitsLeft() / 8; }
    // A value was decoded through an adaptive or static model, so the writer closed
    // the section with a 0 word.
    bool usedCompression() const { return usedCompression_; }
    uint64_t symbolsDecoded() const { return symbols_; }

    // Ends the section: reads the closing 0 word if compressed values were read, then
    // checks that nothing but zero bytes follows. Call once, after the last field (a
    // second call reports Failed). Readers should accept ZeroTail as well as Exact:
    // several writers leave zero bytes after a block's content.
    BlockEnd finish();

private:
    static constexpr uint64_t kCodeBits = 16; // width of the code register

    // The coder's registers and the stream position: a struct, so that the hot paths
    // can run on a local copy that stays in registers.
    struct Coder {
        uint64_t bitPosition = 0; // next stream bit to shift into code
        // Stream bits from bitPosition on, the next one in bit 63; past the section end
        // they are zero, as the coder's look-ahead sees them.
        uint64_t window = 0;
        int windowBits = 0;
        size_t nextByte = 0;    // first section byte not yet in window
        uint64_t underflow = 0; // underflow shifts not yet settled by the encoder
        uint32_t low = 0;
        uint32_t high = 0xFFFF;
        uint32_t code = 0;
    };

    // The next count (<= 16) stream bits, the first one read as the most significant.
    uint32_t takeBits(Coder& c, int count) const;
    void refill(Coder& c) const;
    void renormalise(Coder& c) const;
    uint32_t rawByteSymbol(Coder& c) const;
    bool checkAfterSymbol();
    uint32_t decodeRawByteSymbol();
    bool readCleanBytes(int bytes, uint32_t& value);
    uint32_t readRawBytes(int bytes);
    uint32_t decodeRawBytes(int bytes);
    uint32_t decodeStatic(uint32_t range);
    uint32_t decodeAdaptive(AdaptiveHistogram& histogram);
    uint64_t readRawOfWidth(int bits);
    uint32_t readCompressed(Context context, int bits);
    AdaptiveHistogram* histogramFor(uint32_t id);
    AdaptiveHistogram* addHistogram(uint32_t id);
    static uint64_t consumed(const Coder& c) { return c.bitPosition - kCodeBits - c.underflow; }
    void storeCoder(const Coder& c);
    static bool isClean(const Coder& c) { return (c.low | (c.high ^ 0xFFFF)) == 0; }
    bool isClean() const { return isClean(coder_); }

    std::span<const uint8_t> section_;
    DecoderOptions options_;
    uint64_t sectionBits_ = 0;
    Coder coder_;
    uint64_t symbols_ = 0;
    uint64_t symbolBudget_ = 0;
    DecodeError error_ = DecodeError::None;
    bool usedCompression_ = false;
    bool finished_ = false;
    HistogramBudget histogramBudget_{kHistogramSlotBudget};
    // By context id: 1 + index into histograms_, 0 for none. Cleared on first use, as
    // many sections use no adaptive context at all.
    bool histogramSlotsCleared_ = false;
    std::array<uint16_t, kLastAdaptiveContextId + 1> histogramSlot_;
    // By value, so that a block of a few values costs one allocation, not one per
    // context. A pointer into it lives only while one value is read.
    std::vector<AdaptiveHistogram> histograms_;
};

} // namespace u3dlib
