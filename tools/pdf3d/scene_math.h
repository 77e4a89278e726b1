// Small vector helpers and the facts about a result stream that every export needs:
// bounds, colour space, the orientation of CAD data.
#pragma once

#include "tools/result_stream_reader.h"

#include <array>
#include <cmath>
#include <cstdint>

using Vec3 = std::array<double, 3>;

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec3 operator*(Vec3 a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline double dot(Vec3 a, Vec3 b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double length(Vec3 a) { return std::sqrt(dot(a, a)); }
// The vector scaled to length 1, or the fallback when it has no usable length.
inline Vec3 normalised(Vec3 a, Vec3 fallback)
{
    const double l = length(a);
    return std::isfinite(l) && l > 1e-12 ? a * (1.0 / l) : fallback;
}

struct Bounds {
    Vec3 min{0, 0, 0};
    Vec3 max{0, 0, 0};
    bool empty = true;
    Vec3 centre() const { return (min + max) * 0.5; }
    double radius() const { return empty ? 1.0 : std::max(length(max - min) * 0.5, 1e-9); }
};

// Over the finite vertices that a triangle, point or line uses.
Bounds usedBounds(const ParsedResultStream& s);

// Stream colours are sRGB as displayed; glTF wants linear values.
double srgbToLinear(uint8_t value);
uint8_t linearToSrgb(double value);

// The stream's default view as a direction to look along and an up vector, both in
// the stream's coordinates. False when the stream has none or it is unusable.
bool defaultViewAxes(const ParsedResultStream& s, Vec3& lookDirection, Vec3& up);
// Same for any row-major 3 x 3 rotation of a view (the camera looks along its -Z).
bool viewAxes(const float (&rotation)[9], Vec3& lookDirection, Vec3& up);
