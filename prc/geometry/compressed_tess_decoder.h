// One decoding run of a compressed tessellation: points predicted from what is already
// decoded, and connectivity rebuilt by walking across triangle edges. The walk keeps a
// stack of open edges (gates); a triangle's two far edges are either pushed as gates or
// recorded as closed, and a new chain of triangles starts whenever no gate is left.
#pragma once

#include "prc/geometry/closed_edge_set.h"
#include "prc/geometry/compressed_normals.h"
#include "prc/geometry/compressed_tess_data.h"
#include "prc/geometry/compressed_tess_mesh.h"
#include "prc/geometry/compressed_tess_vector.h"

#include <cstdint>
#include <string>
#include <vector>

// A vertex as the walk carries it: coordinates and point number.
struct DecodedVertex {
    TessVec3 p;
    uint32_t point = 0;
};

// An open edge, with what the frame across it is built from: the endpoints and the
// opposite vertex alone, as point numbers (their coordinates never change once made).
// The frame waits until the gate is taken, since many gates are closed by later
// triangles and never are; the stack of open gates can hold a good share of a record.
struct Gate {
    uint32_t lower = 0, higher = 0; // endpoints by point number
    uint32_t opposite = 0;
    uint32_t decisionId = 0; // below 4 kMaxCompressedTessTriangles
};

// The frame in which the point across a gate is predicted.
struct GateFrame {
    TessVec3 x, y, w, m;
};

// The forced decision of a run: none.
inline constexpr int64_t kNoForcedDecision = -1;
// Decision ids: 4t for the gate of edge B-C, 4t+1 for edge A-C, 4t+2 for the winding.
inline constexpr uint64_t kDecisionsPerTriangle = 4;
// Records with more triangles are refused, so that a gate's decision id fits 32 bits:
// their triangles alone would be 12 GiB, far beyond what a stream can carry.
inline constexpr uint64_t kMaxCompressedTessTriangles = uint64_t{1} << 30;
static_assert(kDecisionsPerTriangle * kMaxCompressedTessTriangles - 1 <= UINT32_MAX);

// Triangles this flat have their winding decided by rounding: |orientation value| below
// this share of the product of the two lengths it is made of.
inline constexpr double kNearlyFlatShare = 1e-9;

// The state of one run over a record.
struct CompressedTessDecoder {
    CompressedTessDecoder(const PRC3DTessCompressed& record, int mode, int64_t forcedId);

    const PRC3DTessCompressed& record;
    int mode;
    int64_t forcedId;
    uint64_t pointCount; // three integers of point_array each

    CompressedTessDecoding out; // points table, triangles and stream cursors
    DecodedVertex a, b, c;      // the current triangle as decoded
    bool reversed = false;      // its orientation flag: written in decoding order
    std::vector<Gate> gates;
    ClosedEdgeSet closedEdges;
    std::vector<uint64_t> ambiguousIds;  // decisions made by rounding, as they were met
    std::vector<uint64_t> nearlyFlatIds; // winding decisions of nearly flat triangles met
    CompressedNormalState normals;
};

// The decision id joins ambiguous when the side of the opposite vertex
// cannot be told, and the frame then flips only when it is forced.
// points: x, y, z by point number.
GateFrame frameGate(const Gate& gate, const double* points, int mode, int64_t forcedId,
                    std::vector<uint64_t>& ambiguous);
TessVec3 pointFromGate(const GateFrame& frame, const TessVec3& offset);
// The offset of three integers of point_array.
TessVec3 pointOffset(int32_t i, int32_t j, int32_t k, double tolerance);
// Key of an edge in the closed set, independent of direction.
uint64_t edgeKey(uint32_t p, uint32_t q);

// Only decisions the run made are recorded: the ambiguous sides of gates it took (a gate
// never taken places no point) and the windings it could not tell, gates in the order
// they were taken.
struct CompressedTessRun {
    CompressedTessDecoding result;
    std::vector<uint64_t> ambiguousIds;  // met before the end or the error
    std::vector<uint64_t> nearlyFlatIds; // likewise
    std::string error;                   // empty when the run completed
};

// mode: kTessFrameAsGiven or kTessFrameNormalised. Runtime errors of the run end up in error.
CompressedTessRun runCompressedTessDecoding(const PRC3DTessCompressed& record, int mode, int64_t forcedId);

// Of a failed run, the triangles it made before the last decision that rounding could
// have made either way (all it made when there was none): what came after may stand on
// a wrong guess, whatever order the decisions were met in.
uint64_t trianglesBeforeDoubt(const CompressedTessRun& run);

// Every stream used to its end: a run that completes yet leaves data over has misread it.
bool compressedTessRunIsComplete(const PRC3DTessCompressed& record, const CompressedTessDecoding& decoding);
