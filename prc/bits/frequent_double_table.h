// The prefix code that starts every PRC Double: either a frequent value, returned as it
// is, or an exponent, followed by the sign and mantissa bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum class FrequentDoubleKind : uint8_t { Value, Exponent };

struct FrequentDoubleEntry {
    FrequentDoubleKind kind;
    uint8_t length; // code length in bits
    uint32_t code;  // the code bits, the first bit read as the most significant
    uint64_t bits;  // the double's bit pattern; for exponents only its exponent field counts
};

inline constexpr size_t kFrequentDoubleEntryCount = 2077;

// Generated from the reference table by tools/generate_frequent_double_table.py.
extern const std::array<FrequentDoubleEntry, kFrequentDoubleEntryCount> kFrequentDoubleTable;
