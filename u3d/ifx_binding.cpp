#include "u3d/ifx_binding.h"

#include "runtime/platform.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace {

// Longest U3D_LIBDIR value taken, in UTF-16 units (the rest of a 512-unit buffer is
// its terminator); a longer one is ignored rather than cut into another folder.
constexpr size_t kMaxLibraryFolderUnits = 511;

struct BoundExports {
    IFXRESULT (*comInitialize)();
    IFXRESULT (*comUninitialize)();
    IFXRESULT (*createComponent)(const IFXCID&, const IFXIID&, void**);
    void* (*allocate)(size_t);
    void (*deallocate)(void*);
    void* (*reallocate)(void*, size_t);
    IFXRESULT (*registerComponent)(const IFXComponentDescriptor*);
    IFXRESULT (*getMemoryFunctions)(IFXAllocateFunction*, IFXDeallocateFunction*, IFXReallocateFunction*);
    IFXRESULT (*setMemoryFunctions)(IFXAllocateFunction, IFXDeallocateFunction, IFXReallocateFunction);
};

void* openLibraryFile()
{
    if (void* library = loadLibraryBySearch(kIfxLibraryFileName))
        return library;
    char* folder = getEnvironmentUtf8(kLibraryFolderVariable);
    void* library = nullptr;
    if (folder != nullptr && *folder != 0) {
        char16_t* wide = utf8ToWide(folder);
        const bool fits = wide != nullptr && std::char_traits<char16_t>::length(wide) <= kMaxLibraryFolderUnits;
        std::free(wide);
        if (fits)
            library = loadLibraryFromPath((std::string(folder) + kPathSeparator + kIfxLibraryFileName).c_str());
    }
    std::free(folder);
    return library;
}

const IfxLibraryAccess kLibraryFileAccess = {&openLibraryFile, &findLibrarySymbol, &unloadLibrary};

struct BindingState {
    const IfxLibraryAccess* access = &kLibraryFileAccess;
    void* library = nullptr;
    BoundExports exports{};
    bool bound = false;
    bool initialized = false;
};

BindingState& state()
{
    static BindingState binding;
    return binding;
}

template <typename F>
F asFunction(void* symbol)
{
    return reinterpret_cast<F>(symbol);
}

// Loads the library and resolves every export, in the interface's order.
IFXRESULT bindExports()
{
    BindingState& s = state();
    void* library = s.access->open();
    if (library == nullptr)
        return kIfxErrorNotFound;
    constexpr size_t kCount = std::size(kIfxExportNames);
    void* symbols[kCount] = {};
    for (size_t i = 0; i < kCount; ++i) {
        symbols[i] = s.access->symbol(library, kIfxExportNames[i]);
        if (symbols[i] == nullptr) {
            s.exports = BoundExports{};
            s.bound = false;
            s.access->close(library);
            return kIfxErrorInvalidPointer;
        }
    }
    BoundExports& e = s.exports;
    e.comInitialize = asFunction<decltype(e.comInitialize)>(symbols[0]);
    e.comUninitialize = asFunction<decltype(e.comUninitialize)>(symbols[1]);
    e.createComponent = asFunction<decltype(e.createComponent)>(symbols[2]);
    e.allocate = asFunction<decltype(e.allocate)>(symbols[3]);
    e.deallocate = asFunction<decltype(e.deallocate)>(symbols[4]);
    e.reallocate = asFunction<decltype(e.reallocate)>(symbols[5]);
    e.registerComponent = asFunction<decltype(e.registerComponent)>(symbols[6]);
    e.getMemoryFunctions = asFunction<decltype(e.getMemoryFunctions)>(symbols[7]);
    e.setMemoryFunctions = asFunction<decltype(e.setMemoryFunctions)>(symbols[8]);
    s.library = library;
    s.bound = true;
    return kIfxOk;
}

} // namespace

void setIfxLibraryAccess(const IfxLibraryAccess* access)
{
    BindingState& s = state();
    s.access = access ? access : &kLibraryFileAccess;
    s.library = nullptr;
    s.exports = BoundExports{};
    s.bound = false;
    s.initialized = false;
}

IFXRESULT initializeIfxLibraryOnce()
{
    BindingState& s = state();
    if (s.initialized)
        return kIfxOk;
    const IFXRESULT result = IFXCOMInitialize();
    s.initialized = ifxSucceeded(result);
    return result;
}

// The program's own definitions of the exports' names. Until the library is bound they
// answer as an absent library would.

extern "C" IFXRESULT IFXCOMInitialize()
{
    BindingState& s = state();
    if (!s.bound) {
        const IFXRESULT bound = bindExports();
        if (ifxFailed(bound))
            return bound;
    }
    return s.exports.comInitialize();
}

extern "C" IFXRESULT IFXCOMUninitialize()
{
    return state().bound ? state().exports.comUninitialize() : kIfxErrorNotInitialized;
}

extern "C" IFXRESULT IFXCreateComponent(const IFXCID& componentId, const IFXIID& interfaceId, void** object)
{
    return state().bound ? state().exports.createComponent(componentId, interfaceId, object)
                         : kIfxErrorNotInitialized;
}

extern "C" void* IFXAllocate(size_t size)
{
    return state().bound ? state().exports.allocate(size) : nullptr;
}

extern "C" void IFXDeallocate(void* memory)
{
    if (state().bound)
        state().exports.deallocate(memory);
}

extern "C" void* IFXReallocate(void* memory, size_t size)
{
    return state().bound ? state().exports.reallocate(memory, size) : nullptr;
}

extern "C" IFXRESULT IFXRegisterComponent(const IFXComponentDescriptor* descriptor)
{
    return state().bound ? state().exports.registerComponent(descriptor) : kIfxErrorNotInitialized;
}

extern "C" IFXRESULT IFXGetMemoryFunctions(IFXAllocateFunction* allocate, IFXDeallocateFunction* deallocate,
                                           IFXReallocateFunction* reallocate)
{
    return state().bound ? state().exports.getMemoryFunctions(allocate, deallocate, reallocate)
                         : kIfxErrorNotInitialized;
}

extern "C" IFXRESULT IFXSetMemoryFunctions(IFXAllocateFunction allocate, IFXDeallocateFunction deallocate,
                                           IFXReallocateFunction reallocate)
{
    return state().bound ? state().exports.setMemoryFunctions(allocate, deallocate, reallocate)
                         : kIfxErrorNotInitialized;
}
