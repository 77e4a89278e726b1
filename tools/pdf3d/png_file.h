// PNG encoding of RGBA or RGB pixels with libpng, to memory.
#pragma once

#include <cstdint>
#include <vector>

// channels is 3 (RGB) or 4 (RGBA); rows from the top. Empty on failure.
std::vector<uint8_t> encodePng(const uint8_t* pixels, uint32_t width, uint32_t height, int channels);
