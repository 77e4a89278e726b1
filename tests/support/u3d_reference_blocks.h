// The U3D blocks heron_scan reads without the library, for its tests: file headers,
// file references and shading modifiers (modifier chains come from the block writer).
#pragma once

#include "tests/support/u3d_block_writer.h"

#include <initializer_list>
#include <string>
#include <vector>

U3dBytes u3dFileHeaderBlock(uint32_t profile, uint32_t declarationSize, uint64_t fileSize);
// A File Reference block naming the URLs, with no filters.
U3dBytes u3dFileReferenceBlock(const std::vector<std::string>& urls, const U3dChainBounds& bounds = {});
// A shading modifier block with one shader list per element.
U3dBytes u3dShadingModifierBlock(const std::string& name, const std::vector<std::vector<std::string>>& shaderLists);
U3dBytes concat(std::initializer_list<U3dBytes> parts);
