#include "tests/support/sample_u3d.h"

#include "tests/support/test_images.h"
#include "tests/support/u3d_geometry_writer.h"
#include "tests/support/u3d_scene_blocks.h"
#include "u3dlib/modifier_chain.h"
#include "u3dlib/scene.h"

#include <cmath>

namespace {

constexpr uint32_t kCheckerSide = 8;

// A box from min to max: 8 corners, 12 faces, one normal per side, the texture
// spread over the front (-Y) side.
U3dBaseMeshDesc box(IFXVector3 lo, IFXVector3 hi, bool textured)
{
    U3dBaseMeshDesc m;
    for (int i = 0; i < 8; ++i)
        m.positions.push_back({i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z});
    m.normals = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    if (textured)
        m.texCoords = {{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {1, 1, 0, 0}};
    // Each side as two triangles (corner numbers), with its normal.
    struct Side {
        uint32_t normal;
        std::array<uint32_t, 4> quad; // counter-clockwise seen from outside
    };
    const Side sides[] = {{0, {0, 4, 6, 2}}, {1, {1, 3, 7, 5}}, {2, {0, 1, 5, 4}},
                          {3, {2, 6, 7, 3}}, {4, {0, 2, 3, 1}}, {5, {4, 5, 7, 6}}};
    for (const Side& s : sides) {
        const std::array<std::array<uint32_t, 3>, 2> tris = {{{s.quad[0], s.quad[1], s.quad[2]},
                                                              {s.quad[0], s.quad[2], s.quad[3]}}};
        // Front side texture corners: quad order bottom-left, bottom-right, top-right, top-left.
        const std::array<std::array<uint32_t, 3>, 2> uv = {{{0, 1, 3}, {0, 3, 2}}};
        for (int t = 0; t < 2; ++t) {
            U3dBaseFace f;
            f.positions = tris[size_t(t)];
            f.normals = {s.normal, s.normal, s.normal};
            if (textured)
                f.texCoords = {s.normal == 2 ? uv[size_t(t)] : std::array<uint32_t, 3>{0, 0, 0}};
            m.faces.push_back(f);
        }
    }
    return m;
}

U3dGeneratorDesc boxDeclaration(const std::string& name, bool textured)
{
    U3dGeneratorDesc d{.name = name, .primitiveCount = 12, .positionCount = 8, .normalCount = 6,
                       .texCoordCount = textured ? 4u : 0u, .maxResolution = 8};
    if (textured)
        d.shadings = {U3dShadingDesc{0, {2}, 0}};
    return d;
}

std::vector<uint8_t> checkerPixels()
{
    std::vector<uint8_t> p;
    for (uint32_t y = 0; y < kCheckerSide; ++y)
        for (uint32_t x = 0; x < kCheckerSide; ++x) {
            const bool dark = (x + y) % 2 == 1;
            p.insert(p.end(), {uint8_t(dark ? 40 : 240), uint8_t(dark ? 90 : 200), uint8_t(dark ? 160 : 60), 255});
        }
    return p;
}

// A view placed at eye, looking at target with +Z up: the columns of its matrix are
// the camera's right, up and back axes.
U3dMatrix lookAt(IFXVector3 eye, IFXVector3 target)
{
    auto norm = [](std::array<float, 3> v) {
        const float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        return std::array<float, 3>{v[0] / l, v[1] / l, v[2] / l};
    };
    auto cross = [](std::array<float, 3> a, std::array<float, 3> b) {
        return std::array<float, 3>{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    const auto back = norm({eye.x - target.x, eye.y - target.y, eye.z - target.z});
    const auto right = norm(cross({0, 0, 1}, back));
    const auto up = cross(back, right);
    return {right[0], right[1], right[2], 0, up[0], up[1], up[2], 0, back[0], back[1], back[2], 0, eye.x, eye.y, eye.z, 1};
}

} // namespace

std::vector<uint8_t> sampleFrameU3d()
{
    U3dClodMeshWriter board(boxDeclaration("Board", true));
    U3dClodMeshWriter peg(boxDeclaration("Peg", false));

    // The border: four corners around the board, joined in a loop.
    U3dPointLineWriter border({.kind = U3dGeneratorKind::LineSet, .name = "Outline", .primitiveCount = 4,
                               .positionCount = 4, .shadings = {U3dShadingDesc{}}});
    std::vector<U3dPointLineUpdateDesc> corners(4);
    const IFXVector3 cornerPositions[] = {{-1.2f, -0.2f, -0.2f}, {1.2f, -0.2f, -0.2f}, {1.2f, -0.2f, 2.2f}, {-1.2f, -0.2f, 2.2f}};
    for (uint32_t i = 0; i < 4; ++i) {
        corners[i].split = i == 0 ? 0 : i - 1;
        corners[i].position = cornerPositions[i];
        corners[i].normalCount = 0;
        if (i > 0)
            corners[i].items.push_back({0, i - 1, {{}, {}}});
    }
    corners[3].items.push_back({0, 0, {{}, {}}});

    const U3dBytes pegR = u3dModifierChainBlock(
        "Peg R", u3dlib::kChainTypeNode,
        {u3dModelNodeBlock("Peg R", {{"Frame", u3dTranslation(0.9f, 0, -0.5f)}}, "Peg"),
         u3dShadingModifierBlock("Peg R", {{"Brass"}}, 1)});
    const U3dBytes pegL = u3dModifierChainBlock(
        "Peg L", u3dlib::kChainTypeNode,
        {u3dModelNodeBlock("Peg L", {{"Frame", u3dTranslation(-0.9f, 0, -0.5f)}}, "Peg"),
         u3dShadingModifierBlock("Peg L", {{"Brass"}}, 1)});
    return u3dFile(
        {
            u3dGroupNodeBlock("Frame", {{"", kU3dIdentity}}),
            u3dModifierChainBlock("Picture", u3dlib::kChainTypeNode,
                                  {u3dModelNodeBlock("Picture", {{"Frame", kU3dIdentity}}, "Board"),
                                   u3dShadingModifierBlock("Picture", {{"Canvas"}}, 1)}),
            u3dModifierChainBlock("Border", u3dlib::kChainTypeNode,
                                  {u3dModelNodeBlock("Border", {{"Frame", kU3dIdentity}}, "Outline"),
                                   u3dShadingModifierBlock("Border", {{"Ink"}}, 1)}),
            pegL,
            pegR,
            u3dViewNodeBlock("Front", {{"", lookAt({2.5f, -6, 3.5f}, {0, 0, 0.8f})}}, "FrontView", 0, {35, 0, 0}),
            u3dLightNodeBlock("Sun", {{"", u3dTranslation(3, -4, 6)}}, "SunLight"),
            u3dModifierChainBlock("Board", u3dlib::kChainTypeModelResource, {board.declarationBlock()}),
            u3dModifierChainBlock("Peg", u3dlib::kChainTypeModelResource, {peg.declarationBlock()}),
            u3dModifierChainBlock("Outline", u3dlib::kChainTypeModelResource, {border.declarationBlock()}),
            u3dLightResourceBlock("SunLight", {.type = 1, .colour = {1, 0.95f, 0.9f}}),
            u3dViewResourceBlock("FrontView", {"Frame"}),
            u3dLitTextureShaderBlock("Canvas", "White", {{0, "Checker"}}),
            u3dLitTextureShaderBlock("Ink", "Navy"),
            u3dLitTextureShaderBlock("Brass", "Gold"),
            u3dMaterialBlock("White", {1, 1, 1}),
            u3dMaterialBlock("Navy", {0.1f, 0.15f, 0.5f}),
            u3dMaterialBlock("Gold", {0.85f, 0.65f, 0.2f}),
            u3dTextureDeclarationBlock("Checker", kCheckerSide, kCheckerSide, u3dlib::kTextureTypeRgba,
                                       {{2, 0x0F, {}, 0}}),
            board.baseMeshBlock(box({-1, -0.1f, 0}, {1, 0.1f, 2}, true)),
            peg.baseMeshBlock(box({-0.15f, -0.15f, 0}, {0.15f, 0.15f, 0.5f}, false)),
            border.continuationBlock(corners),
            u3dTextureContinuationBlock("Checker", 0, encodePng(kCheckerSide, kCheckerSide, 4, checkerPixels())),
        },
        0x8);
}
