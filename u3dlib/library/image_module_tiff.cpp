// The TIFF module.
#include "u3dlib/image_codecs.h"
#include "u3dlib/library/image_module.h"

#include <type_traits>

extern "C" [[gnu::visibility("default")]] bool decodeTextureImage(const uint8_t* bytes, size_t size, uint8_t codec,
                                                                  u3dlib::RgbaImage* out)
{
    if (out == nullptr)
        return false;
    const bool tiff = codec == static_cast<uint8_t>(u3dlib::ImageCodec::Tiff);
    // Nothing may leave the module but the answer: it carries its own C++ library.
    try {
        return u3dlib::decodeWith(tiff ? &u3dlib::decodeTiffImage : nullptr, {bytes, size}, *out);
    } catch (...) {
        *out = u3dlib::RgbaImage{};
        return false;
    }
}

static_assert(std::is_same_v<decltype(&decodeTextureImage), DecodeTextureImage>);
