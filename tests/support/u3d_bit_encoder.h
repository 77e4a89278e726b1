// The writers' bit encoder, for building U3D test data: a binary arithmetic coder over
// 16-bit low/high registers with underflow counting, raw bytes coded bit-reversed with
// an even 256-way model, static contexts of R equal values, adaptive contexts with an
// escape symbol. Written step by step after the format's encoding algorithm and kept
// deliberately plain (histograms are ordered maps summed on every use), so that it
// checks the optimised decoder rather than sharing its mistakes.
//
// One encoder writes one Data or Meta Data section:
//     U3dBitEncoder out;
//     out.writeString("Box");
//     out.writeCompressedU32(u3dlib::adaptiveContext(1), 7);
//     std::vector<uint8_t> data = out.finish();
#pragma once

#include "u3dlib/contexts.h"

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <span>
#include <string_view>
#include <vector>

class U3dBitEncoder {
public:
    // noCompression: the file's profile says no value is compressed; compressed
    // writes then store the plain value of the field's width.
    explicit U3dBitEncoder(bool noCompression = false);

    void writeU8(uint8_t value);
    void writeU16(uint16_t value) { writeLittleEndian(value, 2); }
    void writeU32(uint32_t value) { writeLittleEndian(value, 4); }
    void writeU64(uint64_t value) { writeLittleEndian(value, 8); }
    void writeI16(int16_t value) { writeU16(static_cast<uint16_t>(value)); }
    void writeI32(int32_t value) { writeU32(static_cast<uint32_t>(value)); }
    void writeF32(float value) { writeU32(std::bit_cast<uint32_t>(value)); }
    void writeF64(double value) { writeU64(std::bit_cast<uint64_t>(value)); }
    void writeF32s(std::span<const float> values)
    {
        for (float v : values)
            writeF32(v);
    }
    void writeF32s(std::initializer_list<float> values) { writeF32s(std::span(values.begin(), values.size())); }
    void writeString(std::string_view text); // U16 byte count, then the bytes
    void writeBytes(std::span<const uint8_t> bytes);

    // A value outside a static context's range cannot be coded and throws
    // std::invalid_argument.
    void writeCompressedU8(u3dlib::Context context, uint8_t value);
    void writeCompressedU16(u3dlib::Context context, uint16_t value);
    void writeCompressedU32(u3dlib::Context context, uint32_t value);

    // Closes the section: a U32 0 when any compressed value was coded, then zero bits
    // up to a whole byte. Returns the section's bytes.
    std::vector<uint8_t> finish();

    // Bits settled so far; deferred underflow bits count once they are settled.
    uint64_t bitsWritten() const { return bitCount_; }

    // Count of a symbol (value + 1; 0 = escape) and total of an adaptive context.
    uint32_t frequency(u3dlib::Context context, uint64_t symbol) const;
    uint32_t total(u3dlib::Context context) const;

private:
    using Histogram = std::map<uint64_t, uint32_t>;

    void writeLittleEndian(uint64_t value, int bytes);
    void writeBit(uint32_t bit);
    void writeSymbol(uint32_t totalFrequency, uint32_t cumulativeFrequency, uint32_t symbolFrequency);
    // Returns true when the escape was written instead of the value.
    bool writeCompressedSymbol(u3dlib::Context context, uint64_t value);
    void writeCompressed(u3dlib::Context context, uint64_t value, int bits);
    void writePlainOfWidth(uint64_t value, int bits);
    Histogram& histogram(uint32_t contextId);
    static uint32_t histogramTotal(const Histogram& h);
    static void updateHistogram(Histogram& h, uint64_t symbol);

    bool noCompression_ = false;
    uint32_t low_ = 0;
    uint32_t high_ = 0xFFFF;
    uint32_t underflow_ = 0;
    bool compressedWritten_ = false;
    std::vector<uint8_t> bytes_;
    uint64_t bitCount_ = 0;
    std::map<uint32_t, Histogram> histograms_;
};
