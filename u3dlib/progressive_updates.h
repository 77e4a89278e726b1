// What the progressive continuations of CLOD meshes and of point and line sets share:
// the resolution range a block covers, the work budget of a block, and the quantised
// values each update codes as differences from a prediction.
#pragma once

#include "u3dlib/bit_decoder.h"
#include "u3dlib/clod_mesh_state.h"
#include "u3dlib/stream_fault.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace u3dlib {

// What the readers of one continuation block share: the first fault, at which the
// reading steps stop, and the work budget of the block (neighbourhood entries looked
// at), so that a hostile stream cannot make a few bits cost a scan of a huge fan,
// update after update.
class ContinuationReader {
protected:
    explicit ContinuationReader(BitDecoder& in) : in_(in), workLeft_(kWorkBase + kWorkPerDataBit * in.sectionBits())
    {
    }

    bool fail(StreamFault fault)
    {
        if (fault_ == StreamFault::None)
            fault_ = fault;
        return false;
    }
    bool decoded() { return in_.ok() || fail(StreamFault::Decode); }
    bool spend(uint64_t work)
    {
        if (work > workLeft_)
            return fail(StreamFault::TooLarge);
        workLeft_ -= work;
        return true;
    }
    // The fault of the update just read: a decoder failure the steps did not see too.
    StreamFault updateFault()
    {
        if (fault_ == StreamFault::None && !in_.ok())
            fault_ = StreamFault::Decode;
        return fault_;
    }

    BitDecoder& in_;

private:
    static constexpr uint64_t kWorkBase = uint64_t{1} << 22;
    static constexpr uint64_t kWorkPerDataBit = 64;
    StreamFault fault_ = StreamFault::None;
    uint64_t workLeft_;
};

// The start and end resolution of a continuation: it must go on from the current
// resolution, up to at most the declared one and the fixed limit. reserve: how many
// positions to make room for, as far as the bytes left could hold.
StreamFault readResolutionRange(BitDecoder& in, uint32_t current, uint32_t declaredMax, uint32_t& start,
                                uint32_t& end, uint64_t& reserve);

// The attribute index arrays a generator keeps: those any shading description uses.
template <typename State>
void keepAttributesOf(const GeneratorDeclaration& declaration, State& state)
{
    for (const ShadingDescription& shading : declaration.shadings) {
        state.keepsDiffuse = state.keepsDiffuse || shading.hasDiffuse();
        state.keepsSpecular = state.keepsSpecular || shading.hasSpecular();
        state.texLayers = std::max(state.texLayers, shading.textureLayerCount);
    }
}

double inverseQuant(double prediction, bool negative, uint32_t q, float inverse);

// Average of the pool values at the given indices; zero without any.
void averageOf(const std::vector<IFXVector4>& pool, const std::vector<uint32_t>& indices, double (&out)[4]);

// A colour or texture coordinate: a sign byte, then four quantised differences from
// the prediction. The caller checks the decoder.
IFXVector4 readQuantisedValue(BitDecoder& in, Context signContext, const Context (&diff)[4],
                              const double (&prediction)[4], float inverse);

// A new position: a sign byte and three quantised differences, read before the
// prediction (the split position) is known to exist.
struct PositionDifference {
    uint8_t signs = 0;
    uint32_t q[3] = {};
};
PositionDifference readPositionDifference(BitDecoder& in);
// False when the position is not finite.
bool applyPositionDifference(const IFXVector3& prediction, const PositionDifference& d, float inverse,
                             IFXVector3& position);

// Normals: a sign byte and three quantised differences each, read and dropped.
void skipQuantisedNormals(BitDecoder& in, uint32_t count);

} // namespace u3dlib
