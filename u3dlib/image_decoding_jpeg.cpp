#include "u3dlib/image_codecs.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace u3dlib {

namespace {

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
    if (!acceptableImageSize(info.image_width, info.image_height))
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

} // namespace

bool decodeJpegImage(std::span<const uint8_t> bytes, RgbaImage& out)
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

} // namespace u3dlib
