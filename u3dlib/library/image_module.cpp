#include "u3dlib/library/image_module.h"

#include <type_traits>

extern "C" [[gnu::visibility("default")]] bool decodeTextureImage(const uint8_t* bytes, size_t size, uint8_t codec,
                                                                  u3dlib::RgbaImage* out)
{
    if (out == nullptr || codec > static_cast<uint8_t>(u3dlib::ImageCodec::Tiff))
        return false;
    return u3dlib::decodeImage({bytes, size}, static_cast<u3dlib::ImageCodec>(codec), *out);
}

// The library's call goes through a pointer of this type.
static_assert(std::is_same_v<decltype(&decodeTextureImage), DecodeTextureImage>);
