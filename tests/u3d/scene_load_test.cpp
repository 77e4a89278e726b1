#include "runtime/platform.h"
#include "tests/support/files.h"
#include "tests/support/u3d_scene_blocks.h"
#include "tests/u3d/fake_library.h"
#include "u3d/external_references.h"
#include "u3d/scene_load.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <numbers>

namespace fs = std::filesystem;

namespace {

const U3dBytes kData = concat({u3dFileHeaderBlock(0, 36, 0), u3dFileReferenceBlock({.urls = {"parts/x.u3d"}})});

class SceneLoad : public FakeLibraryTest {
protected:
    void TearDown() override { forget(); }

    void forget()
    {
        releaseU3dModel(&model);
        std::free(message);
        message = nullptr;
    }

    bool load(const char* folder = "docs", const U3dBytes& data = kData)
    {
        forget();
        const bool loaded =
            loadU3dScene(data.empty() ? nullptr : data.data(), uint32_t(data.size()), folder, &model, &message);
        EXPECT_EQ(gOutstandingReferences, 0) << "references left unreleased";
        if (!gFakeLibrary.openedPath.empty()) {
            EXPECT_FALSE(fs::exists(fs::u8path(gFakeLibrary.openedPath)));
            EXPECT_EQ(fs::u8path(gFakeLibrary.openedPath).filename().string().rfind("u3d", 0), 0u);
        }
        return loaded;
    }

    std::string text() const { return message ? message : "<none>"; }

    // root -> part (a triangle, resource 0).
    FakeNode* triangleScene()
    {
        FakeGeometry* mesh = scene.geometry("mesh");
        mesh->positions = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
        mesh->positionIndices = {0, 1, 2};
        FakeNode* root = scene.node("root");
        FakeScene::link(root, scene.model("part", 0), translation(0, 0, 1));
        return root;
    }

    FakeNode* light(FakeNode* parent, uint32_t type, const IFXMatrix4x4& local)
    {
        FakeNode* lamp = scene.node("lamp");
        lamp->isLight = true;
        lamp->light = scene.make<FakeLightResource>();
        lamp->light->type = type;
        FakeScene::link(parent, lamp, local);
        return lamp;
    }

    U3dModel model{};
    char* message = nullptr;
};

TEST_F(SceneLoad, EveryFailureHasItsMessage)
{
    const auto expectFailure = [&](const std::string& message, const char* folder = "docs") {
        EXPECT_FALSE(load(folder));
        EXPECT_EQ(text(), message);
        EXPECT_EQ(model.vertices, nullptr);
    };
    const auto setupMessage = [](uint32_t code) {
        char text[80];
        std::snprintf(text, sizeof text, "U3D reader initialization failed (code 0x%08x)", code);
        return std::string(text);
    };
    EXPECT_FALSE(load("docs", {}));
    EXPECT_EQ(text(), "empty or missing /3DD stream");
    EXPECT_TRUE(gFakeLibrary.openedPath.empty());
    for (FailingStep step : {FailingStep::CreateCoreServices, FailingStep::InitializeCoreServices,
                             FailingStep::SetBaseUrl, FailingStep::GetSceneGraph, FailingStep::CreateLoadManager,
                             FailingStep::InitializeLoadManager, FailingStep::CreateReadBuffer}) {
        gFakeLibrary.failing = step;
        expectFailure(setupMessage(uint32_t(failCode(step))));
    }
    gFakeLibrary.failing = FailingStep::FileInterface;
    expectFailure(setupMessage(0x80000006));
    gFakeLibrary.failing = FailingStep::Open;
    expectFailure("opening the temporary U3D file failed (code 0x80000109)");
    EXPECT_EQ(gFakeLibrary.openedBytes, kData);
    gFakeLibrary.failing = FailingStep::None;

    gFakeLibrary.loadResult = kIfxErrorExternalReferenceLimits;
    expectFailure("the U3D file references external files too deeply, too many of them, or in a loop (external "
                  "references are limited to 4 levels and 32 files)");
    gFakeLibrary.loadResult = kIfxErrorCorrupt;
    expectFailure("the U3D file is corrupt or in an invalid format (Load() failed, code 0x80000007)");
    gFakeLibrary.loadResult = kIfxErrorExternalReferenceFailed;
    expectFailure("the U3D file references external files (FileReference: \"parts/x.u3d\"), which cannot be read: "
                  "the folder of the document is not known",
                  nullptr);
    gFakeLibrary.loadResult = kIfxOk;

    const std::string noMesh = "the U3D file contains no mesh (only point/line sets or no geometry)";
    // Only meshes are counted, not point or line sets.
    scene.geometry("empty");
    expectFailure("the one mesh resource in the file contains no readable geometry");
    scene.geometry("points", GeometryKind::PointSet);
    expectFailure("the one mesh resource in the file contains no readable geometry");
    scene.geometry("also empty");
    expectFailure("none of the 2 mesh resources in the file contain readable geometry");
    scene.graph()->palettes[kIfxPaletteGenerator] = nullptr;
    expectFailure(noMesh);

    gFakeLibrary.present = false;
    setIfxLibraryAccess(&fakeLibraryAccess());
    expectFailure("U3D library initialization failed");
}

TEST_F(SceneLoad, TooManyPathsGiveTheLimitsMessage)
{
    FakeNode* above = triangleScene();
    for (int level = 1; level <= 17; ++level) { // 2^17 paths to the last node
        FakeNode* node = scene.node("n" + std::to_string(level));
        FakeScene::link(above, node, translation(0, 0, 0));
        FakeScene::link(above, node, translation(0, 0, 0));
        above = node;
    }
    EXPECT_FALSE(load());
    EXPECT_EQ(text(), "the U3D scene expands into too many parts (shared nodes instanced along too many paths): "
                      "over the limit of 65536 parts or 16777216 vertices");
    EXPECT_EQ(model.nodeRecords, nullptr);
}

TEST_F(SceneLoad, UnboundLibraryAnswersNothingAndFailedInitialisationIsTriedAgain)
{
    gFakeLibrary.missingExport = "IFXSetMemoryFunctions";
    setIfxLibraryAccess(&fakeLibraryAccess());
    EXPECT_EQ(initializeIfxLibraryOnce(), kIfxErrorInvalidPointer);
    EXPECT_EQ(gFakeLibrary.closes, 1);
    EXPECT_EQ(IFXAllocate(8), nullptr);
    void* object = nullptr;
    EXPECT_EQ(IFXCreateComponent(CID_IFXCoreServices, IID_IFXCoreServices, &object), kIfxErrorNotInitialized);
    EXPECT_EQ(IFXRegisterComponent(nullptr), kIfxErrorNotInitialized);

    gFakeLibrary.missingExport.clear();
    gFakeLibrary.initializeResult = kIfxErrorUnspecified;
    setIfxLibraryAccess(&fakeLibraryAccess());
    EXPECT_FALSE(load());
    gFakeLibrary.initializeResult = kIfxOk;
    triangleScene();
    EXPECT_TRUE(load());
    EXPECT_TRUE(load());
    EXPECT_EQ(gFakeLibrary.initializeCalls, 3); // once in SetUp, then until it succeeds
}

TEST_F(SceneLoad, TemporaryFileThatCannotBeWritten)
{
    // Every variable that names the temporary folder points into a folder that is gone.
    const std::string usual = pathUtf8(fs::temp_directory_path());
    const std::string gone = pathUtf8(fs::temp_directory_path() / "qv-no-such-folder" / "deeper");
    for (const char* name : {"TMPDIR", "TMP", "TEMP"})
        ASSERT_TRUE(setEnvironmentUtf8(name, gone.c_str(), true));
    const bool loaded = load();
    for (const char* name : {"TMPDIR", "TMP", "TEMP"})
        setEnvironmentUtf8(name, usual.c_str(), true);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(text(), "unable to create temp file for reading");
    EXPECT_TRUE(gFakeLibrary.openedPath.empty());
}

TEST(ExternalReferenceMessage, TellsWhatWasWrong)
{
    const std::string prefix = "the U3D file references an external ";
    const std::string notFound = prefix + "file that was not found next to the document: ";
    const struct {
        const char* folder;
        bool found;
        uint32_t outcome;
        std::string name, expected;
    } cases[] = {
        {"", true, 1, "", "the U3D file references external files (FileReference), which cannot be read: the folder "
                          "of the document is not known"},
        {"d", false, 4, "a.u3d", "the U3D file references external files, but one of them (inside a referenced file) "
                                 "could not be loaded: it is missing, not allowed, or not a valid U3D file"},
        {"d", true, 1, "a.u3d", "the U3D file references external files (FileReference: \"a.u3d\"), which cannot be "
                                "read: the folder of the document is not accessible"},
        {"d", true, 3, "a.u3d", prefix + "file that is not allowed: \"a.u3d\" (only .u3d files inside the folder of "
                                         "the document are read)"},
        {"d", true, 6, "a.u3d", prefix + "path that is not a regular file: \"a.u3d\""},
        {"d", true, 7, "a.u3d", prefix + "file that is too large: \"a.u3d\""},
        {"d", true, 0, "a.u3d", notFound + "\"a.u3d\""},
        {"d", true, 9, "a\tb\x7f", notFound + "\"a?b?\""},
        {"d", true, 4, std::string(130, 'n'), notFound + "\"" + std::string(117, 'n') + "...\""},
    };
    for (const auto& c : cases) {
        char* message = externalReferenceMessage(c.folder, c.found, c.outcome, c.name);
        EXPECT_EQ(std::string(message), c.expected);
        std::free(message);
    }
}

TEST_F(SceneLoad, SceneBecomesAModel)
{
    gFakeLibrary.headerDeclarationSize = 36;
    gFakeLibrary.headerFileSize = 0x123456789ull;
    FakeNode* root = triangleScene();
    FakeGeometry* mesh = static_cast<FakeGeometry*>(scene.palette(kIfxPaletteGenerator).entries[0].object);
    mesh->normals = {{0, 0, 2}};
    mesh->normalIndices = {0, 0, 0};
    mesh->materialCount = 1;
    mesh->materialIds = {0};
    mesh->chain = scene.chain({scene.shading({scene.shader("red", scene.material("red", {1, 0, 0}))})});
    light(root, kIfxLightDirectional, translation(0, 0, 0)); // shines along -z
    FakeNode* camera = scene.node("camera");
    camera->isView = true;
    camera->hasProjection = true;
    camera->projectionDegrees = 90;
    FakeScene::link(root, camera, IFXMatrix4x4{{0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 5, 5, 5, 1}});

    ASSERT_TRUE(load("docs")) << text();
    EXPECT_EQ(message, nullptr);
    EXPECT_EQ(std::tie(gFakeLibrary.baseUrl, gFakeLibrary.openedBytes, gFakeLibrary.fileClosed),
              std::make_tuple("docs", kData, true));
    EXPECT_EQ(std::tie(model.hasHeaderValues, model.headerValue32, model.headerValue64),
              std::make_tuple(1u, 36u, 0x123456789ull));
    ASSERT_EQ(std::tie(model.vertexCount, model.triangleCount, model.nodeCount, model.materialCount),
              std::make_tuple(3u, 1u, 4u, 2u));
    ASSERT_NE(model.normals, nullptr);
    EXPECT_EQ(std::make_tuple(model.vertices[2], model.colours[0], model.colours[1], model.colours[2],
                              model.normals[2], model.vertexMaterials[0], std::string(model.nodeRecords[3].name)),
              std::make_tuple(1.0f, 255, 0, 0, 1.0f, 1, std::string("part")));
    EXPECT_EQ(std::tie(model.lightCount, model.hasKeyLight), std::make_tuple(1u, 1u));
    EXPECT_FLOAT_EQ(model.keyLightPitch, float(std::numbers::pi / 2));
    ASSERT_EQ(std::tie(model.viewCount, model.hasDefaultView), std::make_tuple(1u, 1u));
    EXPECT_STREQ(model.viewRecords[0].name, "camera");
    EXPECT_NEAR(model.viewRecords[0].fieldOfView, std::numbers::pi / 2, 1e-6);
    const float rotation[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1}; // rows of the local matrix
    EXPECT_TRUE(std::equal(rotation, rotation + 9, model.defaultViewRotation));
    EXPECT_EQ(model.uvs, nullptr);
}

TEST_F(SceneLoad, OptionalPartsAreLeftOut)
{
    light(triangleScene(), kIfxLightAmbient, translation(0, 0, 0));
    scene.add(kIfxPaletteViewResource, "front", scene.make<FakeViewResource>());
    scene.add(kIfxPaletteViewResource, "nothing", nullptr);
    gFakeLibrary.failing = FailingStep::CreateHeaderReader;
    ASSERT_TRUE(load()) << text();
    EXPECT_EQ(model.normals, nullptr);   // all zero
    EXPECT_EQ(model.materials, nullptr); // only the default material
    // No header reader; an ambient light only: no key light.
    EXPECT_EQ(std::tie(model.hasHeaderValues, model.hasKeyLight, model.lightCount), std::make_tuple(0u, 0u, 1u));
    ASSERT_EQ(model.viewCount, 1u); // no view node: the view resources
    EXPECT_STREQ(model.viewRecords[0].name, "front");
    EXPECT_EQ(model.viewRecords[0].rotation[4], 1.0f);
    EXPECT_EQ(model.viewRecords[0].fieldOfView, 0.0f);
}

TEST_F(SceneLoad, PointLightAimsFromTheCentroid)
{
    light(triangleScene(), kIfxLightPoint, translation(2.0f / 3, 5.0f / 3, 1)); // +y of the centroid
    ASSERT_TRUE(load());
    EXPECT_FLOAT_EQ(model.keyLightYaw, float(std::numbers::pi / 2));
    EXPECT_FLOAT_EQ(model.keyLightPitch, 0.0f);
}

TEST_F(SceneLoad, MeshThatNoNodeShowsIsTakenDirectly)
{
    FakeGeometry* mesh = scene.geometry("mesh");
    mesh->positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh->positionIndices = {0, 1, 2, 0, 2, 1};
    scene.node("lonely");
    ASSERT_TRUE(load()) << text();
    ASSERT_EQ(model.nodeCount, 1u);
    const NodeRecord& node = model.nodeRecords[0];
    EXPECT_EQ(std::tie(node.name[0], node.parent, node.triangleCount, node.valid),
              std::make_tuple('\0', kNoParent, 2u, 1u));
    EXPECT_EQ(model.pointCount + model.lineCount + model.materialCount + model.lightCount, 0u);
}

} // namespace
