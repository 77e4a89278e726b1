// Image decoding with libpng, libjpeg(-turbo) and libtiff.
#include "u3dlib/image_decoding.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace u3dlib {

namespace {

constexpr tmsize_t kMaxTiffAllocation = tmsize_t{256} << 20;

bool acceptableSize(uint64_t width, uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
}

bool decodePng(std::span<const uint8_t> bytes, RgbaImage& out)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return false;
    if (!acceptableSize(image.width, image.height)) {
        png_image_free(&image);
        return false;
    }
    out.hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    out.width = image.width;
    out.height = image.height;
    out.pixels.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

// libjpeg reports errors by calling a function that must not return.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
    int warnings = 0;
};

[[noreturn]] void jpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

void jpegMessage(j_common_ptr info, int level)
{
    // Warnings include data ending early, which libjpeg would fill in with grey.
    if (level < 0)
        ++reinterpret_cast<JpegErrors*>(info->err)->warnings;
}

// Kept apart from every object with a destructor, since the error path jumps.
bool decodeJpegInto(std::span<const uint8_t> bytes, jpeg_decompress_struct& info, JpegErrors& errors,
                    RgbaImage& out)
{
    if (setjmp(errors.escape))
        return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (!acceptableSize(info.image_width, info.image_height))
        return false;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        return false;
    info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    if (info.output_width != info.image_width || info.output_height != info.image_height ||
        info.output_components != 4)
        return false;
    out.width = info.output_width;
    out.height = info.output_height;
    out.pixels.resize(size_t{out.width} * out.height * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + size_t{info.output_scanline} * out.width * 4;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            return false;
    }
    jpeg_finish_decompress(&info);
    return errors.warnings == 0;
}

bool decodeJpeg(std::span<const uint8_t> bytes, RgbaImage& out)
{
    if (bytes.empty())
        return false;
    jpeg_decompress_struct info;
    JpegErrors errors;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = &jpegFail;
    errors.manager.emit_message = &jpegMessage;
    const bool ok = decodeJpegInto(bytes, info, errors, out);
    jpeg_destroy_decompress(&info);
    return ok;
}

struct TiffMemory {
    std::span<const uint8_t> bytes;
    uint64_t position = 0;
};

tmsize_t tiffRead(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* memory = static_cast<TiffMemory*>(handle);
    if (size < 0 || memory->position > memory->bytes.size())
        return 0;
    const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(size), memory->bytes.size() - memory->position);
    std::memcpy(buffer, memory->bytes.data() + memory->position, static_cast<size_t>(n));
    memory->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t tiffWrite(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t tiffSeek(thandle_t handle, toff_t offset, int whence)
{
    auto* memory = static_cast<TiffMemory*>(handle);
    const uint64_t base = whence == SEEK_CUR ? memory->position : whence == SEEK_END ? memory->bytes.size() : 0;
    memory->position = base + offset;
    return memory->position;
}

int tiffClose(thandle_t)
{
    return 0;
}

toff_t tiffSize(thandle_t handle)
{
    return static_cast<TiffMemory*>(handle)->bytes.size();
}

int tiffSilentHandler(TIFF*, void*, const char*, const char*, va_list)
{
    return 1; // handled: nothing is printed
}

bool decodeTiff(std::span<const uint8_t> bytes, RgbaImage& out)
{
    TiffMemory memory{bytes};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr)
        return false;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options, &tiffSilentHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &tiffSilentHandler, nullptr);
    TIFF* tiff = TIFFClientOpenExt("texture", "rm", &memory, &tiffRead, &tiffWrite, &tiffSeek, &tiffClose,
                                   &tiffSize, nullptr, nullptr, options);
    TIFFOpenOptionsFree(options);
    if (tiff == nullptr)
        return false;
    uint32_t width = 0, height = 0;
    bool ok = TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) == 1 && TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) == 1 &&
              acceptableSize(width, height);
    uint16_t extraSamples = 0;
    uint16_t* extraTypes = nullptr;
    out.hasAlpha = TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraSamples, &extraTypes) == 1 && extraSamples > 0;
    std::vector<uint32_t> raster;
    if (ok) {
        raster.resize(size_t{width} * height);
        ok = TIFFReadRGBAImageOriented(tiff, width, height, raster.data(), ORIENTATION_TOPLEFT, 1) == 1;
    }
    TIFFClose(tiff);
    if (!ok)
        return false;
    out.width = width;
    out.height = height;
    out.pixels.resize(raster.size() * 4);
    // The library hands out colour multiplied by alpha; textures keep them apart.
    for (size_t i = 0; i < raster.size(); ++i) {
        const uint32_t a = TIFFGetA(raster[i]);
        const auto unmultiply = [a](uint32_t c) {
            return static_cast<uint8_t>(a == 0 || a == 255 ? c : std::min<uint32_t>(255, (c * 255 + a / 2) / a));
        };
        out.pixels[i * 4 + 0] = unmultiply(TIFFGetR(raster[i]));
        out.pixels[i * 4 + 1] = unmultiply(TIFFGetG(raster[i]));
        out.pixels[i * 4 + 2] = unmultiply(TIFFGetB(raster[i]));
        out.pixels[i * 4 + 3] = static_cast<uint8_t>(a);
    }
    return true;
}

} // namespace

bool decodeImage(std::span<const uint8_t> bytes, ImageCodec codec, RgbaImage& out)
{
    out = RgbaImage{};
    bool ok = false;
    switch (codec) {
    case ImageCodec::Png: ok = decodePng(bytes, out); break;
    case ImageCodec::Jpeg: ok = decodeJpeg(bytes, out); break;
    case ImageCodec::Tiff: ok = decodeTiff(bytes, out); break;
    }
    if (!ok)
        out = RgbaImage{};
    return ok;
}

} // namespace u3dlib
