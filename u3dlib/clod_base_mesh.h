// The base mesh of a CLOD mesh: the lowest resolution, sent as plain floats and
// indexed faces.
//
// After the name and chain index: the six base counts (faces, positions, normals,
// diffuse, specular, texture coordinates), the positions (3 F32 each), normals (3),
// diffuse and specular colours (4), texture coordinates (4), then the faces: a shading
// id, then per corner a position index, a normal index unless the mesh excludes
// normals, a diffuse and a specular index when the face's shading uses them, and one
// texture coordinate index per layer of the shading. Indices are coded in static
// contexts of the base count.
#pragma once

#include "u3dlib/bit_decoder.h"
#include "u3dlib/clod_mesh_state.h"
#include "u3dlib/generator_declaration.h"
#include "u3dlib/stream_fault.h"

namespace u3dlib {

// Reads the rest of a base mesh block (after name and chain index) into an empty mesh.
// The base normals go to mesh.geometry.normals / normalIndices.
StreamFault readClodBaseMesh(BitDecoder& in, const GeneratorDeclaration& declaration, ClodMeshState& mesh);

} // namespace u3dlib
