// Loading one file structure (header, globals, tree, tessellations) into the document,
// each section failing on its own.
#pragma once

#include "prc/model/file_structure_data.h"

#include <cstddef>
#include <cstdint>

// The two versions of the file structure header at offset ("PRC", minimal version,
// authoring version): authoring version << 32 | minimal version, or all ones when absent.
uint64_t readFileStructureHeader(const uint8_t* data, uint64_t size, uint64_t offset);

// Fills document.fileStructures[index] from the file bytes. Never fails as a whole:
// a section that cannot be read is left empty.
void loadFileStructure(PrcDocument& document, const uint8_t* data, uint64_t size, size_t index);

class InflatedSections;
// The same through the file's sections, which inflates each at most once within the
// file's budget; InflateBudgetExceeded goes through to the caller.
void loadFileStructure(PrcDocument& document, InflatedSections& sections, size_t index);

// Reads the tessellations of document.fileStructures[index] again, after the walk let
// some of them go and the flat reading needs them all.
void reloadTessellations(PrcDocument& document, InflatedSections& sections, size_t index);
