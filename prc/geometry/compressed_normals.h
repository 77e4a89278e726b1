// Normals of a compressed tessellation in angle mode, used only to decide the winding of
// each decoded triangle. A point carries one normal or a list of them; a new normal is two
// quantised angles and three sign bits in a frame built at the most nearly right-angled
// corner of the triangle in which it is met.
#pragma once

#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/compressed_tess_vector.h"

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr double kHalfPi = 1.5707963267948966;
inline constexpr double kQuarterPi = 0.7853981633974483;
// Cosines this close to +-1 count as parallel directions.
inline constexpr double kParallelCosine = 0.999999999999;

enum NormalPointState : uint8_t { kNoNormalYet = 0, kOneNormal = 1, kSeveralNormals = 2 };

// A normal as read: its triangle's points in decoding order, its angle codes and sign
// bits. Only a normal that decides a winding is ever needed as a vector, and many that
// are read never do, so the vector is made when needed.
struct ReadNormal {
    uint32_t pa = 0, pb = 0, pc = 0;
    int16_t alphaCode = 0, betaCode = 0;
    uint8_t signs = 0; // b1, b2, b3 in bits 0 to 2
};

// Normals made lately, by normal number modulo the slot count. A normal is mostly used
// soon after it is read: on the files we have, a window four times larger makes at most
// 6 % fewer of them, and a vector beside every normal read would double their memory.
inline constexpr size_t kMadeNormalSlots = 4096;
struct MadeNormal {
    uint32_t normalPlusOne = 0; // 0: none yet
    TessVec3 vector;
};

// The normals of the points that carry several, one list per point. Each list is a block
// of one pool; a full block moves to the end of the pool with twice the room, so a list
// stays contiguous for back references, and the pool holds under four entries per normal
// listed (moved-from blocks included) without an allocation per point.
class NormalLists {
public:
    uint32_t add(uint32_t first); // a new list; its number
    void append(uint32_t list, uint32_t normal);
    uint64_t length(uint32_t list) const { return blocks_[list].length; }
    // r = 0 is the newest normal of the list.
    uint32_t fromNewest(uint32_t list, uint64_t r) const
    {
        const Block& block = blocks_[list];
        return pool_[block.start + block.length - 1 - r];
    }

private:
    struct Block {
        uint64_t start = 0;
        uint32_t length = 0, capacity = 0; // a list never holds more than the 2^32 normals numbered
    };
    std::vector<uint32_t> pool_;
    std::vector<Block> blocks_;
};

// The normal streams of one run: where it is in them and the normals met so far. The
// decoder owns it; this is all the normal decoding reads or writes.
struct CompressedNormalState {
    const PRC3DTessCompressed* record = nullptr;
    const double* points = nullptr; // x, y, z of every point made, by point number
    int mode = 0;
    uint64_t bitsUsed = 0;   // of normal_binary_data
    uint64_t anglesUsed = 0; // of normal_angle_array
    double angleStep = 0;    // radians per angle code
    std::vector<ReadNormal> normals;
    std::vector<MadeNormal> made; // sized on first use
    std::vector<uint8_t> pointState;   // NormalPointState per point
    std::vector<uint32_t> pointNormal; // the normal (one) or the list number (several)
    NormalLists pointLists;
    std::vector<uint8_t> faceDecoded; // per face whose bit of face_has_one_normal can be read
    std::vector<uint32_t> faceNormal;
};

// The triangle being decoded: its corners in decoding order and their point numbers.
struct NormalTriangle {
    TessVec3 a, b, c;
    uint32_t pa = 0, pb = 0, pc = 0;
};

// Sized for the record; only angle mode keeps anything. mode: the frame mode of the run.
// points: the run's point table, which must hold every point a triangle names by the
// time its normals are read.
void initCompressedNormalState(CompressedNormalState& state, const PRC3DTessCompressed& record, uint64_t pointCount,
                               const double* points, int mode);

[[noreturn]] void throwCompressedTessError(const char* problem);

// Writers' truncated series; decoding must use the same to land on the same normals.
double sinSeries(double y);
double cosApprox(double x);
double sinApprox(double x);
// How far two directions are from a right angle, in radians.
double directionDeviation(TessVec3 a, TessVec3 b);
// The corner nearest to a right angle, whose frame is the best conditioned: 0 at a (unit
// vectors u1 = a->b, u2 = a->c), 1 at b, 2 at c (u3 = b->c).
int rightestCorner(const TessVec3& u1, const TessVec3& u2, const TessVec3& u3);

// The normal for angles alpha, beta and sign bits b1 (flips the frame's normal axis), b2
// (its first axis) and b3 (its second) in the frame of triangle a, b, c; (0, 0, 1) when
// the triangle is degenerate.
TessVec3 normalFromAngles(const TessVec3& a, const TessVec3& b, const TessVec3& c, double alpha, double beta, bool b1,
                          bool b2, bool b3, int mode);
// Negative when n lies on the side of the triangle a, b, c wound in that order.
double orientationValue(const TessVec3& a, const TessVec3& b, const TessVec3& c, const TessVec3& n);
// Bits that pick one of listLength normals already at a point.
uint32_t normalReferenceWidth(uint64_t listLength);

// The vector of a normal read earlier, made again if it is not among those made lately.
TessVec3 normalVector(CompressedNormalState& state, uint32_t normal);

// The normal reads of the triangle being decoded.
uint32_t decodeNewNormal(CompressedNormalState& state, const NormalTriangle& triangle, bool b1, bool b2, bool b3);
uint32_t decodeVertexNormal(CompressedNormalState& state, const NormalTriangle& triangle, uint32_t point);
// Reads the normals triangle t needs and returns orientationValue of its corners in
// decoding order with the normal that decides its winding.
double decodeTriangleOrientationValue(CompressedNormalState& state, const NormalTriangle& triangle, uint64_t t);
