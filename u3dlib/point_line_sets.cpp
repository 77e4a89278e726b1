#include "u3dlib/point_line_sets.h"

#include "u3dlib/geometry_contexts.h"
#include "u3dlib/progressive_updates.h"

#include <algorithm>

namespace u3dlib {

namespace {

namespace ctx = geometry_contexts;

constexpr uint8_t kNewValue = 0; // any other duplicate flag reuses the last value added

class PointLineReader : ContinuationReader {
public:
    PointLineReader(BitDecoder& in, const GeneratorDeclaration& declaration, PointLineState& state)
        : ContinuationReader(in), d_(declaration), s_(state), g_(state.geometry)
    {
    }

    StreamFault read(uint32_t r)
    {
        r_ = r;
        s_.latestEndAt.push_back(PointLineState::kNoEnd);
        s_.endCountAt.push_back(0);
        readSplitAndPosition() && readNormals() && readItems();
        return updateFault();
    }

private:
    // Positions before the first have no split position: the range of one value is
    // coded in no bits.
    uint32_t readEarlierPosition()
    {
        return in_.readCompressedU32(staticContext(std::max(r_, uint32_t{1})));
    }

    bool readSplitAndPosition()
    {
        split_ = readEarlierPosition();
        const PositionDifference difference = readPositionDifference(in_);
        if (!decoded())
            return false;
        hasSplit_ = r_ > 0;
        if (hasSplit_ && split_ >= r_)
            return fail(StreamFault::IndexOutOfRange);
        IFXVector3 p;
        if (!applyPositionDifference(hasSplit_ ? g_.positions[split_] : IFXVector3{0, 0, 0}, difference,
                                     d_.positionInverseQuant, p))
            return fail(StreamFault::BadValue);
        g_.positions.push_back(p);
        return true;
    }

    bool readNormals()
    {
        normalCount_ = in_.readCompressedU32(ctx::kNormalCount);
        skipQuantisedNormals(in_, normalCount_);
        return decoded();
    }

    // Average of the pool values used by the item ends at the split position.
    bool predictionAtSplit(const std::vector<uint32_t>& endIndices, const std::vector<IFXVector4>& pool,
                           double (&out)[4])
    {
        std::fill(std::begin(out), std::end(out), 0.0);
        if (!hasSplit_ || endIndices.empty())
            return true;
        if (!spend(s_.endCountAt[split_]))
            return false;
        used_.clear();
        for (uint32_t end = s_.latestEndAt[split_]; end != PointLineState::kNoEnd;
             end = s_.earlierEndAtSamePosition[end])
            if (end < endIndices.size() && endIndices[end] < pool.size())
                used_.push_back(endIndices[end]);
        std::sort(used_.begin(), used_.end());
        used_.erase(std::unique(used_.begin(), used_.end()), used_.end());
        averageOf(pool, used_, out);
        return true;
    }

    // One attribute of one item end: a duplicate flag, then unless it is set a new
    // value (sign byte, four quantised differences). Returns the pool index.
    bool readEndValue(Context duplicateContext, Context signContext, const Context (&diff)[4],
                      std::vector<IFXVector4>& pool, const std::vector<uint32_t>& endIndices, float inverse,
                      uint32_t declared, uint32_t& index)
    {
        const uint8_t duplicate = in_.readCompressedU8(duplicateContext);
        if (!decoded())
            return false;
        if (duplicate != kNewValue) {
            if (pool.empty())
                return fail(StreamFault::IndexOutOfRange);
            index = static_cast<uint32_t>(pool.size() - 1);
            return true;
        }
        if (pool.size() >= declared)
            return fail(StreamFault::BeyondDeclared);
        if (pool.size() >= kMaxGeneratorAttributes)
            return fail(StreamFault::TooLarge);
        double prediction[4];
        if (!predictionAtSplit(endIndices, pool, prediction))
            return false;
        const IFXVector4 value = readQuantisedValue(in_, signContext, diff, prediction, inverse);
        if (!decoded())
            return false;
        index = static_cast<uint32_t>(pool.size());
        pool.push_back(value);
        return true;
    }

    bool readEnd(const ShadingDescription& sd, uint32_t position)
    {
        const uint32_t local = in_.readCompressedU32(ctx::kNormalLocalIndex);
        if (!decoded())
            return false;
        if (normalCount_ > 0 && local >= normalCount_)
            return fail(StreamFault::IndexOutOfRange);
        uint32_t diffuse = 0;
        uint32_t specular = 0;
        std::array<uint32_t, kIfxMaxTextureLayers> texCoord{};
        if (sd.hasDiffuse() && !readEndValue(ctx::kColorDuplicate, ctx::kItemColorSign, ctx::kColorDiff,
                                             g_.diffuseColors, g_.diffuseIndices, d_.diffuseInverseQuant,
                                             d_.diffuseColorCount, diffuse))
            return false;
        if (sd.hasSpecular() && !readEndValue(ctx::kSpecularDuplicate, ctx::kItemColorSign, ctx::kColorDiff,
                                              g_.specularColors, g_.specularIndices, d_.specularInverseQuant,
                                              d_.specularColorCount, specular))
            return false;
        for (uint32_t layer = 0; layer < sd.textureLayerCount; ++layer)
            if (!readEndValue(ctx::kTexCoordDuplicate, ctx::kTexCoordSign, ctx::kTexCoordDiff, g_.texCoords,
                              g_.texCoordIndices[layer], d_.texCoordInverseQuant, d_.texCoordCount, texCoord[layer]))
                return false;

        const auto end = static_cast<uint32_t>(g_.positionIndices.size());
        g_.positionIndices.push_back(position);
        if (s_.keepsDiffuse)
            g_.diffuseIndices.push_back(diffuse);
        if (s_.keepsSpecular)
            g_.specularIndices.push_back(specular);
        for (uint32_t layer = 0; layer < s_.texLayers; ++layer)
            g_.texCoordIndices[layer].push_back(texCoord[layer]);
        s_.earlierEndAtSamePosition.push_back(s_.latestEndAt[position]);
        s_.latestEndAt[position] = end;
        ++s_.endCountAt[position];
        return true;
    }

    bool readItems()
    {
        const uint32_t count = in_.readCompressedU32(ctx::kItemCountAndShading);
        if (!decoded())
            return false;
        if (count > d_.primitiveCount - std::min(d_.primitiveCount, g_.primitiveCount))
            return fail(StreamFault::BeyondDeclared);
        if (count > kMaxGeneratorPrimitives - g_.primitiveCount)
            return fail(StreamFault::TooLarge);
        const bool lines = d_.kind == GeneratorKind::LineSet;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t shading = in_.readCompressedU32(ctx::kItemCountAndShading);
            const uint32_t first = lines ? readEarlierPosition() : r_;
            if (!decoded())
                return false;
            if (shading >= d_.shadings.size() || first > r_ || (lines && r_ > 0 && first == r_))
                return fail(StreamFault::IndexOutOfRange);
            const ShadingDescription& sd = d_.shadings[shading];
            if (!readEnd(sd, first) || (lines && !readEnd(sd, r_)))
                return false;
            g_.primitiveMaterials.push_back(shading);
            ++g_.primitiveCount;
        }
        return true;
    }

    const GeneratorDeclaration& d_;
    PointLineState& s_;
    AuthorGeometry& g_;
    uint32_t r_ = 0;
    uint32_t split_ = 0;
    bool hasSplit_ = false;
    uint32_t normalCount_ = 0;
    std::vector<uint32_t> used_;
};

} // namespace

void initPointLineState(PointLineState& state, const GeneratorDeclaration& declaration)
{
    state = PointLineState{};
    state.geometry.cornersPerPrimitive = declaration.cornersPerPrimitive();
    keepAttributesOf(declaration, state);
}

StreamFault readPointLineContinuation(BitDecoder& in, const GeneratorDeclaration& declaration, PointLineState& state)
{
    uint32_t start = 0, end = 0;
    uint64_t reserve = 0;
    const auto positions = static_cast<uint32_t>(state.geometry.positions.size());
    if (const StreamFault fault = readResolutionRange(in, positions, declaration.maxResolution, start, end, reserve);
        fault != StreamFault::None)
        return fault;
    state.geometry.positions.reserve(reserve);
    state.latestEndAt.reserve(reserve);
    state.endCountAt.reserve(reserve);

    PointLineReader reader(in, declaration, state);
    for (uint32_t r = start; r < end; ++r)
        if (const StreamFault fault = reader.read(r); fault != StreamFault::None)
            return fault;
    return StreamFault::None;
}

} // namespace u3dlib
