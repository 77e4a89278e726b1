// Holding references to library objects: each one obtained is released exactly once,
// on every path out of the code that obtained it.
#pragma once

#include "u3dlib/ifx_interface.h"

#include <utility>

template <typename T>
class IfxRef {
public:
    IfxRef() = default;
    // Takes over a reference the caller already owns.
    explicit IfxRef(T* object) : object_(object) {}
    ~IfxRef() { reset(); }
    IfxRef(IfxRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    IfxRef& operator=(IfxRef&& other) noexcept
    {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    IfxRef(const IfxRef&) = delete;
    IfxRef& operator=(const IfxRef&) = delete;

    // A second reference to the same object.
    IfxRef share() const
    {
        if (object_)
            object_->AddRef();
        return IfxRef(object_);
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    void reset()
    {
        if (object_)
            std::exchange(object_, nullptr)->Release();
    }

    // For the output parameter of a library call; drops what was held before.
    T** put()
    {
        reset();
        return &object_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    // After a failed call: the contract leaves the output untouched, so whatever is
    // there is not ours to release.
    void forget() { object_ = nullptr; }

private:
    T* object_ = nullptr;
};

// The object as another interface, or an empty reference when it does not answer it.
template <typename T>
IfxRef<T> queryInterface(IFXUnknown* object, const IFXIID& interfaceId)
{
    IfxRef<T> result;
    if (object != nullptr && ifxFailed(object->QueryInterface(interfaceId, result.putVoid())))
        result.forget();
    return result;
}

// An entry of a palette as the given interface, or an empty reference.
template <typename T>
IfxRef<T> paletteEntryAs(IFXPalette* palette, uint32_t id, const IFXIID& interfaceId)
{
    IfxRef<T> result;
    if (palette != nullptr && ifxFailed(palette->GetResourcePtr(id, interfaceId, result.putVoid())))
        result.forget();
    return result;
}

inline IfxRef<IFXPalette> scenePalette(IFXSceneGraph* sceneGraph, uint32_t paletteNumber)
{
    IfxRef<IFXPalette> palette;
    if (sceneGraph != nullptr && ifxFailed(sceneGraph->GetPalette(paletteNumber, palette.put())))
        palette.forget();
    return palette;
}
