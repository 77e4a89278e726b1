// The last step of a decode: the accumulated mesh's C-heap arrays handed to the result,
// and the node entries checked and turned into stream records.
#pragma once

#include "prc/model/assembly_mesh.h"
#include "prc/model/model_file_driver.h"

#include <cstddef>

// Fills the arrays and counts of result (the other fields are left alone). With
// withNodes, the node table is added when its triangle ranges are sound. False, with
// the whole result zeroed (status 0), when an array cannot be allocated.
bool fillModelResult(const AssemblyMesh& mesh, bool withNodes, PrcModelResult& result);
// The same, handing the mesh's arrays over without copying them.
bool fillModelResult(AssemblyMesh&& mesh, bool withNodes, PrcModelResult& result);

// Frees the arrays and zeroes the whole result.
void releaseModelResult(PrcModelResult& result);

// True when the non-empty triangle ranges of the nodes lie inside triangleCount
// triangles and do not overlap.
bool nodeRangesAreSound(const std::vector<AssemblyNode>& nodes, uint64_t triangleCount);

// The 188-byte record of a node; the name is cut to 127 bytes, never inside a UTF-8
// sequence, and always NUL-terminated.
NodeRecord nodeRecordOf(const AssemblyNode& node, uint32_t index);
