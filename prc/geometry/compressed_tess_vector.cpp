#include "prc/geometry/compressed_tess_vector.h"

#include <bit>
#include <cmath>

double newtonSquareRoot(float q)
{
    // From 2 upwards (top exponent bit set) the start is q with its exponent halved,
    // which keeps the step count small for large values.
    double x = q;
    if ((std::bit_cast<uint32_t>(q) & 0x40000000u) != 0 && std::isfinite(x)) {
        const int exponent = std::ilogb(x);
        x = std::ldexp(x, exponent / 2 - exponent);
    }
    for (int step = 0; step < kTessNewtonMaxSteps; ++step) {
        const double next = (q / x + x) / 2;
        if (next == x)
            break;
        x = next;
    }
    return x;
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
