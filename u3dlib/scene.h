// The scene a U3D file describes, as plain data: palettes of named objects that refer
// to each other by name. Names resolve when they are asked for, so an object may name
// one declared later, or never (then the palette's default entry stands in).
#pragma once

#include "u3dlib/generator_declaration.h"
#include "u3dlib/generator_decoder.h"
#include "u3dlib/palette.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace u3dlib {

using Matrix4 = std::array<float, 16>; // column-major, translation in 12..14

inline constexpr Matrix4 kIdentityMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// ---- Modifiers ------------------------------------------------------------------

enum class ModifierKind : uint8_t { Shading, Animation, BoneWeight, Glyph, Subdivision, ClodModifier };

struct ShadingModifier {
    uint32_t attributes = 0;                       // 0x1 meshes, 0x2 lines, 0x4 points, 0x8 glyphs
    std::vector<std::vector<std::string>> shaders; // one list of shader names per element
};

// A modifier in the chain of a node, model resource or texture (which is the chain's
// first member and is not listed here).
struct Modifier {
    ModifierKind kind = ModifierKind::Shading;
    uint32_t chainIndex = 0;
    ShadingModifier shading; // kind Shading only
};

// ---- Nodes ----------------------------------------------------------------------

enum class NodeKind : uint8_t { Group, Model, Light, View };

struct NodeParent {
    std::string name; // empty: the world
    Matrix4 matrix = kIdentityMatrix;
};

inline constexpr uint32_t kViewProjectionMask = 0x6;
inline constexpr uint32_t kViewPerspective = 0x0;

struct ViewNodeData {
    uint32_t attributes = 0;
    float nearClip = 0;
    float farClip = 0;
    std::array<float, 3> projection{}; // field of view, orthographic height, or a vector
    std::array<float, 4> viewport{};
    std::vector<std::string> backdropTextures;
    std::vector<std::string> overlayTextures;
};

struct Node {
    NodeKind kind = NodeKind::Group;
    std::vector<NodeParent> parents;
    std::string resourceName; // model, light or view resource
    uint32_t visibility = 3;  // model nodes: 0 hidden, 1 front, 2 back, 3 both
    ViewNodeData view;
    std::vector<Modifier> modifiers;
};

// ---- Resources ------------------------------------------------------------------

struct ModelResource {
    GeneratorKind kind = GeneratorKind::Mesh;
    // Null for a resource without geometry (the default entry, or no decoder).
    std::shared_ptr<GeneratorDecoder> decoder;
    std::vector<Modifier> modifiers;

    // The decoded geometry, or null when there is none.
    const AuthorGeometry* geometry() const
    {
        return decoder && !decoder->lost() ? &decoder->geometry() : nullptr;
    }
};

struct LightResource {
    uint32_t attributes = 1; // 0x1 enabled, 0x2 specular, 0x4 spot decay
    uint8_t type = 0;        // 0 ambient, 1 directional, 2 point, 3 spot
    std::array<float, 3> colour{0.75f, 0.75f, 0.75f};
    std::array<float, 3> attenuation{1, 0, 0};
    float spotAngle = 180; // degrees
    float intensity = 1;
};

struct ViewPass {
    std::string rootNode; // empty: the world
    uint32_t renderAttributes = 0;
    uint32_t fogMode = 0;
    std::array<float, 4> fogColour{};
    float fogNear = 0;
    float fogFar = 0;
};

struct ViewResource {
    std::vector<ViewPass> passes{ViewPass{}};
};

struct TextureLayer {
    uint32_t layer = 0;       // bit of the shader's channels this layer came from
    std::string textureName;  // empty: the default texture
    float intensity = 1;
    uint8_t blendFunction = 0;
    uint8_t blendSource = 0;
    float blendConstant = 0;
    uint8_t mode = 0;
    uint8_t repeat = 0;
};

struct LitTextureShader {
    uint32_t attributes = 1; // 0x1 lighting, 0x2 alpha test, 0x4 vertex colours
    float alphaReference = 0;
    uint32_t alphaFunction = 0x617;
    uint32_t blendFunction = 0x606;
    uint32_t renderPassFlags = 1;
    uint32_t channels = 0;
    uint32_t alphaTextureChannels = 0;
    std::string materialName;
    std::vector<TextureLayer> layers;
};

struct Material {
    uint32_t attributes = 0x3F;
    std::array<float, 3> ambient{0.75f, 0.75f, 0.75f};
    std::array<float, 3> diffuse{};
    std::array<float, 3> specular{};
    std::array<float, 3> emissive{};
    float reflectivity = 0;
    float opacity = 1;
};

inline constexpr uint8_t kImageCompressionJpeg24 = 1;
inline constexpr uint8_t kImageCompressionPng = 2;
inline constexpr uint8_t kImageCompressionJpeg8 = 3;
inline constexpr uint8_t kImageCompressionTiff = 4;

inline constexpr uint8_t kImageChannelAlpha = 0x1;
inline constexpr uint8_t kImageChannelBlue = 0x2;
inline constexpr uint8_t kImageChannelGreen = 0x4;
inline constexpr uint8_t kImageChannelRed = 0x8;
inline constexpr uint8_t kImageChannelLuminance = 0x10;

inline constexpr uint16_t kImageExternal = 0x1;

// One continuation image of a texture: bytes from continuation blocks, or a file.
struct TextureImage {
    uint8_t compression = kImageCompressionPng;
    uint8_t channels = 0;
    uint16_t attributes = 0;
    uint32_t declaredBytes = 0;
    std::vector<std::string> urls;         // external images
    std::shared_ptr<std::vector<uint8_t>> bytes; // the image file's bytes
};

inline constexpr uint8_t kTextureTypeAlpha = 0x01;
inline constexpr uint8_t kTextureTypeRgb = 0x0E;
inline constexpr uint8_t kTextureTypeRgba = 0x0F;
inline constexpr uint8_t kTextureTypeLuminance = 0x10;
inline constexpr uint8_t kTextureTypeLuminanceAlpha = 0x11;

struct Texture {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t imageType = kTextureTypeRgb;
    std::vector<TextureImage> images; // empty: the default checker
    std::vector<Modifier> modifiers;
};

// Motions only take a name here: a static preview does not play them.
struct Motion {};

// ---- The scene ------------------------------------------------------------------

struct Scene {
    uint32_t profile = 0;
    double unitsScale = 1;

    Palette<Material> materials;
    Palette<ModelResource> generators;
    Palette<LitTextureShader> shaders;
    Palette<Texture> textures;
    Palette<Motion> motions;
    Palette<Node> nodes;
    Palette<LightResource> lights;
    Palette<Motion> mixers; // no block declares mixers: only the default entry
    Palette<ViewResource> views;

    Scene(); // every palette with its default entry
};

// Default node: the world, a group without parents.
Node defaultWorldNode();

} // namespace u3dlib
