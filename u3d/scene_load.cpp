#include "u3d/scene_load.h"

#include "runtime/platform.h"
#include "u3d/appearance.h"
#include "u3d/external_references.h"
#include "u3d/ifx_binding.h"
#include "u3d/ifx_ref.h"
#include "u3d/matrix4.h"
#include "u3d/mesh_extraction.h"
#include "u3d/scene_collections.h"
#include "u3d/scene_traversal.h"
#include "u3d/texture_atlas.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr const char* kEmptyStreamMessage = "empty or missing /3DD stream";
constexpr const char* kInitializationMessage = "U3D library initialization failed";
constexpr const char* kTempFileMessage = "unable to create temp file for reading";
constexpr const char* kSetupMessage = "U3D reader initialization failed (code 0x%08x)";
constexpr const char* kOpenMessage = "opening the temporary U3D file failed (code 0x%08x)";
constexpr const char* kReferenceLimitsMessage =
    "the U3D file references external files too deeply, too many of them, or in a loop (external references "
    "are limited to 4 levels and 32 files)";
constexpr const char* kCorruptMessage =
    "the U3D file is corrupt or in an invalid format (Load() failed, code 0x%08x)";
constexpr const char* kOverflowMessage =
    "the U3D scene expands into too many parts (shared nodes instanced along too many paths): over the limit of "
    "%u parts or %u vertices";
constexpr const char* kNoMeshMessage = "the U3D file contains no mesh (only point/line sets or no geometry)";
constexpr const char* kNoReadableMeshMessage = "none of the %u mesh resources in the file contain readable geometry";
constexpr const char* kUnreadableMeshMessage = "the one mesh resource in the file contains no readable geometry";

constexpr size_t kMessageBuffer = 256;
constexpr size_t kMaxPrintedNameBytes = 120;
constexpr size_t kCutNameBytes = 117;
constexpr float kDegreesToRadians = 0.017453292f;
constexpr double kKeyLightMinLength = 1e-6;

char* duplicateText(const std::string& text)
{
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy != nullptr)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

char* formatMessage(const char* format, ...)
{
    char buffer[kMessageBuffer];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return duplicateText(buffer);
}

unsigned codeOf(IFXRESULT result)
{
    return static_cast<uint32_t>(result);
}

template <typename T>
T* heapCopy(const std::vector<T>& values)
{
    if (values.empty())
        return nullptr;
    T* copy = static_cast<T*>(std::malloc(values.size() * sizeof(T)));
    if (copy != nullptr)
        std::memcpy(copy, values.data(), values.size() * sizeof(T));
    return copy;
}

// The copy, with the vector's memory given back at once, so that a scene's arrays
// are never held twice over.
template <typename T>
T* takeHeapCopy(std::vector<T>& values)
{
    T* copy = heapCopy(values);
    std::vector<T>().swap(values);
    return copy;
}

// The large per-vertex and per-triangle arrays are handed over without a copy.
template <typename T>
T* takeHeapCopy(HeapArray<T>& values)
{
    return values.release();
}

// The library's components for one load, released in the order they must go.
struct LoadComponents {
    IfxRef<IFXCoreServices> core;
    IfxRef<IFXSceneGraph> sceneGraph;
    IfxRef<IFXLoadManager> loadManager;
    IfxRef<IFXReadBuffer> readBuffer;
    IfxRef<IFXStdio> file;        // when the buffer cannot be lent the bytes
    IfxRef<IFXMemoryStdio> memory; // when it can
    bool open = false;

    LoadComponents() = default;
    LoadComponents(const LoadComponents&) = delete;
    LoadComponents& operator=(const LoadComponents&) = delete;
    ~LoadComponents()
    {
        close();
        memory.reset();
        file.reset();
        readBuffer.reset();
        loadManager.reset();
        sceneGraph.reset();
        core.reset();
    }
    void close()
    {
        if (open)
            memory ? memory->Close() : file->Close();
        open = false;
    }
};

class TempFile {
public:
    TempFile() = default;
    ~TempFile() { reset(nullptr); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    void reset(char* path)
    {
        if (path_ != nullptr) {
            deleteFileUtf8(path_);
            std::free(path_);
        }
        path_ = path;
    }
    const char* path() const { return path_; }

private:
    char* path_ = nullptr;
};

class PublishedAppearance {
public:
    PublishedAppearance(std::vector<MaterialRecord>* materials, const RawShadingFallbackMap* fallback)
    {
        publishAppearanceContext(materials, fallback);
    }
    ~PublishedAppearance() { withdrawAppearanceContext(); }
    PublishedAppearance(const PublishedAppearance&) = delete;
    PublishedAppearance& operator=(const PublishedAppearance&) = delete;
};

template <typename T>
IFXRESULT makeComponent(const IFXCID& componentId, const IFXIID& interfaceId, IfxRef<T>& out)
{
    const IFXRESULT r = IFXCreateComponent(componentId, interfaceId, out.putVoid());
    if (ifxFailed(r))
        out.forget();
    return ifxSucceeded(r) && !out ? kIfxErrorInvalidPointer : r;
}

// Builds the core services, load manager and read buffer; the code of the first
// failing step, or success.
IFXRESULT setUpComponents(LoadComponents& c, const char* documentFolder)
{
    IFXRESULT r = makeComponent(CID_IFXCoreServices, IID_IFXCoreServices, c.core);
    if (ifxFailed(r) || ifxFailed(r = c.core->Initialize(0, 1.0)))
        return r;
    IFXString base;
    if (ifxFailed(r = base.AssignUtf8(documentFolder ? documentFolder : "")) ||
        ifxFailed(r = c.core->SetBaseURL(base)))
        return r;
    if (ifxFailed(r = c.core->GetSceneGraph(IID_IFXSceneGraph, c.sceneGraph.putVoid()))) {
        c.sceneGraph.forget();
        return r;
    }
    if (!c.sceneGraph)
        return kIfxErrorInvalidPointer;
    if (ifxFailed(r = makeComponent(CID_IFXLoadManager, IID_IFXLoadManager, c.loadManager)) ||
        ifxFailed(r = c.loadManager->Initialize(c.core.get())))
        return r;
    // A buffer that reads the bytes where they lie spares writing them out and
    // reading them back; a library without one reads a temporary file.
    if (ifxSucceeded(makeComponent(CID_IFXReadBuffer, IID_IFXMemoryStdio, c.memory))) {
        if (ifxFailed(r = c.memory->QueryInterface(IID_IFXReadBuffer, c.readBuffer.putVoid())))
            c.readBuffer.forget();
        return ifxSucceeded(r) && !c.readBuffer ? kIfxErrorInvalidPointer : r;
    }
    if (ifxFailed(r = makeComponent(CID_IFXReadBuffer, IID_IFXReadBuffer, c.readBuffer)))
        return r;
    if (ifxFailed(r = c.readBuffer->QueryInterface(IID_IFXStdio, c.file.putVoid()))) {
        c.file.forget();
        return r;
    }
    return c.file ? kIfxOk : kIfxErrorInvalidPointer;
}

// Opens the read buffer over the bytes, lent or through a temporary file; the
// failure message, or null.
char* openReadBuffer(LoadComponents& c, const uint8_t* data, uint32_t size, TempFile& temp)
{
    IFXRESULT r = kIfxOk;
    if (c.memory) {
        if (ifxFailed(r = c.memory->OpenMemory(data, size)))
            return formatMessage(kOpenMessage, codeOf(r));
    } else {
        temp.reset(writeTempFile(kU3dTempPrefix, data, size));
        if (temp.path() == nullptr)
            return duplicateText(kTempFileMessage);
        IFXString path;
        if (ifxFailed(r = path.AssignUtf8(temp.path())) || ifxFailed(r = c.file->Open(path)))
            return formatMessage(kOpenMessage, codeOf(r));
    }
    c.open = true;
    return nullptr;
}

// The two values of the file header the library's header reader reports; best effort.
void readHeaderValues(LoadComponents& c, U3dModel& model)
{
    IfxRef<IFXReadBufferX> buffer = queryInterface<IFXReadBufferX>(c.readBuffer.get(), IID_IFXReadBufferX);
    IfxRef<IFXHeaderReader> reader;
    if (!buffer || ifxFailed(makeComponent(CID_IFXHeaderReader, IID_IFXHeaderReader, reader)))
        return;
    uint32_t profile = 0, declarationSize = 0;
    uint64_t fileSize = 0;
    if (!reader || ifxFailed(reader->Initialize(c.core.get(), buffer.get(), 0)) ||
        ifxFailed(reader->GetProfile(&profile)) || ifxFailed(reader->GetDeclarationSize(&declarationSize)) ||
        ifxFailed(reader->GetFileSize(&fileSize)))
        return;
    model.headerValue32 = declarationSize;
    model.headerValue64 = fileSize;
    model.hasHeaderValues = 1;
}

void setKeyLight(const SceneCollections& c, U3dModel& model)
{
    const auto light = std::find_if(c.lights.begin(), c.lights.end(),
                                    [](const LightRecord& l) { return l.type != kIfxLightAmbient; });
    const size_t vertexCount = c.vertexCount();
    if (vertexCount == 0 || light == c.lights.end())
        return;
    double v[3];
    if (light->type == kIfxLightDirectional) {
        for (int i = 0; i < 3; ++i)
            v[i] = -double{light->direction[i]};
    } else {
        double sum[3] = {0, 0, 0};
        for (size_t k = 0; k < vertexCount; ++k)
            for (int i = 0; i < 3; ++i)
                sum[i] += c.vertices[k * 3 + i];
        for (int i = 0; i < 3; ++i)
            v[i] = light->position[i] - sum[i] / static_cast<double>(vertexCount);
    }
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > kKeyLightMinLength))
        return;
    model.keyLightYaw = std::atan2(static_cast<float>(v[1] / length), static_cast<float>(v[0] / length));
    model.keyLightPitch = std::asin(std::clamp(static_cast<float>(v[2] / length), -1.0f, 1.0f));
    model.hasKeyLight = 1;
}

void freeGeometry(U3dModel& model)
{
    for (void* array : {static_cast<void*>(model.vertices), static_cast<void*>(model.triangles),
                        static_cast<void*>(model.colours), static_cast<void*>(model.points),
                        static_cast<void*>(model.lines), static_cast<void*>(model.uvs),
                        static_cast<void*>(model.texturePixels)})
        std::free(array);
    model.vertices = nullptr;
    model.triangles = nullptr;
    model.colours = nullptr;
    model.points = nullptr;
    model.lines = nullptr;
    model.uvs = nullptr;
    model.texturePixels = nullptr;
    model.textureWidth = model.textureHeight = 0;
    model.vertexCount = model.triangleCount = model.pointCount = model.lineCount = 0;
}

// Vertices, triangles, colours, points, lines and the texture; false (and nothing
// kept) when an array cannot be allocated.
bool fillGeometry(IFXSceneGraph* sceneGraph, SceneCollections& c, U3dModel& model)
{
    c.padPerVertexArrays();
    const uint32_t vertexCount = c.vertexCount();
    const size_t triangleValues = c.triangles.size(), pointValues = c.points.size(), lineValues = c.lines.size();
    const bool textured = chooseTexture(sceneGraph, c.textureCandidates, c.texCoords, c.texSources, model);
    model.vertices = takeHeapCopy(c.vertices);
    model.colours = takeHeapCopy(c.colours);
    model.triangles = takeHeapCopy(c.triangles);
    model.points = takeHeapCopy(c.points);
    model.lines = takeHeapCopy(c.lines);
    if (textured)
        model.uvs = takeHeapCopy(c.texCoords);
    if (!model.vertices || !model.colours || (triangleValues != 0 && !model.triangles) ||
        (pointValues != 0 && !model.points) || (lineValues != 0 && !model.lines) || (textured && !model.uvs)) {
        freeGeometry(model);
        return false;
    }
    model.vertexCount = vertexCount;
    model.triangleCount = static_cast<uint32_t>(triangleValues / 3);
    model.pointCount = static_cast<uint32_t>(pointValues);
    model.lineCount = static_cast<uint32_t>(lineValues / 2);
    return true;
}

// A failed load hands over only its views, key light and header values.
void keepOnlyFailureFields(U3dModel& model)
{
    U3dModel kept{};
    kept.viewRecords = model.viewRecords;
    kept.viewCount = model.viewCount;
    std::memcpy(kept.defaultViewRotation, model.defaultViewRotation, sizeof kept.defaultViewRotation);
    kept.hasDefaultView = model.hasDefaultView;
    kept.keyLightYaw = model.keyLightYaw;
    kept.keyLightPitch = model.keyLightPitch;
    kept.hasKeyLight = model.hasKeyLight;
    kept.headerValue32 = model.headerValue32;
    kept.headerValue64 = model.headerValue64;
    kept.hasHeaderValues = model.hasHeaderValues;
    model.viewRecords = nullptr;
    releaseU3dModel(&model);
    model = kept;
}

bool fillFromTraversal(IFXSceneGraph* sceneGraph, SceneCollections& c, const std::vector<MaterialRecord>& materials,
                       U3dModel& model)
{
    if (!fillGeometry(sceneGraph, c, model))
        return false;
    model.nodeRecords = heapCopy(c.nodeRecords);
    model.nodeCount = model.nodeRecords ? static_cast<uint32_t>(c.nodeRecords.size()) : 0;
    const bool anyNormal = std::any_of(c.normals.begin(), c.normals.end(), [](float n) { return n != 0; });
    if (anyNormal && c.normals.size() == size_t{model.vertexCount} * 3)
        model.normals = takeHeapCopy(c.normals);
    if (materials.size() > 1 && c.vertexMaterials.size() == model.vertexCount) {
        model.vertexMaterials = takeHeapCopy(c.vertexMaterials);
        model.materials = heapCopy(materials);
        if (!model.vertexMaterials || !model.materials) {
            std::free(model.vertexMaterials);
            std::free(model.materials);
            model.vertexMaterials = nullptr;
            model.materials = nullptr;
        } else {
            model.materialCount = static_cast<uint32_t>(materials.size());
        }
    }
    model.lightCount = static_cast<uint32_t>(std::min<size_t>(c.lights.size(), kMaxLightRecords));
    std::copy_n(c.lights.begin(), model.lightCount, model.lights);
    return true;
}

// The first model resource that yields a mesh, untransformed, as one node.
bool fillFromFirstMesh(IFXSceneGraph* sceneGraph, U3dModel& model, char*& message)
{
    IfxRef<IFXPalette> resources = scenePalette(sceneGraph, kIfxPaletteGenerator);
    uint32_t count = 0;
    if (!resources || ifxFailed(resources->GetPaletteSize(&count)))
        count = 0;
    if (count == 0) {
        message = duplicateText(kNoMeshMessage);
        return false;
    }
    uint32_t meshes = 0; // declared ones: not point or line sets, nor the palette's unnamed default
    for (uint32_t id = 0; id < count; ++id) {
        IfxRef<IFXAuthorCLODResource> mesh =
            paletteEntryAs<IFXAuthorCLODResource>(resources.get(), id, IID_IFXAuthorCLODResource);
        if (!mesh)
            continue;
        IFXString name;
        if (id != 0 || (ifxSucceeded(resources->GetName(id, &name)) && name.Length() != 0))
            ++meshes;
        IfxRef<IFXModifier> modifier = queryInterface<IFXModifier>(mesh.get(), IID_IFXModifier);
        IfxRef<IFXShadingModifier> shading = findShadingInChain(modifier.get());
        SceneCollections c;
        if (!extractMesh(sceneGraph, shading.get(), mesh.get(), identityMatrix(), c, nullptr, 0) ||
            !fillGeometry(sceneGraph, c, model))
            continue;
        NodeRecord node{};
        node.parent = kNoParent;
        node.triangleCount = model.triangleCount;
        node.valid = 1;
        model.nodeRecords = heapCopy(std::vector<NodeRecord>{node});
        model.nodeCount = model.nodeRecords ? 1 : 0;
        return true;
    }
    if (meshes == 0)
        message = duplicateText(kNoMeshMessage);
    else if (meshes == 1)
        message = duplicateText(kUnreadableMeshMessage);
    else
        message = formatMessage(kNoReadableMeshMessage, meshes);
    return false;
}

void collectViews(IFXSceneGraph* sceneGraph, U3dModel& model)
{
    std::vector<ViewRecord> views;
    IfxRef<IFXPalette> nodes = scenePalette(sceneGraph, kIfxPaletteNode);
    uint32_t count = 0;
    if (nodes && ifxSucceeded(nodes->GetPaletteSize(&count))) {
        for (uint32_t id = 0; id < count; ++id) {
            IfxRef<IFXView> view = paletteEntryAs<IFXView>(nodes.get(), id, IID_IFXView);
            if (!view)
                continue;
            ViewRecord record{};
            IFXString name;
            if (ifxSucceeded(nodes->GetName(id, &name)))
                copyEntryName(name, record.name);
            IFXMatrix4x4 local = identityMatrix();
            IfxRef<IFXNode> node = queryInterface<IFXNode>(view.get(), IID_IFXNode);
            if (!node || ifxFailed(node->GetMatrix(0, &local)))
                local = identityMatrix();
            const int order[9] = {0, 4, 8, 1, 5, 9, 2, 6, 10};
            for (int i = 0; i < 9; ++i)
                record.rotation[i] = local.m[order[i]];
            float degrees = 0;
            if (ifxSucceeded(view->GetProjection(&degrees)))
                record.fieldOfView = degrees * kDegreesToRadians;
            record.valid = 1;
            views.push_back(record);
        }
    }
    if (views.empty()) {
        IfxRef<IFXPalette> viewResources = scenePalette(sceneGraph, kIfxPaletteViewResource);
        if (viewResources && ifxSucceeded(viewResources->GetPaletteSize(&count))) {
            for (uint32_t id = 0; id < count; ++id) {
                if (!paletteEntryAs<IFXViewResource>(viewResources.get(), id, IID_IFXViewResource))
                    continue;
                ViewRecord record{};
                IFXString name;
                if (ifxSucceeded(viewResources->GetName(id, &name)))
                    copyEntryName(name, record.name);
                record.rotation[0] = record.rotation[4] = record.rotation[8] = 1;
                record.valid = 1;
                views.push_back(record);
            }
        }
    }
    if (views.empty())
        return;
    model.viewRecords = heapCopy(views);
    model.viewCount = model.viewRecords ? static_cast<uint32_t>(views.size()) : 0;
    if (model.viewRecords) {
        std::memcpy(model.defaultViewRotation, views.front().rotation, sizeof model.defaultViewRotation);
        model.hasDefaultView = 1;
    }
}

// A worker ends right after writing its stream: its scene is left to the end of the
// process rather than taken apart object by object, which for a large model takes a few
// milliseconds of freeing that the exit does anyway.
void leaveToProcessExit(std::unique_ptr<LoadComponents> components)
{
    static auto* kept = new std::vector<std::unique_ptr<LoadComponents>>;
    kept->push_back(std::move(components));
}

bool loadScene(const uint8_t* data, uint32_t size, const char* documentFolder, U3dModel& model, char*& message,
               InputBytes* owned)
{
    if (data == nullptr || size == 0) {
        message = duplicateText(kEmptyStreamMessage);
        return false;
    }
    if (ifxFailed(initializeIfxLibraryOnce())) {
        message = duplicateText(kInitializationMessage);
        return false;
    }
    TempFile temp;
    auto components = std::make_unique<LoadComponents>();
    LoadComponents& c = *components;
    if (owned != nullptr)
        leaveToProcessExit(std::move(components));
    IFXRESULT r = setUpComponents(c, documentFolder);
    if (ifxFailed(r)) {
        message = formatMessage(kSetupMessage, codeOf(r));
        return false;
    }
    if ((message = openReadBuffer(c, data, size, temp)) != nullptr)
        return false;
    readHeaderValues(c, model);

    r = c.loadManager->Load(c.readBuffer.get(), 1, IFXString(), 0, 0);
    // The scene holds what it needs: the library lets go of the file's bytes now.
    c.close();
    if (r == kIfxErrorExternalReferenceLimits) {
        message = duplicateText(kReferenceLimitsMessage);
        return false;
    }
    if (r == kIfxErrorExternalReferenceFailed) {
        uint32_t filesRead = 0, outcome = kReferenceNotFound;
        std::string name;
        bool found = false;
        diagnoseFileReferences(data, size, documentFolder, 0, filesRead, name, outcome, found);
        message = externalReferenceMessage(documentFolder, found, outcome, name);
        return false;
    }
    if (ifxFailed(r)) {
        message = formatMessage(kCorruptMessage, codeOf(r));
        return false;
    }

    IFXSceneGraph* sceneGraph = c.sceneGraph.get();
    std::vector<MaterialRecord> materials{defaultMaterialRecord()};
    SceneCollections collected;
    bool geometry = false;
    {
        const RawShadingFallbackMap fallback = buildRawShadingFallbackMap(data, size);
        // Nothing reads the file's bytes from here on: an owner's copy goes before the
        // geometry is gathered.
        if (owned != nullptr) {
            owned->release();
            data = nullptr;
        }
        const PublishedAppearance published(&materials, fallback.empty() ? nullptr : &fallback);
        geometry = walkSceneGraph(sceneGraph, collected);
    }
    setKeyLight(collected, model);

    bool loaded = false;
    if (collected.overflow) {
        message = formatMessage(kOverflowMessage, kMaxNodeRecords, kMaxWalkVertices);
    } else {
        loaded = geometry && fillFromTraversal(sceneGraph, collected, materials, model);
        if (!loaded) {
            collected = SceneCollections{};
            loaded = fillFromFirstMesh(sceneGraph, model, message);
        }
    }
    collectViews(sceneGraph, model);
    return loaded;
}

std::string printableName(const std::string& name)
{
    std::string out = name.size() > kMaxPrintedNameBytes ? name.substr(0, kCutNameBytes) + "..." : name;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return out;
}

} // namespace

char* externalReferenceMessage(const char* documentFolder, bool found, uint32_t outcome, const std::string& name)
{
    const std::string printable = printableName(name);
    const std::string quoted = "\"" + printable + "\"";
    std::string text;
    if (documentFolder == nullptr || *documentFolder == 0) {
        text = "the U3D file references external files (FileReference";
        if (!printable.empty())
            text += ": " + quoted;
        text += "), which cannot be read: the folder of the document is not known";
    } else if (!found) {
        text = "the U3D file references external files, but one of them (inside a referenced file) could not be "
               "loaded: it is missing, not allowed, or not a valid U3D file";
    } else {
        switch (outcome) {
        case kReferenceFolderUnusable:
            text = "the U3D file references external files (FileReference: " + quoted +
                   "), which cannot be read: the folder of the document is not accessible";
            break;
        case kReferenceBadName:
        case kReferenceBadExtension:
        case kReferenceOutsideFolder:
            text = "the U3D file references an external file that is not allowed: " + quoted +
                   " (only .u3d files inside the folder of the document are read)";
            break;
        case kReferenceNotRegularFile:
            text = "the U3D file references an external path that is not a regular file: " + quoted;
            break;
        case kReferenceTooLarge:
            text = "the U3D file references an external file that is too large: " + quoted;
            break;
        default:
            text = "the U3D file references an external file that was not found next to the document: " + quoted;
            break;
        }
    }
    return duplicateText(text);
}

namespace {

bool loadU3dSceneOwning(const uint8_t* data, uint32_t size, const char* documentFolder, U3dModel* model,
                        char** error, InputBytes* owned)
{
    if (error != nullptr)
        *error = nullptr;
    if (model == nullptr)
        return false;
    std::memset(model, 0, sizeof *model);
    char* message = nullptr;
    bool loaded = false;
    try {
        loaded = loadScene(data, size, documentFolder, *model, message, owned);
    } catch (const std::bad_alloc&) {
        // Everything the load held has been released on the way out; what the model
        // had gathered goes too, and the failure carries no message.
        releaseU3dModel(model);
        std::free(message);
        message = nullptr;
        loaded = false;
    }
    if (loaded) {
        std::free(message);
        message = nullptr;
    } else {
        keepOnlyFailureFields(*model);
    }
    if (error != nullptr)
        *error = message;
    else
        std::free(message);
    return loaded;
}

} // namespace

bool loadU3dScene(const uint8_t* data, uint32_t size, const char* documentFolder, U3dModel* model, char** error)
{
    return loadU3dSceneOwning(data, size, documentFolder, model, error, nullptr);
}

bool loadU3dSceneFromOwnedInput(InputBytes& input, const char* documentFolder, U3dModel* model, char** error)
{
    return loadU3dSceneOwning(input.data(), input.size(), documentFolder, model, error, &input);
}
