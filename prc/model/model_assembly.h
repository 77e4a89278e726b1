// Flattening the product tree into one mesh with a node per visited occurrence.
#pragma once

#include "prc/model/assembly_mesh.h"
#include "prc/model/file_structure_data.h"
#include "prc/structure/matrix4d.h"

#include <cstdint>
#include <vector>

// The recursive walk from one occurrence. Throws std::runtime_error with
// "assieme PRC: troppi nodi", "assieme PRC: troppi triangoli", "assieme PRC: troppi
// vertici" or "assieme PRC: visita troppo lunga" when a limit of mesh.limits is reached.
void assembleOccurrence(PrcDocument& document, int64_t fileStructureIndex, int64_t occurrenceIndex,
                        uint32_t parentNode, const Matrix4d& parentMatrix, int32_t depth,
                        uint32_t inheritedColour, AssemblyMesh& mesh);

void appendPartItems(FileStructureData& fileStructure, const std::vector<RepresentationItemData>& items,
                     const Matrix4d& matrix, uint32_t colour, AssemblyMesh& mesh);
