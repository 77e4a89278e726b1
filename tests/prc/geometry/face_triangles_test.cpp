// Per-vertex colours of a converted face: which colour entry lands on which vertex.
// Connectivity, strides and the other colour sources are covered through whole files
// by the driver tests.
#include "prc/geometry/face_triangles.h"

#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A face whose colour entry k is the grey k + 1.
PRCTessFace colouredFace(uint32_t flags, std::vector<uint32_t> sizes, uint8_t entries, uint32_t start = 0)
{
    PRCTessFace f = tessFace(flags, std::move(sizes), start);
    f.has_vertex_colors = true;
    for (uint8_t k = 1; k <= entries; ++k)
        f.rgba_vertices.insert(f.rgba_vertices.end(), {k, k, k});
    return f;
}

TessMesh convert(PRC3DTess tess, const uint8_t* defaultRgb = nullptr)
{
    resolveFaceVertices(tess);
    return appendFaceTriangles(tess, GlobalsData{}, defaultRgb);
}

// The grey level of each vertex (255 for white).
std::vector<int> greys(const TessMesh& mesh)
{
    std::vector<int> levels;
    for (size_t i = 0; i + 3 <= mesh.colours.size(); i += 3)
        levels.push_back(mesh.colours[i]);
    return levels;
}

TEST(AppendFaceTriangles, VertexColourEntries)
{
    struct Case {
        std::string name;
        std::vector<uint32_t> points; // slot values are point indices times 3
        std::vector<PRCTessFace> faces;
        std::vector<int> expected; // four vertices
    };
    const Case cases[] = {
        // Entry e is the vertex's ordinal within the face; the last write wins.
        {"triangles over two entries", {0, 1, 2, 2, 3, 0}, {colouredFace(0x2, {1, 1}, 6)}, {6, 2, 4, 5}},
        {"fans count the vertices of earlier entries, short ones too",
         {0, 0, 3, 2, 1},
         {colouredFace(0x4, {2, 2, 3}, 5)},
         {255, 5, 4, 3}},
        {"each face starts over", {0, 1, 2, 3, 2, 1}, {colouredFace(0x2, {1}, 3), colouredFace(0x2, {1}, 3, 3)},
         {1, 3, 2, 1}},
        {"a cut entry leaves the vertex", {0, 1, 2}, {colouredFace(0x2, {1}, 2)}, {1, 2, 255, 255}},
        // A triangle naming a missing point still colours its other corners; a face cut
        // by the end of the indices keeps the colours written before the cut.
        {"dropped and unfinished triangles", {0, 1, 9, 2, 1, 0, 0, 3}, {colouredFace(0x2, {3}, 9)},
         {7, 5, 4, 8}},
    };
    for (const Case& c : cases) {
        PRC3DTess tess;
        tess.coordinates.assign(12, 0.5);
        for (const uint32_t p : c.points)
            tess.triangulated_index.push_back(3 * p);
        tess.face_tessellation = c.faces;
        EXPECT_EQ(greys(convert(tess)), c.expected) << c.name;
    }
}

TEST(AppendFaceTriangles, RgbaAndDefaultColour)
{
    PRC3DTess tess;
    tess.coordinates.assign(13, 0.5); // an incomplete point gets no default colour
    tess.triangulated_index = {0, 3, 6};
    PRCTessFace& f = tess.face_tessellation.emplace_back(colouredFace(0x2, {1}, 0));
    f.is_rgba = true;
    f.rgba_vertices = {1, 2, 3, 99, 4, 5, 6, 99};
    const uint8_t grey[3] = {9, 9, 9};
    EXPECT_EQ(convert(tess, grey).colours,
              (Bytes{1, 2, 3, 4, 5, 6, 9, 9, 9, 9, 9, 9, 255}));
}

// Strips alternate their winding so that every triangle faces the same way as the
// first; the colours stay with the vertices they were written for.
TEST(AppendFaceTriangles, StripsKeepOneWinding)
{
    PRC3DTess tess;
    tess.coordinates = {0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 1, 0, 2, 0, 0, 2, 1, 0};
    for (const uint32_t p : {0, 1, 2, 3, 4, 5, 4, 3})
        tess.triangulated_index.push_back(3 * p);
    PRCTessFace strips = tessFace(0x0008, {2, 5, 3}); // each strip starts with a triangle as given
    strips.has_vertex_colors = true;
    for (uint8_t k = 1; k <= 8; ++k)
        strips.rgba_vertices.insert(strips.rgba_vertices.end(), {k, k, k});
    tess.face_tessellation = {strips};
    const TessMesh mesh = convert(tess);
    EXPECT_EQ(mesh.triangles, (std::vector<uint32_t>{0, 1, 2, 2, 1, 3, 2, 3, 4, 5, 4, 3}));
    EXPECT_EQ(greys(mesh), (std::vector<int>{1, 2, 3, 8, 7, 6}));
}

// Point numbers are kept in two bytes while every point of the record fits; a number
// past the coordinates drops its triangle in either width, however far past it lies.
TEST(AppendFaceTriangles, PointNumbersInEitherWidth)
{
    for (const uint32_t points : {4u, 65535u, 65536u, 70000u}) {
        PRC3DTess tess;
        tess.coordinates.assign(3 * uint64_t{points}, 0.5);
        const uint32_t last = points - 1;
        // Past the end: 65,537 would read as point 1 if cut to two bytes.
        for (const uint32_t p : {0u, 1u, last, 0u, 65537u, 2u, last, 2u, 1u, 0u, 1u, 2u * points})
            tess.triangulated_index.push_back(3 * p);
        tess.face_tessellation = {tessFace(0x2, {4})};
        const std::vector<uint32_t> kept =
            points > 65537 ? std::vector<uint32_t>{0, 1, last, 0, 65537, 2, last, 2, 1} : std::vector<uint32_t>{0, 1, last, last, 2, 1};
        resolveFaceVertices(tess);
        EXPECT_EQ(appendFaceTriangles(tess, GlobalsData{}, nullptr).triangles, kept) << points;
        resolveFaceVertices(tess); // already resolved: nothing changes
        EXPECT_EQ(appendFaceTriangles(tess, GlobalsData{}, nullptr).triangles, kept) << points;
    }
}

} // namespace
