#include "tools/pdf3d/scene_math.h"

#include <algorithm>

namespace {

void include(Bounds& b, const float* p)
{
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
        return;
    for (int k = 0; k < 3; ++k) {
        b.min[k] = b.empty ? p[k] : std::min(b.min[k], double{p[k]});
        b.max[k] = b.empty ? p[k] : std::max(b.max[k], double{p[k]});
    }
    b.empty = false;
}

} // namespace

Bounds usedBounds(const ParsedResultStream& s)
{
    Bounds b;
    auto add = [&](const std::vector<uint32_t>& indices) {
        for (uint32_t i : indices)
            include(b, &s.vertices[size_t{i} * 3]);
    };
    add(s.triangles);
    add(s.points);
    add(s.lines);
    return b;
}

double srgbToLinear(uint8_t value)
{
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

uint8_t linearToSrgb(double value)
{
    const double c = std::clamp(value, 0.0, 1.0);
    const double s = c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
    return static_cast<uint8_t>(std::lround(s * 255.0));
}

bool viewAxes(const float (&r)[9], Vec3& lookDirection, Vec3& up)
{
    for (float v : r)
        if (!std::isfinite(v))
            return false;
    const Vec3 back{r[2], r[5], r[8]};
    const Vec3 upColumn{r[1], r[4], r[7]};
    if (length(back) < 1e-6 || length(upColumn) < 1e-6)
        return false;
    lookDirection = normalised(back * -1.0, {0, 0, -1});
    up = normalised(upColumn, {0, 1, 0});
    return true;
}

bool defaultViewAxes(const ParsedResultStream& s, Vec3& lookDirection, Vec3& up)
{
    return s.hasDefaultView && viewAxes(s.defaultView, lookDirection, up);
}
