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
    EXPECT_TRUE(failsToDecode([&] { readTransformation3d(in.reader); }));
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

// True when every item reads and the reader stops at the end.
bool readItems(const std::vector<PrcRepresentationItem>& items, std::vector<RepresentationItemData>& read,
                      uint32_t version = 8137, uint64_t budget = 1000)
{
    PrcBitWriter w;
    for (const PrcRepresentationItem& i : items)
        writeRepresentationItem(w, i, version);
    PrcBitInput in = inputWithSentinel(w, version);
    RepresentationItemBudget left{budget};
    const bool fails = failsToDecode([&] {
        for (size_t i = 0; i < items.size(); ++i)
            read.push_back(readRepresentationItem(in.reader, left));
    });
    return !fails && atSentinel(in.reader);
}

TEST(RepresentationItem, SetsKeepTheirChildrenWithinTheDepthAndItemBudget)
{
    std::vector<RepresentationItemData> read;
    ASSERT_TRUE(readItems({nestedSets(3)}, read));
    const RepresentationItemData& set = read[0];
    ASSERT_EQ(set.children.size(), 3u);
    EXPECT_EQ(set.children[0].type, 0u); // empty slots stay in place
    ASSERT_EQ(set.children[1].children.size(), 3u);
    EXPECT_EQ(set.children[1].children[1].type, 239u);
    EXPECT_TRUE(set.children[1].children[1].children.empty());
    EXPECT_EQ(set.children[2].index_tessellation, 4u);

    EXPECT_TRUE(readItems({nestedSets(kMaxRepresentationSetDepth)}, read));
    EXPECT_FALSE(readItems({nestedSets(kMaxRepresentationSetDepth + 1)}, read));
    // 1 + 3 items, then one more: every item counts against the section's budget.
    EXPECT_TRUE(readItems({nestedSets(2), item(0)}, read, 8137, 5));
    EXPECT_FALSE(readItems({nestedSets(2), item(0)}, read, 8137, 4));
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
        EXPECT_EQ(failsToDecode([&] { readFileStructureTree(in.reader); }), !std::string_view(message).empty());
    }
}

} // namespace
