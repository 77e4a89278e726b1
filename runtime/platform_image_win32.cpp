// Image decoding through the Windows Imaging Component.
#include "runtime/platform_image.h"

#include "runtime/platform_image_win32.h"

#include <wincodec.h>

bool decodeImageWithSystemCodecs(const uint8_t* bytes, size_t size, uint32_t maxSide, uint32_t& width,
                                 uint32_t& height, std::vector<uint8_t>& rgba)
{
    width = height = 0;
    rgba.clear();
    if (bytes == nullptr || size == 0 || size > MAXDWORD)
        return false;
    ComScope com;
    if (!com.usable())
        return false;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.out()))))
        return false;
    if (FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), static_cast<DWORD>(size))))
        return false;
    if (FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, decoder.out())))
        return false;
    if (FAILED(decoder->GetFrame(0, frame.out())))
        return false;
    UINT w = 0, h = 0;
    if (FAILED(frame->GetSize(&w, &h)) || w == 0 || h == 0 || w > maxSide || h > maxSide)
        return false;
    // 32-bit BGRA is the conversion every version of the component offers.
    if (FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return false;
    std::vector<uint8_t> pixels(size_t{w} * h * 4);
    if (FAILED(converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data())))
        return false;
    swapRedAndBlue(pixels, 4);
    width = w;
    height = h;
    rgba = std::move(pixels);
    return true;
}
