// Test images written with libpng, libjpeg and libtiff (TIFF through a temporary file).
#include "tests/support/test_images.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& pixels)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = channels == 1 ? PNG_FORMAT_GRAY : channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr))
        throw std::runtime_error("png size");
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr))
        throw std::runtime_error("png write");
    out.resize(size);
    return out;
}

std::vector<uint8_t> encodeJpeg(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& pixels)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = static_cast<int>(channels);
    info.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels.data()) + size_t{info.next_scanline} * width * channels;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> encodeTiff(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& pixels)
{
    char path[] = "/tmp/qvtiffXXXXXX";
    const int fd = mkstemp(path);
    if (fd == -1)
        throw std::runtime_error("tiff temp");
    close(fd);
    TIFF* tiff = TIFFOpen(path, "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, channels);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, channels >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    if (channels == 4) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
    for (uint32_t y = 0; y < height; ++y)
        TIFFWriteScanline(tiff, const_cast<uint8_t*>(pixels.data()) + size_t{y} * width * channels, y, 0);
    TIFFClose(tiff);
    std::FILE* file = std::fopen(path, "rb");
    std::vector<uint8_t> out;
    int c;
    while ((c = std::fgetc(file)) != EOF)
        out.push_back(static_cast<uint8_t>(c));
    std::fclose(file);
    std::remove(path);
    return out;
}
