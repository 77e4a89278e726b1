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

// Walks one face's entries and appends its triangles to the mesh.
class FaceConverter {
public:
    // Slots from slotEnd on are out of reach, as if the index array ended there.
    FaceConverter(const PRC3DTess& tess, const PRCTessFace& face, uint64_t position, uint64_t slotEnd, uint64_t stride,
                  const uint8_t faceColour[3], TessMesh& mesh)
        : tess_(tess), face_(face), position_(position), slotEnd_(std::min<uint64_t>(slotEnd, tess.triangulated_index.size())),
          stride_(stride), faceColour_(faceColour), mesh_(mesh)
    {
    }

    void convertTriangles()
    {
        uint64_t ordinal = 0; // colour entry of the entry's first vertex
        for (const uint32_t count : face_.sizes_triangulated) {
            for (uint64_t t = 0; t < count; ++t)
                appendTriangle(3 * t, 3 * t + 1, 3 * t + 2, ordinal);
            position_ += stride_ * 3 * count;
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
            position_ += stride_ * count;
            ordinal += count;
        }
    }

private:
    uint32_t vertexAt(uint64_t entryPosition) const
    {
        const uint64_t slot = position_ + stride_ * entryPosition + (stride_ - 1);
        if (slot >= slotEnd_)
            throw std::runtime_error("appendFaceTriangles: index out of bounds (wrong stride?)");
        // Point indices address the coordinate array, three doubles per point.
        return tess_.triangulated_index[slot] / 3;
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

    const PRC3DTess& tess_;
    const PRCTessFace& face_;
    uint64_t position_;
    const uint64_t slotEnd_;
    const uint64_t stride_;
    const uint8_t* faceColour_;
    TessMesh& mesh_;
};

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

} // namespace

uint64_t fanOrStripVertexCount(const std::vector<uint32_t>& sizes)
{
    uint64_t vertices = 0;
    for (uint64_t e = 1; e <= listedFansOrStrips(sizes); ++e)
        vertices += sizes[e];
    return vertices;
}

TessMesh appendFaceTriangles(const PRC3DTess& tess, const GlobalsData& globals, const uint8_t* defaultRgb)
{
    TessMesh mesh = meshWithDefaultColour(tess.coordinates, defaultRgb);

    // The faces of a sound tessellation tile the index array. Faces that together claim
    // more slots than it holds overlap, and could convert the same slots over and over: a
    // face reaches only the slots still unclaimed, and the first to run short ends the
    // conversion as if the array ended there.
    uint64_t slotsLeft = tess.triangulated_index.size();
    try {
        for (const PRCTessFace& face : tess.face_tessellation) {
            const uint32_t flags = face.used_entities_flag;
            const uint64_t stride = 1 + (tess.must_recalculate_normals ? 0 : 1) + ((flags & kTexturedBits) ? 1 : 0);

            uint8_t faceColour[3];
            for (int i = 0; i < 3; ++i)
                faceColour[i] = defaultRgb != nullptr ? defaultRgb[i] : 255;
            if (!face.has_vertex_colors && !face.line_attributes.empty())
                resolveStyleColor(globals, face.line_attributes[0], defaultRgb, faceColour);

            if ((flags & kOneNormalBits) != 0 || (flags & kConvertibleBits) == 0)
                continue;
            const uint64_t slots = std::min(stride * faceVertexCount(face), slotsLeft);
            slotsLeft -= slots;
            // Faces say where their slots start; writers need not lay them end to end.
            FaceConverter converter(tess, face, face.start_triangulated, uint64_t{face.start_triangulated} + slots,
                                    stride, faceColour, mesh);
            if (flags & kTriangleBits)
                converter.convertTriangles();
            else
                converter.convertFansOrStrips((flags & kFanBits) != 0);
        }
    } catch (const std::runtime_error&) {
        // A face that runs past the index array ends the conversion; what it built stays.
    }
    return mesh;
}
