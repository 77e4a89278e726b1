// The PNG and JPEG module.
#include "u3dlib/image_codecs.h"
#include "u3dlib/library/image_module.h"

#include <type_traits>

extern "C" [[gnu::visibility("default")]] bool decodeTextureImage(const uint8_t* bytes, size_t size, uint8_t codec,
                                                                  u3dlib::RgbaImage* out)
{
    using u3dlib::ImageCodec;
    if (out == nullptr)
        return false;
    const u3dlib::ImageDecoder decode = codec == static_cast<uint8_t>(ImageCodec::Png)    ? &u3dlib::decodePngImage
                                        : codec == static_cast<uint8_t>(ImageCodec::Jpeg) ? &u3dlib::decodeJpegImage
                                                                                          : nullptr;
    // Nothing may leave the module but the answer: it carries its own C++ library.
    try {
        return u3dlib::decodeWith(decode, {bytes, size}, *out);
    } catch (...) {
        *out = u3dlib::RgbaImage{};
        return false;
    }
}

// The library's call goes through a pointer of this type.
static_assert(std::is_same_v<decltype(&decodeTextureImage), DecodeTextureImage>);
