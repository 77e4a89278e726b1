// Shared helpers of the geometry decoder tests.
#pragma once

#include "tests/support/u3d_geometry_writer.h"
#include "u3dlib/author_geometry.h"
#include "u3dlib/block_framing.h"
#include "u3dlib/generator_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>

// A block's bytes stay alive with the Block that points into them.
struct OwnedBlock {
    U3dBytes bytes;
    u3dlib::Block block;
};

inline OwnedBlock ownBlock(U3dBytes bytes)
{
    OwnedBlock owned{std::move(bytes), {}};
    u3dlib::BlockCursor cursor(owned.bytes);
    owned.block = cursor.next().value();
    return owned;
}

inline std::unique_ptr<u3dlib::GeneratorDecoder> declare(const U3dBytes& declaration)
{
    const OwnedBlock owned = ownBlock(declaration);
    return u3dlib::readGeneratorDeclaration(owned.block, {});
}

inline bool feed(u3dlib::GeneratorDecoder& decoder, const U3dBytes& continuation, u3dlib::DecoderOptions options = {})
{
    const OwnedBlock owned = ownBlock(continuation);
    return decoder.readContinuation(owned.block, options);
}

// Each directed edge at most once: the faces are consistently wound.
inline U3dGeneratorDesc meshDesc(uint32_t faces, uint32_t positions, uint32_t minResolution = 7)
{
    return {.name = "Fan", .primitiveCount = faces, .positionCount = positions, .normalCount = positions,
            .minResolution = minResolution, .maxResolution = positions};
}

// Centre 0 and a hexagon 1..6 around it, faces (0, i, i+1) wound counter-clockwise.
inline U3dBaseMeshDesc hexagonFan()
{
    U3dBaseMeshDesc base;
    base.positions.push_back({0, 0, 0});
    for (int i = 0; i < 6; ++i)
        base.positions.push_back({std::cos(float(i) * 3.14159265f / 3), std::sin(float(i) * 3.14159265f / 3), 0});
    base.normals.push_back({0, 0, 1});
    for (uint32_t i = 0; i < 6; ++i)
        base.faces.push_back(U3dBaseFace{0, {0, 1 + i, 1 + (i + 1) % 6}});
    return base;
}

// Splits the centre: faces 0..2 move to the new position 7, faces 3..5 stay; new faces
// close the gap along the edges to positions 1 and 4. The walk around the centre
// meets every kind of prediction (from a new face, from a neighbour).
inline U3dUpdateDesc splitCentre()
{
    U3dUpdateDesc u;
    u.newFaces.resize(2);
    u.newFaces[0].rightOrientation = true;
    u.newFaces[0].third = 1;
    u.newFaces[0].thirdLocal = true;
    u.newFaces[1].third = 4;
    u.moves = {u3dMove(0), u3dMove(1), u3dMove(2)};
    u.position = {0.25f, 0.125f, 0.5f};
    return u;
}
