// Writes the three user-interface sounds of the module into a folder:
// click1.bin and click2.bin (two mechanical switch clicks, 2048 samples each)
// and scratch.bin (a vinyl scratch, 16384 samples), all signed 8-bit mono at
// 32 kHz without a header. The output depends only on the fixed seeds below,
// so regenerating gives the same bytes (checked by a test).
//
// Usage: gen-ui-sounds <output folder>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {
constexpr double kSampleRate = 32000.0;
constexpr int kClickLength = 2048;
constexpr int kScratchLength = 16384;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// SplitMix64: small, fast and the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [-1, 1).
    double Bipolar() { return static_cast<double>(Next() >> 11) * 0x1.0p-52 - 1.0; }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t m_state;
};

// One decaying sine mode of the switch housing.
struct Mode {
    double frequency;  // Hz
    double decay;      // time constant in seconds
    double level;
};

// One mechanical event: a noise impulse exciting a few resonant modes.
struct Strike {
    double time;        // seconds from the start
    double level;       // relative loudness
    double noiseDecay;  // time constant of the contact noise in seconds
    std::vector<Mode> modes;
};

// Scales to a peak of `peak`, fades out the last `fadeLength` samples and
// converts to signed 8-bit.
std::vector<std::int8_t> ToSigned8(std::vector<double> samples, double peak, int fadeLength)
{
    double maximum = 0.0;
    for (const double s : samples) {
        maximum = std::max(maximum, std::fabs(s));
    }
    const double gain = maximum > 0.0 ? peak / maximum : 0.0;
    const int length = static_cast<int>(samples.size());
    std::vector<std::int8_t> out(samples.size());
    for (int i = 0; i < length; ++i) {
        double s = samples[static_cast<std::size_t>(i)] * gain;
        const int fromEnd = length - 1 - i;
        if (fromEnd < fadeLength) {
            s *= static_cast<double>(fromEnd) / fadeLength;
        }
        const double q = std::clamp(std::round(s * 127.0), -128.0, 127.0);
        out[static_cast<std::size_t>(i)] = static_cast<std::int8_t>(q);
    }
    return out;
}

std::vector<std::int8_t> MakeClick(std::uint64_t seed, const std::vector<Strike>& strikes)
{
    Random random(seed);
    std::vector<double> out(kClickLength, 0.0);
    for (const Strike& strike : strikes) {
        const int start = static_cast<int>(std::lround(strike.time * kSampleRate));
        // Random phases so that the modes do not all start at a zero crossing.
        std::vector<double> phases;
        for (std::size_t m = 0; m < strike.modes.size(); ++m) {
            phases.push_back(kTwoPi * random.Unit());
        }
        double previousNoise = 0.0;
        for (int i = start; i < kClickLength; ++i) {
            const double t = (i - start) / kSampleRate;
            // First difference of white noise: a bright contact crack.
            const double white = random.Bipolar();
            const double crack = (white - previousNoise) * std::exp(-t / strike.noiseDecay);
            previousNoise = white;
            double body = 0.0;
            for (std::size_t m = 0; m < strike.modes.size(); ++m) {
                const Mode& mode = strike.modes[m];
                // A 0.15 ms rise keeps the attack from being a single-sample step.
                const double rise = 1.0 - std::exp(-t / 0.00015);
                body += mode.level * rise * std::exp(-t / mode.decay) *
                        std::sin(kTwoPi * mode.frequency * t + phases[m]);
            }
            out[static_cast<std::size_t>(i)] += strike.level * (0.6 * crack + body);
        }
    }
    return ToSigned8(std::move(out), 0.85, 64);
}

// A record moved back and forth under the needle: a buzzy groove recording is
// read at a speed that swings through zero several times, so its pitch and
// loudness sweep up and down; surface hiss and crackle sit on top.
std::vector<std::int8_t> MakeScratch(std::uint64_t seed)
{
    Random random(seed);

    // The groove: noise at recording resolution, read with interpolation.
    constexpr int kGrooveLength = 1 << 15;
    std::vector<double> grooveNoise(kGrooveLength);
    double smooth = 0.0;
    for (double& g : grooveNoise) {
        smooth += 0.35 * (random.Bipolar() - smooth);
        g = smooth;
    }
    constexpr double kToneFrequency = 170.0;  // Hz of the recorded tone at normal speed
    constexpr int kHarmonics = 14;

    std::vector<double> out(kScratchLength, 0.0);
    double recordTime = 0.15;  // seconds into the recording
    double strokePhase = 0.0;
    double pop = 0.0;
    for (int i = 0; i < kScratchLength; ++i) {
        const double t = i / kSampleRate;
        // Hand motion: about six strokes a second, uneven in rate and reach.
        const double strokeRate = 6.0 + 1.6 * std::sin(kTwoPi * 1.1 * t + 0.4);
        const double reach = 1.7 + 0.5 * std::sin(kTwoPi * 0.9 * t + 1.3);
        strokePhase += kTwoPi * strokeRate / kSampleRate;
        const double speed = reach * std::sin(strokePhase);  // recording seconds per second
        recordTime += speed / kSampleRate;

        double tone = 0.0;
        for (int k = 1; k <= kHarmonics; ++k) {
            // Harmonics pushed above 12 kHz by the speed fade out (no aliasing).
            const double apparent = k * kToneFrequency * std::fabs(speed);
            const double band = std::clamp((12000.0 - apparent) / 3000.0, 0.0, 1.0);
            tone += band * std::sin(kTwoPi * k * kToneFrequency * recordTime) / k;
        }
        const double groovePosition = std::fmod(recordTime * kSampleRate, kGrooveLength - 1.0);
        const double wrapped = groovePosition < 0.0 ? groovePosition + (kGrooveLength - 1.0) : groovePosition;
        const int index = static_cast<int>(wrapped);
        const double frac = wrapped - index;
        const double noise = grooveNoise[static_cast<std::size_t>(index)] * (1.0 - frac) +
                             grooveNoise[static_cast<std::size_t>(index + 1)] * frac;

        // The needle only makes sound while the groove moves under it.
        const double loudness = std::pow(std::min(1.0, std::fabs(speed) / 1.2), 0.8);
        double s = loudness * (0.55 * tone + 0.9 * noise);

        // Surface: steady hiss and sparse crackle pops.
        s += 0.03 * random.Bipolar();
        if (random.Unit() < 40.0 / kSampleRate) {
            pop = 0.6 * random.Bipolar();
        }
        s += pop;
        pop *= 0.72;

        out[static_cast<std::size_t>(i)] = s;
    }
    return ToSigned8(std::move(out), 0.9, 480);
}

bool Write(const std::string& path, const std::vector<std::int8_t>& samples)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
    return static_cast<bool>(file);
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen-ui-sounds <output folder>\n");
        return 2;
    }
    const std::string folder = argv[1];

    // A light switch-like click: sharp crack, bright housing ring, softer release.
    const std::vector<Strike> click1 = {
        {0.0005, 1.0, 0.0004, {{2350.0, 0.006, 1.0}, {4100.0, 0.003, 0.6}, {820.0, 0.010, 0.35}}},
        {0.0190, 0.35, 0.0003, {{2900.0, 0.004, 1.0}, {5200.0, 0.002, 0.5}}},
    };
    // A heavier click: lower, duller ring and a quicker release.
    const std::vector<Strike> click2 = {
        {0.0005, 1.0, 0.0005, {{1750.0, 0.007, 1.0}, {3300.0, 0.004, 0.55}, {620.0, 0.012, 0.45}}},
        {0.0115, 0.45, 0.0003, {{2100.0, 0.005, 1.0}, {6200.0, 0.0015, 0.4}}},
    };

    const bool ok = Write(folder + "/click1.bin", MakeClick(0x5EED0001, click1)) &&
                    Write(folder + "/click2.bin", MakeClick(0x5EED0002, click2)) &&
                    Write(folder + "/scratch.bin", MakeScratch(0x5EED0003));
    if (!ok) {
        std::fprintf(stderr, "gen-ui-sounds: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
