// COM helpers of the Windows image code, shared with the test images' encoders.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Releases a COM interface on scope exit.
template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr()
    {
        if (p)
            p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

// COM for the calling thread, undone when this call set it up. A thread already in
// another apartment mode keeps it; the imaging factory works in either.
struct ComScope {
    HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ~ComScope()
    {
        if (SUCCEEDED(result))
            CoUninitialize();
    }
    bool usable() const { return SUCCEEDED(result) || result == RPC_E_CHANGED_MODE; }
};

// The imaging component's pixel formats are BGR(A); ours are RGB(A).
inline void swapRedAndBlue(std::vector<uint8_t>& pixels, size_t channels)
{
    for (size_t i = 0; i + 2 < pixels.size(); i += channels)
        std::swap(pixels[i], pixels[i + 2]);
}
