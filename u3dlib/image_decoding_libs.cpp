// Image decoding with libpng, libjpeg(-turbo) and libtiff, all linked in.
#include "u3dlib/image_codecs.h"

namespace u3dlib {

bool decodeImage(std::span<const uint8_t> bytes, ImageCodec codec, RgbaImage& out)
{
    switch (codec) {
    case ImageCodec::Png: return decodeWith(&decodePngImage, bytes, out);
    case ImageCodec::Jpeg: return decodeWith(&decodeJpegImage, bytes, out);
    case ImageCodec::Tiff: return decodeWith(&decodeTiffImage, bytes, out);
    }
    return decodeWith(nullptr, bytes, out);
}

} // namespace u3dlib
