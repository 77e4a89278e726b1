#include "prc/model/model_result_output.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

namespace {

AssemblyNode node(const std::string& name, uint32_t first, uint32_t count)
{
    AssemblyNode n;
    n.name = name;
    n.parent = 3;
    n.firstTriangle = first;
    n.triangleCount = count;
    return n;
}

TEST(ModelResultOutput, NodeRangeValidation)
{
    const std::pair<std::vector<std::pair<uint32_t, uint32_t>>, bool> cases[] = { // (first, count), sound
        {{{2, 2}, {0, 2}, {4, 1}}, true},          // back to back, out of order
        {{{0, 5}}, true},                          // ending exactly at T
        {{{3, 3}}, false},                         // ending past T
        {{{0, 3}, {2, 2}}, false},                 // overlapping
        {{{0, 5}, {2, 0}, {99, 0}}, true},         // empty ranges take no part
        {{{1, 0xFFFFFFFF}}, false},                // a count that would wrap in 32 bits
        {{}, true},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::vector<AssemblyNode> nodes;
        for (const auto& [first, count] : cases[i].first)
            nodes.push_back(node("", first, count));
        EXPECT_EQ(nodeRangesAreSound(nodes, 5), cases[i].second) << "case " << i;
    }
}

TEST(ModelResultOutput, ArraysWithWhiteDefaultsAndNodeTableOnlyWhenSound)
{
    AssemblyMesh mesh;
    mesh.vertices = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    mesh.triangles = {0, 1, 2, 0, 2, 3};
    mesh.colours = {1, 2, 3, 4, 5, 6}; // two vertices coloured
    mesh.nodes = {node("root", 0, 0), node("a", 0, 1), node("b", 1, 1)};
    for (const auto& [firstOfB, withNodes, nodeCount] :
         {std::tuple{1u, true, 3u}, std::tuple{1u, false, 0u}, std::tuple{0u, true, 0u}}) {
        mesh.nodes[2].firstTriangle = firstOfB; // 0: overlapping, the node table is given up
        PrcModelResult r{};
        ASSERT_TRUE(fillModelResult(mesh, withNodes, r));
        EXPECT_EQ(std::tuple(r.vertexCount, r.triangleCount, r.nodeCount), std::tuple(4u, 2u, nodeCount));
        EXPECT_EQ(std::memcmp(r.vertices, mesh.vertices.data(), 48) + std::memcmp(r.triangles, mesh.triangles.data(), 24), 0);
        EXPECT_EQ(std::vector<uint8_t>(r.colours, r.colours + 12),
                  (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 255, 255, 255, 255, 255, 255}));
        releaseModelResult(r);
        EXPECT_EQ(r.vertices, nullptr);
    }
}

} // namespace
