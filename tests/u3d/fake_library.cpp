#include "tests/u3d/fake_library.h"

#include "tests/support/files.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

bool fails(FailingStep step)
{
    return gFakeLibrary.failing == step;
}

std::string utf8Of(const IFXString& text)
{
    uint32_t bytes = 0;
    if (ifxFailed(text.GetLengthU8(&bytes)))
        return "<bad>";
    std::string out(size_t{bytes} + 1, '\0');
    text.ConvertToRawU8(reinterpret_cast<uint8_t*>(out.data()), bytes + 1);
    out.resize(bytes);
    return out;
}

class FakeCoreServices final : public Fake<IFXCoreServices> {
public:
    void* lookup(const IFXIID& id) override
    {
        return id == IID_IFXCoreServices || id == IID_IFXUnknown ? static_cast<IFXCoreServices*>(this) : nullptr;
    }
    IFXRESULT Initialize(uint32_t profile, double unitsScale) override
    {
        if (fails(FailingStep::InitializeCoreServices))
            return failCode(FailingStep::InitializeCoreServices);
        return profile == 0 && unitsScale == 1.0 ? kIfxOk : kIfxErrorInvalidArgument;
    }
    IFXRESULT SetBaseURL(const IFXString& folder) override
    {
        gFakeLibrary.baseUrl = utf8Of(folder);
        return fails(FailingStep::SetBaseUrl) ? failCode(FailingStep::SetBaseUrl) : kIfxOk;
    }
    IFXRESULT GetSceneGraph(const IFXIID& id, void** sceneGraph) override
    {
        if (fails(FailingStep::GetSceneGraph))
            return failCode(FailingStep::GetSceneGraph);
        return gFakeLibrary.scene->graph()->QueryInterface(id, sceneGraph);
    }
};

class FakeLoadManager final : public Fake<IFXLoadManager> {
public:
    void* lookup(const IFXIID& id) override
    {
        return id == IID_IFXLoadManager || id == IID_IFXUnknown ? static_cast<IFXLoadManager*>(this) : nullptr;
    }
    IFXRESULT Initialize(IFXCoreServices* core) override
    {
        if (fails(FailingStep::InitializeLoadManager))
            return failCode(FailingStep::InitializeLoadManager);
        return core ? kIfxOk : kIfxErrorInvalidPointer;
    }
    IFXRESULT Load(IFXReadBuffer* buffer, uint32_t loadAll, const IFXString& scope, uint32_t a, uint32_t b) override
    {
        if (buffer == nullptr || loadAll != 1 || !scope.IsEmpty() || a != 0 || b != 0)
            return kIfxErrorInvalidArgument;
        return gFakeLibrary.loadResult;
    }
};

class FakeReadBuffer final : public Fake<IFXReadBuffer, IFXStdio, IFXReadBufferX> {
public:
    void* lookup(const IFXIID& id) override
    {
        if (id == IID_IFXReadBuffer || id == IID_IFXUnknown)
            return static_cast<IFXReadBuffer*>(this);
        if (id == IID_IFXStdio && !fails(FailingStep::FileInterface))
            return static_cast<IFXStdio*>(this);
        if (id == IID_IFXReadBufferX)
            return static_cast<IFXReadBufferX*>(this);
        return nullptr;
    }
    IFXRESULT Open(const IFXString& path) override
    {
        gFakeLibrary.openedPath = utf8Of(path);
        gFakeLibrary.openedBytes = readFileBytes(std::filesystem::u8path(gFakeLibrary.openedPath));
        return fails(FailingStep::Open) ? failCode(FailingStep::Open) : kIfxOk;
    }
    IFXRESULT Close() override
    {
        gFakeLibrary.fileClosed = true;
        return kIfxOk;
    }
    IFXRESULT Read(uint8_t*, uint64_t) override { return kIfxErrorUnsupported; }
    IFXRESULT GetSize(uint64_t* size) override
    {
        *size = gFakeLibrary.openedBytes.size();
        return kIfxOk;
    }
    IFXRESULT SetPosition(uint64_t) override { return kIfxErrorUnsupported; }
    IFXRESULT ReadAt(uint64_t, uint8_t*, uint64_t) override { return kIfxErrorUnsupported; }
};

class FakeHeaderReader final : public Fake<IFXHeaderReader> {
public:
    void* lookup(const IFXIID& id) override
    {
        return id == IID_IFXHeaderReader || id == IID_IFXUnknown ? static_cast<IFXHeaderReader*>(this) : nullptr;
    }
    IFXRESULT Initialize(IFXCoreServices* core, IFXReadBufferX* buffer, uint64_t position) override
    {
        return core && buffer && position == 0 ? kIfxOk : kIfxErrorInvalidArgument;
    }
    IFXRESULT GetProfile(uint32_t* value) override { return *value = 0, kIfxOk; }
    IFXRESULT GetDeclarationSize(uint32_t* value) override
    {
        return *value = gFakeLibrary.headerDeclarationSize, kIfxOk;
    }
    IFXRESULT GetFileSize(uint64_t* value) override { return *value = gFakeLibrary.headerFileSize, kIfxOk; }
};

template <typename T>
IFXRESULT createFake(FailingStep step, const IFXIID& interfaceId, void** object)
{
    if (fails(step))
        return failCode(step);
    return gFakeLibrary.scene->make<T>()->QueryInterface(interfaceId, object);
}

IFXRESULT fakeCreateComponent(const IFXCID& componentId, const IFXIID& interfaceId, void** object)
{
    if (componentId == CID_IFXCoreServices)
        return createFake<FakeCoreServices>(FailingStep::CreateCoreServices, interfaceId, object);
    if (componentId == CID_IFXLoadManager)
        return createFake<FakeLoadManager>(FailingStep::CreateLoadManager, interfaceId, object);
    if (componentId == CID_IFXReadBuffer)
        return createFake<FakeReadBuffer>(FailingStep::CreateReadBuffer, interfaceId, object);
    if (componentId == CID_IFXHeaderReader)
        return createFake<FakeHeaderReader>(FailingStep::CreateHeaderReader, interfaceId, object);
    return kIfxErrorNotFound;
}

template <typename F>
void* symbolOf(F function)
{
    return reinterpret_cast<void*>(function);
}

void* fakeOpen()
{
    return gFakeLibrary.present ? static_cast<void*>(&gFakeLibrary) : nullptr;
}

void* fakeSymbol(void*, const char* name)
{
    if (name == gFakeLibrary.missingExport)
        return nullptr;
    using Allocate = void* (*)(size_t);
    using Deallocate = void (*)(void*);
    using Reallocate = void* (*)(void*, size_t);
    const std::pair<const char*, void*> table[] = {
        {"IFXCOMInitialize", symbolOf(+[] { return ++gFakeLibrary.initializeCalls, gFakeLibrary.initializeResult; })},
        {"IFXCOMUninitialize", symbolOf(+[] { return kIfxOk; })},
        {"IFXCreateComponent", symbolOf(&fakeCreateComponent)},
        {"IFXAllocate", symbolOf(Allocate(&std::malloc))},
        {"IFXDeallocate", symbolOf(Deallocate(&std::free))},
        {"IFXReallocate", symbolOf(Reallocate(&std::realloc))},
        {"IFXRegisterComponent", symbolOf(+[](const IFXComponentDescriptor*) { return kIfxOk; })},
        {"IFXGetMemoryFunctions",
         symbolOf(+[](IFXAllocateFunction*, IFXDeallocateFunction*, IFXReallocateFunction*) { return kIfxOk; })},
        {"IFXSetMemoryFunctions",
         symbolOf(+[](IFXAllocateFunction, IFXDeallocateFunction, IFXReallocateFunction) { return kIfxOk; })},
    };
    for (const auto& [export_, symbol] : table)
        if (std::strcmp(export_, name) == 0)
            return symbol;
    return nullptr;
}

void fakeClose(void*)
{
    ++gFakeLibrary.closes;
}

const IfxLibraryAccess kFakeAccess = {&fakeOpen, &fakeSymbol, &fakeClose};

} // namespace

const IfxLibraryAccess& fakeLibraryAccess()
{
    return kFakeAccess;
}
