// Normal streams that run out, and when a retried run of an ambiguous record counts as
// complete. How real records decode is pinned by the corpus's golden results.
#include "prc/geometry/compressed_normals.h"
#include "prc/geometry/compressed_tess_decoder.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "tests/support/error_message.h"
#include "tests/prc/geometry/compressed_tess_records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

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
        initCompressedNormalState(state, record, 3, points, kTessFrameAsGiven);
    }
    double points[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    PRC3DTessCompressed record;
    CompressedNormalState state;
    NormalTriangle triangle{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0, 1, 2};
};

TEST(CompressedTessNormals, RunsOutOfNormalsOrReferencesFail)
{
    // A reference past the point's list of three normals: the run has lost its place.
    NormalRun past("1 000 0 000 0 000  1 11", std::vector<uint16_t>(6, 1));
    for (int i = 0; i < 3; ++i)
        decodeVertexNormal(past.state, past.triangle, 0);
    EXPECT_TRUE(failsToDecode([&] { decodeVertexNormal(past.state, past.triangle, 0); }));
    // Two angles make one new normal; the third request finds one angle left.
    NormalRun angles("", {1, 0, 1, 0, 0}, 1);
    decodeNewNormal(angles.state, angles.triangle, false, false, false);
    decodeNewNormal(angles.state, angles.triangle, false, false, false);
    EXPECT_TRUE(failsToDecode([&] { decodeNewNormal(angles.state, angles.triangle, false, false, false); }));
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

TEST(CompressedTessNormals, CornerChoiceRanksAsTheArcCosinesDo)
{
    // Random triangles, and nearly isosceles ones whose two base corners differ by a
    // jitter from far below to far above the margin that spares the arc cosines.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> coordinate(-1, 1);
    std::uniform_real_distribution<double> jitterExponent(-12, -3);
    const auto point = [&] { return TessVec3{coordinate(random), coordinate(random), coordinate(random)}; };
    for (int i = 0; i < 300000; ++i) {
        const TessVec3 a = point();
        const TessVec3 b = point();
        TessVec3 c = point();
        if (i % 2 == 0) {
            TessVec3 across = cross(b - a, c - a);
            across = cross(across, b - a);
            c = midpoint(a, b) + across * (1 + std::pow(10.0, jitterExponent(random)));
            c.x += std::pow(10.0, jitterExponent(random));
        }
        TessVec3 u1 = b - a;
        TessVec3 u2 = c - a;
        TessVec3 u3 = c - b;
        if (!normaliseTessVector(u1) || !normaliseTessVector(u2) || !normaliseTessVector(u3))
            continue;
        const double devA = directionDeviation(u1, u2);
        const double devB = directionDeviation(u3, -u1);
        const double devC = directionDeviation(-u2, -u3);
        const int ranked = devB > devA && devC > devA ? 0 : devC > devB ? 1 : 2;
        ASSERT_EQ(rightestCorner(u1, u2, u3), ranked) << i;
    }
}

TEST(CompressedTessNormals, PointListsKeepTheirOrderAsTheyGrowInterleaved)
{
    NormalLists lists;
    std::vector<std::vector<uint32_t>> expected;
    for (uint32_t step = 0; step < 200; ++step) {
        const uint32_t list = step % 7 == 0 ? lists.add(step) : (step * 5) % static_cast<uint32_t>(expected.size());
        if (list == expected.size()) {
            expected.push_back({step});
        } else {
            lists.append(list, step);
            expected[list].push_back(step);
        }
    }
    for (uint32_t list = 0; list < expected.size(); ++list) {
        ASSERT_EQ(lists.length(list), expected[list].size());
        for (uint64_t r = 0; r < expected[list].size(); ++r)
            EXPECT_EQ(lists.fromNewest(list, r), expected[list][expected[list].size() - 1 - r]);
    }
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
    // Points and references from the chain record, normals from the angle-mode record.
    const PRC3DTessCompressed reversal = chainRecord();
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
