// Stand-in library components for tests: a scene graph built in memory with nodes,
// palettes, resources, modifier chains, shaders, materials and textures. Objects are
// owned by the FakeScene; references only count, so a test can check that the code
// under test gave back every reference it took.
#pragma once

#include "u3dlib/ifx_interface.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

inline long gOutstandingReferences = 0;

class FakeBase {
public:
    virtual ~FakeBase() = default;
    virtual IFXRESULT ask(const IFXIID& interfaceId, void** object) = 0;
};

template <typename... Interfaces>
class Fake : public FakeBase, public Interfaces... {
public:
    uint32_t AddRef() override { return ++gOutstandingReferences, ++references; }
    uint32_t Release() override { return --gOutstandingReferences, --references; }
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override
    {
        if (object == nullptr)
            return kIfxErrorInvalidPointer;
        void* answer = lookup(interfaceId);
        if (answer == nullptr)
            return kIfxErrorUnsupported;
        AddRef();
        *object = answer;
        return kIfxOk;
    }
    IFXRESULT ask(const IFXIID& interfaceId, void** object) override { return QueryInterface(interfaceId, object); }
    virtual void* lookup(const IFXIID& interfaceId) = 0;

    long references = 0;
};

template <typename T>
IFXRESULT give(T value, T* out)
{
    if (out == nullptr)
        return kIfxErrorInvalidPointer;
    *out = value;
    return kIfxOk;
}

// Hands out a reference to an object the scene owns.
template <typename T, typename P>
IFXRESULT handOut(P* object, T** out)
{
    if (out == nullptr)
        return kIfxErrorInvalidPointer;
    if (object == nullptr)
        return kIfxErrorNotFound;
    object->AddRef();
    *out = object;
    return kIfxOk;
}

template <typename T>
IFXRESULT giveArray(const std::vector<T>& values, const T** out)
{
    return values.empty() ? kIfxErrorNotFound : give(values.data(), out);
}

// A flat index array seen as the library's face or line records.
template <typename Record>
IFXRESULT giveIndices(const std::vector<uint32_t>& values, const Record** out)
{
    return values.empty() ? kIfxErrorNotFound : give(reinterpret_cast<const Record*>(values.data()), out);
}

inline IFXRESULT giveColour(const std::array<float, 3>& colour, float rgb[3])
{
    std::copy(colour.begin(), colour.end(), rgb);
    return kIfxOk;
}

class FakeModifierChain;
class FakeLightResource;

class FakeNode final : public Fake<IFXNode, IFXModel, IFXLight, IFXView, IFXModifier> {
public:
    std::vector<FakeNode*> parents;
    std::vector<IFXMatrix4x4> matrices; // per parent slot
    std::vector<FakeNode*> children;
    bool isModel = false, isLight = false, isView = false;
    uint32_t resourceId = 0;
    FakeLightResource* light = nullptr;
    bool hasProjection = false;
    float projectionDegrees = 0;
    FakeModifierChain* chain = nullptr;

    void* lookup(const IFXIID& id) override;
    IFXRESULT GetNumberOfParents(uint32_t* count) override { return give(uint32_t(parents.size()), count); }
    IFXRESULT GetParentNR(uint32_t slot, IFXNode** parent) override
    {
        return slot < parents.size() ? handOut(static_cast<IFXNode*>(parents[slot]), parent) : kIfxErrorInvalidArgument;
    }
    IFXRESULT GetNumberOfChildren(uint32_t, uint32_t* count) override { return give(uint32_t(children.size()), count); }
    IFXRESULT GetChildNR(uint32_t index, IFXNode** child) override
    {
        return index < children.size() ? handOut(static_cast<IFXNode*>(children[index]), child) : kIfxErrorInvalidArgument;
    }
    IFXRESULT GetMatrix(uint32_t slot, IFXMatrix4x4* matrix) override
    {
        return slot < matrices.size() ? give(matrices[slot], matrix) : kIfxErrorInvalidArgument;
    }
    IFXRESULT GetResourcePalette(uint32_t* palette) override { return give(uint32_t{kIfxPaletteGenerator}, palette); }
    IFXRESULT GetResourceIndex(uint32_t* id) override { return give(resourceId, id); }
    IFXRESULT GetLightResource(IFXLightResource** resource) override;
    IFXRESULT GetProjection(float* degrees) override
    {
        return hasProjection ? give(projectionDegrees, degrees) : kIfxErrorUnsupported;
    }
    IFXRESULT GetModifierChain(IFXModifierChain** out) override;
};

class FakeLightResource final : public Fake<IFXLightResource> {
public:
    uint8_t attributes = kIfxLightEnabled;
    uint32_t type = kIfxLightPoint;
    float intensity = 1;
    std::array<float, 3> colour{1, 1, 1};
    std::array<float, 3> attenuation{1, 0, 0};
    bool attenuationFails = false;
    float spotAngle = 0;

    void* lookup(const IFXIID& id) override { return id == IID_IFXUnknown ? static_cast<IFXLightResource*>(this) : nullptr; }
    IFXRESULT GetAttributes(uint8_t* value) override { return give(attributes, value); }
    IFXRESULT GetType(uint32_t* value) override { return give(type, value); }
    IFXRESULT GetIntensity(float* value) override { return give(intensity, value); }
    IFXRESULT GetColor(float rgb[3]) override { return giveColour(colour, rgb); }
    IFXRESULT GetAttenuation(float value[3]) override
    {
        return attenuationFails ? kIfxErrorUnsupported : giveColour(attenuation, value);
    }
    IFXRESULT GetSpotAngle(float* degrees) override { return give(spotAngle, degrees); }
};

class FakeModifierChain final : public Fake<IFXModifierChain> {
public:
    std::vector<IFXModifier*> modifiers;

    void* lookup(const IFXIID& id) override { return id == IID_IFXUnknown ? static_cast<IFXModifierChain*>(this) : nullptr; }
    IFXRESULT GetModifierCount(uint32_t* count) override { return give(uint32_t(modifiers.size()), count); }
    IFXRESULT GetModifier(uint32_t index, IFXModifier** modifier) override
    {
        return index < modifiers.size() ? handOut(modifiers[index], modifier) : kIfxErrorInvalidArgument;
    }
};

class FakeShaderList final : public Fake<IFXShaderList> {
public:
    std::vector<uint32_t> shaders;

    void* lookup(const IFXIID& id) override { return id == IID_IFXUnknown ? static_cast<IFXShaderList*>(this) : nullptr; }
    IFXRESULT GetNumShaders(uint32_t* count) override { return give(uint32_t(shaders.size()), count); }
    IFXRESULT GetShader(uint32_t index, uint32_t* id) override
    {
        return index < shaders.size() ? give(shaders[index], id) : kIfxErrorInvalidArgument;
    }
};

// A modifier that is not a shading modifier, for chains.
class FakePlainModifier final : public Fake<IFXModifier> {
public:
    void* lookup(const IFXIID& id) override
    {
        return id == IID_IFXModifier || id == IID_IFXUnknown ? static_cast<IFXModifier*>(this) : nullptr;
    }
    IFXRESULT GetModifierChain(IFXModifierChain**) override { return kIfxErrorUnsupported; }
};

class FakeShadingModifier final : public Fake<IFXShadingModifier, IFXModifier> {
public:
    FakeShaderList list; // list 0; the others are never asked for

    void* lookup(const IFXIID& id) override
    {
        if (id == IID_IFXShadingModifier)
            return static_cast<IFXShadingModifier*>(this);
        return id == IID_IFXModifier || id == IID_IFXUnknown ? static_cast<IFXModifier*>(this) : nullptr;
    }
    IFXRESULT GetElementShaderList(uint32_t element, IFXShaderList** out) override
    {
        return element != 0 ? kIfxErrorNotFound : handOut(static_cast<IFXShaderList*>(&list), out);
    }
    IFXRESULT GetModifierChain(IFXModifierChain**) override { return kIfxErrorUnsupported; }
};

class FakeShader final : public Fake<IFXShaderLitTexture> {
public:
    uint32_t materialId = 0;
    uint32_t textureId = 0;

    void* lookup(const IFXIID& id) override
    {
        return id == IID_IFXShaderLitTexture ? static_cast<IFXShaderLitTexture*>(this) : nullptr;
    }
    IFXRESULT GetMaterialID(uint32_t* id) override { return give(materialId, id); }
    IFXRESULT GetTextureID(uint32_t layer, uint32_t* id) override { return give(layer == 0 ? textureId : 0u, id); }
};

class FakeMaterial final : public Fake<IFXMaterialResource> {
public:
    std::array<float, 3> diffuse{1, 1, 1}, ambient{0, 0, 0}, specular{0, 0, 0}, emission{0, 0, 0};
    float reflectivity = 0;
    float opacity = 1;
    bool opacityFails = false;
    uint32_t transparent = 0;

    void* lookup(const IFXIID& id) override
    {
        return id == IID_IFXMaterialResource ? static_cast<IFXMaterialResource*>(this) : nullptr;
    }
    IFXRESULT GetDiffuse(float rgb[3]) override { return giveColour(diffuse, rgb); }
    IFXRESULT GetAmbient(float rgb[3]) override { return giveColour(ambient, rgb); }
    IFXRESULT GetSpecular(float rgb[3]) override { return giveColour(specular, rgb); }
    IFXRESULT GetEmission(float rgb[3]) override { return giveColour(emission, rgb); }
    IFXRESULT GetReflectivity(float* value) override { return give(reflectivity, value); }
    IFXRESULT GetOpacity(float* value) override { return opacityFails ? kIfxErrorUnsupported : give(opacity, value); }
    IFXRESULT GetTransparent(uint32_t* value) override { return give(transparent, value); }
};

class FakeTexture final : public Fake<IFXTextureObject> {
public:
    uint32_t width = 1, height = 1;
    std::array<uint8_t, 4> rgba{0, 0, 0, 255};
    bool decodeFails = false;

    void* lookup(const IFXIID& id) override
    {
        return id == IID_IFXTextureObject ? static_cast<IFXTextureObject*>(this) : nullptr;
    }
    IFXRESULT GetWidth(uint32_t* value) override { return give(width, value); }
    IFXRESULT GetHeight(uint32_t* value) override { return give(height, value); }
    IFXRESULT GetRenderImage(const IFXTextureOutput& output) override;
};

enum class GeometryKind { Mesh, PointSet, LineSet };

// A model resource that is also its own author mesh, point set or line set. Index
// arrays are flat: three per face, one per point, two per line. An empty array is absent.
class FakeGeometry final
    : public Fake<IFXAuthorCLODResource, IFXAuthorPointSetResource, IFXAuthorLineSetResource, IFXModifier,
                  IFXAuthorMesh, IFXAuthorPointSet, IFXAuthorLineSet> {
public:
    GeometryKind kind = GeometryKind::Mesh;
    std::vector<IFXVector3> positions;
    std::vector<uint32_t> positionIndices;
    std::vector<uint32_t> materialIds;
    uint32_t materialCount = 0;
    std::vector<IFXVector3> normals;
    std::vector<uint32_t> normalIndices;
    std::vector<IFXVector4> diffuse;
    std::vector<uint32_t> diffuseIndices;
    std::vector<IFXVector4> texCoords;
    std::vector<uint32_t> texIndices;
    std::vector<IFXAuthorMaterial> authorMaterials;
    FakeModifierChain* chain = nullptr;
    int locks = 0; // Lock minus Unlock

    void* lookup(const IFXIID& id) override;
    IFXRESULT GetModifierChain(IFXModifierChain** out) override;
    IFXRESULT GetAuthorMesh(IFXAuthorMesh** out) override { return handOut(static_cast<IFXAuthorMesh*>(this), out); }
    IFXRESULT GetAuthorPointSet(IFXAuthorPointSet** out) override
    {
        return handOut(static_cast<IFXAuthorPointSet*>(this), out);
    }
    IFXRESULT GetAuthorLineSet(IFXAuthorLineSet** out) override
    {
        return handOut(static_cast<IFXAuthorLineSet*>(this), out);
    }
    IFXRESULT Lock() override { return ++locks, kIfxOk; }
    IFXRESULT Unlock() override { return --locks, kIfxOk; }
    IFXRESULT GetMeshDesc(IFXAuthorMeshDesc* desc) override;
    IFXRESULT GetPointSetDesc(IFXAuthorMeshDesc* desc) override { return GetMeshDesc(desc); }
    IFXRESULT GetLineSetDesc(IFXAuthorMeshDesc* desc) override { return GetMeshDesc(desc); }
    IFXRESULT GetPositions(const IFXVector3** out) override { return giveArray(positions, out); }
    IFXRESULT GetPositionFaces(const IFXAuthorFace** out) override { return giveIndices(positionIndices, out); }
    IFXRESULT GetPositionPoints(const uint32_t** out) override { return giveArray(positionIndices, out); }
    IFXRESULT GetPositionLines(const IFXAuthorLine** out) override { return giveIndices(positionIndices, out); }
    IFXRESULT GetFaceMaterials(const uint32_t** out) override { return giveArray(materialIds, out); }
    IFXRESULT GetPointMaterials(const uint32_t** out) override { return giveArray(materialIds, out); }
    IFXRESULT GetLineMaterials(const uint32_t** out) override { return giveArray(materialIds, out); }
    IFXRESULT GetNormals(const IFXVector3** out) override { return giveArray(normals, out); }
    IFXRESULT GetNormalFaces(const IFXAuthorFace** out) override { return giveIndices(normalIndices, out); }
    IFXRESULT GetNormalPoints(const uint32_t** out) override { return giveArray(normalIndices, out); }
    IFXRESULT GetNormalLines(const IFXAuthorLine** out) override { return giveIndices(normalIndices, out); }
    IFXRESULT GetDiffuseColors(const IFXVector4** out) override { return giveArray(diffuse, out); }
    IFXRESULT GetDiffuseFaces(const IFXAuthorFace** out) override { return giveIndices(diffuseIndices, out); }
    IFXRESULT GetDiffusePoints(const uint32_t** out) override { return giveArray(diffuseIndices, out); }
    IFXRESULT GetDiffuseLines(const IFXAuthorLine** out) override { return giveIndices(diffuseIndices, out); }
    IFXRESULT GetTexCoords(const IFXVector4** out) override { return giveArray(texCoords, out); }
    IFXRESULT GetTexFaces(uint32_t layer, const IFXAuthorFace** out) override
    {
        return layer == 0 ? giveIndices(texIndices, out) : kIfxErrorNotFound;
    }
    IFXRESULT GetMaterials(const IFXAuthorMaterial** out) override { return giveArray(authorMaterials, out); }
};

// Only its name matters (view resources of palette 8).
class FakeViewResource final : public Fake<IFXViewResource> {
public:
    void* lookup(const IFXIID& id) override
    {
        return id == IID_IFXViewResource ? static_cast<IFXViewResource*>(this) : nullptr;
    }
    IFXRESULT GetRootNode(uint32_t* id) override { return give(0u, id); }
};

class FakePalette final : public Fake<IFXPalette> {
public:
    struct Entry {
        std::u16string name;
        FakeBase* object;
    };
    std::vector<Entry> entries;

    void* lookup(const IFXIID& id) override { return id == IID_IFXUnknown ? static_cast<IFXPalette*>(this) : nullptr; }
    IFXRESULT GetPaletteSize(uint32_t* count) override { return give(uint32_t(entries.size()), count); }
    IFXRESULT GetResourcePtr(uint32_t id, const IFXIID& interfaceId, void** object) override
    {
        if (id >= entries.size() || entries[id].object == nullptr)
            return kIfxErrorNotFound;
        return entries[id].object->ask(interfaceId, object);
    }
    IFXRESULT GetName(uint32_t id, IFXString* name) override
    {
        if (id >= entries.size() || name == nullptr)
            return kIfxErrorNotFound;
        return name->Assign(entries[id].name.data(), uint32_t(entries[id].name.size()));
    }
    IFXRESULT Find(const IFXString& name, uint32_t* id) override
    {
        for (uint32_t i = 0; i < entries.size(); ++i)
            if (entries[i].name == std::u16string(name.Raw(), name.Length()))
                return give(i, id);
        return kIfxErrorNotFound;
    }
};

class FakeSceneGraph final : public Fake<IFXSceneGraph> {
public:
    std::array<FakePalette*, kIfxPaletteCount> palettes{};

    void* lookup(const IFXIID& id) override
    {
        return id == IID_IFXSceneGraph || id == IID_IFXUnknown ? static_cast<IFXSceneGraph*>(this) : nullptr;
    }
    IFXRESULT GetPalette(uint32_t number, IFXPalette** palette) override
    {
        return number < palettes.size() ? handOut(static_cast<IFXPalette*>(palettes[number]), palette)
                                        : kIfxErrorInvalidArgument;
    }
};

// Owns every fake object of one test.
class FakeScene {
public:
    FakeScene();

    template <typename T>
    T* make()
    {
        auto object = std::make_unique<T>();
        T* raw = object.get();
        objects_.push_back(std::move(object));
        return raw;
    }

    FakeSceneGraph* graph() { return graph_; }
    FakePalette& palette(uint32_t number) { return *graph_->palettes[number]; }
    // Puts an object into a palette under a name; returns its id.
    uint32_t add(uint32_t paletteNumber, const std::string& name, FakeBase* object);

    FakeNode* node(const std::string& name);
    FakeNode* model(const std::string& name, uint32_t resourceId);
    FakeGeometry* geometry(const std::string& name, GeometryKind kind = GeometryKind::Mesh);
    FakeShadingModifier* shading(const std::vector<uint32_t>& shaderIds);
    FakeModifierChain* chain(std::vector<IFXModifier*> modifiers);
    uint32_t material(const std::string& name, std::array<float, 3> diffuse);
    uint32_t shader(const std::string& name, uint32_t materialId, uint32_t textureId = 0);
    uint32_t texture(const std::string& name, uint32_t width, uint32_t height, std::array<uint8_t, 4> rgba);

    // Hangs child below parent (once more when called again) with its local matrix.
    static void link(FakeNode* parent, FakeNode* child, const IFXMatrix4x4& local);

private:
    std::vector<std::unique_ptr<FakeBase>> objects_;
    FakeSceneGraph* graph_;
};

IFXMatrix4x4 translation(float x, float y, float z);
IFXMatrix4x4 scaling(float x, float y, float z);
