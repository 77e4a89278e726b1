// Texture images: PNG, JPEG and TIFF decode into RGBA, broken or oversized images do
// not, several continuation images compose by their channels, and textures reach their
// bytes through continuation blocks or external files.
#include "tests/support/files.h"
#include "tests/support/test_images.h"
#include "tests/support/u3d_scene_blocks.h"
#include "u3dlib/scene_loader.h"
#include "u3dlib/texture_image.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace u3dlib;

namespace {

// 3 x 2 RGBA: red, green, blue / white, black, half-transparent grey.
const std::vector<uint8_t> kRgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255,
                                    255, 255, 255, 255, 0, 0, 0, 255, 128, 128, 128, 64};

// One colour: JPEG keeps it through its colour subsampling.
const std::vector<uint8_t> kOrange = {240, 120, 40, 255, 240, 120, 40, 255, 240, 120, 40, 255,
                                      240, 120, 40, 255, 240, 120, 40, 255, 240, 120, 40, 255};

std::vector<uint8_t> withoutAlpha(const std::vector<uint8_t>& rgba)
{
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < rgba.size(); i += 4)
        rgb.insert(rgb.end(), rgba.begin() + static_cast<std::ptrdiff_t>(i), rgba.begin() + static_cast<std::ptrdiff_t>(i) + 3);
    return rgb;
}

bool near(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::abs(int{a[i]} - int{b[i]}) > tolerance)
            return false;
    return true;
}

Texture textureOf(uint8_t type, std::vector<std::pair<uint8_t, std::vector<uint8_t>>> images, uint8_t channels = 0)
{
    Texture texture;
    texture.imageType = type;
    for (auto& [compression, bytes] : images) {
        TextureImage image;
        image.compression = compression;
        image.channels = channels;
        image.bytes = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
        texture.images.push_back(std::move(image));
    }
    return texture;
}

TEST(U3dTextureImage, EachFormatDecodesAndACutFileDoesNot)
{
    const struct {
        const char* what;
        ImageCodec codec;
        std::vector<uint8_t> file;
        std::vector<uint8_t> expected;
        int tolerance;
    } cases[] = {
        {"png", ImageCodec::Png, encodePng(3, 2, 4, kRgba), kRgba, 0},
        {"tiff", ImageCodec::Tiff, encodeTiff(3, 2, 4, kRgba), kRgba, 2}, // alpha premultiplied inside
        {"jpeg", ImageCodec::Jpeg, encodeJpeg(3, 2, 3, withoutAlpha(kOrange)), kOrange, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RgbaImage image;
        ASSERT_TRUE(decodeImage(c.file, c.codec, image));
        EXPECT_EQ(image.width, 3u);
        EXPECT_EQ(image.height, 2u);
        EXPECT_TRUE(near(image.pixels, c.expected, c.tolerance));

        for (const size_t keep : {c.file.size() / 2, size_t{8}, size_t{0}}) {
            RgbaImage cut;
            EXPECT_FALSE(decodeImage(std::span(c.file).first(keep), c.codec, cut)) << keep;
            EXPECT_TRUE(cut.pixels.empty());
        }
        // A file of another format is not mistaken for this one.
        RgbaImage other;
        EXPECT_FALSE(decodeImage(encodePng(1, 1, 3, {1, 2, 3}), c.codec == ImageCodec::Png ? ImageCodec::Tiff : c.codec,
                                 other));
    }
}

TEST(U3dTextureImage, ImagesAboveTheSideLimitAreNotDecoded)
{
    RgbaImage image;
    EXPECT_TRUE(decodeImage(encodePng(kMaxImageSide, 1, 1, std::vector<uint8_t>(kMaxImageSide, 7)), ImageCodec::Png, image));
    EXPECT_FALSE(decodeImage(encodePng(kMaxImageSide + 1, 1, 1, std::vector<uint8_t>(kMaxImageSide + 1, 7)),
                             ImageCodec::Png, image));
}

TEST(U3dTextureImage, ContinuationImagesComposeByChannel)
{
    // RGB from a JPEG, alpha from a grey PNG of another size (scaled to the first).
    const std::vector<uint8_t> grey = {10, 200};
    Texture texture = textureOf(kTextureTypeRgba, {{kImageCompressionJpeg24, encodeJpeg(3, 2, 3, withoutAlpha(kOrange))},
                                                   {kImageCompressionPng, encodePng(2, 1, 1, grey)}});
    texture.images[0].channels = kImageChannelRed | kImageChannelGreen | kImageChannelBlue;
    texture.images[1].channels = kImageChannelAlpha;
    RgbaImage image;
    ASSERT_TRUE(buildTextureImage(texture, image));
    ASSERT_EQ(image.pixels.size(), 24u);
    EXPECT_TRUE(near({image.pixels[0], image.pixels[1], image.pixels[2]}, {240, 120, 40}, 4));
    // Alpha is the PNG's grey, nearest pixel: columns 0 and 1 from its first, 2 from its second.
    EXPECT_EQ(image.pixels[3], 10);
    EXPECT_EQ(image.pixels[7], 10);
    EXPECT_EQ(image.pixels[11], 200);
    EXPECT_EQ(image.pixels[23], 200);

    // Luminance into a luminance texture; the same PNG as alpha of an alpha texture.
    Texture luminance = textureOf(kTextureTypeLuminance, {{kImageCompressionPng, encodePng(2, 1, 1, grey)}},
                                  kImageChannelLuminance);
    ASSERT_TRUE(buildTextureImage(luminance, image));
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{10, 10, 10, 255, 200, 200, 200, 255}));

    Texture rgbOnly = textureOf(kTextureTypeRgb, {{kImageCompressionPng, encodePng(3, 2, 4, kRgba)}});
    ASSERT_TRUE(buildTextureImage(rgbOnly, image));
    EXPECT_EQ(image.pixels[23], 255); // the declared type has no alpha

    Texture unknownCompression = textureOf(kTextureTypeRgb, {{9, encodePng(3, 2, 4, kRgba)}});
    EXPECT_FALSE(buildTextureImage(unknownCompression, image));
    Texture missingBytes = textureOf(kTextureTypeRgb, {{kImageCompressionPng, {}}});
    EXPECT_FALSE(buildTextureImage(missingBytes, image));
    // More images than channels to fill: not decoded at all.
    Texture tooMany = textureOf(kTextureTypeRgb, std::vector<std::pair<uint8_t, std::vector<uint8_t>>>(
                                                     kMaxTextureImages + 1, {kImageCompressionPng, encodePng(1, 1, 1, {9})}));
    EXPECT_FALSE(buildTextureImage(tooMany, image));
}

TEST(U3dTextureImage, TheDefaultTextureIsTheChecker)
{
    RgbaImage image;
    ASSERT_TRUE(buildTextureImage(Texture{}, image));
    ASSERT_EQ(image.width, 8u);
    const auto pixel = [&](uint32_t x, uint32_t y) {
        const uint8_t* p = image.pixels.data() + (y * 8 + x) * 4;
        return std::vector<uint8_t>(p, p + 4);
    };
    EXPECT_EQ(pixel(0, 0), (std::vector<uint8_t>{255, 255, 255, 255}));
    EXPECT_EQ(pixel(7, 7), (std::vector<uint8_t>{255, 255, 255, 255}));
    EXPECT_EQ(pixel(4, 0), (std::vector<uint8_t>{255, 102, 51, 255}));
}

TEST(U3dTextureImage, TexturesGatherTheirBytesFromBlocksAndFiles)
{
    ScratchFolder scratch;
    const std::vector<uint8_t> png = encodePng(3, 2, 4, kRgba);
    scratch.write("images/tex.PNG", png);
    const size_t half = png.size() / 2;
    const U3dBytes file = u3dFile({
        u3dTextureDeclarationBlock("Inline", 3, 2, kTextureTypeRgba, {{2, 0x0F, {}, static_cast<uint32_t>(png.size())}}),
        u3dTextureDeclarationBlock("External", 3, 2, kTextureTypeRgba, {{2, 0x0F, {"missing.png", "images/tex.PNG"}, 0}}),
        u3dTextureDeclarationBlock("Forbidden", 3, 2, kTextureTypeRgba, {{2, 0x0F, {"../tex.png"}, 0}}),
        u3dTextureContinuationBlock("Inline", 0, U3dBytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(half))),
        u3dTextureContinuationBlock("Inline", 0, U3dBytes(png.begin() + static_cast<std::ptrdiff_t>(half), png.end())),
    });
    LoadEnvironment environment;
    environment.baseFolder = pathUtf8(scratch.path());
    Scene scene;
    ASSERT_EQ(loadScene(file, environment, scene), kIfxOk);
    RgbaImage image;
    ASSERT_TRUE(buildTextureImage(scene.textures.entry(*scene.textures.find("Inline")).object, image));
    EXPECT_EQ(image.pixels, kRgba);
    ASSERT_TRUE(buildTextureImage(scene.textures.entry(*scene.textures.find("External")).object, image));
    EXPECT_EQ(image.pixels, kRgba);
    EXPECT_FALSE(buildTextureImage(scene.textures.entry(*scene.textures.find("Forbidden")).object, image));
}

} // namespace
