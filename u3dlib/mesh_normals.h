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

#include <cstddef>
#include <cstdint>
#include <vector>

namespace u3dlib {

inline constexpr uint32_t kMaxNormalGroupsPerPosition = 16;
// Used when the declaration's crease value is not a dot product (not in [-1, 1]).
inline constexpr float kDefaultNormalCrease = 0.5f;
// Meshes of this many faces share the work with a second thread, where there is a
// second processor: below it, starting the thread costs more than it saves.
inline constexpr size_t kFacesForTwoNormalThreads = 4096;

// positionIndices: three per face. Fills one normal per (position, group) and one
// normal index per corner. Degenerate faces get the normal of their position's first
// group, or a zero normal when that has none. threads: 1 or 2, 0 to choose by the
// mesh's size; the normals are the same either way.
void computeCreaseNormals(const std::vector<IFXVector3>& positions, const std::vector<uint32_t>& positionIndices,
                          float crease, std::vector<IFXVector3>& normals, std::vector<uint32_t>& normalIndices,
                          unsigned threads = 0);

} // namespace u3dlib
