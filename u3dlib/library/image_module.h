// The module of image libraries that the library loads with its first texture image:
// its file, found beside the library, and its one entry.
#pragma once

#include "u3dlib/image_decoding.h"

#include <cstddef>
#include <cstdint>

inline constexpr char kImageModuleFile[] = "libIFXImaging.so";
inline constexpr char kImageModuleEntry[] = "decodeTextureImage";

// decodeImage across the module boundary: plain arguments, the codec as its number.
using DecodeTextureImage = bool (*)(const uint8_t* bytes, size_t size, uint8_t codec, u3dlib::RgbaImage* out);
