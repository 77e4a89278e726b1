#include "tests/support/u3d_geometry_writer.h"

#include "tests/support/u3d_bit_encoder.h"
#include "u3dlib/block_types.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>

using u3dlib::adaptiveContext;
using u3dlib::staticContext;

namespace {

// Context numbers as real files use them (written out here rather than shared with the
// library, so that a wrong number there shows up).
constexpr uint32_t kCtxFaceCount = 1, kCtxOrientation = 2, kCtxThirdType = 3, kCtxLocalThird = 4;
constexpr uint32_t kCtxStayMove = 15, kCtxPosSign = 20, kCtxPosDiff = 21, kCtxTexIndexType = 29;
constexpr uint32_t kCtxTexDiff = 33, kCtxTexDup = 39, kCtxNormalCount = 40, kCtxNormalSign = 41;
constexpr uint32_t kCtxNormalDiff = 42, kCtxNormalIndex = 45, kCtxColorIndexType = 55, kCtxColorDup = 56;
constexpr uint32_t kCtxColorDiff = 60, kCtxShading = 65, kCtxDiffuseCount = 99;
constexpr uint32_t kCtxDiffuseSign = 100, kCtxSpecularCount = 101, kCtxTexSign = 103;
constexpr uint32_t kCtxDiffuseUpdate = 104, kCtxTexUpdate = 114;
constexpr uint32_t kCtxColorLocal = 119, kCtxColorGlobal = 120, kCtxTexLocal = 121, kCtxTexGlobal = 122;
constexpr uint32_t kCtxTexCount = 123, kCtxZero = 0x3FF, kCtxItem = 1;

void writeRange(U3dBitEncoder& out, uint32_t range, uint32_t value)
{
    out.writeCompressedU32(staticContext(range), value);
}

// Quantises target against prediction; returns the value the decoder rebuilds.
double quantise(double prediction, double target, float iq, bool& negative, uint32_t& q)
{
    const double diff = target - prediction;
    negative = diff < 0;
    q = static_cast<uint32_t>(std::llround(std::fabs(diff) / iq));
    const double step = static_cast<double>(q) * iq;
    return prediction + (negative ? -step : step);
}

IFXVector4 writeValue4(U3dBitEncoder& out, uint32_t signContext, uint32_t diffContext, const double (&prediction)[4],
                       const IFXVector4& target, float iq)
{
    const double t[4] = {target.r, target.g, target.b, target.a};
    double v[4];
    uint32_t q[4];
    uint8_t signs = 0;
    for (int k = 0; k < 4; ++k) {
        bool negative = false;
        v[k] = quantise(prediction[k], t[k], iq, negative, q[k]);
        signs |= negative ? uint8_t(1u << k) : 0;
    }
    out.writeCompressedU8(adaptiveContext(signContext), signs);
    for (int k = 0; k < 4; ++k)
        out.writeCompressedU32(adaptiveContext(diffContext + k), q[k]);
    return IFXVector4{float(v[0]), float(v[1]), float(v[2]), float(v[3])};
}

IFXVector3 writePosition(U3dBitEncoder& out, const IFXVector3& prediction, const IFXVector3& target, float iq)
{
    const double p[3] = {prediction.x, prediction.y, prediction.z};
    const double t[3] = {target.x, target.y, target.z};
    double v[3];
    uint32_t q[3];
    uint8_t signs = 0;
    for (int k = 0; k < 3; ++k) {
        bool negative = false;
        v[k] = quantise(p[k], t[k], iq, negative, q[k]);
        signs |= negative ? uint8_t(1u << k) : 0;
    }
    out.writeCompressedU8(adaptiveContext(kCtxPosSign), signs);
    for (int k = 0; k < 3; ++k)
        out.writeCompressedU32(adaptiveContext(kCtxPosDiff + k), q[k]);
    return IFXVector3{float(v[0]), float(v[1]), float(v[2])};
}

void average(const std::vector<IFXVector4>& pool, const std::set<uint32_t>& used, double (&out)[4])
{
    for (double& v : out)
        v = 0;
    for (uint32_t i : used) {
        out[0] += pool[i].r;
        out[1] += pool[i].g;
        out[2] += pool[i].b;
        out[3] += pool[i].a;
    }
    if (!used.empty())
        for (double& v : out)
            v /= double(used.size());
}

// Position of value in a list sorted largest first.
uint32_t descendingPosition(const std::set<uint32_t>& values, uint32_t value)
{
    if (values.count(value) == 0)
        throw std::invalid_argument("value not in the local list");
    uint32_t position = 0;
    for (auto it = values.rbegin(); *it != value; ++it)
        ++position;
    return position;
}

} // namespace

uint32_t u3dGeneratorDeclarationType(const U3dGeneratorDesc& desc)
{
    switch (desc.kind) {
    case U3dGeneratorKind::Mesh: return u3dlib::kBlockClodMeshDeclaration;
    case U3dGeneratorKind::PointSet: return u3dlib::kBlockPointSetDeclaration;
    case U3dGeneratorKind::LineSet: break;
    }
    return u3dlib::kBlockLineSetDeclaration;
}

U3dBytes u3dGeneratorDeclarationData(const U3dGeneratorDesc& desc)
{
    const bool mesh = desc.kind == U3dGeneratorKind::Mesh;
    U3dBitEncoder out;
    out.writeString(desc.name);
    out.writeU32(desc.chainIndex);
    out.writeU32(desc.attributes);
    out.writeU32(desc.primitiveCount);
    out.writeU32(desc.positionCount);
    out.writeU32(desc.normalCount);
    out.writeU32(desc.diffuseCount);
    out.writeU32(desc.specularCount);
    out.writeU32(desc.texCoordCount);
    out.writeU32(static_cast<uint32_t>(desc.shadings.size()));
    for (const U3dShadingDesc& s : desc.shadings) {
        out.writeU32(s.attributes);
        out.writeU32(static_cast<uint32_t>(s.texCoordDimensions.size()));
        for (uint32_t d : s.texCoordDimensions)
            out.writeU32(d);
        out.writeU32(s.originalId);
    }
    if (mesh) {
        out.writeU32(desc.minResolution);
        out.writeU32(desc.maxResolution);
    }
    for (int i = 0; i < 3; ++i)
        out.writeU32(1000); // quality factors
    out.writeF32s({desc.positionIq, desc.normalIq, desc.texCoordIq, desc.diffuseIq, desc.specularIq});
    if (mesh) {
        out.writeF32s({desc.normalCrease, 0.985f, 0.985f});
    } else {
        for (int i = 0; i < 3; ++i)
            out.writeU32(0);
    }
    if (desc.writeBoneCount)
        out.writeU32(0);
    return out.finish();
}

U3dClodMeshWriter::U3dClodMeshWriter(U3dGeneratorDesc desc) : desc_(std::move(desc)) {}

U3dBytes U3dClodMeshWriter::declarationBlock() const
{
    return u3dBlock(u3dlib::kBlockClodMeshDeclaration, u3dGeneratorDeclarationData(desc_));
}

U3dBytes U3dClodMeshWriter::baseMeshBlock(const U3dBaseMeshDesc& base)
{
    U3dBitEncoder out(desc_.noCompression);
    out.writeString(desc_.name);
    out.writeU32(0);
    const auto count = [](const auto& v) { return static_cast<uint32_t>(v.size()); };
    for (uint32_t c : {count(base.faces), count(base.positions), count(base.normals), count(base.diffuse), 0u,
                       count(base.texCoords)})
        out.writeU32(c);
    for (const auto* pool : {&base.positions, &base.normals})
        for (const IFXVector3& p : *pool)
            out.writeF32s({p.x, p.y, p.z});
    for (const auto* pool : {&base.diffuse, &base.texCoords})
        for (const IFXVector4& c : *pool)
            out.writeF32s({c.r, c.g, c.b, c.a});
    const bool normals = (desc_.attributes & 1) == 0;
    for (const U3dBaseFace& f : base.faces) {
        out.writeCompressedU32(adaptiveContext(1), f.shading);
        const U3dShadingDesc& sd = desc_.shadings.at(f.shading);
        Face model;
        model.shading = f.shading;
        for (int k = 0; k < 3; ++k) {
            writeRange(out, count(base.positions), f.positions[k]);
            if (normals)
                writeRange(out, count(base.normals), f.normals[k]);
            if (sd.attributes & 1)
                writeRange(out, count(base.diffuse), f.diffuse[k]);
            for (size_t layer = 0; layer < sd.texCoordDimensions.size(); ++layer)
                writeRange(out, count(base.texCoords), f.texCoords.at(layer)[k]);
            model.positions[k] = f.positions[k];
            model.diffuse[k] = (sd.attributes & 1) ? f.diffuse[k] : 0;
            for (size_t layer = 0; layer < sd.texCoordDimensions.size(); ++layer)
                model.texCoords[layer][k] = f.texCoords[layer][k];
        }
        faces_.push_back(model);
    }
    positions_ = base.positions;
    diffuse_ = base.diffuse;
    texCoords_ = base.texCoords;
    return u3dBlock(u3dlib::kBlockClodBaseMesh, out.finish());
}

U3dBytes U3dClodMeshWriter::progressiveBlock(const std::vector<U3dUpdateDesc>& updates)
{
    const auto start = static_cast<uint32_t>(positions_.size());
    return progressiveBlockWithRange(updates, start, start + static_cast<uint32_t>(updates.size()));
}

U3dBytes U3dClodMeshWriter::progressiveBlockWithRange(const std::vector<U3dUpdateDesc>& updates, uint32_t start,
                                                      uint32_t end)
{
    U3dBitEncoder out(desc_.noCompression);
    out.writeString(desc_.name);
    out.writeU32(0);
    out.writeU32(start);
    out.writeU32(end);
    for (const U3dUpdateDesc& update : updates)
        writeUpdate(out, update);
    return u3dBlock(u3dlib::kBlockClodProgressiveMesh, out.finish());
}

void U3dClodMeshWriter::writeUpdate(U3dBitEncoder& out, const U3dUpdateDesc& u)
{
    const auto r = static_cast<uint32_t>(positions_.size());
    const uint32_t S = u.split;
    const uint32_t N = r;
    if (r == 0)
        out.writeCompressedU32(adaptiveContext(kCtxZero), S);
    else
        writeRange(out, r, S);

    auto cornerOf = [&](const Face& f, uint32_t p) {
        for (uint32_t k = 0; k < 3; ++k)
            if (f.positions[k] == p)
                return k;
        return 3u;
    };
    auto usesAttr = [&](const Face& f, int kind, size_t layer) {
        const U3dShadingDesc& sd = desc_.shadings[f.shading];
        return kind == 0 ? (sd.attributes & 1) != 0 : layer < sd.texCoordDimensions.size();
    };
    auto attrAt = [&](const Face& f, int kind, size_t layer, uint32_t k) {
        return kind == 0 ? f.diffuse[k] : f.texCoords[layer][k];
    };
    // Attribute indices used at a position (kind 0 diffuse, 2 texture layer).
    auto usedAt = [&](uint32_t p, int kind, size_t layer) {
        std::set<uint32_t> used;
        for (const Face& f : faces_) {
            const uint32_t k = cornerOf(f, p);
            if (k < 3 && usesAttr(f, kind, layer))
                used.insert(attrAt(f, kind, layer, k));
        }
        return used;
    };
    const bool hasSplit = r > 0;
    std::set<uint32_t> diffuseAtS;
    std::array<std::set<uint32_t>, 8> texAtS;
    if (hasSplit) {
        diffuseAtS = usedAt(S, 0, 0);
        for (size_t layer = 0; layer < 8; ++layer)
            texAtS[layer] = usedAt(S, 2, layer);
    }

    // New values.
    const auto firstDiffuse = static_cast<uint32_t>(diffuse_.size());
    const auto firstTex = static_cast<uint32_t>(texCoords_.size());
    double prediction[4];
    average(diffuse_, diffuseAtS, prediction);
    out.writeCompressedU16(adaptiveContext(kCtxDiffuseCount), static_cast<uint16_t>(u.newDiffuse.size()));
    for (const IFXVector4& c : u.newDiffuse)
        diffuse_.push_back(writeValue4(out, kCtxDiffuseSign, kCtxColorDiff, prediction, c, desc_.diffuseIq));
    out.writeCompressedU16(adaptiveContext(kCtxSpecularCount), 0);
    average(texCoords_, texAtS[0], prediction);
    out.writeCompressedU16(adaptiveContext(kCtxTexCount), static_cast<uint16_t>(u.newTexCoords.size()));
    for (const IFXVector4& c : u.newTexCoords)
        texCoords_.push_back(writeValue4(out, kCtxTexSign, kCtxTexDiff, prediction, c, desc_.texCoordIq));

    // New faces, position part.
    std::vector<uint32_t> around; // faces using S, largest index first
    for (uint32_t f = static_cast<uint32_t>(faces_.size()); f-- > 0;)
        if (hasSplit && cornerOf(faces_[f], S) < 3)
            around.push_back(f);
    std::set<uint32_t> local;
    for (uint32_t f : around)
        for (uint32_t p : faces_[f].positions)
            local.insert(p);
    local.erase(S);
    local.erase(N);
    out.writeCompressedU32(adaptiveContext(kCtxFaceCount), static_cast<uint32_t>(u.newFaces.size()));
    for (const U3dNewFaceDesc& nf : u.newFaces) {
        out.writeCompressedU32(adaptiveContext(kCtxShading), nf.shading);
        out.writeCompressedU8(adaptiveContext(kCtxOrientation), nf.rightOrientation ? 2 : 1);
        out.writeCompressedU8(adaptiveContext(kCtxThirdType), nf.thirdLocal ? 1 : 2);
        if (nf.thirdLocal)
            out.writeCompressedU32(adaptiveContext(kCtxLocalThird), descendingPosition(local, nf.third));
        else
            writeRange(out, r, nf.third);
        if (nf.third != S && nf.third != N)
            local.insert(nf.third);
    }

    // Stay or move, with the predictions worked out from the faces around S.
    struct Around {
        uint32_t face, next, previous;
        uint32_t prediction = 0;
        bool move = false;
    };
    std::vector<Around> walk;
    for (uint32_t f : around) {
        const uint32_t k = cornerOf(faces_[f], S);
        Around a{f, faces_[f].positions[(k + 1) % 3], faces_[f].positions[(k + 2) % 3]};
        a.move = std::any_of(u.moves.begin(), u.moves.end(), [&](const U3dMoveDesc& m) { return m.face == f; });
        walk.push_back(a);
    }
    for (size_t i = 0; i < walk.size(); ++i) {
        Around& a = walk[i];
        int direct = -1; // 0 stay, 1 move; the last new face sharing an edge decides
        for (const U3dNewFaceDesc& nf : u.newFaces) {
            if (nf.third == S)
                continue;
            if (nf.third == a.next)
                direct = nf.rightOrientation ? 1 : 0;
            else if (nf.third == a.previous)
                direct = nf.rightOrientation ? 0 : 1;
        }
        if (direct >= 0) {
            a.prediction = direct == 1 ? 1 : 2;
        } else {
            // The faces already walked that use f's previous or next position pass on
            // their flags; one that moved decides.
            a.prediction = 0;
            for (size_t j = 0; j < i; ++j) {
                const Around& n = walk[j];
                if (n.next != a.previous && n.previous != a.previous && n.next != a.next && n.previous != a.next)
                    continue;
                a.prediction = n.move ? 3 : 4;
                if (n.move)
                    break;
            }
        }
        out.writeCompressedU8(adaptiveContext(kCtxStayMove + a.prediction), a.move ? 1 : 0);
    }
    std::vector<uint32_t> movedCorner(faces_.size(), 3);
    for (const Around& a : walk)
        if (a.move) {
            const uint32_t k = cornerOf(faces_[a.face], S);
            faces_[a.face].positions[k] = N;
            movedCorner[a.face] = k;
        }

    // Move face info, in the order of the walk.
    auto writeChange = [&](uint32_t base, const U3dCornerChange& c, const std::set<uint32_t>& atS, uint32_t first,
                           uint32_t& slot) {
        if (c.coding == U3dChangeCoding::Keep) {
            out.writeCompressedU8(adaptiveContext(base), 2);
            return;
        }
        out.writeCompressedU8(adaptiveContext(base), 1);
        switch (c.coding) {
        case U3dChangeCoding::New:
            out.writeCompressedU8(adaptiveContext(base + 1), 1);
            out.writeCompressedU32(adaptiveContext(base + 2), c.index);
            slot = first + c.index;
            break;
        case U3dChangeCoding::Local:
            out.writeCompressedU8(adaptiveContext(base + 1), 2);
            out.writeCompressedU32(adaptiveContext(base + 3), descendingPosition(atS, c.index));
            slot = c.index;
            break;
        default:
            out.writeCompressedU8(adaptiveContext(base + 1), 3);
            out.writeCompressedU32(adaptiveContext(base + 4), c.index);
            slot = c.index;
            break;
        }
    };
    for (const Around& a : walk) {
        if (!a.move)
            continue;
        const auto m = std::find_if(u.moves.begin(), u.moves.end(), [&](const U3dMoveDesc& s) { return s.face == a.face; });
        Face& f = faces_[a.face];
        const uint32_t k = movedCorner[a.face];
        const U3dShadingDesc& sd = desc_.shadings[f.shading];
        if (sd.attributes & 1)
            writeChange(kCtxDiffuseUpdate, m->diffuse, diffuseAtS, firstDiffuse, f.diffuse[k]);
        for (size_t layer = 0; layer < sd.texCoordDimensions.size(); ++layer)
            writeChange(kCtxTexUpdate, m->texCoords.at(layer), texAtS[layer], firstTex, f.texCoords[layer][k]);
    }

    // New face info.
    std::vector<Face> added;
    for (const U3dNewFaceDesc& nf : u.newFaces) {
        const U3dShadingDesc& sd = desc_.shadings.at(nf.shading);
        std::array<std::array<uint32_t, 3>, 10> roles{}; // 0 diffuse, 2.. layers
        auto writeRoles = [&](const U3dRoleIndices& desc, int kind, size_t layer, std::array<uint32_t, 3>& last,
                              uint32_t dupCtx, uint32_t typeCtx, uint32_t localCtx, uint32_t globalCtx,
                              const std::set<uint32_t>& atS, std::array<uint32_t, 3>& chosen) {
            uint8_t flags = 0;
            for (int role = 0; role < 3; ++role)
                if (desc[role].coding == U3dIndexCoding::Duplicate)
                    flags |= uint8_t(1u << role);
            out.writeCompressedU8(adaptiveContext(dupCtx), flags);
            for (int role = 0; role < 3; ++role) {
                const U3dCornerIndex& c = desc[role];
                if (c.coding == U3dIndexCoding::Duplicate) {
                    chosen[role] = last[role];
                    continue;
                }
                chosen[role] = c.index;
                if (c.coding == U3dIndexCoding::Local) {
                    out.writeCompressedU8(adaptiveContext(typeCtx), 2);
                    const std::set<uint32_t> list = role == 2 ? usedAt(nf.third, kind, layer) : atS;
                    out.writeCompressedU32(adaptiveContext(localCtx), descendingPosition(list, c.index));
                } else {
                    out.writeCompressedU8(adaptiveContext(typeCtx), 3);
                    out.writeCompressedU32(adaptiveContext(globalCtx), c.index);
                }
            }
            last = chosen;
        };
        if (sd.attributes & 1)
            writeRoles(nf.diffuse, 0, 0, lastDiffuse_, kCtxColorDup, kCtxColorIndexType, kCtxColorLocal,
                       kCtxColorGlobal, diffuseAtS, roles[0]);
        for (size_t layer = 0; layer < sd.texCoordDimensions.size(); ++layer)
            writeRoles(nf.texCoords.at(layer), 2, layer, lastTexCoords_[layer], kCtxTexDup, kCtxTexIndexType,
                       kCtxTexLocal, kCtxTexGlobal, texAtS[layer], roles[2 + layer]);
        Face f;
        f.shading = nf.shading;
        const std::array<int, 3> order = nf.rightOrientation ? std::array<int, 3>{1, 0, 2} : std::array<int, 3>{0, 1, 2};
        const std::array<uint32_t, 3> rolePositions = {S, N, nf.third};
        for (int k = 0; k < 3; ++k) {
            f.positions[k] = rolePositions[order[k]];
            f.diffuse[k] = roles[0][order[k]];
            for (size_t layer = 0; layer < 8; ++layer)
                f.texCoords[layer][k] = roles[2 + std::min<size_t>(layer, 7)][order[k]];
        }
        added.push_back(f);
    }
    faces_.insert(faces_.end(), added.begin(), added.end());

    positions_.push_back(writePosition(out, hasSplit ? positions_[S] : IFXVector3{0, 0, 0}, u.position, desc_.positionIq));

    if ((desc_.attributes & 1) == 0) {
        std::set<uint32_t> neighbourhood;
        for (const Face& f : faces_)
            if (cornerOf(f, N) < 3)
                neighbourhood.insert(f.positions.begin(), f.positions.end());
        for (auto p = neighbourhood.rbegin(); p != neighbourhood.rend(); ++p) {
            out.writeCompressedU32(adaptiveContext(kCtxNormalCount), u.normalsPerPosition);
            for (uint32_t i = 0; i < u.normalsPerPosition; ++i) {
                out.writeCompressedU8(adaptiveContext(kCtxNormalSign), 0);
                for (int k = 0; k < 3; ++k)
                    out.writeCompressedU32(adaptiveContext(kCtxNormalDiff + k), 0);
            }
            for (const Face& f : faces_)
                if (cornerOf(f, *p) < 3)
                    out.writeCompressedU32(adaptiveContext(kCtxNormalIndex), 0);
        }
    }
}

U3dPointLineWriter::U3dPointLineWriter(U3dGeneratorDesc desc) : desc_(std::move(desc)) {}

U3dBytes U3dPointLineWriter::declarationBlock() const
{
    return u3dBlock(u3dGeneratorDeclarationType(desc_), u3dGeneratorDeclarationData(desc_));
}

U3dBytes U3dPointLineWriter::continuationBlock(const std::vector<U3dPointLineUpdateDesc>& updates)
{
    const bool lines = desc_.kind == U3dGeneratorKind::LineSet;
    U3dBitEncoder out(desc_.noCompression);
    out.writeString(desc_.name);
    out.writeU32(0);
    const auto start = static_cast<uint32_t>(positions_.size());
    out.writeU32(start);
    out.writeU32(start + static_cast<uint32_t>(updates.size()));
    for (const U3dPointLineUpdateDesc& u : updates) {
        const auto r = static_cast<uint32_t>(positions_.size());
        writeRange(out, std::max(r, 1u), u.split);
        positions_.push_back(writePosition(out, r > 0 ? positions_[u.split] : IFXVector3{0, 0, 0}, u.position,
                                           desc_.positionIq));
        out.writeCompressedU32(adaptiveContext(kCtxNormalCount), u.normalCount);
        for (uint32_t i = 0; i < u.normalCount; ++i) {
            out.writeCompressedU8(adaptiveContext(kCtxNormalSign), 0);
            for (int k = 0; k < 3; ++k)
                out.writeCompressedU32(adaptiveContext(kCtxNormalDiff + k), 0);
        }
        out.writeCompressedU32(adaptiveContext(kCtxItem), static_cast<uint32_t>(u.items.size()));
        for (const U3dItemDesc& item : u.items) {
            out.writeCompressedU32(adaptiveContext(kCtxItem), item.shading);
            if (lines)
                writeRange(out, std::max(r, 1u), item.first);
            const U3dShadingDesc& sd = desc_.shadings.at(item.shading);
            for (size_t e = 0; e < item.ends.size(); ++e) {
                const U3dItemEndDesc& end = item.ends[e];
                const uint32_t position = lines && e == 0 ? item.first : r;
                out.writeCompressedU32(adaptiveContext(kCtxNormalIndex), end.normalLocalIndex);
                auto writeColour = [&](const std::optional<IFXVector4>& value, std::vector<IFXVector4>& pool,
                                       std::vector<uint32_t>& endIndices, uint32_t dupCtx, float iq) {
                    out.writeCompressedU8(adaptiveContext(dupCtx), value ? 0 : 1);
                    if (!value) {
                        endIndices.push_back(static_cast<uint32_t>(pool.size() - 1));
                        return;
                    }
                    std::set<uint32_t> used;
                    for (size_t i = 0; i < endPositions_.size() && r > 0; ++i)
                        if (endPositions_[i] == u.split && i < endIndices.size())
                            used.insert(endIndices[i]);
                    double prediction[4];
                    average(pool, used, prediction);
                    endIndices.push_back(static_cast<uint32_t>(pool.size()));
                    pool.push_back(writeValue4(out, kCtxNormalSign, kCtxColorDiff, prediction, *value, iq));
                };
                if (sd.attributes & 1)
                    writeColour(end.diffuse, diffuse_, endDiffuse_, kCtxColorDup, desc_.diffuseIq);
                else
                    endDiffuse_.push_back(0);
                endPositions_.push_back(position);
            }
        }
    }
    const uint32_t type = lines ? u3dlib::kBlockLineSetContinuation : u3dlib::kBlockPointSetContinuation;
    return u3dBlock(type, out.finish());
}

U3dGeneratorDesc u3dOneTriangleDeclaration(const std::string& name)
{
    return {.name = name, .primitiveCount = 1, .positionCount = 3, .normalCount = 1, .maxResolution = 3};
}

U3dBaseMeshDesc u3dOneTriangle()
{
    U3dBaseMeshDesc triangle;
    triangle.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    triangle.normals = {{0, 0, 1}};
    triangle.faces = {U3dBaseFace{0, {0, 1, 2}}};
    return triangle;
}
