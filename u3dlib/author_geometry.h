// The geometry of model resources at full resolution, as the scene library hands it to
// heron_scan through its author mesh, point set and line set interfaces. Plain data:
// the generator decoders fill it, the components expose it.
#pragma once

#include "u3dlib/ifx_interface.h"

#include <cstdint>
#include <vector>

namespace u3dlib {

// Shared by meshes (faces of three corners), point sets (one) and line sets (two).
// Every per-primitive index array has one entry per corner, in primitive order; an
// index array is either empty (attribute absent) or complete. A mesh keeps its position
// and normal corners as faces, the form the author mesh hands out, so that nothing is
// copied for the worker; point and line sets keep theirs as plain indices.
struct AuthorGeometry {
    uint32_t cornersPerPrimitive = 3; // 3 mesh, 1 point set, 2 line set
    uint32_t primitiveCount = 0;
    std::vector<IFXVector3> positions;
    std::vector<IFXVector3> normals;
    std::vector<IFXVector4> diffuseColors;
    std::vector<IFXVector4> specularColors;
    std::vector<IFXVector4> texCoords;
    std::vector<IFXAuthorMaterial> materials; // one per shading description
    std::vector<uint32_t> primitiveMaterials; // shading id per primitive
    std::vector<uint32_t> positionIndices;    // point and line sets: cornersPerPrimitive per primitive
    std::vector<uint32_t> normalIndices;
    std::vector<IFXAuthorFace> positionFaces; // meshes: one per face
    std::vector<IFXAuthorFace> normalFaces;
    std::vector<uint32_t> diffuseIndices;
    std::vector<uint32_t> specularIndices;
    std::vector<uint32_t> texCoordIndices[kIfxMaxTextureLayers];
};

} // namespace u3dlib
