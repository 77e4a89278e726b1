// The fields of a modifier chain block and the blocks nested in its Data.
//
// A chain's Data: String name (also the name of every modifier inside), U32 chain type,
// U32 attributes (bit 0: bounding sphere of 4 F32, bit 1: axis-aligned box of 6 F32),
// zero padding to a multiple of 4 from the start of the Data, U32 modifier count, then
// complete blocks up to the end of the Data. Walk those with
//     BlockCursor nested(chain.nestedBlocks, chain.nestedOffset);
// The modifier count is what the writer wrote; in practice it is the number of nested
// blocks, but the blocks themselves are authoritative.
#pragma once

#include "u3dlib/bit_decoder.h"
#include "u3dlib/block_framing.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace u3dlib {

inline constexpr uint32_t kChainTypeNode = 0;
inline constexpr uint32_t kChainTypeModelResource = 1;
inline constexpr uint32_t kChainTypeTexture = 2;

inline constexpr uint32_t kChainHasBoundingSphere = 0x1;
inline constexpr uint32_t kChainHasBoundingBox = 0x2;

struct ModifierChainHeader {
    std::string name;
    uint32_t chainType = 0;
    uint32_t attributes = 0;
    std::array<float, 4> boundingSphere{}; // centre x, y, z, radius (if attributes & 1)
    std::array<float, 6> boundingBox{};    // min x, y, z, max x, y, z (if attributes & 2)
    uint32_t modifierCount = 0;
    std::span<const uint8_t> nestedBlocks;
    uint64_t nestedOffset = 0; // file offset of nestedBlocks
};

enum class ChainStatus : uint8_t {
    Ok,
    FieldsCut,      // the Data ends inside the name, type, attributes or bounds
    CountMissing,   // no room for the padding and the modifier count
};

const char* describeChainStatus(ChainStatus status);

// Reads the chain fields of a modifier chain block; on Ok, nestedBlocks is the rest of
// its Data.
ChainStatus readModifierChainHeader(const Block& chain, ModifierChainHeader& out);

} // namespace u3dlib
