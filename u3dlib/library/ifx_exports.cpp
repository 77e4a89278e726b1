// The nine exports of the library: initialisation, component creation and the memory
// functions that library strings use on both sides of the boundary.
#include "u3dlib/ifx_interface.h"
#include "u3dlib/library/core_components.h"

#include <cstdlib>

namespace {

// Components a plug-in may add besides the built-in ones.
constexpr size_t kMaxRegisteredComponents = 64;

struct BuiltInComponent {
    const IFXCID* componentId;
    IFXRESULT (*factory)(const IFXIID& interfaceId, void** object);
};

const BuiltInComponent kBuiltInComponents[] = {
    {&CID_IFXCoreServices, &createCoreServices},
    {&CID_IFXLoadManager, &createLoadManager},
    {&CID_IFXReadBuffer, &createReadBuffer},
    {&CID_IFXHeaderReader, &createHeaderReader},
};

struct LibraryState {
    uint32_t initializations = 0;
    IFXAllocateFunction allocate = &std::malloc;
    IFXDeallocateFunction deallocate = &std::free;
    IFXReallocateFunction reallocate = &std::realloc;
    IFXComponentDescriptor registered[kMaxRegisteredComponents] = {};
    size_t registeredCount = 0;
};

LibraryState& library()
{
    static LibraryState state;
    return state;
}

} // namespace

IFX_EXPORT IFXRESULT IFXCOMInitialize()
{
    ++library().initializations;
    return kIfxOk;
}

IFX_EXPORT IFXRESULT IFXCOMUninitialize()
{
    if (library().initializations == 0)
        return kIfxErrorNotInitialized;
    --library().initializations;
    return kIfxOk;
}

IFX_EXPORT IFXRESULT IFXCreateComponent(const IFXCID& componentId, const IFXIID& interfaceId, void** object)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    *object = nullptr;
    const LibraryState& state = library();
    if (state.initializations == 0)
        return kIfxErrorNotInitialized;
    for (const BuiltInComponent& component : kBuiltInComponents)
        if (*component.componentId == componentId)
            return component.factory(interfaceId, object);
    for (size_t i = 0; i < state.registeredCount; ++i)
        if (*state.registered[i].componentId == componentId)
            return state.registered[i].factory(interfaceId, object);
    return kIfxErrorNotFound;
}

IFX_EXPORT void* IFXAllocate(size_t size)
{
    return library().allocate(size);
}

IFX_EXPORT void IFXDeallocate(void* memory)
{
    if (memory != nullptr)
        library().deallocate(memory);
}

IFX_EXPORT void* IFXReallocate(void* memory, size_t size)
{
    return library().reallocate(memory, size);
}

IFX_EXPORT IFXRESULT IFXRegisterComponent(const IFXComponentDescriptor* descriptor)
{
    if (descriptor == nullptr || descriptor->componentId == nullptr || descriptor->factory == nullptr)
        return kIfxErrorInvalidPointer;
    LibraryState& state = library();
    for (size_t i = 0; i < state.registeredCount; ++i)
        if (*state.registered[i].componentId == *descriptor->componentId) {
            if (descriptor->version <= state.registered[i].version)
                return kIfxErrorAlreadyInitialized;
            state.registered[i] = *descriptor; // a newer version replaces the older
            return kIfxOk;
        }
    if (state.registeredCount == kMaxRegisteredComponents)
        return kIfxErrorOutOfMemory;
    state.registered[state.registeredCount++] = *descriptor;
    return kIfxOk;
}

IFX_EXPORT IFXRESULT IFXGetMemoryFunctions(IFXAllocateFunction* allocate, IFXDeallocateFunction* deallocate,
                                           IFXReallocateFunction* reallocate)
{
    if (allocate == nullptr || deallocate == nullptr || reallocate == nullptr)
        return kIfxErrorInvalidPointer;
    *allocate = library().allocate;
    *deallocate = library().deallocate;
    *reallocate = library().reallocate;
    return kIfxOk;
}

// All three or none: null for all restores the C runtime's functions. Memory handed out
// before the change must be returned before it.
IFX_EXPORT IFXRESULT IFXSetMemoryFunctions(IFXAllocateFunction allocate, IFXDeallocateFunction deallocate,
                                           IFXReallocateFunction reallocate)
{
    LibraryState& state = library();
    if (allocate == nullptr && deallocate == nullptr && reallocate == nullptr) {
        state.allocate = &std::malloc;
        state.deallocate = &std::free;
        state.reallocate = &std::realloc;
        return kIfxOk;
    }
    if (allocate == nullptr || deallocate == nullptr || reallocate == nullptr)
        return kIfxErrorInvalidArgument;
    state.allocate = allocate;
    state.deallocate = deallocate;
    state.reallocate = reallocate;
    return kIfxOk;
}
