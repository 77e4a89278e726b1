// Normals per point and per face, the orientation test and the retries of ambiguous
// decisions.
#include "prc/geometry/compressed_normals.h"
#include "prc/geometry/compressed_tess_decoder.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "tests/support/error_message.h"
#include "tests/prc/geometry/compressed_tess_test_meshes.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

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
        : record(normalRecord(bits, std::move(codes), width))
    {
        initCompressedNormalState(state, record, 3, kTessFrameAsGiven);
    }
    PRC3DTessCompressed record;
    CompressedNormalState state;
    NormalTriangle triangle{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0, 1, 2};
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
        // Three normals take two bits, least significant first.
        {"several: two-bit references", "1 000 0 000 0 000  1 01  1 10  1 00", 3, {0, 1, 2, 0, 1, 2}, 12 + 3 * 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NormalRun n(c.bits, std::vector<uint16_t>(2 * c.newNormals, 1));
        for (const uint32_t want : c.results)
            EXPECT_EQ(decodeVertexNormal(n.state, n.triangle, 0), want);
        EXPECT_EQ(n.state.bitsUsed, c.bitsUsed);
        EXPECT_EQ(n.state.anglesUsed, 2 * c.newNormals);
        EXPECT_EQ(n.state.normals.size(), c.newNormals);
    }
    // A reference past the point's list: the run has lost its place in the streams.
    NormalRun past("1 000 0 000 0 000  1 11", std::vector<uint16_t>(6, 1));
    for (int i = 0; i < 3; ++i)
        decodeVertexNormal(past.state, past.triangle, 0);
    EXPECT_TRUE(failsToDecode([&] { decodeVertexNormal(past.state, past.triangle, 0); }));
}

TEST(CompressedTessNormals, NewNormalReadsSignedCodesFromTheTriangle)
{
    // Width 1: code 1 is a right angle, so (1, 0) gives V = (0, 1, 0), negated by b3.
    NormalRun n("", {1, 0, 1, 0, 0, 1}, 1);
    const auto y = [&](bool b1, bool b3) { return n.state.normals[decodeNewNormal(n.state, n.triangle, b1, false, b3)].y; };
    EXPECT_NEAR(y(false, false), 1, 1e-12);
    EXPECT_NEAR(y(false, true), -1, 1e-12);
    EXPECT_NEAR(n.state.normals[decodeNewNormal(n.state, n.triangle, true, false, false)].z, -1, 1e-12);
    EXPECT_TRUE(failsToDecode([&] { decodeNewNormal(n.state, n.triangle, false, false, false); }));

    // Width 16: codes are signed, so 0xFFFF is one step below zero.
    NormalRun wide("", {0xFFFF, 0}, 16);
    EXPECT_NEAR(wide.state.normals[decodeNewNormal(wide.state, wide.triangle, false, false, false)].y, -kHalfPi / 65535, 1e-12);
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
    // With one bit more the forced run ends early: no run is complete, and the caller
    // gets what the first run made before its error.
    PRC3DTessCompressed r = ambiguousRecord();
    r.normal_binary_data.push_back(false);
    const CompressedTessRun forced = runCompressedTessDecoding(r, kTessFrameNormalised, 2);
    EXPECT_EQ(forced.error, "");
    EXPECT_FALSE(compressedTessRunIsComplete(r, forced.result));
    const CompressedTessRun first = runCompressedTessDecoding(r, kTessFrameAsGiven, kNoForcedDecision);
    EXPECT_FALSE(first.error.empty());
    EXPECT_EQ(buildCompressedTessMesh(r).triangles, first.result.triangles);
}

TEST(CompressedTessNormals, FlatFaceReadsOneNormalAndTruncatedStreamsFail)
{
    // Both triangles of the record in face 0, which has one normal: it is read once.
    PRC3DTessCompressed flat = ambiguousRecord();
    flat.triangle_face_array = {0, 0};
    flat.face_has_one_normal = {true};
    flat.normal_binary_data = bitsFromString("0 000");
    flat.normal_angle_array = {0, 1};
    const CompressedTessRun run = runCompressedTessDecoding(flat, kTessFrameAsGiven, kNoForcedDecision);
    EXPECT_EQ(std::tuple(run.error, run.result.normalBitsUsed, run.result.normalAnglesUsed),
              std::tuple(std::string(), uint64_t{4}, uint64_t{2}));
    EXPECT_TRUE(compressedTessRunIsComplete(flat, run.result));
    for (const auto& [bits, angles, message] : {std::tuple{"0 00", 2, "normal_binary_data esaurito"},
                                                std::tuple{"0 000", 1, "normal_angle_array esaurito"}}) {
        flat.normal_binary_data = bitsFromString(bits);
        flat.normal_angle_array.resize(angles);
        EXPECT_TRUE(failsToDecode([&] { buildCompressedTessMesh(flat); }));
    }
}

TEST(CompressedTessRetries, CompletenessNeedsEveryStreamUsed)
{
    // Points and references from an encoded grid, normals from the angle-mode record.
    const PRC3DTessCompressed reversal = encodeCompressedTess(grid(3, 2)).record;
    const PRC3DTessCompressed angles = ambiguousRecord();
    using Cursor = uint64_t CompressedTessDecoding::*;
    const std::tuple<const PRC3DTessCompressed*, Cursor, bool> cases[] = {
        {&reversal, &CompressedTessDecoding::pointsMade, true},
        {&reversal, &CompressedTessDecoding::referencesUsed, true},
        {&reversal, &CompressedTessDecoding::referenceBitsUsed, true},
        {&reversal, &CompressedTessDecoding::normalBitsUsed, false}, // normal streams do not count then
        {&angles, &CompressedTessDecoding::normalBitsUsed, true},
        {&angles, &CompressedTessDecoding::normalAnglesUsed, true}};
    for (const auto& [record, cursor, counts] : cases) {
        CompressedTessDecoding d = buildCompressedTessMesh(*record);
        ASSERT_TRUE(compressedTessRunIsComplete(*record, d));
        d.*cursor ^= 1;
        EXPECT_EQ(compressedTessRunIsComplete(*record, d), !counts);
        d.*cursor ^= 1;
        d.triangles.resize(3);
        EXPECT_FALSE(compressedTessRunIsComplete(*record, d));
    }
}

} // namespace
