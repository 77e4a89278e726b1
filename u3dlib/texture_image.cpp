#include "u3dlib/texture_image.h"

#include <algorithm>
#include <optional>

namespace u3dlib {

namespace {

constexpr uint32_t kCheckerSide = 8;
constexpr uint32_t kCheckerSquare = 4;

std::optional<ImageCodec> codecOf(uint8_t compression)
{
    switch (compression) {
    case kImageCompressionJpeg24:
    case kImageCompressionJpeg8: return ImageCodec::Jpeg;
    case kImageCompressionPng: return ImageCodec::Png;
    case kImageCompressionTiff: return ImageCodec::Tiff;
    default: return std::nullopt;
    }
}

uint8_t channelsOfType(uint8_t imageType)
{
    switch (imageType) {
    case kTextureTypeAlpha: return kImageChannelAlpha;
    case kTextureTypeRgb: return kImageChannelRed | kImageChannelGreen | kImageChannelBlue;
    case kTextureTypeLuminance: return kImageChannelLuminance;
    case kTextureTypeLuminanceAlpha: return kImageChannelLuminance | kImageChannelAlpha;
    default: return kImageChannelRed | kImageChannelGreen | kImageChannelBlue | kImageChannelAlpha;
    }
}

// Weights summing to 256, so that a grey pixel keeps its value exactly.
uint8_t luminance(const uint8_t* rgba)
{
    return static_cast<uint8_t>((rgba[0] * 77u + rgba[1] * 150u + rgba[2] * 29u) >> 8);
}

} // namespace

void copyScaledImage(const RgbaImage& image, uint32_t width, uint32_t height, uint8_t* pixels, size_t pitch)
{
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t sy = static_cast<uint32_t>(uint64_t{y} * image.height / height);
        uint8_t* row = pixels + y * pitch;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t sx = static_cast<uint32_t>(uint64_t{x} * image.width / width);
            const uint8_t* source = image.pixels.data() + (size_t{sy} * image.width + sx) * 4;
            std::copy(source, source + 4, row + size_t{x} * 4);
        }
    }
}

RgbaImage defaultTextureImage()
{
    RgbaImage image;
    image.width = image.height = kCheckerSide;
    image.pixels.resize(kCheckerSide * kCheckerSide * 4);
    for (uint32_t y = 0; y < kCheckerSide; ++y)
        for (uint32_t x = 0; x < kCheckerSide; ++x) {
            const bool white = (x < kCheckerSquare) == (y < kCheckerSquare);
            uint8_t* p = image.pixels.data() + (size_t{y} * kCheckerSide + x) * 4;
            p[0] = 255;
            p[1] = white ? 255 : 102;
            p[2] = white ? 255 : 51;
            p[3] = 255;
        }
    return image;
}

bool buildTextureImage(const Texture& texture, RgbaImage& out)
{
    out = RgbaImage{};
    if (texture.images.empty()) {
        out = defaultTextureImage();
        return true;
    }
    if (texture.images.size() > kMaxTextureImages)
        return false;
    RgbaImage composed;
    for (const TextureImage& image : texture.images) {
        const std::optional<ImageCodec> codec = codecOf(image.compression);
        if (!codec || !image.bytes || image.bytes->empty())
            return false;
        RgbaImage decoded;
        if (!decodeImage(*image.bytes, *codec, decoded))
            return false;
        if (composed.pixels.empty()) {
            composed.width = decoded.width;
            composed.height = decoded.height;
            composed.pixels.assign(size_t{decoded.width} * decoded.height * 4, 255);
        }
        if (decoded.width != composed.width || decoded.height != composed.height) {
            RgbaImage scaled;
            scaled.width = composed.width;
            scaled.height = composed.height;
            scaled.hasAlpha = decoded.hasAlpha;
            scaled.pixels.resize(composed.pixels.size());
            copyScaledImage(decoded, scaled.width, scaled.height, scaled.pixels.data(), size_t{scaled.width} * 4);
            decoded = std::move(scaled);
        }
        const uint8_t channels = image.channels != 0 ? image.channels : channelsOfType(texture.imageType);
        for (size_t i = 0; i < composed.pixels.size(); i += 4) {
            uint8_t* to = composed.pixels.data() + i;
            const uint8_t* from = decoded.pixels.data() + i;
            if (channels & kImageChannelLuminance)
                to[0] = to[1] = to[2] = luminance(from);
            if (channels & kImageChannelRed)
                to[0] = from[0];
            if (channels & kImageChannelGreen)
                to[1] = from[1];
            if (channels & kImageChannelBlue)
                to[2] = from[2];
            // An image without alpha of its own gives alpha by its grey level.
            if (channels & kImageChannelAlpha)
                to[3] = decoded.hasAlpha ? from[3] : luminance(from);
        }
    }
    // The declared type decides which channels the texture has at all.
    const bool hasAlpha = texture.imageType == kTextureTypeAlpha || texture.imageType == kTextureTypeRgba ||
                          texture.imageType == kTextureTypeLuminanceAlpha;
    const bool grey = texture.imageType == kTextureTypeLuminance || texture.imageType == kTextureTypeLuminanceAlpha;
    for (size_t i = 0; i < composed.pixels.size(); i += 4) {
        uint8_t* p = composed.pixels.data() + i;
        if (grey)
            p[0] = p[1] = p[2] = luminance(p);
        if (!hasAlpha)
            p[3] = 255;
    }
    out = std::move(composed);
    return true;
}

} // namespace u3dlib
