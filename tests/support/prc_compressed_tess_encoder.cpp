#include "tests/support/prc_compressed_tess_encoder.h"

#include "prc/geometry/compressed_normals.h"
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
// Smallest cosine between a normal and a triangle it orients that the encoder accepts.
constexpr double kNormalMargin = 0.2;
// Triangles of a face this close in direction share the face's one normal.
constexpr double kFlatFaceCosine = 0.9;

struct PendingGate {
    Gate gate;
    uint32_t target; // source triangle across the edge
};

// One decoded triangle as the winding pass needs it.
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
        r.normals_as_reversal_bits = !options.angleNormals;
    }

    CompressedTessEncoding run()
    {
        if (triangleCount_ == 0)
            return std::move(out_);
        walk();
        writeFaces();
        if (options_.angleNormals)
            writeNormals();
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
        walked_.push_back({a, b, c, inOrder});
        out_.sourceTriangle.push_back(t);
        if (!options_.angleNormals)
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
            WalkedTriangle w = walked_.back();
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
        faceCount_ = faceCount;
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

    // The direction the normal of decoded triangle t must point to; zero when degenerate.
    TessVec3 wantedNormal(uint64_t t) const
    {
        const WalkedTriangle& w = walked_[t];
        TessVec3 n = cross(w.b.p - w.a.p, w.c.p - w.a.p);
        if (!normaliseTessVector(n))
            return {};
        return w.inOrder ? n : -n;
    }

    // Every decoded triangle oriented by a normal requested at a point, with the
    // directions that normal must suit.
    struct NormalUse {
        uint64_t t;
        std::vector<TessVec3> directions;
    };

    void writeNormals()
    {
        PRC3DTessCompressed& r = out_.record;
        const uint8_t bits = options_.angleBits;
        r.normal_angle_number_of_bits = bits;
        angleStep_ = kHalfPi / (std::ldexp(1.0, bits) - 1);
        tiltCode_ = static_cast<uint16_t>(std::min((1u << bits) - 1, 0x7FFFu));

        // Faces whose triangles all face one way share one normal.
        std::vector<std::vector<uint64_t>> faceTriangles(faceCount_);
        for (uint64_t t = 0; t < walked_.size(); ++t)
            faceTriangles[r.triangle_face_array[t]].push_back(t);
        r.face_has_one_normal.assign(faceCount_, false);
        for (uint32_t f = 0; f < faceCount_ && options_.faceNormals; ++f) {
            bool flat = !faceTriangles[f].empty();
            const TessVec3 first = flat ? wantedNormal(faceTriangles[f][0]) : TessVec3{};
            for (const uint64_t t : faceTriangles[f])
                flat = flat && dot(wantedNormal(t), first) > kFlatFaceCosine;
            r.face_has_one_normal[f] = flat;
        }

        uses_.assign(out_.sourcePoint.size(), {});
        std::vector<bool> faceSeen(faceCount_, false);
        for (uint64_t t = 0; t < walked_.size(); ++t) {
            const uint32_t f = r.triangle_face_array[t];
            if (r.face_has_one_normal[f]) {
                if (faceSeen[f])
                    continue;
                faceSeen[f] = true;
                NormalUse use{t, {}};
                for (const uint64_t other : faceTriangles[f])
                    use.directions.push_back(wantedNormal(other));
                uses_[walked_[t].a.point].push_back(std::move(use));
            } else {
                uses_[walked_[t].a.point].push_back({t, {wantedNormal(t)}});
            }
        }

        pointState_.assign(out_.sourcePoint.size(), kNoNormalYet);
        pointNormals_.assign(out_.sourcePoint.size(), {});
        std::vector<int64_t> faceNormal(faceCount_, -1);
        for (uint64_t t = 0; t < walked_.size(); ++t) {
            const WalkedTriangle& w = walked_[t];
            const uint32_t f = r.triangle_face_array[t];
            TessVec3 n;
            if (r.face_has_one_normal[f]) {
                if (faceNormal[f] < 0)
                    faceNormal[f] = requestNormal(w.a.point, t, true);
                n = normals_[faceNormal[f]];
            } else {
                n = normals_[requestNormal(w.a.point, t, true)];
                requestNormal(w.b.point, t, false);
                requestNormal(w.c.point, t, false);
            }
            const double q = orientationValue(w.a.p, w.b.p, w.c.p, n);
            if (q == 0)
                out_.ambiguousIds.push_back(kDecisionsPerTriangle * t + 2);
            else if ((q < 0) != w.inOrder)
                throw std::logic_error("encodeCompressedTess: the normals do not give the wanted winding");
        }
    }

    // The directions the use of point at triangle t must suit.
    const std::vector<TessVec3>* useAt(uint32_t point, uint64_t t) const
    {
        for (const NormalUse& use : uses_[point])
            if (use.t == t)
                return &use.directions;
        return nullptr;
    }

    static bool suits(const TessVec3& n, const std::vector<TessVec3>& directions)
    {
        return std::all_of(directions.begin(), directions.end(),
                           [&](const TessVec3& d) { return dot(n, d) > kNormalMargin; });
    }

    void writeBit(bool bit) { out_.record.normal_binary_data.push_back(bit); }

    // A new normal along the wanted direction of triangle t, tilted fully towards the
    // triangle's own normal axis.
    uint32_t newNormal(uint64_t t)
    {
        writeBit(!walked_[t].inOrder);
        writeBit(false);
        writeBit(false);
        out_.record.normal_angle_array.insert(out_.record.normal_angle_array.end(), {0, tiltCode_});
        normals_.push_back(provisionalNormal(t));
        return static_cast<uint32_t>(normals_.size() - 1);
    }

    uint32_t requestNormal(uint32_t point, uint64_t t, bool matters)
    {
        const std::vector<TessVec3>* directions = matters ? useAt(point, t) : nullptr;
        std::vector<uint32_t>& list = pointNormals_[point];
        if (pointState_[point] == kNoNormalYet) {
            // One normal is enough when it suits every later use of the point.
            bool single = options_.singleNormals;
            const TessVec3 n = provisionalNormal(t);
            for (const NormalUse& use : uses_[point])
                single = single && (use.t < t || suits(n, use.directions));
            writeBit(!single);
            const uint32_t normal = newNormal(t);
            pointState_[point] = single ? kOneNormal : kSeveralNormals;
            list.push_back(normal);
            return normal;
        }
        if (pointState_[point] == kOneNormal)
            return list[0];
        // Several: refer back to a suitable normal, or add one.
        for (size_t i = list.size(); i-- > 0;) {
            if (directions != nullptr && !suits(normals_[list[i]], *directions))
                continue;
            writeBit(true);
            const uint64_t r = list.size() - 1 - i;
            for (uint32_t bit = 0; bit < normalReferenceWidth(list.size()); ++bit)
                writeBit(((r >> bit) & 1) != 0);
            return list[i];
        }
        writeBit(false);
        const uint32_t normal = newNormal(t);
        list.push_back(normal);
        return normal;
    }

    // The normal newNormal would make at triangle t, without writing anything.
    TessVec3 provisionalNormal(uint64_t t) const
    {
        const WalkedTriangle& w = walked_[t];
        return normalFromAngles(w.a.p, w.b.p, w.c.p, 0.0, static_cast<int16_t>(tiltCode_) * angleStep_, !w.inOrder,
                                false, false, kTessFrameAsGiven);
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
    std::vector<WalkedTriangle> walked_;
    uint32_t current_ = 0;
    uint32_t faceCount_ = 0;
    CompressedTessEncoding out_;

    double angleStep_ = 0;
    uint16_t tiltCode_ = 0;
    std::vector<std::vector<NormalUse>> uses_;
    std::vector<uint8_t> pointState_;
    std::vector<std::vector<uint32_t>> pointNormals_;
    std::vector<TessVec3> normals_;
};

} // namespace

CompressedTessEncoding encodeCompressedTess(const CompressedTessSource& source,
                                            const CompressedTessEncoderOptions& options)
{
    return Encoder(source, options).run();
}
