// Lengths, frames and normal directions of the compressed tessellation decoder.
#include "prc/geometry/compressed_normals.h"
#include "prc/geometry/compressed_tess_vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

void expectVector(const TessVec3& got, const TessVec3& want, double tolerance = 1e-12)
{
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

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

TEST(CompressedTessArithmetic, DefaultFramesFromTheWorldAxes)
{
    struct Case {
        TessVec3 direction, y, w;
    };
    const Case cases[] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, // parallel to the first axis tried
        {{0, 0, 2}, {0, 1, 0}, {-1, 0, 0}},
        {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
    };
    for (const Case& c : cases)
        for (const int mode : {kTessFrameAsGiven, kTessFrameNormalised}) {
            const TessFrame frame = defaultTessFrame(c.direction, mode);
            expectVector(frame.y, c.y);
            expectVector(frame.w, c.w);
        }
}

TEST(CompressedTessArithmetic, SeriesDeviationAndReferenceWidths)
{
    for (double x = 0; x <= kHalfPi + 1e-12; x += kHalfPi / 64) {
        EXPECT_NEAR(cosApprox(x), std::cos(x), 4e-6) << x;
        EXPECT_NEAR(sinApprox(x), std::sin(x), 4e-6) << x;
    }
    EXPECT_EQ(cosApprox(kHalfPi), 0.0);
    EXPECT_EQ(sinApprox(kHalfPi), 1.0);

    const std::pair<TessVec3, double> deviations[] = {
        {{0, 3, 0}, 0}, {{1, 1, 0}, std::numbers::pi / 4}, {{-1, 1, 0}, std::numbers::pi / 4},
        {{2, 0, 0}, kHalfPi}, {{-1, 0, 0}, kHalfPi}, // parallel either way
    };
    for (const auto& [b, deviation] : deviations)
        EXPECT_NEAR(directionDeviation({1, 0, 0}, b), deviation, 1e-12);

    const std::pair<uint64_t, uint32_t> widths[] = {{1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 3}, {6, 4}, {9, 4}, {10, 5}};
    for (const auto& [length, width] : widths)
        EXPECT_EQ(normalReferenceWidth(length), width) << length;
}

TEST(CompressedTessArithmetic, NormalsInTheFrameOfTheRightestCorner)
{
    const TessVec3 o{0, 0, 0}, x{1, 0, 0}, y{0, 1, 0}, xy{1, 1, 0};
    const double third = kHalfPi / 3;
    struct Case {
        const char* name;
        TessVec3 a, b, c;
        double alpha, beta;
        bool b1, b2, b3;
        TessVec3 normal;
    };
    // Right angle at A: U = AB = x, W = AB x AC = z, V = W x U = y.
    const Case cases[] = {
        {"U", o, x, y, 0, 0, false, false, false, {1, 0, 0}},
        {"U flipped", o, x, y, 0, 0, false, true, false, {-1, 0, 0}},
        {"V", o, x, y, kHalfPi, 0, false, false, false, {0, 1, 0}},
        {"V flipped", o, x, y, kHalfPi, 0, false, false, true, {0, -1, 0}},
        {"W flipped flips V", o, x, y, kHalfPi, 0, true, false, false, {0, -1, 0}},
        {"W", o, x, y, 0, kHalfPi, false, false, false, {0, 0, 1}},
        {"W flipped", o, x, y, 0, kHalfPi, true, false, false, {0, 0, -1}},
        {"30 and 60 degrees", o, x, y, third, 2 * third, false, false, false, {0.4330127, 0.25, 0.8660254}},
        {"right angle at B: U = BC, V = -x", o, x, xy, kHalfPi, 0, false, false, false, {-1, 0, 0}},
        {"right angle at C: U = CA", x, y, o, 0, 0, false, false, false, {1, 0, 0}},
        {"right angle at C: V", x, y, o, kHalfPi, 0, false, false, false, {0, 1, 0}},
        {"degenerate", o, o, y, 0, 0, false, false, false, {0, 0, 1}},
        {"collinear: W from the world axes", o, x, {2, 0, 0}, 0, kHalfPi, false, false, false, {0, 0, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectVector(normalFromAngles(c.a, c.b, c.c, c.alpha, c.beta, c.b1, c.b2, c.b3, kTessFrameAsGiven), c.normal,
                     1e-5);
    }
}

} // namespace
