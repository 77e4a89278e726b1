#include "prc/structure/product_tree.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_entity_writer.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

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

RepresentationItemData readItem(const PrcRepresentationItem& written, uint32_t version = 8137)
{
    PrcBitWriter w;
    writeRepresentationItem(w, written, version);
    PrcBitInput in = inputWithSentinel(w, version);
    RepresentationItemData read = readRepresentationItem(in.reader);
    EXPECT_TRUE(atSentinel(in.reader)) << "type " << written.type;
    return read;
}

TEST(RepresentationItem, EveryTypeWithItsOptionalFields)
{
    std::vector<PrcRepresentationItem> items;
    for (uint32_t type = 232; type <= 240; ++type)
        items.push_back(item(type));
    items[0].hasBrepData = true, items[0].isClosed = true;
    items.push_back(item(232));
    items.push_back(item(234));
    items[1].hasIndices = true;
    items[2].origin = Vector3d{1, 2, 3};
    items[4].points = {{1, 2, 3}, {4, 5, 6}};
    items[5].isClosed = true;
    items[8].transformation = placement({1, 2, 3});
    items.erase(items.begin() + 7); // sets: below
    for (const uint32_t version : {8137u, 8138u})
        for (const PrcRepresentationItem& written : items) {
            const RepresentationItemData read = readItem(written, version);
            EXPECT_EQ(std::tuple(read.type, read.styleIndex, read.index_local_coordinate_system, read.index_tessellation),
                      std::tuple(written.type, 3u, uint64_t{1}, uint64_t{4}));
            EXPECT_EQ(std::tuple(read.is_closed, read.hasBrepData, read.contextId, read.bodyId),
                      std::tuple(written.isClosed, written.hasBrepData, written.hasBrepData ? 7u : 0u,
                                 written.hasBrepData ? 300u : 0u));
            EXPECT_EQ(std::pair(read.hasTransform, read.transform[3]),
                      std::pair(written.type == 240, written.type == 240 ? 1.0 : 0.0));
        }
    PrcRepresentationItem empty;
    empty.type = 0;
    const RepresentationItemData none = readItem(empty);
    EXPECT_EQ(std::tuple(none.type, none.index_tessellation, none.styleIndex), std::tuple(0u, UINT64_MAX, kPrcNoIndex));
    for (const auto& [bits, type] : {std::pair{"1 11100111 0", "231"}, {"1 11110001 0", "241"}}) {
        PrcBitInput in(bits);
        EXPECT_EQ(runtimeErrorOf([&] { readRepresentationItem(in.reader); }),
                  std::string("readRepresentationItem: unhandled type (") + type + ")");
    }
}

TEST(RepresentationItem, SetsKeepTheirChildrenWithinTheDepthAndItemBudget)
{
    const RepresentationItemData set = readItem(nestedSets(3));
    ASSERT_EQ(set.children.size(), 3u);
    EXPECT_EQ(set.children[0].type, 0u); // empty slots stay in place
    ASSERT_EQ(set.children[1].children.size(), 3u);
    EXPECT_EQ(set.children[1].children[1].type, 239u);
    EXPECT_TRUE(set.children[1].children[1].children.empty());
    EXPECT_EQ(set.children[2].index_tessellation, 4u);

    readItem(nestedSets(kMaxRepresentationSetDepth));
    PrcBitWriter deep;
    writeRepresentationItem(deep, nestedSets(kMaxRepresentationSetDepth + 1), 8137);
    PrcBitInput in(deep.bytes(), 8137);
    EXPECT_EQ(runtimeErrorOf([&] { readRepresentationItem(in.reader); }),
              "readRepresentationItem: sets nested too deeply");

    PrcBitWriter w;
    writeRepresentationItem(w, nestedSets(2), 8137); // 1 + 3 items
    writeRepresentationItem(w, item(0), 8137);
    for (const uint64_t allowed : {4u, 5u}) {
        PrcBitInput two(w.bytes(), 8137);
        RepresentationItemBudget budget{allowed};
        const std::string error = runtimeErrorOf([&] {
            readRepresentationItem(two.reader, budget);
            readRepresentationItem(two.reader, budget);
        });
        EXPECT_EQ(error, allowed < 5 ? "readRepresentationItem: too many items" : "") << allowed;
    }
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
        PrcBitInput in = inputWithSentinel(w, version);
        const TreeSectionData tree = readFileStructureTree(in.reader);
        EXPECT_TRUE(atSentinel(in.reader)) << version;

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
    PrcBitInput in = inputWithSentinel(w, 8137);
    const TreeSectionData read = readFileStructureTree(in.reader);
    EXPECT_TRUE(atSentinel(in.reader));
    EXPECT_EQ(read.partDefinitions[1].styleIndex, 7u);
    const std::vector<ProductOccurrenceData>& o = read.productOccurrences;
    EXPECT_EQ(std::tuple(o[0].name, o[0].styleIndex, o[2].name, o[2].styleIndex),
              std::tuple(std::string("item"), 7u, std::string("x"), 2u));
}

TEST(ProductTree, FailuresInsideTheSectionReachTheCaller)
{
    struct Case {
        void (*change)(PrcTree&);
        std::string message;
    };
    const Case cases[] = {
        {[](PrcTree& t) { t.parts[0].items.emplace_back().type = 250; }, "readRepresentationItem: unhandled type (250)"},
        {[](PrcTree& t) { t.occurrences.back().location.emplace().type = 201; },
         "readTransformation3d: unknown transformation type"},
        {[](PrcTree& t) { t.occurrences[0].sceneParameters[0].lights.push_back(740); }, "readLight: tipo inatteso 740"},
    };
    for (const Case& c : cases) {
        PrcTree tree = fullTree();
        c.change(tree);
        PrcBitWriter w;
        writeTreeSection(w, tree, 8137);
        PrcBitInput in(w.bytes(), 8137);
        EXPECT_EQ(runtimeErrorOf([&] { readFileStructureTree(in.reader); }), c.message);
    }
    // The section's own structure: its type, an empty base, the internal data type.
    PrcBitWriter named;
    named.writeUnsignedInteger(304);
    writeContentPRCBase(named, namedBase("tree"), 304);
    PrcBitWriter internal;
    internal.writeUnsignedInteger(304);
    writeContentPRCBase(internal, PrcBase{}, 304);
    internal.writeBitString("0 0 1 00101111 1 00000001 0"); // no parts, no occurrences, type 303
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
