#include "prc/geometry/compressed_tess_vector.h"

#include <bit>
#include <cmath>

namespace {

// Edges and normals repeat their squared lengths (an edge is framed from both of its
// triangles), so recent results are kept: the iteration's divisions are its cost.
constexpr uint32_t kRecentRootBits = 14;
struct RecentRoot {
    uint32_t q = 0; // bits of q; 0 is never looked up
    double root = 0;
};
thread_local RecentRoot recentRoots[1u << kRecentRootBits];

double iteratedSquareRoot(float q)
{
    // From 2 upwards (top exponent bit set) the start is q with its exponent halved,
    // which keeps the step count small for large values. Set in the exponent field:
    // such a float is a normal double, and so is the result, so this is exactly
    // ldexp(x, e / 2 - e).
    constexpr int kMantissaBits = 52;
    constexpr uint64_t kExponentMask = 0x7FF;
    constexpr int kExponentBias = 1023;
    double x = q;
    if ((std::bit_cast<uint32_t>(q) & 0x40000000u) != 0 && std::isfinite(x)) {
        const uint64_t bits = std::bit_cast<uint64_t>(x);
        const int exponent = static_cast<int>(bits >> kMantissaBits & kExponentMask) - kExponentBias;
        const uint64_t halved = static_cast<uint64_t>(exponent / 2 + kExponentBias);
        x = std::bit_cast<double>((bits & ~(kExponentMask << kMantissaBits)) | halved << kMantissaBits);
    }
    for (int step = 0; step < kTessNewtonMaxSteps; ++step) {
        const double next = (q / x + x) / 2;
        if (next == x)
            break;
        x = next;
    }
    return x;
}

} // namespace

double newtonSquareRoot(float q)
{
    const uint32_t bits = std::bit_cast<uint32_t>(q);
    RecentRoot& recent = recentRoots[(bits ^ bits >> kRecentRootBits) & ((1u << kRecentRootBits) - 1)];
    if (recent.q == bits && bits != 0)
        return recent.root;
    const double root = iteratedSquareRoot(q);
    recent = {bits, root};
    return root;
}

double tessVectorLength(const TessVec3& v)
{
    const float q = static_cast<float>(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(q > 0))
        return -1;
    const double length = newtonSquareRoot(q);
    if (!(length >= kTessMinLength))
        return -1;
    return length;
}

bool normaliseTessVector(TessVec3& v)
{
    const double length = tessVectorLength(v);
    if (length < 0)
        return false;
    v = {v.x / length, v.y / length, v.z / length};
    return true;
}

TessFrame defaultTessFrame(TessVec3 direction, int mode)
{
    if (mode == kTessFrameNormalised)
        normaliseTessVector(direction);
    TessFrame frame;
    frame.w = cross(direction, {0, 1, 0});
    if (!normaliseTessVector(frame.w)) {
        frame.w = cross(direction, {1, 0, 0});
        normaliseTessVector(frame.w);
    }
    frame.y = cross(frame.w, direction);
    normaliseTessVector(frame.y);
    return frame;
}
