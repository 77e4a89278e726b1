#include "tests/support/u3d_block_writer.h"

#include "tests/support/u3d_bit_encoder.h"
#include "u3dlib/block_types.h"

namespace {

void appendU32(U3dBytes& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void padTo4(U3dBytes& out)
{
    while (out.size() % 4 != 0)
        out.push_back(0);
}

uint32_t loadType(const U3dBytes& block)
{
    return block.size() < 4 ? 0
                            : uint32_t{block[0]} | uint32_t{block[1]} << 8 | uint32_t{block[2]} << 16 |
                                  uint32_t{block[3]} << 24;
}

} // namespace

U3dBytes u3dBlock(uint32_t type, std::span<const uint8_t> data, std::span<const uint8_t> metaData)
{
    U3dBytes out;
    appendU32(out, type);
    appendU32(out, static_cast<uint32_t>(data.size()));
    appendU32(out, static_cast<uint32_t>(metaData.size()));
    out.insert(out.end(), data.begin(), data.end());
    padTo4(out);
    out.insert(out.end(), metaData.begin(), metaData.end());
    padTo4(out);
    return out;
}

U3dBytes u3dMetaData(const std::vector<U3dMetaEntry>& entries)
{
    U3dBitEncoder out;
    out.writeU32(static_cast<uint32_t>(entries.size()));
    for (const U3dMetaEntry& entry : entries) {
        out.writeU32(entry.attributes);
        out.writeString(entry.key);
        if ((entry.attributes & 1) != 0) {
            out.writeU32(static_cast<uint32_t>(entry.value.size()));
            out.writeBytes({reinterpret_cast<const uint8_t*>(entry.value.data()), entry.value.size()});
        } else {
            out.writeString(entry.value);
        }
    }
    return out.finish();
}

U3dBytes u3dFileHeaderData(const U3dHeaderFields& fields)
{
    U3dBitEncoder out;
    out.writeI16(fields.majorVersion);
    out.writeI16(fields.minorVersion);
    out.writeU32(fields.profile);
    out.writeU32(fields.declarationSize);
    out.writeU64(fields.fileSize);
    out.writeU32(fields.characterEncoding);
    if ((fields.profile & 0x8) != 0)
        out.writeF64(fields.unitsScale);
    return out.finish();
}

U3dBytes u3dFileHeaderBlock(uint32_t profile, uint32_t declarationSize, uint64_t fileSize)
{
    U3dHeaderFields fields;
    fields.profile = profile;
    fields.declarationSize = declarationSize;
    fields.fileSize = fileSize;
    return u3dBlock(u3dlib::kBlockFileHeader, u3dFileHeaderData(fields));
}

U3dBytes concat(std::initializer_list<U3dBytes> parts)
{
    U3dBytes out;
    for (const U3dBytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

void writeChainBounds(U3dBitEncoder& out, const U3dChainBounds& bounds)
{
    out.writeU32((bounds.sphere ? 1u : 0u) | (bounds.box ? 2u : 0u));
    if (bounds.sphere)
        out.writeF32s(*bounds.sphere);
    if (bounds.box)
        out.writeF32s(*bounds.box);
}

U3dBytes u3dModifierChainData(std::string_view name, uint32_t chainType, const std::vector<U3dBytes>& blocks,
                              const U3dChainBounds& bounds, std::optional<uint32_t> modifierCount)
{
    U3dBitEncoder fields;
    fields.writeString(name);
    fields.writeU32(chainType);
    writeChainBounds(fields, bounds);
    U3dBytes out = fields.finish();
    padTo4(out);
    appendU32(out, modifierCount.value_or(static_cast<uint32_t>(blocks.size())));
    for (const U3dBytes& block : blocks)
        out.insert(out.end(), block.begin(), block.end());
    return out;
}

U3dBytes u3dModifierChainBlock(std::string_view name, uint32_t chainType, const std::vector<U3dBytes>& blocks,
                               const U3dChainBounds& bounds)
{
    return u3dBlock(u3dlib::kBlockModifierChain, u3dModifierChainData(name, chainType, blocks, bounds));
}

U3dFileAssembler::U3dFileAssembler(U3dHeaderFields header, bool fillSizes)
    : header_(header), fillSizes_(fillSizes)
{
}

void U3dFileAssembler::add(U3dBytes block)
{
    blocks_.push_back(std::move(block));
}

void U3dFileAssembler::addBlock(uint32_t type, std::span<const uint8_t> data, std::span<const uint8_t> metaData)
{
    blocks_.push_back(u3dBlock(type, data, metaData));
}

U3dBytes U3dFileAssembler::bytes() const
{
    U3dHeaderFields header = header_;
    if (fillSizes_) {
        // The header block's size does not depend on the sizes it carries.
        const uint64_t headerSize = u3dBlock(u3dlib::kBlockFileHeader, u3dFileHeaderData(header)).size();
        uint64_t declarations = headerSize;
        uint64_t total = headerSize;
        bool inDeclarations = true;
        for (const U3dBytes& block : blocks_) {
            inDeclarations = inDeclarations && !u3dlib::isContinuationBlockType(loadType(block));
            if (inDeclarations)
                declarations += block.size();
            total += block.size();
        }
        header.declarationSize = static_cast<uint32_t>(declarations);
        header.fileSize = total;
    }
    U3dBytes out = u3dBlock(u3dlib::kBlockFileHeader, u3dFileHeaderData(header));
    for (const U3dBytes& block : blocks_)
        out.insert(out.end(), block.begin(), block.end());
    return out;
}
