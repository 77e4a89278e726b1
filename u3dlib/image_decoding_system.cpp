// Image decoding by the system's codecs (Windows builds).
#include "u3dlib/image_decoding.h"

#include "runtime/platform_image.h"

#include <initializer_list>

#include <algorithm>
#include <array>

namespace u3dlib {

namespace {

bool startsWith(std::span<const uint8_t> bytes, std::initializer_list<uint8_t> signature)
{
    return bytes.size() >= signature.size() && std::equal(signature.begin(), signature.end(), bytes.begin());
}

// The system's codecs go by the content; the declared format must agree, as it must
// where each format has its own library.
bool hasSignatureOf(std::span<const uint8_t> bytes, ImageCodec codec)
{
    switch (codec) {
    case ImageCodec::Png: return startsWith(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    case ImageCodec::Jpeg: return startsWith(bytes, {0xFF, 0xD8, 0xFF});
    case ImageCodec::Tiff: return startsWith(bytes, {'I', 'I', 42, 0}) || startsWith(bytes, {'M', 'M', 0, 42});
    }
    return false;
}

} // namespace

bool decodeImage(std::span<const uint8_t> bytes, ImageCodec codec, RgbaImage& out)
{
    out = RgbaImage{};
    if (!hasSignatureOf(bytes, codec))
        return false;
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
