#include "prc/structure/model_result_output.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

namespace {

AssemblyNode node(const std::string& name, uint32_t parent, uint32_t first, uint32_t count)
{
    AssemblyNode n;
    n.name = name;
    n.parent = parent;
    n.firstTriangle = first;
    n.triangleCount = count;
    return n;
}

TEST(ModelResultOutput, NodeRangeValidation)
{
    struct Case {
        std::string name;
        std::vector<std::pair<uint32_t, uint32_t>> ranges; // first, count
        bool sound;
    };
    const Case cases[] = {
        {"back to back, out of order", {{2, 2}, {0, 2}, {4, 1}}, true},
        {"ending exactly at T", {{0, 5}}, true},
        {"ending past T", {{3, 3}}, false},
        {"overlapping", {{0, 3}, {2, 2}}, false},
        {"empty ranges take no part", {{0, 5}, {2, 0}, {99, 0}}, true},
        {"a count that would wrap in 32 bits", {{1, 0xFFFFFFFF}}, false},
        {"no node", {}, true},
    };
    for (const Case& c : cases) {
        std::vector<AssemblyNode> nodes;
        for (const auto& [first, count] : c.ranges)
            nodes.push_back(node("", kNoParent, first, count));
        EXPECT_EQ(nodeRangesAreSound(nodes, 5), c.sound) << c.name;
    }
}

TEST(ModelResultOutput, NodeRecordNames)
{
    const std::string e = "\xC3\xA8"; // two bytes
    struct Case {
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        {"short", "short"},
        {std::string(127, 'a'), std::string(127, 'a')},
        {std::string(200, 'b'), std::string(127, 'b')},
        {std::string(126, 'c') + e, std::string(126, 'c')}, // the cut would split the character
        {std::string(125, 'd') + e + "x", std::string(125, 'd') + e},
        {"\xE6\xBC\xA2" + std::string(130, 'f'), "\xE6\xBC\xA2" + std::string(124, 'f')},
    };
    for (const Case& c : cases) {
        AssemblyNode n = node(c.name, 3, 4, 5);
        n.boundsMin[2] = -1.5f;
        n.boundsMax[0] = 2.5f;
        const NodeRecord record = nodeRecordOf(n, 7);
        EXPECT_EQ(std::string(record.name), c.expected) << c.name;
        EXPECT_EQ(record.name[127], '\0');
        EXPECT_EQ(record.index, 7u);
        EXPECT_EQ(record.parent, 3u);
        EXPECT_EQ(record.firstTriangle, 4u);
        EXPECT_EQ(record.triangleCount, 5u);
        EXPECT_EQ(record.firstPoint + record.pointCount + record.firstLine + record.lineCount, 0u);
        EXPECT_EQ(record.boundsMin[2], -1.5f);
        EXPECT_EQ(record.boundsMax[0], 2.5f);
        EXPECT_EQ(record.valid, 1u);
        // The unused tail of the name is zero.
        for (size_t i = c.expected.size(); i < sizeof record.name; ++i)
            ASSERT_EQ(record.name[i], '\0') << c.name;
    }
}

TEST(ModelResultOutput, ArraysAndNodeTable)
{
    AssemblyMesh mesh;
    mesh.vertices = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    mesh.triangles = {0, 1, 2, 0, 2, 3};
    mesh.colours = {1, 2, 3, 4, 5, 6}; // two vertices coloured
    mesh.nodes = {node("root", kNoParent, 0, 0), node("a", 0, 0, 1), node("b", 0, 1, 1)};
    for (const auto& [firstOfB, withNodes, nodeCount] :
         {std::tuple{1u, true, 3u}, std::tuple{1u, false, 0u}, std::tuple{0u, true, 0u}}) {
        mesh.nodes[2].firstTriangle = firstOfB; // 0: overlapping, the node table is given up
        PrcModelResult r{};
        ASSERT_TRUE(fillModelResult(mesh, withNodes, r));
        EXPECT_EQ(r.vertexCount, 4u);
        EXPECT_EQ(r.triangleCount, 2u);
        EXPECT_EQ(std::memcmp(r.vertices, mesh.vertices.data(), 48), 0);
        EXPECT_EQ(std::memcmp(r.triangles, mesh.triangles.data(), 24), 0);
        EXPECT_EQ(std::vector<uint8_t>(r.colours, r.colours + 12),
                  (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 255, 255, 255, 255, 255, 255}));
        ASSERT_EQ(r.nodeCount, nodeCount);
        if (nodeCount > 0) {
            EXPECT_STREQ(r.nodes[2].name, "b");
        }
        releaseModelResult(r);
        EXPECT_EQ(r.vertices, nullptr);
    }
}

} // namespace
