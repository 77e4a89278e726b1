// Normals computed from geometry: sharp edges stay sharp, curved surfaces are smooth.
#include "u3dlib/mesh_normals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace u3dlib;

namespace {

TEST(MeshNormals, DegenerateFacesAndWideFansStayBounded)
{
    // A fan of 40 faces around position 0, each folded a little further: no more than
    // the group cap of normals at the centre, and a degenerate face gets a valid index.
    std::vector<IFXVector3> positions{{0, 0, 0}};
    std::vector<uint32_t> faces;
    for (uint32_t i = 0; i < 40; ++i) {
        const float a = float(i) * 0.15f;
        positions.push_back({std::cos(a), std::sin(a), float(i) * 0.5f});
        if (i > 0)
            faces.insert(faces.end(), {0, i, i + 1});
    }
    faces.insert(faces.end(), {0, 0, 1}); // degenerate
    std::vector<IFXVector3> normals;
    std::vector<uint32_t> indices;
    computeCreaseNormals(positions, faces, 0.99f, normals, indices);
    std::set<uint32_t> atCentre;
    for (size_t i = 0; i < faces.size(); ++i) {
        ASSERT_LT(indices[i], normals.size());
        if (faces[i] == 0)
            atCentre.insert(indices[i]);
    }
    EXPECT_LE(atCentre.size(), kMaxNormalGroupsPerPosition);
    EXPECT_GT(atCentre.size(), 1u);
}

} // namespace
