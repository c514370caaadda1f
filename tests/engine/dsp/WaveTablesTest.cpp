#include "engine/dsp/WaveTables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Direct sum of the tapered harmonic series with the C library's sin and cos.
double DirectSaw(int harmonics, int l)
{
    double sum = 0.0;
    for (int k = 1; k <= harmonics; ++k) {
        const double w = k == 1 ? 1.0 : 0.54 + 0.46 * std::cos((k - 1) * (kPi / 2.0) / (harmonics - 1));
        sum += w * (0.5 / k) * std::sin(2.0 * kPi * k * l / 4096.0);
    }
    return sum;
}

TEST(WaveTables, HarmonicCountsDropHalfAnOctavePerLevel)
{
    const int expected[WaveTables::kLevelCount] = {2048, 1448, 1024, 724, 512, 362, 256, 181, 128, 91, 64,
                                                   45,   32,   23,   16,  11,  8,   6,   4,   3,   2,  1};
    for (int level = 0; level < WaveTables::kLevelCount; ++level) {
        EXPECT_EQ(WaveTables::HarmonicCount(level), expected[level]) << "level " << level;
    }
}

TEST(WaveTables, SawMatchesTheDirectHarmonicSum)
{
    const WaveTables& tables = WaveTables::Get();
    const int levels[] = {0, 1, 9, 13, 19, 20, 21};
    const int positions[] = {0, 1, 7, 100, 1023, 1024, 2047, 2048, 2049, 3000, 4095};
    for (int level : levels) {
        const int harmonics = WaveTables::HarmonicCount(level);
        for (int l : positions) {
            EXPECT_NEAR(tables.Saw(level, l), DirectSaw(harmonics, l), 1e-12)
                << "level " << level << " l " << l;
        }
    }
    // One harmonic: a pure sine of amplitude 0.5.
    EXPECT_NEAR(tables.Saw(21, 1024), 0.5, 1e-15);
    EXPECT_NEAR(tables.Saw(21, 3072), -0.5, 1e-15);
}

TEST(WaveTables, SawIsOddAndSquareIsTheHalfDifferenceOfShiftedSaws)
{
    const WaveTables& tables = WaveTables::Get();
    for (int level = 0; level < WaveTables::kLevelCount; ++level) {
        EXPECT_EQ(tables.Saw(level, 0), 0.0);
        EXPECT_EQ(tables.Saw(level, 2048), 0.0);
        for (int l = 1; l < 4096; l += 37) {
            ASSERT_EQ(tables.Saw(level, l), -tables.Saw(level, 4096 - l)) << "level " << level << " l " << l;
            const double square = (tables.Saw(level, l) - tables.Saw(level, (l + 2048) % 4096)) * 0.5;
            ASSERT_EQ(tables.Square(level, l), square) << "level " << level << " l " << l;
        }
    }
    // Level 0's saw ramps down from about +pi/4 to -pi/4 (Gibbs aside); its
    // square sits near +-pi/8 away from the edges.
    EXPECT_NEAR(tables.Saw(0, 1024), kPi / 8.0, 1e-3);
    EXPECT_NEAR(tables.Square(0, 1024), kPi / 8.0, 1e-3);
    EXPECT_NEAR(tables.Square(0, 3072), -kPi / 8.0, 1e-3);
}

}  // namespace
