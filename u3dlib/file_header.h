// The file header block: the first block of every file.
//
// Data: I16 major version, I16 minor version, U32 profile, U32 declaration size,
// U64 file size, U32 character encoding, and an F64 units scale only when the profile
// says the file has defined units. Writers are careless with the two sizes (most write
// only the header's own size, some a wrong file size) and with the major version:
// they are reported, never used.
#pragma once

#include "u3dlib/bit_decoder.h"
#include "u3dlib/block_framing.h"

#include <cstdint>
#include <span>

namespace u3dlib {

inline constexpr uint32_t kProfileExtensible = 0x2;
inline constexpr uint32_t kProfileNoCompression = 0x4;
inline constexpr uint32_t kProfileDefinedUnits = 0x8;

inline constexpr uint32_t kCharacterEncodingUtf8 = 106;

struct FileHeader {
    int16_t majorVersion = 0;
    int16_t minorVersion = 0;
    uint32_t profile = 0;
    uint32_t declarationSize = 0;
    uint64_t fileSize = 0;
    uint32_t characterEncoding = kCharacterEncodingUtf8;
    double unitsScale = 1.0; // file units to metres; 1 when the file defines none

    bool noCompression() const { return (profile & kProfileNoCompression) != 0; }
    bool hasUnits() const { return (profile & kProfileDefinedUnits) != 0; }
    // Options for the decoders of every other block of the file.
    DecoderOptions decoderOptions() const { return DecoderOptions{noCompression()}; }
};

// Reads the header fields from a decoder over the header block's Data; the result is
// meaningful when in.ok(). The caller may then check in.finish().
FileHeader readFileHeader(BitDecoder& in);

// True when the file starts with a whole file header block; fills header and block.
bool readFirstBlockAsFileHeader(std::span<const uint8_t> file, Block& block, FileHeader& header);

} // namespace u3dlib
