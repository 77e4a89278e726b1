// Test images written by the Windows Imaging Component's encoders.
#include "tests/support/test_images.h"

#include "runtime/platform_image_win32.h"

#include <wincodec.h>

#include <stdexcept>

namespace {

void check(HRESULT result, const char* what)
{
    if (FAILED(result))
        throw std::runtime_error(what);
}

std::vector<uint8_t> encodeWith(const GUID& container, uint32_t width, uint32_t height, uint32_t channels,
                                const std::vector<uint8_t>& pixels)
{
    const ComScope com;
    std::vector<uint8_t> out;
    {
        ComPtr<IWICImagingFactory> factory;
        ComPtr<IStream> stream;
        ComPtr<IWICBitmapEncoder> encoder;
        ComPtr<IWICBitmapFrameEncode> frame;
        check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                               reinterpret_cast<void**>(factory.out())),
              "factory");
        check(CreateStreamOnHGlobal(nullptr, TRUE, stream.out()), "stream");
        check(factory->CreateEncoder(container, nullptr, encoder.out()), "encoder");
        check(encoder->Initialize(stream.p, WICBitmapEncoderNoCache), "encoder init");
        check(encoder->CreateNewFrame(frame.out(), nullptr), "frame");
        check(frame->Initialize(nullptr), "frame init");
        check(frame->SetSize(width, height), "size");
        WICPixelFormatGUID format = channels == 1   ? GUID_WICPixelFormat8bppGray
                                    : channels == 3 ? GUID_WICPixelFormat24bppBGR
                                                    : GUID_WICPixelFormat32bppBGRA;
        const WICPixelFormatGUID asked = format;
        check(frame->SetPixelFormat(&format), "format");
        if (format != asked)
            throw std::runtime_error("pixel format not taken");
        std::vector<uint8_t> bgr = pixels;
        if (channels >= 3)
            swapRedAndBlue(bgr, channels);
        check(frame->WritePixels(height, width * channels, static_cast<UINT>(bgr.size()), bgr.data()), "pixels");
        check(frame->Commit(), "frame commit");
        check(encoder->Commit(), "commit");
        HGLOBAL memory = nullptr;
        check(GetHGlobalFromStream(stream.p, &memory), "memory");
        STATSTG stat;
        check(stream->Stat(&stat, STATFLAG_NONAME), "stat");
        const auto* bytes = static_cast<const uint8_t*>(GlobalLock(memory));
        out.assign(bytes, bytes + stat.cbSize.QuadPart);
        GlobalUnlock(memory);
    }
    return out;
}

} // namespace

std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& pixels)
{
    return encodeWith(GUID_ContainerFormatPng, width, height, channels, pixels);
}

std::vector<uint8_t> encodeJpeg(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& pixels)
{
    return encodeWith(GUID_ContainerFormatJpeg, width, height, channels, pixels);
}

std::vector<uint8_t> encodeTiff(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& pixels)
{
    return encodeWith(GUID_ContainerFormatTiff, width, height, channels, pixels);
}
