#include "u3d/mesh_extraction.h"

#include "u3d/appearance.h"
#include "u3d/matrix4.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

// Point and line sets take their counts from the library only within these bounds.
constexpr uint32_t kMaxSetMaterials = 0x100000;
constexpr uint32_t kMaxSetAttributes = 0x4000000;
constexpr float kSameNormalTolerance = 0.0001f;
constexpr double kSingularDeterminant = 1e-30;
constexpr double kZeroLength = 1e-12;

template <typename T, typename Object>
const T* fetchArray(Object* object, IFXRESULT (Object::*getter)(const T**))
{
    const T* array = nullptr;
    return ifxSucceeded((object->*getter)(&array)) ? array : nullptr;
}

bool inRange(uint32_t count, uint32_t low, uint32_t high)
{
    return count >= low && count <= high;
}

void setColour(SceneCollections& out, uint32_t vertex, const uint8_t colour[3])
{
    std::memcpy(&out.colours[size_t{vertex} * 3], colour, 3);
}

void setDiffuseColour(SceneCollections& out, uint32_t vertex, const IFXVector4& diffuse)
{
    const uint8_t colour[3] = {colourByte(diffuse.r), colourByte(diffuse.g), colourByte(diffuse.b)};
    setColour(out, vertex, colour);
}

// The entry of the last element asked for: faces in a row mostly share their element.
class AppearanceCache {
public:
    explicit AppearanceCache(const AppearanceTable& table) : table_(table) {}
    uint32_t size() const { return table_.size(); }
    const AppearanceEntry& at(uint32_t element)
    {
        if (!known_ || element != element_) {
            entry_ = table_.at(element);
            element_ = element;
            known_ = true;
        }
        return entry_;
    }

private:
    const AppearanceTable& table_;
    bool known_ = false;
    uint32_t element_ = 0;
    AppearanceEntry entry_;
};

// Material record of a primitive: its element's, or with no per-primitive ids that of
// the only element.
uint16_t materialIndexOf(AppearanceCache& appearance, const uint32_t* materialIds, uint32_t primitive)
{
    if (materialIds != nullptr) {
        const uint32_t id = materialIds[primitive];
        return id < appearance.size() ? appearance.at(id).materialIndex : 0;
    }
    return appearance.size() == 1 ? appearance.at(0).materialIndex : 0;
}

// The corner normals in world space. Neighbouring faces share normals, so the last
// normals through the matrix are kept in a small table by index rather than being
// transformed again for every corner (or all kept, which for a big mesh would cost as
// much as its normals).
class WorldNormals {
public:
    WorldNormals(bool useNormals, const IFXVector3* normals, uint32_t count, const float matrix[9])
        : normals_(useNormals ? normals : nullptr), count_(useNormals ? count : 0), matrix_(matrix)
    {
        if (normals_ != nullptr && count_ > 0)
            slots_.resize(std::min<size_t>(kSlots, std::bit_ceil(count_)));
    }

    // The normal of one corner when its index is usable (returned), else none (kNoIndex).
    uint32_t corner(uint32_t normalIndex, const float*& normal)
    {
        static constexpr float kNone[3] = {0, 0, 0};
        if (normalIndex >= count_) {
            normal = kNone;
            return kNoIndex;
        }
        Slot& slot = slots_[normalIndex & (slots_.size() - 1)];
        if (slot.index != normalIndex) {
            transformNormal(matrix_, normals_[normalIndex], slot.normal);
            slot.index = normalIndex;
        }
        normal = slot.normal;
        return normalIndex;
    }

private:
    static constexpr size_t kSlots = 4096;
    struct Slot {
        uint32_t index = kNoIndex;
        float normal[3] = {0, 0, 0};
    };
    const IFXVector3* normals_;
    uint32_t count_;
    const float* matrix_;
    std::vector<Slot> slots_;
};

class AuthorMeshLock {
public:
    explicit AuthorMeshLock(IFXAuthorMesh* mesh) : mesh_(mesh) {}
    ~AuthorMeshLock() { mesh_->Unlock(); }
    AuthorMeshLock(const AuthorMeshLock&) = delete;
    AuthorMeshLock& operator=(const AuthorMeshLock&) = delete;

private:
    IFXAuthorMesh* mesh_;
};

// The per-primitive index arrays of a point set (one index) or a line set (two).
struct PrimitiveIndices {
    const uint32_t* points = nullptr;
    const IFXAuthorLine* lines = nullptr;

    bool present() const { return points != nullptr || lines != nullptr; }
    uint32_t at(uint32_t primitive, int end) const
    {
        if (points != nullptr)
            return points[primitive];
        return end == 0 ? lines[primitive].a : lines[primitive].b;
    }
};

struct PrimitiveSet {
    int ends = 1; // 1: points, 2: lines
    IFXAuthorMeshDesc desc{};
    const IFXVector3* positions = nullptr;
    PrimitiveIndices positionIndices;
    const uint32_t* materialIds = nullptr;
    const IFXVector3* normals = nullptr;
    PrimitiveIndices normalIndices;
    const IFXVector4* diffuse = nullptr;
    PrimitiveIndices diffuseIndices;
    const IFXAuthorMaterial* authorMaterials = nullptr;
};

// The shared part of point and line sets once their arrays are read.
void extractPrimitives(const PrimitiveSet& set, const AppearanceTable& appearance, const IFXMatrix4x4& world,
                       SceneCollections& out)
{
    const IFXAuthorMeshDesc& d = set.desc;
    VertexMapper mapper;
    mapper.base = appendPositions(set.positions, d.numPositions, world, out);
    mapper.used.assign(d.numPositions, false);
    float matrix[9] = {};
    const bool useNormals = set.normals && set.normalIndices.present() && normalMatrix(world, matrix);
    WorldNormals normals(useNormals, set.normals, d.numNormals, matrix);
    AppearanceCache entries(appearance);

    for (uint32_t i = 0; i < d.numFaces; ++i) {
        bool usable = true;
        for (int end = 0; end < set.ends; ++end)
            usable = usable && set.positionIndices.at(i, end) < d.numPositions;
        if (!usable)
            continue;
        const uint16_t material = materialIndexOf(entries, set.materialIds, i);
        uint32_t vertex[2] = {};
        for (int end = 0; end < set.ends; ++end) {
            const float* normal = nullptr;
            const uint32_t normalIndex = normals.corner(useNormals ? set.normalIndices.at(i, end) : kNoIndex, normal);
            vertex[end] = vertexFor(mapper, out, set.positionIndices.at(i, end), normalIndex, normal, material);
        }
        if (set.ends == 1)
            out.points.push_back(vertex[0]);
        else
            out.lines.insert(out.lines.end(), {vertex[0], vertex[1]});

        bool diffuseAllowed = true;
        if (set.materialIds != nullptr) {
            const uint32_t id = set.materialIds[i];
            if (id < appearance.size()) {
                const AppearanceEntry& entry = entries.at(id);
                for (int end = 0; end < set.ends; ++end)
                    setColour(out, vertex[end], entry.colour);
                if (set.authorMaterials != nullptr)
                    diffuseAllowed = set.authorMaterials[id].diffuseColors != 0;
            } else if (set.authorMaterials != nullptr) {
                diffuseAllowed = false;
            }
        }
        if (diffuseAllowed && set.diffuse != nullptr && set.diffuseIndices.present())
            for (int end = 0; end < set.ends; ++end) {
                const uint32_t index = set.diffuseIndices.at(i, end);
                if (index < d.numDiffuseColors)
                    setDiffuseColour(out, vertex[end], set.diffuse[index]);
            }
    }
}

void assignIndices(PrimitiveIndices& indices, const uint32_t* points)
{
    indices.points = points;
}

void assignIndices(PrimitiveIndices& indices, const IFXAuthorLine* lines)
{
    indices.lines = lines;
}

// Reads the optional arrays of a point or line set, each within its bounds.
template <typename Set, typename Index>
AppearanceTable readOptionalSetArrays(Set* author, PrimitiveSet& set, IFXSceneGraph* sceneGraph,
                                      IFXShadingModifier* shading, IFXRESULT (Set::*materialIds)(const uint32_t**),
                                      IFXRESULT (Set::*normalIndices)(const Index**),
                                      IFXRESULT (Set::*diffuseIndices)(const Index**))
{
    const IFXAuthorMeshDesc& d = set.desc;
    AppearanceTable appearance;
    if (inRange(d.numMaterials, 1, kMaxSetMaterials)) {
        appearance = resolveModelAppearance(sceneGraph, shading, d.numMaterials, nullptr, 0);
        set.materialIds = fetchArray(author, materialIds);
    }
    if (inRange(d.numDiffuseColors, 1, kMaxSetAttributes)) {
        set.diffuse = fetchArray(author, &Set::GetDiffuseColors);
        assignIndices(set.diffuseIndices, fetchArray(author, diffuseIndices));
        if (appearance.size() > 0)
            set.authorMaterials = fetchArray(author, &Set::GetMaterials);
    }
    if (inRange(d.numNormals, 1, kMaxSetAttributes)) {
        set.normals = fetchArray(author, &Set::GetNormals);
        assignIndices(set.normalIndices, fetchArray(author, normalIndices));
    }
    return appearance;
}

} // namespace

uint32_t appendPositions(const IFXVector3* positions, uint32_t count, const IFXMatrix4x4& world,
                         SceneCollections& out)
{
    out.padPerVertexArrays();
    const uint32_t base = out.vertexCount();
    // resize grows geometrically; an exact reserve per call would copy every vertex
    // again for each of thousands of small models.
    out.vertices.resize((size_t{base} + count) * 3);
    float* p = out.vertices.data() + size_t{base} * 3;
    for (uint32_t i = 0; i < count; ++i, p += 3)
        transformPoint(world, positions[i].x, positions[i].y, positions[i].z, p);
    out.padPerVertexArrays();
    return base;
}

uint32_t vertexFor(VertexMapper& mapper, SceneCollections& out, uint32_t positionIndex, uint32_t normalIndex,
                   const float normal[3], uint16_t materialIndex)
{
    const uint32_t v = mapper.base + positionIndex;
    float* stored = &out.normals[size_t{v} * 3];
    if (!mapper.used[positionIndex]) {
        mapper.used[positionIndex] = true;
        std::memcpy(stored, normal, 3 * sizeof(float));
        out.vertexMaterials[v] = materialIndex;
        return v;
    }
    const float difference =
        std::fabs(stored[0] - normal[0]) + std::fabs(stored[1] - normal[1]) + std::fabs(stored[2] - normal[2]);
    if (difference < kSameNormalTolerance && out.vertexMaterials[v] == materialIndex)
        return v;
    if (mapper.firstExtra.empty())
        mapper.firstExtra.assign(mapper.used.size(), kNoIndex);
    for (uint32_t e = mapper.firstExtra[positionIndex]; e != kNoIndex; e = mapper.extras[e].next)
        if (mapper.extras[e].normal == normalIndex && mapper.extras[e].material == materialIndex)
            return mapper.extras[e].vertex;

    const uint32_t added = out.vertexCount();
    const float position[3] = {out.vertices[size_t{v} * 3], out.vertices[size_t{v} * 3 + 1],
                               out.vertices[size_t{v} * 3 + 2]};
    out.vertices.append(position, 3);
    out.colours.append({255, 255, 255});
    if (out.keepsTextureArrays()) {
        out.texCoords.insert(out.texCoords.end(), {-1.0f, -1.0f});
        out.texSources.push_back(kNoTexture);
    }
    out.normals.append(normal, 3);
    out.vertexMaterials.push_back(materialIndex);
    mapper.extras.push_back({normalIndex, materialIndex, added, mapper.firstExtra[positionIndex]});
    mapper.firstExtra[positionIndex] = static_cast<uint32_t>(mapper.extras.size() - 1);
    return added;
}

bool normalMatrix(const IFXMatrix4x4& world, float out[9])
{
    // a[r][c] is row r, column c of the upper-left 3 × 3.
    double a[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            a[r][c] = world.m[c * 4 + r];
    double cofactor[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cofactor[r][c] = a[r1][c1] * a[r2][c2] - a[r1][c2] * a[r2][c1];
        }
    const double determinant = a[0][0] * cofactor[0][0] + a[0][1] * cofactor[0][1] + a[0][2] * cofactor[0][2];
    if (!std::isfinite(determinant) || std::fabs(determinant) < kSingularDeterminant)
        return false;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            out[r * 3 + c] = static_cast<float>(cofactor[r][c] / determinant);
    return true;
}

void transformNormal(const float matrix[9], const IFXVector3& normal, float out[3])
{
    double n[3];
    for (int r = 0; r < 3; ++r)
        n[r] = double{matrix[r * 3]} * normal.x + double{matrix[r * 3 + 1]} * normal.y +
               double{matrix[r * 3 + 2]} * normal.z;
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!std::isfinite(length) || length < kZeroLength) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    for (int r = 0; r < 3; ++r)
        out[r] = static_cast<float>(n[r] / length);
}

bool extractMesh(IFXSceneGraph* sceneGraph, IFXShadingModifier* shading, IFXAuthorCLODResource* resource,
                 const IFXMatrix4x4& world, SceneCollections& out, IFXPalette* nodePalette, uint32_t nodeId)
{
    IfxRef<IFXAuthorMesh> mesh;
    if (resource == nullptr || ifxFailed(resource->GetAuthorMesh(mesh.put()))) {
        mesh.forget();
        return false;
    }
    if (!mesh || ifxFailed(mesh->Lock()))
        return false;
    const AuthorMeshLock lock(mesh.get());
    IFXAuthorMeshDesc d{};
    if (ifxFailed(mesh->GetMeshDesc(&d)) || d.numFaces == 0 || d.numPositions == 0)
        return false;

    AppearanceTable appearance;
    const uint32_t* faceMaterials = nullptr;
    if (d.numMaterials > 0) {
        appearance = resolveModelAppearance(sceneGraph, shading, d.numMaterials, nodePalette, nodeId);
        faceMaterials = fetchArray(mesh.get(), &IFXAuthorMesh::GetFaceMaterials);
    }
    const IFXVector4* texCoords = nullptr;
    const IFXAuthorFace* texFaces = nullptr;
    if (d.numTexCoords > 0) {
        texCoords = fetchArray(mesh.get(), &IFXAuthorMesh::GetTexCoords);
        if (ifxFailed(mesh->GetTexFaces(0, &texFaces)))
            texFaces = nullptr;
    }
    const IFXVector4* diffuse = nullptr;
    const IFXAuthorFace* diffuseFaces = nullptr;
    const IFXAuthorMaterial* authorMaterials = nullptr;
    if (d.numDiffuseColors > 0) {
        diffuse = fetchArray(mesh.get(), &IFXAuthorMesh::GetDiffuseColors);
        diffuseFaces = fetchArray(mesh.get(), &IFXAuthorMesh::GetDiffuseFaces);
        if (d.numMaterials > 0)
            authorMaterials = fetchArray(mesh.get(), &IFXAuthorMesh::GetMaterials);
    }
    const IFXVector3* normals = nullptr;
    const IFXAuthorFace* normalFaces = nullptr;
    if (d.numNormals > 0) {
        normals = fetchArray(mesh.get(), &IFXAuthorMesh::GetNormals);
        normalFaces = fetchArray(mesh.get(), &IFXAuthorMesh::GetNormalFaces);
    }
    const IFXVector3* positions = fetchArray(mesh.get(), &IFXAuthorMesh::GetPositions);
    const IFXAuthorFace* positionFaces = fetchArray(mesh.get(), &IFXAuthorMesh::GetPositionFaces);
    if (positions == nullptr || positionFaces == nullptr)
        return false;

    VertexMapper mapper;
    mapper.base = appendPositions(positions, d.numPositions, world, out);
    mapper.used.assign(d.numPositions, false);
    float matrix[9] = {};
    const bool useNormals = normals && normalFaces && normalMatrix(world, matrix);
    WorldNormals cornerNormals(useNormals, normals, d.numNormals, matrix);
    AppearanceCache entries(appearance);

    for (uint32_t f = 0; f < d.numFaces; ++f) {
        const IFXAuthorFace& face = positionFaces[f];
        if (face.a >= d.numPositions || face.b >= d.numPositions || face.c >= d.numPositions)
            continue;
        const uint16_t material = materialIndexOf(entries, faceMaterials, f);
        uint32_t vertex[3];
        for (int j = 0; j < 3; ++j) {
            const float* normal = nullptr;
            const uint32_t normalIndex =
                cornerNormals.corner(useNormals ? cornerOf(normalFaces[f], j) : kNoIndex, normal);
            vertex[j] = vertexFor(mapper, out, cornerOf(face, j), normalIndex, normal, material);
        }
        out.triangles.append(vertex, 3);

        uint32_t textureId = kNoTexture;
        bool diffuseAllowed = true;
        if (faceMaterials != nullptr) {
            const uint32_t id = faceMaterials[f];
            if (id < appearance.size()) {
                const AppearanceEntry& entry = entries.at(id);
                for (uint32_t v : vertex)
                    setColour(out, v, entry.colour);
                textureId = entry.textureId;
                diffuseAllowed = authorMaterials == nullptr || (id < d.numMaterials && authorMaterials[id].diffuseColors);
            } else if (authorMaterials != nullptr) {
                if (id >= d.numMaterials)
                    continue;
                diffuseAllowed = authorMaterials[id].diffuseColors != 0;
            }
        } else if (appearance.size() == 1) {
            textureId = entries.at(0).textureId;
        }

        if (textureId != kNoTexture) {
            out.addTextureCandidate(textureId);
            if (texCoords != nullptr && texFaces != nullptr)
                for (int j = 0; j < 3; ++j) {
                    const uint32_t index = cornerOf(texFaces[f], j);
                    if (index < d.numTexCoords) {
                        out.texCoords[size_t{vertex[j]} * 2] = texCoords[index].r;
                        out.texCoords[size_t{vertex[j]} * 2 + 1] = texCoords[index].g;
                        out.texSources[vertex[j]] = textureId;
                    }
                }
        }
        if (diffuseAllowed && diffuse != nullptr && diffuseFaces != nullptr)
            for (int j = 0; j < 3; ++j) {
                const uint32_t index = cornerOf(diffuseFaces[f], j);
                if (index < d.numDiffuseColors)
                    setDiffuseColour(out, vertex[j], diffuse[index]);
            }
    }
    return true;
}

bool extractPointSet(IFXSceneGraph* sceneGraph, IFXShadingModifier* shading, IFXAuthorPointSetResource* resource,
                     const IFXMatrix4x4& world, SceneCollections& out)
{
    IfxRef<IFXAuthorPointSet> author;
    if (resource == nullptr || ifxFailed(resource->GetAuthorPointSet(author.put()))) {
        author.forget();
        return false;
    }
    PrimitiveSet set;
    set.ends = 1;
    if (!author || ifxFailed(author->GetPointSetDesc(&set.desc)) || set.desc.numFaces == 0 ||
        set.desc.numPositions == 0)
        return false;
    set.positions = fetchArray(author.get(), &IFXAuthorPointSet::GetPositions);
    set.positionIndices.points = fetchArray(author.get(), &IFXAuthorPointSet::GetPositionPoints);
    if (set.positions == nullptr || !set.positionIndices.present())
        return false;
    const AppearanceTable appearance =
        readOptionalSetArrays(author.get(), set, sceneGraph, shading, &IFXAuthorPointSet::GetPointMaterials,
                              &IFXAuthorPointSet::GetNormalPoints, &IFXAuthorPointSet::GetDiffusePoints);
    extractPrimitives(set, appearance, world, out);
    return true;
}

bool extractLineSet(IFXSceneGraph* sceneGraph, IFXShadingModifier* shading, IFXAuthorLineSetResource* resource,
                    const IFXMatrix4x4& world, SceneCollections& out)
{
    IfxRef<IFXAuthorLineSet> author;
    if (resource == nullptr || ifxFailed(resource->GetAuthorLineSet(author.put()))) {
        author.forget();
        return false;
    }
    PrimitiveSet set;
    set.ends = 2;
    if (!author || ifxFailed(author->GetLineSetDesc(&set.desc)) || set.desc.numFaces == 0 ||
        set.desc.numPositions == 0)
        return false;
    set.positions = fetchArray(author.get(), &IFXAuthorLineSet::GetPositions);
    set.positionIndices.lines = fetchArray(author.get(), &IFXAuthorLineSet::GetPositionLines);
    if (set.positions == nullptr || !set.positionIndices.present())
        return false;
    const AppearanceTable appearance =
        readOptionalSetArrays(author.get(), set, sceneGraph, shading, &IFXAuthorLineSet::GetLineMaterials,
                              &IFXAuthorLineSet::GetNormalLines, &IFXAuthorLineSet::GetDiffuseLines);
    extractPrimitives(set, appearance, world, out);
    return true;
}
