#include "engine/dsp/VoiceFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Pitch index of key 83 (987.767 Hz).
constexpr int kKey83 = 83 * 128;
constexpr double kKey83Hz = 987.767;

double Sine(double frequency, double sampleRate, int i)
{
    return std::sin(2.0 * kPi * frequency * i / sampleRate);
}

// RMS gain for a sine of `frequency` Hz at amplitude `amplitude`: one second
// to settle, then a whole number of periods (about one second) measured.
double MeasureGain(VoiceFilter& filter, double sampleRate, double frequency, double amplitude)
{
    const int settle = static_cast<int>(sampleRate);
    const int measure = static_cast<int>(std::lround(std::floor(frequency) * sampleRate / frequency));
    double in = 0.0;
    double out = 0.0;
    for (int i = 0; i < settle + measure; ++i) {
        const double x = amplitude * Sine(frequency, sampleRate, i);
        double l;
        double r;
        filter.Process(x, x, l, r);
        if (i >= settle) {
            in += x * x;
            out += l * l;
        }
    }
    return std::sqrt(out / in);
}

VoiceFilter MakeFilter(const CutoffTable& table, double type, double peak, int pitch)
{
    VoiceFilter filter(&table);
    filter.SetType(type);
    filter.SetPeak(peak);
    filter.SetCutoff(pitch);
    return filter;
}

}  // namespace

TEST(CutoffTable, FiniteAndIncreasingAtCommonRates)
{
    CutoffTable table;
    for (double sampleRate : {44100.0, 48000.0, 88200.0, 96000.0}) {
        SCOPED_TRACE(sampleRate);
        table.Build(sampleRate);
        EXPECT_EQ(table.SampleRate(), sampleRate);
        double previous = 0.0;
        for (int i = 0; i <= kMaxPitchIndex; ++i) {
            const double v = table.Value(i);
            ASSERT_TRUE(std::isfinite(v)) << i;
            ASSERT_GT(v, previous) << i;
            previous = v;
        }
        // Key 69 is 440 Hz.
        EXPECT_NEAR(table.Value(69 * 128), std::tan(kPi * 440.0 / sampleRate), 1e-15);
    }
}

TEST(CutoffTable, LowSampleRatesAreGuarded)
{
    // Below 2 * 19912.127 Hz the top frequencies reach Nyquist; the table
    // looks them up at 0.49 * sample rate instead.
    CutoffTable table;
    const double ceiling = std::tan(0.49 * kPi);
    for (double sampleRate : {39000.0, 32000.0, 22050.0, 11025.0, 8000.0}) {
        SCOPED_TRACE(sampleRate);
        table.Build(sampleRate);
        double previous = 0.0;
        for (int i = 0; i <= kMaxPitchIndex; ++i) {
            const double v = table.Value(i);
            ASSERT_TRUE(std::isfinite(v)) << i;
            ASSERT_GE(v, previous) << i;
            ASSERT_LE(v, ceiling * (1.0 + 1e-12)) << i;
            previous = v;
        }
        EXPECT_GT(table.Value(0), 0.0);
        EXPECT_NEAR(table.Value(kMaxPitchIndex), ceiling, ceiling * 1e-12);
        // Frequencies below the limit keep their exact entries.
        EXPECT_NEAR(table.Value(69 * 128), std::tan(kPi * 440.0 / sampleRate), 1e-15);
    }

    // Rates that are not positive and finite leave the table as it was.
    const std::uint32_t generation = table.Generation();
    for (double bad :
         {0.0, -44100.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        table.Build(bad);
    }
    EXPECT_EQ(table.SampleRate(), 8000.0);
    EXPECT_EQ(table.Generation(), generation);
}

TEST(CutoffTable, ChecksumAt44100)
{
    // Reference sums computed independently at 40 significant digits from
    // the three-decimal key frequencies: sum of entries and sum of
    // (index + 1) * entry. The tolerance allows last-bit differences of the
    // tangent between C libraries.
    CutoffTable table;
    table.Build(48000.0);
    table.Build(44100.0);
    double sum = 0.0;
    double weighted = 0.0;
    for (int i = 0; i <= kMaxPitchIndex; ++i) {
        sum += table.Value(i);
        weighted += (i + 1.0) * table.Value(i);
    }
    EXPECT_NEAR(sum, 4811.7856825020470176, 4811.8 * 1e-12);
    EXPECT_NEAR(weighted, 75401667.995823741929, 75401668.0 * 1e-12);
    EXPECT_NEAR(table.Value(0), 0.000582441370527595, 1e-18);
    EXPECT_NEAR(table.Value(8832), 0.03135495791891341, 1e-16);
    EXPECT_NEAR(table.Value(kMaxPitchIndex), 6.515245189918167, 1e-14);
    // Golden value of this implementation: a 64-bit FNV-1a hash over the
    // entries' bit patterns. The table is computed without the C library's
    // tangent, so it must be the same on every target (x86-64, i386).
    std::uint64_t hash = 1469598103934665603ull;
    for (int i = 0; i <= kMaxPitchIndex; ++i) {
        const double v = table.Value(i);
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        hash = (hash ^ bits) * 1099511628211ull;
    }
    EXPECT_EQ(hash, 0x5e94136e947a5f9dull);

    // Indices outside 0..17280 read the ends.
    EXPECT_EQ(table.Value(-1), table.Value(0));
    EXPECT_EQ(table.Value(17281), table.Value(kMaxPitchIndex));
}

TEST(VoiceFilter, LowpassAndHighpassResponseWithoutPeak)
{
    // With "VCF Peak" 0 (K = 0.01) the lowpass is close to two one-pole
    // lowpasses, 1 / (1 + W^2), and the highpass close to one one-pole
    // highpass, W / sqrt(1 + W^2), W the warped frequency ratio.
    const double sr = 44100.0;
    CutoffTable table;
    const double warpedCutoff = std::tan(kPi * kKey83Hz / sr);
    for (double f : {245.0, 987.767, 4000.0}) {
        SCOPED_TRACE(f);
        const double w = std::tan(kPi * f / sr) / warpedCutoff;
        VoiceFilter lowpass = MakeFilter(table, 0.0, 0.0, kKey83);
        const double expectedLow = 1.0 / (1.0 + w * w);
        EXPECT_NEAR(MeasureGain(lowpass, sr, f, 0.5), expectedLow, expectedLow * 0.03);
        VoiceFilter highpass = MakeFilter(table, 1.0, 0.0, kKey83);
        const double expectedHigh = w / std::sqrt(1.0 + w * w);
        EXPECT_NEAR(MeasureGain(highpass, sr, f, 0.5), expectedHigh, expectedHigh * 0.03);
    }

    // DC: the lowpass passes it, the highpass blocks it. The feedback
    // resolves at DC to u = -K G (1 - G) y, which cancels exactly for a
    // positive input; for a negative one u is positive, boosted by 1.17, and
    // the gain becomes a0 / (1 + 1.17 (a0 - 1)), a0 = 1 / (1 - K G (1 - G)).
    const double g = warpedCutoff / (1.0 + warpedCutoff);
    const double a0 = 1.0 / (1.0 - 0.01 * g * (1.0 - g));
    const double negativeGain = a0 / (1.0 + 1.17 * (a0 - 1.0));
    VoiceFilter lowpass = MakeFilter(table, 0.0, 0.0, kKey83);
    VoiceFilter highpass = MakeFilter(table, 1.0, 0.0, kKey83);
    double l = 0.0;
    double r = 0.0;
    double hl = 0.0;
    double hr = 0.0;
    for (int i = 0; i < 44100; ++i) {
        lowpass.Process(0.5, -1.0, l, r);
        highpass.Process(0.5, -1.0, hl, hr);
    }
    EXPECT_NEAR(l, 0.5, 1e-9);
    EXPECT_NEAR(r, -negativeGain, 1e-9);
    EXPECT_LT(negativeGain, 1.0 - 1e-5);
    EXPECT_NEAR(hl, 0.0, 1e-6);
    EXPECT_NEAR(hr, 0.0, 1e-6);
}

TEST(VoiceFilter, FullPeakResonatesAtTheCutoff)
{
    const double sr = 44100.0;
    CutoffTable table;
    for (double type : {0.0, 1.0}) {
        SCOPED_TRACE(type);
        VoiceFilter flat = MakeFilter(table, type, 0.0, kKey83);
        VoiceFilter peaked = MakeFilter(table, type, 1.0, kKey83);
        EXPECT_DOUBLE_EQ(peaked.Feedback(), 1.71);
        // Small input, so the feedback limit is not reached.
        const double flatGain = MeasureGain(flat, sr, kKey83Hz, 0.01);
        const double peakGain = MeasureGain(peaked, sr, kKey83Hz, 0.01);
        EXPECT_GT(peakGain, 4.0);
        EXPECT_GT(peakGain, 5.0 * flatGain);
    }
}

TEST(VoiceFilter, FullPeakStaysBoundedForLongLoudInput)
{
    // Peak 1 with the 1.17 boost puts positive feedback at the edge of
    // self-oscillation; the +-4 limit has to keep it bounded. Loud square
    // waves and noise, fixed and swept cutoffs, then silence.
    CutoffTable table;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> noise(-10.0, 10.0);
    for (double type : {0.0, 1.0}) {
        for (int pitch : {0, 4000, 9000, 12000, 15000, kMaxPitchIndex, -1}) {
            SCOPED_TRACE(type);
            SCOPED_TRACE(pitch);
            VoiceFilter filter = MakeFilter(table, type, 1.0, pitch < 0 ? 0 : pitch);
            double peak = 0.0;
            for (int i = 0; i < 10 * 44100; ++i) {
                if (pitch < 0 && i % 44 == 0) {
                    // Swept cutoff: a triangle over the whole range, once a second.
                    const int phase = (i / 44) % 1000;
                    filter.SetCutoff((phase < 500 ? phase : 1000 - phase) * kMaxPitchIndex / 500);
                }
                double x;
                if (i < 3 * 44100) {
                    x = ((i / 50) % 2 == 0) ? 10.0 : -10.0;
                } else if (i < 7 * 44100) {
                    x = noise(random);
                } else {
                    x = 0.0;
                }
                double l;
                double r;
                filter.Process(x, -x, l, r);
                ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << i;
                peak = std::max({peak, std::fabs(l), std::fabs(r)});
            }
            EXPECT_LT(peak, 50.0);
        }
    }
}

TEST(VoiceFilter, RecoversFromNanAndInfiniteInput)
{
    CutoffTable table;
    for (double type : {0.0, 1.0}) {
        for (double poison :
             {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
              -std::numeric_limits<double>::infinity()}) {
            SCOPED_TRACE(type);
            SCOPED_TRACE(poison);
            VoiceFilter filter = MakeFilter(table, type, 0.5, 9000);
            double l;
            double r;
            for (int i = 0; i < 1000; ++i) {
                filter.Process(Sine(440.0, 44100.0, i), 0.2, l, r);
            }
            filter.Process(poison, poison, l, r);
            // A few frames for the bad values to flow through the three
            // states, then finite output that rings down to the dither level.
            for (int i = 0; i < 4; ++i) {
                filter.Process(0.0, 0.0, l, r);
            }
            for (int i = 0; i < 44100; ++i) {
                filter.Process(0.0, 0.0, l, r);
                ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << i;
                ASSERT_NE(std::fpclassify(l), FP_SUBNORMAL) << i;
            }
            EXPECT_LT(std::fabs(l), 1e-9);
            EXPECT_LT(std::fabs(r), 1e-9);
        }
    }
}

TEST(VoiceFilter, CoefficientsUpdateOnlyWhenSomethingChanged)
{
    CutoffTable table;
    VoiceFilter filter(&table);
    EXPECT_EQ(filter.CutoffIndex(), kMaxPitchIndex);
    EXPECT_DOUBLE_EQ(filter.Feedback(), 0.01);
    EXPECT_FALSE(filter.IsHighpass());

    filter.SetCutoff(9000);
    EXPECT_EQ(filter.CoefficientUpdateCount(), 1u);
    for (int tick = 0; tick < 100; ++tick) {
        filter.SetCutoff(9000);
    }
    EXPECT_EQ(filter.CoefficientUpdateCount(), 1u);
    filter.SetCutoff(9001);
    EXPECT_EQ(filter.CoefficientUpdateCount(), 2u);

    // Type and peak only mark the filter; the next cutoff call computes.
    filter.SetType(1.0);
    filter.SetPeak(0.3);
    EXPECT_EQ(filter.CoefficientUpdateCount(), 2u);
    filter.SetCutoff(9001);
    EXPECT_EQ(filter.CoefficientUpdateCount(), 3u);
    filter.SetCutoff(9001);
    EXPECT_EQ(filter.CoefficientUpdateCount(), 3u);

    // Without a table the index is only recorded and the output stays silent;
    // the coefficients come with the first cutoff call after the table.
    VoiceFilter detached;
    detached.SetCutoff(5000);
    EXPECT_EQ(detached.CutoffIndex(), 5000);
    EXPECT_EQ(detached.CoefficientUpdateCount(), 0u);
    double l;
    double r;
    for (int i = 0; i < 100; ++i) {
        detached.Process(1.0, -1.0, l, r);
        ASSERT_LT(std::fabs(l) + std::fabs(r), 1e-12) << i;
    }
    detached.SetCutoffTable(&table);
    detached.SetCutoff(5000);
    EXPECT_EQ(detached.CoefficientUpdateCount(), 1u);

    // A rebuilt table (new sample rate) makes the same index stale.
    table.Build(96000.0);
    filter.SetCutoff(9001);
    EXPECT_EQ(filter.CoefficientUpdateCount(), 4u);
    table.Build(96000.0);
    filter.SetCutoff(9001);
    EXPECT_EQ(filter.CoefficientUpdateCount(), 4u);
}

TEST(VoiceFilter, SettingsTakeEffectAtTheNextCutoffAndIndicesClamp)
{
    CutoffTable table;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);

    // A type change before the next cutoff call still filters as before.
    VoiceFilter switched = MakeFilter(table, 0.0, 0.6, 8000);
    VoiceFilter reference = MakeFilter(table, 0.0, 0.6, 8000);
    switched.SetType(1.0);
    switched.SetPeak(0.0);
    EXPECT_TRUE(switched.IsHighpass());
    for (int i = 0; i < 1000; ++i) {
        const double x = noise(random);
        double a;
        double b;
        double c;
        double d;
        switched.Process(x, x, a, b);
        reference.Process(x, x, c, d);
        ASSERT_EQ(a, c) << i;
    }

    // Out-of-range indices read the table's ends.
    for (double type : {0.0, 1.0}) {
        VoiceFilter below = MakeFilter(table, type, 0.8, -500);
        VoiceFilter bottom = MakeFilter(table, type, 0.8, 0);
        VoiceFilter above = MakeFilter(table, type, 0.8, 20000);
        VoiceFilter top = MakeFilter(table, type, 0.8, kMaxPitchIndex);
        EXPECT_EQ(below.CutoffIndex(), -500);
        for (int i = 0; i < 1000; ++i) {
            const double x = noise(random);
            double a;
            double b;
            double c;
            double d;
            below.Process(x, -x, a, b);
            bottom.Process(x, -x, c, d);
            ASSERT_EQ(a, c) << i;
            ASSERT_EQ(b, d) << i;
            above.Process(x, -x, a, b);
            top.Process(x, -x, c, d);
            ASSERT_EQ(a, c) << i;
            ASSERT_EQ(b, d) << i;
        }
    }
}
