// A stand-in for the scene library as the worker binds it: nine exports in a table,
// core services that hand out a FakeScene's graph, a load manager whose result the
// test chooses, a read buffer that records the file it opened, a header reader.
#pragma once

#include "tests/u3d/fake_scene.h"
#include "u3d/ifx_binding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

enum class FailingStep {
    None,
    CreateCoreServices,
    InitializeCoreServices,
    SetBaseUrl,
    GetSceneGraph,
    CreateLoadManager,
    InitializeLoadManager,
    CreateReadBuffer,
    FileInterface,
    Open,
    CreateHeaderReader,
};

// The code a failing step reports: distinct per step.
inline IFXRESULT failCode(FailingStep step)
{
    return static_cast<IFXRESULT>(0x80000100u + static_cast<uint32_t>(step));
}

struct FakeLibrary {
    FakeScene* scene = nullptr;
    bool present = true;
    std::string missingExport;
    IFXRESULT initializeResult = kIfxOk;
    int initializeCalls = 0;
    int closes = 0;
    FailingStep failing = FailingStep::None;
    IFXRESULT loadResult = kIfxOk;
    uint32_t headerDeclarationSize = 0;
    uint64_t headerFileSize = 0;
    // What the components saw.
    std::string baseUrl;
    std::string openedPath;
    std::vector<uint8_t> openedBytes;
    bool fileClosed = false;
};

inline FakeLibrary gFakeLibrary;

const IfxLibraryAccess& fakeLibraryAccess();

// A fresh fake library over the scene, bound and initialised.
inline IFXRESULT bindFakeLibrary(FakeScene& scene)
{
    gFakeLibrary = FakeLibrary{};
    gFakeLibrary.scene = &scene;
    setIfxLibraryAccess(&fakeLibraryAccess());
    const IFXRESULT result = initializeIfxLibraryOnce();
    gOutstandingReferences = 0;
    return result;
}

// Binds the fake library before each test; the test builds its scene in `scene`.
class FakeLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(bindFakeLibrary(scene), kIfxOk); }

    FakeScene scene;
};
