// The mesh a CLOD generator builds while its continuations arrive: the author
// geometry at the current resolution, and for each position the faces that use it.
//
// Every face has one entry per corner in each attribute index array the mesh keeps;
// a mesh keeps diffuse, specular and texture layer indices when any shading
// description uses them. A corner of a face whose shading does not use an attribute
// gets index 0 in that array.
#pragma once

#include "u3dlib/author_geometry.h"
#include "u3dlib/generator_declaration.h"

#include <array>
#include <cstdint>
#include <vector>

namespace u3dlib {

// Fixed limits, whatever a declaration claims: about what a preview can carry.
inline constexpr uint32_t kMaxGeneratorPositions = uint32_t{1} << 24;
inline constexpr uint32_t kMaxGeneratorPrimitives = uint32_t{1} << 25;
inline constexpr uint32_t kMaxGeneratorAttributes = uint32_t{1} << 24; // per pool

// Attribute index arrays of one corner of a new face.
struct CornerAttributes {
    uint32_t diffuse = 0;
    uint32_t specular = 0;
    std::array<uint32_t, kIfxMaxTextureLayers> texCoord{};
};

// Attribute indices of the last new face that had the attribute, by corner role
// (split, new, third position): what a set duplicate flag reuses. Before the first
// such face, writers reuse index 0.
struct RoleMemory {
    std::array<uint32_t, 3> index{};
};

struct ClodMeshState {
    AuthorGeometry geometry;
    // Ascending face indices per position, built by the first progressive update
    // (a base mesh alone never needs it), kept up to date from then on.
    std::vector<std::vector<uint32_t>> facesAtPosition;
    bool facesIndexed = false;
    bool keepsDiffuse = false;
    bool keepsSpecular = false;
    uint32_t texLayers = 0; // layers kept: the most any shading description uses
    RoleMemory lastDiffuse;
    RoleMemory lastSpecular;
    std::array<RoleMemory, kIfxMaxTextureLayers> lastTexCoord{};

    uint32_t faceCount() const { return geometry.primitiveCount; }
    uint32_t positionCount() const { return static_cast<uint32_t>(geometry.positions.size()); }
    uint32_t corner(uint32_t face, uint32_t k) const { return cornerOf(geometry.positionFaces[face], k); }
};

// Empty mesh with the attribute arrays the declaration calls for.
void initMeshState(ClodMeshState& mesh, const GeneratorDeclaration& declaration);

// Builds facesAtPosition from the faces so far, once.
void indexFacesAtPositions(ClodMeshState& mesh);

// Appends a face; the corners' positions must exist (facesAtPosition sized once
// indexed).
void appendFace(ClodMeshState& mesh, uint32_t shading, const std::array<uint32_t, 3>& positions,
                const std::array<CornerAttributes, 3>& attributes);

// Corner k of face f, position and attribute indices.
CornerAttributes cornerAttributes(const ClodMeshState& mesh, uint32_t face, uint32_t k);

// The first corner of face f at position p, or 3 when it has none.
uint32_t cornerAt(const ClodMeshState& mesh, uint32_t face, uint32_t position);

// Removes face f from the faces of position p (no-op when absent) / adds it in order.
void unlinkFace(ClodMeshState& mesh, uint32_t position, uint32_t face);
void linkFace(ClodMeshState& mesh, uint32_t position, uint32_t face);

} // namespace u3dlib
