// The modules of image libraries that the library loads with its first texture image
// of their codecs: their files, found beside the library, and their one entry. TIFF has
// a module of its own, since libtiff brings half a dozen other libraries to load.
#pragma once

#include "u3dlib/image_codecs.h"
#include "u3dlib/image_decoding.h"

#include <cstddef>
#include <cstdint>

inline constexpr char kImageModuleFile[] = "libIFXImaging.so";         // PNG and JPEG
inline constexpr char kTiffImageModuleFile[] = "libIFXImagingTiff.so"; // TIFF
inline constexpr char kImageModuleEntry[] = "decodeTextureImage";

// decodeImage across the module boundary: plain arguments, the codec as its number.
// A module fails the codecs it does not carry.
using DecodeTextureImage = bool (*)(const uint8_t* bytes, size_t size, uint8_t codec, u3dlib::RgbaImage* out);

// The body of a module's entry: decodes with decode (none: the module does not carry the
// codec), and lets nothing but the answer out, since each module carries its own C++
// library.
inline bool decodeInModule(u3dlib::ImageDecoder decode, const uint8_t* bytes, size_t size, u3dlib::RgbaImage* out)
{
    if (out == nullptr)
        return false;
    try {
        return u3dlib::decodeWith(decode, {bytes, size}, *out);
    } catch (...) {
        *out = u3dlib::RgbaImage{};
        return false;
    }
}
