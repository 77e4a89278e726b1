#include "tests/support/u3d_encoder.h"

U3dWriter& U3dWriter::u16(uint16_t value)
{
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    return *this;
}

U3dWriter& U3dWriter::u32(uint32_t value)
{
    return u16(static_cast<uint16_t>(value)).u16(static_cast<uint16_t>(value >> 16));
}

U3dWriter& U3dWriter::u64(uint64_t value)
{
    return u32(static_cast<uint32_t>(value)).u32(static_cast<uint32_t>(value >> 32));
}

U3dWriter& U3dWriter::string(const std::string& text)
{
    u16(static_cast<uint16_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
}

U3dWriter& U3dWriter::raw(const Bytes& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

Bytes u3dBlock(uint32_t type, const Bytes& data, const Bytes& metadata)
{
    U3dWriter out;
    out.u32(type).u32(static_cast<uint32_t>(data.size())).u32(static_cast<uint32_t>(metadata.size())).raw(data);
    out.bytes.resize((out.bytes.size() + 3) & ~size_t{3}, 0);
    out.raw(metadata);
    out.bytes.resize((out.bytes.size() + 3) & ~size_t{3}, 0);
    return out.bytes;
}

Bytes u3dFileHeader(uint32_t profile, uint32_t declarationSize, uint64_t fileSize)
{
    U3dWriter data;
    data.u16(0).u16(0).u32(profile).u32(declarationSize).u64(fileSize).u32(106);
    return u3dBlock(0x00443355, data.bytes);
}

Bytes u3dFileReference(const std::vector<std::string>& urls, uint32_t attributes)
{
    U3dWriter data;
    data.string("scope").u32(attributes);
    if (attributes & 1)
        data.raw(Bytes(16, 0));
    if (attributes & 2)
        data.raw(Bytes(24, 0));
    data.u32(static_cast<uint32_t>(urls.size()));
    for (const std::string& url : urls)
        data.string(url);
    data.u32(0).bytes.push_back(0); // no filters, name collision policy
    data.string("");
    return u3dBlock(0xFFFFFF12, data.bytes);
}

Bytes u3dShadingModifier(const std::string& name, const std::vector<std::vector<std::string>>& shaderLists)
{
    U3dWriter data;
    data.string(name).u32(0).u32(1).u32(static_cast<uint32_t>(shaderLists.size()));
    for (const auto& list : shaderLists) {
        data.u32(static_cast<uint32_t>(list.size()));
        for (const std::string& shader : list)
            data.string(shader);
    }
    return u3dBlock(0xFFFFFF45, data.bytes);
}

Bytes u3dModifierChain(const std::string& name, const Bytes& nestedBlocks, uint32_t attributes)
{
    U3dWriter data;
    data.string(name).u32(0).u32(attributes);
    if (attributes & 1)
        data.raw(Bytes(16, 0));
    if (attributes & 2)
        data.raw(Bytes(24, 0));
    data.bytes.resize(data.bytes.size() + (4 - (2 + name.size()) % 4) % 4, 0);
    data.u32(1).raw(nestedBlocks);
    return u3dBlock(0xFFFFFF14, data.bytes);
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}
