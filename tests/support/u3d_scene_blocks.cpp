#include "tests/support/u3d_scene_blocks.h"

#include "tests/support/u3d_bit_encoder.h"
#include "u3dlib/block_types.h"

using namespace u3dlib;

namespace {

void writeParents(U3dBitEncoder& out, const std::vector<U3dParent>& parents)
{
    out.writeU32(static_cast<uint32_t>(parents.size()));
    for (const U3dParent& parent : parents) {
        out.writeString(parent.name);
        out.writeF32s(parent.matrix);
    }
}

U3dBytes nodeBlock(uint32_t type, const std::string& name, const std::vector<U3dParent>& parents,
                   const std::string& resource, uint32_t visibility)
{
    U3dBitEncoder out;
    out.writeString(name);
    writeParents(out, parents);
    if (type != kBlockGroupNode)
        out.writeString(resource);
    if (type == kBlockModelNode)
        out.writeU32(visibility);
    return u3dBlock(type, out.finish());
}

} // namespace

U3dMatrix u3dTranslation(float x, float y, float z)
{
    U3dMatrix m = kU3dIdentity;
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

U3dBytes u3dGroupNodeBlock(const std::string& name, const std::vector<U3dParent>& parents)
{
    return nodeBlock(kBlockGroupNode, name, parents, "", 0);
}

U3dBytes u3dModelNodeBlock(const std::string& name, const std::vector<U3dParent>& parents,
                           const std::string& resource, uint32_t visibility)
{
    return nodeBlock(kBlockModelNode, name, parents, resource, visibility);
}

U3dBytes u3dLightNodeBlock(const std::string& name, const std::vector<U3dParent>& parents,
                           const std::string& resource)
{
    return nodeBlock(kBlockLightNode, name, parents, resource, 0);
}

U3dBytes u3dViewNodeBlock(const std::string& name, const std::vector<U3dParent>& parents,
                          const std::string& resource, uint32_t attributes, std::array<float, 3> projection,
                          const std::vector<std::string>& backdrops)
{
    U3dBitEncoder out;
    out.writeString(name);
    writeParents(out, parents);
    out.writeString(resource);
    out.writeU32(attributes);
    out.writeF32s({0.1f, 1000.0f});
    const uint32_t projectionKind = attributes & 6;
    out.writeF32s(std::span(projection).first(projectionKind == 4 || projectionKind == 6 ? 3 : 1));
    out.writeF32s({1.0f, 1.0f, 0.0f, 0.0f});
    out.writeU32(static_cast<uint32_t>(backdrops.size()));
    for (const std::string& texture : backdrops) {
        out.writeString(texture);
        out.writeF32s({0.5f, 0.5f, 0.5f, 0.5f});
        out.writeI32(1);
        out.writeI32(2);
        out.writeF32s({1, 1});
    }
    out.writeU32(0); // overlays
    return u3dBlock(kBlockViewNode, out.finish());
}

U3dBytes u3dShadingModifierBlock(const std::string& name, const std::vector<std::vector<std::string>>& shaderLists,
                                 uint32_t chainIndex)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(chainIndex);
    out.writeU32(1); // meshes
    out.writeU32(static_cast<uint32_t>(shaderLists.size()));
    for (const auto& list : shaderLists) {
        out.writeU32(static_cast<uint32_t>(list.size()));
        for (const std::string& shader : list)
            out.writeString(shader);
    }
    return u3dBlock(kBlockShadingModifier, out.finish());
}

U3dBytes u3dLightResourceBlock(const std::string& name, const U3dLightFields& fields)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(fields.attributes);
    out.writeU8(fields.type);
    out.writeF32s(fields.colour);
    out.writeF32(1); // reserved
    out.writeF32s(fields.attenuation);
    out.writeF32s({fields.spotAngle, fields.intensity});
    return u3dBlock(kBlockLightResource, out.finish());
}

U3dBytes u3dViewResourceBlock(const std::string& name, const std::vector<std::string>& passRoots)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(static_cast<uint32_t>(passRoots.size()));
    for (const std::string& root : passRoots) {
        out.writeString(root);
        out.writeU32(0);
        out.writeU32(0);
        out.writeF32s({0, 0, 0, 0, 0, 0});
    }
    return u3dBlock(kBlockViewResource, out.finish());
}

U3dBytes u3dLitTextureShaderBlock(const std::string& name, const std::string& material,
                                  const std::vector<U3dTextureLayer>& layers)
{
    uint32_t channels = 0;
    for (const U3dTextureLayer& layer : layers)
        channels |= 1u << layer.layer;
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(1);
    out.writeF32(0);
    out.writeU32(0x617);
    out.writeU32(0x606);
    out.writeU32(1);
    out.writeU32(channels);
    out.writeU32(0);
    out.writeString(material);
    for (uint32_t bit = 0; bit < 8; ++bit)
        for (const U3dTextureLayer& layer : layers)
            if (layer.layer == bit) {
                out.writeString(layer.texture);
                out.writeF32(1);
                out.writeU8(0);
                out.writeU8(0);
                out.writeF32(0);
                out.writeU8(0);
                out.writeF32s(kU3dIdentity);
                out.writeF32s(kU3dIdentity);
                out.writeU8(3);
            }
    return u3dBlock(kBlockLitTextureShader, out.finish());
}

U3dBytes u3dMaterialBlock(const std::string& name, std::array<float, 3> diffuse, float opacity)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(0x3F);
    out.writeF32s({0.1f, 0.1f, 0.1f});
    out.writeF32s(diffuse);
    out.writeF32s({0, 0, 0, 0, 0, 0, 0.25f, opacity});
    return u3dBlock(kBlockMaterialResource, out.finish());
}

U3dBytes u3dTextureDeclarationBlock(const std::string& name, uint32_t width, uint32_t height, uint8_t imageType,
                                    const std::vector<U3dImageFormat>& images)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(height);
    out.writeU32(width);
    out.writeU8(imageType);
    out.writeU32(static_cast<uint32_t>(images.size()));
    for (const U3dImageFormat& image : images) {
        out.writeU8(image.compression);
        out.writeU8(image.channels);
        out.writeU16(image.urls.empty() ? 0 : 1);
        if (image.urls.empty()) {
            out.writeU32(image.byteCount);
        } else {
            out.writeU32(static_cast<uint32_t>(image.urls.size()));
            for (const std::string& url : image.urls)
                out.writeString(url);
        }
    }
    return u3dBlock(kBlockTextureDeclaration, out.finish());
}

U3dBytes u3dTextureContinuationBlock(const std::string& name, uint32_t imageIndex, const U3dBytes& bytes)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(imageIndex);
    out.writeBytes(bytes);
    return u3dBlock(kBlockTextureContinuation, out.finish());
}

U3dBytes u3dFileReferenceBlock(const U3dFileReferenceFields& fields)
{
    U3dBitEncoder out;
    out.writeString(fields.scope);
    writeChainBounds(out, fields.bounds);
    out.writeU32(static_cast<uint32_t>(fields.urls.size()));
    for (const std::string& url : fields.urls)
        out.writeString(url);
    out.writeU32(static_cast<uint32_t>(fields.nameFilters.size() + fields.typeFilters.size()));
    for (const std::string& pattern : fields.nameFilters) {
        out.writeU8(0);
        out.writeString(pattern);
    }
    for (uint32_t type : fields.typeFilters) {
        out.writeU8(1);
        out.writeU32(type);
    }
    out.writeU8(fields.policy);
    out.writeString(fields.worldAlias);
    return u3dBlock(kBlockFileReference, out.finish());
}

U3dBytes u3dNewObjectTypeBlock(const std::string& name, uint32_t declarationType,
                               const std::vector<uint32_t>& continuationTypes)
{
    U3dBitEncoder out;
    out.writeString(name);
    out.writeU32(1);
    out.writeU32(0x12345678);
    out.writeU16(1);
    out.writeU16(2);
    for (int k = 0; k < 8; ++k)
        out.writeU8(static_cast<uint8_t>(k));
    out.writeU32(declarationType);
    out.writeU32(static_cast<uint32_t>(continuationTypes.size()));
    for (uint32_t type : continuationTypes)
        out.writeU32(type);
    out.writeString("Vendor");
    out.writeU32(0);
    out.writeString("info");
    return u3dBlock(kBlockNewObjectType, out.finish());
}

U3dBytes u3dFile(const std::vector<U3dBytes>& blocks, uint32_t profile)
{
    U3dHeaderFields header;
    header.profile = profile;
    U3dFileAssembler file(header);
    for (const U3dBytes& block : blocks)
        file.add(block);
    return file.bytes();
}
