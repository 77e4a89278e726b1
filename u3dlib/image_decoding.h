// Decoding a texture's image files into 8-bit RGBA. Two implementations share this
// interface: the PNG, JPEG and TIFF libraries where the system has them, and the
// system's own imaging codecs on Windows (runtime/platform_image.h). The shared library
// on the other systems reaches the first through a module (library/image_module.h).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace u3dlib {

// Larger images are not decoded: a preview has no use for them, and the bound keeps
// a decoded image at 64 MiB.
inline constexpr uint32_t kMaxImageSide = 4096;

struct RgbaImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels; // width * height * 4, rows from the top, no padding
    bool hasAlpha = false;       // the file had an alpha channel (else alpha is 255)
};

enum class ImageCodec : uint8_t { Png, Jpeg, Tiff };

// False for data that is not a whole image of the codec, or whose sides are 0 or
// above kMaxImageSide. Grey images give equal red, green and blue; images without
// alpha give 255.
bool decodeImage(std::span<const uint8_t> bytes, ImageCodec codec, RgbaImage& out);

} // namespace u3dlib
