// The object of one palette entry: nodes, model resources, shaders, materials,
// textures, light and view resources.
#include "u3dlib/library/scene_objects.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace u3dlib;

namespace {

IFXRESULT handOutEntry(const std::shared_ptr<SceneState>& state, uint32_t palette, uint32_t id,
                       const IFXIID& interfaceId, void** object)
{
    PaletteEntryObject* entry = entryObject(state, palette, id);
    if (entry == nullptr)
        return kIfxErrorOutOfMemory;
    const IFXRESULT result = entry->QueryInterface(interfaceId, object);
    entry->Release();
    return result;
}

template <typename T>
IFXRESULT give(T value, T* out)
{
    if (out == nullptr)
        return kIfxErrorInvalidPointer;
    *out = value;
    return kIfxOk;
}

IFXRESULT giveColour(const std::array<float, 3>& colour, float rgb[3])
{
    if (rgb == nullptr)
        return kIfxErrorInvalidPointer;
    std::copy(colour.begin(), colour.end(), rgb);
    return kIfxOk;
}

} // namespace

PaletteEntryObject* entryObject(const std::shared_ptr<SceneState>& state, uint32_t paletteNumber, uint32_t id)
{
    if (id >= paletteSize(state->scene, paletteNumber))
        return nullptr;
    const auto key = std::make_pair(paletteNumber, id);
    if (const auto it = state->liveEntries.find(key); it != state->liveEntries.end()) {
        it->second->AddRef();
        return it->second;
    }
    auto* object = new (std::nothrow) PaletteEntryObject(state, paletteNumber, id);
    if (object != nullptr)
        state->liveEntries.emplace(key, object);
    return object;
}

PaletteEntryObject::~PaletteEntryObject()
{
    state_->liveEntries.erase(std::make_pair(palette_, id_));
}

// ---- Records behind the entry -------------------------------------------------

const Node* PaletteEntryObject::node() const
{
    const Scene& s = state_->scene;
    return palette_ == kIfxPaletteNode && id_ < s.nodes.size() ? &s.nodes.entry(id_).object : nullptr;
}

const ModelResource* PaletteEntryObject::resource() const
{
    const Scene& s = state_->scene;
    return palette_ == kIfxPaletteGenerator && id_ < s.generators.size() ? &s.generators.entry(id_).object : nullptr;
}

const Material* PaletteEntryObject::material() const
{
    const Scene& s = state_->scene;
    return palette_ == kIfxPaletteMaterial && id_ < s.materials.size() ? &s.materials.entry(id_).object : nullptr;
}

const LitTextureShader* PaletteEntryObject::shader() const
{
    const Scene& s = state_->scene;
    return palette_ == kIfxPaletteShader && id_ < s.shaders.size() ? &s.shaders.entry(id_).object : nullptr;
}

const LightResource* PaletteEntryObject::light() const
{
    const Scene& s = state_->scene;
    return palette_ == kIfxPaletteLightResource && id_ < s.lights.size() ? &s.lights.entry(id_).object : nullptr;
}

const ViewResource* PaletteEntryObject::view() const
{
    const Scene& s = state_->scene;
    return palette_ == kIfxPaletteViewResource && id_ < s.views.size() ? &s.views.entry(id_).object : nullptr;
}

const Texture* PaletteEntryObject::texture() const
{
    const Scene& s = state_->scene;
    return palette_ == kIfxPaletteTexture && id_ < s.textures.size() ? &s.textures.entry(id_).object : nullptr;
}

// ---- Interfaces ---------------------------------------------------------------

IFXRESULT PaletteEntryObject::QueryInterface(const IFXIID& interfaceId, void** object)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    if (interfaceId == IID_IFXUnknown)
        return answer(static_cast<IFXModifier*>(this), object);
    if (const Node* n = node()) {
        if (interfaceId == IID_IFXNode)
            return answer(static_cast<IFXNode*>(this), object);
        if (interfaceId == IID_IFXModifier)
            return answer(static_cast<IFXModifier*>(this), object);
        if (interfaceId == IID_IFXModel && n->kind == NodeKind::Model)
            return answer(static_cast<IFXModel*>(this), object);
        if (interfaceId == IID_IFXLight && n->kind == NodeKind::Light)
            return answer(static_cast<IFXLight*>(this), object);
        if (interfaceId == IID_IFXView && n->kind == NodeKind::View)
            return answer(static_cast<IFXView*>(this), object);
    } else if (const ModelResource* r = resource()) {
        if (interfaceId == IID_IFXModifier)
            return answer(static_cast<IFXModifier*>(this), object);
        if (interfaceId == IID_IFXAuthorCLODResource && r->kind == GeneratorKind::Mesh)
            return answer(static_cast<IFXAuthorCLODResource*>(this), object);
        if (interfaceId == IID_IFXAuthorPointSetResource && r->kind == GeneratorKind::PointSet)
            return answer(static_cast<IFXAuthorPointSetResource*>(this), object);
        if (interfaceId == IID_IFXAuthorLineSetResource && r->kind == GeneratorKind::LineSet)
            return answer(static_cast<IFXAuthorLineSetResource*>(this), object);
    } else if (texture()) {
        if (interfaceId == IID_IFXModifier)
            return answer(static_cast<IFXModifier*>(this), object);
        if (interfaceId == IID_IFXTextureObject)
            return answer(static_cast<IFXTextureObject*>(this), object);
    } else if (material()) {
        if (interfaceId == IID_IFXMaterialResource)
            return answer(static_cast<IFXMaterialResource*>(this), object);
    } else if (shader()) {
        if (interfaceId == IID_IFXShaderLitTexture)
            return answer(static_cast<IFXShaderLitTexture*>(this), object);
    } else if (light()) {
        if (interfaceId == IID_IFXLightResource)
            return answer(static_cast<IFXLightResource*>(this), object);
    } else if (view()) {
        if (interfaceId == IID_IFXViewResource)
            return answer(static_cast<IFXViewResource*>(this), object);
    }
    return kIfxErrorUnsupported;
}

IFXRESULT PaletteEntryObject::GetModifierChain(IFXModifierChain** chain)
{
    if (chain == nullptr)
        return kIfxErrorInvalidPointer;
    if (entryModifiers(state_->scene, palette_, id_) == nullptr)
        return kIfxErrorNotFound;
    auto* created = new (std::nothrow) ModifierChainObject(state_, palette_, id_);
    if (created == nullptr)
        return kIfxErrorOutOfMemory;
    *chain = created;
    return kIfxOk;
}

// ---- Nodes --------------------------------------------------------------------

IFXRESULT PaletteEntryObject::GetNumberOfParents(uint32_t* count)
{
    const Node* n = node();
    if (n == nullptr)
        return kIfxErrorNotFound;
    return give(static_cast<uint32_t>(n->parents.size()), count);
}

IFXRESULT PaletteEntryObject::GetParentNR(uint32_t parentSlot, IFXNode** parent)
{
    if (parent == nullptr)
        return kIfxErrorInvalidPointer;
    const Node* n = node();
    if (n == nullptr)
        return kIfxErrorNotFound;
    if (parentSlot >= n->parents.size())
        return kIfxErrorInvalidArgument;
    const uint32_t parentId = state_->scene.nodes.resolve(n->parents[parentSlot].name);
    return handOutEntry(state_, kIfxPaletteNode, parentId, IID_IFXNode, reinterpret_cast<void**>(parent));
}

IFXRESULT PaletteEntryObject::GetNumberOfChildren(uint32_t allDescendants, uint32_t* count)
{
    if (count == nullptr)
        return kIfxErrorInvalidPointer;
    if (node() == nullptr)
        return kIfxErrorNotFound;
    if (allDescendants == 0)
        return give(static_cast<uint32_t>(state_->childrenOf(id_).size()), count);
    // Every node below this one, once, however many paths lead to it.
    std::vector<bool> seen(state_->scene.nodes.size(), false);
    std::vector<uint32_t> stack{id_};
    seen[id_] = true;
    uint32_t total = 0;
    while (!stack.empty()) {
        const uint32_t at = stack.back();
        stack.pop_back();
        for (const uint32_t child : state_->childrenOf(at))
            if (!seen[child]) {
                seen[child] = true;
                ++total;
                stack.push_back(child);
            }
    }
    return give(total, count);
}

IFXRESULT PaletteEntryObject::GetChildNR(uint32_t index, IFXNode** child)
{
    if (child == nullptr)
        return kIfxErrorInvalidPointer;
    if (node() == nullptr)
        return kIfxErrorNotFound;
    const std::vector<uint32_t>& children = state_->childrenOf(id_);
    if (index >= children.size())
        return kIfxErrorInvalidArgument;
    return handOutEntry(state_, kIfxPaletteNode, children[index], IID_IFXNode, reinterpret_cast<void**>(child));
}

IFXRESULT PaletteEntryObject::GetMatrix(uint32_t parentSlot, IFXMatrix4x4* matrix)
{
    if (matrix == nullptr)
        return kIfxErrorInvalidPointer;
    const Node* n = node();
    if (n == nullptr)
        return kIfxErrorNotFound;
    // A node without parents stands where it is declared: at the origin.
    if (n->parents.empty() && parentSlot == 0) {
        std::copy(kIdentityMatrix.begin(), kIdentityMatrix.end(), matrix->m);
        return kIfxOk;
    }
    if (parentSlot >= n->parents.size())
        return kIfxErrorInvalidArgument;
    const Matrix4& m = n->parents[parentSlot].matrix;
    std::copy(m.begin(), m.end(), matrix->m);
    return kIfxOk;
}

IFXRESULT PaletteEntryObject::GetResourcePalette(uint32_t* paletteNumber)
{
    const Node* n = node();
    if (n == nullptr || n->kind != NodeKind::Model)
        return kIfxErrorNotFound;
    return give(uint32_t{kIfxPaletteGenerator}, paletteNumber);
}

IFXRESULT PaletteEntryObject::GetResourceIndex(uint32_t* id)
{
    const Node* n = node();
    if (n == nullptr || n->kind != NodeKind::Model)
        return kIfxErrorNotFound;
    return give(state_->scene.generators.resolve(n->resourceName), id);
}

IFXRESULT PaletteEntryObject::GetLightResource(IFXLightResource** resource)
{
    if (resource == nullptr)
        return kIfxErrorInvalidPointer;
    const Node* n = node();
    if (n == nullptr || n->kind != NodeKind::Light)
        return kIfxErrorNotFound;
    return handOutEntry(state_, kIfxPaletteLightResource, state_->scene.lights.resolve(n->resourceName),
                        IID_IFXLightResource, reinterpret_cast<void**>(resource));
}

IFXRESULT PaletteEntryObject::GetProjection(float* degrees)
{
    const Node* n = node();
    if (n == nullptr || n->kind != NodeKind::View)
        return kIfxErrorNotFound;
    if ((n->view.attributes & kViewProjectionMask) != kViewPerspective)
        return kIfxErrorUnsupported;
    return give(n->view.projection[0], degrees);
}

// ---- Model resources ----------------------------------------------------------

AuthorGeometryObject* PaletteEntryObject::authorGeometry(GeneratorKind kind, uint32_t cornersPerPrimitive,
                                                         IFXRESULT& result)
{
    const ModelResource* r = resource();
    if (r == nullptr || r->kind != kind) {
        result = kIfxErrorNotFound;
        return nullptr;
    }
    static const AuthorGeometry empty;
    const AuthorGeometry* geometry = r->geometry();
    // Geometry of another shape than the resource's kind is not handed out as it.
    if (geometry == nullptr || geometry->cornersPerPrimitive != cornersPerPrimitive)
        geometry = &empty;
    auto* created = new (std::nothrow) AuthorGeometryObject(state_, r->decoder, geometry);
    result = created ? kIfxOk : kIfxErrorOutOfMemory;
    return created;
}

IFXRESULT PaletteEntryObject::GetAuthorMesh(IFXAuthorMesh** mesh)
{
    if (mesh == nullptr)
        return kIfxErrorInvalidPointer;
    IFXRESULT result = kIfxOk;
    if (AuthorGeometryObject* created = authorGeometry(GeneratorKind::Mesh, 3, result))
        *mesh = created;
    return result;
}

IFXRESULT PaletteEntryObject::GetAuthorPointSet(IFXAuthorPointSet** pointSet)
{
    if (pointSet == nullptr)
        return kIfxErrorInvalidPointer;
    IFXRESULT result = kIfxOk;
    if (AuthorGeometryObject* created = authorGeometry(GeneratorKind::PointSet, 1, result))
        *pointSet = created;
    return result;
}

IFXRESULT PaletteEntryObject::GetAuthorLineSet(IFXAuthorLineSet** lineSet)
{
    if (lineSet == nullptr)
        return kIfxErrorInvalidPointer;
    IFXRESULT result = kIfxOk;
    if (AuthorGeometryObject* created = authorGeometry(GeneratorKind::LineSet, 2, result))
        *lineSet = created;
    return result;
}

// ---- Materials ----------------------------------------------------------------

IFXRESULT PaletteEntryObject::GetDiffuse(float rgb[3])
{
    const Material* m = material();
    return m ? giveColour(m->diffuse, rgb) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetAmbient(float rgb[3])
{
    const Material* m = material();
    return m ? giveColour(m->ambient, rgb) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetSpecular(float rgb[3])
{
    const Material* m = material();
    return m ? giveColour(m->specular, rgb) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetEmission(float rgb[3])
{
    const Material* m = material();
    return m ? giveColour(m->emissive, rgb) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetReflectivity(float* reflectivity)
{
    const Material* m = material();
    return m ? give(m->reflectivity, reflectivity) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetOpacity(float* opacity)
{
    const Material* m = material();
    return m ? give(m->opacity, opacity) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetTransparent(uint32_t* transparent)
{
    const Material* m = material();
    return m ? give(m->opacity < 1.0f ? 1u : 0u, transparent) : kIfxErrorNotFound;
}

// ---- Shaders ------------------------------------------------------------------

IFXRESULT PaletteEntryObject::GetMaterialID(uint32_t* materialId)
{
    const LitTextureShader* s = shader();
    return s ? give(state_->scene.materials.resolve(s->materialName), materialId) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetTextureID(uint32_t layer, uint32_t* textureId)
{
    const LitTextureShader* s = shader();
    if (s == nullptr)
        return kIfxErrorNotFound;
    if (layer >= kIfxMaxTextureLayers)
        return kIfxErrorInvalidArgument;
    for (const TextureLayer& l : s->layers)
        if (l.layer == layer)
            return give(state_->scene.textures.resolve(l.textureName), textureId);
    return give(0u, textureId);
}

// ---- Textures -----------------------------------------------------------------

IFXRESULT PaletteEntryObject::GetWidth(uint32_t* width)
{
    if (texture() == nullptr)
        return kIfxErrorNotFound;
    const RgbaImage* image = state_->textureImage(id_);
    return image ? give(image->width, width) : kIfxErrorUnsupported;
}

IFXRESULT PaletteEntryObject::GetHeight(uint32_t* height)
{
    if (texture() == nullptr)
        return kIfxErrorNotFound;
    const RgbaImage* image = state_->textureImage(id_);
    return image ? give(image->height, height) : kIfxErrorUnsupported;
}

IFXRESULT PaletteEntryObject::GetRenderImage(const IFXTextureOutput& output)
{
    if (texture() == nullptr)
        return kIfxErrorNotFound;
    if (output.pixels == nullptr)
        return kIfxErrorInvalidPointer;
    if (output.format != kIfxTextureFormatRgba8 || output.channelOrder != kIfxChannelOrderRgba)
        return kIfxErrorUnsupported;
    if (output.width == 0 || output.height == 0 || output.width > kMaxImageSide || output.height > kMaxImageSide ||
        output.pitch < uint64_t{output.width} * 4)
        return kIfxErrorInvalidArgument;
    const RgbaImage* image = state_->textureImage(id_);
    if (image == nullptr)
        return kIfxErrorUnsupported;
    copyScaledImage(*image, output.width, output.height, output.pixels, output.pitch);
    return kIfxOk;
}

// ---- Light and view resources -------------------------------------------------

IFXRESULT PaletteEntryObject::GetAttributes(uint8_t* attributes)
{
    const LightResource* l = light();
    return l ? give(static_cast<uint8_t>(l->attributes), attributes) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetType(uint32_t* type)
{
    const LightResource* l = light();
    return l ? give(uint32_t{l->type}, type) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetIntensity(float* intensity)
{
    const LightResource* l = light();
    return l ? give(l->intensity, intensity) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetColor(float rgb[3])
{
    const LightResource* l = light();
    return l ? giveColour(l->colour, rgb) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetAttenuation(float attenuation[3])
{
    const LightResource* l = light();
    return l ? giveColour(l->attenuation, attenuation) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetSpotAngle(float* degrees)
{
    const LightResource* l = light();
    return l ? give(l->spotAngle, degrees) : kIfxErrorNotFound;
}

IFXRESULT PaletteEntryObject::GetRootNode(uint32_t* nodeId)
{
    const ViewResource* v = view();
    if (v == nullptr)
        return kIfxErrorNotFound;
    const std::string root = v->passes.empty() ? std::string() : v->passes.front().rootNode;
    return give(state_->scene.nodes.resolve(root), nodeId);
}
