#include "u3dlib/scene_blocks.h"

#include "u3dlib/block_types.h"
#include "u3dlib/modifier_chain.h"

#include <algorithm>

namespace u3dlib {

namespace {

constexpr uint64_t kStringMinBytes = 2;
constexpr uint64_t kMatrixBytes = 16 * 4;
constexpr uint64_t kParentMinBytes = kStringMinBytes + kMatrixBytes;
// Backdrop or overlay: name, blend, rotation, location x y, registration x y, scale x y.
constexpr uint64_t kViewLayerMinBytes = kStringMinBytes + 8 * 4;
constexpr uint64_t kViewPassBytes = kStringMinBytes + 4 + 4 + 4 * 4 + 4 + 4;
constexpr uint64_t kTextureInfoMinBytes = kStringMinBytes + 4 + 1 + 1 + 4 + 1 + 2 * kMatrixBytes + 1;
constexpr uint64_t kImageFormatMinBytes = 1 + 1 + 2 + 4;
constexpr uint32_t kShaderLayerBits = 8;
// Steps a wildcard match may take; past that the name does not match.
constexpr uint64_t kMaxPatternSteps = uint64_t{1} << 24;

// A count read from the Data, checked against what the rest of the Data can hold.
uint32_t readCount(BitDecoder& in, uint64_t minBytesPerItem)
{
    const uint32_t count = in.readU32();
    if (in.ok() && count > in.bytesLeft() / minBytesPerItem)
        in.fail(DecodeError::PastEnd);
    return in.ok() ? count : 0;
}

Matrix4 readMatrix(BitDecoder& in)
{
    Matrix4 m;
    for (float& v : m)
        v = in.readF32();
    return m;
}

template <size_t N>
void readFloats(BitDecoder& in, std::array<float, N>& out)
{
    for (float& v : out)
        v = in.readF32();
}

// The Data was read without running past its end. Writers leave zero bytes or more
// after the content; that costs nothing here, since blocks are framed by their sizes.
bool finished(BitDecoder& in)
{
    return in.ok() && in.finish().status != EndStatus::Failed;
}

void readViewLayers(BitDecoder& in, std::vector<std::string>& textures)
{
    const uint32_t count = readCount(in, kViewLayerMinBytes);
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        textures.push_back(in.readString());
        for (int k = 0; k < 4; ++k) // blend, rotation, location x, y
            in.readF32();
        in.readI32(); // registration x, y
        in.readI32();
        in.readF32(); // scale x, y
        in.readF32();
    }
}

size_t utf8SequenceLength(std::string_view text, size_t at)
{
    const auto lead = static_cast<uint8_t>(text[at]);
    size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(length, text.size() - at);
}

} // namespace

bool readBlockName(const Block& block, std::string& name)
{
    BitDecoder in(block.data);
    name = in.readString();
    return in.ok();
}

bool readNodeBlock(const Block& block, DecoderOptions options, std::string& name, Node& node)
{
    node = Node{};
    switch (block.type) {
    case kBlockGroupNode: node.kind = NodeKind::Group; break;
    case kBlockModelNode: node.kind = NodeKind::Model; break;
    case kBlockLightNode: node.kind = NodeKind::Light; break;
    case kBlockViewNode: node.kind = NodeKind::View; break;
    default: return false;
    }
    BitDecoder in(block.data, options);
    name = in.readString();
    const uint32_t parents = readCount(in, kParentMinBytes);
    node.parents.reserve(parents);
    for (uint32_t i = 0; i < parents && in.ok(); ++i) {
        NodeParent parent;
        parent.name = in.readString();
        parent.matrix = readMatrix(in);
        node.parents.push_back(std::move(parent));
    }
    if (node.kind != NodeKind::Group)
        node.resourceName = in.readString();
    if (node.kind == NodeKind::Model)
        node.visibility = in.readU32();
    if (node.kind == NodeKind::View) {
        ViewNodeData& view = node.view;
        view.attributes = in.readU32();
        view.nearClip = in.readF32();
        view.farClip = in.readF32();
        const uint32_t projection = view.attributes & kViewProjectionMask;
        const int projectionValues = projection == 0x4 || projection == 0x6 ? 3 : 1;
        for (int k = 0; k < projectionValues; ++k)
            view.projection[static_cast<size_t>(k)] = in.readF32();
        readFloats(in, view.viewport);
        readViewLayers(in, view.backdropTextures);
        readViewLayers(in, view.overlayTextures);
    }
    return finished(in);
}

bool readModifierBlock(const Block& block, DecoderOptions options, std::string& name, Modifier& modifier)
{
    modifier = Modifier{};
    switch (block.type) {
    case kBlockGlyphModifier: modifier.kind = ModifierKind::Glyph; break;
    case kBlockSubdivisionModifier: modifier.kind = ModifierKind::Subdivision; break;
    case kBlockAnimationModifier: modifier.kind = ModifierKind::Animation; break;
    case kBlockBoneWeightModifier: modifier.kind = ModifierKind::BoneWeight; break;
    case kBlockShadingModifier: modifier.kind = ModifierKind::Shading; break;
    case kBlockClodModifier: modifier.kind = ModifierKind::ClodModifier; break;
    default: return false;
    }
    BitDecoder in(block.data, options);
    name = in.readString();
    modifier.chainIndex = in.readU32();
    if (modifier.kind != ModifierKind::Shading)
        return in.ok(); // stepped over: the rest is animation, bones, text or refinement
    modifier.shading.attributes = in.readU32();
    const uint32_t lists = readCount(in, 4);
    modifier.shading.shaders.reserve(lists);
    for (uint32_t i = 0; i < lists && in.ok(); ++i) {
        std::vector<std::string> shaders;
        const uint32_t count = readCount(in, kStringMinBytes);
        shaders.reserve(count);
        for (uint32_t k = 0; k < count && in.ok(); ++k)
            shaders.push_back(in.readString());
        modifier.shading.shaders.push_back(std::move(shaders));
    }
    return finished(in);
}

bool readLightResource(const Block& block, DecoderOptions options, std::string& name, LightResource& light)
{
    BitDecoder in(block.data, options);
    name = in.readString();
    light.attributes = in.readU32();
    light.type = in.readU8();
    readFloats(in, light.colour);
    in.readF32(); // reserved
    readFloats(in, light.attenuation);
    light.spotAngle = in.readF32();
    light.intensity = in.readF32();
    return finished(in);
}

bool readViewResource(const Block& block, DecoderOptions options, std::string& name, ViewResource& view)
{
    BitDecoder in(block.data, options);
    name = in.readString();
    const uint32_t passes = readCount(in, kViewPassBytes);
    view.passes.clear();
    view.passes.reserve(passes);
    for (uint32_t i = 0; i < passes && in.ok(); ++i) {
        ViewPass pass;
        pass.rootNode = in.readString();
        pass.renderAttributes = in.readU32();
        pass.fogMode = in.readU32();
        readFloats(in, pass.fogColour);
        pass.fogNear = in.readF32();
        pass.fogFar = in.readF32();
        view.passes.push_back(std::move(pass));
    }
    return finished(in);
}

bool readLitTextureShader(const Block& block, DecoderOptions options, std::string& name, LitTextureShader& shader)
{
    BitDecoder in(block.data, options);
    name = in.readString();
    shader.attributes = in.readU32();
    shader.alphaReference = in.readF32();
    shader.alphaFunction = in.readU32();
    shader.blendFunction = in.readU32();
    shader.renderPassFlags = in.readU32();
    shader.channels = in.readU32();
    shader.alphaTextureChannels = in.readU32();
    shader.materialName = in.readString();
    shader.layers.clear();
    for (uint32_t bit = 0; bit < kShaderLayerBits && in.ok(); ++bit) {
        if ((shader.channels & (1u << bit)) == 0)
            continue;
        if (in.bytesLeft() < kTextureInfoMinBytes) {
            in.fail(DecodeError::PastEnd);
            break;
        }
        TextureLayer layer;
        layer.layer = bit;
        layer.textureName = in.readString();
        layer.intensity = in.readF32();
        layer.blendFunction = in.readU8();
        layer.blendSource = in.readU8();
        layer.blendConstant = in.readF32();
        layer.mode = in.readU8();
        readMatrix(in); // texture transform
        readMatrix(in); // wrap transform
        layer.repeat = in.readU8();
        shader.layers.push_back(std::move(layer));
    }
    return finished(in);
}

bool readMaterialResource(const Block& block, DecoderOptions options, std::string& name, Material& material)
{
    BitDecoder in(block.data, options);
    name = in.readString();
    material.attributes = in.readU32();
    readFloats(in, material.ambient);
    readFloats(in, material.diffuse);
    readFloats(in, material.specular);
    readFloats(in, material.emissive);
    material.reflectivity = in.readF32();
    material.opacity = in.readF32();
    return finished(in);
}

bool readTextureDeclaration(const Block& block, DecoderOptions options, std::string& name, Texture& texture)
{
    BitDecoder in(block.data, options);
    name = in.readString();
    texture.height = in.readU32();
    texture.width = in.readU32();
    texture.imageType = in.readU8();
    const uint32_t images = readCount(in, kImageFormatMinBytes);
    texture.images.clear();
    texture.images.reserve(images);
    for (uint32_t i = 0; i < images && in.ok(); ++i) {
        TextureImage image;
        image.compression = in.readU8();
        image.channels = in.readU8();
        image.attributes = in.readU16();
        if ((image.attributes & kImageExternal) != 0) {
            const uint32_t urls = readCount(in, kStringMinBytes);
            for (uint32_t k = 0; k < urls && in.ok(); ++k)
                image.urls.push_back(in.readString());
        } else {
            image.declaredBytes = in.readU32();
        }
        texture.images.push_back(std::move(image));
    }
    return finished(in);
}

bool readMotionName(const Block& block, DecoderOptions options, std::string& name)
{
    BitDecoder in(block.data, options);
    name = in.readString();
    return in.ok();
}

bool readTextureContinuation(const Block& block, TextureContinuation& out)
{
    // Name and index are plain values, so the decoder is still byte-aligned after them.
    BitDecoder in(block.data);
    out.name = in.readString();
    out.imageIndex = in.readU32();
    if (!in.ok())
        return false;
    const uint64_t at = in.bitsConsumed() / 8;
    out.bytes = block.data.subspan(static_cast<size_t>(at));
    return true;
}

bool readFileReference(const Block& block, DecoderOptions options, FileReference& out)
{
    out = FileReference{};
    BitDecoder in(block.data, options);
    out.scopeName = in.readString();
    const uint32_t attributes = in.readU32();
    if ((attributes & kChainHasBoundingSphere) != 0)
        for (int k = 0; k < 4; ++k)
            in.readF32();
    if ((attributes & kChainHasBoundingBox) != 0)
        for (int k = 0; k < 6; ++k)
            in.readF32();
    const uint32_t urls = readCount(in, kStringMinBytes);
    out.urls.reserve(urls);
    for (uint32_t i = 0; i < urls && in.ok(); ++i)
        out.urls.push_back(in.readString());
    const uint32_t filters = readCount(in, 1 + kStringMinBytes);
    out.filters.reserve(filters);
    for (uint32_t i = 0; i < filters && in.ok(); ++i) {
        ObjectFilter filter;
        filter.type = in.readU8();
        if (filter.type == kFilterByName)
            filter.namePattern = in.readString();
        else
            filter.blockType = in.readU32();
        out.filters.push_back(std::move(filter));
    }
    const uint8_t policy = in.readU8();
    out.policy = policy <= 4 ? static_cast<CollisionPolicy>(policy) : CollisionPolicy::Replace;
    out.worldAlias = in.readString();
    return finished(in);
}

bool readNewObjectType(const Block& block, DecoderOptions options, NewObjectType& out)
{
    out = NewObjectType{};
    BitDecoder in(block.data, options);
    out.name = in.readString();
    out.chainType = in.readU32();
    in.readU32(); // extension id
    in.readU16();
    in.readU16();
    for (int k = 0; k < 8; ++k)
        in.readU8();
    out.declarationBlockType = in.readU32();
    const uint32_t continuations = readCount(in, 4);
    out.continuationBlockTypes.reserve(continuations);
    for (uint32_t i = 0; i < continuations && in.ok(); ++i)
        out.continuationBlockTypes.push_back(in.readU32());
    in.readString(); // vendor
    const uint32_t urls = readCount(in, kStringMinBytes);
    for (uint32_t i = 0; i < urls && in.ok(); ++i)
        in.readString();
    in.readString(); // information
    return finished(in);
}

bool matchesNamePattern(std::string_view name, std::string_view pattern)
{
    // Greedy match with one backtracking point at the last '*'.
    size_t n = 0, p = 0;
    size_t starAt = std::string_view::npos, resumeAt = 0;
    uint64_t steps = 0;
    while (n < name.size()) {
        if (++steps > kMaxPatternSteps)
            return false;
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += utf8SequenceLength(name, n);
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            resumeAt += utf8SequenceLength(name, resumeAt);
            n = resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace u3dlib
