// The modules of image libraries that the library loads with its first texture image
// of their codecs: their files, found beside the library, and their one entry. TIFF has
// a module of its own, since libtiff brings half a dozen other libraries to load.
#pragma once

#include "u3dlib/image_decoding.h"

#include <cstddef>
#include <cstdint>

inline constexpr char kImageModuleFile[] = "libIFXImaging.so";         // PNG and JPEG
inline constexpr char kTiffImageModuleFile[] = "libIFXImagingTiff.so"; // TIFF
inline constexpr char kImageModuleEntry[] = "decodeTextureImage";

// decodeImage across the module boundary: plain arguments, the codec as its number.
// A module fails the codecs it does not carry.
using DecodeTextureImage = bool (*)(const uint8_t* bytes, size_t size, uint8_t codec, u3dlib::RgbaImage* out);
