// The key/value pairs of a block's Meta Data section.
//
// Layout: U32 pair count, then per pair U32 attributes, String key, and either a String
// value or (attributes bit 0) U32 size followed by that many raw bytes. The other
// attribute bits are display hints for a viewer. Meta data never changes what a block
// means: a reader that does not need it simply ignores Block::metaData.
#pragma once

#include "u3dlib/bit_decoder.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace u3dlib {

inline constexpr uint32_t kMetaBinaryValue = 0x1;
inline constexpr uint32_t kMetaHidden = 0x2;
inline constexpr uint32_t kMetaDoubleClick = 0x10;
inline constexpr uint32_t kMetaValueInMenu = 0x20;
inline constexpr uint32_t kMetaKeyInMenu = 0x40;
inline constexpr uint32_t kMetaAction = 0x100;
inline constexpr uint32_t kMetaFile = 0x200;
inline constexpr uint32_t kMetaMime = 0x400;

struct MetaDataPair {
    uint32_t attributes = 0;
    std::string key;
    std::string value; // the string, or the raw bytes of a binary value

    bool isBinary() const { return (attributes & kMetaBinaryValue) != 0; }
};

// Smallest pair: attributes, empty key, empty string value.
inline constexpr uint64_t kMinMetaDataPairBytes = 4 + 2 + 2;

struct MetaDataResult {
    std::vector<MetaDataPair> pairs;
    DecodeError error = DecodeError::None; // why reading stopped, if it did
    BlockEnd end;                          // Failed when error is set
    bool ok() const { return error == DecodeError::None; }
};

// An empty section holds no pairs. A pair count that the section cannot hold fails
// with PastEnd before anything is allocated for it.
MetaDataResult readMetaData(std::span<const uint8_t> section);

} // namespace u3dlib
