// Normals of a compressed tessellation in angle mode, used only to decide the winding of
// each decoded triangle. A point carries one normal or a list of them; a new normal is two
// quantised angles and three sign bits in a frame built at the most nearly right-angled
// corner of the triangle in which it is met.
#pragma once

#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/compressed_tess_vector.h"

#include <cstdint>
#include <vector>

struct CompressedTessDecoder;

inline constexpr double kHalfPi = 1.5707963267948966;
inline constexpr double kQuarterPi = 0.7853981633974483;
// Cosines this close to +-1 count as parallel directions.
inline constexpr double kParallelCosine = 0.999999999999;

enum NormalPointState : uint8_t { kNoNormalYet = 0, kOneNormal = 1, kSeveralNormals = 2 };

struct CompressedNormalState {
    double angleStep = 0; // radians per angle code
    std::vector<TessVec3> normals;
    std::vector<uint8_t> pointState;   // NormalPointState per point
    std::vector<uint32_t> pointNormal; // the normal (one) or the list number (several)
    std::vector<std::vector<uint32_t>> pointLists;
    std::vector<uint8_t> faceDecoded; // per face whose bit of face_has_one_normal can be read
    std::vector<uint32_t> faceNormal;
};

// Sized for the record; only angle mode keeps anything.
void initCompressedNormalState(CompressedNormalState& state, const PRC3DTessCompressed& record, uint64_t pointCount);

// Writers' truncated series; decoding must use the same to land on the same normals.
double sinSeries(double y);
double cosApprox(double x);
double sinApprox(double x);
// How far two directions are from a right angle, in radians.
double directionDeviation(TessVec3 a, TessVec3 b);

// The normal for angles alpha, beta and sign bits b1 (flips the frame's normal axis), b2
// (its first axis) and b3 (its second) in the frame of triangle a, b, c; (0, 0, 1) when
// the triangle is degenerate.
TessVec3 normalFromAngles(const TessVec3& a, const TessVec3& b, const TessVec3& c, double alpha, double beta, bool b1,
                          bool b2, bool b3, int mode);
// Negative when n lies on the side of the triangle a, b, c wound in that order.
double orientationValue(const TessVec3& a, const TessVec3& b, const TessVec3& c, const TessVec3& n);
// Bits that pick one of listLength normals already at a point.
uint32_t normalReferenceWidth(uint64_t listLength);

// The decisions on the decoder's current triangle; each may read normal data.
uint32_t decodeNewNormal(CompressedTessDecoder& run, bool b1, bool b2, bool b3);
uint32_t decodeVertexNormal(CompressedTessDecoder& run, uint32_t point);
// True when the triangle is written in decoding order; t is its number.
bool decodeTriangleOrientation(CompressedTessDecoder& run, uint64_t t);
