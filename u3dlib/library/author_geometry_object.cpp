// The author mesh, point set and line set of a model resource over its AuthorGeometry.
#include "u3dlib/library/scene_objects.h"

using namespace u3dlib;

namespace {

// An array handed out as it is; an absent (empty) attribute fails.
template <typename T, typename Out>
IFXRESULT giveArray(const std::vector<T>& values, const Out** out)
{
    if (out == nullptr)
        return kIfxErrorInvalidPointer;
    if (values.empty())
        return kIfxErrorNotFound;
    *out = values.data();
    return kIfxOk;
}

// A mesh's position and normal corners, kept as faces: handed out as they are, when
// complete.
IFXRESULT giveFaces(const std::vector<IFXAuthorFace>& faces, uint32_t count, const IFXAuthorFace** out)
{
    if (out == nullptr)
        return kIfxErrorInvalidPointer;
    if (faces.size() != count)
        return kIfxErrorNotFound;
    return giveArray(faces, out);
}

} // namespace

AuthorGeometryObject::AuthorGeometryObject(std::shared_ptr<SceneState> state, std::shared_ptr<GeneratorDecoder> owner,
                                           const AuthorGeometry* geometry)
    : state_(std::move(state)), owner_(std::move(owner)), geometry_(geometry)
{
}

IFXRESULT AuthorGeometryObject::QueryInterface(const IFXIID& interfaceId, void** object)
{
    if (object == nullptr)
        return kIfxErrorInvalidPointer;
    if (interfaceId == IID_IFXUnknown)
        return answer(static_cast<IFXAuthorMesh*>(this), object);
    return kIfxErrorUnsupported;
}

IFXRESULT AuthorGeometryObject::Lock()
{
    ++locks_;
    return kIfxOk;
}

IFXRESULT AuthorGeometryObject::Unlock()
{
    if (locks_ == 0)
        return kIfxErrorNotInitialized;
    --locks_;
    return kIfxOk;
}

IFXRESULT AuthorGeometryObject::GetMeshDesc(IFXAuthorMeshDesc* desc)
{
    if (desc == nullptr)
        return kIfxErrorInvalidPointer;
    const AuthorGeometry& g = *geometry_;
    desc->numFaces = g.primitiveCount;
    desc->numPositions = static_cast<uint32_t>(g.positions.size());
    desc->numNormals = static_cast<uint32_t>(g.normals.size());
    desc->numDiffuseColors = static_cast<uint32_t>(g.diffuseColors.size());
    desc->numSpecularColors = static_cast<uint32_t>(g.specularColors.size());
    desc->numTexCoords = static_cast<uint32_t>(g.texCoords.size());
    desc->numMaterials = static_cast<uint32_t>(g.materials.size());
    return kIfxOk;
}

IFXRESULT AuthorGeometryObject::GetPositions(const IFXVector3** positions)
{
    return giveArray(geometry_->positions, positions);
}

IFXRESULT AuthorGeometryObject::GetNormals(const IFXVector3** normals)
{
    return giveArray(geometry_->normals, normals);
}

IFXRESULT AuthorGeometryObject::GetDiffuseColors(const IFXVector4** colors)
{
    return giveArray(geometry_->diffuseColors, colors);
}

IFXRESULT AuthorGeometryObject::GetTexCoords(const IFXVector4** coordinates)
{
    return giveArray(geometry_->texCoords, coordinates);
}

IFXRESULT AuthorGeometryObject::GetMaterials(const IFXAuthorMaterial** materials)
{
    return giveArray(geometry_->materials, materials);
}

// Index arrays are complete (cornersPerPrimitive per primitive) or empty; anything
// else is not handed out, so that no caller reads past an array.
IFXRESULT AuthorGeometryObject::faces(const std::vector<uint32_t>& indices, std::vector<IFXAuthorFace>& cache,
                                      const IFXAuthorFace** out)
{
    if (out == nullptr)
        return kIfxErrorInvalidPointer;
    if (indices.empty() || indices.size() != size_t{geometry_->primitiveCount} * 3)
        return kIfxErrorNotFound;
    if (cache.empty()) {
        cache.reserve(geometry_->primitiveCount);
        for (size_t i = 0; i < indices.size(); i += 3)
            cache.push_back(IFXAuthorFace{indices[i], indices[i + 1], indices[i + 2]});
    }
    *out = cache.data();
    return kIfxOk;
}

IFXRESULT AuthorGeometryObject::lines(const std::vector<uint32_t>& indices, std::vector<IFXAuthorLine>& cache,
                                      const IFXAuthorLine** out)
{
    if (out == nullptr)
        return kIfxErrorInvalidPointer;
    if (indices.empty() || indices.size() != size_t{geometry_->primitiveCount} * 2)
        return kIfxErrorNotFound;
    if (cache.empty()) {
        cache.reserve(geometry_->primitiveCount);
        for (size_t i = 0; i < indices.size(); i += 2)
            cache.push_back(IFXAuthorLine{indices[i], indices[i + 1]});
    }
    *out = cache.data();
    return kIfxOk;
}

IFXRESULT AuthorGeometryObject::GetPositionFaces(const IFXAuthorFace** out)
{
    return giveFaces(geometry_->positionFaces, geometry_->primitiveCount, out);
}

IFXRESULT AuthorGeometryObject::GetNormalFaces(const IFXAuthorFace** out)
{
    return giveFaces(geometry_->normalFaces, geometry_->primitiveCount, out);
}

IFXRESULT AuthorGeometryObject::GetDiffuseFaces(const IFXAuthorFace** out)
{
    return faces(geometry_->diffuseIndices, diffuseFaces_, out);
}

IFXRESULT AuthorGeometryObject::GetTexFaces(uint32_t layer, const IFXAuthorFace** out)
{
    if (layer >= kIfxMaxTextureLayers)
        return kIfxErrorInvalidArgument;
    return faces(geometry_->texCoordIndices[layer], texFaces_[layer], out);
}

IFXRESULT AuthorGeometryObject::GetFaceMaterials(const uint32_t** materialIds)
{
    if (geometry_->primitiveMaterials.size() != geometry_->primitiveCount)
        return kIfxErrorNotFound;
    return giveArray(geometry_->primitiveMaterials, materialIds);
}

IFXRESULT AuthorGeometryObject::GetPointMaterials(const uint32_t** materialIds)
{
    return GetFaceMaterials(materialIds);
}

IFXRESULT AuthorGeometryObject::GetLineMaterials(const uint32_t** materialIds)
{
    return GetFaceMaterials(materialIds);
}

// Point sets: one index per point, handed out as stored.
IFXRESULT AuthorGeometryObject::GetPositionPoints(const uint32_t** indices)
{
    if (geometry_->positionIndices.size() != geometry_->primitiveCount)
        return kIfxErrorNotFound;
    return giveArray(geometry_->positionIndices, indices);
}

IFXRESULT AuthorGeometryObject::GetNormalPoints(const uint32_t** indices)
{
    if (geometry_->normalIndices.size() != geometry_->primitiveCount)
        return kIfxErrorNotFound;
    return giveArray(geometry_->normalIndices, indices);
}

IFXRESULT AuthorGeometryObject::GetDiffusePoints(const uint32_t** indices)
{
    if (geometry_->diffuseIndices.size() != geometry_->primitiveCount)
        return kIfxErrorNotFound;
    return giveArray(geometry_->diffuseIndices, indices);
}

IFXRESULT AuthorGeometryObject::GetPositionLines(const IFXAuthorLine** out)
{
    return lines(geometry_->positionIndices, positionLines_, out);
}

IFXRESULT AuthorGeometryObject::GetNormalLines(const IFXAuthorLine** out)
{
    return lines(geometry_->normalIndices, normalLines_, out);
}

IFXRESULT AuthorGeometryObject::GetDiffuseLines(const IFXAuthorLine** out)
{
    return lines(geometry_->diffuseIndices, diffuseLines_, out);
}
