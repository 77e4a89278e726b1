// Compressed tessellation records of any content must decode or fail with a runtime
// error, and a decoded mesh must only name vertices it holds.
#include "prc/geometry/compressed_tess_mesh.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace {

constexpr size_t kMaxElements = 4096;

template <typename T>
std::vector<T> someValues(FuzzedDataProvider& in)
{
    std::vector<T> values(in.ConsumeIntegralInRange<size_t>(0, kMaxElements));
    for (T& v : values)
        v = in.ConsumeIntegral<T>();
    return values;
}

std::vector<bool> someBits(FuzzedDataProvider& in)
{
    std::vector<bool> bits(in.ConsumeIntegralInRange<size_t>(0, kMaxElements));
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = in.ConsumeBool();
    return bits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    PRC3DTessCompressed r;
    r.tolerance = in.ConsumeFloatingPoint<double>();
    r.hasOrigin = in.ConsumeBool();
    for (float& o : r.origin)
        o = in.ConsumeFloatingPoint<float>();
    r.normals_as_reversal_bits = in.ConsumeBool();
    r.normal_angle_number_of_bits = in.ConsumeIntegral<uint8_t>();
    r.perTriangleStyles = in.ConsumeBool();
    r.triangle_face_array = someValues<uint32_t>(in);
    r.edge_status_array = someValues<uint8_t>(in);
    r.point_array = someValues<int32_t>(in);
    r.point_is_reference_array = someBits(in);
    r.point_reference_array = someValues<uint32_t>(in);
    r.normal_is_reversed = someBits(in);
    r.normal_binary_data = someBits(in);
    r.normal_angle_array = someValues<uint16_t>(in);
    r.face_has_one_normal = someBits(in);
    r.face_style_array = someValues<uint16_t>(in);

    GlobalsData globals;
    globals.colours = {{1, 0, 0}, {0, 1, 0}};
    globals.styles = {{1, false, 0}, {1, false, 1}};
    try {
        const TessMesh mesh = compressedTessToMesh(r, globals, nullptr);
        if (mesh.colours.size() != mesh.vertices.size())
            __builtin_trap();
        for (const uint32_t v : mesh.triangles)
            if (3 * uint64_t{v} + 3 > mesh.vertices.size())
                __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
