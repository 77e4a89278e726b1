// What a traversal of the scene collects, per vertex and per primitive, before the
// scene load copies it into the model.
#pragma once

#include "runtime/result_stream.h"
#include "runtime/heap_array.h"

#include <cstdint>
#include <unordered_set>
#include <vector>

inline constexpr uint32_t kNoTexture = 0xFFFFFFFFu;
inline constexpr uint32_t kNoIndex = 0xFFFFFFFFu;

struct SceneCollections {
    HeapArray<float> vertices;             // x, y, z
    HeapArray<uint32_t> triangles;         // a, b, c
    HeapArray<uint8_t> colours;            // r, g, b per vertex
    // Per vertex once a texture candidate is known, empty before (nothing textured).
    std::vector<float> texCoords;          // u, v
    std::vector<uint32_t> texSources;      // texture id, kNoTexture for none
    std::vector<uint32_t> textureCandidates; // distinct texture ids, in first-use order
    std::unordered_set<uint32_t> candidateSet;
    std::vector<uint32_t> points;
    std::vector<uint32_t> lines;           // a, b
    std::vector<NodeRecord> nodeRecords;
    HeapArray<float> normals;              // x, y, z per vertex
    HeapArray<uint16_t> vertexMaterials;
    std::vector<LightRecord> lights;
    bool overflow = false;

    uint32_t vertexCount() const { return static_cast<uint32_t>(vertices.size() / 3); }

    void addTextureCandidate(uint32_t textureId)
    {
        if (candidateSet.insert(textureId).second)
            textureCandidates.push_back(textureId);
        padTextureArrays();
    }

    bool keepsTextureArrays() const { return !textureCandidates.empty(); }

    void padTextureArrays()
    {
        if (!keepsTextureArrays())
            return;
        const size_t v = vertexCount();
        texCoords.resize(v * 2, -1.0f);
        texSources.resize(v, kNoTexture);
    }

    // Brings every per-vertex array to the vertex count: what a vertex lacks is filled
    // with "none", what runs past it is cut.
    void padPerVertexArrays()
    {
        const size_t v = vertexCount();
        colours.resize(v * 3, 255);
        padTextureArrays();
        normals.resize(v * 3, 0.0f);
        vertexMaterials.resize(v, 0);
    }
};
