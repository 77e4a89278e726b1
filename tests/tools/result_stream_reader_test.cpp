#include "tools/result_stream_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

template <typename T>
void append(std::vector<uint8_t>& out, const T& value)
{
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), p, p + sizeof value);
}

NodeRecord node(uint32_t index, uint32_t parent, uint32_t first, uint32_t count)
{
    NodeRecord n{};
    std::snprintf(n.name, sizeof n.name, "n%u", index);
    n.index = index;
    n.parent = parent;
    n.firstTriangle = first;
    n.triangleCount = count;
    n.valid = 1;
    return n;
}

// A valid PRC stream: 3 vertices, 1 triangle, 2 nodes; the mutation breaks one thing.
std::vector<uint8_t> prcStream(const std::function<void(PrcResultHeader&, std::vector<uint32_t>&,
                                                        std::vector<NodeRecord>&)>& mutate = nullptr)
{
    PrcResultHeader h{};
    h.ok = 1;
    std::vector<uint32_t> triangles{0, 1, 2};
    std::vector<NodeRecord> nodes{node(0, kNoParent, 0, 0), node(1, 0, 0, 1)};
    if (mutate)
        mutate(h, triangles, nodes);
    h.vertexCount = 3;
    if (h.triangleCount == 0)
        h.triangleCount = static_cast<uint32_t>(triangles.size() / 3);
    if (h.nodeCount == 0)
        h.nodeCount = static_cast<uint32_t>(nodes.size());
    std::vector<uint8_t> out;
    append(out, h);
    for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f})
        append(out, f);
    for (uint32_t t : triangles)
        append(out, t);
    out.insert(out.end(), 9, 200);
    for (const NodeRecord& n : nodes)
        append(out, n);
    return out;
}

bool parses(const std::vector<uint8_t>& bytes, StreamForm form, std::string* error = nullptr)
{
    ParsedResultStream s;
    std::string e;
    const bool ok = parseResultStream(form, bytes.data(), bytes.size(), s, e);
    if (error)
        *error = e;
    return ok;
}

TEST(ResultStreamReader, AcceptsAWellFormedPrcStream)
{
    const auto bytes = prcStream();
    ParsedResultStream s;
    std::string error;
    ASSERT_TRUE(parseResultStream(StreamForm::Prc, bytes.data(), bytes.size(), s, error)) << error;
    EXPECT_EQ(s.vertexCount(), 3u);
    EXPECT_EQ(s.triangleCount(), 1u);
    EXPECT_EQ(s.nodes.size(), 2u);
    EXPECT_EQ(s.colours.size(), 9u);
}

TEST(ResultStreamReader, RejectsInconsistentPrcStreams)
{
    using Mutation = std::function<void(PrcResultHeader&, std::vector<uint32_t>&, std::vector<NodeRecord>&)>;
    const std::pair<const char*, Mutation> cases[] = {
        {"vertex number out of range", [](auto&, auto& t, auto&) { t[2] = 3; }},
        {"node range past the triangles", [](auto&, auto&, auto& n) { n[1].triangleCount = 2; }},
        {"overlapping node ranges", [](auto&, auto&, auto& n) { n[0].triangleCount = 1; }},
        {"index not its position", [](auto&, auto&, auto& n) { n[1].index = 5; }},
        {"parent after the child", [](auto&, auto&, auto& n) { n[1].parent = 1; }},
        {"valid flag", [](auto&, auto&, auto& n) { n[0].valid = 0; }},
        {"unterminated name", [](auto&, auto&, auto& n) { std::memset(n[0].name, 'a', 128); }},
        {"garbage after the name", [](auto&, auto&, auto& n) { n[0].name[100] = 'x'; }},
        {"status with ok", [](auto& h, auto&, auto&) { h.status = 1; }},
        {"ok of 2", [](auto& h, auto&, auto&) { h.ok = 2; }},
        {"line range in a PRC node", [](auto&, auto&, auto& n) { n[1].lineCount = 1; }},
        {"more triangles announced", [](auto& h, auto&, auto&) { h.triangleCount = 2; }},
    };
    for (const auto& [name, mutate] : cases)
        EXPECT_FALSE(parses(prcStream(mutate), StreamForm::Prc)) << name;

    auto trailing = prcStream();
    trailing.push_back(0);
    EXPECT_FALSE(parses(trailing, StreamForm::Prc));
    auto cut = prcStream();
    cut.pop_back();
    EXPECT_FALSE(parses(cut, StreamForm::Prc));
}

TEST(ResultStreamReader, FailureHeaders)
{
    std::vector<uint8_t> refusal(48, 0);
    refusal[16] = 3;
    refusal[20] = 2;
    refusal.insert(refusal.end(), {'a', 'b', 'c'});
    std::string error;
    EXPECT_TRUE(parses(refusal, StreamForm::Prc, &error)) << error;
    refusal[20] = 1; // a message is only ever sent with status 2
    EXPECT_FALSE(parses(refusal, StreamForm::Prc));

    std::vector<uint8_t> bare(48, 0);
    EXPECT_TRUE(parses(bare, StreamForm::Prc));
    bare[4] = 1; // a failure carries no counts
    EXPECT_FALSE(parses(bare, StreamForm::Prc));

    std::vector<uint8_t> u3d(80, 0);
    u3d[16] = 1; // header values travel with failures too
    u3d[20] = 7;
    EXPECT_TRUE(parses(u3d, StreamForm::U3d));
    u3d[60] = 1; // but no node count
    EXPECT_FALSE(parses(u3d, StreamForm::U3d));
}

TEST(ResultStreamReader, HugeCountsInATinyStreamDoNotAllocate)
{
    std::vector<uint8_t> bytes(80, 0);
    bytes[0] = 1;
    std::memset(&bytes[4], 0xFF, 8); // vertex and triangle counts near 2^32
    EXPECT_FALSE(parses(bytes, StreamForm::U3d));
    std::vector<uint8_t> prc(48, 0);
    prc[0] = 1;
    std::memset(&prc[4], 0xFF, 12);
    EXPECT_FALSE(parses(prc, StreamForm::Prc));
}

TEST(ResultStreamReader, U3dStreamWithEveryArray)
{
    U3dResultHeader h{};
    h.ok = 1;
    h.hasDefaultView = 1;
    h.vertexCount = 2;
    h.pointCount = 1;
    h.lineCount = 1;
    h.textureWidth = 1;
    h.textureHeight = 1;
    h.nodeCount = 1;
    h.viewCount = 1;
    h.materialCount = 1;
    h.lightCount = 1;
    h.hasNormals = 1;
    std::vector<uint8_t> out;
    append(out, h);
    out.insert(out.end(), 2 * 12, 0);           // vertices
    out.insert(out.end(), 2 * 3, 255);          // colours
    append(out, uint32_t{1});                    // point
    append(out, uint32_t{0});                    // line
    append(out, uint32_t{1});
    out.insert(out.end(), 36, 0);               // default view
    out.insert(out.end(), 2 * 8, 0);            // texture coordinates
    out.insert(out.end(), 4, 9);                // pixels
    NodeRecord n = node(0, kNoParent, 0, 0);
    n.pointCount = 1;
    n.lineCount = 1;
    append(out, n);
    ViewRecord v{};
    v.valid = 1;
    append(out, v);
    out.insert(out.end(), 2 * 12, 0);           // normals
    out.insert(out.end(), 2 * 2, 0);            // vertex materials
    append(out, MaterialRecord{});
    LightRecord light{};
    light.type = 1;
    append(out, light);
    ParsedResultStream s;
    std::string error;
    ASSERT_TRUE(parseResultStream(StreamForm::U3d, out.data(), out.size(), s, error)) << error;
    EXPECT_EQ(s.points, std::vector<uint32_t>{1});
    EXPECT_EQ(s.texturePixels.size(), 4u);
    EXPECT_EQ(s.lights.size(), 1u);

    auto badPoint = out;
    badPoint[80 + 24 + 6] = 2; // point 2 of 2 vertices
    EXPECT_FALSE(parses(badPoint, StreamForm::U3d));
}

} // namespace
