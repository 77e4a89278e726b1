// The image libraries, one function per codec, each in a file of its own so that a
// module can carry some without linking the others. On success out holds the image;
// on failure its contents are unspecified (decodeImage clears it).
#pragma once

#include "u3dlib/image_decoding.h"

#include <cstdint>
#include <span>

namespace u3dlib {

bool decodePngImage(std::span<const uint8_t> bytes, RgbaImage& out);  // libpng
bool decodeJpegImage(std::span<const uint8_t> bytes, RgbaImage& out); // libjpeg
bool decodeTiffImage(std::span<const uint8_t> bytes, RgbaImage& out); // libtiff

using ImageDecoder = bool (*)(std::span<const uint8_t> bytes, RgbaImage& out);

// Decodes with decode (none: fails), leaving out empty unless it succeeds.
inline bool decodeWith(ImageDecoder decode, std::span<const uint8_t> bytes, RgbaImage& out)
{
    out = RgbaImage{};
    if (decode != nullptr && decode(bytes, out))
        return true;
    out = RgbaImage{};
    return false;
}

inline bool acceptableImageSize(uint64_t width, uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
}

} // namespace u3dlib
