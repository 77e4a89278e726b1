// Image decoding by the system's codecs (Windows builds).
#include "u3dlib/image_decoding.h"

#include "runtime/platform_image.h"

namespace u3dlib {

bool decodeImage(std::span<const uint8_t> bytes, ImageCodec, RgbaImage& out)
{
    out = RgbaImage{};
    // The system recognises the format by its content.
    if (!decodeImageWithSystemCodecs(bytes.data(), bytes.size(), kMaxImageSide, out.width, out.height, out.pixels)) {
        out = RgbaImage{};
        return false;
    }
    // The codecs hand out 32-bit pixels whatever the file held: an image whose every
    // pixel is opaque counts as one without alpha.
    for (size_t i = 3; i < out.pixels.size() && !out.hasAlpha; i += 4)
        out.hasAlpha = out.pixels[i] != 255;
    return true;
}

} // namespace u3dlib
