#include "u3dlib/modifier_chain.h"

namespace u3dlib {

const char* describeChainStatus(ChainStatus status)
{
    switch (status) {
    case ChainStatus::Ok: return "ok";
    case ChainStatus::FieldsCut: return "modifier chain fields cut short";
    case ChainStatus::CountMissing: return "modifier chain count missing";
    }
    return "unknown modifier chain status";
}

ChainStatus readModifierChainHeader(const Block& chain, ModifierChainHeader& out)
{
    out = ModifierChainHeader{};
    // The chain fields are plain values, so the decoder stays byte-aligned and its
    // position in bytes is where the padding starts.
    BitDecoder in(chain.data);
    out.name = in.readString();
    out.chainType = in.readU32();
    out.attributes = in.readU32();
    if ((out.attributes & kChainHasBoundingSphere) != 0)
        for (float& v : out.boundingSphere)
            v = in.readF32();
    if ((out.attributes & kChainHasBoundingBox) != 0)
        for (float& v : out.boundingBox)
            v = in.readF32();
    if (!in.ok())
        return ChainStatus::FieldsCut;

    const uint64_t countAt = paddedTo4(in.bitsConsumed() / 8);
    if (countAt + 4 > chain.data.size())
        return ChainStatus::CountMissing;
    out.modifierCount = loadU32LittleEndian(chain.data, static_cast<size_t>(countAt));
    const auto nestedAt = static_cast<size_t>(countAt + 4);
    out.nestedBlocks = chain.data.subspan(nestedAt);
    out.nestedOffset = chain.offset + kBlockHeaderSize + nestedAt;
    return ChainStatus::Ok;
}

} // namespace u3dlib
