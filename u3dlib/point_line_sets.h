// Point sets and line sets: progressive like meshes, but simpler. Every update adds
// one position r, predicted from an earlier split position, then its normals, then new
// points at r or new lines from an earlier position to r. Each point or line end
// carries a normal index into the update's normals and, as its shading says, a diffuse
// colour, a specular colour and texture coordinates: either the value most recently
// added to that pool, or a new one predicted from the values used at the split
// position.
//
// Normals are parsed but not kept: their prediction (a spherical average of the
// normals at the split position) is not worth rebuilding for points and lines, which
// a preview draws unlit.
#pragma once

#include "u3dlib/author_geometry.h"
#include "u3dlib/bit_decoder.h"
#include "u3dlib/generator_declaration.h"
#include "u3dlib/stream_fault.h"

#include <cstdint>
#include <vector>

namespace u3dlib {

struct PointLineState {
    AuthorGeometry geometry;
    // Item ends (primitive * corners + end) at each position, for the colour predictions,
    // as lists threaded through flat arrays: per position its latest end (kNoEnd for
    // none) and their count, per end the one before it at the same position.
    static constexpr uint32_t kNoEnd = UINT32_MAX;
    std::vector<uint32_t> latestEndAt;
    std::vector<uint32_t> endCountAt;
    std::vector<uint32_t> earlierEndAtSamePosition;
    bool keepsDiffuse = false;
    bool keepsSpecular = false;
    uint32_t texLayers = 0;
};

void initPointLineState(PointLineState& state, const GeneratorDeclaration& declaration);

// Reads the rest of a point or line set continuation (after name and chain index).
StreamFault readPointLineContinuation(BitDecoder& in, const GeneratorDeclaration& declaration, PointLineState& state);

} // namespace u3dlib
