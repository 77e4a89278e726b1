// Arrays of characters and shorts, stored plainly or Huffman-compressed, and the two
// integer-array encodings built on them.
#pragma once

#include "prc/bits/huffman_array.h"

#include <cstdint>
#include <vector>

class PRCBitReader;

inline constexpr uint32_t kMaxCompressedValueBits = 32;

// The compression flag is read when readFlag is set; otherwise defaultCompressed holds.
// numBitsPerElem (1 to 8) applies to the compressed form only; plain elements are bytes.
std::vector<uint8_t> readCharacterArray(PRCBitReader& reader, uint32_t numBitsPerElem, bool readFlag,
                                        bool defaultCompressed, bool signedValues, const HuffmanOptions& options);

// As readCharacterArray with 1 to 16 bits; a plain element is a low then a high byte.
std::vector<uint16_t> readShortArray(PRCBitReader& reader, uint32_t numBitsPerElem, bool readFlag,
                                     bool defaultCompressed, bool signedValues, const HuffmanOptions& options);

// A compressed array of 6-bit signed bit counts, then per count a sign bit and count - 1
// magnitude bits.
std::vector<int32_t> readCompressedIntegerArray(PRCBitReader& reader, const HuffmanOptions& options);

// Indices as differences: a character array of bit-count deltas, then the first index
// and the differences to the previous index, each as sign and magnitude. The first index
// is kept as stored even when negative (it wraps); a later negative index is refused.
std::vector<uint32_t> readCompressedIndiceArray(PRCBitReader& reader, bool readFlag, uint32_t numBitsPerElem,
                                                bool defaultCompressed, const HuffmanOptions& options);
