// The square root of the compressed tessellations must end on the very value of the
// iteration as defined, started from q with its exponent halved by ldexp, though it is
// found from the hardware root.
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

bool endsOnTheDefinedValue(uint32_t bits)
{
    const float q = std::bit_cast<float>(bits);
    const double want = definedSquareRoot(q);
    const double got = newtonSquareRoot(q);
    return std::bit_cast<uint64_t>(got) == std::bit_cast<uint64_t>(want) || (std::isnan(got) && std::isnan(want));
}

TEST(NewtonSquareRoot, EndsOnTheDefinedValueForSampledFloats)
{
    // Every bit pattern in steps of a prime, both signs, the specials included.
    constexpr uint64_t kStride = 4099;
    for (uint64_t bits = 0; bits <= UINT32_MAX; bits += kStride)
        ASSERT_TRUE(endsOnTheDefinedValue(static_cast<uint32_t>(bits))) << "q bits " << bits;
    for (const float q : {2.0f, 3.0f, 4.0f, 3.4028235e38f, 1.9999999f, 1e-45f})
        EXPECT_EQ(newtonSquareRoot(q), definedSquareRoot(q)) << q;
}

// The claim the shortcut rests on, for every positive float: minutes, so run on demand
// (--gtest_also_run_disabled_tests).
TEST(NewtonSquareRoot, DISABLED_EndsOnTheDefinedValueForEveryPositiveFloat)
{
    constexpr uint32_t kPositiveInfinity = 0x7F800000u;
    for (uint32_t bits = 1; bits < kPositiveInfinity; ++bits)
        ASSERT_TRUE(endsOnTheDefinedValue(bits)) << "q bits " << bits;
}

} // namespace
