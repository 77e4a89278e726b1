#include "prc/geometry/tessellation_reader.h"

#include "prc/geometry/face_triangles.h"

#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"
#include "tests/support/trickled_section.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>

namespace {

using Entries = std::vector<std::pair<int, int64_t>>;

PRCTessFace face(uint32_t flags, std::vector<uint32_t> sizes, size_t colourEntries = 0, bool rgba = false)
{
    PRCTessFace f = tessFace(flags, std::move(sizes));
    f.has_vertex_colors = colourEntries > 0;
    f.is_rgba = rgba;
    for (size_t e = 0; e < colourEntries; ++e) // entries 0, 0, 1, 2, 2, ... so that repeats occur
        for (int c = 0; c < (rgba ? 4 : 3); ++c)
            f.rgba_vertices.push_back(static_cast<uint8_t>((e + 1) / 2 * 40 + c));
    return f;
}

TEST(TessFace, RefusalsAndHugeColourCounts)
{
    PrcBitWriter w;
    writeTessFace(w, face(0x0002, {1}, 3), true);
    PrcBitInput in(w.bytes());
    EXPECT_TRUE(failsToDecode([&] { readTessFace(in.reader); }));
    // Counts whose colours could never fit the data must not size the array.
    for (const std::vector<uint32_t>& sizes : {std::vector<uint32_t>{0xFFFFFFFF, 0xFFFFFFFF}, {40}}) {
        PRCTessFace huge = face(0x0002, sizes);
        huge.has_vertex_colors = true;
        PrcBitWriter hw;
        writeTessFace(hw, huge);
        hw.writeByteArray({1, 2, 3, 4, 5, 6});
        PrcBitInput hugeIn(hw.bytes());
        resetLargestAllocation();
        EXPECT_TRUE(failsToDecode([&] { readTessFace(hugeIn.reader); }));
        EXPECT_LT(largestAllocation(), 4096u);
    }
    PrcBitInput wrongType("1 10101111 0");
    EXPECT_TRUE(failsToDecode([&] { readTessFace(wrongType.reader); }));
}

// A face holds one colour per vertex its entries give; fan and strip entries start with
// their own count.
TEST(TessFace, ColourCountFollowsTheEntries)
{
    const std::tuple<uint32_t, std::vector<uint32_t>, size_t> cases[] = {
        {0x0002, {2}, 6}, {0x0008, {2, 3, 4}, 7}, {0x0004, {1, 3, 5}, 3}, {0x0008, {}, 0}};
    for (const auto& [flags, sizes, colours] : cases) {
        PrcBitWriter w;
        writeTessFace(w, face(flags, sizes, colours));
        w.writeUnsignedInteger(77);
        PrcBitInput in(w.bytes());
        const PRCTessFace read = readTessFace(in.reader);
        EXPECT_EQ(std::pair(read.rgba_vertices.size(), in.reader.readUnsignedInteger()), std::pair(3 * colours, 77u))
            << flags << " with " << sizes.size() << " entries";
    }
}

TEST(WireColours, CountFromPolylines)
{
    const std::tuple<std::vector<uint32_t>, bool, uint64_t> counted[] = {
        {{}, false, 0}, {{3, 0, 1, 2, 2, 2, 3}, true, 3}, {{3, 0, 1, 2, 2, 2, 3}, false, 5}};
    for (const auto& [wire, segments, count] : counted)
        EXPECT_EQ(countWireColorEntries(wire, segments), count);
    // Too short, an empty polyline, flag bits in the upper bits.
    for (const std::vector<uint32_t>& wire : {std::vector<uint32_t>{3, 0, 1}, {0}, {0x10000002, 0, 1}})
        EXPECT_TRUE(failsToDecode([&] { countWireColorEntries(wire, false); }));
}

PRC3DTess plainTess(bool mustRecalculate)
{
    PRC3DTess t = tessOfTriangles({0, 0, 0, 1, 0, 0, 0, 1, 0});
    t.must_recalculate_normals = mustRecalculate;
    t.crease_angle = mustRecalculate ? 0.5 : 0;
    t.face_tessellation.push_back(face(0x0004, {1, 3}, 3, true));
    return t;
}

PrcCompressedTess compressedTess()
{
    PrcCompressedTess c;
    c.record.tolerance = 0.01;
    c.record.point_array = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    c.record.triangle_face_array = {0};
    c.record.normals_as_reversal_bits = true;
    c.record.normal_is_reversed = {true};
    return c;
}

struct SectionResult {
    std::vector<PRC3DTess> plain;
    std::vector<PRC3DTessCompressed> compressed;
    Entries entries;
};

// Read whole, and read again as it arrives, which must come out the same.
SectionResult readSection(const std::vector<uint8_t>& bytes, uint32_t version, bool withEntries = true)
{
    SectionResult r;
    std::vector<TessEntry> entries;
    r.plain = readFileStructureTessellation(bytes.data(), bytes.size(), version, r.compressed,
                                            withEntries ? &entries : nullptr);
    for (const TessEntry& e : entries)
        r.entries.push_back({e.kind, e.index});

    TrickledSection trickled(bytes.data(), bytes.size());
    PRCBitReader reader(nullptr, 0, version, &trickled);
    std::vector<PRC3DTessCompressed> compressed;
    std::vector<TessEntry> trickledEntries;
    const std::vector<PRC3DTess> plain = readFileStructureTessellation(
        reader, compressed, withEntries ? &trickledEntries : nullptr, [&](size_t read) { trickled.spoilUpTo(read); });
    EXPECT_TRUE(sameRecords(plain, r.plain));
    EXPECT_TRUE(sameRecords(compressed, r.compressed));
    EXPECT_TRUE(sameRecords(trickledEntries, entries));
    return r;
}

TEST(TessellationSection, KeepsWhatWasReadBeforeAnUnknownTypeOrAFailure)
{
    PrcRawTess unknown;
    unknown.bits.writeUnsignedInteger(171);
    PrcWireTess optimisedWire;
    optimisedWire.optimisedColours = true;
    PrcWireTess brokenWire;
    brokenWire.wireIndexes = {3, 0, 1};
    PrcCompressedTess badWidth = compressedTess();
    badWidth.record.normals_as_reversal_bits = false;
    badWidth.record.normal_angle_number_of_bits = 17;
    badWidth.record.face_has_one_normal = {false};
    for (const PrcTessellation& third : std::vector<PrcTessellation>{unknown, optimisedWire, brokenWire, badWidth}) {
        const std::vector<PrcTessellation> all = {plainTess(true), PrcWireTess{}, third, plainTess(true)};
        const SectionResult r = readSection(tessellationSectionBytes(all, 8137), 8137);
        EXPECT_EQ(std::tuple(r.plain.size(), r.compressed.size(), r.entries),
                  std::tuple(size_t{1}, size_t{0}, Entries{{1, 0}, {0, 0}}));
    }

    // A section cut inside its fifth tessellation keeps four; a count above what the
    // section holds keeps all.
    const std::vector<PrcTessellation> five = {plainTess(true), compressedTess(), plainTess(false), PrcWireTess{},
                                               plainTess(true)};
    std::vector<uint8_t> bytes = tessellationSectionBytes(five, 8137);
    bytes.resize(bytes.size() - 6);
    const SectionResult cut = readSection(bytes, 8137);
    EXPECT_EQ(std::tuple(cut.entries.size(), cut.plain.size(), cut.compressed.size()),
              std::tuple(size_t{4}, size_t{2}, size_t{1}));
    for (const uint32_t count : {1000u, 2u}) {
        PrcBitWriter w;
        writeTessellationSection(w, five, 8137, count);
        EXPECT_EQ(readSection(w.bytes(), 8137).entries.size(), std::min(count, 5u));
    }
}

// The loader lets go of what lies behind the reported position: bytes there are
// overwritten as soon as they are reported, and the records must not change.
TEST(TessellationSection, NeverReadsBehindWhatItReported)
{
    std::vector<PrcTessellation> all;
    for (int round = 0; round < 3; ++round)
        for (const PrcTessellation& t : std::vector<PrcTessellation>{plainTess(true), compressedTess(), PrcWireTess{},
                                                                     PrcMarkupTess{}, plainTess(false)})
            all.push_back(t);
    const std::vector<uint8_t> bytes = tessellationSectionBytes(all, 8137);
    const SectionResult expected = readSection(bytes, 8137);

    std::vector<uint8_t> overwritten = bytes;
    std::vector<size_t> reported;
    SectionResult r;
    std::vector<TessEntry> entries;
    r.plain = readFileStructureTessellation(overwritten.data(), overwritten.size(), 8137, r.compressed, &entries,
                                            [&](size_t read) {
                                                ASSERT_LE(read, overwritten.size());
                                                std::fill_n(overwritten.begin(), read, uint8_t{0xA5});
                                                reported.push_back(read);
                                            });
    EXPECT_EQ(reported.size(), all.size());
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_EQ(entries.size(), expected.entries.size());
    EXPECT_EQ(r.compressed, expected.compressed);
    EXPECT_TRUE(sameRecords(r.plain, expected.plain));
}

TEST(TessellationSection, HeaderFailuresReachTheCaller)
{
    PrcBitWriter wrongType;
    wrongType.writeUnsignedInteger(304);
    PrcBitWriter named;
    named.writeUnsignedInteger(305);
    writeContentPRCBase(named, namedBase("tess"), 305);
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {wrongType.bytes(), "unexpected type for FileStructureTessellation: expected 305, got 304"},
        {named.bytes(), "readEmptyContentPRCBase: unexpected name (non-empty section?)"},
        {{}, "PRCBitReader: read past end"},
    };
    for (const auto& [bytes, message] : cases) {
        const std::vector<uint8_t>& section = bytes; // clang 14 cannot capture a binding
        EXPECT_EQ(failsToDecode([&] { readSection(section, 8137); }), !std::string_view(message).empty());
    }
}

TEST(TessellationSection, NormalFlagsByVersion)
{
    // Up to 7038 neither flag is stored, up to 7046 only has_loops: the normals flag stays
    // set. Each version writes what it stores; reading with the next version loses step.
    const std::tuple<uint32_t, bool, bool> cases[] = {
        {7038, false, true}, {7039, false, true}, {7046, false, true}, {7047, false, false}, {7047, true, true}};
    for (const auto& [version, mustRecalculate, expected] : cases) {
        const SectionResult r =
            readSection(tessellationSectionBytes({plainTess(mustRecalculate), PrcMarkupTess{}}, version), version);
        ASSERT_EQ(r.entries.size(), 2u) << version;
        EXPECT_EQ(std::pair(r.plain[0].must_recalculate_normals, r.plain[0].crease_angle),
                  std::pair(expected, expected && version > 7046 ? 0.5 : 0.0));
    }
    // The index slots as written, resolved as the reading took the normals flag.
    const auto signature = [](const SectionResult& r) {
        if (r.entries.size() != 2 || r.plain.size() != 1 || r.plain[0].face_tessellation.size() != 2)
            return false;
        PRC3DTess expected = plainTess(false);
        expected.must_recalculate_normals = r.plain[0].must_recalculate_normals;
        resolveFaceVertices(expected);
        return r.plain[0].face_vertices == expected.face_vertices && r.plain[0].index_slots == expected.index_slots;
    };
    for (const auto& [written, read] : {std::pair{7038u, 7039u}, {7039u, 7038u}, {7046u, 7047u}, {7047u, 7046u}}) {
        const std::vector<uint8_t> bytes = tessellationSectionBytes({plainTess(false), PrcMarkupTess{}}, written);
        EXPECT_TRUE(signature(readSection(bytes, written)));
        EXPECT_FALSE(signature(readSection(bytes, read))) << written << " read as " << read;
    }
}

} // namespace
