#include "u3dlib/mesh_normals.h"

#include <algorithm>
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

} // namespace

void computeCreaseNormals(const std::vector<IFXVector3>& positions, const std::vector<uint32_t>& positionIndices,
                          float crease, std::vector<IFXVector3>& normals, std::vector<uint32_t>& normalIndices)
{
    normals.clear();
    normalIndices.assign(positionIndices.size(), 0);
    if (!(crease >= -1.0f && crease <= 1.0f))
        crease = kDefaultNormalCrease;

    // Unit face normals; each corner adds its face's normal weighted by the corner's
    // angle (so that how a flat side is cut into triangles does not tilt the mean),
    // computed where it is added rather than stored for every corner.
    const size_t faceCount = positionIndices.size() / 3;
    std::vector<Vec> units(faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
        const uint32_t* c = &positionIndices[3 * f];
        if (c[0] >= positions.size() || c[1] >= positions.size() || c[2] >= positions.size())
            continue;
        units[f] = unit(cross(sub(positions[c[1]], positions[c[0]]), sub(positions[c[2]], positions[c[0]])));
    }
    const auto weighted = [&](uint32_t corner, const Vec& n) {
        const uint32_t* c = &positionIndices[corner - corner % 3];
        if (c[0] >= positions.size() || c[1] >= positions.size() || c[2] >= positions.size())
            return Vec{};
        const uint32_t k = corner % 3;
        const Vec a = unit(sub(positions[c[(k + 1) % 3]], positions[c[k]]));
        const Vec b = unit(sub(positions[c[(k + 2) % 3]], positions[c[k]]));
        const double angle = std::acos(std::clamp(dot(a, b), -1.0, 1.0));
        return Vec{n.x * angle, n.y * angle, n.z * angle};
    };

    // Corners by position, ascending (counting sort, placed from the last corner down).
    const size_t positionCount = positions.size();
    std::vector<uint32_t> start(positionCount + 1, 0);
    for (uint32_t p : positionIndices)
        if (p < positionCount)
            ++start[p];
    for (size_t p = 1; p < positionCount; ++p)
        start[p] += start[p - 1];
    const uint32_t cornerCount = positionCount > 0 ? start[positionCount - 1] : 0;
    start[positionCount] = cornerCount;
    std::vector<uint32_t> corners(cornerCount);
    for (size_t i = positionIndices.size(); i-- > 0;)
        if (positionIndices[i] < positionCount)
            corners[--start[positionIndices[i]]] = static_cast<uint32_t>(i);

    struct Group {
        Vec seed;
        Vec sum;
        uint32_t normal = 0;
    };
    std::vector<Group> groups;
    std::vector<uint32_t> groupOf;
    for (size_t p = 0; p < positions.size(); ++p) {
        groups.clear();
        groupOf.clear();
        for (uint32_t i = start[p]; i < start[p + 1]; ++i) {
            const Vec& n = units[corners[i] / 3];
            uint32_t chosen = 0;
            bool found = false;
            double best = -2;
            const bool degenerate = dot(n, n) == 0;
            for (uint32_t k = 0; k < groups.size() && !degenerate; ++k) {
                const double d = dot(groups[k].seed, n);
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
            if (!found && !degenerate && groups.size() < kMaxNormalGroupsPerPosition) {
                chosen = static_cast<uint32_t>(groups.size());
                groups.push_back(Group{n, {}, 0});
            } else if (groups.empty()) {
                groups.push_back(Group{n, {}, 0}); // a degenerate face alone at its position
            }
            const Vec w = weighted(corners[i], n);
            groups[chosen].sum = {groups[chosen].sum.x + w.x, groups[chosen].sum.y + w.y, groups[chosen].sum.z + w.z};
            groupOf.push_back(chosen);
        }
        for (Group& group : groups) {
            const Vec n = unit(group.sum);
            group.normal = static_cast<uint32_t>(normals.size());
            normals.push_back(IFXVector3{static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)});
        }
        for (uint32_t i = start[p]; i < start[p + 1]; ++i)
            normalIndices[corners[i]] = groups[groupOf[i - start[p]]].normal;
    }
}

} // namespace u3dlib
