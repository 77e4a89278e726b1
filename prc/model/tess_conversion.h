// One tessellation of a file structure turned into a mesh in one colour, as the placing
// walk asks for it, and the record let go after its last conversion.
#pragma once

#include "prc/geometry/tessellation_data.h"
#include "prc/model/file_structure_data.h"

#include <cstdint>

// The points and triangles of the record: what converting it costs the walk's budget.
uint64_t conversionSteps(const FileStructureData& fileStructure, uint64_t tessellation);

// The mesh of the tessellation in colour (packed; 0 for none), without triangles when
// the record is missing, cannot be decoded or holds none. With useUp (its last
// conversion), a compressed record gives up its arrays as it goes.
TessMesh convertTessellation(FileStructureData& fileStructure, uint64_t tessellation, uint32_t colour, bool useUp);

// The record after its last conversion: the file structure then tells that one went.
void releaseTessellation(FileStructureData& fileStructure, uint64_t tessellation);
