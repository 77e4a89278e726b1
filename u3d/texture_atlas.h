// The one texture a result stream carries: the textures the geometry uses, decoded to
// RGBA and, when there are several, packed side by side into an atlas whose texture
// coordinates replace the vertices' own.
#pragma once

#include "u3d/ifx_ref.h"
#include "u3d/u3d_model.h"

#include <cstdint>
#include <vector>

inline constexpr uint32_t kMaxTextureSide = 4096;

struct DecodedTexture {
    uint32_t textureId = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels; // RGBA rows of width × 4 bytes
    uint32_t x = 0;              // placement in the atlas
    uint32_t y = 0;
};

bool loadTexturePixels(IFXSceneGraph* sceneGraph, uint32_t textureId, uint32_t& width, uint32_t& height,
                       std::vector<uint8_t>& pixels);

// Places the textures on shelves at most 4096 pixels wide, in order; returns the atlas size.
void packTextureShelves(std::vector<DecodedTexture>& textures, uint32_t& atlasWidth, uint32_t& atlasHeight);

// A texture coordinate reduced to its fractional part; a positive whole number gives 1.
float foldTextureCoordinate(float value);

// True when the model received a texture (pixels, width, height; texCoords rewritten
// for an atlas). A texture too large to be sent is not built: the model then carries
// only its size, which the size limit refuses.
bool chooseTexture(IFXSceneGraph* sceneGraph, const std::vector<uint32_t>& candidates,
                   std::vector<float>& texCoords, const std::vector<uint32_t>& texSources, U3dModel& model);
