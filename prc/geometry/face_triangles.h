// Conversion of a plain tessellation into a coloured triangle mesh.
#pragma once

#include "prc/geometry/tessellation_data.h"
#include "prc/structure/globals_data.h"

#include <cstdint>

// Finds the point of every vertex of every convertible face in triangulated_index, which
// goes: the point slots are all the conversion reads, and where the normals or textures
// have slots of their own, a half or a third of them. A record already resolved stays
// as it is.
void resolveFaceVertices(PRC3DTess& tess);

// The mesh of a tessellation whose face vertices are resolved.
// defaultRgb: three bytes, or null for none (white).
TessMesh appendFaceTriangles(const PRC3DTess& tess, const GlobalsData& globals, const uint8_t* defaultRgb);

// Entries of a fan or strip face: the number of fans or strips, then the vertex count of
// each. The vertices they announce (counts the first entry does not announce are not read).
uint64_t fanOrStripVertexCount(const std::vector<uint32_t>& sizes);
