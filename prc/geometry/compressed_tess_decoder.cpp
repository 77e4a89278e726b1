#include "prc/geometry/compressed_tess_decoder.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace {

// Bits of point_is_reference_array that belong to the first triangle and are not read.
constexpr uint64_t kFirstTriangleReferenceBits = 3;
constexpr uint8_t kEdgeCodeMask = 0x03;
constexpr uint8_t kOpenEdgeBC = 0x01;
constexpr uint8_t kOpenEdgeAC = 0x02;

uint64_t remaining(uint64_t used, uint64_t size) { return used < size ? size - used : 0; }

bool readReferenceBit(CompressedTessDecoder& run)
{
    const BitArray& bits = run.record.point_is_reference_array;
    if (remaining(run.out.referenceBitsUsed, bits.size()) == 0)
        throwCompressedTessError("point_is_reference_array esaurito");
    return bits[run.out.referenceBitsUsed++];
}

// The offset of the next new point; its number is out.pointsMade before the call.
TessVec3 takeNewPointOffset(CompressedTessDecoder& run)
{
    if (run.out.pointsMade >= run.pointCount)
        throwCompressedTessError("point_array esaurito");
    const int32_t* ijk = run.record.point_array.data() + 3 * run.out.pointsMade;
    return pointOffset(ijk[0], ijk[1], ijk[2], run.record.tolerance);
}

DecodedVertex storeNewPoint(CompressedTessDecoder& run, const TessVec3& p)
{
    const auto number = static_cast<uint32_t>(run.out.pointsMade++);
    double* xyz = run.out.vertices.data() + 3 * uint64_t{number};
    xyz[0] = p.x;
    xyz[1] = p.y;
    xyz[2] = p.z;
    return {p, number};
}

// A new point placed at base plus its offset.
DecodedVertex newPointFrom(CompressedTessDecoder& run, const TessVec3& base)
{
    const TessVec3 offset = takeNewPointOffset(run);
    return storeNewPoint(run, base + offset);
}

DecodedVertex madePoint(const CompressedTessDecoder& run, uint32_t number)
{
    return {tablePoint(run.out.vertices.data(), number), number};
}

DecodedVertex takeReference(CompressedTessDecoder& run)
{
    const std::vector<uint32_t>& references = run.record.point_reference_array;
    if (run.out.referencesUsed >= references.size())
        throwCompressedTessError("point_reference_array esaurito");
    const auto r = static_cast<int32_t>(references[run.out.referencesUsed++]);
    if (r < 0 || static_cast<uint64_t>(r) >= run.pointCount)
        throwCompressedTessError("riferimento fuori intervallo");
    return madePoint(run, static_cast<uint32_t>(r));
}

TessVec3 chainOrigin(const PRC3DTessCompressed& record)
{
    if (!record.hasOrigin)
        return {};
    return {record.origin[0], record.origin[1], record.origin[2]};
}

// A triangle that no gate leads to. Flags say which of A, B, C are earlier points; the
// others are predicted from the origin, from each other and from the references.
void startChain(CompressedTessDecoder& run, bool firstTriangle)
{
    bool isReference[3] = {false, false, false};
    if (!firstTriangle) {
        const BitArray& bits = run.record.point_is_reference_array;
        if (remaining(run.out.referenceBitsUsed, bits.size()) < 3)
            throwCompressedTessError("point_is_reference_array esaurito a inizio catena");
        for (bool& flag : isReference)
            flag = bits[run.out.referenceBitsUsed++];
    }
    const TessVec3 origin = chainOrigin(run.record);
    DecodedVertex& a = run.a;
    DecodedVertex& b = run.b;
    DecodedVertex& c = run.c;
    switch (isReference[0] + isReference[1] + isReference[2]) {
    case 0:
        a = newPointFrom(run, origin);
        b = newPointFrom(run, a.p);
        c = newPointFrom(run, midpoint(a.p, b.p));
        break;
    case 1: {
        const DecodedVertex r = takeReference(run);
        if (isReference[0]) {
            a = r;
            b = newPointFrom(run, r.p);
            c = newPointFrom(run, midpoint(a.p, b.p));
        } else if (isReference[1]) {
            a = newPointFrom(run, origin);
            b = r;
            c = newPointFrom(run, midpoint(a.p, b.p));
        } else {
            a = newPointFrom(run, origin);
            b = newPointFrom(run, a.p);
            c = r;
        }
        break;
    }
    case 2: {
        const DecodedVertex r1 = takeReference(run);
        const DecodedVertex r2 = takeReference(run);
        if (!isReference[0]) {
            a = newPointFrom(run, origin);
            b = r1;
            c = r2;
        } else if (isReference[1]) {
            a = r1;
            b = r2;
            c = newPointFrom(run, midpoint(r1.p, r2.p));
        } else {
            a = r1;
            b = newPointFrom(run, r1.p);
            c = r2;
        }
        break;
    }
    default:
        a = takeReference(run);
        b = takeReference(run);
        c = takeReference(run);
        break;
    }
    if (b.point < a.point)
        std::swap(a, b);
}

// True when triangle t is written in decoding order. Its normal says so; where that
// cannot be told, only a forced decision turns it.
bool decodeWinding(CompressedTessDecoder& run, uint64_t t)
{
    const NormalTriangle triangle{run.a.p, run.b.p, run.c.p, run.a.point, run.b.point, run.c.point};
    const double q = decodeTriangleOrientationValue(run.normals, triangle, t);
    const uint64_t id = kDecisionsPerTriangle * t + 2;
    if (q == 0) {
        run.ambiguousIds.push_back(id);
        return run.forcedId >= 0 && static_cast<uint64_t>(run.forcedId) == id;
    }
    // A nearly flat triangle: the writer's rounding may have gone the other way.
    const TessVec3 base = triangle.b - triangle.a;
    const TessVec3 height = triangle.c - midpoint(triangle.a, triangle.b);
    if (std::fabs(q) <= kNearlyFlatShare * std::sqrt(dot(base, base) * dot(height, height)))
        run.nearlyFlatIds.push_back(id);
    return q < 0;
}

void emitTriangle(CompressedTessDecoder& run, uint64_t t)
{
    const PRC3DTessCompressed& record = run.record;
    bool inOrder = false;
    if (record.normals_as_reversal_bits)
        inOrder = t < record.normal_is_reversed.size() && record.normal_is_reversed[t];
    else
        inOrder = decodeWinding(run, t);
    const DecodedVertex& second = inOrder ? run.b : run.c;
    const DecodedVertex& third = inOrder ? run.c : run.b;
    std::vector<uint32_t>& triangles = run.out.triangles;
    triangles.push_back(run.a.point);
    triangles.push_back(second.point);
    triangles.push_back(third.point);
    run.reversed = inOrder;
}

void openGate(CompressedTessDecoder& run, uint32_t p, uint32_t q, uint32_t opposite, uint64_t decisionId)
{
    run.gates.push_back(Gate{std::min(p, q), std::max(p, q), opposite, static_cast<uint32_t>(decisionId)});
}

// Triangle t from the edges of triangle t - 1 and the gates left from earlier ones.
void decodeNextTriangle(CompressedTessDecoder& run, uint64_t t)
{
    const std::vector<uint8_t>& codes = run.record.edge_status_array;
    if (t - 1 >= codes.size())
        throwCompressedTessError("edge_status_array troppo corto");
    const uint8_t code = codes[t - 1] & kEdgeCodeMask;

    // The flag says which side the far edges lie on.
    DecodedVertex a = run.a;
    DecodedVertex b = run.b;
    if (run.reversed)
        std::swap(a, b);
    const DecodedVertex c = run.c;
    const uint64_t firstId = kDecisionsPerTriangle * t;
    if (code & kOpenEdgeBC)
        openGate(run, b.point, c.point, a.point, firstId);
    else
        run.closedEdges.insert(edgeKey(b.point, c.point));
    if (code & kOpenEdgeAC)
        openGate(run, a.point, c.point, b.point, firstId + 1);
    else
        run.closedEdges.insert(edgeKey(a.point, c.point));

    // Gates whose far side some later triangle already closed lead nowhere.
    if (code == 0)
        while (!run.gates.empty() &&
               run.closedEdges.contains(edgeKey(run.gates.back().lower, run.gates.back().higher)))
            run.gates.pop_back();
    if (run.gates.empty()) {
        startChain(run, false);
        return;
    }
    const Gate gate = run.gates.back();
    run.gates.pop_back();
    if (readReferenceBit(run)) {
        run.c = takeReference(run);
    } else {
        const GateFrame frame = frameGate(gate, run.out.vertices.data(), run.mode, run.forcedId, run.ambiguousIds);
        run.c = storeNewPoint(run, pointFromGate(frame, takeNewPointOffset(run)));
    }
    run.a = madePoint(run, gate.lower);
    run.b = madePoint(run, gate.higher);
}

} // namespace

CompressedTessDecoder::CompressedTessDecoder(const PRC3DTessCompressed& record, int mode, int64_t forcedId)
    : record(record), mode(mode), forcedId(forcedId), pointCount(record.point_array.size() / 3)
{
    out.vertices.assign(3 * pointCount, 0.0);
    out.triangles.reserve(3 * record.triangle_face_array.size());
    closedEdges.reservePoints(pointCount);
    out.referenceBitsUsed = kFirstTriangleReferenceBits;
    initCompressedNormalState(normals, record, pointCount, out.vertices.data(), mode);
}

TessVec3 pointOffset(int32_t i, int32_t j, int32_t k, double tolerance)
{
    return {i * tolerance, j * tolerance, k * tolerance};
}

uint64_t edgeKey(uint32_t p, uint32_t q)
{
    if (q < p)
        std::swap(p, q);
    return uint64_t{p} << 32 | q;
}

GateFrame frameGate(const Gate& gate, const double* points, int mode, int64_t forcedId,
                    std::vector<uint64_t>& ambiguous)
{
    const TessVec3 lower = tablePoint(points, gate.lower);
    const TessVec3 higher = tablePoint(points, gate.higher);
    const TessVec3 opposite = tablePoint(points, gate.opposite);
    GateFrame frame;
    frame.m = midpoint(lower, higher);
    frame.x = lower - higher;
    if (!normaliseTessVector(frame.x)) {
        frame.x = {1, 0, 0};
        const TessFrame fallback = defaultTessFrame(frame.x, mode);
        frame.y = fallback.y;
        frame.w = fallback.w;
        return frame;
    }
    frame.w = cross(opposite - frame.m, frame.x);
    bool framed = normaliseTessVector(frame.w);
    if (framed) {
        frame.y = cross(frame.w, frame.x);
        framed = normaliseTessVector(frame.y);
    }
    if (!framed) {
        const TessFrame fallback = defaultTessFrame(frame.x, mode);
        frame.y = fallback.y;
        frame.w = fallback.w;
    }

    // Y points towards the side of the opposite vertex.
    const double side = dot(frame.m - opposite, frame.y);
    bool flip = side > 0;
    if (side == 0) {
        ambiguous.push_back(gate.decisionId);
        flip = forcedId >= 0 && static_cast<uint64_t>(forcedId) == gate.decisionId;
    }
    if (flip) {
        frame.y = -frame.y;
        frame.w = -frame.w;
    }
    return frame;
}

TessVec3 pointFromGate(const GateFrame& frame, const TessVec3& offset)
{
    return frame.m + offset.x * frame.x + offset.y * frame.y + offset.z * frame.w;
}

CompressedTessRun runCompressedTessDecoding(const PRC3DTessCompressed& record, int mode, int64_t forcedId)
{
    if (record.triangle_face_array.size() > kMaxCompressedTessTriangles) {
        CompressedTessRun refused;
        refused.error = "buildCompressedTessMesh: troppi triangoli";
        return refused;
    }
    CompressedTessDecoder run(record, mode, forcedId);
    CompressedTessRun result;
    const uint64_t triangleCount = record.triangle_face_array.size();
    try {
        if (triangleCount > 0) {
            startChain(run, true);
            emitTriangle(run, 0);
        }
        for (uint64_t t = 1; t < triangleCount; ++t) {
            decodeNextTriangle(run, t);
            emitTriangle(run, t);
        }
    } catch (const std::runtime_error& error) {
        result.error = error.what();
    }
    run.out.normalBitsUsed = run.normals.bitsUsed;
    run.out.normalAnglesUsed = run.normals.anglesUsed;
    result.result = std::move(run.out);
    result.ambiguousIds = std::move(run.ambiguousIds);
    result.nearlyFlatIds = std::move(run.nearlyFlatIds);
    return result;
}

uint64_t trianglesBeforeDoubt(const CompressedTessRun& run)
{
    uint64_t kept = run.result.triangles.size() / 3;
    for (const std::vector<uint64_t>* ids : {&run.nearlyFlatIds, &run.ambiguousIds})
        if (!ids->empty())
            kept = std::min(kept, *std::max_element(ids->begin(), ids->end()) / kDecisionsPerTriangle);
    return kept;
}

bool compressedTessRunIsComplete(const PRC3DTessCompressed& record, const CompressedTessDecoding& decoding)
{
    const bool geometry = decoding.triangles.size() == 3 * record.triangle_face_array.size() &&
                          decoding.pointsMade == record.point_array.size() / 3 &&
                          decoding.referencesUsed == record.point_reference_array.size() &&
                          decoding.referenceBitsUsed == record.point_is_reference_array.size();
    if (!geometry || record.normals_as_reversal_bits)
        return geometry;
    return decoding.normalBitsUsed == record.normal_binary_data.size() &&
           decoding.normalAnglesUsed == record.normal_angle_array.size();
}
