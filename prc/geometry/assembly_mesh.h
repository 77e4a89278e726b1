// The accumulator of the flattened model: one mesh in model space and one node per
// visited product occurrence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AssemblyNode {
    std::string name;
    uint32_t parent = 0xFFFFFFFFu;
    uint32_t firstTriangle = 0;
    uint32_t triangleCount = 0; // the node's own part only
    float boundsMin[3] = {0, 0, 0};
    float boundsMax[3] = {0, 0, 0}; // over the node's whole subtree; zero when empty
};

struct AssemblyMesh {
    std::vector<float> vertices;
    std::vector<uint32_t> triangles;
    std::vector<uint8_t> colours;
    std::vector<AssemblyNode> nodes;
};

// Packed colour: 0xFF000000 | R << 16 | G << 8 | B; 0 means none.
inline uint32_t packColour(uint8_t r, uint8_t g, uint8_t b)
{
    return 0xFF000000u | uint32_t{r} << 16 | uint32_t{g} << 8 | b;
}
