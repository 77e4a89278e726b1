#include "prc/model/identical_tessellations.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace {

// Hashed: the sizes of the arrays and both ends of the point array, which tell apart
// nearly every pair of different records at a fixed cost per record. Equal hashes are
// confirmed by comparing the records whole.
constexpr size_t kHashedPointValues = 48;

uint64_t bytesHash(const void* data, size_t bytes)
{
    return std::hash<std::string_view>{}(std::string_view(static_cast<const char*>(data), bytes));
}

uint64_t recordHash(const PRC3DTessCompressed& record)
{
    const std::vector<int32_t>& points = record.point_array;
    const size_t ends = std::min(points.size(), kHashedPointValues);
    const uint64_t parts[] = {points.size(),
                              record.triangle_face_array.size(),
                              record.edge_status_array.size(),
                              record.normal_angle_array.size(),
                              record.normal_binary_data.size(),
                              bytesHash(points.data(), ends * sizeof(int32_t)),
                              bytesHash(points.data() + (points.size() - ends), ends * sizeof(int32_t))};
    return bytesHash(parts, sizeof parts);
}

} // namespace

std::vector<uint64_t> firstIdenticalTessellations(const std::vector<TessEntry>& entries,
                                                  const std::vector<PRC3DTessCompressed>& compressed)
{
    std::vector<uint64_t> first(entries.size());
    std::unordered_map<uint64_t, uint64_t> entryByHash; // the first entry of each hash
    bool anyIdentical = false;
    for (uint64_t e = 0; e < entries.size(); ++e) {
        first[e] = e;
        const TessEntry& entry = entries[e];
        if (entry.kind != kTessCompressed || entry.index < 0 || static_cast<uint64_t>(entry.index) >= compressed.size())
            continue;
        const PRC3DTessCompressed& record = compressed[static_cast<uint64_t>(entry.index)];
        const auto [seen, added] = entryByHash.try_emplace(recordHash(record), e);
        if (!added && compressed[static_cast<uint64_t>(entries[seen->second].index)] == record) {
            first[e] = seen->second;
            anyIdentical = true;
        }
    }
    if (!anyIdentical)
        first.clear();
    return first;
}
