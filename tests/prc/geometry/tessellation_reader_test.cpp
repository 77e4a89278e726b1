#include "prc/geometry/tessellation_reader.h"

#include "tests/support/allocation_watch.h"
#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

PRCTessFace face(uint32_t flags, std::vector<uint32_t> sizes)
{
    PRCTessFace f;
    f.used_entities_flag = flags;
    f.sizes_triangulated = std::move(sizes);
    return f;
}

// Colour entries 0, 0, 1, 2, 2, ... so that repeats occur.
PRCTessFace coloured(PRCTessFace f, size_t entries, bool rgba)
{
    f.has_vertex_colors = true;
    f.is_rgba = rgba;
    for (size_t e = 0; e < entries; ++e)
        for (int c = 0; c < (rgba ? 4 : 3); ++c)
            f.rgba_vertices.push_back(static_cast<uint8_t>((e + 1) / 2 * 40 + c));
    return f;
}

void expectSameFace(const PRCTessFace& a, const PRCTessFace& b)
{
    EXPECT_EQ(std::tie(a.used_entities_flag, a.line_attributes, a.sizes_triangulated, a.has_vertex_colors, a.is_rgba),
              std::tie(b.used_entities_flag, b.line_attributes, b.sizes_triangulated, b.has_vertex_colors, b.is_rgba));
    EXPECT_EQ(a.rgba_vertices, b.rgba_vertices);
}

TEST(TessFace, EveryFlagKindWithItsColourCount)
{
    PrcTessFaceExtras extras;
    extras.startWire = 3;
    extras.wireSizes = {2, 2};
    extras.startTriangulated = 12;
    extras.textureCoordinateIndexes = 1;
    extras.behaviour = 7;
    PRCTessFace styled = face(0x0002, {2});
    styled.line_attributes = {0, 0xFFFFFFFF, 300}; // stored plus 1: 1, 0, 301
    // Triangles count three colours per triangle; fans and strips one per vertex, also
    // when triangle bits are set as well.
    const PRCTessFace faces[] = {
        face(0x0001, {}),
        styled,
        coloured(face(0x0002, {2, 1}), 9, false),
        coloured(face(0x0020, {1}), 3, true),
        coloured(face(0x0200, {1}), 3, false),
        coloured(face(0x0004, {5, 3}), 8, false),
        coloured(face(0x0008, {4}), 4, true),
        coloured(face(0x0006, {4, 2}), 6, false),
        coloured(face(0x8000, {3}), 3, false),
        coloured(face(0x0002, {}), 0, true),
        coloured(face(0x0002, {0}), 0, false),
    };
    for (const PRCTessFace& written : faces) {
        PrcBitWriter w;
        writeTessFace(w, written, extras);
        writeTessFace(w, written);
        PrcBitInput in = inputWithSentinel(w);
        expectSameFace(readTessFace(in.reader), written);
        expectSameFace(readTessFace(in.reader), written);
        EXPECT_TRUE(atSentinel(in.reader)) << "flags " << written.used_entities_flag;
    }
}

TEST(TessFace, RepeatedColoursAreCopiedFromTheEntryBefore)
{
    // A fan of four vertices coloured A, A (repeat bit), B, B (repeat bit).
    PrcBitInput in("1 10101110 0  0  0 0  1 00000100 0  0  1 00000001 0 1 00000100 0  0  1 0 0"
                   " 00000001 00000010 00000011  1  0 00001010 00010100 00011110  1");
    const PRCTessFace f = readTessFace(in.reader);
    EXPECT_EQ(f.sizes_triangulated, (std::vector<uint32_t>{4}));
    EXPECT_EQ(f.rgba_vertices, (std::vector<uint8_t>{1, 2, 3, 1, 2, 3, 10, 20, 30, 10, 20, 30}));
}

TEST(TessFace, RefusalsAndHugeColourCounts)
{
    PrcTessFaceExtras optimised;
    optimised.optimisedColours = true;
    PrcBitWriter w;
    writeTessFace(w, coloured(face(0x0002, {1}), 3, false), optimised);
    PrcBitInput in(w.bytes());
    EXPECT_EQ(runtimeErrorOf([&] { readTessFace(in.reader); }),
              "readTessFace: unhandled b_optimised color (not described in the spec, no reference)");

    // Counts whose colours could never fit the data must not size the array.
    for (const std::vector<uint32_t>& sizes : {std::vector<uint32_t>{0xFFFFFFFF, 0xFFFFFFFF}, {40}}) {
        PRCTessFace huge = face(0x0002, sizes);
        huge.has_vertex_colors = true;
        PrcBitWriter hw;
        writeTessFace(hw, huge);
        hw.writeByteArray({1, 2, 3, 4, 5, 6});
        PrcBitInput hugeIn(hw.bytes());
        resetLargestAllocation();
        EXPECT_EQ(runtimeErrorOf([&] { readTessFace(hugeIn.reader); }), "PRCBitReader: read past end");
        EXPECT_LT(largestAllocation(), 4096u);
    }
    PrcBitInput wrongType("1 10101111 0");
    EXPECT_EQ(runtimeErrorOf([&] { readTessFace(wrongType.reader); }),
              "unexpected type for PRCTessFace: expected 174, got 175");
}

TEST(WireColours, CountFromPolylines)
{
    struct Case {
        std::vector<uint32_t> wire;
        bool segments;
        uint64_t count;
        bool refused;
    };
    const Case cases[] = {
        {{}, false, 0, false},
        {{3, 0, 1, 2, 2, 2, 3}, true, 3, false},
        {{3, 0, 1, 2, 2, 2, 3}, false, 5, false},
        {{3, 0, 1}, false, 0, true},
        {{0}, false, 0, true},
        {{0x10000002, 0, 1}, false, 0, true}, // flag bits in the upper bits
    };
    for (const Case& c : cases) {
        uint64_t count = 0;
        const std::string error = runtimeErrorOf([&] { count = countWireColorEntries(c.wire, c.segments); });
        EXPECT_EQ(error, c.refused ? "countWireColorEntries: wire_indexes not interpretable as polylines" : "");
        EXPECT_EQ(count, c.count);
    }
}

PrcPlainTess plainTess(bool mustRecalculate)
{
    PrcPlainTess t = tessOfTriangles({0, 0, 0, 1, 0, 0, 0, 1, 0});
    t.record.must_recalculate_normals = mustRecalculate;
    t.record.crease_angle = mustRecalculate ? 0.5 : 0;
    t.record.normal_coordinates = {0, 0, 1};
    t.record.face_tessellation.push_back(coloured(face(0x0004, {3}), 3, true));
    t.extras.wireIndices = {1, 2};
    t.extras.textureCoordinates = {0.5, 0.5};
    t.extras.recalculationFlags = 3;
    t.extras.hasLoops = true;
    return t;
}

PrcWireTess wireTess()
{
    PrcWireTess w;
    w.coordinates = {0, 0, 0, 1, 1, 1};
    w.wireIndexes = {2, 0, 3};
    w.hasColours = true;
    w.isSegmentColor = true;
    w.colours = {9, 9, 9};
    return w;
}

PrcMarkupTess markupTess()
{
    PrcMarkupTess m;
    m.coordinates = {1, 2, 3};
    m.codes = {0x80000000, 5};
    m.texts = {"a", "", "note"};
    m.label = "label";
    m.behaviour = 0x42;
    return m;
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
    std::vector<TessEntry> entries;
};

SectionResult readSection(const std::vector<uint8_t>& bytes, uint32_t version, bool withEntries = true)
{
    SectionResult r;
    r.plain = readFileStructureTessellation(bytes.data(), bytes.size(), version, r.compressed,
                                            withEntries ? &r.entries : nullptr);
    return r;
}

std::vector<std::pair<int, int64_t>> entryPairs(const std::vector<TessEntry>& entries)
{
    std::vector<std::pair<int, int64_t>> pairs;
    for (const TessEntry& e : entries)
        pairs.push_back({e.kind, e.index});
    return pairs;
}

TEST(TessellationSection, EveryKindGetsAnEntryInFileOrder)
{
    const std::vector<PrcTessellation> all = {plainTess(true), compressedTess(), wireTess(), markupTess(),
                                              plainTess(false), compressedTess()};
    for (const uint32_t version : {8137u, kPrcVersionUnknown}) {
        const SectionResult r = readSection(tessellationSectionBytes(all, version), version);
        ASSERT_EQ(r.plain.size(), 2u);
        EXPECT_EQ(r.compressed.size(), 2u);
        EXPECT_EQ(entryPairs(r.entries),
                  (std::vector<std::pair<int, int64_t>>{{1, 0}, {2, 0}, {0, 0}, {0, 0}, {1, 1}, {2, 1}}));
        const PRC3DTess& t = r.plain[1];
        EXPECT_EQ(t.coordinates, (std::vector<double>{0, 0, 0, 1, 0, 0, 0, 1, 0}));
        EXPECT_EQ(t.normal_coordinates, (std::vector<double>{0, 0, 1}));
        EXPECT_EQ(t.triangulated_index, (std::vector<uint32_t>{0, 3, 6}));
        ASSERT_EQ(t.face_tessellation.size(), 2u);
        expectSameFace(t.face_tessellation[1], coloured(face(0x0004, {3}), 3, true));
        EXPECT_EQ(std::tuple(t.must_recalculate_normals, r.plain[0].must_recalculate_normals, r.plain[0].crease_angle),
                  std::tuple(false, true, 0.5));
    }
    // Without an entry list the tessellations are read all the same.
    const SectionResult noEntries = readSection(tessellationSectionBytes(all, 8137), 8137, false);
    EXPECT_EQ(noEntries.plain.size(), 2u);
    EXPECT_EQ(noEntries.compressed.size(), 2u);
}

TEST(TessellationSection, KeepsWhatWasReadBeforeAnUnknownTypeOrAFailure)
{
    PrcRawTess unknown;
    unknown.bits.writeUnsignedInteger(171);
    PrcWireTess optimisedWire = wireTess();
    optimisedWire.optimisedColours = true;
    PrcWireTess brokenWire = wireTess();
    brokenWire.wireIndexes = {3, 0, 1};
    PrcCompressedTess badWidth = compressedTess();
    badWidth.record.normals_as_reversal_bits = false;
    badWidth.record.normal_angle_number_of_bits = 17;
    badWidth.record.face_has_one_normal = {false};
    const PrcTessellation failures[] = {unknown, optimisedWire, brokenWire, badWidth};
    for (const PrcTessellation& third : failures) {
        const std::vector<PrcTessellation> all = {plainTess(true), wireTess(), third, plainTess(true), markupTess()};
        const SectionResult r = readSection(tessellationSectionBytes(all, 8137), 8137);
        EXPECT_EQ(r.plain.size(), 1u);
        EXPECT_TRUE(r.compressed.empty());
        EXPECT_EQ(entryPairs(r.entries), (std::vector<std::pair<int, int64_t>>{{1, 0}, {0, 0}}));
    }

    // A section cut inside its fifth tessellation keeps four; a count above what the
    // section holds keeps all.
    const std::vector<PrcTessellation> five = {plainTess(true), compressedTess(), plainTess(false), wireTess(),
                                               plainTess(true)};
    std::vector<uint8_t> bytes = tessellationSectionBytes(five, 8137);
    bytes.resize(bytes.size() - 6);
    const SectionResult cut = readSection(bytes, 8137);
    EXPECT_EQ(cut.entries.size(), 4u);
    EXPECT_EQ(cut.plain.size(), 2u);
    EXPECT_EQ(cut.compressed.size(), 1u);
    PrcBitWriter more;
    writeTessellationSection(more, five, 8137, 1000);
    EXPECT_EQ(readSection(more.bytes(), 8137).entries.size(), 5u);
    PrcBitWriter fewer;
    writeTessellationSection(fewer, five, 8137, 2);
    EXPECT_EQ(readSection(fewer.bytes(), 8137).entries.size(), 2u);
}

TEST(TessellationSection, HeaderFailuresReachTheCaller)
{
    PrcBitWriter wrongType;
    wrongType.writeUnsignedInteger(304);
    PrcBitWriter named;
    named.writeUnsignedInteger(305);
    writeContentPRCBase(named, namedBase("tess"), 305);
    const std::pair<const PrcBitWriter*, std::string> cases[] = {
        {&wrongType, "unexpected type for FileStructureTessellation: expected 305, got 304"},
        {&named, "readEmptyContentPRCBase: unexpected name (non-empty section?)"},
    };
    for (const auto& [writer, message] : cases) {
        const std::vector<uint8_t> bytes = writer->bytes();
        EXPECT_EQ(runtimeErrorOf([&] { readSection(bytes, 8137); }), message);
    }
    EXPECT_EQ(runtimeErrorOf([&] { readSection({}, 8137); }), "PRCBitReader: read past end");
}

TEST(TessellationSection, NormalFlagsByVersion)
{
    // Up to 7038 neither flag is stored, up to 7046 only has_loops: the normals flag stays
    // set. Each version writes what it stores; reading with the next version loses step.
    struct Case {
        uint32_t version;
        bool mustRecalculate;
        bool expected;
    };
    const Case cases[] = {{7038, false, true}, {7039, false, true}, {7046, false, true},
                          {7047, false, false}, {7047, true, true}};
    for (const Case& c : cases) {
        PrcPlainTess t = plainTess(c.mustRecalculate);
        const SectionResult r = readSection(tessellationSectionBytes({t, markupTess()}, c.version), c.version);
        ASSERT_EQ(r.entries.size(), 2u) << c.version;
        EXPECT_EQ(r.plain[0].must_recalculate_normals, c.expected) << c.version;
        EXPECT_EQ(r.plain[0].crease_angle, c.expected && c.version > 7046 ? 0.5 : 0.0);
    }
    const auto signature = [](const SectionResult& r) {
        return r.entries.size() == 2 && r.plain.size() == 1 && r.plain[0].face_tessellation.size() == 2 &&
               r.plain[0].normal_coordinates == std::vector<double>{0, 0, 1};
    };
    for (const auto& [written, read] : {std::pair{7038u, 7039u}, {7039u, 7038u}, {7046u, 7047u}, {7047u, 7046u}}) {
        const std::vector<uint8_t> bytes = tessellationSectionBytes({plainTess(false), markupTess()}, written);
        EXPECT_TRUE(signature(readSection(bytes, written)));
        EXPECT_FALSE(signature(readSection(bytes, read))) << written << " read as " << read;
    }
}

} // namespace
