#include "u3dlib/meta_data.h"

namespace u3dlib {

MetaDataResult readMetaData(std::span<const uint8_t> section)
{
    MetaDataResult result;
    if (section.empty()) {
        result.end.status = EndStatus::Exact;
        return result;
    }
    BitDecoder in(section);
    const uint32_t count = in.readU32();
    if (in.ok() && count > in.bytesLeft() / kMinMetaDataPairBytes)
        in.fail(DecodeError::PastEnd);
    if (in.ok())
        result.pairs.reserve(count);
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        MetaDataPair pair;
        pair.attributes = in.readU32();
        pair.key = in.readString();
        if (pair.isBinary()) {
            const uint32_t size = in.readU32();
            if (in.ok() && size > in.bytesLeft())
                in.fail(DecodeError::PastEnd);
            if (in.ok()) {
                pair.value.resize(size);
                in.readBytes({reinterpret_cast<uint8_t*>(pair.value.data()), pair.value.size()});
            }
        } else {
            pair.value = in.readString();
        }
        if (in.ok())
            result.pairs.push_back(std::move(pair));
    }
    result.error = in.error();
    result.end = in.finish();
    if (!in.ok())
        result.error = in.error();
    return result;
}

} // namespace u3dlib
