// Lengths, frames and normals of the compressed tessellation decoder, the orientation test
// and the retries of ambiguous decisions.
#include "prc/geometry/compressed_normals.h"
#include "prc/geometry/compressed_tess_decoder.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_compressed_tess_encoder.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

void expectVector(const TessVec3& got, const TessVec3& want, double tolerance = 1e-12)
{
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

TEST(CompressedTessArithmetic, LengthsRoundTheSquareToFloat)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        TessVec3 v;
        double length; // negative: degenerate
    };
    const Case cases[] = {
        {{3, 4, 0}, 5},
        {{1, 1e-5, 0}, 1}, // 1 + 1e-10 is 1 in single precision
        {{0, 0, 2e-7}, 2e-7},
        {{1e-7, 0, 0}, -1}, // below single-precision epsilon
        {{0, 0, 0}, -1},
        {{nan, 0, 0}, -1},
        {{1e200, 0, 0}, -1}, // the square overflows a float
    };
    for (const Case& c : cases) {
        const double got = tessVectorLength(c.v);
        if (c.length < 0)
            EXPECT_LT(got, 0) << c.v.x;
        else
            EXPECT_NEAR(got, c.length, c.length * 1e-7) << c.v.x;
    }
    TessVec3 tiny{1e-8, 0, 0};
    EXPECT_FALSE(normaliseTessVector(tiny));
    EXPECT_EQ(tiny.x, 1e-8);
    TessVec3 v{0, -6, 8};
    EXPECT_TRUE(normaliseTessVector(v));
    expectVector(v, {0, -0.6, 0.8});
}

TEST(CompressedTessArithmetic, NewtonRootMatchesTheLibraryRoot)
{
    const float values[] = {0.25f, 1, 2, 3, 1e-20f, 1e20f, 3.4e38f, 1e-45f, 1.9999999f, 123456.7f};
    for (const float q : values) {
        const double want = std::sqrt(static_cast<double>(q));
        EXPECT_NEAR(newtonSquareRoot(q), want, want * 4e-16) << q;
    }
}

TEST(CompressedTessArithmetic, DefaultFrames)
{
    struct Case {
        TessVec3 direction;
        TessVec3 y, w;
    };
    const Case cases[] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, // parallel to the first axis tried
        {{0, 0, 2}, {0, 1, 0}, {-1, 0, 0}},
        {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
    };
    for (const Case& c : cases)
        for (const int mode : {kTessFrameAsGiven, kTessFrameNormalised}) {
            const TessFrame frame = defaultTessFrame(c.direction, mode);
            expectVector(frame.y, c.y);
            expectVector(frame.w, c.w);
        }
}

TEST(CompressedTessArithmetic, SeriesAndDeviation)
{
    for (double x = 0; x <= kHalfPi + 1e-12; x += kHalfPi / 64) {
        EXPECT_NEAR(cosApprox(x), std::cos(x), 4e-6) << x;
        EXPECT_NEAR(sinApprox(x), std::sin(x), 4e-6) << x;
    }
    EXPECT_EQ(cosApprox(kHalfPi), 0.0);
    EXPECT_EQ(sinApprox(kHalfPi), 1.0);
    EXPECT_EQ(cosApprox(0), 1.0);
    EXPECT_NEAR(sinApprox(-0.5), std::sin(-0.5), 4e-6); // negative codes of 16-bit angles

    struct Case {
        TessVec3 a, b;
        double deviation;
    };
    const Case cases[] = {
        {{1, 0, 0}, {0, 3, 0}, 0},
        {{1, 0, 0}, {1, 1, 0}, std::numbers::pi / 4},
        {{1, 0, 0}, {-1, 1, 0}, std::numbers::pi / 4},
        {{1, 0, 0}, {2, 0, 0}, kHalfPi},  // parallel
        {{1, 0, 0}, {-1, 0, 0}, kHalfPi}, // opposite
    };
    for (const Case& c : cases)
        EXPECT_NEAR(directionDeviation(c.a, c.b), c.deviation, 1e-12);
}

TEST(CompressedTessNormals, NormalsFromAnglesInTheFrameOfTheRightestCorner)
{
    const TessVec3 o{0, 0, 0}, x{1, 0, 0}, y{0, 1, 0}, xy{1, 1, 0};
    const double third = kHalfPi / 3; // 2-bit angles step by 30 degrees
    struct Case {
        const char* name;
        TessVec3 a, b, c;
        double alpha, beta;
        bool b1, b2, b3;
        TessVec3 normal;
    };
    // Right angle at A: U = AB = x, W = AB x AC = z, V = W x U = y.
    const Case cases[] = {
        {"A, first axis", o, x, y, 0, 0, false, false, false, {1, 0, 0}},
        {"A, first axis flipped", o, x, y, 0, 0, false, true, false, {-1, 0, 0}},
        {"A, second axis", o, x, y, kHalfPi, 0, false, false, false, {0, 1, 0}},
        {"A, second axis flipped", o, x, y, kHalfPi, 0, false, false, true, {0, -1, 0}},
        {"A, normal axis flipped flips V too", o, x, y, kHalfPi, 0, true, false, false, {0, -1, 0}},
        {"A, normal axis", o, x, y, 0, kHalfPi, false, false, false, {0, 0, 1}},
        {"A, normal axis flipped", o, x, y, 0, kHalfPi, true, false, false, {0, 0, -1}},
        {"A, 30 degrees", o, x, y, third, 0, false, false, false, {std::sqrt(3.0) / 2, 0.5, 0}},
        {"A, 30 and 60", o, x, y, third, 2 * third, false, false, false, {0.4330127, 0.25, 0.8660254}},
        // Right angle at B: U = BC = y, W = BC x BA = z, V = -x.
        {"B", o, x, xy, kHalfPi, 0, false, false, false, {-1, 0, 0}},
        {"B, first axis", o, x, xy, 0, 0, false, false, false, {0, 1, 0}},
        // Right angle at C: U = CA, W = CA x CB.
        {"C", x, y, o, 0, 0, false, false, false, {1, 0, 0}},
        {"C, second axis", x, y, o, kHalfPi, 0, false, false, false, {0, 1, 0}},
        {"degenerate", o, o, y, 0, 0, false, false, false, {0, 0, 1}},
        {"collinear: world frame", o, x, {2, 0, 0}, 0, kHalfPi, false, false, false, {0, 0, -1}},
    };
    for (const Case& c : cases)
        for (const int mode : {kTessFrameAsGiven, kTessFrameNormalised}) {
            SCOPED_TRACE(c.name);
            expectVector(normalFromAngles(c.a, c.b, c.c, c.alpha, c.beta, c.b1, c.b2, c.b3, mode), c.normal, 1e-5);
        }
}

TEST(CompressedTessNormals, ReferenceWidths)
{
    const std::pair<uint64_t, uint32_t> cases[] = {{1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 3}, {6, 4}, {9, 4}, {10, 5}};
    for (const auto& [length, width] : cases)
        EXPECT_EQ(normalReferenceWidth(length), width) << length;
}

// A decoder run positioned on the right triangle o, x, y, with the given normal data.
PRC3DTessCompressed normalRecord(std::string_view bits, std::vector<uint16_t> codes, uint8_t width)
{
    PRC3DTessCompressed r;
    r.point_array.assign(9, 0);
    r.normal_angle_number_of_bits = width;
    r.normal_binary_data = bitsFromString(bits);
    r.normal_angle_array = std::move(codes);
    return r;
}

struct NormalRun {
    NormalRun(std::string_view bits, std::vector<uint16_t> codes, uint8_t width = 2)
        : record(normalRecord(bits, std::move(codes), width)), run(record, kTessFrameAsGiven, kNoForcedDecision)
    {
        run.a = {{0, 0, 0}, 0};
        run.b = {{1, 0, 0}, 1};
        run.c = {{0, 1, 0}, 2};
    }
    PRC3DTessCompressed record;
    CompressedTessDecoder run;
};

TEST(CompressedTessNormals, PointsWithOneOrSeveralNormals)
{
    struct Case {
        const char* name;
        const char* bits;
        size_t newNormals;
        std::vector<uint32_t> results; // normal numbers of successive requests for point 0
        uint64_t bitsUsed;
    };
    const Case cases[] = {
        {"one normal, read once", "0 000", 1, {0, 0, 0}, 4},
        {"several: new, then newer and older", "1 000  0 000  1 0  1 1", 2, {0, 1, 1, 0}, 4 + 4 + 2 + 2},
        // Three normals take two bits, least significant first; 3 is past the list.
        {"several: two-bit references", "1 000 0 000 0 000  1 11  1 01  1 10  1 00", 3, {0, 1, 2, 0, 0, 1, 2},
         12 + 4 * 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NormalRun n(c.bits, std::vector<uint16_t>(2 * c.newNormals, 1));
        for (const uint32_t want : c.results)
            EXPECT_EQ(decodeVertexNormal(n.run, 0), want);
        EXPECT_EQ(n.run.out.normalBitsUsed, c.bitsUsed);
        EXPECT_EQ(n.run.out.normalAnglesUsed, 2 * c.newNormals);
        EXPECT_EQ(n.run.normals.normals.size(), c.newNormals);
    }
}

TEST(CompressedTessNormals, NewNormalReadsSignedCodesFromTheTriangle)
{
    // Width 1: code 1 is a right angle, so (1, 0) gives V = (0, 1, 0), negated by b3.
    NormalRun n("", {1, 0, 1, 0, 0, 1}, 1);
    expectVector(n.run.normals.normals[decodeNewNormal(n.run, false, false, false)], {0, 1, 0}, 1e-12);
    expectVector(n.run.normals.normals[decodeNewNormal(n.run, false, false, true)], {0, -1, 0}, 1e-12);
    expectVector(n.run.normals.normals[decodeNewNormal(n.run, true, false, false)], {0, 0, -1}, 1e-12);
    EXPECT_EQ(runtimeErrorOf([&] { decodeNewNormal(n.run, false, false, false); }),
              "buildCompressedTessMesh: normal_angle_array esaurito");

    // Width 16: codes are signed, so 0xFFFF is one step below zero.
    NormalRun wide("", {0xFFFF, 0}, 16);
    const double step = kHalfPi / 65535;
    expectVector(wide.run.normals.normals[decodeNewNormal(wide.run, false, false, false)],
                 {std::cos(step), -std::sin(step), 0}, 1e-9);
}

// Triangle 0 has three collinear points, so neither its winding nor the side of the
// point decoded across its edge 1-2 can be told (ids 2 and 4). Written in decoding order
// (forcing id 2), triangle 1 is 0, 2, 3 and needs the normals of points 2 and 3 only
// (point 0 kept one normal); the unforced run takes edge 1-2 and needs three.
PRC3DTessCompressed ambiguousRecord()
{
    PRC3DTessCompressed r;
    r.tolerance = 1;
    r.point_array = {0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 1, 0};
    r.edge_status_array = {1};
    r.triangle_face_array = {0, 1};
    r.point_is_reference_array = bitsFromString("000 0");
    r.normal_angle_number_of_bits = 1;
    r.normal_binary_data = bitsFromString("0 000  0 000  0 000");
    r.normal_angle_array = {0, 1, 0, 0, 0, 0}; // the first normal is the frame's W, (0, 0, -1)
    r.face_has_one_normal = {true, false};
    return r;
}

TEST(CompressedTessRetries, ForcingAnAmbiguousWindingRescuesTheRecord)
{
    const PRC3DTessCompressed r = ambiguousRecord();
    const CompressedTessRun first = runCompressedTessDecoding(r, kTessFrameAsGiven, kNoForcedDecision);
    EXPECT_EQ(first.error, "buildCompressedTessMesh: normal_binary_data esaurito");
    EXPECT_EQ(first.ambiguousIds, (std::vector<uint64_t>{2, 4}));
    EXPECT_EQ(first.result.triangles, (std::vector<uint32_t>{0, 2, 1})); // unforced: (A, C, B)

    const CompressedTessDecoding d = buildCompressedTessMesh(r);
    EXPECT_EQ(d.triangles, (std::vector<uint32_t>{0, 1, 2, 0, 3, 2}));
    EXPECT_EQ(d.vertices, (std::vector<double>{0, 0, 0, 2, 0, 0, 1, 0, 0, 0.5, 1, 0}));
    EXPECT_TRUE(compressedTessRunIsComplete(r, d));

    // Forcing the gate decision mirrors the point across the edge.
    const CompressedTessRun mirrored = runCompressedTessDecoding(r, kTessFrameNormalised, 4);
    EXPECT_EQ(std::vector<double>(mirrored.result.vertices.begin() + 9, mirrored.result.vertices.end()),
              (std::vector<double>{1.5, -1, 0}));
}

TEST(CompressedTessRetries, RunsLeavingDataOverAreRefused)
{
    // With one bit more the forced run ends early: no run is complete, and the first
    // run's error is what the caller sees.
    PRC3DTessCompressed r = ambiguousRecord();
    r.normal_binary_data.push_back(false);
    const CompressedTessRun forced = runCompressedTessDecoding(r, kTessFrameNormalised, 2);
    EXPECT_EQ(forced.error, "");
    EXPECT_FALSE(compressedTessRunIsComplete(r, forced.result));
    EXPECT_EQ(runtimeErrorOf([&] { buildCompressedTessMesh(r); }),
              "buildCompressedTessMesh: normal_binary_data esaurito");
}

TEST(CompressedTessNormals, FlatFaceReadsOneNormal)
{
    // Sixteen triangles of one flat face: one normal (a flag and three signs) orients all.
    CompressedTessSource square;
    for (uint32_t j = 0; j < 3; ++j)
        for (uint32_t i = 0; i < 3; ++i)
            square.points.insert(square.points.end(), {double(i), double(j), 0.0});
    for (uint32_t j = 0; j < 2; ++j)
        for (uint32_t i = 0; i < 2; ++i) {
            const uint32_t p = 3 * j + i;
            square.triangles.insert(square.triangles.end(), {p, p + 1, p + 4, p, p + 4, p + 3});
        }
    CompressedTessEncoderOptions options;
    options.angleNormals = true;
    const PRC3DTessCompressed r = encodeCompressedTess(square, options).record;
    ASSERT_EQ(r.face_has_one_normal, std::vector<bool>{true});
    EXPECT_EQ(r.normal_binary_data.size(), 4u);
    const CompressedTessDecoding d = buildCompressedTessMesh(r);
    EXPECT_EQ(d.normalBitsUsed, 4u);
    EXPECT_EQ(d.normalAnglesUsed, 2u);
    EXPECT_TRUE(compressedTessRunIsComplete(r, d));
}

TEST(CompressedTessNormals, DegenerateTrianglesAreAmbiguous)
{
    // Three coincident points: the normal falls back to (0, 0, 1), q is 0 and the winding
    // is (A, C, B) unless id 2 is forced.
    PRC3DTessCompressed r;
    r.tolerance = 1;
    r.point_array.assign(9, 0);
    r.triangle_face_array = {0};
    r.point_is_reference_array = bitsFromString("000");
    r.normal_angle_number_of_bits = 8;
    r.normal_binary_data = bitsFromString("0 000");
    r.normal_angle_array = {3, 4};
    r.face_has_one_normal = {true};
    CompressedTessRun run = runCompressedTessDecoding(r, kTessFrameAsGiven, kNoForcedDecision);
    EXPECT_EQ(run.result.triangles, (std::vector<uint32_t>{0, 2, 1}));
    EXPECT_EQ(run.ambiguousIds, (std::vector<uint64_t>{2}));
    run = runCompressedTessDecoding(r, kTessFrameNormalised, 2);
    EXPECT_EQ(run.result.triangles, (std::vector<uint32_t>{0, 1, 2}));
}

} // namespace
