// The continuation blocks of a file's model resources, decoded once the file has been
// walked: each resource's blocks in file order, then its geometry made (normals from
// the faces, mostly), and different resources at the same time. A resource's decoding
// touches only its own decoder, so the geometry is the same as when each block is
// decoded where the walk meets it.
#pragma once

#include "u3dlib/bit_decoder.h"
#include "u3dlib/block_framing.h"
#include "u3dlib/generator_decoder.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace u3dlib {

// A thread per this much continuation data: starting one costs about as much as
// decoding a small model.
inline constexpr uint64_t kContinuationBytesPerThread = uint64_t{1} << 20;
inline constexpr unsigned kMaxDecodingThreads = 4;

struct ResourceContinuations {
    std::shared_ptr<GeneratorDecoder> decoder; // none: dropped, nothing to decode
    // The blocks in file order, each by its 12-byte header, which its Data follows: a
    // file of tiny blocks must not cost more to remember than it takes to hold. The
    // bytes outlive the decoding.
    std::vector<const uint8_t*> blockHeaders;
    uint64_t bytes = 0;
};

// The threads worth starting for this much continuation data, this machine's
// processors and kMaxDecodingThreads allowing; 1 means the calling thread alone.
unsigned decodingThreadsFor(const std::vector<ResourceContinuations>& resources);

// The block whose header is at header, as the framing handed it out (its place in the
// file aside).
Block blockAtHeader(const uint8_t* header);

// Decodes every resource's blocks on up to threads threads, the calling one among
// them; where a thread cannot be started, on those there are. An exception from a
// decoding (std::bad_alloc) is thrown here, after every thread has ended: that of the
// first resource in the list that threw.
void decodeContinuations(std::vector<ResourceContinuations>& resources, DecoderOptions options, unsigned threads);

} // namespace u3dlib
