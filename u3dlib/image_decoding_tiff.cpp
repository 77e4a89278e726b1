#include "u3dlib/image_codecs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <tiffio.h>

namespace u3dlib {

namespace {

constexpr tmsize_t kMaxTiffAllocation = tmsize_t{256} << 20;

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

} // namespace

bool decodeTiffImage(std::span<const uint8_t> bytes, RgbaImage& out)
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
              acceptableImageSize(width, height);
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

} // namespace u3dlib
