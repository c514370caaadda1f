// Pre-filter routing and shift, shelving responses, phaser responses and LFO.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "engine/dsp/Filter.h"
#include "engine/dsp/Phaser.h"
#include "engine/dsp/PreFilter.h"
#include "engine/dsp/ShelvingFilter.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBase[6] = {560.0, 1040.0, 1200.0, 1460.0, 1760.0, 1940.0};

// Which bands each note bus feeds, and with what weight (from the routing
// table: low buses reach band 0 only, high ones bands 4 and 5).
struct Route {
    int band;
    double weight;
};
const std::vector<std::vector<Route>>& Routes()
{
    constexpr double w2 = 0.666666;
    constexpr double w1 = 0.333333;
    static const std::vector<std::vector<Route>> routes = {
        {{0, 1.0}},         {{0, w2}},
        {{0, w1}, {1, w1}}, {{1, w2}},
        {{1, w2}, {2, w1}}, {{1, w1}, {2, w2}},
        {{2, w2}, {3, w1}}, {{2, w1}, {3, w2}},
        {{3, w2}, {4, w1}}, {{3, w1}, {4, w2}, {5, w1}},
        {{4, w2}, {5, w2}}, {{4, w1}, {5, 1.0}},
    };
    return routes;
}

template <typename Band>
void PrepareBand(Band& band, double sampleRate, double frequency, double q)
{
    band.SetSampleRate(sampleRate);
    band.ClearState();
    band.SetFrequency(frequency);
    band.SetQ(q);
    band.UpdateCoefficients();
}

std::vector<double> Noise(int count, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> noise(static_cast<std::size_t>(count));
    for (double& x : noise) {
        x = uniform(random);
    }
    return noise;
}

template <typename T>
class PreFilterTest : public ::testing::Test {
};
using PreFilterTypes = ::testing::Types<LowPass, LowPass6dB>;
TYPED_TEST_SUITE(PreFilterTest, PreFilterTypes);

// Each note bus alone must come out as the weighted sum of exactly the bands
// the routing table names, each an independent filter at its own frequency.
TYPED_TEST(PreFilterTest, EachNoteBusReachesOnlyItsBands)
{
    const double sampleRate = 48000.0;
    const double q = 6.0;
    const double shift = -0.5;  // factor 1/1.5
    const std::vector<double> left = Noise(3000, 1);
    const std::vector<double> right = Noise(3000, 2);
    for (int bus = 0; bus < 12; ++bus) {
        SCOPED_TRACE(bus);
        PreFilter<TypeParam> section;
        section.SetQ(q);
        section.Reset(sampleRate);
        section.ApplyShift(shift);
        TypeParam reference[6];
        for (int band = 0; band < 6; ++band) {
            PrepareBand(reference[band], sampleRate, kBase[band] / 1.5, q);
        }
        double maxError = 0.0;
        double maxOutput = 0.0;
        for (std::size_t i = 0; i < left.size(); ++i) {
            BusFrame frame;
            frame.bus[bus][0] = left[i];
            frame.bus[bus][1] = right[i];
            const StereoDouble y = section.Process(frame);
            double expectedLeft = 0.0;
            double expectedRight = 0.0;
            for (const Route& route : Routes()[static_cast<std::size_t>(bus)]) {
                double l;
                double r;
                reference[route.band].ProcessSample(route.weight * left[i], route.weight * right[i], l, r);
                expectedLeft += l;
                expectedRight += r;
            }
            maxError = std::max({maxError, std::fabs(y[0] - expectedLeft), std::fabs(y[1] - expectedRight)});
            maxOutput = std::max(maxOutput, std::fabs(expectedLeft));
        }
        EXPECT_LT(maxError, 1e-9 * maxOutput);
        EXPECT_GT(maxOutput, 0.01);
    }
}

TYPED_TEST(PreFilterTest, ShiftScalesAllBandsAndResetRecomputes)
{
    PreFilter<TypeParam> section;
    section.Reset(44100.0);
    const struct {
        double shift;
        double factor;
    } cases[] = {{1.0, 2.0}, {0.0, 1.0}, {-4.0, 0.2}, {4.0, 5.0}, {-1.0, 0.5}, {-9.0, 0.2}, {NAN, 0.2}};
    for (const auto& c : cases) {
        section.ApplyShift(c.shift);
        for (int band = 0; band < 6; ++band) {
            EXPECT_DOUBLE_EQ(section.BandFrequency(band), kBase[band] * c.factor) << c.shift << " " << band;
        }
    }

    // A sample-rate change while the shift already is 1 must still place the
    // bands for the new rate: the output equals fresh filters at 96 kHz.
    section.ApplyShift(1.0);
    section.SetQ(3.0);
    section.Reset(96000.0);
    TypeParam reference;
    PrepareBand(reference, 96000.0, 2.0 * kBase[0], 3.0);
    const std::vector<double> noise = Noise(2000, 3);
    for (double x : noise) {
        BusFrame frame;
        frame.bus[0][0] = x;
        frame.bus[0][1] = x;
        const StereoDouble y = section.Process(frame);
        double l;
        double r;
        reference.ProcessSample(x, x, l, r);
        ASSERT_NEAR(y[0], l, 1e-12);
    }
}

// Gain of an in-place block processor for a sine: RMS ratio over the second
// half of a two-second run.
template <typename Process>
void MeasureStereoGain(double sampleRate, double frequency, Process process, double& left, double& right)
{
    const int count = static_cast<int>(2.0 * sampleRate);
    std::vector<double> l(static_cast<std::size_t>(count));
    std::vector<double> r(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        l[static_cast<std::size_t>(i)] = std::sin(2.0 * kPi * frequency * i / sampleRate);
        r[static_cast<std::size_t>(i)] = 0.5 * l[static_cast<std::size_t>(i)];
    }
    // Blocks of one control period, as in the chain.
    for (int start = 0; start < count; start += 44) {
        process(l.data() + start, r.data() + start, std::min(44, count - start));
    }
    double in = 0.0;
    double outL = 0.0;
    double outR = 0.0;
    for (int i = count / 2; i < count; ++i) {
        const double x = std::sin(2.0 * kPi * frequency * i / sampleRate);
        in += x * x;
        outL += l[static_cast<std::size_t>(i)] * l[static_cast<std::size_t>(i)];
        outR += r[static_cast<std::size_t>(i)] * r[static_cast<std::size_t>(i)];
    }
    left = std::sqrt(outL / in);
    right = std::sqrt(outR / (0.25 * in));
}

// Analog shelving prototypes at the bilinear-warped frequency.
double ShelfGain(bool lowShelf, double gainDb, double frequency, double corner, double sampleRate)
{
    const double v = std::pow(10.0, std::fabs(gainDb) / 20.0);
    const std::complex<double> s(
        0.0, std::tan(kPi * frequency / sampleRate) / std::tan(kPi * corner / sampleRate));
    const std::complex<double> den = s * s + std::sqrt(2.0) * s + 1.0;
    const std::complex<double> num =
        lowShelf ? s * s + std::sqrt(2.0 * v) * s + v : v * s * s + std::sqrt(2.0 * v) * s + 1.0;
    const double boost = std::abs(num / den);
    return gainDb > 0.0 ? boost : 1.0 / boost;
}

TEST(ShelvingFilter, BoostAndCutFollowTheShelvingPrototypes)
{
    for (double sampleRate : {44100.0, 96000.0}) {
        for (bool lowShelf : {true, false}) {
            const double corner = lowShelf ? 480.0 : 800.0;
            for (double gain : {20.0, 6.0, -6.0, -20.0}) {
                SCOPED_TRACE(::testing::Message()
                             << sampleRate << (lowShelf ? " bass " : " treble ") << gain);
                for (double frequency : {40.0, corner, 4000.0, 15000.0}) {
                    ShelvingFilter filter(lowShelf);
                    filter.SetSampleRate(sampleRate, corner);
                    filter.SetGain(gain);
                    double l;
                    double r;
                    MeasureStereoGain(
                        sampleRate, frequency, [&](double* a, double* b, int n) { filter.Process(a, b, n); },
                        l, r);
                    const double expected = ShelfGain(lowShelf, gain, frequency, corner, sampleRate);
                    EXPECT_NEAR(l, expected, 0.01 * expected) << frequency;
                    EXPECT_NEAR(r, expected, 0.01 * expected) << frequency;
                }
            }
        }
    }
    // The musical ends: +20 dB bass is 10x at 40 Hz and unity at 15 kHz.
    EXPECT_NEAR(ShelfGain(true, 20.0, 40.0, 480.0, 44100.0), 10.0, 0.1);
    EXPECT_NEAR(ShelfGain(true, 20.0, 15000.0, 480.0, 44100.0), 1.0, 0.01);
}

TEST(ShelvingFilter, ZeroGainBypassesCornerAboveNyquistStaysStable)
{
    ShelvingFilter filter(false);
    filter.SetSampleRate(44100.0, 800.0);
    EXPECT_FALSE(filter.IsEnabled());
    std::vector<double> l = Noise(100, 4);
    std::vector<double> r = l;
    const std::vector<double> original = l;
    filter.Process(l.data(), r.data(), 100);
    EXPECT_EQ(l, original);

    // Treble at 1 kHz sample rate: the 800 Hz corner lies above Nyquist.
    filter.SetGain(1e9);
    EXPECT_EQ(filter.Gain(), 20.0);
    filter.SetSampleRate(1000.0, 800.0);
    std::vector<double> noise = Noise(20000, 5);
    filter.Process(noise.data(), noise.data() + 10000, 10000);
    for (double x : noise) {
        ASSERT_TRUE(std::fabs(x) < 100.0) << x;
    }
}

// |0.5 (1 + H^6)| for the first-order allpass (a + z^-1) / (1 + a z^-1).
double PhaserGain(double a, double frequency, double sampleRate)
{
    const std::complex<double> zInverse = std::polar(1.0, -2.0 * kPi * frequency / sampleRate);
    const std::complex<double> h = (a + zInverse) / (1.0 + a * zInverse);
    return std::abs(0.5 * (1.0 + std::pow(h, 6)));
}

// Stage coefficient for an LFO term c, from the sweep law.
double StageCoefficient(double c, double sampleRate)
{
    const double d = std::clamp((c * c - 0.5) * 0.9 + 0.48, 0.0, 1.0);
    const double omega = d * 2.0 * kPi * 12000.0 / sampleRate;
    return (omega - 2.0) / (omega + 2.0);
}

TEST(Phaser, NormalModeSweepsBothChannelsAlikePanModeOpposes)
{
    const double sampleRate = 44100.0;
    for (bool pan : {false, true}) {
        SCOPED_TRACE(pan);
        Phaser phaser;
        phaser.Reset(sampleRate);
        phaser.SetMode(pan ? 1.0 : 0.0);
        phaser.SetRate(0.01);
        ASSERT_TRUE(phaser.IsEnabled());
        phaser.Update();  // LFO value -1: the left term is -1, the pan term 2
        EXPECT_EQ(phaser.LfoValue(), -1.0);
        const double aLeft = StageCoefficient(-1.0, sampleRate);
        const double aRight = pan ? StageCoefficient(2.0, sampleRate) : aLeft;
        EXPECT_NEAR(phaser.StageCoefficient(0), aLeft, 1e-15);
        EXPECT_NEAR(phaser.StageCoefficient(1), aRight, 1e-15);
        for (double frequency : {300.0, 1500.0, 4000.0, 9000.0}) {
            double l;
            double r;
            MeasureStereoGain(
                sampleRate, frequency, [&](double* a, double* b, int n) { phaser.Process(a, b, n); }, l, r);
            EXPECT_NEAR(l, PhaserGain(aLeft, frequency, sampleRate), 0.01) << frequency;
            EXPECT_NEAR(r, PhaserGain(aRight, frequency, sampleRate), 0.01) << frequency;
        }
    }
}

TEST(Phaser, LfoCycleAndPanChannelReachesTheTop)
{
    const double sampleRate = 48000.0;
    const double top = StageCoefficient(2.0, sampleRate);
    for (double rate : {10.0, 4.0}) {
        SCOPED_TRACE(rate);
        Phaser phaser;
        phaser.Reset(sampleRate);
        phaser.SetMode(1.0);
        phaser.SetRate(rate);
        // Two full cycles: the LFO is a triangle of period 2000 / rate ticks.
        const int period = static_cast<int>(std::lround(2000.0 / rate));
        std::vector<double> value;
        int leftAtTop = 0;
        int rightAtTop = 0;
        for (int tick = 0; tick < 2 * period; ++tick) {
            phaser.Update();
            value.push_back(phaser.LfoValue());
            leftAtTop += phaser.StageCoefficient(0) == top;
            rightAtTop += phaser.StageCoefficient(1) == top;
            EXPECT_NEAR(phaser.StageCoefficient(1), StageCoefficient(1.0 - phaser.LfoValue(), sampleRate),
                        1e-15);
        }
        for (int tick = 0; tick < period; ++tick) {
            EXPECT_NEAR(value[static_cast<std::size_t>(tick)], value[static_cast<std::size_t>(tick + period)],
                        1e-9);
        }
        EXPECT_EQ(*std::min_element(value.begin(), value.end()), -1.0);
        EXPECT_NEAR(*std::max_element(value.begin(), value.end()), 1.0, 2.0 * rate / 1000.0);
        EXPECT_EQ(leftAtTop, 0);
        // The right channel sits at the top while 1 - LFO >= 1.0296, i.e. for
        // the LFO's lower part (about 48% of the cycle).
        EXPECT_NEAR(rightAtTop / (2.0 * period), 0.485, 0.02);
    }
    Phaser off;
    off.SetRate(0.0);
    EXPECT_FALSE(off.IsEnabled());
    off.SetRate(NAN);
    EXPECT_FALSE(off.IsEnabled());
}

}  // namespace
