// Normals computed from geometry: sharp edges stay sharp, curved surfaces are smooth.
#include "u3dlib/mesh_normals.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <set>

using namespace u3dlib;

namespace {

// With faces and normal indices as flat lists, three corners a face.
void creaseNormals(const std::vector<IFXVector3>& positions, const std::vector<uint32_t>& corners, float crease,
                   std::vector<IFXVector3>& normals, std::vector<uint32_t>& normalIndices)
{
    std::vector<IFXAuthorFace> faces;
    for (size_t i = 0; i + 2 < corners.size(); i += 3)
        faces.push_back({corners[i], corners[i + 1], corners[i + 2]});
    std::vector<IFXAuthorFace> normalFaces;
    computeCreaseNormals(positions, faces, crease, normals, normalFaces);
    normalIndices.clear();
    for (const IFXAuthorFace& face : normalFaces)
        normalIndices.insert(normalIndices.end(), {face.a, face.b, face.c});
}

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
    creaseNormals(positions, faces, 0.99f, normals, indices);
    std::set<uint32_t> atCentre;
    for (size_t i = 0; i < faces.size(); ++i) {
        ASSERT_LT(indices[i], normals.size());
        if (faces[i] == 0)
            atCentre.insert(indices[i]);
    }
    EXPECT_LE(atCentre.size(), kMaxNormalGroupsPerPosition);
    EXPECT_GT(atCentre.size(), 1u);
}

// Three sides of a box meet at the origin, one of them cut into two triangles there. A
// corner weighs by its angle, so the cut does not tilt the smooth normal; a crease keeps
// the three sides apart.
TEST(MeshNormals, CornersWeighByTheirAnglesAndCreasesKeepSidesApart)
{
    const std::vector<IFXVector3> positions{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                            {1, 0, 1}, {0, 0, 1}, {0, 1, 1}};
    const std::vector<uint32_t> faces{0, 2, 1, 0, 3, 2,  // z = 0, two corners at the origin
                                      0, 1, 5, 1, 4, 5,  // y = 0
                                      0, 5, 3, 3, 5, 6}; // x = 0
    std::vector<IFXVector3> normals;
    std::vector<uint32_t> indices;
    creaseNormals(positions, faces, -1.0f, normals, indices);
    const float diagonal = -1.0f / std::sqrt(3.0f);
    for (size_t i = 0; i < faces.size(); ++i) {
        if (faces[i] != 0)
            continue;
        const IFXVector3& n = normals.at(indices[i]);
        EXPECT_NEAR(n.x, diagonal, 1e-6f);
        EXPECT_NEAR(n.y, diagonal, 1e-6f);
        EXPECT_NEAR(n.z, diagonal, 1e-6f);
    }

    creaseNormals(positions, faces, 0.5f, normals, indices);
    const IFXVector3 sides[3] = {{0, 0, -1}, {0, -1, 0}, {-1, 0, 0}};
    std::set<uint32_t> atOrigin;
    for (size_t i = 0; i < faces.size(); ++i) {
        const IFXVector3& n = normals.at(indices[i]);
        const IFXVector3& side = sides[i / 6];
        EXPECT_TRUE(n.x == side.x && n.y == side.y && n.z == side.z) << i;
        if (faces[i] == 0)
            atOrigin.insert(indices[i]);
    }
    EXPECT_EQ(atOrigin.size(), 3u);
}

// The angles of earlier faces elsewhere in the mesh (thousands of them, more than any
// remembered set of angles) do not change a fan's normal.
TEST(MeshNormals, ANormalDependsOnlyOnItsOwnFaces)
{
    std::vector<IFXVector3> fan{{0, 0, 0}};
    std::vector<uint32_t> fanFaces;
    for (uint32_t i = 1; i <= 12; ++i) {
        const float a = float(i) * 0.41f + float(i * i) * 0.013f;
        fan.push_back({std::cos(a), std::sin(a), 0.1f * float(i % 3)});
        if (i > 1)
            fanFaces.insert(fanFaces.end(), {0, i - 1, i});
    }
    const auto centreNormals = [](const std::vector<IFXVector3>& positions, const std::vector<uint32_t>& faces,
                                  uint32_t centre) {
        std::vector<IFXVector3> normals;
        std::vector<uint32_t> indices;
        creaseNormals(positions, faces, -1.0f, normals, indices);
        std::vector<std::array<float, 3>> out;
        for (size_t i = 0; i < faces.size(); ++i)
            if (faces[i] == centre)
                out.push_back({normals[indices[i]].x, normals[indices[i]].y, normals[indices[i]].z});
        return out;
    };

    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-1, 1);
    std::vector<IFXVector3> positions;
    std::vector<uint32_t> faces;
    for (uint32_t i = 0; i < 9000; ++i) {
        positions.push_back({coordinate(random), coordinate(random), coordinate(random)});
        if (i % 3 == 2)
            faces.insert(faces.end(), {i - 2, i - 1, i});
    }
    const uint32_t base = static_cast<uint32_t>(positions.size());
    positions.insert(positions.end(), fan.begin(), fan.end());
    for (uint32_t index : fanFaces)
        faces.push_back(base + index);
    EXPECT_EQ(centreNormals(positions, faces, base), centreNormals(fan, fanFaces, 0));
}

} // namespace
