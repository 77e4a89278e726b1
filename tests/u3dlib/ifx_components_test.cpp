// The library's components in-process, where heron_scan cannot reach: component
// creation and memory functions, and author geometry that is handed out only whole.
// What a loaded scene answers is checked through the worker (u3d/worker_test).
#include "tests/support/files.h"
#include "u3d/ifx_ref.h"
#include "u3dlib/library/scene_objects.h"

#include <gtest/gtest.h>

using namespace u3dlib;

namespace {

TEST(IfxComponentCreation, IdsMemoryFunctionsAndRegisteredComponents)
{
    ASSERT_EQ(IFXCOMInitialize(), kIfxOk);
    IfxRef<IFXUnknown> object;
    EXPECT_EQ(IFXCreateComponent(IID_IFXSceneGraph, IID_IFXUnknown, object.putVoid()), kIfxErrorNotFound);
    EXPECT_EQ(IFXCreateComponent(CID_IFXCoreServices, IID_IFXLoadManager, object.putVoid()), kIfxErrorUnsupported);
    EXPECT_EQ(IFXCreateComponent(CID_IFXCoreServices, IID_IFXCoreServices, nullptr), kIfxErrorInvalidPointer);

    static const IFXCID custom = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    const IFXComponentDescriptor descriptor{&custom, [](const IFXIID& iid, void** out) {
                                                return IFXCreateComponent(CID_IFXReadBuffer, iid, out);
                                            },
                                            1};
    EXPECT_EQ(IFXRegisterComponent(&descriptor), kIfxOk);
    EXPECT_EQ(IFXRegisterComponent(&descriptor), kIfxErrorAlreadyInitialized);
    IfxRef<IFXReadBuffer> buffer;
    EXPECT_EQ(IFXCreateComponent(custom, IID_IFXReadBuffer, buffer.putVoid()), kIfxOk);

    IFXAllocateFunction allocate = nullptr;
    IFXDeallocateFunction deallocate = nullptr;
    IFXReallocateFunction reallocate = nullptr;
    ASSERT_EQ(IFXGetMemoryFunctions(&allocate, &deallocate, &reallocate), kIfxOk);
    EXPECT_EQ(IFXSetMemoryFunctions(allocate, nullptr, reallocate), kIfxErrorInvalidArgument);
    void* memory = IFXAllocate(16);
    ASSERT_NE(memory, nullptr);
    memory = IFXReallocate(memory, 64);
    ASSERT_NE(memory, nullptr);
    IFXDeallocate(memory);
    IFXCOMUninitialize();
}

TEST(IfxAuthorGeometry, ArraysAreHandedOutOnlyWhenComplete)
{
    auto state = std::make_shared<SceneState>();
    u3dlib::AuthorGeometry mesh;
    mesh.primitiveCount = 2;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    mesh.positionFaces = {{0, 1, 2}, {2, 1, 3}};
    mesh.normalFaces = {{0, 0, 0}}; // incomplete: one face only
    mesh.primitiveMaterials = {0, 1};
    mesh.texCoordIndices[1] = {0, 1, 2, 0, 1, 2};
    auto* object = new AuthorGeometryObject(state, nullptr, &mesh);
    IFXAuthorMesh* authorMesh = object;
    EXPECT_EQ(authorMesh->Lock(), kIfxOk);
    IFXAuthorMeshDesc desc{};
    EXPECT_EQ(authorMesh->GetMeshDesc(&desc), kIfxOk);
    EXPECT_EQ(std::make_tuple(desc.numFaces, desc.numPositions, desc.numNormals), std::make_tuple(2u, 4u, 0u));
    const IFXAuthorFace* faces = nullptr;
    ASSERT_EQ(authorMesh->GetPositionFaces(&faces), kIfxOk);
    EXPECT_EQ(faces[1].c, 3u);
    EXPECT_LT(authorMesh->GetNormalFaces(&faces), 0);
    EXPECT_LT(authorMesh->GetTexFaces(0, &faces), 0);
    EXPECT_EQ(authorMesh->GetTexFaces(1, &faces), kIfxOk);
    EXPECT_LT(authorMesh->GetTexFaces(kIfxMaxTextureLayers, &faces), 0);
    const IFXVector3* normals = nullptr;
    EXPECT_LT(authorMesh->GetNormals(&normals), 0);
    const uint32_t* materials = nullptr;
    EXPECT_EQ(authorMesh->GetFaceMaterials(&materials), kIfxOk);
    EXPECT_EQ(authorMesh->Unlock(), kIfxOk);
    EXPECT_LT(authorMesh->Unlock(), 0);
    // As a line set it has no lines: a mesh's corners are faces.
    IFXAuthorLineSet* lines = object;
    const IFXAuthorLine* lineIndices = nullptr;
    EXPECT_LT(lines->GetPositionLines(&lineIndices), 0);
    authorMesh->Release();
}

TEST(IfxReadBuffer, ReadsStayInsideTheFileAndEmptyFilesOpen)
{
    ASSERT_EQ(IFXCOMInitialize(), kIfxOk);
    ScratchFolder folder;
    for (const auto& [name, bytes] : {std::pair{"four", std::vector<uint8_t>{1, 2, 3, 4}}, {"empty", {}}}) {
        IfxRef<IFXReadBuffer> buffer;
        ASSERT_EQ(IFXCreateComponent(CID_IFXReadBuffer, IID_IFXReadBuffer, buffer.putVoid()), kIfxOk);
        IfxRef<IFXStdio> file;
        ASSERT_EQ(buffer->QueryInterface(IID_IFXStdio, file.putVoid()), kIfxOk);
        IfxRef<IFXReadBufferX> at;
        ASSERT_EQ(buffer->QueryInterface(IID_IFXReadBufferX, at.putVoid()), kIfxOk);
        uint8_t out[4] = {};
        EXPECT_EQ(at->ReadAt(0, out, 0), kIfxErrorNotInitialized);
        IFXString path;
        ASSERT_EQ(path.AssignUtf8(pathUtf8(folder.write(name, bytes)).c_str()), kIfxOk);
        ASSERT_EQ(file->Open(path), kIfxOk);
        EXPECT_EQ(file->Open(path), kIfxErrorAlreadyInitialized);
        const uint64_t size = bytes.size();
        // (position, count): to the end is fine, one byte further is not.
        for (const auto& [position, count, ok] : {std::tuple{uint64_t{0}, size, true}, {size, uint64_t{0}, true},
                                                  {uint64_t{1}, size, false}, {size + 1, uint64_t{0}, false},
                                                  {uint64_t{2}, UINT64_MAX, false}})
            EXPECT_EQ(at->ReadAt(position, out, count), ok ? kIfxOk : kIfxErrorEndOfData) << position << " " << count;
        EXPECT_EQ(std::vector<uint8_t>(out, out + size), bytes);
        EXPECT_EQ(buffer->SetPosition(size + 1), kIfxErrorEndOfData);
        EXPECT_EQ(file->Close(), kIfxOk);
        EXPECT_EQ(file->Close(), kIfxErrorNotInitialized);
    }
    IfxRef<IFXStdio> missing;
    ASSERT_EQ(IFXCreateComponent(CID_IFXReadBuffer, IID_IFXStdio, missing.putVoid()), kIfxOk);
    IFXString none;
    ASSERT_EQ(none.AssignUtf8(pathUtf8(folder.path() / "none").c_str()), kIfxOk);
    EXPECT_EQ(missing->Open(none), kIfxErrorOpenFailed);
    IFXCOMUninitialize();
}

TEST(IfxReadBuffer, LentBytesAreReadWhereTheyLieUntilClosed)
{
    ASSERT_EQ(IFXCOMInitialize(), kIfxOk);
    IfxRef<IFXMemoryStdio> memory;
    ASSERT_EQ(IFXCreateComponent(CID_IFXReadBuffer, IID_IFXMemoryStdio, memory.putVoid()), kIfxOk);
    IfxRef<IFXReadBufferX> at;
    ASSERT_EQ(memory->QueryInterface(IID_IFXReadBufferX, at.putVoid()), kIfxOk);
    EXPECT_EQ(memory->OpenMemory(nullptr, 1), kIfxErrorInvalidPointer);
    uint8_t lent[3] = {7, 8, 9};
    ASSERT_EQ(memory->OpenMemory(lent, 2), kIfxOk);
    EXPECT_EQ(memory->OpenMemory(lent, 3), kIfxErrorAlreadyInitialized);
    lent[1] = 6; // not copied: a change shows
    uint8_t out[3] = {};
    EXPECT_EQ(at->ReadAt(0, out, 3), kIfxErrorEndOfData);
    ASSERT_EQ(at->ReadAt(0, out, 2), kIfxOk);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 2), (std::vector<uint8_t>{7, 6}));
    EXPECT_EQ(memory->Close(), kIfxOk);
    EXPECT_EQ(at->ReadAt(0, out, 0), kIfxErrorNotInitialized);
    IFXCOMUninitialize();
}

} // namespace
