// Whole scene blocks for U3D test files: nodes, modifiers, resources, textures, file
// references and extension declarations, each built field by field with the encoder.
#pragma once

#include "tests/support/u3d_block_writer.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using U3dMatrix = std::array<float, 16>;
inline constexpr U3dMatrix kU3dIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A translation matrix (column-major, translation in 12..14).
U3dMatrix u3dTranslation(float x, float y, float z);

struct U3dParent {
    std::string name; // empty: the world
    U3dMatrix matrix = kU3dIdentity;
};

U3dBytes u3dGroupNodeBlock(const std::string& name, const std::vector<U3dParent>& parents);
U3dBytes u3dModelNodeBlock(const std::string& name, const std::vector<U3dParent>& parents,
                           const std::string& resource, uint32_t visibility = 3);
U3dBytes u3dLightNodeBlock(const std::string& name, const std::vector<U3dParent>& parents,
                           const std::string& resource);
// attributes & 6 == 0: perspective with field of view projection[0].
U3dBytes u3dViewNodeBlock(const std::string& name, const std::vector<U3dParent>& parents,
                          const std::string& resource, uint32_t attributes, std::array<float, 3> projection,
                          const std::vector<std::string>& backdrops = {});

U3dBytes u3dShadingModifierBlock(const std::string& name, const std::vector<std::vector<std::string>>& shaderLists,
                                 uint32_t chainIndex = 0);
struct U3dLightFields {
    uint32_t attributes = 1;
    uint8_t type = 1;
    std::array<float, 3> colour{1, 1, 1};
    std::array<float, 3> attenuation{1, 0, 0};
    float spotAngle = 90;
    float intensity = 1;
};
U3dBytes u3dLightResourceBlock(const std::string& name, const U3dLightFields& fields);
U3dBytes u3dViewResourceBlock(const std::string& name, const std::vector<std::string>& passRoots);

struct U3dTextureLayer {
    uint32_t layer = 0;
    std::string texture;
};
U3dBytes u3dLitTextureShaderBlock(const std::string& name, const std::string& material,
                                  const std::vector<U3dTextureLayer>& layers = {});
U3dBytes u3dMaterialBlock(const std::string& name, std::array<float, 3> diffuse, float opacity = 1);

struct U3dImageFormat {
    uint8_t compression = 2; // 1 JPEG, 2 PNG, 3 JPEG, 4 TIFF
    uint8_t channels = 0x0E;
    std::vector<std::string> urls; // external image when not empty
    uint32_t byteCount = 0;
};
U3dBytes u3dTextureDeclarationBlock(const std::string& name, uint32_t width, uint32_t height, uint8_t imageType,
                                    const std::vector<U3dImageFormat>& images);
U3dBytes u3dTextureContinuationBlock(const std::string& name, uint32_t imageIndex, const U3dBytes& bytes);

struct U3dFileReferenceFields {
    std::string scope{};
    U3dChainBounds bounds{};
    std::vector<std::string> urls{};
    std::vector<std::string> nameFilters{};
    std::vector<uint32_t> typeFilters{};
    uint8_t policy = 0;
    std::string worldAlias{};
};
U3dBytes u3dFileReferenceBlock(const U3dFileReferenceFields& fields);

U3dBytes u3dNewObjectTypeBlock(const std::string& name, uint32_t declarationType,
                               const std::vector<uint32_t>& continuationTypes);
// A minimal file holding the given blocks after its header.
U3dBytes u3dFile(const std::vector<U3dBytes>& blocks, uint32_t profile = 0);
