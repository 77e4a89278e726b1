// The square root of the compressed tessellations must end on the very value of the
// iteration as defined, started from q with its exponent halved by ldexp, whether
// computed or remembered.
#include "prc/geometry/compressed_tess_vector.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace {

double definedSquareRoot(float q)
{
    double x = q;
    if ((std::bit_cast<uint32_t>(q) & 0x40000000u) != 0 && std::isfinite(x)) {
        const int exponent = std::ilogb(x);
        x = std::ldexp(x, exponent / 2 - exponent);
    }
    for (int step = 0; step < kTessNewtonMaxSteps; ++step) {
        const double next = (q / x + x) / 2;
        if (next == x)
            break;
        x = next;
    }
    return x;
}

TEST(NewtonSquareRoot, EndsOnTheDefinedValueForSampledFloats)
{
    // Every bit pattern in steps of a prime, both signs, the specials included.
    constexpr uint64_t kStride = 4099;
    for (uint64_t bits = 0; bits <= UINT32_MAX; bits += kStride) {
        const float q = std::bit_cast<float>(static_cast<uint32_t>(bits));
        const double want = definedSquareRoot(q);
        for (int call = 0; call < 2; ++call) { // computed, then remembered
            const double got = newtonSquareRoot(q);
            ASSERT_TRUE(std::bit_cast<uint64_t>(got) == std::bit_cast<uint64_t>(want) ||
                        (std::isnan(got) && std::isnan(want)))
                << "q bits " << bits << " call " << call;
        }
    }
    for (const float q : {2.0f, 3.0f, 4.0f, 3.4028235e38f, 1.9999999f})
        EXPECT_EQ(newtonSquareRoot(q), definedSquareRoot(q)) << q;
}

} // namespace
