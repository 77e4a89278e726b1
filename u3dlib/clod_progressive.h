// The progressive part of a CLOD mesh: resolution updates, each adding one position.
//
// An update splits an existing position S into S and the new position N = r (r the
// resolution before the update): it adds colours and texture coordinates, new faces
// that use S and N and a third position, moves some of the faces around S over to N,
// and finally sends N's coordinates as a quantised difference from S and the normals
// of N's neighbourhood.
//
// Update layout and the rules that the fields leave implicit (which faces around S
// are listed and in which order, the local lists, the stay/move prediction that picks
// the context of each stay/move flag) follow the way the real writers encode; see
// the comments in the implementation. Colours and texture coordinates are predicted
// from those used at S; author normals are parsed but not rebuilt (their prediction
// is not known), so the mesh keeps none.
//
// The state lives in ClodMeshState and carries over between blocks; the histograms of
// the bit decoder do not.
#pragma once

#include "u3dlib/bit_decoder.h"
#include "u3dlib/clod_mesh_state.h"
#include "u3dlib/generator_declaration.h"
#include "u3dlib/stream_fault.h"

namespace u3dlib {

// Reads the rest of a progressive block (after name and chain index): the resolution
// range, which must start at the mesh's current resolution, then its updates.
StreamFault readClodProgressive(BitDecoder& in, const GeneratorDeclaration& declaration, ClodMeshState& mesh);

} // namespace u3dlib
