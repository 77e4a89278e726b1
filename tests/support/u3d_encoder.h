// Small writers of U3D block framing for tests: file headers, file references,
// modifier chains and shading modifiers, laid out as the format stores them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Little-endian fields and U3D strings (u16 length, then the bytes).
struct U3dWriter {
    Bytes bytes;
    U3dWriter& u16(uint16_t value);
    U3dWriter& u32(uint32_t value);
    U3dWriter& u64(uint64_t value);
    U3dWriter& string(const std::string& text);
    U3dWriter& raw(const Bytes& more);
};

// A block: type, data size, metadata size, then data and metadata padded to 4 bytes.
Bytes u3dBlock(uint32_t type, const Bytes& data, const Bytes& metadata = {});
Bytes u3dFileHeader(uint32_t profile, uint32_t declarationSize, uint64_t fileSize);
Bytes u3dFileReference(const std::vector<std::string>& urls, uint32_t attributes = 0);
Bytes u3dShadingModifier(const std::string& name, const std::vector<std::vector<std::string>>& shaderLists);
Bytes u3dModifierChain(const std::string& name, const Bytes& nestedBlocks, uint32_t attributes = 0);
Bytes concat(std::initializer_list<Bytes> parts);
