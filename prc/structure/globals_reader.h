// Reading of a file structure's globals section (FileStructureGlobals).
#pragma once

#include "prc/bits/prc_bit_reader.h"
#include "prc/structure/globals_data.h"

// Reads the whole section from the reader's start. Empties the current name and resets
// the current graphics first; throws std::runtime_error on malformed data.
GlobalsData readFileStructureGlobals(PRCBitReader& reader);
