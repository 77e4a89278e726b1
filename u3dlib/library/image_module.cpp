// The PNG and JPEG module.
#include "u3dlib/library/image_module.h"

#include <type_traits>

extern "C" [[gnu::visibility("default")]] bool decodeTextureImage(const uint8_t* bytes, size_t size, uint8_t codec,
                                                                  u3dlib::RgbaImage* out)
{
    using u3dlib::ImageCodec;
    const u3dlib::ImageDecoder decode = codec == static_cast<uint8_t>(ImageCodec::Png)    ? &u3dlib::decodePngImage
                                        : codec == static_cast<uint8_t>(ImageCodec::Jpeg) ? &u3dlib::decodeJpegImage
                                                                                          : nullptr;
    return decodeInModule(decode, bytes, size, out);
}

// The library's call goes through a pointer of this type.
static_assert(std::is_same_v<decltype(&decodeTextureImage), DecodeTextureImage>);
