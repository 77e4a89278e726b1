// The bundled sample (samples/assembly.prc): a small table built with the test writer.
// One cube tessellation serves the top (styled wood) and four legs (one part, four
// occurrences: two red, one blue through a material, one white), a wedge with a strip,
// fans and per-vertex colours sits on the top, and a mirrored copy of the wedge takes
// its part from the first one as prototype.
#pragma once

#include "tests/support/prc_entity_writer.h"

PrcModel sampleAssemblyModel();
