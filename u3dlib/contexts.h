// Compression contexts: which probability model codes a value.
//
// One number space names every context, so that block readers can use the ids of the
// format's context table as they stand:
//   0                      the uncompressed-byte model: the value is written raw
//   1 .. 0x3FF             adaptive: a histogram learnt from the values of this block
//   0x400 + R, 1..0x3FFE   static: R equally likely values 0 .. R-1
//   0x400 + R, R >= 0x3FFF the range is too wide to code: the value is written raw
//   0x400 (R = 0)          no value fits; written raw, as the one writer that produces it does
// A strong type keeps a context from being passed where a value is meant, and makes
// readers say which kind they mean (adaptiveContext(21) vs staticContext(count)).
#pragma once

#include <algorithm>
#include <cstdint>

namespace u3dlib {

inline constexpr uint32_t kUncompressedContextId = 0;
inline constexpr uint32_t kFirstAdaptiveContextId = 1;
inline constexpr uint32_t kLastAdaptiveContextId = 0x3FF;
inline constexpr uint32_t kStaticContextBase = 0x400;
// Widest static range that is still coded; wider ranges are written raw.
inline constexpr uint32_t kMaxStaticRange = 0x3FFE;
// Total of the raw-byte model: every byte value equally likely.
inline constexpr uint32_t kRawByteTotal = 256;

struct Context {
    uint32_t id = kUncompressedContextId;

    constexpr bool isAdaptive() const { return id >= kFirstAdaptiveContextId && id <= kLastAdaptiveContextId; }
    // Static and actually coded (1 <= range <= kMaxStaticRange).
    constexpr bool isCodedStatic() const
    {
        return id > kStaticContextBase && id - kStaticContextBase <= kMaxStaticRange;
    }
    constexpr uint32_t staticRange() const { return id - kStaticContextBase; }
    // Values in this context are written as plain values of the field's width.
    constexpr bool isRaw() const { return !isAdaptive() && !isCodedStatic(); }

    friend constexpr bool operator==(Context, Context) = default;
};

inline constexpr Context kUncompressedContext{kUncompressedContextId};

// Adaptive context number n (1 .. 0x3FF), as in the format's context table.
constexpr Context adaptiveContext(uint32_t n)
{
    return Context{n};
}

// Static context for the values 0 .. range-1. Ranges too wide to code (and the empty
// range) give a context whose values are written raw.
constexpr Context staticContext(uint32_t range)
{
    return Context{kStaticContextBase + std::min(range, kMaxStaticRange + 1)};
}

// Bits 0<->7, 1<->6, 2<->5, 3<->4 swapped: raw bytes are coded bit-reversed so that, from
// a clean coder state, they appear verbatim in the stream.
constexpr uint8_t reverseBits8(uint8_t v)
{
    v = static_cast<uint8_t>((v & 0xF0) >> 4 | (v & 0x0F) << 4);
    v = static_cast<uint8_t>((v & 0xCC) >> 2 | (v & 0x33) << 2);
    v = static_cast<uint8_t>((v & 0xAA) >> 1 | (v & 0x55) << 1);
    return v;
}

} // namespace u3dlib
