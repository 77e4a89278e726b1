#include "tests/support/prc_compressed_tess_encoder.h"

#include "prc/geometry/compressed_tess_decoder.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <unordered_set>
#include <utility>

namespace {

constexpr int32_t kNoNumber = -1;
constexpr double kOffsetLimit = 1 << 30;

struct PendingGate {
    Gate gate;
    uint32_t target; // source triangle across the edge
};

// The triangle decoded last, as the next step of the walk needs it.
struct WalkedTriangle {
    DecodedVertex a, b, c;
    bool inOrder; // written as a, b, c
};

class Encoder {
public:
    Encoder(const CompressedTessSource& source, const CompressedTessEncoderOptions& options)
        : source_(source), options_(options), triangleCount_(source.triangles.size() / 3),
          number_(source.points.size() / 3, kNoNumber), visited_(triangleCount_, false),
          claimed_(triangleCount_, false)
    {
        for (uint32_t t = 0; t < triangleCount_; ++t)
            for (int k = 0; k < 3; ++k)
                edges_[undirected(corner(t, k), corner(t, (k + 1) % 3))].push_back(t);
        PRC3DTessCompressed& r = out_.record;
        r.tolerance = options.tolerance;
        r.hasOrigin = options.hasOrigin;
        for (int i = 0; i < 3; ++i)
            r.origin[i] = options.hasOrigin ? options.origin[i] : 0.0f;
        r.point_is_reference_array = {false, false, false};
        r.normals_as_reversal_bits = true;
    }

    CompressedTessEncoding run()
    {
        if (triangleCount_ == 0)
            return std::move(out_);
        walk();
        writeFaces();
        return std::move(out_);
    }

private:
    uint32_t corner(uint64_t t, int k) const { return source_.triangles[3 * t + k]; }
    TessVec3 sourcePoint(uint32_t p) const
    {
        return {source_.points[3 * p], source_.points[3 * p + 1], source_.points[3 * p + 2]};
    }
    static std::pair<uint32_t, uint32_t> undirected(uint32_t p, uint32_t q) { return {std::min(p, q), std::max(p, q)}; }
    uint32_t sourceOf(const DecodedVertex& v) const { return out_.sourcePoint[v.point]; }

    // The triangle across a manifold edge, or -1.
    int64_t neighbour(uint32_t t, uint32_t p, uint32_t q) const
    {
        const auto it = edges_.find(undirected(p, q));
        if (it == edges_.end() || it->second.size() != 2)
            return -1;
        return it->second[0] == t ? it->second[1] : it->second[0];
    }

    int32_t quantise(double value) const
    {
        const double units = std::round(value / options_.tolerance);
        if (!(std::fabs(units) < kOffsetLimit))
            throw std::logic_error("encodeCompressedTess: offset beyond the integer range");
        return static_cast<int32_t>(units);
    }

    // A new point near target, predicted by the decoder as base + offset.
    DecodedVertex newPoint(uint32_t sourceIndex, const TessVec3& base)
    {
        const TessVec3 d = sourcePoint(sourceIndex) - base;
        const int32_t ijk[3] = {quantise(d.x), quantise(d.y), quantise(d.z)};
        return storePoint(sourceIndex, ijk, base + pointOffset(ijk[0], ijk[1], ijk[2], options_.tolerance));
    }

    // The same across a gate, in the gate's frame.
    DecodedVertex newPoint(uint32_t sourceIndex, const Gate& gate)
    {
        const TessVec3 d = sourcePoint(sourceIndex) - gate.m;
        const int32_t ijk[3] = {quantise(dot(d, gate.x)), quantise(dot(d, gate.y)), quantise(dot(d, gate.w))};
        return storePoint(sourceIndex, ijk, pointFromGate(gate, pointOffset(ijk[0], ijk[1], ijk[2], options_.tolerance)));
    }

    DecodedVertex storePoint(uint32_t sourceIndex, const int32_t ijk[3], const TessVec3& position)
    {
        out_.record.point_array.insert(out_.record.point_array.end(), ijk, ijk + 3);
        const DecodedVertex v{position, static_cast<uint32_t>(out_.sourcePoint.size())};
        number_[sourceIndex] = static_cast<int32_t>(v.point);
        out_.sourcePoint.push_back(sourceIndex);
        positions_.push_back(v.p);
        return v;
    }

    DecodedVertex reference(uint32_t sourceIndex)
    {
        const auto n = static_cast<uint32_t>(number_[sourceIndex]);
        out_.record.point_reference_array.push_back(n);
        return {positions_[n], n};
    }

    TessVec3 chainOrigin() const
    {
        const PRC3DTessCompressed& r = out_.record;
        return r.hasOrigin ? TessVec3{r.origin[0], r.origin[1], r.origin[2]} : TessVec3{};
    }

    void startChain(uint32_t t, bool first)
    {
        const uint32_t v[3] = {corner(t, 0), corner(t, 1), corner(t, 2)};
        bool isRef[3];
        for (int k = 0; k < 3; ++k) {
            isRef[k] = number_[v[k]] != kNoNumber;
            if (!first)
                out_.record.point_is_reference_array.push_back(isRef[k]);
        }
        const int refs = isRef[0] + isRef[1] + isRef[2];
        out_.chainReferences.push_back(refs);
        DecodedVertex a, b, c;
        const TessVec3 origin = chainOrigin();
        switch (refs) {
        case 0:
            a = newPoint(v[0], origin);
            b = newPoint(v[1], a.p);
            c = newPoint(v[2], midpoint(a.p, b.p));
            break;
        case 1:
            if (isRef[0]) {
                a = reference(v[0]);
                b = newPoint(v[1], a.p);
                c = newPoint(v[2], midpoint(a.p, b.p));
            } else if (isRef[1]) {
                b = reference(v[1]);
                a = newPoint(v[0], origin);
                c = newPoint(v[2], midpoint(a.p, b.p));
            } else {
                c = reference(v[2]);
                a = newPoint(v[0], origin);
                b = newPoint(v[1], a.p);
            }
            break;
        case 2:
            if (!isRef[0]) {
                b = reference(v[1]);
                c = reference(v[2]);
                a = newPoint(v[0], origin);
            } else if (isRef[1]) {
                a = reference(v[0]);
                b = reference(v[1]);
                c = newPoint(v[2], midpoint(a.p, b.p));
            } else {
                a = reference(v[0]);
                c = reference(v[2]);
                b = newPoint(v[1], a.p);
            }
            break;
        default:
            a = reference(v[0]);
            b = reference(v[1]);
            c = reference(v[2]);
            break;
        }
        if (b.point < a.point)
            std::swap(a, b);
        enter(t, a, b, c);
    }

    void enter(uint32_t t, const DecodedVertex& a, const DecodedVertex& b, const DecodedVertex& c)
    {
        visited_[t] = true;
        current_ = t;
        // Written in decoding order when that order is one of the wanted rotations.
        const uint32_t sa = sourceOf(a), sb = sourceOf(b), sc = sourceOf(c);
        bool inOrder = false;
        for (int k = 0; k < 3; ++k)
            inOrder = inOrder || (sa == corner(t, k) && sb == corner(t, (k + 1) % 3) && sc == corner(t, (k + 2) % 3));
        last_ = {a, b, c, inOrder};
        out_.sourceTriangle.push_back(t);
        out_.record.normal_is_reversed.push_back(inOrder);
    }

    // Opens an edge of the current triangle when a triangle not yet reached lies across it.
    bool openEdge(const DecodedVertex& p, const DecodedVertex& q, const DecodedVertex& opposite, uint64_t id)
    {
        const int64_t across = neighbour(current_, sourceOf(p), sourceOf(q));
        const bool open = across >= 0 && !visited_[across] && (!claimed_[across] || options_.reopenClaimed);
        if (!open) {
            closed_.insert(edgeKey(p.point, q.point));
            return false;
        }
        if (claimed_[across])
            ++out_.staleGates;
        claimed_[across] = true;
        gates_.push_back(
            {buildGate(p, q, opposite.p, kTessFrameAsGiven, id, kNoForcedDecision, out_.ambiguousIds),
             static_cast<uint32_t>(across)});
        return true;
    }

    void walk()
    {
        startChain(0, true);
        for (uint64_t t = 1; t < triangleCount_; ++t) {
            WalkedTriangle w = last_;
            if (w.inOrder)
                std::swap(w.a, w.b);
            uint8_t code = 0;
            if (openEdge(w.b, w.c, w.a, kDecisionsPerTriangle * t))
                code |= 1;
            if (openEdge(w.a, w.c, w.b, kDecisionsPerTriangle * t + 1))
                code |= 2;
            out_.record.edge_status_array.push_back(code);
            if (code == 0)
                while (!gates_.empty() &&
                       closed_.count(edgeKey(gates_.back().gate.lower.point, gates_.back().gate.higher.point)) != 0)
                    gates_.pop_back();
            if (gates_.empty()) {
                uint32_t next = 0;
                while (visited_[next])
                    ++next;
                startChain(next, false);
                continue;
            }
            const PendingGate pending = gates_.back();
            gates_.pop_back();
            if (visited_[pending.target])
                throw std::logic_error("encodeCompressedTess: a live gate leads to a decoded triangle");
            uint32_t apex = 0;
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = corner(pending.target, k);
                if (v != sourceOf(pending.gate.lower) && v != sourceOf(pending.gate.higher))
                    apex = v;
            }
            const bool isRef = number_[apex] != kNoNumber;
            out_.record.point_is_reference_array.push_back(isRef);
            const DecodedVertex c = isRef ? reference(apex) : newPoint(apex, pending.gate);
            enter(pending.target, pending.gate.lower, pending.gate.higher, c);
        }
    }

    uint32_t faceOfSource(uint32_t t) const { return source_.faces.empty() ? 0 : source_.faces[t]; }

    void writeFaces()
    {
        PRC3DTessCompressed& r = out_.record;
        uint32_t faceCount = 0;
        for (const uint32_t t : out_.sourceTriangle) {
            r.triangle_face_array.push_back(faceOfSource(t));
            faceCount = std::max(faceCount, faceOfSource(t) + 1);
        }
        if (options_.perTriangleStyles) {
            r.perTriangleStyles = true;
            r.perTriangleStyleBits.assign(faceCount, false);
            if (!options_.styles.empty())
                for (const uint32_t t : out_.sourceTriangle)
                    r.face_style_array.push_back(options_.styles[t]);
        } else {
            r.face_style_array = options_.styles;
        }
    }

    const CompressedTessSource& source_;
    const CompressedTessEncoderOptions& options_;
    uint64_t triangleCount_;
    std::vector<int32_t> number_; // decoded number per source point
    std::vector<bool> visited_;
    std::vector<bool> claimed_;
    std::map<std::pair<uint32_t, uint32_t>, std::vector<uint32_t>> edges_;
    std::vector<TessVec3> positions_; // decoded, per number
    std::vector<PendingGate> gates_;
    std::unordered_set<uint64_t> closed_;
    WalkedTriangle last_{};
    uint32_t current_ = 0;
    CompressedTessEncoding out_;
};

} // namespace

CompressedTessEncoding encodeCompressedTess(const CompressedTessSource& source,
                                            const CompressedTessEncoderOptions& options)
{
    return Encoder(source, options).run();
}
