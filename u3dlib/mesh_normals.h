// Normals computed from a mesh's geometry, for meshes whose author normals cannot be
// rebuilt (the progressive ones).
//
// The faces around each position are grouped by their face normals: a face joins the
// first group whose first face's normal has a dot product above the crease value with
// its own (the mesh declaration's normal crease parameter; -1 smooths everything, 1
// keeps every face flat), so sharp edges stay sharp and curved surfaces are smooth.
// A corner's normal is the angle-weighted mean of its group. Groups per position are
// capped; beyond the cap a face joins the closest group, so the work stays linear.
#pragma once

#include "u3dlib/ifx_interface.h"

#include <cstdint>
#include <vector>

namespace u3dlib {

inline constexpr uint32_t kMaxNormalGroupsPerPosition = 16;
// Used when the declaration's crease value is not a dot product (not in [-1, 1]).
inline constexpr float kDefaultNormalCrease = 0.5f;

// Fills one normal per (position, group) and one normal face per face. Degenerate
// faces get the normal of their position's first group, or a zero normal when that
// has none.
void computeCreaseNormals(const std::vector<IFXVector3>& positions, const std::vector<IFXAuthorFace>& faces,
                          float crease, std::vector<IFXVector3>& normals, std::vector<IFXAuthorFace>& normalFaces);

} // namespace u3dlib
