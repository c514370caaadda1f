#include "engine/dsp/Filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kButterworthQ = 0.7071067811865476;

void Prepare(Filter& filter, double sampleRate, double frequency, double q)
{
    filter.SetSampleRate(sampleRate);
    filter.ClearState();
    filter.SetFrequency(frequency);
    filter.SetQ(q);
    filter.UpdateCoefficients();
}

// Gain of the filter for a sine of `frequency` Hz: RMS ratio over the second
// second of a two-second run, measured on both channels (the right channel
// gets the sine at half the amplitude).
struct StereoGain {
    double left;
    double right;
};

StereoGain MeasureGain(Filter& filter, double sampleRate, double frequency)
{
    const int settle = static_cast<int>(sampleRate);
    // A whole number of periods, so the RMS of the input is exact.
    const int periods = static_cast<int>(std::floor(frequency));
    const int measure = static_cast<int>(std::lround(periods * sampleRate / frequency));
    double inSum = 0.0;
    double outLeft = 0.0;
    double outRight = 0.0;
    for (int i = 0; i < settle + measure; ++i) {
        const double x = std::sin(2.0 * kPi * frequency * i / sampleRate);
        double l;
        double r;
        filter.ProcessSample(x, 0.5 * x, l, r);
        if (i >= settle) {
            inSum += x * x;
            outLeft += l * l;
            outRight += r * r;
        }
    }
    return {std::sqrt(outLeft / inSum), std::sqrt(outRight / (0.25 * inSum))};
}

// Warped frequency ratio of the bilinear designs: tan(pi f / fs) / tan(pi f0 / fs).
double WarpedRatio(double frequency, double centre, double sampleRate)
{
    return std::tan(kPi * frequency / sampleRate) / std::tan(kPi * centre / sampleRate);
}

std::vector<std::unique_ptr<Filter>> AllFilters()
{
    std::vector<std::unique_ptr<Filter>> filters;
    filters.push_back(std::make_unique<LowPass>());
    filters.push_back(std::make_unique<BandPass>());
    filters.push_back(std::make_unique<LowPass6dB>());
    return filters;
}

const char* NameOf(int index)
{
    static const char* const kNames[] = {"LowPass", "BandPass", "LowPass6dB"};
    return kNames[index];
}

// A copy of filter k of AllFilters, state and settings included.
std::unique_ptr<Filter> CopyOf(Filter& filter, int k)
{
    if (k == 0) {
        return std::make_unique<LowPass>(static_cast<LowPass&>(filter));
    }
    if (k == 1) {
        return std::make_unique<BandPass>(static_cast<BandPass&>(filter));
    }
    return std::make_unique<LowPass6dB>(static_cast<LowPass6dB&>(filter));
}

}  // namespace

TEST(BandPass, UnityAtCentreAndAnalogShapeAround)
{
    // 900 Hz is 49 samples per period at 44.1 kHz, 1000 Hz 48 at 48 kHz.
    const struct {
        double sampleRate;
        double centre;
    } setups[] = {{44100.0, 900.0}, {48000.0, 1000.0}};
    for (const auto& setup : setups) {
        for (double q : {kButterworthQ, 4.2, 10.0}) {
            SCOPED_TRACE(setup.sampleRate);
            SCOPED_TRACE(q);
            BandPass filter;
            Prepare(filter, setup.sampleRate, setup.centre, q);
            const StereoGain atCentre = MeasureGain(filter, setup.sampleRate, setup.centre);
            EXPECT_NEAR(atCentre.left, 1.0, 1e-4);
            EXPECT_NEAR(atCentre.right, 1.0, 1e-4);

            // Analog prototype (s/Q)/(s^2 + s/Q + 1) at the warped frequency.
            for (double f : {setup.centre / 4.0, setup.centre * 4.0}) {
                const double w = WarpedRatio(f, setup.centre, setup.sampleRate);
                const double expected = 1.0 / std::sqrt(1.0 + q * q * (w - 1.0 / w) * (w - 1.0 / w));
                filter.ClearState();
                EXPECT_NEAR(MeasureGain(filter, setup.sampleRate, f).left, expected, expected * 0.01) << f;
            }
        }
    }
}

TEST(LowPass, ResponseFollowsTheAnalogPrototype)
{
    const double sr = 48000.0;
    for (double q : {kButterworthQ, 4.2}) {
        SCOPED_TRACE(q);
        LowPass filter;
        Prepare(filter, sr, 1000.0, q);
        // DC passes at unity.
        double l = 0.0;
        double r = 0.0;
        for (int i = 0; i < 48000; ++i) {
            filter.ProcessSample(1.0, -2.0, l, r);
        }
        EXPECT_NEAR(l, 1.0, 1e-9);
        EXPECT_NEAR(r, -2.0, 1e-9);

        // 1 / (s^2 + s/Q + 1): gain Q at the cutoff, falling 12 dB per octave.
        for (double f : {250.0, 1000.0, 4000.0, 12000.0}) {
            const double w = WarpedRatio(f, 1000.0, sr);
            const double expected = 1.0 / std::sqrt((1.0 - w * w) * (1.0 - w * w) + (w / q) * (w / q));
            filter.ClearState();
            const StereoGain gain = MeasureGain(filter, sr, f);
            EXPECT_NEAR(gain.left, expected, expected * 0.01) << f;
            EXPECT_NEAR(gain.right, expected, expected * 0.01) << f;
        }
    }
}

TEST(LowPass6dB, ResponseOfTheUnwarpedOnePole)
{
    const double sr = 44100.0;
    LowPass6dB filter;
    Prepare(filter, sr, 1000.0, 0.0);
    double l = 0.0;
    double r = 0.0;
    for (int i = 0; i < 44100; ++i) {
        filter.ProcessSample(0.5, 1.0, l, r);
    }
    EXPECT_NEAR(l, 0.5, 1e-9);
    EXPECT_NEAR(r, 1.0, 1e-9);

    // Bilinear transform of w / (s + w) with s = 2 (z - 1) / (z + 1), where
    // w = 2 pi f0 / fs is not pre-warped.
    const double w = 2.0 * kPi * 1000.0 / sr;
    for (double f : {300.0, 1000.0, 5000.0}) {
        const double t = 2.0 * std::tan(kPi * f / sr);
        const double expected = w / std::sqrt(w * w + t * t);
        filter.ClearState();
        EXPECT_NEAR(MeasureGain(filter, sr, f).left, expected, expected * 0.01) << f;
    }
}

TEST(Filter, SilenceStaysTinyAndNeverSubnormal)
{
    auto filters = AllFilters();
    for (int k = 0; k < static_cast<int>(filters.size()); ++k) {
        SCOPED_TRACE(NameOf(k));
        Filter& filter = *filters[static_cast<std::size_t>(k)];
        Prepare(filter, 44100.0, 1000.0, 4.2);
        // A short burst, then ten seconds of silence.
        for (int i = 0; i < 441000; ++i) {
            const double x = i < 100 ? 1.0 : 0.0;
            double l;
            double r;
            filter.ProcessSample(x, x, l, r);
            if (i > 44100) {
                ASSERT_NE(std::fpclassify(l), FP_SUBNORMAL) << i;
                ASSERT_NE(std::fpclassify(r), FP_SUBNORMAL) << i;
                ASSERT_LT(std::fabs(l), 1e-9) << i;
            }
        }
    }
}

TEST(Filter, RecoversFromNanAndInfiniteInput)
{
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    for (double poison : bad) {
        auto filters = AllFilters();
        for (int k = 0; k < static_cast<int>(filters.size()); ++k) {
            SCOPED_TRACE(NameOf(k));
            SCOPED_TRACE(poison);
            Filter& filter = *filters[static_cast<std::size_t>(k)];
            Prepare(filter, 44100.0, 2000.0, kButterworthQ);
            double l;
            double r;
            for (int i = 0; i < 100; ++i) {
                filter.ProcessSample(0.3, 0.3, l, r);
            }
            filter.ProcessSample(poison, 0.3, l, r);
            // The state is cleaned within a few frames; afterwards the filter
            // behaves again and rings down to silence.
            for (int i = 0; i < 4; ++i) {
                filter.ProcessSample(0.0, 0.0, l, r);
            }
            for (int i = 0; i < 44100; ++i) {
                filter.ProcessSample(0.0, 0.0, l, r);
                ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << i;
            }
            EXPECT_LT(std::fabs(l), 1e-9);
            EXPECT_LT(std::fabs(r), 1e-9);
        }
    }
}

TEST(Filter, StaysStableAtLowSampleRatesAndWithoutQ)
{
    // The chain asks for up to 12 kHz; at 22.05 kHz and 16 kHz that is above
    // Nyquist. Also a filter whose Q was never set (0).
    const struct {
        double sampleRate;
        double frequency;
        double q;
    } cases[] = {{22050.0, 12000.0, kButterworthQ},
                 {22050.0, 11000.0, 10.0},
                 {16000.0, 9700.0, 0.5},
                 {44100.0, 1000.0, 0.0},
                 {44100.0, 1000.0, -1.0}};
    for (const auto& c : cases) {
        auto filters = AllFilters();
        for (int k = 0; k < static_cast<int>(filters.size()); ++k) {
            SCOPED_TRACE(NameOf(k));
            SCOPED_TRACE(c.sampleRate);
            SCOPED_TRACE(c.frequency);
            Filter& filter = *filters[static_cast<std::size_t>(k)];
            Prepare(filter, c.sampleRate, c.frequency, c.q);
            std::mt19937 random(7);
            std::uniform_real_distribution<double> noise(-1.0, 1.0);
            double peak = 0.0;
            for (int i = 0; i < 2 * static_cast<int>(c.sampleRate); ++i) {
                double l;
                double r;
                filter.ProcessSample(noise(random), noise(random), l, r);
                ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << i;
                peak = std::max({peak, std::fabs(l), std::fabs(r)});
            }
            // Q 10 resonates: at most about Q times the input.
            EXPECT_LT(peak, 50.0);
        }
    }
}

TEST(Filter, BlockAddMatchesFramesAndKeepsChannelsApart)
{
    auto filters = AllFilters();
    for (int k = 0; k < static_cast<int>(filters.size()); ++k) {
        SCOPED_TRACE(NameOf(k));
        Filter& filter = *filters[static_cast<std::size_t>(k)];
        Prepare(filter, 44100.0, 1500.0, 2.0);
        constexpr int kCount = 300;
        std::vector<double> inLeft(kCount);
        std::vector<double> inRight(kCount, 0.0);
        for (int i = 0; i < kCount; ++i) {
            inLeft[static_cast<std::size_t>(i)] = std::sin(0.05 * i) + (i % 7 == 0 ? 0.5 : 0.0);
        }
        const std::unique_ptr<Filter> copy = CopyOf(filter, k);

        std::vector<double> outLeft(kCount, 0.25);
        std::vector<double> outRight(kCount, -0.25);
        filter.ProcessBlockAdd(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), kCount, 0.7);
        for (int i = 0; i < kCount; ++i) {
            const auto n = static_cast<std::size_t>(i);
            double l;
            double r;
            copy->ProcessSample(inLeft[n], inRight[n], l, r);
            ASSERT_EQ(outLeft[n], 0.25 + 0.7 * l) << i;
            ASSERT_EQ(outRight[n], -0.25 + 0.7 * r) << i;
            // Only the dither reaches the silent right channel.
            ASSERT_LT(std::fabs(r), 1e-11) << i;
        }
    }
}

// Block runs check their states once per piece of frames and run the piece
// again frame by frame when a NaN or infinity got in: the outputs and the
// state after it must still be those of ProcessSample, bit for bit.
TEST(Filter, BlockAddMatchesFramesThroughNaNAndInfinity)
{
    auto filters = AllFilters();
    for (int k = 0; k < static_cast<int>(filters.size()); ++k) {
        SCOPED_TRACE(NameOf(k));
        Filter& filter = *filters[static_cast<std::size_t>(k)];
        Prepare(filter, 48000.0, 900.0, 1.5);
        constexpr int kCount = 400;
        std::vector<double> inLeft(kCount);
        std::vector<double> inRight(kCount);
        for (int i = 0; i < kCount; ++i) {
            inLeft[static_cast<std::size_t>(i)] = std::sin(0.03 * i);
            inRight[static_cast<std::size_t>(i)] = std::cos(0.02 * i);
        }
        inLeft[70] = std::numeric_limits<double>::quiet_NaN();
        inRight[200] = std::numeric_limits<double>::infinity();
        inLeft[330] = 1e308;  // overflows the state
        const std::unique_ptr<Filter> copy = CopyOf(filter, k);
        std::vector<double> outLeft(kCount, 0.5);
        std::vector<double> outRight(kCount, -0.5);
        std::vector<double> expectedLeft(outLeft);
        std::vector<double> expectedRight(outRight);
        filter.ProcessBlockAdd(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), kCount, 0.3);
        for (int i = 0; i < kCount; ++i) {
            const auto n = static_cast<std::size_t>(i);
            double l;
            double r;
            copy->ProcessSample(inLeft[n], inRight[n], l, r);
            expectedLeft[n] += 0.3 * l;
            expectedRight[n] += 0.3 * r;
        }
        EXPECT_EQ(std::memcmp(outLeft.data(), expectedLeft.data(), kCount * sizeof(double)), 0);
        EXPECT_EQ(std::memcmp(outRight.data(), expectedRight.data(), kCount * sizeof(double)), 0);
        // The states agree too: one more frame shows them.
        double l1;
        double r1;
        double l2;
        double r2;
        filter.ProcessSample(0.1, -0.1, l1, r1);
        copy->ProcessSample(0.1, -0.1, l2, r2);
        EXPECT_EQ(std::memcmp(&l1, &l2, sizeof l1), 0);
        EXPECT_EQ(std::memcmp(&r1, &r2, sizeof r1), 0);
    }
}
