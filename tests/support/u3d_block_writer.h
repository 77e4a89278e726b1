// Building U3D test files block by block.
//
//     U3dBitEncoder node;
//     node.writeString("Box"); ...
//     U3dFileAssembler file;                       // header block written by bytes()
//     file.addBlock(u3dlib::kBlockModelNode, node.finish());
//     file.add(u3dModifierChainBlock("Box", u3dlib::kChainTypeNode, {block1, block2}));
//     std::vector<uint8_t> bytes = file.bytes();
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

using U3dBytes = std::vector<uint8_t>;

// One whole block: header, data, zero padding, meta data, zero padding.
U3dBytes u3dBlock(uint32_t type, std::span<const uint8_t> data, std::span<const uint8_t> metaData = {});

struct U3dMetaEntry {
    uint32_t attributes = 0; // bit 0: binary value
    std::string key;
    std::string value;       // string, or the bytes of a binary value
};

// A Meta Data section holding the given pairs.
U3dBytes u3dMetaData(const std::vector<U3dMetaEntry>& entries);

struct U3dHeaderFields {
    int16_t majorVersion = 0;
    int16_t minorVersion = 0;
    uint32_t profile = 0;
    uint32_t declarationSize = 0;
    uint64_t fileSize = 0;
    uint32_t characterEncoding = 106;
    double unitsScale = 1.0; // written only when profile has the defined-units bit
};

// The Data of a file header block, and the whole block.
U3dBytes u3dFileHeaderData(const U3dHeaderFields& fields);
U3dBytes u3dFileHeaderBlock(uint32_t profile, uint32_t declarationSize, uint64_t fileSize);

U3dBytes concat(std::initializer_list<U3dBytes> parts);

struct U3dChainBounds {
    std::optional<std::array<float, 4>> sphere;
    std::optional<std::array<float, 6>> box;
};

// Bounds attributes and values, as chains and file references write them.
void writeChainBounds(class U3dBitEncoder& out, const U3dChainBounds& bounds);

// The Data of a modifier chain block holding the given whole blocks; the modifier
// count defaults to their number.
U3dBytes u3dModifierChainData(std::string_view name, uint32_t chainType, const std::vector<U3dBytes>& blocks,
                              const U3dChainBounds& bounds = {}, std::optional<uint32_t> modifierCount = {});
// The same, wrapped as a whole modifier chain block.
U3dBytes u3dModifierChainBlock(std::string_view name, uint32_t chainType, const std::vector<U3dBytes>& blocks,
                               const U3dChainBounds& bounds = {});

// A whole file: the header block first, then the blocks in the order added. Unless
// told otherwise, the header's declaration size covers the header and every block
// before the first continuation block (priority updates included), and its file size
// the whole file.
class U3dFileAssembler {
public:
    explicit U3dFileAssembler(U3dHeaderFields header = {}, bool fillSizes = true);

    void add(U3dBytes block);
    void addBlock(uint32_t type, std::span<const uint8_t> data, std::span<const uint8_t> metaData = {});
    U3dBytes bytes() const;

private:
    U3dHeaderFields header_;
    bool fillSizes_ = true;
    std::vector<U3dBytes> blocks_;
};
