#include "u3dlib/mesh_normals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <thread>

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

// Runs first(), and second() on another thread when twoThreads and one can be had;
// an exception from either is thrown here once both are done.
template <typename First, typename Second>
void alongside(bool twoThreads, First first, Second second)
{
    std::thread helper;
    std::exception_ptr failure;
    if (twoThreads) {
        try {
            helper = std::thread([&] {
                try {
                    second();
                } catch (...) {
                    failure = std::current_exception();
                }
            });
        } catch (...) {
            // No thread to be had: this one does both.
        }
    }
    try {
        first();
        if (!helper.joinable())
            second();
    } catch (...) {
        if (helper.joinable())
            helper.join();
        throw;
    }
    if (helper.joinable())
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

// The angles of a face's corners, from its unit edge directions; each edge serves both
// of its corners, reversed for one (negation is exact).
std::array<double, 3> cornerAngles(const std::vector<IFXVector3>& positions, const uint32_t* c)
{
    const std::array<Vec, 3> edge = {unit(sub(positions[c[1]], positions[c[0]])),
                                     unit(sub(positions[c[2]], positions[c[1]])),
                                     unit(sub(positions[c[0]], positions[c[2]]))};
    std::array<double, 3> angle{};
    for (uint32_t k = 0; k < 3; ++k) {
        const Vec& out = edge[k];
        const Vec& in = edge[(k + 2) % 3];
        angle[k] = std::acos(std::clamp(dot(out, Vec{-in.x, -in.y, -in.z}), -1.0, 1.0));
    }
    return angle;
}

} // namespace

void computeCreaseNormals(const std::vector<IFXVector3>& positions, const std::vector<uint32_t>& positionIndices,
                          float crease, std::vector<IFXVector3>& normals, std::vector<uint32_t>& normalIndices,
                          unsigned threads)
{
    normals.clear();
    normalIndices.assign(positionIndices.size(), 0);
    if (!(crease >= -1.0f && crease <= 1.0f))
        crease = kDefaultNormalCrease;

    // Unit face normals.
    const size_t faceCount = positionIndices.size() / 3;
    const auto validFace = [&](const uint32_t* c) {
        return c[0] < positions.size() && c[1] < positions.size() && c[2] < positions.size();
    };
    if (threads == 0)
        threads = faceCount >= kFacesForTwoNormalThreads && std::thread::hardware_concurrency() > 1 ? 2 : 1;
    const bool twoThreads = threads > 1 && faceCount > 1;
    std::vector<Vec> units(faceCount);
    const auto faceNormals = [&](size_t begin, size_t end) {
        for (size_t f = begin; f < end; ++f) {
            const uint32_t* c = &positionIndices[3 * f];
            if (validFace(c))
                units[f] = unit(cross(sub(positions[c[1]], positions[c[0]]), sub(positions[c[2]], positions[c[0]])));
        }
    };
    const size_t halfFaces = faceCount / 2;
    alongside(
        twoThreads, [&] { faceNormals(0, halfFaces); }, [&] { faceNormals(halfFaces, faceCount); });

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

    // Position by position, the group each corner joins. Groups are numbered in the
    // order of their positions, and that number is the corner's normal index. Two
    // threads take the positions below and from a split; the second numbers its groups
    // from 0, and they move up by the first's count afterwards.
    const auto groupCorners = [&](size_t firstPosition, size_t endPosition) {
        std::vector<Vec> seeds;
        uint32_t groupCount = 0;
        for (size_t p = firstPosition; p < endPosition; ++p) {
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
                normalIndices[corners[i]] = groupCount + chosen;
            }
            groupCount += static_cast<uint32_t>(seeds.size());
        }
        return groupCount;
    };
    // The split halves the corners, not the positions; one thread takes them all.
    const size_t split =
        twoThreads ? static_cast<size_t>(std::lower_bound(start.begin(),
                                                          start.begin() + static_cast<std::ptrdiff_t>(positionCount),
                                                          cornerCount / 2) -
                                         start.begin())
                   : positionCount;
    uint32_t lowerGroups = 0, upperGroups = 0;
    alongside(
        twoThreads, [&] { lowerGroups = groupCorners(0, split); },
        [&] { upperGroups = groupCorners(split, positionCount); });
    for (uint32_t i = start[split]; i < cornerCount; ++i)
        normalIndices[corners[i]] += lowerGroups;
    const uint32_t groupCount = lowerGroups + upperGroups;
    std::vector<uint32_t>().swap(corners);
    std::vector<uint32_t>().swap(start);

    // Face by face, each corner adds its face's normal weighted by the corner's angle (so
    // that how a flat side is cut into triangles does not tilt the mean). A group's sum
    // takes its corners in ascending order, as a walk by position would, so the sums are
    // made on one thread: a second works out the angles of the upper half of the faces
    // meanwhile.
    std::vector<Vec> sums(groupCount);
    const auto addFace = [&](size_t f, const std::array<double, 3>& angle) {
        const uint32_t* c = &positionIndices[3 * f];
        const Vec& n = units[f];
        for (uint32_t k = 0; k < 3; ++k) {
            if (c[k] >= positionCount)
                continue;
            Vec& sum = sums[normalIndices[3 * f + k]];
            sum = {sum.x + n.x * angle[k], sum.y + n.y * angle[k], sum.z + n.z * angle[k]};
        }
    };
    const auto anglesOf = [&](size_t f) {
        const uint32_t* c = &positionIndices[3 * f];
        return validFace(c) ? cornerAngles(positions, c) : std::array<double, 3>{};
    };
    const size_t lowerFaces = twoThreads ? halfFaces : faceCount;
    std::vector<std::array<double, 3>> upperAngles(faceCount - lowerFaces);
    alongside(
        twoThreads,
        [&] {
            for (size_t f = 0; f < lowerFaces; ++f)
                addFace(f, anglesOf(f));
        },
        [&] {
            for (size_t f = lowerFaces; f < faceCount; ++f)
                upperAngles[f - lowerFaces] = anglesOf(f);
        });
    for (size_t f = lowerFaces; f < faceCount; ++f)
        addFace(f, upperAngles[f - lowerFaces]);
    std::vector<std::array<double, 3>>().swap(upperAngles);

    normals.resize(groupCount);
    for (uint32_t g = 0; g < groupCount; ++g) {
        const Vec n = unit(sums[g]);
        normals[g] = IFXVector3{static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)};
    }
}

} // namespace u3dlib
