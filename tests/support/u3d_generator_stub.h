// A stand-in for the geometry decoders in tests of the scene loader: declarations
// (name, chain index) start an empty resource, continuations (name, U32 n) add n
// primitives of the declaration's shape, and n = 0xFFFFFFFF loses the resource.
#pragma once

#include "tests/support/u3d_block_writer.h"
#include "u3dlib/generator_decoder.h"

#include <string>

inline constexpr uint32_t kStubLoseResource = 0xFFFFFFFF;

std::unique_ptr<u3dlib::GeneratorDecoder> readStubGeneratorDeclaration(const u3dlib::Block& block,
                                                                      u3dlib::DecoderOptions options);

U3dBytes u3dStubGeneratorDeclaration(uint32_t type, const std::string& name);
U3dBytes u3dStubGeneratorContinuation(uint32_t type, const std::string& name, uint32_t primitives);
