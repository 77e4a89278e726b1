#include "prc/structure/product_tree.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

Matrix4d readBack(const PrcTransformation& t)
{
    PrcBitWriter w;
    writeTransformation3d(w, t);
    Matrix4d m{};
    EXPECT_TRUE(readsExactly(w, [&](PRCBitReader& r) { m = readTransformation3d(r); })) << "flags " << int(t.flags);
    return m;
}

TEST(Transformation, CartesianFlagsGeneralColumnsAndMirroring)
{
    PrcTransformation t = placement({10, 20, 30}, {2, 3, 4});
    t.x = {0, 1, 0};
    t.y = {-1, 0, 0};
    t.z = {0, 0, -1}; // differs from x × y = (0, 0, 1): three axes are taken as given
    t.uniformScale = 0.5;
    const std::pair<uint8_t, Matrix4d> cases[] = {
        {0x00, kIdentity4d},
        {0x04, kIdentity4d}, // no field behind this flag
        {0x40, kIdentity4d}, // four Doubles read and dropped
        {0x01, {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30, 0, 0, 0, 1}},
        {0x02, {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},   // z derived as x × y
        {0x22, {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}},  // three axes win over two
        {0x10, {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}},
        {0x08, {0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 1}},
        {0x18, {1, 0, 0, 0, 0, 1.5, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}}, // both scales multiply
        {0x7F, {0, -1.5, 0, 10, 1, 0, 0, 20, 0, 0, -2, 30, 0, 0, 0, 1}},
    };
    for (const auto& [flags, expected] : cases) {
        t.flags = flags;
        EXPECT_EQ(readBack(t), expected) << "flags " << int(flags);
    }
    // Axes are not normalised, so a mirroring keeps the sign of its determinant.
    t.flags = 0x20;
    t.x = {2, 0, 0}, t.y = {0, 2, 0}, t.z = {0, 0, -2};
    EXPECT_EQ(determinant3x3(readBack(t)), -8.0);
    EXPECT_EQ(determinant3x3(readBack(generalTransformation({-1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}))), -1.0);

    PrcTransformation general;
    general.type = 207;
    for (int i = 0; i < 16; ++i)
        general.stored[i] = i + 1; // as stored: the first four values are the first column
    EXPECT_EQ(readBack(general), (Matrix4d{1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}));
    PrcBitInput in("1 11001011 0"); // 203
    EXPECT_EQ(runtimeErrorOf([&] { readTransformation3d(in.reader); }), "readTransformation3d: unknown transformation type");
}

PrcRepresentationItem item(uint32_t type)
{
    PrcRepresentationItem i;
    i.type = type;
    i.base = namedBase("item");
    i.graphics.lineStyle = 3;
    i.localCoordinateSystemPlusOne = 2;
    i.tessellationPlusOne = 5;
    i.userDataBits = 4;
    return i;
}

PrcRepresentationItem nestedSets(int depth)
{
    PrcRepresentationItem set = item(239);
    if (depth > 1)
        set.children = {item(0), nestedSets(depth - 1), item(237)};
    return set;
}

std::string readItems(const std::vector<PrcRepresentationItem>& items, std::vector<RepresentationItemData>& read,
                      uint32_t version = 8137, uint64_t budget = 1000)
{
    PrcBitWriter w;
    for (const PrcRepresentationItem& i : items)
        writeRepresentationItem(w, i, version);
    PrcBitInput in = inputWithSentinel(w, version);
    RepresentationItemBudget left{budget};
    const std::string error = runtimeErrorOf([&] {
        for (size_t i = 0; i < items.size(); ++i)
            read.push_back(readRepresentationItem(in.reader, left));
    });
    return error.empty() && !atSentinel(in.reader) ? "not at the end" : error;
}

TEST(RepresentationItem, EveryTypeWithItsOptionalFields)
{
    std::vector<PrcRepresentationItem> items;
    for (const uint32_t type : {232, 232, 233, 233, 234, 234, 235, 236, 237, 237, 238, 240})
        items.push_back(item(type));
    items[0].hasBrepData = items[0].isClosed = true;
    items[2].hasIndices = true;
    items[4].origin = Vector3d{1, 2, 3};
    items[7].points = {{1, 2, 3}, {4, 5, 6}};
    items[8].isClosed = true;
    items[11].transformation = placement({1, 2, 3});
    items.emplace_back().type = 0;
    for (const uint32_t version : {8137u, 8138u}) {
        std::vector<RepresentationItemData> read;
        ASSERT_EQ(readItems(items, read, version), "");
        for (size_t i = 0; i + 1 < items.size(); ++i) {
            const PrcRepresentationItem& written = items[i];
            const RepresentationItemData& r = read[i];
            EXPECT_EQ(std::tuple(r.type, r.styleIndex, r.index_local_coordinate_system, r.index_tessellation),
                      std::tuple(written.type, 3u, uint64_t{1}, uint64_t{4}));
            EXPECT_EQ(std::tuple(r.is_closed, r.hasBrepData, r.contextId, r.bodyId),
                      std::tuple(written.isClosed, written.hasBrepData, written.hasBrepData ? 7u : 0u,
                                 written.hasBrepData ? 300u : 0u));
            EXPECT_EQ(std::pair(r.hasTransform, r.transform[3]),
                      std::pair(written.type == 240, written.type == 240 ? 1.0 : 0.0));
        }
        EXPECT_EQ(std::tuple(read.back().type, read.back().index_tessellation, read.back().styleIndex),
                  std::tuple(0u, UINT64_MAX, kPrcNoIndex));
    }
    for (const uint32_t type : {231u, 241u}) {
        std::vector<RepresentationItemData> read;
        EXPECT_EQ(readItems({item(type)}, read), "readRepresentationItem: unhandled type (" + std::to_string(type) + ")");
    }
}

TEST(RepresentationItem, SetsKeepTheirChildrenWithinTheDepthAndItemBudget)
{
    std::vector<RepresentationItemData> read;
    ASSERT_EQ(readItems({nestedSets(3)}, read), "");
    const RepresentationItemData& set = read[0];
    ASSERT_EQ(set.children.size(), 3u);
    EXPECT_EQ(set.children[0].type, 0u); // empty slots stay in place
    ASSERT_EQ(set.children[1].children.size(), 3u);
    EXPECT_EQ(set.children[1].children[1].type, 239u);
    EXPECT_TRUE(set.children[1].children[1].children.empty());
    EXPECT_EQ(set.children[2].index_tessellation, 4u);

    EXPECT_EQ(readItems({nestedSets(kMaxRepresentationSetDepth)}, read), "");
    EXPECT_EQ(readItems({nestedSets(kMaxRepresentationSetDepth + 1)}, read),
              "readRepresentationItem: sets nested too deeply");
    // 1 + 3 items, then one more: every item counts against the section's budget.
    EXPECT_EQ(readItems({nestedSets(2), item(0)}, read, 8137, 5), "");
    EXPECT_EQ(readItems({nestedSets(2), item(0)}, read, 8137, 4), "readRepresentationItem: too many items");
}

PrcTree fullTree()
{
    PrcTree tree;
    PrcPartDefinition& part = tree.parts.emplace_back();
    part.base = namedBase("part");
    part.graphics.lineStyle = 4;
    part.boundingBoxMin = {-1, -2, -3};
    part.boundingBoxMax = {1, 2, 3};
    part.items = {polyBrepItem(0, 1), nestedSets(2)};
    part.markups.annotations = {{505, {{}}}};
    part.views.emplace_back();
    part.userDataBits = 3;
    tree.parts.emplace_back(); // a second, empty part; its graphics keep the current style
    tree.parts.back().graphics.sameAsCurrent = true;

    PrcProductOccurrence& o = tree.occurrences.emplace_back();
    o.base = namedBase("assembly");
    o.graphics.lineStyle = 2;
    o.partPlusOne = 1;
    o.prototypePlusOne = 3;
    o.prototypeInSameFileStructure = false;
    o.prototypeUid = {11, 12, 13, 14};
    o.externalDataPlusOne = 2;
    o.sons = {2, 0, 300};
    o.productBehaviour = 0x81;
    o.unit = 25.4;
    o.productInformationFlags = 0x12;
    o.loadStatus = -2;
    o.location = placement({0, 0, 100});
    o.entityReferences.emplace_back().reference = PrcReference{};
    o.markups = {{{}}, {{}}, {{}}, {{}}};
    o.views.emplace_back().sceneParameters.emplace().lights = {733};
    o.entityFilter.emplace().layers = {1};
    o.displayFilters.emplace_back();
    o.sceneParameters.emplace_back().camera = true;
    o.userDataBits = 6;
    tree.occurrences.emplace_back().base.reuseName = true; // the name of the entity before it
    tree.occurrences[1].graphics.sameAsCurrent = true;
    tree.productOccurrenceIndex = 1;
    tree.userDataBits = 5;
    return tree;
}

TEST(ProductTree, WholeSectionWithEveryOptionalEntity)
{
    for (const uint32_t version : {7094u, 8016u, 8137u, 8138u}) {
        PrcBitWriter w;
        writeTreeSection(w, fullTree(), version);
        TreeSectionData tree;
        ASSERT_TRUE(readsExactly(w, [&](PRCBitReader& r) { tree = readFileStructureTree(r); }, version)) << version;

        ASSERT_EQ(tree.partDefinitions.size(), 2u);
        const PartDefinitionData& part = tree.partDefinitions[0];
        EXPECT_EQ(std::tuple(part.styleIndex, part.boundingBoxMin[2], part.boundingBoxMax[1]), std::tuple(4u, -3.0, 2.0));
        ASSERT_EQ(part.items.size(), 2u);
        EXPECT_EQ(std::pair(part.items[0].index_tessellation, part.items[0].styleIndex), std::pair(uint64_t{0}, 1u));
        EXPECT_EQ(part.items[1].children.size(), 3u);

        ASSERT_EQ(tree.productOccurrences.size(), 2u);
        const ProductOccurrenceData& o = tree.productOccurrences[0];
        EXPECT_EQ(std::tuple(o.name, o.styleIndex, o.index_part, o.index_prototype, o.index_external_data),
                  std::tuple(std::string("assembly"), 2u, uint64_t{0}, uint64_t{2}, uint64_t{1}));
        EXPECT_EQ(std::tuple(o.prototype_in_same_file_structure, o.prototypeFileStructureUid,
                             o.external_data_in_same_file_structure),
                  std::tuple(0u, std::array<uint32_t, 4>{11, 12, 13, 14}, 0u));
        EXPECT_EQ(o.sonOccurrences, (std::vector<uint32_t>{2, 0, 300})); // as stored
        EXPECT_EQ(std::pair(o.product_behaviour, o.product_information_flags), std::pair(uint8_t{0x81}, uint8_t{0x12}));
        EXPECT_EQ(std::pair(o.hasLocation, o.location[11]), std::pair(true, 100.0));

        const ProductOccurrenceData& bare = tree.productOccurrences[1];
        EXPECT_EQ(std::tuple(bare.index_part, bare.index_prototype, bare.index_external_data),
                  std::tuple(UINT64_MAX, UINT64_MAX, UINT64_MAX));
        EXPECT_EQ(std::tuple(bare.prototype_in_same_file_structure, bare.hasLocation, bare.location),
                  std::tuple(1u, false, kIdentity4d));
        EXPECT_EQ(tree.index_product_occurrence, 1u);
    }
}

TEST(ProductTree, ReusedNameAndGraphicsComeFromTheEntityBefore)
{
    // The entity before the second part is the first part's item, of another kind.
    PrcTree tree;
    tree.parts.resize(2);
    tree.parts[0].base = namedBase("a");
    tree.parts[0].items = {polyBrepItem(0, 7)};
    tree.parts[0].items[0].base = namedBase("item");
    tree.parts[1].base.reuseName = true;
    tree.parts[1].graphics.sameAsCurrent = true;
    tree.occurrences.resize(2);
    tree.occurrences[0].base.reuseName = true;
    tree.occurrences[0].graphics.sameAsCurrent = true;
    tree.occurrences[1].base = namedBase("x");
    tree.occurrences[1].graphics.lineStyle = 2;
    tree.occurrences.push_back(tree.occurrences[0]);
    PrcBitWriter w;
    writeTreeSection(w, tree, 8137);
    TreeSectionData read;
    ASSERT_TRUE(readsExactly(w, [&](PRCBitReader& r) { read = readFileStructureTree(r); }, 8137));
    EXPECT_EQ(read.partDefinitions[1].styleIndex, 7u);
    const std::vector<ProductOccurrenceData>& o = read.productOccurrences;
    EXPECT_EQ(std::tuple(o[0].name, o[0].styleIndex, o[2].name, o[2].styleIndex),
              std::tuple(std::string("item"), 7u, std::string("x"), 2u));
}

// Failures of the entities inside reach the loader (file_structure_loader_test).
TEST(ProductTree, SectionStructureIsChecked)
{
    PrcBitWriter named;
    named.writeUnsignedInteger(304);
    writeContentPRCBase(named, namedBase("tree"), 304);
    PrcBitWriter internal("1 00110000 1 00000001 0  0 0 0  0 0  1 00101111 1 00000001 0"); // 304, base, no parts or
                                                                                           // occurrences, type 303
    const std::pair<const PrcBitWriter*, std::string> structural[] = {
        {&named, "readEmptyContentPRCBase: unexpected name (non-empty section?)"},
        {&internal, "unexpected type for FileStructure (internal data): expected 302, got 303"},
    };
    for (const auto& [writer, message] : structural) {
        PrcBitInput in(writer->bytes());
        EXPECT_EQ(runtimeErrorOf([&] { readFileStructureTree(in.reader); }), message);
    }
}

} // namespace
