// Small hand-made records whose points, triangles and winding are worked out by hand.
#include "prc/geometry/compressed_tess_decoder.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "tests/support/error_message.h"
#include "tests/prc/geometry/compressed_tess_test_meshes.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// A record oriented by reversal bits, one per triangle (which also sets T).
PRC3DTessCompressed reversalRecord(std::vector<int32_t> points, std::vector<uint8_t> edges,
                                   std::string_view referenceBits, std::vector<uint32_t> references,
                                   std::string_view reversed, double tolerance = 1)
{
    PRC3DTessCompressed r;
    r.tolerance = tolerance;
    r.point_array = std::move(points);
    r.edge_status_array = std::move(edges);
    r.point_is_reference_array = bitsFromString(referenceBits);
    r.point_reference_array = std::move(references);
    r.normals_as_reversal_bits = true;
    r.normal_is_reversed = bitsFromString(reversed);
    r.triangle_face_array.assign(r.normal_is_reversed.size(), 0);
    return r;
}

void expectPoints(const std::vector<double>& got, const std::vector<double>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-12) << "coordinate " << i;
}

TEST(CompressedTessDecoder, OneTriangleFromTheOriginAndItsWinding)
{
    // P0 = origin + d0, P1 = P0 + d1, P2 = midpoint + d2; a set bit keeps decoding order.
    PRC3DTessCompressed r = reversalRecord({2, 0, 0, 4, 0, 0, 0, 6, 0}, {}, "000", {}, "1", 0.5);
    r.hasOrigin = true;
    r.origin[0] = 10;
    CompressedTessDecoding d = buildCompressedTessMesh(r);
    expectPoints(d.vertices, pointsOf({{11, 0, 0}, {13, 0, 0}, {12, 3, 0}}));
    EXPECT_EQ(d.triangles, (std::vector<uint32_t>{0, 1, 2}));
    r.normal_is_reversed = {false};
    r.hasOrigin = false; // an older file: no origin even if one is set
    d = buildCompressedTessMesh(r);
    expectPoints(d.vertices, pointsOf({{1, 0, 0}, {3, 0, 0}, {2, 3, 0}}));
    EXPECT_EQ(d.triangles, (std::vector<uint32_t>{0, 2, 1}));
}

// A point decoded across an edge: X runs from the endpoint with the higher number to the
// lower, Y across the edge towards the opposite vertex, W = X x Y.
TessVec3 acrossEdge(TessVec3 lower, TessVec3 higher, TessVec3 opposite, TessVec3 offset)
{
    const auto unit = [](TessVec3 v) {
        const double length = std::sqrt(dot(v, v));
        return v * (1 / length);
    };
    const TessVec3 m = midpoint(lower, higher);
    const TessVec3 x = unit(lower - higher);
    const TessVec3 toOpposite = opposite - m;
    const TessVec3 y = unit(toOpposite - x * dot(toOpposite, x));
    return m + x * offset.x + y * offset.y + cross(x, y) * offset.z;
}

TEST(CompressedTessDecoder, BothEdgesOpenPushBCThenACAndTakeTheLast)
{
    const TessVec3 p0{0, 0, 0}, p1{4, 0, 0}, p2{2, 2, 0};
    struct Case {
        const char* reversed; // first triangle's flag swaps which edge is which
        std::vector<uint32_t> triangles;
        TessVec3 p3, p4;
    };
    const Case cases[] = {
        // Unflagged: B-C is 1-2 (pushed first), A-C is 0-2 (taken first).
        {"000", {0, 2, 1, 0, 3, 2, 1, 4, 2}, acrossEdge(p0, p2, p1, {1, -2, 0}), acrossEdge(p1, p2, p0, {0, -1, 3})},
        // Flagged: A and B swap roles, so 1-2 is taken first.
        {"111", {0, 1, 2, 1, 2, 3, 0, 2, 4}, acrossEdge(p1, p2, p0, {1, -2, 0}), acrossEdge(p0, p2, p1, {0, -1, 3})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reversed);
        // Triangle 1 closes both of its far edges, so triangle 2 takes the older gate.
        const PRC3DTessCompressed r =
            reversalRecord({0, 0, 0, 4, 0, 0, 0, 2, 0, 1, -2, 0, 0, -1, 3}, {3, 0}, "000 0 0", {}, c.reversed);
        const CompressedTessRun run = runCompressedTessDecoding(r, kTessFrameAsGiven, kNoForcedDecision);
        ASSERT_EQ(run.error, "");
        EXPECT_EQ(run.result.triangles, c.triangles);
        expectPoints(run.result.vertices, pointsOf({p0, p1, p2, c.p3, c.p4}));
        EXPECT_TRUE(compressedTessRunIsComplete(r, run.result));
    }
}

TEST(CompressedTessDecoder, ClosedEdgesDropStaleGates)
{
    // Three triangles around point 2, then a separate one. Triangle 0 leaves gates to both
    // others; the encoder reaches the far one through the near one, so the older gate is
    // stale once triangle 2 closes its edge 0-2, and triangle 3 must start a new chain
    // instead of taking it.
    const CompressedTessSource mesh{
        pointsOf({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {5, 5, 5}, {6, 5, 5}, {5, 6, 5}}),
        {0, 1, 2, 1, 3, 2, 3, 0, 2, 4, 5, 6},
        {}};
    CompressedTessEncoderOptions options;
    options.reopenClaimed = true;
    const CompressedTessEncoding e = encodeCompressedTess(mesh, options);
    ASSERT_EQ(e.staleGates, 1u);
    ASSERT_EQ(e.record.edge_status_array, (std::vector<uint8_t>{3, 1, 0}));
    const CompressedTessRun run = runCompressedTessDecoding(e.record, kTessFrameAsGiven, kNoForcedDecision);
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.result.triangles, (std::vector<uint32_t>{0, 1, 2, 1, 3, 2, 2, 3, 0, 4, 5, 6}));
    EXPECT_TRUE(compressedTessRunIsComplete(e.record, run.result));

    // A gate just opened is taken even on an edge closed before: triangle 1 repeats
    // triangle 0, which closed 1-2, and opens 1-2 again for triangle 2.
    const PRC3DTessCompressed again =
        reversalRecord({0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 5, 0}, {0, 1}, "000 111 0", {0, 1, 2}, "000");
    EXPECT_EQ(buildCompressedTessMesh(again).triangles, (std::vector<uint32_t>{0, 2, 1, 0, 2, 1, 1, 3, 2}));
}

TEST(CompressedTessDecoder, ChainStartsFromReferenceFlags)
{
    // Triangle 0 makes P0 = (10, 20, 30), P1 = (14, 20, 30), P2 = (12, 22, 30); edge code 0
    // leaves no gate, so triangle 1 starts a chain. Offsets of the new points: n1 = (1, 1, 1),
    // n2 = (2, 2, 2), n3 = (3, 3, 3).
    const TessVec3 p0{10, 20, 30}, p1{14, 20, 30}, p2{12, 22, 30};
    struct Case {
        const char* flags;
        std::vector<uint32_t> references;
        std::vector<uint32_t> triangle; // A, B, C after ordering A and B by number
        std::vector<TessVec3> newPoints;
    };
    const Case cases[] = {
        {"000", {}, {3, 4, 5}, {{11, 21, 31}, {13, 23, 33}, {15, 25, 35}}},
        {"100", {1}, {1, 3, 4}, {{15, 21, 31}, {16.5, 22.5, 32.5}}},
        {"010", {1}, {1, 3, 4}, {{11, 21, 31}, {14.5, 22.5, 32.5}}},
        {"001", {1}, {3, 4, 1}, {{11, 21, 31}, {13, 23, 33}}},
        {"011", {0, 2}, {0, 3, 2}, {{11, 21, 31}}},
        {"110", {0, 2}, {0, 2, 3}, {{12, 22, 31}}},
        {"101", {2, 0}, {2, 3, 0}, {{13, 23, 31}}},
        {"111", {2, 0, 1}, {0, 2, 1}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        std::vector<int32_t> points{0, 0, 0, 4, 0, 0, 0, 2, 0};
        for (int32_t n = 1; n <= static_cast<int32_t>(c.newPoints.size()); ++n)
            points.insert(points.end(), {n, n, n});
        PRC3DTessCompressed r = reversalRecord(points, {0}, std::string("000 ") + c.flags, c.references, "11");
        r.hasOrigin = true;
        r.origin[0] = 10;
        r.origin[1] = 20;
        r.origin[2] = 30;
        const CompressedTessDecoding d = buildCompressedTessMesh(r);
        std::vector<uint32_t> want{0, 1, 2};
        want.insert(want.end(), c.triangle.begin(), c.triangle.end());
        EXPECT_EQ(d.triangles, want);
        std::vector<double> wantPoints = pointsOf({p0, p1, p2});
        for (const TessVec3& p : c.newPoints)
            wantPoints.insert(wantPoints.end(), {p.x, p.y, p.z});
        expectPoints(d.vertices, wantPoints);
        EXPECT_EQ(d.referencesUsed, c.references.size());
        EXPECT_TRUE(compressedTessRunIsComplete(r, d));
    }
}

TEST(CompressedTessDecoder, MalformedStreamsFail)
{
    // Chain record: triangle 1 refers to points 0, 2 and 1.
    const PRC3DTessCompressed chain =
        reversalRecord({0, 0, 0, 4, 0, 0, 0, 2, 0}, {0}, "000 111", {0, 2, 1}, "11");
    // Strip record: triangle 1 is decoded across an edge from a new point.
    const PRC3DTessCompressed strip = reversalRecord({0, 0, 0, 4, 0, 0, 0, 2, 0, 1, -2, 0}, {2}, "000 0", {}, "11");
    const auto add = [](const char* name, PRC3DTessCompressed record, auto change) {
        change(record);
        EXPECT_FALSE(runCompressedTessDecoding(record, kTessFrameAsGiven, kNoForcedDecision).error.empty()) << name;
    };
    add("reference -1", chain, [](auto& r) { r.point_reference_array[1] = 0xFFFFFFFF; });
    add("reference N", chain, [](auto& r) { r.point_reference_array[2] = 3; });
    add("references short", chain, [](auto& r) { r.point_reference_array.pop_back(); });
    add("chain flags short", chain, [](auto& r) { r.point_is_reference_array.pop_back(); });
    add("no flags at all", chain, [](auto& r) { r.point_is_reference_array.clear(); });
    add("gate flag missing", strip, [](auto& r) { r.point_is_reference_array.pop_back(); });
    add("points short at the gate", strip, [](auto& r) { r.point_array.resize(11); });
    add("points short at the start", strip, [](auto& r) { r.point_array.resize(6); });
    add("edge codes short", strip, [](auto& r) { r.edge_status_array.clear(); });
}

TEST(CompressedTessDecoder, EmptyRecordsAndDataLeftOver)
{
    // No triangle or no point: nothing to decode.
    EXPECT_TRUE(buildCompressedTessMesh(reversalRecord({}, {}, "000", {}, "1")).vertices.empty());
    EXPECT_TRUE(buildCompressedTessMesh(reversalRecord({1, 2, 3, 4, 5, 6, 7, 8, 9}, {}, "000", {}, "")).vertices.empty());
    // A first run that completes is taken even with data over; only retries are checked.
    PRC3DTessCompressed r = reversalRecord({0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 5, 5}, {}, "000 1", {7}, "1");
    EXPECT_EQ(buildCompressedTessMesh(r).pointsMade, 3u);
    // Edge codes beyond the triangles (files store T or 3T of them) are not read, and only
    // two bits of a code count: 0xFE opens A-C, which the flag of triangle 0 makes 1-2.
    r = reversalRecord({0, 0, 0, 4, 0, 0, 0, 2, 0, 1, -2, 0}, {0xFE, 0, 0, 0, 0, 0}, "000 0", {}, "11");
    EXPECT_EQ(buildCompressedTessMesh(r).triangles, (std::vector<uint32_t>{0, 1, 2, 1, 2, 3}));
}

} // namespace
