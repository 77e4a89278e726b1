#include "u3dlib/clod_progressive.h"

#include "u3dlib/geometry_contexts.h"
#include "u3dlib/progressive_updates.h"

#include <algorithm>
#include <optional>

namespace u3dlib {

namespace {

namespace ctx = geometry_contexts;

constexpr uint8_t kOrientationLeft = 1;  // corners split, new, third
constexpr uint8_t kOrientationRight = 2; // corners new, split, third
constexpr uint8_t kThirdLocal = 1;
constexpr uint8_t kThirdGlobal = 2;
constexpr uint8_t kStay = 0;
constexpr uint8_t kMove = 1;
constexpr uint8_t kChange = 1;
constexpr uint8_t kKeep = 2;
constexpr uint8_t kIndexNew = 1;
constexpr uint8_t kIndexLocal = 2;
constexpr uint8_t kIndexGlobal = 3;
constexpr uint8_t kAllDuplicateFlags = 0x7;

// Corner roles of a new face: the split position, the new position, the third one.
constexpr uint32_t kRoleSplit = 0;
constexpr uint32_t kRoleNew = 1;
constexpr uint32_t kRoleThird = 2;
constexpr uint32_t kRoleCount = 3;

// Context offsets of a face update group (diffuse, specular, texture coordinates).
constexpr uint32_t kKeepChangeOffset = 0;
constexpr uint32_t kChangeTypeOffset = 1;
constexpr uint32_t kChangeNewOffset = 2;
constexpr uint32_t kChangeLocalOffset = 3;
constexpr uint32_t kChangeGlobalOffset = 4;

// Prediction of a stay/move flag: its context is kStayMoveBase + prediction.
enum class Prediction : uint8_t {
    None = 0,
    MoveFromThird = 1,
    StayFromThird = 2,
    MoveFromNeighbour = 3,
    StayFromNeighbour = 4,
};

// Which attribute index array of the faces an operation works on.
struct Attribute {
    enum Kind : uint8_t { Diffuse, Specular, TexCoord } kind = Diffuse;
    uint32_t layer = 0;
};

struct NewFace {
    uint32_t shading = 0;
    uint8_t orientation = kOrientationLeft;
    uint32_t third = 0;
    std::array<CornerAttributes, kRoleCount> roles{}; // by role
};

// A face around the split position, in the order of the stay/move flags.
struct SplitFace {
    uint32_t face = 0;
    uint32_t corner = 0;   // the corner at the split position
    uint32_t next = 0;     // position after the split position in the face's winding
    uint32_t previous = 0; // position before it
    Prediction prediction = Prediction::None;
    uint8_t value = kStay;
};

// What the walk of the faces around the split position has passed so far, per position
// those faces use beside the split position: whether a face walked uses it, and
// whether one of those moved.
struct WalkTally {
    struct Entry {
        uint32_t position = 0;
        bool walked = false;
        bool moved = false;
    };
    std::vector<Entry> entries; // by position

    void build(const std::vector<SplitFace>& faces)
    {
        entries.clear();
        for (const SplitFace& sf : faces) {
            entries.push_back({sf.next, false, false});
            entries.push_back({sf.previous, false, false});
        }
        const auto before = [](const Entry& a, const Entry& b) { return a.position < b.position; };
        const auto same = [](const Entry& a, const Entry& b) { return a.position == b.position; };
        std::sort(entries.begin(), entries.end(), before);
        entries.erase(std::unique(entries.begin(), entries.end(), same), entries.end());
    }
    // Only for the next and previous positions of the faces built from.
    Entry& at(uint32_t position)
    {
        return *std::lower_bound(entries.begin(), entries.end(), position,
                                 [](const Entry& e, uint32_t p) { return e.position < p; });
    }
    void pass(const SplitFace& sf)
    {
        for (Entry* e : {&at(sf.next), &at(sf.previous)}) {
            e->walked = true;
            e->moved = e->moved || sf.value == kMove;
        }
    }
};

void sortDescendingUnique(std::vector<uint32_t>& values)
{
    std::sort(values.begin(), values.end(), std::greater<>());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

class UpdateReader : ContinuationReader {
public:
    UpdateReader(BitDecoder& in, const GeneratorDeclaration& declaration, ClodMeshState& mesh)
        : ContinuationReader(in), declaration_(declaration), mesh_(mesh), g_(mesh.geometry)
    {
    }

    StreamFault read(uint32_t resolution)
    {
        r_ = resolution;
        newPosition_ = resolution;
        mesh_.facesAtPosition.emplace_back();
        readSplitPosition() && readNewAttributes() && readNewFacePositions() && readStayOrMove() &&
            readMoveFaceInfo() && readNewFaceInfo() && addNewFaces() && readNewPosition() && readNewNormals();
        return updateFault();
    }

private:

    const ShadingDescription& shadingOf(uint32_t face) const
    {
        return declaration_.shadings[g_.primitiveMaterials[face]];
    }

    static bool uses(const ShadingDescription& sd, Attribute a)
    {
        switch (a.kind) {
        case Attribute::Diffuse: return sd.hasDiffuse();
        case Attribute::Specular: return sd.hasSpecular();
        case Attribute::TexCoord: return a.layer < sd.textureLayerCount;
        }
        return false;
    }

    std::vector<uint32_t>& indices(Attribute a)
    {
        switch (a.kind) {
        case Attribute::Diffuse: return g_.diffuseIndices;
        case Attribute::Specular: return g_.specularIndices;
        case Attribute::TexCoord: break;
        }
        return g_.texCoordIndices[a.layer];
    }

    size_t poolSize(Attribute a) const
    {
        switch (a.kind) {
        case Attribute::Diffuse: return g_.diffuseColors.size();
        case Attribute::Specular: return g_.specularColors.size();
        case Attribute::TexCoord: break;
        }
        return g_.texCoords.size();
    }

    // Distinct indices of an attribute used at a position by the faces whose shading
    // has it, largest first: the local lists of the colour and texture indices.
    bool attributeIndicesAt(uint32_t position, Attribute a, std::vector<uint32_t>& out)
    {
        out.clear();
        if (!spend(mesh_.facesAtPosition[position].size()))
            return false;
        const std::vector<uint32_t>& array = indices(a);
        for (uint32_t face : mesh_.facesAtPosition[position]) {
            if (!uses(shadingOf(face), a))
                continue;
            const uint32_t k = cornerAt(mesh_, face, position);
            if (k < 3)
                out.push_back(array[size_t{3} * face + k]);
        }
        sortDescendingUnique(out);
        return true;
    }

    bool readSplitPosition()
    {
        split_ = r_ == 0 ? in_.readCompressedU32(ctx::kSplitWhenEmpty) : in_.readCompressedU32(staticContext(r_));
        if (!decoded())
            return false;
        hasSplit_ = r_ > 0;
        if (hasSplit_ && split_ >= r_)
            return fail(StreamFault::IndexOutOfRange);
        splitFaces_.clear();
        diffuseAtSplit_.clear();
        specularAtSplit_.clear();
        for (std::vector<uint32_t>& layer : texCoordAtSplit_)
            layer.clear();
        if (!hasSplit_)
            return true;
        const std::vector<uint32_t>& faces = mesh_.facesAtPosition[split_];
        if (!spend(faces.size()))
            return false;
        for (auto it = faces.rbegin(); it != faces.rend(); ++it) {
            SplitFace sf;
            sf.face = *it;
            sf.corner = cornerAt(mesh_, sf.face, split_);
            sf.next = mesh_.corner(sf.face, (sf.corner + 1) % 3);
            sf.previous = mesh_.corner(sf.face, (sf.corner + 2) % 3);
            splitFaces_.push_back(sf);
        }
        if (mesh_.keepsDiffuse && !attributeIndicesAt(split_, {Attribute::Diffuse, 0}, diffuseAtSplit_))
            return false;
        if (mesh_.keepsSpecular && !attributeIndicesAt(split_, {Attribute::Specular, 0}, specularAtSplit_))
            return false;
        for (uint32_t layer = 0; layer < mesh_.texLayers; ++layer)
            if (!attributeIndicesAt(split_, {Attribute::TexCoord, layer}, texCoordAtSplit_[layer]))
                return false;
        return true;
    }

    // New colours or texture coordinates: a U16 count, then per value a sign byte and
    // four quantised differences from the average of the values used at the split
    // position.
    bool readNewValues(Context countContext, Context signContext, const Context (&diff)[4],
                       std::vector<IFXVector4>& pool, const std::vector<uint32_t>& atSplit, float inverse,
                       uint32_t declared, uint32_t& first, uint32_t& count)
    {
        count = in_.readCompressedU16(countContext);
        first = static_cast<uint32_t>(pool.size());
        if (!decoded())
            return false;
        if (count > declared - std::min<size_t>(declared, pool.size()))
            return fail(StreamFault::BeyondDeclared);
        if (pool.size() + count > kMaxGeneratorAttributes)
            return fail(StreamFault::TooLarge);
        // Nothing is used at a split position when there is none.
        double prediction[4];
        averageOf(pool, atSplit, prediction);
        for (uint32_t i = 0; i < count; ++i) {
            const IFXVector4 value = readQuantisedValue(in_, signContext, diff, prediction, inverse);
            if (!decoded())
                return false;
            pool.push_back(value);
        }
        return true;
    }

    bool readNewAttributes()
    {
        const GeneratorDeclaration& d = declaration_;
        return readNewValues(ctx::kDiffuseCount, ctx::kDiffuseSign, ctx::kColorDiff, g_.diffuseColors, diffuseAtSplit_,
                             d.diffuseInverseQuant, d.diffuseColorCount, firstNewDiffuse_, newDiffuseCount_) &&
               readNewValues(ctx::kSpecularCount, ctx::kSpecularSign, ctx::kColorDiff, g_.specularColors,
                             specularAtSplit_, d.specularInverseQuant, d.specularColorCount, firstNewSpecular_,
                             newSpecularCount_) &&
               readNewValues(ctx::kTexCoordCount, ctx::kTexCoordSign, ctx::kTexCoordDiff, g_.texCoords,
                             texCoordAtSplit_[0], d.texCoordInverseQuant, d.texCoordCount, firstNewTexCoord_,
                             newTexCoordCount_);
    }

    // Local third positions: every position of the faces around the split position and
    // the third positions of this update's new faces read so far, but neither the
    // split nor the new position, largest first.
    void buildLocalPositions()
    {
        localPositions_.clear();
        for (const SplitFace& sf : splitFaces_)
            for (uint32_t k = 0; k < 3; ++k)
                localPositions_.push_back(mesh_.corner(sf.face, k));
        sortDescendingUnique(localPositions_);
        std::erase(localPositions_, split_);
    }

    bool addLocalPosition(uint32_t position)
    {
        if (position == split_ || position == newPosition_)
            return true;
        if (!spend(localPositions_.size()))
            return false;
        const auto it = std::lower_bound(localPositions_.begin(), localPositions_.end(), position, std::greater<>());
        if (it == localPositions_.end() || *it != position)
            localPositions_.insert(it, position);
        return true;
    }

    bool readNewFacePositions()
    {
        const uint32_t count = in_.readCompressedU32(ctx::kFaceCount);
        if (!decoded())
            return false;
        const uint32_t faces = mesh_.faceCount();
        if (count > declaration_.primitiveCount - std::min(declaration_.primitiveCount, faces))
            return fail(StreamFault::BeyondDeclared);
        if (count > kMaxGeneratorPrimitives - faces)
            return fail(StreamFault::TooLarge);
        buildLocalPositions();
        newFaces_.clear();
        for (uint32_t i = 0; i < count; ++i) {
            NewFace nf;
            nf.shading = in_.readCompressedU32(ctx::kShading);
            nf.orientation = in_.readCompressedU8(ctx::kFaceOrientation);
            const uint8_t type = in_.readCompressedU8(ctx::kThirdPositionType);
            if (!decoded())
                return false;
            if (nf.shading >= declaration_.shadings.size())
                return fail(StreamFault::IndexOutOfRange);
            if (nf.orientation != kOrientationLeft && nf.orientation != kOrientationRight)
                return fail(StreamFault::BadValue);
            if (type == kThirdLocal) {
                const uint32_t local = in_.readCompressedU32(ctx::kLocalThirdPosition);
                if (!decoded())
                    return false;
                if (local >= localPositions_.size())
                    return fail(StreamFault::IndexOutOfRange);
                nf.third = localPositions_[local];
            } else if (type == kThirdGlobal) {
                nf.third = in_.readCompressedU32(staticContext(r_));
                if (!decoded())
                    return false;
                if (nf.third >= r_)
                    return fail(StreamFault::IndexOutOfRange);
            } else {
                return fail(StreamFault::BadValue);
            }
            if (!addLocalPosition(nf.third))
                return false;
            newFaces_.push_back(nf);
        }
        return true;
    }

    // The prediction from the new faces: a new face whose third position is the one
    // after (before) the split position in f's winding shares that edge with f; its
    // orientation tells on which side of the edge the new position lies. When several
    // new faces share an edge with f, the last one read decides.
    std::optional<uint8_t> directPrediction(const SplitFace& sf) const
    {
        std::optional<uint8_t> vote;
        for (const NewFace& nf : newFaces_) {
            if (nf.third == split_)
                continue;
            if (nf.third == sf.next)
                vote = nf.orientation == kOrientationLeft ? kStay : kMove;
            else if (nf.third == sf.previous)
                vote = nf.orientation == kOrientationRight ? kStay : kMove;
        }
        return vote;
    }

    // Faces without a direct prediction follow the decoded flags of their neighbours
    // already walked: the faces that use f's previous or next position too. Found by
    // position rather than by winding, which matters where the early, coarse mesh folds
    // onto itself; there, neighbours can disagree, and one that moved decides.
    Prediction neighbourPrediction(const SplitFace& sf)
    {
        const WalkTally::Entry& previous = walked_.at(sf.previous);
        const WalkTally::Entry& next = walked_.at(sf.next);
        if (previous.moved || next.moved)
            return Prediction::MoveFromNeighbour;
        if (previous.walked || next.walked)
            return Prediction::StayFromNeighbour;
        return Prediction::None;
    }

    bool readStayOrMove()
    {
        walked_.build(splitFaces_);
        for (SplitFace& sf : splitFaces_) {
            if (const std::optional<uint8_t> direct = directPrediction(sf))
                sf.prediction = *direct == kMove ? Prediction::MoveFromThird : Prediction::StayFromThird;
            else
                sf.prediction = neighbourPrediction(sf);
            sf.value = in_.readCompressedU8(adaptiveContext(ctx::kStayMoveBase + static_cast<uint32_t>(sf.prediction)));
            if (!decoded())
                return false;
            if (sf.value != kStay && sf.value != kMove)
                return fail(StreamFault::BadValue);
            walked_.pass(sf);
        }
        for (const SplitFace& sf : splitFaces_) {
            if (sf.value != kMove)
                continue;
            if (!spend(mesh_.facesAtPosition[split_].size() + mesh_.facesAtPosition[newPosition_].size()))
                return false;
            cornerOf(g_.positionFaces[sf.face], sf.corner) = newPosition_;
            if (cornerAt(mesh_, sf.face, split_) == 3)
                unlinkFace(mesh_, split_, sf.face);
            linkFace(mesh_, newPosition_, sf.face);
        }
        return true;
    }

    // Keep or change of one attribute at the corner of a moved face.
    bool readFaceUpdate(uint32_t contextBase, Attribute a, size_t at, const std::vector<uint32_t>& atSplit,
                        uint32_t firstNew, uint32_t newCount)
    {
        const uint8_t keepChange = in_.readCompressedU8(adaptiveContext(contextBase + kKeepChangeOffset));
        if (!decoded())
            return false;
        if (keepChange == kKeep)
            return true;
        if (keepChange != kChange)
            return fail(StreamFault::BadValue);
        const uint8_t type = in_.readCompressedU8(adaptiveContext(contextBase + kChangeTypeOffset));
        if (!decoded())
            return false;
        uint32_t index = 0;
        if (type == kIndexNew) {
            const uint32_t i = in_.readCompressedU32(adaptiveContext(contextBase + kChangeNewOffset));
            if (decoded() && i >= newCount)
                return fail(StreamFault::IndexOutOfRange);
            index = firstNew + i;
        } else if (type == kIndexLocal) {
            const uint32_t i = in_.readCompressedU32(adaptiveContext(contextBase + kChangeLocalOffset));
            if (decoded() && i >= atSplit.size())
                return fail(StreamFault::IndexOutOfRange);
            index = atSplit.empty() ? 0 : atSplit[std::min<size_t>(i, atSplit.size() - 1)];
        } else if (type == kIndexGlobal) {
            index = in_.readCompressedU32(adaptiveContext(contextBase + kChangeGlobalOffset));
            if (decoded() && index >= poolSize(a))
                return fail(StreamFault::IndexOutOfRange);
        } else {
            return fail(StreamFault::BadValue);
        }
        if (!decoded())
            return false;
        indices(a)[at] = index;
        return true;
    }

    bool readMoveFaceInfo()
    {
        for (const SplitFace& sf : splitFaces_) {
            if (sf.value != kMove)
                continue;
            const ShadingDescription& sd = shadingOf(sf.face);
            const size_t at = size_t{3} * sf.face + sf.corner;
            if (sd.hasDiffuse() && !readFaceUpdate(ctx::kDiffuseFaceUpdateBase, {Attribute::Diffuse, 0}, at,
                                                   diffuseAtSplit_, firstNewDiffuse_, newDiffuseCount_))
                return false;
            if (sd.hasSpecular() && !readFaceUpdate(ctx::kSpecularFaceUpdateBase, {Attribute::Specular, 0}, at,
                                                    specularAtSplit_, firstNewSpecular_, newSpecularCount_))
                return false;
            for (uint32_t layer = 0; layer < sd.textureLayerCount; ++layer)
                if (!readFaceUpdate(ctx::kTexCoordFaceUpdateBase, {Attribute::TexCoord, layer}, at,
                                    texCoordAtSplit_[layer], firstNewTexCoord_, newTexCoordCount_))
                    return false;
        }
        return true;
    }

    // The attribute indices at the three corner roles of a new face: duplicate flags
    // reuse the indices of the previous new face with this attribute; the others are
    // local (into the indices used at the split position, or at the third position for
    // the third corner) or global.
    bool readNewFaceIndices(Context duplicateContext, Context typeContext, Context localContext,
                            Context globalContext, Attribute a, RoleMemory& memory, NewFace& nf)
    {
        const uint8_t duplicates = in_.readCompressedU8(duplicateContext);
        if (!decoded())
            return false;
        if ((duplicates & ~kAllDuplicateFlags) != 0)
            return fail(StreamFault::BadValue);
        std::array<uint32_t, kRoleCount> chosen{};
        for (uint32_t role = 0; role < kRoleCount; ++role) {
            if ((duplicates >> role) & 1) {
                chosen[role] = memory.index[role];
                if (chosen[role] >= poolSize(a))
                    return fail(StreamFault::IndexOutOfRange);
                continue;
            }
            const uint8_t type = in_.readCompressedU8(typeContext);
            if (!decoded())
                return false;
            if (type == kIndexLocal) {
                const std::vector<uint32_t>* list = &attributeList(a);
                if (role == kRoleThird) {
                    if (!attributeIndicesAt(nf.third, a, thirdList_))
                        return false;
                    list = &thirdList_;
                }
                const uint32_t i = in_.readCompressedU32(localContext);
                if (!decoded())
                    return false;
                if (i >= list->size())
                    return fail(StreamFault::IndexOutOfRange);
                chosen[role] = (*list)[i];
            } else if (type == kIndexGlobal) {
                chosen[role] = in_.readCompressedU32(globalContext);
                if (!decoded())
                    return false;
                if (chosen[role] >= poolSize(a))
                    return fail(StreamFault::IndexOutOfRange);
            } else {
                return fail(StreamFault::BadValue);
            }
        }
        memory.index = chosen;
        for (uint32_t role = 0; role < kRoleCount; ++role) {
            CornerAttributes& c = nf.roles[role];
            switch (a.kind) {
            case Attribute::Diffuse: c.diffuse = chosen[role]; break;
            case Attribute::Specular: c.specular = chosen[role]; break;
            case Attribute::TexCoord: c.texCoord[a.layer] = chosen[role]; break;
            }
        }
        return true;
    }

    const std::vector<uint32_t>& attributeList(Attribute a) const
    {
        switch (a.kind) {
        case Attribute::Diffuse: return diffuseAtSplit_;
        case Attribute::Specular: return specularAtSplit_;
        case Attribute::TexCoord: break;
        }
        return texCoordAtSplit_[a.layer];
    }

    bool readNewFaceInfo()
    {
        for (NewFace& nf : newFaces_) {
            const ShadingDescription& sd = declaration_.shadings[nf.shading];
            if (sd.hasDiffuse() &&
                !readNewFaceIndices(ctx::kColorDuplicate, ctx::kColorIndexType, ctx::kColorIndexLocal,
                                    ctx::kColorIndexGlobal, {Attribute::Diffuse, 0}, mesh_.lastDiffuse, nf))
                return false;
            if (sd.hasSpecular() &&
                !readNewFaceIndices(ctx::kColorDuplicate, ctx::kColorIndexType, ctx::kColorIndexLocal,
                                    ctx::kColorIndexGlobal, {Attribute::Specular, 0}, mesh_.lastSpecular, nf))
                return false;
            for (uint32_t layer = 0; layer < sd.textureLayerCount; ++layer)
                if (!readNewFaceIndices(ctx::kTexCoordDuplicate, ctx::kTexCoordIndexType, ctx::kTexCoordIndexLocal,
                                        ctx::kTexCoordIndexGlobal, {Attribute::TexCoord, layer},
                                        mesh_.lastTexCoord[layer], nf))
                    return false;
        }
        return true;
    }

    bool addNewFaces()
    {
        for (const NewFace& nf : newFaces_) {
            const bool left = nf.orientation == kOrientationLeft;
            const std::array<uint32_t, 3> positions = {left ? split_ : newPosition_, left ? newPosition_ : split_,
                                                       nf.third};
            const std::array<CornerAttributes, 3> attributes = {
                nf.roles[left ? kRoleSplit : kRoleNew], nf.roles[left ? kRoleNew : kRoleSplit], nf.roles[kRoleThird]};
            appendFace(mesh_, nf.shading, positions, attributes);
        }
        return true;
    }

    bool readNewPosition()
    {
        const PositionDifference difference = readPositionDifference(in_);
        if (!decoded())
            return false;
        IFXVector3 position;
        if (!applyPositionDifference(hasSplit_ ? g_.positions[split_] : IFXVector3{0, 0, 0}, difference,
                                     declaration_.positionInverseQuant, position))
            return fail(StreamFault::BadValue);
        g_.positions.push_back(position);
        return true;
    }

    // Normals of every position of the faces around the new position, largest first:
    // a count, the quantised normals, then one local index per face at that position.
    // Their values are predicted from merged face normals in a way we do not rebuild,
    // so they are read and dropped.
    bool readNewNormals()
    {
        if (declaration_.excludesNormals())
            return true;
        neighbourhood_.clear();
        if (!spend(mesh_.facesAtPosition[newPosition_].size()))
            return false;
        for (uint32_t face : mesh_.facesAtPosition[newPosition_])
            for (uint32_t k = 0; k < 3; ++k)
                neighbourhood_.push_back(mesh_.corner(face, k));
        sortDescendingUnique(neighbourhood_);
        for (uint32_t position : neighbourhood_) {
            const uint32_t count = in_.readCompressedU32(ctx::kNormalCount);
            skipQuantisedNormals(in_, count);
            const size_t faces = mesh_.facesAtPosition[position].size();
            for (size_t i = 0; i < faces && in_.ok(); ++i) {
                const uint32_t local = in_.readCompressedU32(ctx::kNormalLocalIndex);
                if (in_.ok() && count > 0 && local >= count)
                    return fail(StreamFault::IndexOutOfRange);
            }
            if (!decoded())
                return false;
        }
        return true;
    }

    const GeneratorDeclaration& declaration_;
    ClodMeshState& mesh_;
    AuthorGeometry& g_;

    uint32_t r_ = 0;
    uint32_t split_ = 0;
    uint32_t newPosition_ = 0;
    bool hasSplit_ = false;
    std::vector<SplitFace> splitFaces_;
    WalkTally walked_;
    std::vector<uint32_t> localPositions_;
    std::vector<NewFace> newFaces_;
    std::vector<uint32_t> diffuseAtSplit_;
    std::vector<uint32_t> specularAtSplit_;
    std::array<std::vector<uint32_t>, kIfxMaxTextureLayers> texCoordAtSplit_;
    std::vector<uint32_t> thirdList_;
    std::vector<uint32_t> neighbourhood_;
    uint32_t firstNewDiffuse_ = 0;
    uint32_t newDiffuseCount_ = 0;
    uint32_t firstNewSpecular_ = 0;
    uint32_t newSpecularCount_ = 0;
    uint32_t firstNewTexCoord_ = 0;
    uint32_t newTexCoordCount_ = 0;
};

} // namespace

StreamFault readClodProgressive(BitDecoder& in, const GeneratorDeclaration& declaration, ClodMeshState& mesh)
{
    uint32_t start = 0, end = 0;
    uint64_t reserve = 0;
    if (const StreamFault fault = readResolutionRange(in, mesh.positionCount(), declaration.maxResolution, start, end,
                                                      reserve);
        fault != StreamFault::None)
        return fault;
    indexFacesAtPositions(mesh);
    mesh.geometry.positions.reserve(reserve);
    mesh.facesAtPosition.reserve(reserve);

    UpdateReader reader(in, declaration, mesh);
    for (uint32_t r = start; r < end; ++r)
        if (const StreamFault fault = reader.read(r); fault != StreamFault::None)
            return fault;
    return StreamFault::None;
}

} // namespace u3dlib
