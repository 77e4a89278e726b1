// The declaration of a model resource: CLOD mesh, point set or line set.
//
// All three carry the same description of the full-resolution geometry (counts,
// shading descriptions), quantisation factors and a skeleton; a mesh adds its minimum
// and maximum resolution and three float parameters where the sets have three
// reserved words. Every field is a plain value, so a declaration never ends with the
// closing word of compressed data.
//
// The counts are what the writer meant to send. They bound what the continuations may
// add (a continuation that goes beyond them is lost), they never size an allocation.
#pragma once

#include "u3dlib/bit_decoder.h"
#include "u3dlib/block_framing.h"
#include "u3dlib/ifx_interface.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace u3dlib {

enum class GeneratorKind : uint8_t { Mesh, PointSet, LineSet };

inline constexpr uint32_t kMeshExcludeNormals = 0x1;
inline constexpr uint32_t kShadingPerVertexDiffuse = 0x1;
inline constexpr uint32_t kShadingPerVertexSpecular = 0x2;

inline constexpr uint32_t kBoneHasLinks = 0x1;
inline constexpr uint32_t kBoneHasJoints = 0x2;

struct ShadingDescription {
    uint32_t attributes = 0;
    uint32_t textureLayerCount = 0; // at most kIfxMaxTextureLayers
    std::array<uint32_t, kIfxMaxTextureLayers> texCoordDimensions{};
    uint32_t originalShadingId = 0;

    bool hasDiffuse() const { return (attributes & kShadingPerVertexDiffuse) != 0; }
    bool hasSpecular() const { return (attributes & kShadingPerVertexSpecular) != 0; }
};

// Kept for completeness: a static preview does not animate bones.
struct Bone {
    std::string name;
    std::string parentName;
    uint32_t attributes = 0;
    float length = 0;
    std::array<float, 3> displacement{};
    std::array<float, 4> orientation{}; // w, x, y, z
    uint32_t linkCount = 0;
    float linkLength = 0;
    std::array<float, 4> startJoint{}; // centre u, v, scale u, v
    std::array<float, 4> endJoint{};
    std::array<float, 6> rotationConstraints{}; // x max, x min, y max, y min, z max, z min
};

struct GeneratorDeclaration {
    GeneratorKind kind = GeneratorKind::Mesh;
    std::string name;
    uint32_t chainIndex = 0;
    uint32_t attributes = 0; // mesh attributes; the reserved word of point and line sets

    // Full resolution.
    uint32_t primitiveCount = 0; // faces, points or lines
    uint32_t positionCount = 0;
    uint32_t normalCount = 0;
    uint32_t diffuseColorCount = 0;
    uint32_t specularColorCount = 0;
    uint32_t texCoordCount = 0;
    std::vector<ShadingDescription> shadings;

    // Meshes: positions in the base mesh and at full resolution. Point and line sets
    // have no base: 0 and positionCount.
    uint32_t minResolution = 0;
    uint32_t maxResolution = 0;

    std::array<uint32_t, 3> qualityFactors{}; // position, normal, texture coordinate
    float positionInverseQuant = 0;
    float normalInverseQuant = 0;
    float texCoordInverseQuant = 0;
    float diffuseInverseQuant = 0;
    float specularInverseQuant = 0;
    // Meshes: normal crease (a dot product: normals closer than this merge), normal
    // update, normal tolerance. Point and line sets: three reserved words.
    std::array<float, 3> meshParameters{};
    std::array<uint32_t, 3> reservedParameters{};

    std::vector<Bone> bones;
    bool boneCountMissing = false; // one writer ends the block before the bone count

    bool excludesNormals() const { return kind == GeneratorKind::Mesh && (attributes & kMeshExcludeNormals) != 0; }
    float normalCrease() const { return meshParameters[0]; }
    uint32_t cornersPerPrimitive() const
    {
        return kind == GeneratorKind::Mesh ? 3 : kind == GeneratorKind::LineSet ? 2 : 1;
    }
};

enum class DeclarationStatus : uint8_t {
    Ok,
    NotADeclaration,   // the block type is none of the three
    FieldsCut,         // the data ends inside a field (or a count exceeds the data)
    TooManyLayers,     // a shading description with more texture layers than we keep
    BadResolution,     // minimum resolution above the maximum
    UnreadData,        // non-zero bytes after the skeleton
};

const char* describeDeclarationStatus(DeclarationStatus status);

// Reads the declaration block of a CLOD mesh (0xFFFFFF31), point set (0xFFFFFF36) or
// line set (0xFFFFFF37).
DeclarationStatus readGeneratorDeclarationBlock(const Block& block, DecoderOptions options, GeneratorDeclaration& out);

// The shading descriptions as the author materials handed to the worker.
std::vector<IFXAuthorMaterial> authorMaterials(const GeneratorDeclaration& declaration, bool withNormals);

} // namespace u3dlib
