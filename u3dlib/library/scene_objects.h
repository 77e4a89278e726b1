// The objects through which heron_scan reads a loaded scene: palettes, their entries
// (nodes, model resources, shaders, materials, textures, lights, views), modifier
// chains and modifiers, and the author mesh, point set and line set of a resource.
#pragma once

#include "u3dlib/library/com_object.h"
#include "u3dlib/library/scene_state.h"

#include <memory>
#include <vector>

// Private interface id under which the scene graph hands out its shared state.
inline constexpr IFXIID IID_SceneStateAccess = {0x5e1c7a10, 0x3b2d, 0x4f61, {0x9e, 0x0a, 0x71, 0x2c, 0x44, 0xd8, 0x16, 0xb3}};

class SceneGraphObject final : public ComObject<IFXSceneGraph> {
public:
    SceneGraphObject() : state_(std::make_shared<SceneState>()) {}
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override;
    IFXRESULT GetPalette(uint32_t paletteNumber, IFXPalette** palette) override;
    const std::shared_ptr<SceneState>& state() const { return state_; }

private:
    std::shared_ptr<SceneState> state_;
};

class PaletteObject final : public ComObject<IFXPalette> {
public:
    PaletteObject(std::shared_ptr<SceneState> state, uint32_t number) : state_(std::move(state)), number_(number) {}
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override;
    IFXRESULT GetPaletteSize(uint32_t* entries) override;
    IFXRESULT GetResourcePtr(uint32_t id, const IFXIID& interfaceId, void** object) override;
    IFXRESULT GetName(uint32_t id, IFXString* name) override;
    IFXRESULT Find(const IFXString& name, uint32_t* id) override;

private:
    std::shared_ptr<SceneState> state_;
    uint32_t number_;
};

class AuthorGeometryObject;

// One palette entry. Which interfaces it answers follows from its palette and, for
// nodes and model resources, from its kind at the time of asking.
class PaletteEntryObject final
    : public ComObject<IFXModifier, IFXNode, IFXModel, IFXLight, IFXView, IFXAuthorCLODResource,
                       IFXAuthorPointSetResource, IFXAuthorLineSetResource, IFXMaterialResource, IFXShaderLitTexture,
                       IFXTextureObject, IFXLightResource, IFXViewResource> {
public:
    PaletteEntryObject(std::shared_ptr<SceneState> state, uint32_t palette, uint32_t id)
        : state_(std::move(state)), palette_(palette), id_(id)
    {
    }
    ~PaletteEntryObject() override;

    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override;

    // IFXModifier
    IFXRESULT GetModifierChain(IFXModifierChain** chain) override;
    // IFXNode
    IFXRESULT GetNumberOfParents(uint32_t* count) override;
    IFXRESULT GetParentNR(uint32_t parentSlot, IFXNode** parent) override;
    IFXRESULT GetNumberOfChildren(uint32_t allDescendants, uint32_t* count) override;
    IFXRESULT GetChildNR(uint32_t index, IFXNode** child) override;
    IFXRESULT GetMatrix(uint32_t parentSlot, IFXMatrix4x4* matrix) override;
    // IFXModel
    IFXRESULT GetResourcePalette(uint32_t* paletteNumber) override;
    IFXRESULT GetResourceIndex(uint32_t* id) override;
    // IFXLight
    IFXRESULT GetLightResource(IFXLightResource** resource) override;
    // IFXView
    IFXRESULT GetProjection(float* degrees) override;
    // Model resources
    IFXRESULT GetAuthorMesh(IFXAuthorMesh** mesh) override;
    IFXRESULT GetAuthorPointSet(IFXAuthorPointSet** pointSet) override;
    IFXRESULT GetAuthorLineSet(IFXAuthorLineSet** lineSet) override;
    // IFXMaterialResource
    IFXRESULT GetDiffuse(float rgb[3]) override;
    IFXRESULT GetAmbient(float rgb[3]) override;
    IFXRESULT GetSpecular(float rgb[3]) override;
    IFXRESULT GetEmission(float rgb[3]) override;
    IFXRESULT GetReflectivity(float* reflectivity) override;
    IFXRESULT GetOpacity(float* opacity) override;
    IFXRESULT GetTransparent(uint32_t* transparent) override;
    // IFXShaderLitTexture
    IFXRESULT GetMaterialID(uint32_t* materialId) override;
    IFXRESULT GetTextureID(uint32_t layer, uint32_t* textureId) override;
    // IFXTextureObject
    IFXRESULT GetWidth(uint32_t* width) override;
    IFXRESULT GetHeight(uint32_t* height) override;
    IFXRESULT GetRenderImage(const IFXTextureOutput& output) override;
    // IFXLightResource
    IFXRESULT GetAttributes(uint8_t* attributes) override;
    IFXRESULT GetType(uint32_t* type) override;
    IFXRESULT GetIntensity(float* intensity) override;
    IFXRESULT GetColor(float rgb[3]) override;
    IFXRESULT GetAttenuation(float attenuation[3]) override;
    IFXRESULT GetSpotAngle(float* degrees) override;
    // IFXViewResource
    IFXRESULT GetRootNode(uint32_t* nodeId) override;

    uint32_t palette() const { return palette_; }
    uint32_t id() const { return id_; }

private:
    // The entry's record, or null when the id no longer names one of this palette.
    const u3dlib::Node* node() const;
    const u3dlib::ModelResource* resource() const;
    const u3dlib::Material* material() const;
    const u3dlib::LitTextureShader* shader() const;
    const u3dlib::LightResource* light() const;
    const u3dlib::ViewResource* view() const;
    const u3dlib::Texture* texture() const;
    // Geometry of a model resource of the given kind; an empty one without geometry.
    AuthorGeometryObject* authorGeometry(u3dlib::GeneratorKind kind, uint32_t cornersPerPrimitive,
                                         IFXRESULT& result);

    std::shared_ptr<SceneState> state_;
    uint32_t palette_;
    uint32_t id_;
};

// The object of a palette entry (one reference for the caller), or null when the id
// is out of range or memory runs out.
PaletteEntryObject* entryObject(const std::shared_ptr<SceneState>& state, uint32_t paletteNumber, uint32_t id);

class ModifierChainObject final : public ComObject<IFXModifierChain> {
public:
    ModifierChainObject(std::shared_ptr<SceneState> state, uint32_t palette, uint32_t id)
        : state_(std::move(state)), palette_(palette), id_(id)
    {
    }
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override;
    IFXRESULT GetModifierCount(uint32_t* count) override;
    IFXRESULT GetModifier(uint32_t index, IFXModifier** modifier) override;

private:
    std::shared_ptr<SceneState> state_;
    uint32_t palette_;
    uint32_t id_;
};

// A modifier after the head of a chain; a shading modifier answers IFXShadingModifier.
class ModifierObject final : public ComObject<IFXModifier, IFXShadingModifier> {
public:
    ModifierObject(std::shared_ptr<SceneState> state, uint32_t palette, uint32_t id, uint32_t index)
        : state_(std::move(state)), palette_(palette), id_(id), index_(index)
    {
    }
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override;
    IFXRESULT GetModifierChain(IFXModifierChain** chain) override;
    IFXRESULT GetElementShaderList(uint32_t element, IFXShaderList** list) override;

private:
    const u3dlib::Modifier* modifier() const;

    std::shared_ptr<SceneState> state_;
    uint32_t palette_;
    uint32_t id_;
    uint32_t index_;
};

class ShaderListObject final : public ComObject<IFXShaderList> {
public:
    explicit ShaderListObject(std::vector<uint32_t> shaderIds) : shaderIds_(std::move(shaderIds)) {}
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override;
    IFXRESULT GetNumShaders(uint32_t* count) override;
    IFXRESULT GetShader(uint32_t index, uint32_t* shaderId) override;

private:
    std::vector<uint32_t> shaderIds_;
};

// The geometry of one resource as a mesh, point set or line set. It keeps the scene
// state, and so the geometry, alive while it is held.
class AuthorGeometryObject final : public ComObject<IFXAuthorMesh, IFXAuthorPointSet, IFXAuthorLineSet> {
public:
    AuthorGeometryObject(std::shared_ptr<SceneState> state, std::shared_ptr<u3dlib::GeneratorDecoder> owner,
                         const u3dlib::AuthorGeometry* geometry);
    IFXRESULT QueryInterface(const IFXIID& interfaceId, void** object) override;

    IFXRESULT Lock() override;
    IFXRESULT Unlock() override;
    IFXRESULT GetMeshDesc(IFXAuthorMeshDesc* desc) override;
    IFXRESULT GetPointSetDesc(IFXAuthorMeshDesc* desc) override { return GetMeshDesc(desc); }
    IFXRESULT GetLineSetDesc(IFXAuthorMeshDesc* desc) override { return GetMeshDesc(desc); }
    IFXRESULT GetPositions(const IFXVector3** positions) override;
    IFXRESULT GetNormals(const IFXVector3** normals) override;
    IFXRESULT GetDiffuseColors(const IFXVector4** colors) override;
    IFXRESULT GetTexCoords(const IFXVector4** coordinates) override;
    IFXRESULT GetMaterials(const IFXAuthorMaterial** materials) override;
    // Meshes
    IFXRESULT GetPositionFaces(const IFXAuthorFace** faces) override;
    IFXRESULT GetFaceMaterials(const uint32_t** materialIds) override;
    IFXRESULT GetNormalFaces(const IFXAuthorFace** faces) override;
    IFXRESULT GetDiffuseFaces(const IFXAuthorFace** faces) override;
    IFXRESULT GetTexFaces(uint32_t layer, const IFXAuthorFace** faces) override;
    // Point sets
    IFXRESULT GetPositionPoints(const uint32_t** indices) override;
    IFXRESULT GetPointMaterials(const uint32_t** materialIds) override;
    IFXRESULT GetNormalPoints(const uint32_t** indices) override;
    IFXRESULT GetDiffusePoints(const uint32_t** indices) override;
    // Line sets
    IFXRESULT GetPositionLines(const IFXAuthorLine** lines) override;
    IFXRESULT GetLineMaterials(const uint32_t** materialIds) override;
    IFXRESULT GetNormalLines(const IFXAuthorLine** lines) override;
    IFXRESULT GetDiffuseLines(const IFXAuthorLine** lines) override;

private:
    IFXRESULT faces(const std::vector<uint32_t>& indices, std::vector<IFXAuthorFace>& cache,
                    const IFXAuthorFace** out);
    IFXRESULT lines(const std::vector<uint32_t>& indices, std::vector<IFXAuthorLine>& cache,
                    const IFXAuthorLine** out);

    std::shared_ptr<SceneState> state_;
    std::shared_ptr<u3dlib::GeneratorDecoder> owner_;
    const u3dlib::AuthorGeometry* geometry_;
    uint32_t locks_ = 0;
    // Index arrays in the interface's record types, made on first request.
    std::vector<IFXAuthorFace> diffuseFaces_;
    std::vector<IFXAuthorFace> texFaces_[kIfxMaxTextureLayers];
    std::vector<IFXAuthorLine> positionLines_, normalLines_, diffuseLines_;
};
