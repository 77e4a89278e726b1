// The worker over the scene library built here: scenes made by the test writer and
// loaded through loadU3dScene as heron_scan loads them. A stand-in remains only for
// what the library cannot be made to do: be absent, miss an export, fail a Create.
#include "runtime/platform.h"
#include "tests/support/files.h"
#include "tests/support/test_images.h"
#include "tests/support/u3d_geometry_writer.h"
#include "tests/support/u3d_scene_blocks.h"
#include "u3d/appearance.h"
#include "u3d/ifx_binding.h"
#include "u3d/mesh_extraction.h"
#include "u3d/scene_load.h"
#include "u3d/texture_atlas.h"
#include "u3dlib/modifier_chain.h"
#include "u3dlib/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

namespace fs = std::filesystem;
using u3dlib::kChainTypeModelResource;
using u3dlib::kChainTypeNode;

namespace {

constexpr IFXRESULT kSabotageCode = static_cast<IFXRESULT>(0x80000123u);

struct Sabotage {
    bool absent = false;
    const char* missingExport = nullptr;
    const IFXCID* failingComponent = nullptr;
    const IFXIID* refusedInterface = nullptr; // refused at creation
};
Sabotage gSabotage;
IFXRESULT (*gRealCreate)(const IFXCID&, const IFXIID&, void**) = nullptr;

IFXRESULT sabotagedCreate(const IFXCID& componentId, const IFXIID& interfaceId, void** object)
{
    if (gSabotage.failingComponent != nullptr && componentId == *gSabotage.failingComponent)
        return kSabotageCode;
    if (gSabotage.refusedInterface != nullptr && interfaceId == *gSabotage.refusedInterface)
        return kIfxErrorUnsupported;
    return gRealCreate(componentId, interfaceId, object);
}

void* openRealLibrary()
{
    if (gSabotage.absent)
        return nullptr;
    char* folder = getModuleDirectory();
    const std::string path = std::string(folder) + kPathSeparator + "ext" + kPathSeparator + "u3d" + kPathSeparator +
                             kIfxLibraryFileName;
    std::free(folder);
    return loadLibraryFromPath(path.c_str());
}

void* realSymbol(void* library, const char* name)
{
    if (gSabotage.missingExport != nullptr && std::strcmp(name, gSabotage.missingExport) == 0)
        return nullptr;
    void* symbol = findLibrarySymbol(library, name);
    if (std::strcmp(name, "IFXCreateComponent") != 0)
        return symbol;
    gRealCreate = reinterpret_cast<decltype(gRealCreate)>(symbol);
    return reinterpret_cast<void*>(&sabotagedCreate);
}

const IfxLibraryAccess kRealLibrary = {&openRealLibrary, &realSymbol, [](void*) {}};

std::string setupFailure()
{
    return "U3D reader initialization failed (code 0x80000123)";
}

// A triangle resource named Mesh, declared and filled.
std::vector<U3dBytes> triangleResource(const std::vector<U3dBytes>& chain = {})
{
    U3dClodMeshWriter mesh(u3dOneTriangleDeclaration("Mesh"));
    std::vector<U3dBytes> blocks{mesh.declarationBlock()};
    blocks.insert(blocks.end(), chain.begin(), chain.end());
    return {u3dModifierChainBlock("Mesh", kChainTypeModelResource, blocks), mesh.baseMeshBlock(u3dOneTriangle())};
}

// Declarations first, then the continuations (the base meshes and images).
U3dBytes scene(std::vector<U3dBytes> blocks, const std::vector<U3dBytes>& resource = triangleResource())
{
    blocks.insert(blocks.end(), resource.begin(), resource.end());
    return u3dFile(blocks);
}

U3dBytes paintedPart(const std::string& name, const std::vector<U3dParent>& parents, const std::string& shader)
{
    return u3dModifierChainBlock(name, kChainTypeNode,
                                 {u3dModelNodeBlock(name, parents, "Mesh"), u3dShadingModifierBlock(name, {{shader}}, 1)});
}

class Worker : public ::testing::Test {
protected:
    void SetUp() override { bind({}); }
    void TearDown() override
    {
        forget();
        bind({});
    }

    static void bind(Sabotage sabotage)
    {
        gSabotage = sabotage;
        setIfxLibraryAccess(&kRealLibrary);
    }

    void forget()
    {
        releaseU3dModel(&model);
        std::free(message);
        message = nullptr;
    }

    bool load(const U3dBytes& data, const char* folder = "docs")
    {
        forget();
        return loadU3dScene(data.empty() ? nullptr : data.data(), uint32_t(data.size()), folder, &model, &message);
    }

    std::string text() const { return message ? message : "<none>"; }

    std::array<uint8_t, 3> colour(uint32_t vertex) const
    {
        return {model.colours[vertex * 3], model.colours[vertex * 3 + 1], model.colours[vertex * 3 + 2]};
    }

    U3dModel model{};
    char* message = nullptr;
};

TEST_F(Worker, EveryFailureHasItsMessage)
{
    const U3dBytes triangle = scene({u3dModelNodeBlock("Part", {{}}, "Mesh")});
    const auto expectFailure = [&](const U3dBytes& data, const std::string& expected, const char* folder = "docs") {
        EXPECT_FALSE(load(data, folder));
        EXPECT_EQ(text(), expected);
        EXPECT_EQ(model.vertices, nullptr);
    };
    expectFailure({}, "empty or missing /3DD stream");
    for (const IFXCID* component : {&CID_IFXCoreServices, &CID_IFXLoadManager, &CID_IFXReadBuffer}) {
        bind({.failingComponent = component});
        expectFailure(triangle, setupFailure());
    }
    bind({});
    expectFailure(concat({u3dFileHeaderBlock(0, 36, 0), U3dBytes{0x15, 0xFF, 0xFF, 0xFF, 100, 0, 0, 0, 0, 0, 0, 0}}),
                  "the U3D file is corrupt or in an invalid format (Load() failed, code 0x80000007)");
    expectFailure(u3dFile({u3dFileReferenceBlock({.urls = {"parts/x.u3d"}})}),
                  "the U3D file references external files (FileReference: \"parts/x.u3d\"), which cannot be read: "
                  "the folder of the document is not known",
                  nullptr);
    ScratchFolder folder;
    const U3dBytes loop = u3dFile({u3dFileReferenceBlock({.urls = {"doc.u3d"}})});
    folder.write("doc.u3d", loop);
    expectFailure(loop,
                  "the U3D file references external files too deeply, too many of them, or in a loop (external "
                  "references are limited to 4 levels and 32 files)",
                  pathUtf8(folder.path()).c_str());
    const std::string noMesh = "the U3D file contains no mesh (only point/line sets or no geometry)";
    expectFailure(u3dFile({u3dGroupNodeBlock("Group", {{}})}), noMesh);
    // Declared, never filled: no resource yields a mesh. Only declared meshes are counted.
    std::vector<U3dBytes> empty;
    for (const char* name : {"A", "B"}) {
        empty.push_back(U3dClodMeshWriter(u3dOneTriangleDeclaration(name)).declarationBlock());
        expectFailure(u3dFile(empty), empty.size() == 1
                                          ? "the one mesh resource in the file contains no readable geometry"
                                          : "none of the 2 mesh resources in the file contain readable geometry");
    }

    bind({.absent = true});
    expectFailure(triangle, "U3D library initialization failed");
    // A library without every export is not used, and initialisation is tried again.
    bind({.missingExport = "IFXSetMemoryFunctions"});
    EXPECT_EQ(initializeIfxLibraryOnce(), kIfxErrorInvalidPointer);
    EXPECT_EQ(IFXAllocate(8), nullptr);
    expectFailure(triangle, "U3D library initialization failed");
    gSabotage.missingExport = nullptr;
    EXPECT_TRUE(load(triangle)) << text();
}

TEST_F(Worker, TooManyPathsGiveTheLimitsMessage)
{
    std::vector<U3dBytes> blocks{u3dGroupNodeBlock("n0", {{}})};
    for (int level = 1; level <= 17; ++level) { // 2^17 paths to the last node
        const std::string above = "n" + std::to_string(level - 1);
        blocks.push_back(u3dGroupNodeBlock("n" + std::to_string(level), {{above}, {above}}));
    }
    blocks.push_back(u3dModelNodeBlock("Part", {{"n17"}}, "Mesh"));
    EXPECT_FALSE(load(scene(blocks)));
    EXPECT_EQ(text(), "the U3D scene expands into too many parts (shared nodes instanced along too many paths): "
                      "over the limit of 65536 parts or 16777216 vertices");
    EXPECT_EQ(model.nodeRecords, nullptr);
}

// The library reads the bytes where they lie; only one that cannot be lent them
// needs the temporary file.
TEST_F(Worker, TemporaryFileOnlyForALibraryThatCannotBeLentTheBytes)
{
    const U3dBytes triangle = scene({u3dModelNodeBlock("Part", {{}}, "Mesh")});
    const std::string usual = pathUtf8(fs::temp_directory_path());
    const std::string gone = pathUtf8(fs::temp_directory_path() / "qv-no-such-folder" / "deeper");
    const auto setTemporaryFolder = [](const std::string& folder) {
        for (const char* name : {"TMPDIR", "TMP", "TEMP"})
            ASSERT_TRUE(setEnvironmentUtf8(name, folder.c_str(), true));
    };
    setTemporaryFolder(gone);
    EXPECT_TRUE(load(triangle)) << text();
    bind({.refusedInterface = &IID_IFXMemoryStdio});
    const bool loadedWithoutFolder = load(triangle);
    setTemporaryFolder(usual);
    EXPECT_FALSE(loadedWithoutFolder);
    EXPECT_EQ(text(), "unable to create temp file for reading");
    EXPECT_TRUE(load(triangle)) << text();
    EXPECT_EQ(model.triangleCount, 1u);
}

// Each corner's normal is its own normal through the node's matrix, however many
// normals a mesh has and however often their values repeat.
TEST_F(Worker, EachCornerGetsItsOwnNormalThroughTheMatrix)
{
    constexpr uint32_t kFaces = 2000, kNormals = 5000; // more normals than the table of recent ones
    U3dBaseMeshDesc mesh;
    std::mt19937 random(11);
    std::uniform_int_distribution<int> small(-3, 3);
    for (uint32_t i = 0; i < kNormals; ++i) {
        // Few distinct values (a CAD mesh's sides), and some random ones among them.
        const float x = i % 4 == 0 ? float(random()) / float(random.max()) : float(small(random));
        mesh.normals.push_back({x, float(small(random)), 1});
    }
    for (uint32_t f = 0; f < kFaces; ++f) {
        U3dBaseFace face{0, {3 * f, 3 * f + 1, 3 * f + 2}};
        for (uint32_t k = 0; k < 3; ++k) {
            mesh.positions.push_back({float(f), float(k), float(f % 7)});
            face.normals[k] = static_cast<uint32_t>(random() % kNormals);
        }
        mesh.faces.push_back(face);
    }
    U3dClodMeshWriter writer({.name = "Mesh", .primitiveCount = kFaces, .positionCount = 3 * kFaces,
                              .normalCount = kNormals, .maxResolution = 3 * kFaces});
    const std::vector<U3dBytes> resource{
        u3dModifierChainBlock("Mesh", kChainTypeModelResource, {writer.declarationBlock()}),
        writer.baseMeshBlock(mesh)};
    const U3dMatrix turn = {0, 2, 0, 0, -2, 0, 0, 0, 0, 0, 3, 0, 5, 6, 7, 1}; // a quarter turn, stretched
    ASSERT_TRUE(load(scene({u3dModelNodeBlock("Part", {{"", turn}}, "Mesh")}, resource))) << text();
    ASSERT_EQ(model.vertexCount, 3 * kFaces); // every position used once: vertex = position
    ASSERT_NE(model.normals, nullptr);
    IFXMatrix4x4 world{};
    std::copy(turn.begin(), turn.end(), world.m);
    float matrix[9];
    ASSERT_TRUE(normalMatrix(world, matrix));
    for (uint32_t f = 0; f < kFaces; ++f)
        for (uint32_t k = 0; k < 3; ++k) {
            float expected[3];
            transformNormal(matrix, mesh.normals[mesh.faces[f].normals[k]], expected);
            const float* got = &model.normals[size_t{3} * (3 * f + k)];
            ASSERT_EQ(std::memcmp(got, expected, sizeof expected), 0) << "face " << f << " corner " << k;
        }
}

TEST_F(Worker, OptionalPartsAreLeftOut)
{
    bind({.failingComponent = &CID_IFXHeaderReader});
    ASSERT_TRUE(load(scene({u3dModelNodeBlock("part", {{}}, "Mesh"), u3dLightNodeBlock("lamp", {{}}, "Ambient"),
                            u3dLightResourceBlock("Ambient", {.type = 0}), u3dViewResourceBlock("front", {})})))
        << text();
    EXPECT_EQ(model.materials, nullptr); // only the default material
    // No header reader; an ambient light only: no key light.
    EXPECT_EQ(std::tie(model.hasHeaderValues, model.hasKeyLight, model.lightCount), std::make_tuple(0u, 0u, 1u));
    ASSERT_EQ(model.viewCount, 2u); // no view node: the view resources, the default one first
    EXPECT_STREQ(model.viewRecords[1].name, "front");
    EXPECT_EQ(std::make_tuple(model.viewRecords[1].rotation[4], model.viewRecords[1].fieldOfView),
              std::make_tuple(1.0f, 0.0f));
}

TEST_F(Worker, MeshThatNoNodeShowsIsTakenDirectly)
{
    ASSERT_TRUE(load(scene({u3dGroupNodeBlock("lonely", {{}})}))) << text();
    ASSERT_EQ(model.nodeCount, 1u);
    const NodeRecord& node = model.nodeRecords[0];
    EXPECT_EQ(std::tie(node.name[0], node.parent, node.triangleCount, node.valid),
              std::make_tuple('\0', kNoParent, 1u, 1u));
    EXPECT_EQ(model.pointCount + model.lineCount + model.materialCount + model.lightCount, 0u);
}

struct LightCase {
    const char* what;
    U3dLightFields fields;
    bool kept;
    float intensity, halfAngle, exponent;
    std::array<float, 3> colour, attenuation;
};

TEST_F(Worker, LightValuesAreCheckedAndClamped)
{
    const float nan = std::nanf("");
    const float inf = INFINITY;
    const LightCase cases[] = {
        {"plain", {1, 2, {1, 0.5f, 0}, {1, 0, 0}, 0, 1}, true, 1, 0, 0, {1, 0.5f, 0}, {1, 0, 0}},
        {"disabled", {0, 2, {1, 1, 1}, {1, 0, 0}, 0, 1}, false, 0, 0, 0, {}, {}},
        {"type 4", {1, 4, {1, 1, 1}, {1, 0, 0}, 0, 1}, false, 0, 0, 0, {}, {}},
        {"intensity 0", {1, 2, {1, 1, 1}, {1, 0, 0}, 0, 0}, false, 0, 0, 0, {}, {}},
        {"intensity NaN", {1, 2, {1, 1, 1}, {1, 0, 0}, 0, nan}, false, 0, 0, 0, {}, {}},
        {"intensity clamped", {1, 2, {1, 1, 1}, {1, 0, 0}, 0, 5000}, true, 1000, 0, 0, {1, 1, 1}, {1, 0, 0}},
        {"colour clamped", {1, 0, {2, -1, nan}, {1, 0, 0}, 0, 1}, true, 1, 0, 0, {1, 0, 0}, {1, 0, 0}},
        {"attenuation zero", {1, 2, {1, 1, 1}, {0, -3, nan}, 0, 1}, true, 1, 0, 0, {1, 1, 1}, {1, 0, 0}},
        {"attenuation big", {1, 2, {1, 1, 1}, {0, inf, 2e9f}, 0, 1}, true, 1, 0, 0, {1, 1, 1}, {0, 0, 1e9f}},
        {"spot 90 decay", {5, 3, {1, 1, 1}, {1, 0, 0}, 90, 1}, true, 1, 0.7853982f, 9.2877f, {1, 1, 1}, {1, 0, 0}},
        {"spot 400", {1, 3, {1, 1, 1}, {1, 0, 0}, 400, 1}, true, 1, 1.5707963f, 0, {1, 1, 1}, {1, 0, 0}},
        {"spot negative decay", {5, 3, {1, 1, 1}, {1, 0, 0}, -5, 1}, true, 1, 0, 1, {1, 1, 1}, {1, 0, 0}},
        {"spot narrow decay", {5, 3, {1, 1, 1}, {1, 0, 0}, 1, 1}, true, 1, 0.0087266f, 1, {1, 1, 1}, {1, 0, 0}},
    };
    for (const LightCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(load(scene({u3dModelNodeBlock("part", {{}}, "Mesh"),
                                u3dLightNodeBlock("lamp", {{"", u3dTranslation(1, 2, 3)}}, "L"),
                                u3dLightResourceBlock("L", c.fields)})))
            << text();
        ASSERT_EQ(model.lightCount, c.kept ? 1u : 0u);
        if (!c.kept)
            continue;
        const LightRecord& record = model.lights[0];
        EXPECT_EQ(record.intensity, c.intensity);
        EXPECT_NEAR(record.spotHalfAngle, c.halfAngle, 1e-5);
        EXPECT_NEAR(record.spotExponent, c.exponent, 1e-3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(record.colour[i], c.colour[i]);
            EXPECT_EQ(record.attenuation[i], c.attenuation[i]);
        }
        EXPECT_EQ(std::make_tuple(record.position[2], record.direction[2]), std::make_tuple(3.0f, -1.0f));
    }
}

TEST_F(Worker, AtMostEightLightsAreKept)
{
    std::vector<U3dBytes> blocks{u3dModelNodeBlock("part", {{}}, "Mesh"), u3dLightResourceBlock("L", {})};
    for (int i = 0; i < 9; ++i)
        blocks.push_back(u3dLightNodeBlock("light" + std::to_string(i), {{"", u3dTranslation(float(i), 0, 0)}}, "L"));
    ASSERT_TRUE(load(scene(blocks)));
    ASSERT_EQ(model.lightCount, kMaxLightRecords);
    EXPECT_EQ(model.lights[0].position[0], 8.0f); // the last child is met first
}

TEST_F(Worker, ShadingComesFromTheNodeTheResourceOrTheOrphanNamedAfterTheNode)
{
    const U3dBytes paint = u3dLitTextureShaderBlock("Paint", "Blue");
    const U3dBytes blue = u3dMaterialBlock("Blue", {0, 0, 1});
    const U3dBytes plainPart = u3dModelNodeBlock("wheel", {{}}, "Mesh");
    const std::pair<const char*, U3dBytes> cases[] = {
        {"node chain", scene({paintedPart("wheel", {{}}, "Paint"), paint, blue})},
        {"resource chain",
         scene({plainPart, paint, blue}, triangleResource({u3dShadingModifierBlock("Mesh", {{"Paint"}}, 1)}))},
        {"orphan n_ node",
         scene({plainPart,
                u3dModifierChainBlock("n_wheel", kChainTypeNode,
                                      {u3dGroupNodeBlock("n_wheel", {}), u3dShadingModifierBlock("n_wheel", {{"Paint"}}, 1)}),
                paint, blue})},
    };
    for (const auto& [what, file] : cases) {
        ASSERT_TRUE(load(file)) << what << ": " << text();
        EXPECT_EQ(colour(0), (std::array<uint8_t, 3>{0, 0, 255})) << what;
    }
}

TEST_F(Worker, MaterialRecordsAreClampedAndShared)
{
    const U3dBytes file = scene({
        paintedPart("a", {{}}, "S1"),
        paintedPart("b", {{}}, "S2"),
        u3dLitTextureShaderBlock("S1", "Odd"),
        u3dLitTextureShaderBlock("S2", "Same"),
        u3dMaterialBlock("Odd", {0.5f, 2.0f, std::nanf("")}, 0.5f),
        u3dMaterialBlock("Same", {0.5f, 2.0f, std::nanf("")}, 0.5f),
    });
    ASSERT_TRUE(load(file)) << text();
    ASSERT_EQ(model.materialCount, 2u); // the default one and one for both
    const MaterialRecord& record = model.materials[1];
    EXPECT_EQ((std::array<float, 4>{record.diffuse[0], record.diffuse[1], record.diffuse[2], record.opacity}),
              (std::array<float, 4>{0.5f, 1, 0, 0.5f}));
    EXPECT_EQ(colour(0), (std::array<uint8_t, 3>{128, 255, 0}));
}

TEST_F(Worker, TexturesAreDecodedPackedAndBadOnesSkipped)
{
    // Two parts with a texture each, one a PNG and one a TIFF (the library loads each
    // codec's libraries on their own), and one whose image is not a PNG. The images are
    // translucent: the system codecs on Windows cannot tell an opaque RGBA image from RGB.
    const std::vector<uint8_t> red = {255, 0, 0, 200}, green = {0, 255, 0, 200};
    const auto fill = [](uint32_t w, uint32_t h, const std::vector<uint8_t>& pixel) {
        std::vector<uint8_t> pixels;
        for (uint32_t i = 0; i < w * h; ++i)
            pixels.insert(pixels.end(), pixel.begin(), pixel.end());
        return pixels;
    };
    constexpr uint8_t kPng = 2, kTiff = 4;
    std::vector<U3dBytes> blocks;
    const std::tuple<const char*, uint32_t, uint32_t, uint8_t, U3dBytes> textures[] = {
        {"Red", 4, 2, kPng, encodePng(4, 2, 4, fill(4, 2, red))},
        {"Green", 2, 4, kTiff, encodeTiff(2, 4, 4, fill(2, 4, green))},
        {"Broken", 2, 2, kPng, U3dBytes(40, 7)}};
    for (const auto& [name, w, h, codec, bytes] : textures) {
        const std::string n = name;
        blocks.push_back(paintedPart("part" + n, {{}}, "S" + n));
        blocks.push_back(u3dLitTextureShaderBlock("S" + n, "White", {{0, n}}));
        blocks.push_back(u3dTextureDeclarationBlock(n, w, h, u3dlib::kTextureTypeRgba, {{codec, 0x0F, {}, 0}}));
    }
    blocks.push_back(u3dMaterialBlock("White", {1, 1, 1}));
    std::vector<U3dBytes> continuations = triangleResource();
    for (const auto& [name, w, h, codec, bytes] : textures)
        continuations.push_back(u3dTextureContinuationBlock(name, 0, bytes));
    ASSERT_TRUE(load(scene(blocks, continuations))) << text();
    ASSERT_EQ(std::tie(model.textureWidth, model.textureHeight), std::make_tuple(6u, 4u));
    const auto pixel = [&](uint32_t x, uint32_t y) {
        const uint8_t* p = model.texturePixels + (size_t{y} * 6 + x) * 4;
        return std::array<uint8_t, 4>{p[0], p[1], p[2], p[3]};
    };
    // In the order the walk meets them: the last part first.
    EXPECT_EQ(pixel(0, 3), (std::array<uint8_t, 4>{0, 255, 0, 200}));
    EXPECT_EQ(pixel(5, 0), (std::array<uint8_t, 4>{255, 0, 0, 200}));
    for (const uint32_t x : {2u, 5u}) // uncovered, right below red: transparent black
        EXPECT_EQ(pixel(x, 2), (std::array<uint8_t, 4>{0, 0, 0, 0}));
    ASSERT_NE(model.uvs, nullptr);
}

struct PackCase {
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
    std::vector<std::pair<uint32_t, uint32_t>> places;
    uint32_t width, height;
};

TEST(TextureShelves, PackInOrderOnShelvesUpTo4096Wide)
{
    const PackCase cases[] = {
        {{{3000, 100}, {2000, 50}}, {{0, 0}, {0, 100}}, 3000, 150},
        {{{1000, 10}, {1000, 10}, {1000, 10}}, {{0, 0}, {1000, 0}, {2000, 0}}, 3000, 10},
        {{{4096, 5}, {1, 7}, {4095, 2}, {2, 1}}, {{0, 0}, {0, 5}, {1, 5}, {0, 12}}, 4096, 13},
    };
    for (const PackCase& c : cases) {
        std::vector<DecodedTexture> textures;
        for (const auto& [w, h] : c.sizes)
            textures.push_back(DecodedTexture{0, w, h, {}, 0, 0});
        uint32_t width = 0, height = 0;
        packTextureShelves(textures, width, height);
        EXPECT_EQ(std::make_pair(width, height), std::make_pair(c.width, c.height));
        for (size_t i = 0; i < textures.size(); ++i)
            EXPECT_EQ(std::make_pair(textures[i].x, textures[i].y), c.places[i]) << "texture " << i;
    }
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

TEST(RawShadingMap, ReadsTheFirstShaderListOfEachModifierInAChain)
{
    const U3dChainBounds bounds{std::array<float, 4>{}, std::array<float, 6>{}};
    const U3dBytes file = u3dFile({
        u3dModifierChainBlock("n_a", 0, {u3dShadingModifierBlock("n_a", {{"s1", "s2"}, {"ignored"}})}, bounds),
        u3dModifierChainBlock("x", 0, {u3dShadingModifierBlock("n_b", {{"old"}}), u3dShadingModifierBlock("n_b", {{"new"}})}),
        u3dModifierChainBlock("yy", 0,
                              {u3dShadingModifierBlock("n_none", {}),
                               u3dShadingModifierBlock("n_many", std::vector<std::vector<std::string>>(65, {"s"})),
                               u3dShadingModifierBlock("n_wide", {std::vector<std::string>(257, "s")}),
                               u3dShadingModifierBlock("", {{"s"}})}),
        u3dShadingModifierBlock("n_top", {{"s"}}), // only inside chains
    });
    const RawShadingFallbackMap map = buildRawShadingFallbackMap(file.data(), file.size());
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at("n_a"), (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(map.at("n_b"), std::vector<std::string>{"new"});
    for (size_t cut = 0; cut < file.size(); cut += 7) // truncated files never read past the end
        buildRawShadingFallbackMap(file.data(), cut);
}

} // namespace
