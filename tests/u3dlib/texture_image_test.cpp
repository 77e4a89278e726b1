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
// One colour, which JPEG keeps through its colour subsampling; as RGB and as RGBA.
const std::vector<uint8_t> kOrangeRgb = {240, 120, 40, 240, 120, 40, 240, 120, 40, 240, 120, 40, 240, 120, 40, 240, 120, 40};
const std::vector<uint8_t> kOrange = {240, 120, 40, 255, 240, 120, 40, 255, 240, 120, 40, 255,
                                      240, 120, 40, 255, 240, 120, 40, 255, 240, 120, 40, 255};

bool near(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](uint8_t x, uint8_t y) {
               return std::abs(int{x} - int{y}) <= tolerance;
           });
}

Texture textureOf(uint8_t type, std::vector<std::pair<uint8_t, std::vector<uint8_t>>> images, uint8_t channels = 0)
{
    Texture texture;
    texture.imageType = type;
    for (auto& [compression, bytes] : images) {
        TextureImage& image = texture.images.emplace_back();
        image.compression = compression;
        image.channels = channels;
        image.bytes = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
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
        {"jpeg", ImageCodec::Jpeg, encodeJpeg(3, 2, 3, kOrangeRgb), kOrange, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RgbaImage image;
        ASSERT_TRUE(decodeImage(c.file, c.codec, image));
        EXPECT_EQ(std::tie(image.width, image.height), std::make_tuple(3u, 2u));
        EXPECT_TRUE(near(image.pixels, c.expected, c.tolerance));
        for (const size_t keep : {c.file.size() / 2, size_t{8}, size_t{0}}) {
            RgbaImage cut;
            EXPECT_FALSE(decodeImage(std::span(c.file).first(keep), c.codec, cut)) << keep;
            EXPECT_TRUE(cut.pixels.empty());
        }
        // A file of another format is not mistaken for this one.
        RgbaImage other;
        const ImageCodec wrong = c.codec == ImageCodec::Png ? ImageCodec::Tiff : c.codec;
        EXPECT_FALSE(decodeImage(encodePng(1, 1, 3, {1, 2, 3}), wrong, other));
    }
    for (const auto& [codec, encode] : {std::pair{ImageCodec::Png, &encodePng}, {ImageCodec::Jpeg, &encodeJpeg},
                                        {ImageCodec::Tiff, &encodeTiff}})
        for (const uint32_t side : {kMaxImageSide, kMaxImageSide + 1}) {
            RgbaImage image;
            EXPECT_EQ(decodeImage(encode(side, 1, 1, std::vector<uint8_t>(side, 7)), codec, image), side == kMaxImageSide);
        }
}

TEST(U3dTextureImage, ContinuationImagesComposeByChannel)
{
    // RGB from a JPEG, alpha from a grey PNG of another size (scaled to the first).
    const std::vector<uint8_t> grey = {10, 200};
    Texture texture = textureOf(kTextureTypeRgba, {{kImageCompressionJpeg24, encodeJpeg(3, 2, 3, kOrangeRgb)},
                                                   {kImageCompressionPng, encodePng(2, 1, 1, grey)}});
    texture.images[0].channels = kImageChannelRed | kImageChannelGreen | kImageChannelBlue;
    texture.images[1].channels = kImageChannelAlpha;
    RgbaImage image;
    ASSERT_TRUE(buildTextureImage(texture, image));
    ASSERT_EQ(image.pixels.size(), 24u);
    EXPECT_TRUE(near({image.pixels[0], image.pixels[1], image.pixels[2]}, {240, 120, 40}, 4));
    // Alpha is the PNG's grey, nearest pixel: columns 0 and 1 from its first, 2 from its second.
    EXPECT_EQ((std::vector<uint8_t>{image.pixels[3], image.pixels[7], image.pixels[11], image.pixels[23]}),
              (std::vector<uint8_t>{10, 10, 200, 200}));

    ASSERT_TRUE(buildTextureImage(
        textureOf(kTextureTypeLuminance, {{kImageCompressionPng, encodePng(2, 1, 1, grey)}}, kImageChannelLuminance),
        image));
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{10, 10, 10, 255, 200, 200, 200, 255}));
    ASSERT_TRUE(buildTextureImage(textureOf(kTextureTypeRgb, {{kImageCompressionPng, encodePng(3, 2, 4, kRgba)}}), image));
    EXPECT_EQ(image.pixels[23], 255); // the declared type has no alpha

    EXPECT_FALSE(buildTextureImage(textureOf(kTextureTypeRgb, {{9, encodePng(3, 2, 4, kRgba)}}), image));
    EXPECT_FALSE(buildTextureImage(textureOf(kTextureTypeRgb, {{kImageCompressionPng, {}}}), image));
    // More images than channels to fill: not decoded at all.
    const std::pair<uint8_t, std::vector<uint8_t>> one = {kImageCompressionPng, encodePng(1, 1, 1, {9})};
    EXPECT_FALSE(buildTextureImage(textureOf(kTextureTypeRgb, std::vector(kMaxTextureImages + 1, one)), image));

    ASSERT_TRUE(buildTextureImage(Texture{}, image)); // the default texture: a checker
    ASSERT_EQ(image.width, 8u);
    EXPECT_EQ(std::vector<uint8_t>(image.pixels.begin() + 16, image.pixels.begin() + 20),
              (std::vector<uint8_t>{255, 102, 51, 255}));
    EXPECT_EQ(std::vector<uint8_t>(image.pixels.end() - 4, image.pixels.end()), (std::vector<uint8_t>(4, 255)));
}

TEST(U3dTextureImage, TexturesGatherTheirBytesFromBlocksAndFiles)
{
    ScratchFolder scratch;
    const std::vector<uint8_t> png = encodePng(3, 2, 4, kRgba);
    scratch.write("images/tex.PNG", png);
    const auto half = static_cast<std::ptrdiff_t>(png.size() / 2);
    const U3dBytes file = u3dFile({
        u3dTextureDeclarationBlock("Inline", 3, 2, kTextureTypeRgba, {{2, 0x0F, {}, static_cast<uint32_t>(png.size())}}),
        u3dTextureDeclarationBlock("External", 3, 2, kTextureTypeRgba, {{2, 0x0F, {"missing.png", "images/tex.PNG"}, 0}}),
        u3dTextureDeclarationBlock("Forbidden", 3, 2, kTextureTypeRgba, {{2, 0x0F, {"../tex.png"}, 0}}),
        u3dTextureContinuationBlock("Inline", 0, U3dBytes(png.begin(), png.begin() + half)),
        u3dTextureContinuationBlock("Inline", 0, U3dBytes(png.begin() + half, png.end())),
    });
    Scene scene;
    ASSERT_EQ(loadScene(file, {pathUtf8(scratch.path()), nullptr}, scene), kIfxOk);
    for (const char* name : {"Inline", "External", "Forbidden"}) {
        RgbaImage image;
        const bool built = buildTextureImage(scene.textures.entry(*scene.textures.find(name)).object, image);
        EXPECT_EQ(built, std::string(name) != "Forbidden") << name;
        EXPECT_EQ(image.pixels, built ? kRgba : std::vector<uint8_t>{}) << name;
    }
    // A load reads a bounded number of external images.
    std::vector<U3dBytes> many;
    for (uint32_t i = 0; i <= kMaxExternalImages; ++i)
        many.push_back(u3dTextureDeclarationBlock("T" + std::to_string(i), 3, 2, kTextureTypeRgba,
                                                  {{2, 0x0F, {"images/tex.PNG"}, 0}}));
    Scene crowded;
    ASSERT_EQ(loadScene(u3dFile(many), {pathUtf8(scratch.path()), nullptr}, crowded), kIfxOk);
    for (const uint32_t i : {kMaxExternalImages - 1, kMaxExternalImages})
        EXPECT_EQ(crowded.textures.entry(*crowded.textures.find("T" + std::to_string(i))).object.images[0].bytes->size(),
                  i < kMaxExternalImages ? png.size() : 0u);
}

} // namespace
