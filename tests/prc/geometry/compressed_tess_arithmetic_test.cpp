// Lengths of the compressed tessellation decoder at the edges of single precision. The
// frames and normal directions of real records are pinned by the corpus's golden results.
#include "prc/geometry/compressed_tess_vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(CompressedTessArithmetic, LengthsRoundTheSquareToFloat)
{
    const std::pair<TessVec3, double> cases[] = {
        {{3, 4, 0}, 5},
        {{1, 1e-5, 0}, 1}, // 1 + 1e-10 is 1 in single precision
        {{0, 0, 2e-7}, 2e-7},
        {{1e-7, 0, 0}, -1}, // below single-precision epsilon: degenerate
        {{0, 0, 0}, -1},
        {{std::numeric_limits<double>::quiet_NaN(), 0, 0}, -1},
        {{1e200, 0, 0}, -1}, // the square overflows a float
    };
    for (const auto& [v, length] : cases) {
        if (length < 0)
            EXPECT_LT(tessVectorLength(v), 0) << v.x;
        else
            EXPECT_NEAR(tessVectorLength(v), length, length * 1e-7) << v.x;
    }
    for (const float q : {0.25f, 2.0f, 3.0f, 1e-20f, 3.4e38f, 1e-45f, 1.9999999f}) {
        const double root = std::sqrt(static_cast<double>(q));
        EXPECT_NEAR(newtonSquareRoot(q), root, root * 4e-16) << q;
    }
    TessVec3 tiny{1e-8, 0, 0};
    EXPECT_FALSE(normaliseTessVector(tiny));
    EXPECT_EQ(tiny.x, 1e-8);
}

} // namespace
