// Counts misoriented edges in result streams: vertices are merged by position, and of
// the edges shared by exactly two triangles, those both triangles walk the same way are
// misoriented (one of the two is drawn back to front). Prints one row per stream and a
// total; exit code 1 when a stream cannot be read or is malformed.
//
//   misoriented_edges prc|u3d <stream file>...
#include "tools/result_stream_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

struct EdgeCounts {
    uint64_t triangles = 0;
    uint64_t shared = 0;      // edges met by exactly two triangles
    uint64_t misoriented = 0; // of those, walked the same way by both
};

uint32_t floatKey(float value)
{
    if (value == 0.0f)
        value = 0.0f; // -0 and +0 are one position
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct PositionKey {
    uint32_t x, y, z;
    bool operator==(const PositionKey&) const = default;
};

struct PositionHash {
    size_t operator()(const PositionKey& k) const
    {
        uint64_t h = k.x;
        h = h * 0x9E3779B97F4A7C15ull ^ k.y;
        h = h * 0x9E3779B97F4A7C15ull ^ k.z;
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

EdgeCounts countEdges(const ParsedResultStream& stream)
{
    std::unordered_map<PositionKey, uint32_t, PositionHash> merged;
    std::vector<uint32_t> vertexId(stream.vertexCount());
    for (uint32_t v = 0; v < stream.vertexCount(); ++v) {
        const float* p = &stream.vertices[3 * size_t{v}];
        const PositionKey key{floatKey(p[0]), floatKey(p[1]), floatKey(p[2])};
        vertexId[v] = merged.try_emplace(key, static_cast<uint32_t>(merged.size())).first->second;
    }

    // An undirected edge as (lower, higher) and the direction it was walked in.
    struct Use {
        uint64_t edge;
        bool forward;
    };
    std::vector<Use> uses;
    uses.reserve(stream.triangles.size());
    EdgeCounts counts;
    counts.triangles = stream.triangleCount();
    for (size_t t = 0; t + 2 < stream.triangles.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const uint32_t from = vertexId[stream.triangles[t + k]];
            const uint32_t to = vertexId[stream.triangles[t + (k + 1) % 3]];
            if (from == to)
                continue; // a collapsed edge of a degenerate triangle
            const uint32_t lower = std::min(from, to), higher = std::max(from, to);
            uses.push_back({uint64_t{lower} << 32 | higher, from == lower});
        }
    }
    std::sort(uses.begin(), uses.end(), [](const Use& a, const Use& b) { return a.edge < b.edge; });
    for (size_t i = 0; i < uses.size();) {
        size_t j = i;
        while (j < uses.size() && uses[j].edge == uses[i].edge)
            ++j;
        if (j - i == 2) {
            ++counts.shared;
            if (uses[i].forward == uses[i + 1].forward)
                ++counts.misoriented;
        }
        i = j;
    }
    return counts;
}

double percent(uint64_t part, uint64_t whole) { return whole == 0 ? 0.0 : 100.0 * double(part) / double(whole); }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[1], "prc") != 0 && std::strcmp(argv[1], "u3d") != 0)) {
        std::fprintf(stderr, "usage: misoriented_edges prc|u3d <stream file>...\n");
        return 2;
    }
    const StreamForm form = argv[1][0] == 'p' ? StreamForm::Prc : StreamForm::U3d;
    int exitCode = 0;
    EdgeCounts total;
    std::printf("%-70s %10s %10s %10s %7s\n", "stream", "triangles", "shared", "misorient", "%");
    for (int i = 2; i < argc; ++i) {
        std::vector<uint8_t> bytes;
        ParsedResultStream stream;
        std::string error;
        if (!readStreamFile(argv[i], bytes) || !parseResultStream(form, bytes.data(), bytes.size(), stream, error)) {
            std::printf("%-70s unreadable or malformed stream %s\n", argv[i], error.c_str());
            exitCode = 1;
            continue;
        }
        const EdgeCounts counts = countEdges(stream);
        total.triangles += counts.triangles;
        total.shared += counts.shared;
        total.misoriented += counts.misoriented;
        std::printf("%-70s %10llu %10llu %10llu %7.2f\n", argv[i], static_cast<unsigned long long>(counts.triangles),
                    static_cast<unsigned long long>(counts.shared),
                    static_cast<unsigned long long>(counts.misoriented), percent(counts.misoriented, counts.shared));
    }
    std::printf("%-70s %10llu %10llu %10llu %7.2f\n", "total", static_cast<unsigned long long>(total.triangles),
                static_cast<unsigned long long>(total.shared), static_cast<unsigned long long>(total.misoriented),
                percent(total.misoriented, total.shared));
    return exitCode;
}
