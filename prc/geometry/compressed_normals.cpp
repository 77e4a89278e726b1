#include "prc/geometry/compressed_normals.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>
#include <string>

namespace {

// A triangle without a normal of its face reads one at each corner.
constexpr uint32_t kNormalsPerTriangle = 3;

bool readNormalBit(CompressedNormalState& state)
{
    const BitArray& bits = state.record->normal_binary_data;
    if (state.bitsUsed >= bits.size())
        throwCompressedTessError("normal_binary_data esaurito");
    return bits[state.bitsUsed++];
}

uint32_t decodeSignedNewNormal(CompressedNormalState& state, const NormalTriangle& triangle)
{
    const bool b1 = readNormalBit(state);
    const bool b2 = readNormalBit(state);
    const bool b3 = readNormalBit(state);
    return decodeNewNormal(state, triangle, b1, b2, b3);
}

} // namespace

[[noreturn]] void throwCompressedTessError(const char* problem)
{
    throw std::runtime_error(std::string("buildCompressedTessMesh: ") + problem);
}

void initCompressedNormalState(CompressedNormalState& state, const PRC3DTessCompressed& record, uint64_t pointCount,
                               const double* points, int mode)
{
    state = {};
    state.record = &record;
    state.points = points;
    state.mode = mode;
    if (record.normals_as_reversal_bits)
        return;
    // In double so that a width the reader would have refused cannot overflow a shift.
    state.angleStep = kHalfPi / (std::ldexp(1.0, record.normal_angle_number_of_bits) - 1);
    // Room for every normal the run can read at once: grown by doubling, the list would
    // leave its old copies behind, resident. Each takes two angle codes, and a triangle
    // reads at most three.
    state.normals.reserve(std::min<uint64_t>(record.normal_angle_array.size() / 2,
                                             uint64_t{kNormalsPerTriangle} * record.triangle_face_array.size()));
    state.pointState.assign(pointCount, kNoNormalYet);
    state.pointNormal.assign(pointCount, 0);
    state.faceDecoded.assign(record.face_has_one_normal.size(), 0);
    state.faceNormal.assign(record.face_has_one_normal.size(), 0);
}

double sinSeries(double y)
{
    const double y2 = y * y;
    return y - y * y2 / 6 + y * y2 * y2 / 120 - y * y2 * y2 * y2 / 5040;
}

double cosApprox(double x)
{
    if (x <= kQuarterPi) {
        const double x2 = x * x;
        return 1 - x2 / 2 + x2 * x2 / 24 - x2 * x2 * x2 / 720;
    }
    return sinSeries(kHalfPi - x);
}

double sinApprox(double x)
{
    if (x <= kQuarterPi)
        return sinSeries(x);
    const double y = kHalfPi - x;
    const double y2 = y * y;
    return 1 - y2 / 2 + y2 * y2 / 24 - y2 * y2 * y2 / 720;
}

double directionDeviation(TessVec3 a, TessVec3 b)
{
    normaliseTessVector(a);
    normaliseTessVector(b);
    const double c = dot(a, b);
    if (c >= -kParallelCosine && c <= kParallelCosine)
        return std::fabs(std::acos(c) - kHalfPi);
    return kHalfPi;
}

int rightestCorner(const TessVec3& u1, const TessVec3& u2, const TessVec3& u3)
{
    // Far from parallel, a deviation is |asin| of the cosine, which ranks as the absolute
    // cosine does and grows at least as fast. Cosines further apart than the margin (which
    // covers the float-rounded lengths of the unit vectors) rank the same once normalised
    // again, whatever the arc cosine rounds to, so the arc cosines are needed only near
    // ties and parallels.
    constexpr double kRankMargin = 1e-6;
    constexpr double kFarFromParallel = kParallelCosine - kRankMargin;
    const double cosA = std::fabs(dot(u1, u2));
    const double cosB = std::fabs(dot(u3, u1));
    const double cosC = std::fabs(dot(u2, u3));
    if (cosA < kFarFromParallel && cosB < kFarFromParallel && cosC < kFarFromParallel &&
        std::fabs(cosA - cosB) > kRankMargin && std::fabs(cosA - cosC) > kRankMargin &&
        std::fabs(cosB - cosC) > kRankMargin) {
        if (cosB > cosA && cosC > cosA)
            return 0;
        return cosC > cosB ? 1 : 2;
    }
    const double devA = directionDeviation(u1, u2);
    const double devB = directionDeviation(u3, -u1);
    const double devC = directionDeviation(-u2, -u3);
    if (devB > devA && devC > devA)
        return 0;
    return devC > devB ? 1 : 2;
}

TessVec3 normalFromAngles(const TessVec3& a, const TessVec3& b, const TessVec3& c, double alpha, double beta, bool b1,
                          bool b2, bool b3, int mode)
{
    const TessVec3 fallback{0, 0, 1};
    TessVec3 u1 = b - a;
    TessVec3 u2 = c - a;
    TessVec3 u3 = c - b;
    if (!normaliseTessVector(u1) || !normaliseTessVector(u2) || !normaliseTessVector(u3))
        return fallback;

    TessVec3 u;
    TessVec3 w;
    switch (rightestCorner(u1, u2, u3)) {
    case 0:
        u = u1;
        w = cross(u1, u2);
        break;
    case 1:
        u = u3;
        w = cross(u3, -u1);
        break;
    default:
        u = -u2;
        w = cross(-u2, -u3);
        break;
    }
    if (!normaliseTessVector(w))
        w = defaultTessFrame(u, mode).w;
    if (b1)
        w = -w;
    TessVec3 v = cross(w, u);
    if (!normaliseTessVector(v))
        return fallback;
    if (b2)
        u = -u;
    if (b3)
        v = -v;

    const double cosBeta = cosApprox(beta);
    TessVec3 n = cosApprox(alpha) * cosBeta * u + sinApprox(alpha) * cosBeta * v + sinApprox(beta) * w;
    if (!normaliseTessVector(n))
        return fallback;
    return n;
}

double orientationValue(const TessVec3& a, const TessVec3& b, const TessVec3& c, const TessVec3& n)
{
    return dot(cross(c - midpoint(a, b), b - a), n);
}

uint32_t normalReferenceWidth(uint64_t listLength)
{
    const uint64_t last = listLength == 0 ? 0 : listLength - 1;
    uint32_t width = 1;
    for (uint64_t reach = 1; reach < last; reach *= 2)
        ++width;
    return width;
}

uint32_t decodeNewNormal(CompressedNormalState& state, const NormalTriangle& triangle, bool b1, bool b2, bool b3)
{
    const std::vector<uint16_t>& codes = state.record->normal_angle_array;
    if (codes.size() < 2 || state.anglesUsed > codes.size() - 2)
        throwCompressedTessError("normal_angle_array esaurito");
    const auto a0 = static_cast<int16_t>(codes[state.anglesUsed]);
    const auto a1 = static_cast<int16_t>(codes[state.anglesUsed + 1]);
    state.anglesUsed += 2;
    ReadNormal& normal = state.normals.emplace_back();
    normal.pa = triangle.pa;
    normal.pb = triangle.pb;
    normal.pc = triangle.pc;
    normal.alphaCode = a0;
    normal.betaCode = a1;
    normal.signs = static_cast<uint8_t>(b1 | b2 << 1 | b3 << 2);
    return static_cast<uint32_t>(state.normals.size() - 1);
}

TessVec3 normalVector(CompressedNormalState& state, uint32_t normal)
{
    if (state.made.empty()) {
        // No more slots than the record has normals to read.
        const size_t readable = state.record->normal_angle_array.size() / 2 + 1;
        state.made.resize(std::bit_ceil(std::min(readable, kMadeNormalSlots)));
    }
    MadeNormal& slot = state.made[normal & (state.made.size() - 1)];
    if (slot.normalPlusOne != normal + 1) {
        const ReadNormal& read = state.normals[normal];
        slot.vector = normalFromAngles(tablePoint(state.points, read.pa), tablePoint(state.points, read.pb),
                                       tablePoint(state.points, read.pc), read.alphaCode * state.angleStep,
                                       read.betaCode * state.angleStep, (read.signs & 1) != 0, (read.signs & 2) != 0,
                                       (read.signs & 4) != 0, state.mode);
        slot.normalPlusOne = normal + 1;
    }
    return slot.vector;
}

uint32_t NormalLists::add(uint32_t first)
{
    constexpr uint32_t kFirstCapacity = 2;
    blocks_.push_back(Block{pool_.size(), 1, kFirstCapacity});
    pool_.push_back(first);
    pool_.resize(pool_.size() + kFirstCapacity - 1);
    return static_cast<uint32_t>(blocks_.size() - 1);
}

void NormalLists::append(uint32_t list, uint32_t normal)
{
    Block& block = blocks_[list];
    if (block.length == block.capacity) {
        const uint64_t start = pool_.size();
        const uint64_t capacity = std::min<uint64_t>(uint64_t{2} * block.capacity, UINT32_MAX);
        pool_.resize(start + capacity);
        std::copy_n(pool_.begin() + static_cast<std::ptrdiff_t>(block.start), block.length,
                    pool_.begin() + static_cast<std::ptrdiff_t>(start));
        block.start = start;
        block.capacity = static_cast<uint32_t>(capacity);
    }
    pool_[block.start + block.length++] = normal;
}

uint32_t decodeVertexNormal(CompressedNormalState& state, const NormalTriangle& triangle, uint32_t point)
{
    switch (state.pointState[point]) {
    case kNoNormalYet: {
        const bool several = readNormalBit(state);
        const uint32_t normal = decodeSignedNewNormal(state, triangle);
        if (several) {
            state.pointState[point] = kSeveralNormals;
            state.pointNormal[point] = state.pointLists.add(normal);
        } else {
            state.pointState[point] = kOneNormal;
            state.pointNormal[point] = normal;
        }
        return normal;
    }
    case kOneNormal:
        return state.pointNormal[point];
    default:
        break;
    }
    const uint32_t list = state.pointNormal[point];
    if (!readNormalBit(state)) {
        const uint32_t normal = decodeSignedNewNormal(state, triangle);
        state.pointLists.append(list, normal);
        return normal;
    }
    // A back reference, counted from the newest normal of the point. One past the list
    // never comes from a writer: the run has lost its place in the streams.
    const uint64_t length = state.pointLists.length(list);
    const uint32_t width = normalReferenceWidth(length);
    uint64_t r = 0;
    for (uint32_t bit = 0; bit < width; ++bit)
        if (readNormalBit(state))
            r |= uint64_t{1} << bit;
    if (r >= length)
        throwCompressedTessError("riferimento di normale fuori dalla lista del punto");
    return state.pointLists.fromNewest(list, r);
}

double decodeTriangleOrientationValue(CompressedNormalState& state, const NormalTriangle& triangle, uint64_t t)
{
    const PRC3DTessCompressed& record = *state.record;
    uint32_t normal = 0;
    const auto face = static_cast<int32_t>(record.triangle_face_array[t]);
    if (face >= 0 && static_cast<uint64_t>(face) < record.face_has_one_normal.size() &&
        record.face_has_one_normal[face]) {
        if (!state.faceDecoded[face]) {
            state.faceNormal[face] = decodeVertexNormal(state, triangle, triangle.pa);
            state.faceDecoded[face] = 1;
        }
        normal = state.faceNormal[face];
    } else {
        normal = decodeVertexNormal(state, triangle, triangle.pa);
        decodeVertexNormal(state, triangle, triangle.pb);
        decodeVertexNormal(state, triangle, triangle.pc);
    }
    return orientationValue(triangle.a, triangle.b, triangle.c, normalVector(state, normal));
}
