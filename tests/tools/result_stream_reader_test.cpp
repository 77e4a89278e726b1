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

NodeRecord node(uint32_t index, uint32_t parent, uint32_t count)
{
    NodeRecord n{};
    std::snprintf(n.name, sizeof n.name, "n%u", index);
    n.index = index;
    n.parent = parent;
    n.triangleCount = count;
    n.valid = 1;
    return n;
}

using Mutation = std::function<void(PrcResultHeader&, std::vector<uint32_t>&, std::vector<NodeRecord>&)>;

// A valid PRC stream: 3 vertices, 1 triangle, 2 nodes; the mutation breaks one thing.
std::vector<uint8_t> prcStream(const Mutation& mutate = nullptr)
{
    PrcResultHeader h{};
    h.ok = 1;
    std::vector<uint32_t> triangles{0, 1, 2};
    std::vector<NodeRecord> nodes{node(0, kNoParent, 0), node(1, 0, 1)};
    if (mutate)
        mutate(h, triangles, nodes);
    h.vertexCount = 3;
    h.triangleCount = h.triangleCount != 0 ? h.triangleCount : static_cast<uint32_t>(triangles.size() / 3);
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

std::string parseError(const std::vector<uint8_t>& bytes, StreamForm form = StreamForm::Prc)
{
    ParsedResultStream s;
    std::string error;
    return parseResultStream(form, bytes.data(), bytes.size(), s, error) ? "" : error.empty() ? "?" : error;
}

TEST(ResultStreamReader, PrcStreams)
{
    const auto good = prcStream();
    ParsedResultStream s;
    std::string error;
    ASSERT_TRUE(parseResultStream(StreamForm::Prc, good.data(), good.size(), s, error)) << error;
    EXPECT_EQ(std::tuple(s.vertexCount(), s.triangleCount(), s.nodes.size(), s.colours.size()),
              std::tuple(3u, 1u, size_t{2}, size_t{9}));
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
        EXPECT_NE(parseError(prcStream(mutate)), "") << name;
    auto trailing = good;
    trailing.push_back(0);
    EXPECT_NE(parseError(trailing), "");
    EXPECT_NE(parseError(std::vector<uint8_t>(good.begin(), good.end() - 1)), "");
}

TEST(ResultStreamReader, FailureHeadersAndHugeCounts)
{
    std::vector<uint8_t> refusal(48, 0);
    refusal[16] = 3;
    refusal[20] = 2;
    refusal.insert(refusal.end(), {'a', 'b', 'c'});
    EXPECT_EQ(parseError(refusal), "");
    refusal[20] = 1; // a message is only ever sent with status 2
    EXPECT_NE(parseError(refusal), "");
    std::vector<uint8_t> bare(48, 0);
    EXPECT_EQ(parseError(bare), "");
    bare[4] = 1; // a failure carries no counts
    EXPECT_NE(parseError(bare), "");
    std::vector<uint8_t> u3d(80, 0);
    u3d[16] = 1; // header values travel with failures too
    u3d[20] = 7;
    EXPECT_EQ(parseError(u3d, StreamForm::U3d), "");
    u3d[60] = 1; // but no node count
    EXPECT_NE(parseError(u3d, StreamForm::U3d), "");
    // Counts near 2^32 in a tiny stream must not size an allocation.
    for (auto [form, size] : {std::pair{StreamForm::U3d, 80}, std::pair{StreamForm::Prc, 48}}) {
        std::vector<uint8_t> bytes(size, 0);
        bytes[0] = 1;
        std::memset(&bytes[4], 0xFF, 12);
        EXPECT_NE(parseError(bytes, form), "");
    }
}

} // namespace
