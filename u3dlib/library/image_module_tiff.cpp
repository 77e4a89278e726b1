// The TIFF module.
#include "u3dlib/library/image_module.h"

#include <type_traits>

extern "C" [[gnu::visibility("default")]] bool decodeTextureImage(const uint8_t* bytes, size_t size, uint8_t codec,
                                                                  u3dlib::RgbaImage* out)
{
    const bool tiff = codec == static_cast<uint8_t>(u3dlib::ImageCodec::Tiff);
    return decodeInModule(tiff ? &u3dlib::decodeTiffImage : nullptr, bytes, size, out);
}

static_assert(std::is_same_v<decltype(&decodeTextureImage), DecodeTextureImage>);
