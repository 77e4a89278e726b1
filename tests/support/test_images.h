// Image files for texture tests, written by the system's image encoders.
#pragma once

#include <cstdint>
#include <vector>

// pixels: width * height * channels bytes, rows from the top; channels 1 (grey),
// 3 (RGB) or 4 (RGBA).
std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& pixels);
// channels 1 or 3; quality 100.
std::vector<uint8_t> encodeJpeg(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& pixels);
std::vector<uint8_t> encodeTiff(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& pixels);
