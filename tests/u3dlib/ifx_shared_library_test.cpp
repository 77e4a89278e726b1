// The built shared library, loaded from ext/u3d below the test programs with the
// platform module's library loader: its nine exports resolve and it loads a scene.
#include "runtime/platform.h"
#include "tests/support/files.h"
#include "tests/support/u3d_scene_blocks.h"
#include "tests/u3dlib/ifx_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

struct Exports {
    IFXRESULT (*initialize)() = nullptr;
    IFXRESULT (*uninitialize)() = nullptr;
    IFXRESULT (*createComponent)(const IFXCID&, const IFXIID&, void**) = nullptr;
    void* (*allocate)(size_t) = nullptr;
    void (*deallocate)(void*) = nullptr;
};

Exports& bound()
{
    static Exports exports;
    return exports;
}

} // namespace

// The test's own memory functions forward to the library's, as heron_scan's do, so that
// strings made here are freed there.
extern "C" void* IFXAllocate(size_t size)
{
    return bound().allocate ? bound().allocate(size) : nullptr;
}

extern "C" void IFXDeallocate(void* memory)
{
    if (bound().deallocate)
        bound().deallocate(memory);
}

namespace {

std::string libraryPath()
{
    char* folder = getModuleDirectory();
    std::string path = folder ? folder : "";
    std::free(folder);
    path += kPathSeparator;
    path += "ext";
    path += kPathSeparator;
    path += "u3d";
    path += kPathSeparator;
    path += kIfxLibraryFileName;
    return path;
}

TEST(IfxSharedLibrary, ExportsResolveAndASceneLoads)
{
    void* library = loadLibraryFromPath(libraryPath().c_str());
    ASSERT_NE(library, nullptr) << libraryPath();
    for (const char* name : kIfxExportNames)
        EXPECT_NE(findLibrarySymbol(library, name), nullptr) << name;
    // Nothing else of the library is visible.
    EXPECT_EQ(findLibrarySymbol(library, "readWholeInputFile"), nullptr);
    EXPECT_EQ(findLibrarySymbol(library, "decodeImageWithSystemCodecs"), nullptr);

    Exports& e = bound();
    e.initialize = reinterpret_cast<IFXRESULT (*)()>(findLibrarySymbol(library, "IFXCOMInitialize"));
    e.uninitialize = reinterpret_cast<IFXRESULT (*)()>(findLibrarySymbol(library, "IFXCOMUninitialize"));
    e.createComponent = reinterpret_cast<IFXRESULT (*)(const IFXCID&, const IFXIID&, void**)>(
        findLibrarySymbol(library, "IFXCreateComponent"));
    e.allocate = reinterpret_cast<void* (*)(size_t)>(findLibrarySymbol(library, "IFXAllocate"));
    e.deallocate = reinterpret_cast<void (*)(void*)>(findLibrarySymbol(library, "IFXDeallocate"));
    ASSERT_TRUE(e.initialize && e.uninitialize && e.createComponent && e.allocate && e.deallocate);

    ScratchFolder scratch;
    const auto file = scratch.write("scene.u3d", u3dFile({u3dGroupNodeBlock("A", {{"", kU3dIdentity}}),
                                                         u3dModelNodeBlock("B", {{"A", kU3dIdentity}}, "Mesh")}));
    ASSERT_EQ(e.initialize(), kIfxOk);
    {
        IfxRef<IFXCoreServices> core;
        IfxRef<IFXSceneGraph> graph;
        IfxRef<IFXLoadManager> loader;
        IfxRef<IFXReadBuffer> buffer;
        IfxRef<IFXStdio> stdio;
        ASSERT_EQ(e.createComponent(CID_IFXCoreServices, IID_IFXCoreServices, core.outVoid()), kIfxOk);
        ASSERT_EQ(core->Initialize(0, 1.0), kIfxOk);
        ASSERT_EQ(core->SetBaseURL(IFXString(pathUtf8(scratch.path()).c_str())), kIfxOk);
        ASSERT_EQ(core->GetSceneGraph(IID_IFXSceneGraph, graph.outVoid()), kIfxOk);
        ASSERT_EQ(e.createComponent(CID_IFXLoadManager, IID_IFXLoadManager, loader.outVoid()), kIfxOk);
        ASSERT_EQ(loader->Initialize(core.get()), kIfxOk);
        ASSERT_EQ(e.createComponent(CID_IFXReadBuffer, IID_IFXReadBuffer, buffer.outVoid()), kIfxOk);
        ASSERT_EQ(buffer->QueryInterface(IID_IFXStdio, stdio.outVoid()), kIfxOk);
        ASSERT_EQ(stdio->Open(IFXString(pathUtf8(file).c_str())), kIfxOk);
        ASSERT_EQ(loader->Load(buffer.get(), 1, IFXString(), 0, 0), kIfxOk);
        EXPECT_EQ(stdio->Close(), kIfxOk);

        IfxRef<IFXPalette> nodes;
        ASSERT_EQ(graph->GetPalette(kIfxPaletteNode, nodes.out()), kIfxOk);
        uint32_t size = 0, id = 0;
        EXPECT_EQ(nodes->GetPaletteSize(&size), kIfxOk);
        EXPECT_EQ(size, 3u);
        EXPECT_EQ(nodes->Find(IFXString("B"), &id), kIfxOk);
        IFXString name;
        EXPECT_EQ(nodes->GetName(id, &name), kIfxOk);
        EXPECT_EQ(name.Length(), 1u);
        IfxRef<IFXModel> model;
        EXPECT_EQ(nodes->GetResourcePtr(id, IID_IFXModel, model.outVoid()), kIfxOk);
    }
    EXPECT_EQ(e.uninitialize(), kIfxOk);
    // The library stays loaded, as in the worker: strings made above may still be freed.
}

} // namespace
