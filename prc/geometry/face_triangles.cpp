#include "prc/geometry/face_triangles.h"

#include "prc/geometry/style_color.h"
#include "prc/geometry/tess_mesh.h"

#include <algorithm>
#include <stdexcept>

namespace {

// Bits of used_entities_flag, one nibble per kind (plain, with one normal, textured, both).
constexpr uint32_t kTriangleBits = 0x2222;
constexpr uint32_t kFanBits = 0x4444;
constexpr uint32_t kConvertibleBits = 0xEEEE;
constexpr uint32_t kOneNormalBits = 0xF0F0;
constexpr uint32_t kTexturedBits = 0x0F00;

uint64_t listedFansOrStrips(const std::vector<uint32_t>& sizes)
{
    return sizes.empty() ? 0 : std::min<uint64_t>(sizes[0], sizes.size() - 1);
}

// Walks one face's vertices and appends its triangles to the mesh.
class FaceConverter {
public:
    FaceConverter(const PRC3DTess& tess, const PRCTessFace& face, const uint8_t faceColour[3], TessMesh& mesh)
        : vertices_(tess.face_vertices), face_(face), faceColour_(faceColour), mesh_(mesh)
    {
        // Never past the resolved vertices, whatever the face says.
        const uint64_t held = tess.face_vertices.size();
        first_ = std::min(face.first_vertex, held);
        vertexCount_ = std::min(face.vertex_count, held - first_);
    }

    void convertTriangles()
    {
        uint64_t ordinal = 0; // colour entry of the entry's first vertex
        for (const uint32_t count : face_.sizes_triangulated) {
            for (uint64_t t = 0; t < count; ++t)
                appendTriangle(3 * t, 3 * t + 1, 3 * t + 2, ordinal);
            position_ += 3 * uint64_t{count};
            ordinal += 3 * uint64_t{count};
        }
    }

    void convertFansOrStrips(bool fans)
    {
        const std::vector<uint32_t>& sizes = face_.sizes_triangulated;
        const uint64_t listed = listedFansOrStrips(sizes);
        uint64_t ordinal = 0;
        for (uint64_t e = 1; e <= listed; ++e) {
            const uint32_t count = sizes[e];
            for (uint64_t i = 0; i + 2 < count; ++i) {
                if (fans)
                    appendTriangle(0, i + 1, i + 2, ordinal);
                else if (i % 2 == 0)
                    appendTriangle(i, i + 1, i + 2, ordinal);
                else // every second triangle of a strip is walked the other way round
                    appendTriangle(i + 1, i, i + 2, ordinal);
            }
            position_ += count;
            ordinal += count;
        }
    }

private:
    uint32_t vertexAt(uint64_t entryPosition) const
    {
        const uint64_t vertex = position_ + entryPosition;
        if (vertex >= vertexCount_)
            throw std::runtime_error("appendFaceTriangles: index out of bounds (wrong stride?)");
        return vertices_[first_ + vertex];
    }

    void colourVertex(uint32_t vertex, uint64_t ordinal)
    {
        if (uint64_t{vertex} * 3 + 3 > mesh_.colours.size())
            return;
        uint8_t* target = &mesh_.colours[size_t{vertex} * 3];
        if (!face_.has_vertex_colors) {
            target[0] = faceColour_[0], target[1] = faceColour_[1], target[2] = faceColour_[2];
            return;
        }
        const uint64_t entrySize = face_.is_rgba ? 4 : 3;
        if (ordinal >= face_.rgba_vertices.size() / entrySize)
            return;
        const uint8_t* source = &face_.rgba_vertices[ordinal * entrySize];
        target[0] = source[0], target[1] = source[1], target[2] = source[2];
    }

    void appendTriangle(uint64_t a, uint64_t b, uint64_t c, uint64_t entryOrdinal)
    {
        const uint64_t corners[3] = {a, b, c};
        uint32_t vertices[3];
        bool inside = true;
        for (int k = 0; k < 3; ++k) {
            vertices[k] = vertexAt(corners[k]);
            colourVertex(vertices[k], entryOrdinal + corners[k]);
            inside = inside && uint64_t{vertices[k]} * 3 + 3 <= mesh_.vertices.size();
        }
        // A point index past the coordinates would reach the output as a dangling vertex
        // number: that triangle is dropped, the rest of the face stays.
        if (inside)
            mesh_.triangles.insert(mesh_.triangles.end(), vertices, vertices + 3);
    }

    const PointList& vertices_;
    uint64_t first_ = 0;
    uint64_t vertexCount_ = 0;
    const PRCTessFace& face_;
    uint64_t position_ = 0;
    const uint8_t* faceColour_;
    TessMesh& mesh_;
};

// A normal slot unless the normals are recalculated, a texture slot for textured faces,
// then the point's.
uint64_t slotsPerVertex(const PRC3DTess& tess, const PRCTessFace& face)
{
    return 1 + (tess.must_recalculate_normals ? 0 : 1) + ((face.used_entities_flag & kTexturedBits) ? 1 : 0);
}

bool convertible(uint32_t flags)
{
    return (flags & kOneNormalBits) == 0 && (flags & kConvertibleBits) != 0;
}

// Vertices a convertible face announces: three per triangle, or those of its fans or strips.
uint64_t faceVertexCount(const PRCTessFace& face)
{
    if ((face.used_entities_flag & kTriangleBits) == 0)
        return fanOrStripVertexCount(face.sizes_triangulated);
    uint64_t vertices = 0;
    for (const uint32_t count : face.sizes_triangulated)
        vertices += 3 * uint64_t{count};
    return vertices;
}

template <typename Point>
std::vector<Point> facePoints(const PRC3DTess& tess, uint64_t vertexTotal, uint64_t points)
{
    std::vector<Point> list;
    list.reserve(vertexTotal); // no more than the slots claimed
    for (const PRCTessFace& face : tess.face_tessellation) {
        const uint64_t stride = slotsPerVertex(tess, face);
        // The point slot comes last in each vertex's slots; it names the point times 3.
        for (uint64_t slot = face.start_triangulated + stride - 1, v = 0; v < face.vertex_count; ++v, slot += stride)
            list.push_back(static_cast<Point>(std::min<uint64_t>(tess.triangulated_index[slot] / 3, points)));
    }
    return list;
}

} // namespace

uint64_t fanOrStripVertexCount(const std::vector<uint32_t>& sizes)
{
    uint64_t vertices = 0;
    for (uint64_t e = 1; e <= listedFansOrStrips(sizes); ++e)
        vertices += sizes[e];
    return vertices;
}

void resolveFaceVertices(PRC3DTess& tess)
{
    if (tess.triangulated_index.empty() && tess.index_slots > 0)
        return;
    // The faces of a sound tessellation tile the index array. Faces that together claim
    // more slots than it holds overlap, and could convert the same slots over and over: a
    // face reaches only the slots still unclaimed, and the first to run short ends the
    // conversion as if the array ended there.
    const std::vector<uint32_t>& slots = tess.triangulated_index;
    uint64_t slotsLeft = slots.size();
    uint64_t vertexTotal = 0;
    for (PRCTessFace& face : tess.face_tessellation) {
        face.first_vertex = vertexTotal;
        face.vertex_count = 0;
        if (!convertible(face.used_entities_flag))
            continue;
        const uint64_t stride = slotsPerVertex(tess, face);
        const uint64_t claimed = std::min(stride * faceVertexCount(face), slotsLeft);
        slotsLeft -= claimed;
        // Faces say where their slots start; writers need not lay them end to end.
        const uint64_t start = face.start_triangulated;
        const uint64_t end = std::min<uint64_t>(start + claimed, slots.size());
        face.vertex_count = end > start ? (end - start) / stride : 0;
        vertexTotal += face.vertex_count;
    }
    // A point past the coordinates drops its triangle, whichever it is: each is kept as
    // at most the first such, and most records then fit two bytes a point.
    const uint64_t points = tess.coordinates.size() / 3;
    PointList list;
    if (points <= UINT16_MAX)
        list.narrow = facePoints<uint16_t>(tess, vertexTotal, points);
    else
        list.wide = facePoints<uint32_t>(tess, vertexTotal, points);
    tess.index_slots = slots.size();
    tess.face_vertices = std::move(list);
    std::vector<uint32_t>().swap(tess.triangulated_index);
}

TessMesh appendFaceTriangles(const PRC3DTess& tess, const GlobalsData& globals, const uint8_t* defaultRgb)
{
    TessMesh mesh = meshWithDefaultColour(tess.coordinates, defaultRgb);
    try {
        for (const PRCTessFace& face : tess.face_tessellation) {
            uint8_t faceColour[3];
            for (int i = 0; i < 3; ++i)
                faceColour[i] = defaultRgb != nullptr ? defaultRgb[i] : 255;
            if (!face.has_vertex_colors && !face.line_attributes.empty())
                resolveStyleColor(globals, face.line_attributes[0], defaultRgb, faceColour);

            const uint32_t flags = face.used_entities_flag;
            if (!convertible(flags))
                continue;
            FaceConverter converter(tess, face, faceColour, mesh);
            if (flags & kTriangleBits)
                converter.convertTriangles();
            else
                converter.convertFansOrStrips((flags & kFanBits) != 0);
        }
    } catch (const std::runtime_error&) {
        // A face that runs past its slots ends the conversion; what it built stays.
    }
    return mesh;
}
