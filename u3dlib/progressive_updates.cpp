#include "u3dlib/progressive_updates.h"

#include "u3dlib/geometry_contexts.h"

#include <cmath>

namespace u3dlib {

namespace ctx = geometry_contexts;

StreamFault readResolutionRange(BitDecoder& in, uint32_t current, uint32_t declaredMax, uint32_t& start,
                                uint32_t& end, uint64_t& reserve)
{
    start = in.readU32();
    end = in.readU32();
    if (!in.ok())
        return StreamFault::Decode;
    if (start != current || end < start)
        return StreamFault::OutOfOrder;
    if (end > declaredMax)
        return StreamFault::BeyondDeclared;
    if (end > kMaxGeneratorPositions)
        return StreamFault::TooLarge;
    reserve = std::min<uint64_t>(end, current + in.bytesLeft());
    return StreamFault::None;
}

double inverseQuant(double prediction, bool negative, uint32_t q, float inverse)
{
    const double step = static_cast<double>(q) * inverse;
    return prediction + (negative ? -step : step);
}

void averageOf(const std::vector<IFXVector4>& pool, const std::vector<uint32_t>& indices, double (&out)[4])
{
    std::fill(std::begin(out), std::end(out), 0.0);
    if (indices.empty())
        return;
    for (uint32_t index : indices) {
        const IFXVector4& v = pool[index];
        out[0] += v.r;
        out[1] += v.g;
        out[2] += v.b;
        out[3] += v.a;
    }
    for (double& v : out)
        v /= static_cast<double>(indices.size());
}

IFXVector4 readQuantisedValue(BitDecoder& in, Context signContext, const Context (&diff)[4],
                              const double (&prediction)[4], float inverse)
{
    const uint8_t signs = in.readCompressedU8(signContext);
    double c[4];
    for (int k = 0; k < 4; ++k)
        c[k] = inverseQuant(prediction[k], (signs >> k) & 1, in.readCompressedU32(diff[k]), inverse);
    return IFXVector4{static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]),
                      static_cast<float>(c[3])};
}

PositionDifference readPositionDifference(BitDecoder& in)
{
    PositionDifference d;
    d.signs = in.readCompressedU8(ctx::kPositionSign);
    for (int k = 0; k < 3; ++k)
        d.q[k] = in.readCompressedU32(ctx::kPositionDiff[k]);
    return d;
}

bool applyPositionDifference(const IFXVector3& prediction, const PositionDifference& d, float inverse,
                             IFXVector3& position)
{
    position = IFXVector3{static_cast<float>(inverseQuant(prediction.x, d.signs & 1, d.q[0], inverse)),
                          static_cast<float>(inverseQuant(prediction.y, d.signs & 2, d.q[1], inverse)),
                          static_cast<float>(inverseQuant(prediction.z, d.signs & 4, d.q[2], inverse))};
    return std::isfinite(position.x) && std::isfinite(position.y) && std::isfinite(position.z);
}

void skipQuantisedNormals(BitDecoder& in, uint32_t count)
{
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        in.readCompressedU8(ctx::kNormalSign);
        for (const Context c : ctx::kNormalDiff)
            in.readCompressedU32(c);
    }
}

} // namespace u3dlib
