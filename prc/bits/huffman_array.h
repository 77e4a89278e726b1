// Huffman-compressed arrays: a code table and the coded elements, packed into 32-bit
// words that form one least-significant-bit-first bit field.
#pragma once

#include "prc/bits/lsb_bit_field_reader.h"

#include <cstdint>
#include <vector>

class PRCBitReader;

struct HuffmanOptions {
    // The code length of each table entry is max_code_length bits wide (otherwise 8).
    bool lengthFieldsUseMaxCodeLength = true;
    // Words are four 8-bit fields followed by the number of bits used in the last word
    // (otherwise each word is an UnsignedInteger and all its 32 bits count).
    bool rawWords = true;
};

inline constexpr uint32_t kMaxHuffmanArraySize = 0x4000000;   // words
inline constexpr uint32_t kMaxHuffmanElementCount = 0x8000000; // elements
inline constexpr uint32_t kMaxHuffmanCodeLength = 32;

// Reads the words from the bit reader and decodes them. Values are sign-extended from
// numBitsPerElem bits when signedValues is set. Throws std::runtime_error.
std::vector<uint32_t> readHuffmanCompressedArray(PRCBitReader& reader, uint8_t numBitsPerElem, bool signedValues,
                                                 const HuffmanOptions& options);

// Decodes the code table and the elements from the bit field.
std::vector<uint32_t> decodeHuffmanBitField(LsbBitFieldReader& field, uint8_t numBitsPerElem, bool signedValues,
                                            const HuffmanOptions& options);
