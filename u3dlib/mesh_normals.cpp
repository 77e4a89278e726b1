#include "u3dlib/mesh_normals.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace u3dlib {

namespace {

struct Vec {
    double x = 0, y = 0, z = 0;
};

Vec sub(const IFXVector3& a, const IFXVector3& b)
{
    return {double{a.x} - b.x, double{a.y} - b.y, double{a.z} - b.z};
}

Vec cross(const Vec& a, const Vec& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double dot(const Vec& a, const Vec& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec unit(const Vec& v)
{
    const double length = std::sqrt(dot(v, v));
    if (!(length > 0) || !std::isfinite(length))
        return {};
    return {v.x / length, v.y / length, v.z / length};
}

// acos of corner angles, remembered by argument. The corners of a CAD mesh repeat a few
// angles (right angles, the steps of a tessellated circle) over and over, and a table
// lookup costs a fraction of the call; the same argument gives the same bits either way.
class AcosTable {
public:
    // Sized to the work: a small mesh does not fill a large table.
    explicit AcosTable(size_t calls)
        : slots_(std::clamp<size_t>(std::bit_ceil(calls), kMinSlots, kMaxSlots), Slot{0, std::acos(0.0)}),
          shift_(64 - std::countr_zero(slots_.size()))
    {
    }

    double operator()(double x)
    {
        const uint64_t bits = std::bit_cast<uint64_t>(x);
        Slot& slot = slots_[(bits * kHashMultiplier) >> shift_];
        if (slot.bits != bits)
            slot = {bits, std::acos(x)};
        return slot.value;
    }

private:
    static constexpr size_t kMinSlots = 64;
    static constexpr size_t kMaxSlots = 4096; // 64 KiB
    static constexpr uint64_t kHashMultiplier = 0x9E3779B97F4A7C15ull;
    struct Slot {
        uint64_t bits; // of the argument; every slot holds a true pair, +0 to begin with
        double value;
    };
    std::vector<Slot> slots_;
    int shift_;
};

} // namespace

void computeCreaseNormals(const std::vector<IFXVector3>& positions, const std::vector<IFXAuthorFace>& faces,
                          float crease, std::vector<IFXVector3>& normals, std::vector<IFXAuthorFace>& normalFaces)
{
    normals.clear();
    normalFaces.assign(faces.size(), IFXAuthorFace{0, 0, 0});
    if (!(crease >= -1.0f && crease <= 1.0f))
        crease = kDefaultNormalCrease;

    // Unit face normals.
    const size_t faceCount = faces.size();
    const size_t positionCount = positions.size();
    const auto validFace = [&](const IFXAuthorFace& c) {
        return c.a < positionCount && c.b < positionCount && c.c < positionCount;
    };
    std::vector<Vec> units(faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
        const IFXAuthorFace& c = faces[f];
        if (validFace(c))
            units[f] = unit(cross(sub(positions[c.b], positions[c.a]), sub(positions[c.c], positions[c.a])));
    }

    // Corners (3 f + k) by position, ascending (counting sort, placed from the last
    // corner down).
    std::vector<uint32_t> start(positionCount + 1, 0);
    for (const IFXAuthorFace& c : faces)
        for (const uint32_t p : {c.a, c.b, c.c})
            if (p < positionCount)
                ++start[p];
    for (size_t p = 1; p < positionCount; ++p)
        start[p] += start[p - 1];
    const uint32_t cornerCount = positionCount > 0 ? start[positionCount - 1] : 0;
    start[positionCount] = cornerCount;
    std::vector<uint32_t> corners(cornerCount);
    for (size_t f = faceCount; f-- > 0;)
        for (uint32_t k = 3; k-- > 0;)
            if (const uint32_t p = cornerOf(faces[f], k); p < positionCount)
                corners[--start[p]] = static_cast<uint32_t>(3 * f + k);

    // Position by position, the group each corner joins. Groups are numbered in the
    // order of their positions, and that number is the corner's normal index.
    std::vector<Vec> seeds;
    uint32_t groupCount = 0;
    for (size_t p = 0; p < positionCount; ++p) {
        seeds.clear();
        for (uint32_t i = start[p]; i < start[p + 1]; ++i) {
            const Vec& n = units[corners[i] / 3];
            uint32_t chosen = 0;
            bool found = false;
            double best = -2;
            const bool degenerate = dot(n, n) == 0;
            for (uint32_t k = 0; k < seeds.size() && !degenerate; ++k) {
                const double d = dot(seeds[k], n);
                if (d > crease) {
                    chosen = k;
                    found = true;
                    break;
                }
                if (d > best) {
                    best = d;
                    chosen = k;
                }
            }
            if (!found && !degenerate && seeds.size() < kMaxNormalGroupsPerPosition) {
                chosen = static_cast<uint32_t>(seeds.size());
                seeds.push_back(n);
            } else if (seeds.empty()) {
                seeds.push_back(n); // a degenerate face alone at its position
            }
            cornerOf(normalFaces[corners[i] / 3], corners[i] % 3) = groupCount + chosen;
        }
        groupCount += static_cast<uint32_t>(seeds.size());
    }
    std::vector<uint32_t>().swap(corners);
    std::vector<uint32_t>().swap(start);

    // Face by face, each corner adds its face's normal weighted by the corner's angle (so
    // that how a flat side is cut into triangles does not tilt the mean). A group's sum
    // takes its corners in ascending order, as a walk by position would. Each edge's
    // direction serves both of its corners, reversed for one: negation is exact.
    std::vector<Vec> sums(groupCount);
    AcosTable arccos(3 * faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
        const IFXAuthorFace& c = faces[f];
        std::array<double, 3> angle{};
        if (validFace(c)) {
            const std::array<Vec, 3> edge = {unit(sub(positions[c.b], positions[c.a])),
                                             unit(sub(positions[c.c], positions[c.b])),
                                             unit(sub(positions[c.a], positions[c.c]))};
            for (uint32_t k = 0; k < 3; ++k) {
                const Vec& out = edge[k];
                const Vec& in = edge[(k + 2) % 3];
                angle[k] = arccos(std::clamp(dot(out, Vec{-in.x, -in.y, -in.z}), -1.0, 1.0));
            }
        }
        const Vec& n = units[f];
        for (uint32_t k = 0; k < 3; ++k) {
            if (cornerOf(c, k) >= positionCount)
                continue;
            Vec& sum = sums[cornerOf(normalFaces[f], k)];
            sum = {sum.x + n.x * angle[k], sum.y + n.y * angle[k], sum.z + n.z * angle[k]};
        }
    }

    normals.resize(groupCount);
    for (uint32_t g = 0; g < groupCount; ++g) {
        const Vec n = unit(sums[g]);
        normals[g] = IFXVector3{static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)};
    }
}

} // namespace u3dlib
