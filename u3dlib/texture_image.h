// The RGBA image of a texture: its continuation images decoded and composed channel
// by channel into the declared image type.
#pragma once

#include "u3dlib/image_decoding.h"
#include "u3dlib/scene.h"

namespace u3dlib {

// Each channel comes from one image at most: red, green, blue, alpha, luminance.
inline constexpr size_t kMaxTextureImages = 5;

// False when there are more than kMaxTextureImages images, or an image is missing,
// does not decode, or has an unknown compression. The first image sets the size;
// later ones are scaled to it (nearest pixel). An image giving the alpha channel
// without having alpha gives its grey level. A texture without images is the
// default 8 x 8 checker.
bool buildTextureImage(const Texture& texture, RgbaImage& out);

// The default texture: 4 x 4 squares, white at the upper left and lower right, the
// others orange (1, 0.4, 0.2).
RgbaImage defaultTextureImage();

// Copies image into rows of pitch bytes of width x height pixels (nearest pixel when
// the sizes differ).
void copyScaledImage(const RgbaImage& image, uint32_t width, uint32_t height, uint8_t* pixels, size_t pitch);

} // namespace u3dlib
