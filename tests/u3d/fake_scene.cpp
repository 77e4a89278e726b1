#include "tests/u3d/fake_scene.h"

#include "runtime/utf.h"

#include <cstring>

void* FakeNode::lookup(const IFXIID& id)
{
    if (id == IID_IFXNode || id == IID_IFXUnknown)
        return static_cast<IFXNode*>(this);
    if (id == IID_IFXModel && isModel)
        return static_cast<IFXModel*>(this);
    if (id == IID_IFXLight && isLight)
        return static_cast<IFXLight*>(this);
    if (id == IID_IFXView && isView)
        return static_cast<IFXView*>(this);
    return id == IID_IFXModifier ? static_cast<IFXModifier*>(this) : nullptr;
}

IFXRESULT FakeNode::GetLightResource(IFXLightResource** resource)
{
    return handOut(static_cast<IFXLightResource*>(light), resource);
}

IFXRESULT FakeNode::GetModifierChain(IFXModifierChain** out)
{
    return handOut(static_cast<IFXModifierChain*>(chain), out);
}

IFXRESULT FakeTexture::GetRenderImage(const IFXTextureOutput& output)
{
    if (decodeFails || output.width != width || output.height != height || output.pitch != width * 4 ||
        output.format != kIfxTextureFormatRgba8 || output.channelOrder != kIfxChannelOrderRgba)
        return kIfxErrorCorrupt;
    for (uint32_t i = 0; i < width * height; ++i)
        std::memcpy(output.pixels + size_t{i} * 4, rgba.data(), 4);
    return kIfxOk;
}

void* FakeGeometry::lookup(const IFXIID& id)
{
    if (id == IID_IFXAuthorCLODResource && kind == GeometryKind::Mesh)
        return static_cast<IFXAuthorCLODResource*>(this);
    if (id == IID_IFXAuthorPointSetResource && kind == GeometryKind::PointSet)
        return static_cast<IFXAuthorPointSetResource*>(this);
    if (id == IID_IFXAuthorLineSetResource && kind == GeometryKind::LineSet)
        return static_cast<IFXAuthorLineSetResource*>(this);
    return id == IID_IFXModifier || id == IID_IFXUnknown ? static_cast<IFXModifier*>(this) : nullptr;
}

IFXRESULT FakeGeometry::GetModifierChain(IFXModifierChain** out)
{
    return handOut(static_cast<IFXModifierChain*>(chain), out);
}

IFXRESULT FakeGeometry::GetMeshDesc(IFXAuthorMeshDesc* desc)
{
    const uint32_t arity = kind == GeometryKind::Mesh ? 3 : kind == GeometryKind::PointSet ? 1 : 2;
    IFXAuthorMeshDesc d{};
    d.numFaces = uint32_t(positionIndices.size() / arity);
    d.numPositions = uint32_t(positions.size());
    d.numNormals = uint32_t(normals.size());
    d.numDiffuseColors = uint32_t(diffuse.size());
    d.numTexCoords = uint32_t(texCoords.size());
    d.numMaterials = materialCount;
    return give(d, desc);
}

FakeScene::FakeScene() : graph_(make<FakeSceneGraph>())
{
    for (FakePalette*& palette : graph_->palettes)
        palette = make<FakePalette>();
}

uint32_t FakeScene::add(uint32_t paletteNumber, const std::string& name, FakeBase* object)
{
    std::u16string wide;
    utf8ToUtf16Lossy(name, wide);
    palette(paletteNumber).entries.push_back({wide, object});
    return static_cast<uint32_t>(palette(paletteNumber).entries.size() - 1);
}

FakeNode* FakeScene::node(const std::string& name)
{
    FakeNode* node = make<FakeNode>();
    add(kIfxPaletteNode, name, node);
    return node;
}

FakeNode* FakeScene::model(const std::string& name, uint32_t resourceId)
{
    FakeNode* node = this->node(name);
    node->isModel = true;
    node->resourceId = resourceId;
    return node;
}

FakeGeometry* FakeScene::geometry(const std::string& name, GeometryKind kind)
{
    FakeGeometry* geometry = make<FakeGeometry>();
    geometry->kind = kind;
    add(kIfxPaletteGenerator, name, geometry);
    return geometry;
}

FakeShadingModifier* FakeScene::shading(const std::vector<uint32_t>& shaderIds)
{
    FakeShadingModifier* shading = make<FakeShadingModifier>();
    shading->list.shaders = shaderIds;
    return shading;
}

FakeModifierChain* FakeScene::chain(std::vector<IFXModifier*> modifiers)
{
    FakeModifierChain* chain = make<FakeModifierChain>();
    chain->modifiers = std::move(modifiers);
    return chain;
}

uint32_t FakeScene::material(const std::string& name, std::array<float, 3> diffuse)
{
    FakeMaterial* material = make<FakeMaterial>();
    material->diffuse = diffuse;
    return add(kIfxPaletteMaterial, name, material);
}

uint32_t FakeScene::shader(const std::string& name, uint32_t materialId, uint32_t textureId)
{
    FakeShader* shader = make<FakeShader>();
    shader->materialId = materialId;
    shader->textureId = textureId;
    return add(kIfxPaletteShader, name, shader);
}

uint32_t FakeScene::texture(const std::string& name, uint32_t width, uint32_t height, std::array<uint8_t, 4> rgba)
{
    FakeTexture* texture = make<FakeTexture>();
    texture->width = width;
    texture->height = height;
    texture->rgba = rgba;
    return add(kIfxPaletteTexture, name, texture);
}

void FakeScene::link(FakeNode* parent, FakeNode* child, const IFXMatrix4x4& local)
{
    parent->children.push_back(child);
    child->parents.push_back(parent);
    child->matrices.push_back(local);
}

IFXMatrix4x4 translation(float x, float y, float z)
{
    return IFXMatrix4x4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}};
}

IFXMatrix4x4 scaling(float x, float y, float z)
{
    return IFXMatrix4x4{{x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1}};
}
