// Vector arithmetic of the compressed tessellation decoder. Writers predict points and
// normals with single-precision lengths, so the lengths here round the squared length to
// float before taking the root; decoding must repeat that to land on the same points.
#pragma once

#include <cstdint>

struct TessVec3 {
    double x = 0, y = 0, z = 0;
};

inline TessVec3 operator+(const TessVec3& a, const TessVec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline TessVec3 operator-(const TessVec3& a, const TessVec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline TessVec3 operator-(const TessVec3& a) { return {-a.x, -a.y, -a.z}; }
inline TessVec3 operator*(const TessVec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline TessVec3 operator*(double s, const TessVec3& a) { return {a.x * s, a.y * s, a.z * s}; }
inline TessVec3 midpoint(const TessVec3& a, const TessVec3& b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2}; }
inline double dot(const TessVec3& a, const TessVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline TessVec3 cross(const TessVec3& a, const TessVec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Point number of a table of x, y, z triples.
inline TessVec3 tablePoint(const double* points, uint64_t number)
{
    const double* xyz = points + 3 * number;
    return {xyz[0], xyz[1], xyz[2]};
}

// Shorter vectors count as degenerate (single-precision epsilon).
inline constexpr double kTessMinLength = 1.1920928955078125e-7;
inline constexpr int kTessNewtonMaxSteps = 100;

// The square root of a non-negative float by Newton's iteration in double precision.
double newtonSquareRoot(float q);
// The length, or a negative value when the vector is degenerate.
double tessVectorLength(const TessVec3& v);
// Divides by the length; a degenerate vector is left as it is and gives false.
bool normaliseTessVector(TessVec3& v);

// How a run builds fallback frames: mode 0 takes the direction as given, mode 1
// normalises it first (the retry runs).
inline constexpr int kTessFrameAsGiven = 0;
inline constexpr int kTessFrameNormalised = 1;

struct TessFrame {
    TessVec3 y, w;
};
// Two axes across a direction, from the world axes.
TessFrame defaultTessFrame(TessVec3 direction, int mode);
