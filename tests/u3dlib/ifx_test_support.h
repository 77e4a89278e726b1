// Holding library objects in tests: one reference, released when the holder goes.
#pragma once

#include "u3dlib/ifx_interface.h"

template <typename T>
class IfxRef {
public:
    IfxRef() = default;
    ~IfxRef() { reset(); }
    IfxRef(const IfxRef&) = delete;
    IfxRef& operator=(const IfxRef&) = delete;
    IfxRef(IfxRef&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }

    void reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }
    T** out()
    {
        reset();
        return &p_;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};
