#include "prc/geometry/compressed_tess_vector.h"

#include <bit>
#include <cmath>

namespace {

// Newton's iteration as writers run it: from q, or from q with its exponent halved once
// q reaches 2, until a step changes nothing. Set in the exponent field: such a float is
// a normal double, and so is the result, so this is exactly ldexp(x, e / 2 - e).
double iteratedSquareRoot(float q)
{
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

bool isNewtonFixedPoint(float q, double x) { return (q / x + x) / 2 == x; }

// The root by the fastest route to the same value: the square root, then its
// neighbours, checked by one step each.
double rootOfFixedPoint(float q)
{
    // For every positive finite float, exactly one of the correctly rounded root and its
    // two neighbours is a fixed point of the step, and the iteration ends on it (checked
    // for all of them), so finding that one replaces the chain of divisions.
    if (q > 0 && std::isfinite(q)) {
        const double root = std::sqrt(static_cast<double>(q));
        if (isNewtonFixedPoint(q, root))
            return root;
        const uint64_t bits = std::bit_cast<uint64_t>(root);
        const double above = std::bit_cast<double>(bits + 1);
        if (isNewtonFixedPoint(q, above))
            return above;
        const double below = std::bit_cast<double>(bits - 1);
        if (isNewtonFixedPoint(q, below))
            return below;
    }
    return iteratedSquareRoot(q);
}

// Lengths repeat: an edge is framed by the gates on both of its sides, and a grid has
// few distinct lengths: a third to two thirds of the roots a large file asks for were
// asked for lately.
constexpr int kRememberedRootBits = 11;
constexpr uint32_t kGoldenRatioMultiplier = 2654435761u; // spreads nearby bit patterns

} // namespace

double newtonSquareRoot(float q)
{
    // 24 KiB: the slots of the last roots asked for, by the bits of q (0, the bits of
    // +0, is never kept).
    thread_local uint32_t keys[1u << kRememberedRootBits];
    thread_local double roots[1u << kRememberedRootBits];
    const uint32_t key = std::bit_cast<uint32_t>(q);
    const uint32_t slot = (key * kGoldenRatioMultiplier) >> (32 - kRememberedRootBits);
    if (keys[slot] == key && key != 0)
        return roots[slot];
    const double root = rootOfFixedPoint(q);
    keys[slot] = key;
    roots[slot] = root;
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
