// Hostile and degenerate compressed tessellation records. How real records decode is
// pinned by the corpus's golden results.
#include "prc/geometry/compressed_tess_decoder.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "tests/prc/geometry/compressed_tess_records.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

TEST(ClosedEdgeSet, AnswersAsASetDoesThroughHubsAndSpills)
{
    // Random edges among few points (many spill), hubs on either end of their edges, and
    // edges whose ends lie too far apart for a slot, around 65,536, beside short edges up
    // there that such a distance cut short would name; with no room reserved, room for
    // fewer points than are reached, and room to spare.
    for (const size_t reserved : {0, 100, 2000}) {
        std::mt19937 random(3);
        ClosedEdgeSet edges;
        edges.reservePoints(reserved);
        std::set<uint64_t> reference;
        const auto key = [](uint32_t p, uint32_t q) { return edgeKey(p, q); };
        const auto far = [&random](uint32_t p) { return p + 65530 + random() % 12; };
        for (int i = 0; i < 20000; ++i) {
            uint32_t p = random() % 300;
            const uint32_t q = i % 4 == 0 ? 7 : i % 4 == 1 ? 299 : i % 4 == 2 ? far(p) : random() % 300;
            if (i % 8 == 6)
                p = q - random() % 8;
            if (random() % 2 == 0) {
                edges.insert(key(p, q));
                reference.insert(key(p, q));
            }
            const uint32_t probeFrom = random() % 310;
            uint64_t probe = key(probeFrom, random() % 310);
            if (i % 4 == 2) {
                const uint32_t high = far(probeFrom);
                probe = key(random() % 2 == 0 ? high - random() % 8 : probeFrom, high);
            }
            ASSERT_EQ(edges.contains(probe), reference.count(probe) == 1) << reserved << " " << i;
            ASSERT_TRUE(edges.contains(key(p, q)) || reference.count(key(p, q)) == 0) << reserved << " " << i;
        }
    }
}

TEST(CompressedTessDecoder, MalformedStreamsFail)
{
    const PRC3DTessCompressed chain = chainRecord();
    const PRC3DTessCompressed strip = stripRecord();
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

TEST(CompressedTessRetries, AFailedRunKeepsWhatCameBeforeItsLatestDoubt)
{
    CompressedTessRun run;
    run.result.triangles.resize(3 * 50);
    EXPECT_EQ(trianglesBeforeDoubt(run), 50u); // no doubt: all it made
    // Gates are recorded as they are taken, not in the order they opened.
    run.ambiguousIds = {kDecisionsPerTriangle * 30, kDecisionsPerTriangle * 12 + 1};
    run.nearlyFlatIds = {kDecisionsPerTriangle * 40 + 2};
    EXPECT_EQ(trianglesBeforeDoubt(run), 30u);
    run.nearlyFlatIds.push_back(kDecisionsPerTriangle * 7 + 2);
    EXPECT_EQ(trianglesBeforeDoubt(run), 30u);
}
