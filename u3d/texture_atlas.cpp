#include "u3d/texture_atlas.h"

#include "runtime/result_stream.h"
#include "u3d/scene_collections.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace {

uint8_t* heapPixels(const std::vector<uint8_t>& pixels)
{
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(pixels.size()));
    if (copy != nullptr)
        std::memcpy(copy, pixels.data(), pixels.size());
    return copy;
}

bool takeSingleTexture(DecodedTexture& texture, U3dModel& model)
{
    model.texturePixels = heapPixels(texture.pixels);
    if (model.texturePixels == nullptr)
        return false;
    model.textureWidth = texture.width;
    model.textureHeight = texture.height;
    return true;
}

} // namespace

bool loadTexturePixels(IFXSceneGraph* sceneGraph, uint32_t textureId, uint32_t& width, uint32_t& height,
                       std::vector<uint8_t>& pixels)
{
    pixels.clear();
    IfxRef<IFXPalette> palette = scenePalette(sceneGraph, kIfxPaletteTexture);
    IfxRef<IFXTextureObject> texture = paletteEntryAs<IFXTextureObject>(palette.get(), textureId, IID_IFXTextureObject);
    if (!texture)
        return false;
    uint32_t w = 0, h = 0;
    if (ifxFailed(texture->GetWidth(&w)) || ifxFailed(texture->GetHeight(&h)) || w < 1 || w > kMaxTextureSide ||
        h < 1 || h > kMaxTextureSide)
        return false;
    pixels.assign(size_t{w} * h * 4, 255);
    const IFXTextureOutput output{w, h, pixels.data(), w * 4, kIfxTextureFormatRgba8, kIfxChannelOrderRgba, 0};
    if (ifxFailed(texture->GetRenderImage(output))) {
        pixels.clear();
        pixels.shrink_to_fit();
        return false;
    }
    width = w;
    height = h;
    return true;
}

void packTextureShelves(std::vector<DecodedTexture>& textures, uint32_t& atlasWidth, uint32_t& atlasHeight)
{
    uint64_t x = 0, shelfY = 0, shelfHeight = 0, width = 0, height = 0;
    for (DecodedTexture& texture : textures) {
        if (x + texture.width > kMaxTextureSide && x != 0) {
            shelfY += shelfHeight;
            shelfHeight = 0;
            x = 0;
        }
        texture.x = static_cast<uint32_t>(x);
        texture.y = static_cast<uint32_t>(shelfY);
        x += texture.width;
        shelfHeight = std::max<uint64_t>(shelfHeight, texture.height);
        width = std::max(width, x);
        height = std::max(height, shelfY + shelfHeight);
    }
    // Each shelf is at most 4096 high, so the height stays far inside 32 bits for any
    // number of textures that fits in memory.
    atlasWidth = static_cast<uint32_t>(width);
    atlasHeight = static_cast<uint32_t>(std::min<uint64_t>(height, UINT32_MAX));
}

float foldTextureCoordinate(float value)
{
    const float fraction = value - std::floor(value);
    return fraction == 0 && value > 0 ? 1.0f : fraction;
}

bool chooseTexture(IFXSceneGraph* sceneGraph, const std::vector<uint32_t>& candidates,
                   std::vector<float>& texCoords, const std::vector<uint32_t>& texSources, U3dModel& model)
{
    std::vector<DecodedTexture> kept;
    uint64_t keptBytes = 0;
    std::unordered_map<uint32_t, size_t> indexOf;
    for (uint32_t id : candidates) {
        if (indexOf.count(id) != 0)
            continue;
        DecodedTexture texture;
        texture.textureId = id;
        if (!loadTexturePixels(sceneGraph, id, texture.width, texture.height, texture.pixels))
            continue;
        indexOf.emplace(id, kept.size());
        keptBytes += texture.pixels.size();
        kept.push_back(std::move(texture));
        if (keptBytes > kPayloadLimitBytes)
            break; // the atlas could not be sent: no point decoding more
    }
    if (kept.empty())
        return false;
    if (kept.size() == 1)
        return takeSingleTexture(kept.front(), model);

    uint32_t atlasWidth = 0, atlasHeight = 0;
    packTextureShelves(kept, atlasWidth, atlasHeight);
    const uint64_t atlasBytes = uint64_t{atlasWidth} * atlasHeight * 4;
    if (atlasBytes == 0)
        return false;
    if (atlasBytes > kPayloadLimitBytes) {
        model.textureWidth = atlasWidth;
        model.textureHeight = atlasHeight;
        return false;
    }
    uint8_t* atlas = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(atlasBytes), 1));
    if (atlas == nullptr)
        return false;
    for (DecodedTexture& texture : kept) {
        const size_t rowBytes = size_t{texture.width} * 4;
        for (uint32_t row = 0; row < texture.height; ++row)
            std::memcpy(atlas + ((size_t{texture.y} + row) * atlasWidth + texture.x) * 4,
                        texture.pixels.data() + row * rowBytes, rowBytes);
        texture.pixels = std::vector<uint8_t>();
    }

    const size_t vertexCount = std::min(texSources.size(), texCoords.size() / 2);
    for (size_t v = 0; v < vertexCount; ++v) {
        float& u = texCoords[v * 2];
        float& w = texCoords[v * 2 + 1];
        const auto source = texSources[v] == kNoTexture ? indexOf.end() : indexOf.find(texSources[v]);
        if (source == indexOf.end()) {
            u = w = -1.0f;
            continue;
        }
        if (u < 0 || w < 0)
            continue;
        const DecodedTexture& texture = kept[source->second];
        u = static_cast<float>((double{foldTextureCoordinate(u)} * texture.width + texture.x) / atlasWidth);
        w = static_cast<float>((double{foldTextureCoordinate(w)} * texture.height + texture.y) / atlasHeight);
    }
    model.texturePixels = atlas;
    model.textureWidth = atlasWidth;
    model.textureHeight = atlasHeight;
    return true;
}
