// Decoding of model resources (CLOD meshes, point sets, line sets) from their
// declaration block and the continuation blocks that follow it in the file.
#pragma once

#include "u3dlib/author_geometry.h"
#include "u3dlib/bit_decoder.h"
#include "u3dlib/block_framing.h"

#include <memory>
#include <string>

namespace u3dlib {

class GeneratorDecoder {
public:
    virtual ~GeneratorDecoder() = default;

    // The resource's name (its model resource palette entry and chain name).
    virtual const std::string& name() const = 0;

    // Applies one continuation block of this resource (base mesh, progressive or point
    // and line set continuation). False when the block is not for this kind of resource
    // or the stream is lost; a lost resource stays lost and yields no geometry.
    virtual bool readContinuation(const Block& block, DecoderOptions options) = 0;
    virtual bool lost() const = 0;

    // The geometry at the highest resolution decoded; empty when lost.
    virtual const AuthorGeometry& geometry() const = 0;
};

// Reads a declaration block (CLOD mesh 0xFFFFFF31, point set 0xFFFFFF36, line set
// 0xFFFFFF37); null when the block is malformed.
std::unique_ptr<GeneratorDecoder> readGeneratorDeclaration(const Block& block, DecoderOptions options);

} // namespace u3dlib
