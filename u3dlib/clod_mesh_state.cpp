#include "u3dlib/clod_mesh_state.h"

#include "u3dlib/progressive_updates.h"

#include <algorithm>

namespace u3dlib {

void initMeshState(ClodMeshState& mesh, const GeneratorDeclaration& declaration)
{
    mesh = ClodMeshState{};
    mesh.geometry.cornersPerPrimitive = 3;
    keepAttributesOf(declaration, mesh);
}

void appendFace(ClodMeshState& mesh, uint32_t shading, const std::array<uint32_t, 3>& positions,
                const std::array<CornerAttributes, 3>& attributes)
{
    AuthorGeometry& g = mesh.geometry;
    const uint32_t face = g.primitiveCount++;
    g.primitiveMaterials.push_back(shading);
    g.positionFaces.push_back({positions[0], positions[1], positions[2]});
    for (uint32_t k = 0; k < 3; ++k) {
        if (mesh.keepsDiffuse)
            g.diffuseIndices.push_back(attributes[k].diffuse);
        if (mesh.keepsSpecular)
            g.specularIndices.push_back(attributes[k].specular);
        for (uint32_t layer = 0; layer < mesh.texLayers; ++layer)
            g.texCoordIndices[layer].push_back(attributes[k].texCoord[layer]);
    }
    if (mesh.facesIndexed)
        for (uint32_t k = 0; k < 3; ++k)
            linkFace(mesh, positions[k], face);
}

void indexFacesAtPositions(ClodMeshState& mesh)
{
    if (mesh.facesIndexed)
        return;
    mesh.facesIndexed = true;
    const uint32_t positions = mesh.positionCount();
    std::vector<uint32_t> counts(positions, 0);
    for (const IFXAuthorFace& face : mesh.geometry.positionFaces)
        for (const uint32_t p : {face.a, face.b, face.c})
            if (p < positions)
                ++counts[p];
    mesh.facesAtPosition.assign(positions, {});
    for (uint32_t p = 0; p < positions; ++p)
        mesh.facesAtPosition[p].reserve(counts[p]);
    // Faces in ascending order, each once per position, as linking them one by one
    // would leave them.
    for (uint32_t face = 0; face < mesh.faceCount(); ++face)
        for (uint32_t k = 0; k < 3; ++k) {
            const uint32_t p = mesh.corner(face, k);
            if (p < positions && (mesh.facesAtPosition[p].empty() || mesh.facesAtPosition[p].back() != face))
                mesh.facesAtPosition[p].push_back(face);
        }
}

CornerAttributes cornerAttributes(const ClodMeshState& mesh, uint32_t face, uint32_t k)
{
    const AuthorGeometry& g = mesh.geometry;
    const size_t at = size_t{3} * face + k;
    CornerAttributes out;
    if (mesh.keepsDiffuse)
        out.diffuse = g.diffuseIndices[at];
    if (mesh.keepsSpecular)
        out.specular = g.specularIndices[at];
    for (uint32_t layer = 0; layer < mesh.texLayers; ++layer)
        out.texCoord[layer] = g.texCoordIndices[layer][at];
    return out;
}

uint32_t cornerAt(const ClodMeshState& mesh, uint32_t face, uint32_t position)
{
    for (uint32_t k = 0; k < 3; ++k)
        if (mesh.corner(face, k) == position)
            return k;
    return 3;
}

void unlinkFace(ClodMeshState& mesh, uint32_t position, uint32_t face)
{
    std::vector<uint32_t>& faces = mesh.facesAtPosition[position];
    const auto it = std::lower_bound(faces.begin(), faces.end(), face);
    if (it != faces.end() && *it == face)
        faces.erase(it);
}

void linkFace(ClodMeshState& mesh, uint32_t position, uint32_t face)
{
    std::vector<uint32_t>& faces = mesh.facesAtPosition[position];
    // Faces mostly arrive in ascending order.
    if (faces.empty() || faces.back() < face) {
        faces.push_back(face);
        return;
    }
    const auto it = std::lower_bound(faces.begin(), faces.end(), face);
    if (it == faces.end() || *it != face)
        faces.insert(it, face);
}

} // namespace u3dlib
