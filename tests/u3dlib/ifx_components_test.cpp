// The library's components called in-process the way heron_scan calls them: core
// services, read buffer, header reader, load manager, and the scene read back through
// palettes, nodes, resources, chains, shaders, materials and textures.
#include "tests/support/files.h"
#include "tests/support/test_images.h"
#include "tests/support/u3d_scene_blocks.h"
#include "tests/u3dlib/ifx_test_support.h"
#include "u3dlib/block_types.h"
#include "u3dlib/library/scene_objects.h"
#include "u3dlib/modifier_chain.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace u3dlib;

namespace {

const std::vector<uint8_t> kPixels = {255, 0, 0, 255, 0, 255, 0, 128};

// Components set up as the worker sets them up, with a file loaded.
class LoadedScene {
public:
    explicit LoadedScene(const std::string& folder = "")
    {
        EXPECT_EQ(IFXCOMInitialize(), kIfxOk);
        EXPECT_EQ(IFXCreateComponent(CID_IFXCoreServices, IID_IFXCoreServices, core.outVoid()), kIfxOk);
        EXPECT_EQ(core->Initialize(0, 1.0), kIfxOk);
        EXPECT_EQ(core->SetBaseURL(IFXString(folder.c_str())), kIfxOk);
        EXPECT_EQ(core->GetSceneGraph(IID_IFXSceneGraph, graph.outVoid()), kIfxOk);
        EXPECT_EQ(IFXCreateComponent(CID_IFXLoadManager, IID_IFXLoadManager, loader.outVoid()), kIfxOk);
        EXPECT_EQ(loader->Initialize(core.get()), kIfxOk);
        EXPECT_EQ(IFXCreateComponent(CID_IFXReadBuffer, IID_IFXReadBuffer, buffer.outVoid()), kIfxOk);
        EXPECT_EQ(buffer->QueryInterface(IID_IFXStdio, stdio.outVoid()), kIfxOk);
    }
    ~LoadedScene()
    {
        stdio.reset();
        buffer.reset();
        loader.reset();
        graph.reset();
        core.reset();
        IFXCOMUninitialize();
    }

    IFXRESULT load(const std::filesystem::path& file)
    {
        const IFXRESULT opened = stdio->Open(IFXString(pathUtf8(file).c_str()));
        if (ifxFailed(opened))
            return opened;
        const IFXRESULT result = loader->Load(buffer.get(), 1, IFXString(), 0, 0);
        stdio->Close();
        return result;
    }

    IfxRef<IFXPalette> palette(uint32_t number)
    {
        IfxRef<IFXPalette> p;
        EXPECT_EQ(graph->GetPalette(number, p.out()), kIfxOk);
        return p;
    }

    IfxRef<IFXCoreServices> core;
    IfxRef<IFXSceneGraph> graph;
    IfxRef<IFXLoadManager> loader;
    IfxRef<IFXReadBuffer> buffer;
    IfxRef<IFXStdio> stdio;
};

template <typename T>
void entry(IFXPalette* palette, uint32_t id, const IFXIID& iid, IfxRef<T>& out)
{
    ASSERT_EQ(palette->GetResourcePtr(id, iid, out.outVoid()), kIfxOk) << id;
}

uint32_t find(IFXPalette* palette, const char* name)
{
    uint32_t id = 0xFFFFFFFF;
    EXPECT_EQ(palette->Find(IFXString(name), &id), kIfxOk) << name;
    return id;
}

std::string nameOf(IFXPalette* palette, uint32_t id)
{
    IFXString name;
    EXPECT_EQ(palette->GetName(id, &name), kIfxOk);
    uint32_t bytes = 0;
    name.GetLengthU8(&bytes);
    std::string text(bytes + 1, '\0');
    name.ConvertToRawU8(reinterpret_cast<uint8_t*>(text.data()), bytes + 1);
    text.resize(bytes);
    return text;
}

class IfxComponents : public ::testing::Test {
protected:
    std::filesystem::path sceneFile()
    {
        return scratch.write("scene.u3d",
            u3dFile({
                u3dGroupNodeBlock("A", {{"", kU3dIdentity}}),
                u3dGroupNodeBlock("B", {{"", u3dTranslation(0, 5, 0)}}),
                // Shared: two parents, one of them twice.
                u3dModifierChainBlock("Shared", kChainTypeNode,
                                      {u3dModelNodeBlock("Shared",
                                                         {{"A", u3dTranslation(1, 0, 0)},
                                                          {"B", u3dTranslation(2, 0, 0)},
                                                          {"A", u3dTranslation(3, 0, 0)}},
                                                         "Mesh"),
                                       u3dOtherModifierBlock(kBlockAnimationModifier, "Shared", 1),
                                       u3dShadingModifierBlock("Shared", 2, {{"Paint"}, {"Missing"}})}),
                u3dLightNodeBlock("Lamp", {{"", kU3dIdentity}}, "Sun"),
                u3dViewNodeBlock("Camera", {{"", kU3dIdentity}}, "CameraView", 0, {40, 0, 0}),
                u3dViewNodeBlock("Ortho", {{"", kU3dIdentity}}, "CameraView", 2, {7, 0, 0}),
                u3dLightResourceBlock("Sun", {1, 1, {0.5f, 0.5f, 0.25f}, {1, 0, 0}, 30, 2}),
                u3dViewResourceBlock("CameraView", {"B"}),
                u3dLitTextureShaderBlock("Paint", "Red", {{0, "Wood"}}),
                u3dMaterialBlock("Red", {1, 0, 0}, 0.5f),
                u3dTextureDeclarationBlock("Wood", 2, 1, kTextureTypeRgba, {{2, 0x0F, {}, 0}}),
                u3dTextureContinuationBlock("Wood", 0, encodePng(2, 1, 4, kPixels)),
            }, 0x8));
    }
    ScratchFolder scratch;
};

TEST_F(IfxComponents, HeaderReaderReportsProfileDeclarationSizeAndFileSize)
{
    LoadedScene scene;
    const auto file = sceneFile();
    ASSERT_EQ(scene.stdio->Open(IFXString(pathUtf8(file).c_str())), kIfxOk);
    IfxRef<IFXReadBufferX> bufferX;
    ASSERT_EQ(scene.buffer->QueryInterface(IID_IFXReadBufferX, bufferX.outVoid()), kIfxOk);
    IfxRef<IFXHeaderReader> header;
    ASSERT_EQ(IFXCreateComponent(CID_IFXHeaderReader, IID_IFXHeaderReader, header.outVoid()), kIfxOk);
    ASSERT_EQ(header->Initialize(scene.core.get(), bufferX.get(), 0), kIfxOk);
    uint32_t profile = 0, declarations = 0;
    uint64_t fileSize = 0;
    EXPECT_EQ(header->GetProfile(&profile), kIfxOk);
    EXPECT_EQ(header->GetDeclarationSize(&declarations), kIfxOk);
    EXPECT_EQ(header->GetFileSize(&fileSize), kIfxOk);
    EXPECT_EQ(profile, 0x8u);
    EXPECT_EQ(fileSize, std::filesystem::file_size(file));
    EXPECT_GT(declarations, 36u);
    EXPECT_LT(declarations, fileSize);
}

TEST_F(IfxComponents, NodesAnswerTheirParentsChildrenAndMatrices)
{
    LoadedScene scene;
    ASSERT_EQ(scene.load(sceneFile()), kIfxOk);
    IfxRef<IFXPalette> nodes = scene.palette(kIfxPaletteNode);
    uint32_t size = 0;
    ASSERT_EQ(nodes->GetPaletteSize(&size), kIfxOk);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(nameOf(nodes.get(), 0), "");
    const uint32_t a = find(nodes.get(), "A"), b = find(nodes.get(), "B"), shared = find(nodes.get(), "Shared");
    EXPECT_EQ(nameOf(nodes.get(), shared), "Shared");

    IfxRef<IFXNode> world, nodeA, nodeB, nodeShared;
    entry(nodes.get(), 0, IID_IFXNode, world);
    entry(nodes.get(), a, IID_IFXNode, nodeA);
    entry(nodes.get(), b, IID_IFXNode, nodeB);
    entry(nodes.get(), shared, IID_IFXNode, nodeShared);
    uint32_t count = 0;
    EXPECT_EQ(world->GetNumberOfParents(&count), kIfxOk);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(world->GetNumberOfChildren(0, &count), kIfxOk);
    EXPECT_EQ(count, 5u); // A, B, Lamp, Camera, Ortho
    EXPECT_EQ(nodeShared->GetNumberOfParents(&count), kIfxOk);
    EXPECT_EQ(count, 3u);

    // One object per node: parents and children compare equal to the palette's.
    const IFXNode* expectedParents[] = {nodeA.get(), nodeB.get(), nodeA.get()};
    const float expectedX[] = {1, 2, 3};
    for (uint32_t slot = 0; slot < 3; ++slot) {
        IfxRef<IFXNode> parent;
        ASSERT_EQ(nodeShared->GetParentNR(slot, parent.out()), kIfxOk);
        EXPECT_EQ(parent.get(), expectedParents[slot]);
        IFXMatrix4x4 m;
        ASSERT_EQ(nodeShared->GetMatrix(slot, &m), kIfxOk);
        EXPECT_EQ(m.m[12], expectedX[slot]);
    }
    IfxRef<IFXNode> none;
    EXPECT_LT(nodeShared->GetParentNR(3, none.out()), 0);

    // A lists the shared node once, however many of its slots name A.
    EXPECT_EQ(nodeA->GetNumberOfChildren(0, &count), kIfxOk);
    EXPECT_EQ(count, 1u);
    IfxRef<IFXNode> child;
    ASSERT_EQ(nodeA->GetChildNR(0, child.out()), kIfxOk);
    EXPECT_EQ(child.get(), nodeShared.get());
    EXPECT_EQ(world->GetNumberOfChildren(1, &count), kIfxOk);
    EXPECT_EQ(count, 6u);

    IfxRef<IFXModel> model;
    entry(nodes.get(), shared, IID_IFXModel, model);
    uint32_t palette = 0, resource = 0;
    EXPECT_EQ(model->GetResourcePalette(&palette), kIfxOk);
    EXPECT_EQ(palette, uint32_t{kIfxPaletteGenerator});
    EXPECT_EQ(model->GetResourceIndex(&resource), kIfxOk);
    EXPECT_EQ(resource, 0u); // "Mesh" is never declared: the default resource
    IfxRef<IFXModel> notAModel;
    EXPECT_LT(nodes->GetResourcePtr(a, IID_IFXModel, notAModel.outVoid()), 0);
}

TEST_F(IfxComponents, LightsViewsAndTheirResources)
{
    LoadedScene scene;
    ASSERT_EQ(scene.load(sceneFile()), kIfxOk);
    IfxRef<IFXPalette> nodes = scene.palette(kIfxPaletteNode);
    IfxRef<IFXLight> lamp;
    entry(nodes.get(), find(nodes.get(), "Lamp"), IID_IFXLight, lamp);
    IfxRef<IFXLightResource> sun;
    ASSERT_EQ(lamp->GetLightResource(sun.out()), kIfxOk);
    uint8_t attributes = 0;
    uint32_t type = 0;
    float intensity = 0, colour[3] = {}, attenuation[3] = {}, angle = 0;
    EXPECT_EQ(sun->GetAttributes(&attributes), kIfxOk);
    EXPECT_EQ(sun->GetType(&type), kIfxOk);
    EXPECT_EQ(sun->GetIntensity(&intensity), kIfxOk);
    EXPECT_EQ(sun->GetColor(colour), kIfxOk);
    EXPECT_EQ(sun->GetAttenuation(attenuation), kIfxOk);
    EXPECT_EQ(sun->GetSpotAngle(&angle), kIfxOk);
    EXPECT_EQ(attributes, 1);
    EXPECT_EQ(type, 1u);
    EXPECT_EQ(intensity, 2.0f);
    EXPECT_EQ(colour[2], 0.25f);
    EXPECT_EQ(attenuation[0], 1.0f);
    EXPECT_EQ(angle, 30.0f);

    IfxRef<IFXView> camera, ortho;
    entry(nodes.get(), find(nodes.get(), "Camera"), IID_IFXView, camera);
    entry(nodes.get(), find(nodes.get(), "Ortho"), IID_IFXView, ortho);
    float degrees = 0;
    EXPECT_EQ(camera->GetProjection(&degrees), kIfxOk);
    EXPECT_EQ(degrees, 40.0f);
    EXPECT_LT(ortho->GetProjection(&degrees), 0);

    IfxRef<IFXPalette> views = scene.palette(kIfxPaletteViewResource);
    IfxRef<IFXViewResource> view;
    entry(views.get(), find(views.get(), "CameraView"), IID_IFXViewResource, view);
    uint32_t root = 0;
    EXPECT_EQ(view->GetRootNode(&root), kIfxOk);
    EXPECT_EQ(root, find(nodes.get(), "B"));
}

TEST_F(IfxComponents, ShadingModifierLeadsToShaderMaterialAndTexture)
{
    LoadedScene scene;
    ASSERT_EQ(scene.load(sceneFile()), kIfxOk);
    IfxRef<IFXPalette> nodes = scene.palette(kIfxPaletteNode);
    IfxRef<IFXModifier> node;
    entry(nodes.get(), find(nodes.get(), "Shared"), IID_IFXModifier, node);
    IfxRef<IFXModifierChain> chain;
    ASSERT_EQ(node->GetModifierChain(chain.out()), kIfxOk);
    uint32_t count = 0;
    ASSERT_EQ(chain->GetModifierCount(&count), kIfxOk);
    ASSERT_EQ(count, 3u); // the node, the animation, the shading
    IfxRef<IFXModifier> head;
    ASSERT_EQ(chain->GetModifier(0, head.out()), kIfxOk);
    EXPECT_EQ(head.get(), node.get());
    IfxRef<IFXShadingModifier> shading;
    for (uint32_t i = 0; i < count && !shading; ++i) {
        IfxRef<IFXModifier> modifier;
        ASSERT_EQ(chain->GetModifier(i, modifier.out()), kIfxOk);
        modifier->QueryInterface(IID_IFXShadingModifier, shading.outVoid());
        EXPECT_EQ(static_cast<bool>(shading), i == 2) << i;
    }
    ASSERT_TRUE(shading);
    IfxRef<IFXShaderList> list, missing, none;
    ASSERT_EQ(shading->GetElementShaderList(0, list.out()), kIfxOk);
    ASSERT_EQ(shading->GetElementShaderList(1, missing.out()), kIfxOk);
    EXPECT_LT(shading->GetElementShaderList(2, none.out()), 0);
    uint32_t shaders = 0, shaderId = 0, missingId = 9;
    EXPECT_EQ(list->GetNumShaders(&shaders), kIfxOk);
    EXPECT_EQ(shaders, 1u);
    EXPECT_EQ(list->GetShader(0, &shaderId), kIfxOk);
    EXPECT_EQ(missing->GetShader(0, &missingId), kIfxOk);
    EXPECT_EQ(missingId, 0u); // an undeclared shader is the default one

    IfxRef<IFXPalette> shaderPalette = scene.palette(kIfxPaletteShader);
    IfxRef<IFXShaderLitTexture> shader;
    entry(shaderPalette.get(), shaderId, IID_IFXShaderLitTexture, shader);
    uint32_t materialId = 0, textureId = 0, noTexture = 9;
    EXPECT_EQ(shader->GetMaterialID(&materialId), kIfxOk);
    EXPECT_EQ(shader->GetTextureID(0, &textureId), kIfxOk);
    EXPECT_EQ(shader->GetTextureID(1, &noTexture), kIfxOk);
    EXPECT_EQ(noTexture, 0u);

    IfxRef<IFXPalette> materials = scene.palette(kIfxPaletteMaterial);
    IfxRef<IFXMaterialResource> material;
    entry(materials.get(), materialId, IID_IFXMaterialResource, material);
    float diffuse[3] = {}, opacity = 0;
    uint32_t transparent = 0;
    EXPECT_EQ(material->GetDiffuse(diffuse), kIfxOk);
    EXPECT_EQ(material->GetOpacity(&opacity), kIfxOk);
    EXPECT_EQ(material->GetTransparent(&transparent), kIfxOk);
    EXPECT_EQ(diffuse[0], 1.0f);
    EXPECT_EQ(opacity, 0.5f);
    EXPECT_EQ(transparent, 1u);

    IfxRef<IFXPalette> textures = scene.palette(kIfxPaletteTexture);
    IfxRef<IFXTextureObject> texture;
    entry(textures.get(), textureId, IID_IFXTextureObject, texture);
    uint32_t width = 0, height = 0;
    ASSERT_EQ(texture->GetWidth(&width), kIfxOk);
    ASSERT_EQ(texture->GetHeight(&height), kIfxOk);
    ASSERT_EQ(width, 2u);
    ASSERT_EQ(height, 1u);
    std::vector<uint8_t> pixels(12, 255);
    IFXTextureOutput output{width, height, pixels.data(), 12, kIfxTextureFormatRgba8, kIfxChannelOrderRgba, 0};
    EXPECT_EQ(texture->GetRenderImage(output), kIfxOk);
    EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 8), kPixels);
    EXPECT_EQ(pixels[8], 255); // the pitch's padding is not touched
    output.channelOrder = 0x123;
    EXPECT_LT(texture->GetRenderImage(output), 0);
}

TEST_F(IfxComponents, LoadFailuresHaveTheirCodes)
{
    scratch.write("missing-ref.u3d", u3dFile({u3dFileReferenceBlock({"", {"nothere.u3d"}, {}, {}, 0, ""})}));
    scratch.write("self-ref.u3d", u3dFile({u3dFileReferenceBlock({"", {"self.u3d"}, {}, {}, 0, ""})}));
    scratch.write("self.u3d", u3dFile({u3dFileReferenceBlock({"", {"self.u3d"}, {}, {}, 0, ""})}));
    scratch.write("corrupt.u3d", {0x55, 0x33, 0x44, 0x00, 200, 0, 0, 0, 0, 0, 0, 0});
    scratch.write("empty.u3d", {});
    const std::string folder = pathUtf8(scratch.path());
    const std::vector<std::pair<const char*, IFXRESULT>> cases = {
        {"missing-ref.u3d", kIfxErrorExternalReferenceFailed},
        {"self-ref.u3d", kIfxErrorExternalReferenceLimits},
        {"corrupt.u3d", kIfxErrorCorrupt},
        {"empty.u3d", kIfxErrorCorrupt},
    };
    for (const auto& [name, code] : cases) {
        LoadedScene scene(folder);
        EXPECT_EQ(scene.load(scratch.path() / name), code) << name;
        IfxRef<IFXPalette> nodes = scene.palette(kIfxPaletteNode);
        uint32_t size = 0;
        EXPECT_EQ(nodes->GetPaletteSize(&size), kIfxOk);
        EXPECT_EQ(size, 1u);
    }
    LoadedScene scene(folder);
    EXPECT_LT(scene.load(scratch.path() / "not-there.u3d"), 0);
}

TEST(IfxComponentCreation, IdsMemoryFunctionsAndRegisteredComponents)
{
    ASSERT_EQ(IFXCOMInitialize(), kIfxOk);
    IfxRef<IFXUnknown> object;
    EXPECT_EQ(IFXCreateComponent(IID_IFXSceneGraph, IID_IFXUnknown, object.outVoid()), kIfxErrorNotFound);
    EXPECT_EQ(IFXCreateComponent(CID_IFXCoreServices, IID_IFXLoadManager, object.outVoid()), kIfxErrorUnsupported);
    EXPECT_EQ(IFXCreateComponent(CID_IFXCoreServices, IID_IFXCoreServices, nullptr), kIfxErrorInvalidPointer);

    static const IFXCID custom = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    const IFXComponentDescriptor descriptor{&custom, [](const IFXIID& iid, void** out) {
                                                return IFXCreateComponent(CID_IFXReadBuffer, iid, out);
                                            },
                                            1};
    EXPECT_EQ(IFXRegisterComponent(&descriptor), kIfxOk);
    EXPECT_EQ(IFXRegisterComponent(&descriptor), kIfxErrorAlreadyInitialized);
    IfxRef<IFXReadBuffer> buffer;
    EXPECT_EQ(IFXCreateComponent(custom, IID_IFXReadBuffer, buffer.outVoid()), kIfxOk);

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
    mesh.positionIndices = {0, 1, 2, 2, 1, 3};
    mesh.normalIndices = {0, 0, 0}; // incomplete: one face only
    mesh.primitiveMaterials = {0, 1};
    mesh.texCoordIndices[1] = {0, 1, 2, 0, 1, 2};
    auto* object = new AuthorGeometryObject(state, nullptr, &mesh);
    IFXAuthorMesh* authorMesh = object;
    EXPECT_EQ(authorMesh->Lock(), kIfxOk);
    IFXAuthorMeshDesc desc{};
    EXPECT_EQ(authorMesh->GetMeshDesc(&desc), kIfxOk);
    EXPECT_EQ(desc.numFaces, 2u);
    EXPECT_EQ(desc.numPositions, 4u);
    EXPECT_EQ(desc.numNormals, 0u);
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
    // As a line set the same indices do not pair up.
    IFXAuthorLineSet* lines = object;
    const IFXAuthorLine* lineIndices = nullptr;
    EXPECT_LT(lines->GetPositionLines(&lineIndices), 0);
    authorMesh->Release();
}

} // namespace
