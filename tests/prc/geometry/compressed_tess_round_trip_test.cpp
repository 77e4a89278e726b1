// Meshes encoded by the test encoder must decode back to themselves: same triangles with
// the same winding, points within the tolerance.
#include "prc/geometry/compressed_tess_decoder.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "tests/support/prc_compressed_tess_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <string>

namespace {

CompressedTessSource closedCube(double size = 1.0)
{
    CompressedTessSource cube;
    for (int i = 0; i < 8; ++i)
        cube.points.insert(cube.points.end(), {(i & 1) * size, ((i >> 1) & 1) * size, ((i >> 2) & 1) * size});
    // Two outward triangles per side, one face number per side.
    const uint32_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (uint32_t side = 0; side < 6; ++side) {
        const uint32_t* q = quads[side];
        cube.triangles.insert(cube.triangles.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
        cube.faces.insert(cube.faces.end(), {side, side});
    }
    return cube;
}

// A height field of nx by ny points, diagonals alternating, one face per row.
CompressedTessSource grid(uint32_t nx, uint32_t ny, double offsetX = 0)
{
    CompressedTessSource g;
    for (uint32_t j = 0; j < ny; ++j)
        for (uint32_t i = 0; i < nx; ++i)
            g.points.insert(g.points.end(), {offsetX + i * 0.5, j * 0.5, 0.1 * std::sin(i * 0.7 + j * 0.3)});
    for (uint32_t j = 0; j + 1 < ny; ++j)
        for (uint32_t i = 0; i + 1 < nx; ++i) {
            const uint32_t p = j * nx + i;
            if ((i + j) % 2 == 0)
                g.triangles.insert(g.triangles.end(), {p, p + 1, p + nx + 1, p, p + nx + 1, p + nx});
            else
                g.triangles.insert(g.triangles.end(), {p, p + 1, p + nx, p + 1, p + nx + 1, p + nx});
            g.faces.insert(g.faces.end(), {j, j});
        }
    return g;
}

// A closed surface of genus 1: its walk must close loops around both holes.
CompressedTessSource torus(uint32_t nu, uint32_t nv)
{
    CompressedTessSource t;
    for (uint32_t j = 0; j < nv; ++j)
        for (uint32_t i = 0; i < nu; ++i) {
            const double u = 2 * std::numbers::pi * i / nu;
            const double v = 2 * std::numbers::pi * j / nv;
            t.points.insert(t.points.end(), {(2 + 0.7 * std::cos(v)) * std::cos(u), (2 + 0.7 * std::cos(v)) * std::sin(u),
                                             0.7 * std::sin(v)});
        }
    for (uint32_t j = 0; j < nv; ++j)
        for (uint32_t i = 0; i < nu; ++i) {
            const uint32_t p = j * nu + i;
            const uint32_t right = j * nu + (i + 1) % nu;
            const uint32_t up = ((j + 1) % nv) * nu + i;
            const uint32_t upRight = ((j + 1) % nv) * nu + (i + 1) % nu;
            t.triangles.insert(t.triangles.end(), {p, right, upRight, p, upRight, up});
            t.faces.insert(t.faces.end(), {j, j});
        }
    return t;
}

CompressedTessSource merged(const CompressedTessSource& first, const CompressedTessSource& second)
{
    CompressedTessSource m = first;
    const auto base = static_cast<uint32_t>(first.points.size() / 3);
    uint32_t faceBase = 0;
    for (const uint32_t f : first.faces)
        faceBase = std::max(faceBase, f + 1);
    m.points.insert(m.points.end(), second.points.begin(), second.points.end());
    for (const uint32_t p : second.triangles)
        m.triangles.push_back(p + base);
    for (const uint32_t f : second.faces)
        m.faces.push_back(f + faceBase);
    return m;
}

// Every source triangle comes back exactly once, with its winding, and every point
// within the tolerance.
void expectSameMesh(const CompressedTessSource& source, const CompressedTessEncoding& encoding,
                    const CompressedTessDecoding& decoding, double tolerance)
{
    const size_t triangleCount = source.triangles.size() / 3;
    ASSERT_EQ(decoding.triangles.size(), source.triangles.size());
    ASSERT_EQ(encoding.sourceTriangle.size(), triangleCount);
    std::vector<int> seen(triangleCount, 0);
    for (size_t t = 0; t < triangleCount; ++t) {
        const uint32_t s = encoding.sourceTriangle[t];
        ++seen[s];
        uint32_t got[3];
        for (int k = 0; k < 3; ++k)
            got[k] = encoding.sourcePoint.at(decoding.triangles[3 * t + k]);
        bool sameWinding = false;
        for (int r = 0; r < 3; ++r)
            sameWinding = sameWinding || (got[0] == source.triangles[3 * s + r] &&
                                          got[1] == source.triangles[3 * s + (r + 1) % 3] &&
                                          got[2] == source.triangles[3 * s + (r + 2) % 3]);
        EXPECT_TRUE(sameWinding) << "decoded triangle " << t << " (source " << s << ")";
    }
    for (size_t s = 0; s < triangleCount; ++s)
        EXPECT_EQ(seen[s], 1) << "source triangle " << s;
    ASSERT_EQ(decoding.vertices.size(), 3 * encoding.sourcePoint.size());
    for (size_t p = 0; p < encoding.sourcePoint.size(); ++p) {
        double distance2 = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const double d = decoding.vertices[3 * p + axis] - source.points[3 * encoding.sourcePoint[p] + axis];
            distance2 += d * d;
        }
        EXPECT_LE(std::sqrt(distance2), tolerance) << "point " << p;
    }
}

struct RoundTripCase {
    std::string name;
    CompressedTessSource mesh;
    CompressedTessEncoderOptions options;
};

CompressedTessEncoderOptions angleMode(bool faceNormals, bool singleNormals, uint8_t bits = 10)
{
    CompressedTessEncoderOptions o;
    o.angleNormals = true;
    o.faceNormals = faceNormals;
    o.singleNormals = singleNormals;
    o.angleBits = bits;
    return o;
}

TEST(CompressedTessRoundTrip, MeshesComeBackWithTheirWinding)
{
    CompressedTessEncoderOptions reopen;
    reopen.reopenClaimed = true;
    CompressedTessEncoderOptions shifted;
    shifted.origin[0] = 10.5f;
    shifted.origin[1] = -3.25f;
    shifted.tolerance = 0.01;
    CompressedTessEncoderOptions noOrigin;
    noOrigin.hasOrigin = false;
    const RoundTripCase cases[] = {
        {"cube, reversal bits", closedCube(), {}},
        {"cube, face normals", closedCube(), angleMode(true, true)},
        {"cube, point normals only", closedCube(), angleMode(false, true)},
        {"cube, several normals everywhere", closedCube(), angleMode(false, false)},
        {"cube, 16-bit angles", closedCube(), angleMode(false, true, 16)},
        {"cube, 1-bit angles", closedCube(), angleMode(true, false, 1)},
        {"grid, reversal bits", grid(7, 5), {}},
        {"grid, angle mode", grid(7, 5), angleMode(true, true)},
        {"grid, shifted origin", grid(4, 4, 100), shifted},
        {"grid, no origin", grid(4, 3), noOrigin},
        {"two components", merged(closedCube(), grid(5, 4, 3)), {}},
        {"two components, angle mode", merged(grid(5, 4, 3), closedCube(2)), angleMode(false, false)},
        {"torus", torus(12, 8), {}},
        {"torus, reopened gates", torus(12, 8), reopen},
        {"torus, angle mode", torus(12, 8), angleMode(true, true)},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CompressedTessEncoding encoding = encodeCompressedTess(c.mesh, c.options);
        EXPECT_TRUE(encoding.ambiguousIds.empty());
        const CompressedTessRun first = runCompressedTessDecoding(encoding.record, kTessFrameAsGiven, kNoForcedDecision);
        ASSERT_EQ(first.error, "");
        EXPECT_TRUE(compressedTessRunIsComplete(encoding.record, first.result));
        expectSameMesh(c.mesh, encoding, buildCompressedTessMesh(encoding.record), c.options.tolerance);
    }
}

} // namespace
