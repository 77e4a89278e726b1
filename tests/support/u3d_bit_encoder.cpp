#include "tests/support/u3d_bit_encoder.h"

#include <stdexcept>

namespace {

constexpr uint32_t kHBit = 0x8000;  // 0.5
constexpr uint32_t kQBit = 0x4000;  // 0.25
constexpr uint32_t kLBit = 0x0001;
constexpr uint32_t kRegister = 0xFFFF;
constexpr uint32_t kRawTotal = 256;
constexpr uint64_t kEscape = 0;
constexpr uint64_t kFirstUnlearnt = 0xFFFF;
constexpr uint32_t kHistogramLimit = 0x1FFF;

uint8_t swapBitOrder(uint8_t value)
{
    uint8_t swapped = 0;
    for (int i = 0; i < 8; ++i)
        if ((value & (1u << i)) != 0)
            swapped = static_cast<uint8_t>(swapped | (0x80u >> i));
    return swapped;
}

} // namespace

U3dBitEncoder::U3dBitEncoder(bool noCompression) : noCompression_(noCompression) {}

void U3dBitEncoder::writeBit(uint32_t bit)
{
    if ((bitCount_ & 7) == 0)
        bytes_.push_back(0);
    if (bit != 0)
        bytes_.back() = static_cast<uint8_t>(bytes_.back() | (1u << (bitCount_ & 7)));
    ++bitCount_;
}

void U3dBitEncoder::writeSymbol(uint32_t totalFrequency, uint32_t cumulativeFrequency, uint32_t symbolFrequency)
{
    // Update the probability limits.
    const uint32_t range = high_ - low_ + 1;
    high_ = low_ + range * (cumulativeFrequency + symbolFrequency) / totalFrequency - 1;
    low_ = low_ + range * cumulativeFrequency / totalFrequency;

    // Write out the bits on which high and low agree.
    while ((high_ & kHBit) == (low_ & kHBit)) {
        const uint32_t outputBit = (high_ & kHBit) != 0 ? 1 : 0;
        writeBit(outputBit);
        high_ = (((high_ & ~kHBit) << 1) | kLBit) & kRegister;
        low_ = ((low_ & ~kHBit) << 1) & kRegister & ~kLBit;
        while (underflow_ > 0) {
            writeBit(outputBit ^ 1);
            --underflow_;
        }
    }

    // Count the underflow bits while low = 01... and high = 10...
    while ((low_ & kQBit) != 0 && (high_ & kQBit) == 0) {
        high_ = ((((high_ & ~kHBit) << 1) | kLBit) | kHBit) & kRegister;
        low_ = (((low_ & ~kHBit) << 1) & ~kLBit) & ~kHBit & kRegister;
        ++underflow_;
    }
}

void U3dBitEncoder::writeU8(uint8_t value)
{
    const uint32_t symbol = swapBitOrder(value);
    writeSymbol(kRawTotal, symbol, 1);
}

void U3dBitEncoder::writeLittleEndian(uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        writeU8(static_cast<uint8_t>(value >> (8 * i)));
}

void U3dBitEncoder::writeString(std::string_view text)
{
    if (text.size() > 0xFFFF)
        throw std::invalid_argument("U3dBitEncoder: string longer than 65535 bytes");
    writeU16(static_cast<uint16_t>(text.size()));
    for (char c : text)
        writeU8(static_cast<uint8_t>(c));
}

void U3dBitEncoder::writeBytes(std::span<const uint8_t> bytes)
{
    for (uint8_t b : bytes)
        writeU8(b);
}

U3dBitEncoder::Histogram& U3dBitEncoder::histogram(uint32_t contextId)
{
    auto [it, inserted] = histograms_.try_emplace(contextId);
    if (inserted)
        it->second[kEscape] = 1;
    return it->second;
}

uint32_t U3dBitEncoder::histogramTotal(const Histogram& h)
{
    uint32_t total = 0;
    for (const auto& [symbol, count] : h)
        total += count;
    return total;
}

// Counts one more occurrence. Symbols from 0xFFFF up are never counted (real writers
// compare with >=; the format's wording, "larger than 0xFFFF", would count 0xFFFF). A
// full histogram is halved first, and the escape gets one more.
void U3dBitEncoder::updateHistogram(Histogram& h, uint64_t symbol)
{
    if (symbol >= kFirstUnlearnt)
        return;
    if (histogramTotal(h) >= kHistogramLimit) {
        for (auto it = h.begin(); it != h.end();) {
            it->second /= 2;
            it = it->second == 0 && it->first != kEscape ? h.erase(it) : std::next(it);
        }
        h[kEscape] += 1;
    }
    h[symbol] += 1;
}

bool U3dBitEncoder::writeCompressedSymbol(u3dlib::Context context, uint64_t value)
{
    if (context.isCodedStatic()) {
        const uint32_t range = context.staticRange();
        if (value >= range)
            throw std::invalid_argument("U3dBitEncoder: value outside its static context");
        // Symbol value + 1 has cumulative frequency value (the escape counts 0).
        writeSymbol(range, static_cast<uint32_t>(value), 1);
        return false;
    }
    Histogram& h = histogram(context.id);
    uint64_t symbol = value + 1;
    const auto found = h.find(symbol);
    if (found == h.end() || found->second == 0)
        symbol = kEscape;
    uint32_t cumulative = 0;
    for (const auto& [s, count] : h) {
        if (s >= symbol)
            break;
        cumulative += count;
    }
    writeSymbol(histogramTotal(h), cumulative, h[symbol]);
    updateHistogram(h, symbol);
    return symbol == kEscape;
}

void U3dBitEncoder::writePlainOfWidth(uint64_t value, int bits)
{
    switch (bits) {
    case 8: writeU8(static_cast<uint8_t>(value)); break;
    case 16: writeU16(static_cast<uint16_t>(value)); break;
    default: writeU32(static_cast<uint32_t>(value)); break;
    }
}

void U3dBitEncoder::writeCompressed(u3dlib::Context context, uint64_t value, int bits)
{
    if (noCompression_ || context.isRaw()) {
        writePlainOfWidth(value, bits);
        return;
    }
    compressedWritten_ = true;
    if (writeCompressedSymbol(context, value)) {
        writePlainOfWidth(value, bits);
        updateHistogram(histogram(context.id), value + 1);
    }
}

void U3dBitEncoder::writeCompressedU8(u3dlib::Context context, uint8_t value)
{
    writeCompressed(context, value, 8);
}

void U3dBitEncoder::writeCompressedU16(u3dlib::Context context, uint16_t value)
{
    writeCompressed(context, value, 16);
}

void U3dBitEncoder::writeCompressedU32(u3dlib::Context context, uint32_t value)
{
    writeCompressed(context, value, 32);
}

std::vector<uint8_t> U3dBitEncoder::finish()
{
    if (compressedWritten_)
        writeU32(0);
    return bytes_;
}

uint32_t U3dBitEncoder::frequency(u3dlib::Context context, uint64_t symbol) const
{
    const auto h = histograms_.find(context.id);
    if (h == histograms_.end())
        return symbol == kEscape ? 1 : 0;
    const auto it = h->second.find(symbol);
    return it == h->second.end() ? 0 : it->second;
}

uint32_t U3dBitEncoder::total(u3dlib::Context context) const
{
    const auto h = histograms_.find(context.id);
    return h == histograms_.end() ? 1 : histogramTotal(h->second);
}
