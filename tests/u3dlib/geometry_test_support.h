// Shared helpers of the geometry decoder tests.
#pragma once

#include "tests/support/u3d_block_writer.h"
#include "u3dlib/author_geometry.h"
#include "u3dlib/block_framing.h"
#include "u3dlib/generator_decoder.h"

#include <gtest/gtest.h>

#include <map>
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
inline bool consistentlyWound(const u3dlib::AuthorGeometry& g)
{
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (uint32_t f = 0; f < g.primitiveCount; ++f)
        for (uint32_t k = 0; k < 3; ++k)
            if (++edges[{g.positionIndices[3 * f + k], g.positionIndices[3 * f + (k + 1) % 3]}] > 1)
                return false;
    return true;
}
