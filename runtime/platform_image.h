// Image decoding by the operating system's own codecs, for builds without the image
// libraries (Windows: the Windows Imaging Component, which reads PNG, JPEG and TIFF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes the first frame of an image file held in memory into 8-bit RGBA rows of
// width * 4 bytes. False when the data is not an image the system can read, or a
// side is 0 or above maxSide.
bool decodeImageWithSystemCodecs(const uint8_t* bytes, size_t size, uint32_t maxSide, uint32_t& width,
                                 uint32_t& height, std::vector<uint8_t>& rgba);
