// The accumulator of the flattened model: one mesh in model space and one node per
// visited product occurrence.
#pragma once

#include "prc/geometry/tessellation_data.h"
#include "prc/structure/matrix4d.h"
#include "runtime/heap_array.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kMaxAssemblyNodes = 200000;
inline constexpr uint64_t kMaxAssemblyTriangles = 20000000;
// More vertices than this could never be sent: 12 bytes of coordinates and 3 of colour
// each already exceed the stream's 256 MiB.
inline constexpr uint64_t kMaxAssemblyVertices = 268435456 / 15;
// Son entries, representation items and converted coordinates looked at in one model.
// Far above any real tree; it stops a small file whose tree revisits long lists from
// keeping the worker busy for hours.
inline constexpr uint64_t kMaxAssemblyWalkSteps = 100000000;

// The real limits unless a test lowers them to reach the boundaries cheaply.
struct AssemblyLimits {
    uint64_t nodes = kMaxAssemblyNodes;
    uint64_t triangles = kMaxAssemblyTriangles;
    uint64_t vertices = kMaxAssemblyVertices;
    uint64_t walkSteps = kMaxAssemblyWalkSteps;
};

struct AssemblyNode {
    std::string name;
    uint32_t parent = 0xFFFFFFFFu;
    uint32_t firstTriangle = 0;
    uint32_t triangleCount = 0; // the node's own part only
    float boundsMin[3] = {0, 0, 0};
    float boundsMax[3] = {0, 0, 0}; // over the node's whole subtree; zero when empty
};

struct AssemblyMesh {
    HeapArray<float> vertices;
    HeapArray<uint32_t> triangles;
    HeapArray<uint8_t> colours;
    std::vector<AssemblyNode> nodes;
    AssemblyLimits limits;
    uint64_t walkSteps = 0;
    // A first walk only counts how often each converted mesh is placed, so that the
    // second can let each go after its last placement.
    bool countingUses = false;
    // Room of the records let go since the heap last gave back its freed pages.
    uint64_t recordBytesFreed = 0;
};

// Packed colour: 0xFF000000 | R << 16 | G << 8 | B; 0 means none.
inline uint32_t packColour(uint8_t r, uint8_t g, uint8_t b)
{
    return 0xFF000000u | uint32_t{r} << 16 | uint32_t{g} << 8 | b;
}

// Appends a converted mesh placed by the matrix: complete vertices transformed, their
// colours, and the triangles renumbered, their corners swapped under a mirroring
// matrix so that the facing is kept. Throws std::runtime_error("assieme PRC: troppi
// triangoli") or ("assieme PRC: troppi vertici") before appending anything when the
// limits would be passed.
void appendTransformedMesh(AssemblyMesh& out, const TessMesh& mesh, const Matrix4d& matrix);

// Appends a converted mesh as it stands, without limits (the flat fallback).
void appendUntransformedMesh(AssemblyMesh& out, const TessMesh& mesh);
