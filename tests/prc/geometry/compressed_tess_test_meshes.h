// Meshes for the compressed tessellation tests.
#pragma once

#include "prc/geometry/compressed_tess_vector.h"
#include "tests/support/prc_compressed_tess_encoder.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>

inline std::vector<double> pointsOf(std::initializer_list<TessVec3> points)
{
    std::vector<double> out;
    for (const TessVec3& p : points)
        out.insert(out.end(), {p.x, p.y, p.z});
    return out;
}

// Two outward triangles per side, one face number per side (x-, y- and z-sides in pairs).
inline CompressedTessSource closedCube(double size = 1.0)
{
    CompressedTessSource cube;
    for (int i = 0; i < 8; ++i)
        cube.points.insert(cube.points.end(), {(i & 1) * size, ((i >> 1) & 1) * size, ((i >> 2) & 1) * size});
    const uint32_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (uint32_t side = 0; side < 6; ++side) {
        const uint32_t* q = quads[side];
        cube.triangles.insert(cube.triangles.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
        cube.faces.insert(cube.faces.end(), {side, side});
    }
    return cube;
}

// nx by ny points of a height field (flat when bump is 0), diagonals alternating, one
// face per row.
inline CompressedTessSource grid(uint32_t nx, uint32_t ny, double offsetX = 0, double bump = 0.1)
{
    CompressedTessSource g;
    for (uint32_t j = 0; j < ny; ++j)
        for (uint32_t i = 0; i < nx; ++i)
            g.points.insert(g.points.end(), {offsetX + i * 0.5, j * 0.5, bump * std::sin(i * 0.7 + j * 0.3)});
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
inline CompressedTessSource torus(uint32_t nu, uint32_t nv)
{
    CompressedTessSource t;
    for (uint32_t j = 0; j < nv; ++j)
        for (uint32_t i = 0; i < nu; ++i) {
            const double u = 2 * std::numbers::pi * i / nu;
            const double v = 2 * std::numbers::pi * j / nv;
            const double r = 2 + 0.7 * std::cos(v);
            t.points.insert(t.points.end(), {r * std::cos(u), r * std::sin(u), 0.7 * std::sin(v)});
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

inline CompressedTessSource merged(const CompressedTessSource& first, const CompressedTessSource& second)
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
