#include "prc/model/assembly_mesh.h"

#include <stdexcept>

namespace {

// Colours of the complete vertices only, so that a mesh with a stray coordinate cannot
// shift the colours of every mesh appended after it; missing bytes are white.
void appendColours(AssemblyMesh& out, const TessMesh& mesh, uint64_t vertexCount)
{
    const size_t wanted = vertexCount * 3;
    const size_t available = mesh.colours.size() < wanted ? mesh.colours.size() : wanted;
    out.colours.append(mesh.colours.data(), available);
    out.colours.resize(out.colours.size() + (wanted - available), 255);
}

// Triangles renumbered after base; one naming a vertex the mesh does not hold is left out.
void appendTriangles(AssemblyMesh& out, const TessMesh& mesh, uint64_t vertexCount, uint64_t base, bool mirrored)
{
    for (size_t i = 0; i + 3 <= mesh.triangles.size(); i += 3) {
        const uint32_t a = mesh.triangles[i], b = mesh.triangles[i + 1], c = mesh.triangles[i + 2];
        if (a >= vertexCount || b >= vertexCount || c >= vertexCount)
            continue;
        const uint32_t first = static_cast<uint32_t>(base + a);
        const uint32_t second = static_cast<uint32_t>(base + (mirrored ? c : b));
        const uint32_t third = static_cast<uint32_t>(base + (mirrored ? b : c));
        out.triangles.push_back(first);
        out.triangles.push_back(second);
        out.triangles.push_back(third);
    }
}

void checkVertexNumbers(uint64_t base, uint64_t vertexCount)
{
    if (base + vertexCount > UINT32_MAX)
        throw std::runtime_error("assieme PRC: troppi vertici");
}

} // namespace

void appendTransformedMesh(AssemblyMesh& out, const TessMesh& mesh, const Matrix4d& matrix)
{
    const uint64_t vertexCount = mesh.vertices.size() / 3;
    const uint64_t triangleCount = mesh.triangles.size() / 3;
    if (out.triangles.size() / 3 + triangleCount > out.limits.triangles)
        throw std::runtime_error("assieme PRC: troppi triangoli");
    const uint64_t base = out.vertices.size() / 3;
    if (base + vertexCount > out.limits.vertices)
        throw std::runtime_error("assieme PRC: troppi vertici");
    checkVertexNumbers(base, vertexCount);

    out.vertices.reserve(out.vertices.size() + vertexCount * 3);
    out.triangles.reserve(out.triangles.size() + triangleCount * 3);
    const Matrix4d& m = matrix;
    for (uint64_t v = 0; v < vertexCount; ++v) {
        const double x = mesh.vertices[v * 3], y = mesh.vertices[v * 3 + 1], z = mesh.vertices[v * 3 + 2];
        out.vertices.push_back(static_cast<float>(m[0] * x + m[1] * y + m[2] * z + m[3]));
        out.vertices.push_back(static_cast<float>(m[4] * x + m[5] * y + m[6] * z + m[7]));
        out.vertices.push_back(static_cast<float>(m[8] * x + m[9] * y + m[10] * z + m[11]));
    }
    appendColours(out, mesh, vertexCount);
    appendTriangles(out, mesh, vertexCount, base, determinant3x3(matrix) < 0);
}

void appendUntransformedMesh(AssemblyMesh& out, const TessMesh& mesh)
{
    const uint64_t vertexCount = mesh.vertices.size() / 3;
    const uint64_t base = out.vertices.size() / 3;
    checkVertexNumbers(base, vertexCount);
    out.vertices.append(mesh.vertices.data(), vertexCount * 3);
    appendColours(out, mesh, vertexCount);
    appendTriangles(out, mesh, vertexCount, base, false);
}
