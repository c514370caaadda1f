#include "engine/dsp/Pitch.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// 440 * 2^((n - 69) / 12) rounded to three decimals, from the C library.
double ExpectedKeyFrequency(int key)
{
    return std::round(440.0 * std::pow(2.0, (key - 69) / 12.0) * 1000.0) / 1000.0;
}

TEST(PitchToFrequency, SemitonesFollowTheEqualTemperedTableToThreeDecimals)
{
    EXPECT_EQ(PitchToFrequency(0), 8.176);
    EXPECT_EQ(PitchToFrequency(69 * 128), 440.0);
    EXPECT_EQ(PitchToFrequency(135 * 128), 19912.127);
    for (int key = 0; key <= 135; ++key) {
        EXPECT_NEAR(PitchToFrequency(key * 128), ExpectedKeyFrequency(key), 1e-9) << "key " << key;
    }
}

TEST(PitchToFrequency, InterpolatesLinearlyBetweenSemitones)
{
    // Halfway between A4 (440) and A#4 (466.164).
    EXPECT_DOUBLE_EQ(PitchToFrequency(69 * 128 + 64), 453.082);
    // A quarter of the way from key 0 (8.176) to key 1 (8.662).
    EXPECT_DOUBLE_EQ(PitchToFrequency(32), 8.176 + 0.486 / 4.0);
    // One step below the top comes from the last segment.
    EXPECT_DOUBLE_EQ(PitchToFrequency(17279), 18794.545 + (19912.127 - 18794.545) * 127.0 / 128.0);
    // Monotonic over the whole range.
    for (int i = 1; i <= kMaxPitchIndex; ++i) {
        ASSERT_GT(PitchToFrequency(i), PitchToFrequency(i - 1)) << "pitch " << i;
    }
}

TEST(PitchToFrequency, IndicesAboveTheRangeGiveTheTopFrequency)
{
    EXPECT_EQ(PitchToFrequency(17280), 19912.127);
    EXPECT_EQ(PitchToFrequency(17281), 19912.127);
    EXPECT_EQ(PitchToFrequency(1 << 30), 19912.127);
    // Not used by the engine, but defined: the bottom frequency.
    EXPECT_EQ(PitchToFrequency(-5), 8.176);
}

}  // namespace
