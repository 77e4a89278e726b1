// One model resource seen through one node path, turned into world-space geometry:
// meshes into triangles, point sets into points, line sets into line segments, with
// per-vertex colours, normals, texture coordinates and materials.
#pragma once

#include "u3d/ifx_ref.h"
#include "u3d/scene_collections.h"

#include <cstdint>
#include <vector>

// Vertex base + p stands for position p until a corner needs another normal or material;
// such corners get vertices of their own, shared between corners that agree.
struct VertexMapper {
    struct Extra {
        uint32_t normal;
        uint16_t material;
        uint32_t vertex;
        uint32_t next; // the position's previous extra vertex, kNoIndex for none
    };
    uint32_t base = 0;
    std::vector<bool> used;           // per position
    std::vector<uint32_t> firstExtra; // per position once one needs an extra vertex
    std::vector<Extra> extras;
};

// Appends every position transformed by world as a white vertex without normal,
// texture or material; returns the number of the first one.
uint32_t appendPositions(const IFXVector3* positions, uint32_t count, const IFXMatrix4x4& world,
                         SceneCollections& out);

uint32_t vertexFor(VertexMapper& mapper, SceneCollections& out, uint32_t positionIndex, uint32_t normalIndex,
                   const float normal[3], uint16_t materialIndex);

// (A⁻¹)ᵀ of the upper-left 3 × 3 of world, row by row; false when A is singular.
bool normalMatrix(const IFXMatrix4x4& world, float out[9]);
// The normal through the matrix, unit length; 0, 0, 0 when it has no length.
void transformNormal(const float matrix[9], const IFXVector3& normal, float out[3]);

// Each returns true when the arrays it needs were there (it then produced geometry).
bool extractMesh(IFXSceneGraph* sceneGraph, IFXShadingModifier* shading, IFXAuthorCLODResource* resource,
                 const IFXMatrix4x4& world, SceneCollections& out, IFXPalette* nodePalette, uint32_t nodeId);
bool extractPointSet(IFXSceneGraph* sceneGraph, IFXShadingModifier* shading, IFXAuthorPointSetResource* resource,
                     const IFXMatrix4x4& world, SceneCollections& out);
bool extractLineSet(IFXSceneGraph* sceneGraph, IFXShadingModifier* shading, IFXAuthorLineSetResource* resource,
                    const IFXMatrix4x4& world, SceneCollections& out);
