// Reference counting shared by the library's components.
#pragma once

#include "u3dlib/ifx_interface.h"

#include <new>

// A component implementing the given interfaces; the last Release deletes it.
template <typename... Interfaces>
class ComObject : public Interfaces... {
public:
    uint32_t AddRef() override { return ++references_; }
    uint32_t Release() override
    {
        const uint32_t left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

    // Hands out this object as the interface T (one more reference).
    template <typename T>
    IFXRESULT answer(T* self, void** object)
    {
        self->AddRef();
        *object = self;
        return kIfxOk;
    }

private:
    uint32_t references_ = 1;
};

// A new object of type T asked for as interfaceId; the creation reference is dropped.
template <typename T, typename... Arguments>
IFXRESULT createObject(const IFXIID& interfaceId, void** object, Arguments&&... arguments)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    T* created = new (std::nothrow) T(static_cast<Arguments&&>(arguments)...);
    if (created == nullptr)
        return kIfxErrorOutOfMemory;
    const IFXRESULT result = created->QueryInterface(interfaceId, object);
    created->Release();
    return result;
}
