#include "engine/dsp/ReproducibleMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <utility>

namespace {

// Distance in units of the last place of `expected`.
double UlpDistance(double value, double expected)
{
    const double ulp = std::nextafter(std::fabs(expected), INFINITY) - std::fabs(expected);
    return std::fabs(value - expected) / ulp;
}

}  // namespace

TEST(ReproducibleMath, AgreesWithTheCLibraryWithinAFewUlps)
{
    // The C library's results are within about 1 ulp of the exact values.
    constexpr int kSteps = 50000;
    double worstExp = 0.0;
    double worstSin = 0.0;
    double worstCos = 0.0;
    double worstTan = 0.0;
    double worstAbsolute = 0.0;
    for (int i = 0; i <= kSteps; ++i) {
        const double u = static_cast<double>(i) / kSteps;
        const double e = -40.0 + 80.0 * u;
        worstExp = std::max(worstExp, UlpDistance(ReproducibleExp(e), std::exp(e)));
        const double x = -3.141592653589793 + 2.0 * 3.141592653589793 * u;
        // Near the zeros of sine and cosine the absolute error matters.
        if (std::fabs(std::sin(x)) > 1e-3) {
            worstSin = std::max(worstSin, UlpDistance(ReproducibleSin(x), std::sin(x)));
        }
        if (std::fabs(std::cos(x)) > 1e-3) {
            worstCos = std::max(worstCos, UlpDistance(ReproducibleCos(x), std::cos(x)));
        }
        worstAbsolute = std::max(worstAbsolute, std::fabs(ReproducibleSin(x) - std::sin(x)));
        worstAbsolute = std::max(worstAbsolute, std::fabs(ReproducibleCos(x) - std::cos(x)));
        const double t = 1.5707963267948966 * u * 0.999999;
        worstTan = std::max(worstTan, UlpDistance(ReproducibleTan(t), std::tan(t)));
    }
    EXPECT_LE(worstExp, 4.0);
    EXPECT_LE(worstSin, 4.0);
    EXPECT_LE(worstCos, 4.0);
    EXPECT_LE(worstTan, 6.0);
    EXPECT_LE(worstAbsolute, 4e-16);
}

TEST(ReproducibleMath, KnownValuesAndFallbackOutsideTheDomain)
{
    EXPECT_EQ(ReproducibleExp(0.0), 1.0);
    EXPECT_EQ(ReproducibleSin(0.0), 0.0);
    EXPECT_EQ(ReproducibleCos(0.0), 1.0);
    EXPECT_EQ(ReproducibleTan(0.0), 0.0);
    EXPECT_NEAR(ReproducibleTan(0.7853981633974483), 1.0, 2e-16);
    EXPECT_NEAR(ReproducibleSin(-1.5707963267948966), -1.0, 2e-16);
    EXPECT_NEAR(ReproducibleCos(3.141592653589793), -1.0, 2e-16);
    // Steep tangent near pi/2: 1/(pi/2 - x) to first order.
    EXPECT_NEAR(ReproducibleTan(1.5707963267948966 - 1e-6) * 1e-6, 1.0, 1e-9);
    // Outside the documented domain the C library answers.
    EXPECT_EQ(ReproducibleExp(800.0), std::exp(800.0));
    EXPECT_EQ(ReproducibleSin(10.0), std::sin(10.0));
    EXPECT_EQ(ReproducibleCos(-10.0), std::cos(-10.0));
    EXPECT_EQ(ReproducibleTan(-0.5), std::tan(-0.5));
    EXPECT_TRUE(std::isnan(ReproducibleExp(NAN)));
    EXPECT_TRUE(std::isnan(ReproducibleSin(NAN)));
}

TEST(ReproducibleMath, RoundHalfAwayRoundsHalvesAwayFromZeroOnEveryTarget)
{
    const std::pair<double, std::int32_t> cases[] = {{0.0, 0},
                                                     {-0.0, 0},
                                                     {0.49999999999999994, 0},
                                                     {-0.49999999999999994, 0},
                                                     {0.5, 1},
                                                     {-0.5, -1},
                                                     {1.5, 2},
                                                     {-1.5, -2},
                                                     {2.5, 3},
                                                     {-2.5, -3},
                                                     {127.5, 128},
                                                     {-127.5, -128},
                                                     {128.0, 128},
                                                     {-128.0, -128},
                                                     {1e-300, 0},
                                                     {1048575.5, 1048576},
                                                     {-1048575.4999999999, -1048575}};
    for (const auto& [x, expected] : cases) {
        EXPECT_EQ(RoundHalfAway(x), expected) << x;
    }
    // Away from the values within an ulp of a half, the C library agrees.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> range(-200.0, 200.0);
    for (int i = 0; i < 100000; ++i) {
        const double x = range(random);
        ASSERT_EQ(RoundHalfAway(x), std::lround(x)) << x;
        const double half = std::floor(x) + 0.5;
        ASSERT_EQ(RoundHalfAway(half), std::lround(half)) << half;
    }
}
