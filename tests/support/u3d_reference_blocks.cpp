#include "tests/support/u3d_reference_blocks.h"

#include "tests/support/u3d_bit_encoder.h"
#include "u3dlib/block_types.h"

U3dBytes u3dFileHeaderBlock(uint32_t profile, uint32_t declarationSize, uint64_t fileSize)
{
    U3dHeaderFields fields;
    fields.profile = profile;
    fields.declarationSize = declarationSize;
    fields.fileSize = fileSize;
    return u3dBlock(u3dlib::kBlockFileHeader, u3dFileHeaderData(fields));
}

U3dBytes u3dFileReferenceBlock(const std::vector<std::string>& urls, const U3dChainBounds& bounds)
{
    U3dBitEncoder out;
    out.writeString("scope");
    out.writeU32((bounds.sphere ? 1u : 0u) | (bounds.box ? 2u : 0u));
    if (bounds.sphere)
        for (float v : *bounds.sphere)
            out.writeF32(v);
    if (bounds.box)
        for (float v : *bounds.box)
            out.writeF32(v);
    out.writeU32(static_cast<uint32_t>(urls.size()));
    for (const std::string& url : urls)
        out.writeString(url);
    out.writeU32(0); // filters
    out.writeU8(0);  // name collision policy
    out.writeString("");
    return u3dBlock(u3dlib::kBlockFileReference, out.finish());
}

U3dBytes u3dShadingModifierBlock(const std::string& name, const std::vector<std::vector<std::string>>& shaderLists)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(0); // chain index
    out.writeU32(1); // shading attributes
    out.writeU32(static_cast<uint32_t>(shaderLists.size()));
    for (const auto& list : shaderLists) {
        out.writeU32(static_cast<uint32_t>(list.size()));
        for (const std::string& shader : list)
            out.writeString(shader);
    }
    return u3dBlock(u3dlib::kBlockShadingModifier, out.finish());
}

U3dBytes concat(std::initializer_list<U3dBytes> parts)
{
    U3dBytes out;
    for (const U3dBytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}
