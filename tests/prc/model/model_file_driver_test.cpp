// Whole PRC files built with the test writer, decoded by the ModelFile driver.
#include "prc/model/model_file_driver.h"

#include "prc/model/assembly_mesh.h"
#include "prc/model/model_result_output.h"
#include "tests/prc/geometry/compressed_tess_records.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using Triangles = std::vector<uint32_t>;
using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;
constexpr uint32_t kNone = kPrcNoIndex;

class Decoded {
public:
    explicit Decoded(const std::vector<uint8_t>& file, const AssemblyLimits& limits = {})
        : ok(decodeModelFileWithLimits(file.data(), static_cast<uint32_t>(file.size()), limits, r))
    {
    }
    explicit Decoded(const PrcModel& model, const AssemblyLimits& limits = {}) : Decoded(buildPrcModelFile(model), limits) {}
    ~Decoded() { releaseModelResult(r); }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;

    Triangles triangles() const { return Triangles(r.triangles, r.triangles + 3 * r.triangleCount); }
    Bytes colour(size_t vertex) const { return Bytes(r.colours + 3 * vertex, r.colours + 3 * vertex + 3); }
    Names names() const
    {
        Names names;
        for (uint32_t i = 0; i < r.nodeCount; ++i)
            names.push_back(r.nodes[i].name);
        return names;
    }

    PrcModelResult r{};
    const bool ok;
};

// Colours red, green and blue; style k names colour k, style 3 a material whose
// diffuse colour is blue.
PrcFileStructureSpec fileStructure(PrcUid uid = {1, 2, 3, 4})
{
    PrcFileStructureSpec fs;
    fs.uid = uid;
    fs.globals.colours = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    PrcMaterial material;
    material.diffusePlusOne = 3;
    fs.globals.materials = {material};
    fs.globals.styles = {colourStyle(0), colourStyle(1), colourStyle(2), colourStyle(0, true)};
    return fs;
}

PrcModel modelOf(PrcTree tree, std::vector<PrcTessellation> tessellations, uint32_t rootPlusOne = 1)
{
    PrcModel model;
    PrcFileStructureSpec& fs = model.fileStructures.emplace_back(fileStructure());
    fs.tree = std::move(tree);
    fs.tessellations = std::move(tessellations);
    model.roots.push_back({fs.uid, rootPlusOne});
    return model;
}

// pointCount points; each slot value names a point (times 3), a normal or a texture.
PRC3DTess tessOf(int pointCount, std::vector<uint32_t> pointsOrSlots, std::vector<PRCTessFace> faces,
                    bool recalculateNormals = true, bool rawSlots = false)
{
    PRC3DTess tess;
    for (int k = 0; k < 3 * pointCount; ++k)
        tess.coordinates.push_back(k / 3 + (k % 3) * 0.25);
    for (const uint32_t p : pointsOrSlots)
        tess.triangulated_index.push_back(rawSlots ? p : p * 3);
    tess.face_tessellation = std::move(faces);
    tess.must_recalculate_normals = recalculateNormals;
    return tess;
}

TEST(ModelFileDriver, FaceKindsAndStrides)
{
    const uint32_t n = 999; // a normal or texture slot, never read as a point
    struct Case {
        std::string name;
        PRC3DTess tess;
        Triangles expected;
    };
    const Case cases[] = {
        {"triangles over two entries", tessOf(4, {0, 1, 2, 2, 1, 3}, {tessFace(0x2, {1, 1})}), {0, 1, 2, 2, 1, 3}},
        {"fan of 5", tessOf(5, {0, 1, 2, 3, 4}, {tessFace(0x4, {1, 5})}), {0, 1, 2, 0, 2, 3, 0, 3, 4}},
        {"strip of 5, odd triangles turned", tessOf(5, {0, 1, 2, 3, 4}, {tessFace(0x8, {1, 5})}), {0, 1, 2, 2, 1, 3, 2, 3, 4}},
        {"short fans move the position", tessOf(5, {4, 3, 0, 1, 2}, {tessFace(0x4, {3, 2, 0, 3})}), {0, 1, 2}},
        // The leading count is no vertex count; entries beyond it are not read.
        {"strip entries start with their count",
         tessOf(5, {0, 1, 2, 3, 4, 3, 2}, {tessFace(0x8, {1, 4, 9}), tessFace(0x2, {1}, 4)}), {0, 1, 2, 2, 1, 3, 4, 3, 2}},
        // Each face starts where it says, in any order.
        {"faces at their own starts", tessOf(4, {2, 1, 3, 0, 1, 2}, {tessFace(0x2, {1}, 3), tessFace(0x2, {1})}),
         {0, 1, 2, 2, 1, 3}},
        {"faces sharing slots stop once the array is spent",
         tessOf(3, {0, 1, 2}, {tessFace(0x2, {1}), tessFace(0x2, {1}), tessFace(0x4, {1, 3})}), {0, 1, 2}},
        {"mixed face: entries count triangles", tessOf(4, {0, 1, 2, 1, 2, 3}, {tessFace(0x6, {2})}),
         {0, 1, 2, 1, 2, 3}},
        {"polyface and one-normal faces add nothing",
         tessOf(4, {3, 3, 3, 3, 3, 3, 0, 1, 2}, {tessFace(0x1, {3}), tessFace(0x12, {1, 2}, 3), tessFace(0x2, {1}, 6)}),
         {0, 1, 2}},
        {"stride 2 with normals", tessOf(4, {n, 0, n, 3, n, 6, n, 3, n, 6, n, 9}, {tessFace(0x2, {1}), tessFace(0x2, {1}, 6)},
                                        false, true),
         {0, 1, 2, 1, 2, 3}},
        {"stride 2 with textures",
         tessOf(4, {n, 0, n, 3, n, 6, n, 9, n, 6, n, 3}, {tessFace(0x0200, {2})}, true, true), {0, 1, 2, 3, 2, 1}},
        {"stride 3 with normals and textures",
         tessOf(3, {n, n, 6, n, n, 3, n, n, 0}, {tessFace(0x0200, {1})}, false, true), {2, 1, 0}},
        {"a slot past the index array keeps earlier triangles",
         tessOf(4, {0, 1, 2, 3, 2}, {tessFace(0x2, {2}), tessFace(0x2, {1}, 6)}), {0, 1, 2}},
        {"a vertex whose point slot is past the array ends the conversion",
         tessOf(4, {n, 0, n, 3, n, 6, n, 3, n, 6, n}, {tessFace(0x2, {2}), tessFace(0x2, {1})}, false, true),
         {0, 1, 2}},
        {"a point past the coordinates drops its triangle", tessOf(3, {0, 1, 7, 2, 1, 0}, {tessFace(0x2, {2})}),
         {2, 1, 0}},
        {"a huge count stops at the end of the indices", tessOf(3, {0, 1, 2, 2, 1, 0}, {tessFace(0x2, {0xFFFFFFFF})}),
         {0, 1, 2, 2, 1, 0}},
        {"slot values are divided by 3", tessOf(3, {0, 4, 8}, {tessFace(0x2, {1})}, true, true), {0, 1, 2}},
    };
    for (const Case& c : cases) {
        const Decoded d(modelOf(singlePartTree(0), {c.tess}));
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.triangles(), c.expected) << c.name;
        EXPECT_EQ(d.r.vertexCount, c.tess.coordinates.size() / 3) << c.name;
        EXPECT_EQ(d.r.vertices[4], 1.25f) << c.name; // point 1 at (1, 1.25, 1.5)
    }
}

TEST(ModelFileDriver, ColourPrecedence)
{
    struct Case {
        std::string name;
        uint32_t rootStyle, leafStyle, partStyle, itemStyle, faceStyle;
        Bytes vertexColours; // of the face, RGB or RGBA by length
        Bytes expected;      // of vertex 0
    };
    const Case cases[] = {
        {"nothing: white", kNone, kNone, kNone, kNone, kNone, {}, {255, 255, 255}},
        {"inherited from the parent", 0, kNone, kNone, kNone, kNone, {}, {255, 0, 0}},
        {"occurrence over parent", 0, 1, kNone, kNone, kNone, {}, {0, 255, 0}},
        {"unresolvable occurrence style keeps the parent's", 0, 9, kNone, kNone, kNone, {}, {255, 0, 0}},
        {"part over occurrence", 0, 1, 2, kNone, kNone, {}, {0, 0, 255}},
        {"item over part, through a material", kNone, kNone, 0, 3, kNone, {}, {0, 0, 255}},
        {"unresolvable item style keeps the part's", kNone, kNone, 1, 9, kNone, {}, {0, 255, 0}},
        {"face style over item", kNone, kNone, kNone, 1, 0, {}, {255, 0, 0}},
        {"vertex colours over the face style", kNone, kNone, kNone, 1, 0, {9, 8, 7, 6, 5, 4, 3, 2, 1}, {9, 8, 7}},
        {"RGBA: alpha dropped", kNone, kNone, kNone, kNone, kNone, {9, 8, 7, 1, 6, 5, 4, 1, 3, 2, 1, 1}, {9, 8, 7}},
    };
    for (const Case& c : cases) {
        PRCTessFace f = tessFace(0x2, {1});
        if (c.faceStyle != kNone)
            f.line_attributes = {c.faceStyle};
        f.has_vertex_colors = !c.vertexColours.empty();
        f.is_rgba = c.vertexColours.size() == 12;
        f.rgba_vertices = c.vertexColours;
        PrcTree tree = singlePartTree(0);
        tree.occurrences[0].graphics.lineStyle = c.rootStyle;
        tree.occurrences[0].partPlusOne = 0;
        tree.occurrences[0].sons = {1};
        PrcProductOccurrence& leaf = tree.occurrences.emplace_back();
        leaf.partPlusOne = 1;
        leaf.graphics.lineStyle = c.leafStyle;
        tree.parts[0].graphics.lineStyle = c.partStyle;
        tree.parts[0].items[0].graphics.lineStyle = c.itemStyle;
        const Decoded d(modelOf(tree, {tessOf(3, {0, 1, 2}, {f})}));
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.colour(0), c.expected) << c.name;
    }
}

// A root with the given children, each an occurrence of part 0 (one triangle) unless
// changed by the test.
PrcTree treeWithChildren(const Names& names)
{
    PrcTree tree = singlePartTree(0);
    tree.occurrences[0].partPlusOne = 0;
    for (const std::string& name : names) {
        tree.occurrences[0].sons.push_back(static_cast<uint32_t>(tree.occurrences.size()));
        PrcProductOccurrence& child = tree.occurrences.emplace_back();
        child.base = namedBase(name);
        child.partPlusOne = 1;
    }
    return tree;
}

TEST(ModelFileDriver, ProductTree)
{
    const PRC3DTess triangle = tessOf(3, {0, 1, 2}, {tessFace(0x2, {1})});
    struct Case {
        std::string name;
        PrcTree tree;
        Names expected;
    };
    std::vector<Case> cases;
    {
        PrcTree t = treeWithChildren({"a", "b", "c"});
        t.occurrences[1].productInformationFlags = 0x08;
        t.occurrences[2].productInformationFlags = 0x09;
        t.occurrences[3].productInformationFlags = 0x08;
        cases.push_back({"the default configuration", t, {"root", "b"}});
        t.occurrences[2].productInformationFlags = 0x08;
        cases.push_back({"else the first configuration", t, {"root", "a"}});
        t.occurrences[1].productBehaviour = 0x01;
        t.occurrences[2].productInformationFlags = 0x02;
        t.occurrences[0].sons.push_back(99); // invalid, passed over
        cases.push_back({"excluded children, plain children", t, {"root", "b"}});
    }
    {
        // "copy" takes name, part, children, location and colour from "proto" through
        // "middle", which names nothing itself.
        PrcTree t = treeWithChildren({"proto", "", "child"});
        t.occurrences[0].sons = {2};
        t.occurrences[1].sons = {3};
        t.occurrences[1].location = placement({5, 0, 0});
        t.occurrences[1].graphics.lineStyle = 1;
        t.occurrences[2].partPlusOne = 0;
        t.occurrences[2].prototypePlusOne = 5;
        t.occurrences.emplace_back().prototypePlusOne = 2;
        cases.push_back({"prototype chain", t, {"root", "proto", "child"}});
        t.occurrences[2].base = namedBase("own");
        cases.push_back({"own name first", t, {"root", "own", "child"}});
    }
    {
        PrcTree t = treeWithChildren({"", ""});
        t.occurrences[1].prototypePlusOne = 3;
        t.occurrences[2].prototypePlusOne = 2;
        t.occurrences[0].sons = {1};
        cases.push_back({"a prototype cycle ends", t, {"root", ""}});
        t = treeWithChildren({"self"});
        t.occurrences[1].sons = {1};
        Names deep(65, "self");
        deep[0] = "root";
        cases.push_back({"a son naming itself stops 64 levels down", t, deep});
    }
    for (const Case& c : cases) {
        const Decoded d(modelOf(c.tree, {triangle}));
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.names(), c.expected) << c.name;
    }

    const Decoded chain(modelOf(cases[3].tree, {triangle}));
    // The prototype's location and colour.
    EXPECT_EQ(std::tuple(chain.r.vertices[0], chain.colour(0), chain.r.nodes[1].triangleCount, chain.r.nodes[2].parent),
              std::tuple(5.0f, Bytes{0, 255, 0}, 1u, 1u));
}

TEST(ModelFileDriver, LimitsAtTheirBoundaries)
{
    // The real node limit: one root whose sons all name the same leaf.
    for (const uint32_t sons : {kMaxAssemblyNodes - 1, kMaxAssemblyNodes}) {
        PrcTree tree = treeWithChildren({"leaf"});
        tree.occurrences[0].sons.assign(sons, 1);
        const Decoded d(modelOf(tree, {tessOf(3, {0, 1, 2}, {tessFace(0x2, {1})})}));
        ASSERT_TRUE(d.ok);
        // Over the limit the flat fallback sends the tessellation once, without nodes.
        EXPECT_EQ(d.r.nodeCount, sons < kMaxAssemblyNodes ? kMaxAssemblyNodes : 0u) << sons;
        EXPECT_EQ(d.r.triangleCount, sons < kMaxAssemblyNodes ? sons : 1u) << sons;
    }
    // Lowered limits: three instances of two triangles and four vertices.
    struct Case {
        std::string name;
        uint64_t AssemblyLimits::*limit;
        uint64_t value;
        bool fallback;
    };
    const Case cases[] = {
        {"triangles at the limit", &AssemblyLimits::triangles, 6, false},
        {"one triangle over", &AssemblyLimits::triangles, 5, true},
        {"vertices at the limit", &AssemblyLimits::vertices, 12, false},
        {"one vertex over", &AssemblyLimits::vertices, 11, true},
        {"walk budget", &AssemblyLimits::walkSteps, 20, true},
    };
    const PrcTree tree = treeWithChildren({"a", "b", "c"});
    const PrcModel model = modelOf(tree, {tessOf(4, {0, 1, 2, 2, 1, 3}, {tessFace(0x2, {2})})});
    for (const Case& c : cases) {
        AssemblyLimits limits;
        limits.*c.limit = c.value;
        const Decoded d(model, limits);
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.r.nodeCount, c.fallback ? 0u : 4u) << c.name;
        EXPECT_EQ(d.r.triangleCount, c.fallback ? 2u : 6u) << c.name;
    }
}

TEST(ModelFileDriver, ACompressedRecordInTwoColoursIsDecodedForEach)
{
    // Its last conversion uses the record up; the fallback reads it again.
    PrcCompressedTess strip;
    strip.record = stripRecord();
    PrcTree tree = treeWithChildren({"green", "blue"});
    tree.occurrences[1].graphics.lineStyle = 1;
    tree.occurrences[2].graphics.lineStyle = 2;
    const Decoded both(modelOf(tree, {strip}));
    ASSERT_TRUE(both.ok);
    ASSERT_EQ(both.r.triangleCount, 4u);
    EXPECT_EQ(both.colour(both.r.triangles[0]), (Bytes{0, 255, 0}));
    EXPECT_EQ(both.colour(both.r.triangles[9]), (Bytes{0, 0, 255}));
    AssemblyLimits limits;
    limits.triangles = 3;
    const Decoded fallback(modelOf(tree, {strip}), limits);
    ASSERT_TRUE(fallback.ok);
    EXPECT_EQ(std::tuple(fallback.r.nodeCount, fallback.r.triangleCount), std::tuple(0u, 2u));
}

TEST(ModelFileDriver, FallbackAndFailures)
{
    const PRC3DTess red = [] {
        PRC3DTess t = tessOf(3, {0, 1, 2}, {tessFace(0x2, {1})});
        t.face_tessellation[0].line_attributes = {0};
        return t;
    }();
    const PrcModel good = modelOf(singlePartTree(0), {red, red});
    const PrcSectionOverride garbage{{0xDE, 0xAD, 0xBE, 0xEF}, true};
    struct Case {
        std::string name;
        PrcModel model;
        bool ok;
        uint32_t statusOrTriangles;
    };
    std::vector<Case> cases = {{"structured", good, true, 1}};
    PrcModel m = good;
    m.modelFileOverride = garbage;
    cases.push_back({"damaged model file: every tessellation, untransformed", m, true, 2});
    m = good;
    m.fileStructures[0].overrides[2] = garbage;
    cases.push_back({"broken tree", m, true, 2});
    m = good;
    m.roots = {{m.fileStructures[0].uid, 0}};
    cases.push_back({"root index 0 is dropped", m, true, 2});
    m = good;
    m.fileStructures[0].tessellations.clear();
    cases.push_back({"no triangle anywhere", m, false, kPrcStatusNoTriangle});
    m = good;
    m.fileStructures[0].sectionCount = 4;
    cases.push_back({"four offsets: ignored by the fallback", m, false, kPrcStatusNoTriangle});
    for (const Case& c : cases) {
        const Decoded d(c.model);
        EXPECT_EQ(d.ok, c.ok) << c.name;
        EXPECT_EQ(c.ok ? d.r.triangleCount : d.r.status, c.statusOrTriangles) << c.name;
        if (!c.ok) {
            EXPECT_EQ(d.r.vertices, nullptr);
        } else {
            EXPECT_EQ(d.r.nodeCount, c.name == "structured" ? 1u : 0u) << c.name;
            EXPECT_EQ(d.colour(d.r.vertexCount - 1), (Bytes{255, 0, 0})) << c.name; // globals still used
        }
    }

    const std::vector<uint8_t> junk = {'P', 'R', 'C', 1, 2};
    const Decoded notPrc(junk);
    EXPECT_FALSE(notPrc.ok);
    EXPECT_EQ(notPrc.r.status, kPrcStatusUndecodable);
    PrcModelResult empty;
    EXPECT_FALSE(decodeModelFile(nullptr, 0, empty));
    EXPECT_EQ(empty.status, kPrcStatusNoData);
}

TEST(ModelFileDriver, StrayCoordinatesAndNanBoxes)
{
    // A tessellation with an incomplete point must not shift the colours of the next one.
    PRC3DTess stray = tessOf(3, {0, 1, 2}, {tessFace(0x2, {1})});
    stray.coordinates.push_back(42);
    PRC3DTess green = tessOf(3, {0, 1, 2}, {tessFace(0x2, {1})});
    green.face_tessellation[0].line_attributes = {1};
    PRC3DTess nan = tessOf(3, {0, 1, 2}, {tessFace(0x2, {1})});
    for (double& c : nan.coordinates)
        c = std::nan("");
    PrcTree tree = treeWithChildren({"stray", "green", "nan"});
    for (uint32_t k = 0; k < 3; ++k)
        tree.parts.emplace_back().items = {polyBrepItem(k)};
    for (uint32_t k = 1; k <= 3; ++k)
        tree.occurrences[k].partPlusOne = k + 1;
    tree.parts[2].items[0].localCoordinateSystemPlusOne = 1; // a system the globals do not hold: none
    const Decoded d(modelOf(tree, {stray, green, nan}));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.r.vertexCount, 9u);
    EXPECT_EQ(d.colour(2), (Bytes{255, 255, 255}));
    EXPECT_EQ(std::tuple(d.colour(3), d.r.vertices[3 * 4]), std::tuple(Bytes{0, 255, 0}, 1.0f));
    // Nothing but NaN: the start values stay.
    EXPECT_EQ(std::tuple(d.r.nodes[3].boundsMin[0], d.r.nodes[3].boundsMax[0], d.r.nodes[0].boundsMax[0]),
              std::tuple(1e30f, -1e30f, 2.0f));
}

} // namespace
