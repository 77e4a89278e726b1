// The decoded U3D scene as the worker entry writes it: every array is C-heap memory
// laid out exactly as the result stream carries it.
#pragma once

#include "runtime/result_stream.h"

#include <cstdint>

struct U3dModel {
    float* vertices;       // x, y, z per vertex, world space
    uint32_t* triangles;   // three vertex numbers per triangle; null when there is none
    uint8_t* colours;      // R, G, B per vertex
    uint32_t vertexCount;
    uint32_t triangleCount;
    float* uvs;            // u, v per vertex when a texture was chosen; -1, -1 for none
    uint8_t* texturePixels; // RGBA rows of textureWidth × 4 bytes
    uint32_t textureWidth;
    uint32_t textureHeight;
    uint32_t* points;
    uint32_t pointCount;
    uint32_t* lines;       // pairs
    uint32_t lineCount;
    NodeRecord* nodeRecords;
    uint32_t nodeCount;
    ViewRecord* viewRecords;
    uint32_t viewCount;
    float defaultViewRotation[9];
    uint32_t hasDefaultView;
    float keyLightYaw;
    float keyLightPitch;
    uint32_t hasKeyLight;
    uint32_t headerValue32;
    uint64_t headerValue64;
    uint32_t hasHeaderValues;
    float* normals;             // x, y, z per vertex
    uint16_t* vertexMaterials;  // material record per vertex
    MaterialRecord* materials;
    uint32_t materialCount;
    LightRecord lights[kMaxLightRecords];
    uint32_t lightCount;
};

// Frees every array and zero-fills the model; a null model is ignored.
void releaseU3dModel(U3dModel* model);
