// Conversion of decoded compressed tessellations into coloured meshes by face styles.
#include "prc/geometry/compressed_tess_mesh.h"
#include "tests/prc/geometry/compressed_tess_records.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kGrey{10, 20, 30};

// Styles 0, 1, 2 colour red, green and blue.
GlobalsData rgbGlobals()
{
    GlobalsData g;
    g.colours = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (uint64_t i = 0; i < 3; ++i)
        g.styles.push_back({1.0, false, i});
    return g;
}

Rgb vertexColour(const TessMesh& mesh, uint32_t vertex)
{
    return {mesh.colours[3 * vertex], mesh.colours[3 * vertex + 1], mesh.colours[3 * vertex + 2]};
}

TEST(CompressedTessToMesh, EachTriangleTakesItsFaceStyle)
{
    struct Case {
        const char* name;
        std::vector<uint16_t> styles;
        bool perTriangle;
        const Rgb* defaultRgb;
        Rgb first, second; // colours of the two source triangles
    };
    const Case cases[] = {
        {"no styles", {}, false, nullptr, kWhite, kWhite},
        {"no styles, default", {}, false, &kGrey, kGrey, kGrey},
        {"face styles", {1, 3}, false, nullptr, kRed, kBlue},
        {"0 and negative leave the default", {0, 0x8001}, false, &kGrey, kGrey, kGrey},
        {"unknown style gives the default", {9, 2}, false, &kGrey, kGrey, kGreen},
        {"unknown style without default is white", {9, 2}, false, nullptr, kWhite, kGreen},
        {"style array shorter than the faces", {2}, false, &kGrey, kGreen, kGrey},
        {"per triangle", {3, 1}, true, nullptr, kBlue, kRed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Two triangles sharing the edge 1-2, in faces 0 and 1.
        PRC3DTessCompressed r = stripRecord();
        r.triangle_face_array = {0, 1};
        r.face_style_array = c.styles;
        r.perTriangleStyles = c.perTriangle;
        if (c.perTriangle)
            r.perTriangleStyleBits = {false, false};
        const uint8_t* defaultRgb = c.defaultRgb ? c.defaultRgb->data() : nullptr;
        const TessMesh mesh = compressedTessToMesh(r, rgbGlobals(), defaultRgb);
        // Used up, the record gives the same mesh from the styles it keeps.
        const TessMesh fromUsedUp = compressedTessToMesh(std::move(r), rgbGlobals(), defaultRgb);
        EXPECT_EQ(fromUsedUp.vertices, mesh.vertices);
        EXPECT_EQ(fromUsedUp.triangles, mesh.triangles);
        EXPECT_EQ(fromUsedUp.colours, mesh.colours);
        EXPECT_TRUE(r.point_array.empty());
        ASSERT_EQ(mesh.triangles.size(), 6u);
        ASSERT_EQ(mesh.colours.size(), mesh.vertices.size());
        // Shared points are copied only when the two colours differ.
        EXPECT_EQ(mesh.vertices.size(), c.first == c.second ? 12u : 18u);
        for (uint32_t t = 0; t < 2; ++t) {
            const Rgb want = t == 0 ? c.first : c.second;
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(vertexColour(mesh, mesh.triangles[3 * t + k]), want) << "triangle " << t;
        }
    }
}

} // namespace
