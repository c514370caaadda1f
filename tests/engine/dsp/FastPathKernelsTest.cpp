// The engine's optimised kernels against the straightforward per-frame code
// they replace, bit for bit: the voice filters side by side (SSE2 and 256-bit
// paths), the pre-filter bands in registers over a chunk, the phaser without
// per-frame checks, and the silent chain that replays its steady cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/dsp/OscillatorBank.h"
#include "engine/dsp/Phaser.h"
#include "engine/dsp/PreFilter.h"
#include "engine/dsp/SignalChain.h"
#include "engine/dsp/VectorLevel.h"
#include "engine/dsp/VoiceFilterBank.h"

namespace {

bool SameBits(const double* a, const double* b, std::size_t count)
{
    return std::memcmp(a, b, count * sizeof(double)) == 0;
}

bool SameBuses(const std::vector<BusFrame>& a, const std::vector<BusFrame>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(BusFrame)) == 0;
}

// Lifts the vector-level cap whatever a test does.
struct VectorLevelGuard {
    ~VectorLevelGuard() { CapVectorLevel(VectorLevel::kAvx512); }
};

// The vector levels this processor can run, SSE2 pairs first.
std::vector<VectorLevel> AvailableLevels()
{
    std::vector<VectorLevel> levels;
    for (const VectorLevel level :
         {VectorLevel::kPairs, VectorLevel::kAvx, VectorLevel::kAvx2, VectorLevel::kAvx512}) {
        if (level <= ProcessorVectorLevel()) {
            levels.push_back(level);
        }
    }
    return levels;
}

struct VoiceSetup {
    double type;
    double peak;
    int cutoff;
    int bus;
    int warmup;  // frames run before the stretch, so dithers and states differ
};

// Chunk frames begin..end-1 of a chunk of `frames`.
struct StretchOf {
    int frames;
    int begin;
    int end;
};

// Runs `count` voice filters over one stretch: Process per voice and frame
// (the definition), then the bank at every vector level the processor has.
// Buses, outputs and final filter states must agree bit for bit.
void CheckBank(const std::vector<VoiceSetup>& setups, VoiceFilterBank::Routing routing, std::mt19937& random,
               bool poison, StretchOf stretch = {48, 5, 41})
{
    const int frames = stretch.frames;
    const int begin = stretch.begin;
    const int end = stretch.end;
    const CutoffTable table;
    const int count = static_cast<int>(setups.size());
    std::uniform_real_distribution<double> sample(-2.0, 2.0);
    std::vector<double> input(static_cast<std::size_t>(count) * 2 * frames);
    for (double& x : input) {
        x = sample(random);
    }
    if (poison) {
        // A NaN and an infinity reach two voices: their states reset.
        input[2 * frames * 0 + 2 * 20] = std::numeric_limits<double>::quiet_NaN();
        input[static_cast<std::size_t>(2 * frames * (count - 1) + 2 * 30 + 1)] =
            std::numeric_limits<double>::infinity();
        if (frames > 150) {
            // And one in a later piece of the 512-bit path.
            input[static_cast<std::size_t>(2 * frames * (count / 2) + 2 * 150)] =
                -std::numeric_limits<double>::infinity();
        }
    }
    auto makeFilters = [&] {
        std::vector<VoiceFilter> filters(static_cast<std::size_t>(count), VoiceFilter(&table));
        for (int v = 0; v < count; ++v) {
            VoiceFilter& f = filters[static_cast<std::size_t>(v)];
            const VoiceSetup& s = setups[static_cast<std::size_t>(v)];
            f.SetType(s.type);
            f.SetPeak(s.peak);
            f.SetCutoff(s.cutoff);
            double l;
            double r;
            for (int i = 0; i < s.warmup; ++i) {
                f.Process(std::sin(0.1 * i), std::cos(0.07 * i), l, r);
            }
        }
        return filters;
    };
    auto inputs = [&](std::vector<VoiceFilter>& filters) {
        std::vector<VoiceFilterBank::Input> list;
        for (int v = 0; v < count; ++v) {
            list.push_back({&filters[static_cast<std::size_t>(v)], input.data() + 2 * frames * v,
                            setups[static_cast<std::size_t>(v)].bus});
        }
        return list;
    };
    auto freshBuses = [&] {
        std::vector<BusFrame> buses(frames);
        for (int i = 0; i < frames; ++i) {
            for (int b = 0; b < BusFrame::kBusCount; ++b) {
                buses[static_cast<std::size_t>(i)].bus[b][0] = 0.001 * (i + b);
                buses[static_cast<std::size_t>(i)].bus[b][1] = -0.002 * (i - b);
            }
        }
        return buses;
    };

    // The definition.
    std::vector<VoiceFilter> expectedFilters = makeFilters();
    std::vector<BusFrame> expected = freshBuses();
    for (int i = begin; i < end; ++i) {
        for (int v = 0; v < count; ++v) {
            const double* x = input.data() + 2 * frames * v + 2 * i;
            double l;
            double r;
            expectedFilters[static_cast<std::size_t>(v)].Process(x[0], x[1], l, r);
            StereoPair* buses = expected[static_cast<std::size_t>(i)].bus;
            if (routing.vcfBus) {
                buses[BusFrame::kVcfBus][0] += l;
                buses[BusFrame::kVcfBus][1] += r;
            }
            if (routing.noteBuses) {
                const int bus = setups[static_cast<std::size_t>(v)].bus;
                buses[bus][0] += routing.serial ? l : x[0];
                buses[bus][1] += routing.serial ? r : x[1];
            }
        }
    }
    auto finalStates = [](std::vector<VoiceFilter>& filters) {
        // One more frame of 0 input shows each filter's state and dither.
        std::vector<double> out;
        for (VoiceFilter& f : filters) {
            double l;
            double r;
            f.Process(0.0, 0.0, l, r);
            out.push_back(l);
            out.push_back(r);
        }
        return out;
    };
    const std::vector<double> expectedStates = finalStates(expectedFilters);

    VectorLevelGuard guard;
    for (const VectorLevel level : AvailableLevels()) {
        CapVectorLevel(level);
        std::vector<VoiceFilter> filters = makeFilters();
        std::vector<BusFrame> buses = freshBuses();
        const std::vector<VoiceFilterBank::Input> list = inputs(filters);
        VoiceFilterBank::Run(list.data(), count, begin, end, buses.data(), routing);
        EXPECT_TRUE(SameBuses(buses, expected))
            << "vector level " << static_cast<int>(level) << ", " << count << " voices";
        const std::vector<double> states = finalStates(filters);
        EXPECT_TRUE(SameBits(states.data(), expectedStates.data(), states.size()))
            << "vector level " << static_cast<int>(level) << ", " << count << " voices: filter state differs";
    }
}

TEST(FastPathKernels, VoiceFilterBankMatchesProcessPerVoice)
{
    if (ProcessorVectorLevel() < VectorLevel::kAvx512) {
        std::printf("note: this processor runs vector levels up to %d only\n",
                    static_cast<int>(ProcessorVectorLevel()));
    }
    std::mt19937 random(5);
    std::uniform_int_distribution<int> cutoff(-100, 17400);
    std::uniform_int_distribution<int> bus(0, 11);
    std::uniform_int_distribution<int> warmup(0, 9);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const VoiceFilterBank::Routing routings[] = {
        {true, true, true}, {true, true, false}, {true, false, false}, {false, true, true}};
    // Voice counts around the pair and group sizes; all lowpass, all
    // highpass, and modes mixed at random (unpaired neighbours).
    for (const int count : {1, 2, 3, 7, 8, 9, 16, 33, 64}) {
        for (int modes = 0; modes < 3; ++modes) {
            std::vector<VoiceSetup> setups;
            for (int v = 0; v < count; ++v) {
                const double type = modes == 0 ? 0.0 : modes == 1 ? 1.0 : (unit(random) < 0.5 ? 0.0 : 1.0);
                setups.push_back({type, unit(random), cutoff(random), bus(random), warmup(random)});
            }
            for (const VoiceFilterBank::Routing& routing : routings) {
                CheckBank(setups, routing, random, modes == 2 && count > 2);
            }
        }
    }
}

// A stretch longer than the 512-bit path's pieces, with neighbours on one
// note bus (added in registers there), clean and with a NaN or infinity in
// an early and a late piece.
TEST(FastPathKernels, VoiceFilterBankLongStretchesMatchProcessPerVoice)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const int count : {5, 24, 64}) {
        std::vector<VoiceSetup> setups;
        for (int v = 0; v < count; ++v) {
            setups.push_back({v % 7 == 6 ? 1.0 : 0.0, unit(random), 4000 + 150 * v, v * 12 / count, v % 5});
        }
        for (const bool poison : {false, true}) {
            CheckBank(setups, {true, true, true}, random, poison, {200, 3, 190});
            CheckBank(setups, {false, true, false}, random, poison, {200, 3, 190});
        }
    }
}

template <typename Band>
void CheckPreFilterChunk(std::mt19937& random)
{
    std::uniform_real_distribution<double> sample(-1.0, 1.0);
    std::uniform_real_distribution<double> shift(-4.0, 4.0);
    std::uniform_real_distribution<double> q(0.5, 10.0);
    const int frames = 96;
    for (int trial = 0; trial < 6; ++trial) {
        std::vector<BusFrame> buses(frames);
        for (BusFrame& frame : buses) {
            for (StereoPair& pair : frame.bus) {
                pair[0] = sample(random);
                pair[1] = sample(random);
            }
        }
        if (trial == 5) {
            buses[40].bus[3][0] = std::numeric_limits<double>::quiet_NaN();
            buses[70].bus[11][1] = -std::numeric_limits<double>::infinity();
        }
        PreFilter<Band> reference;
        PreFilter<Band> chunked;
        const double qValue = q(random);
        const double shiftValue = shift(random);
        for (PreFilter<Band>* section : {&reference, &chunked}) {
            section->SetQ(qValue);
            section->Reset(44100.0 + 3900.0 * trial);
            section->ApplyShift(shiftValue);
        }
        const double level = 0.3 + trial * 0.25;
        std::vector<double> expectedLeft(frames, 0.125);
        std::vector<double> expectedRight(frames, -0.25);
        std::vector<double> left = expectedLeft;
        std::vector<double> right = expectedRight;
        for (int i = 0; i < frames; ++i) {
            const StereoDouble y = reference.Process(buses[static_cast<std::size_t>(i)]);
            const StereoDouble mix = StereoDouble{expectedLeft[static_cast<std::size_t>(i)],
                                                  expectedRight[static_cast<std::size_t>(i)]} +
                                     Broadcast(level) * y;
            expectedLeft[static_cast<std::size_t>(i)] = mix[0];
            expectedRight[static_cast<std::size_t>(i)] = mix[1];
        }
        // In uneven pieces: the state carries over between calls.
        chunked.ProcessAdd(buses.data(), 1, level, left.data(), right.data());
        chunked.ProcessAdd(buses.data() + 1, 46, level, left.data() + 1, right.data() + 1);
        chunked.ProcessAdd(buses.data() + 47, frames - 47, level, left.data() + 47, right.data() + 47);
        EXPECT_TRUE(SameBits(left.data(), expectedLeft.data(), frames)) << "trial " << trial;
        EXPECT_TRUE(SameBits(right.data(), expectedRight.data(), frames)) << "trial " << trial;
    }
}

TEST(FastPathKernels, PreFilterChunkMatchesFrameByFrame)
{
    std::mt19937 random(9);
    CheckPreFilterChunk<LowPass>(random);
    CheckPreFilterChunk<LowPass6dB>(random);
}

// The phaser as defined: every state value checked every frame.
struct ReferencePhaser {
    double a[2];
    double s[6][2] = {};
    double dither = 1e-13;

    void Process(double* left, double* right, int count)
    {
        for (int i = 0; i < count; ++i) {
            double* io[2] = {left + i, right + i};
            for (int c = 0; c < 2; ++c) {
                const double x = *io[c];
                double u = x;
                for (int k = 0; k < 6; ++k) {
                    const double state = std::isfinite(s[k][c]) ? s[k][c] + dither : 0.0;
                    const double next = a[c] * u + state;
                    s[k][c] = u - a[c] * next;
                    u = next;
                }
                *io[c] = 0.5 * (x + u);
            }
            dither = -dither;
        }
    }
};

TEST(FastPathKernels, PhaserMatchesTheCheckedDefinitionAlsoWithBadInput)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> sample(-1.0, 1.0);
    for (const bool pan : {false, true}) {
        Phaser phaser;
        phaser.Reset(48000.0);
        phaser.SetMode(pan ? 1.0 : 0.0);
        phaser.SetRate(7.0);
        ReferencePhaser reference;
        for (int tick = 0; tick < 300; ++tick) {
            phaser.Update();
            reference.a[0] = phaser.StageCoefficient(0);
            reference.a[1] = phaser.StageCoefficient(1);
            // Chunks shorter and longer than the checked blocks.
            const int n = 1 + tick * 37 % 150;
            std::vector<double> left(static_cast<std::size_t>(n));
            std::vector<double> right(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) {
                left[static_cast<std::size_t>(i)] = sample(random);
                right[static_cast<std::size_t>(i)] = sample(random);
            }
            if (tick % 50 == 10) {
                left[static_cast<std::size_t>(n / 2)] = std::numeric_limits<double>::quiet_NaN();
            }
            if (tick % 50 == 30) {
                right[static_cast<std::size_t>(n - 1)] = std::numeric_limits<double>::infinity();
            }
            if (tick % 50 == 40) {
                left[0] = 1e308;  // overflows inside the chain
            }
            std::vector<double> expectedLeft = left;
            std::vector<double> expectedRight = right;
            reference.Process(expectedLeft.data(), expectedRight.data(), n);
            phaser.Process(left.data(), right.data(), n);
            ASSERT_TRUE(SameBits(left.data(), expectedLeft.data(), left.size())) << "tick " << tick;
            ASSERT_TRUE(SameBits(right.data(), expectedRight.data(), right.size())) << "tick " << tick;
        }
    }
}

// Silent chunks through RenderSilentChunk (which replays the steady cycle)
// against the plain MixChunk and RenderChunk, with settings changing during
// the silence and chunk lengths that end inside a cycle.
TEST(FastPathKernels, SilentChainReplayMatchesComputation)
{
    auto configure = [](SignalChain& chain) {
        chain.SetSampleRate(48000.0);
        chain.SetPreFilter2Level(1.3);
        chain.SetOrganStringsLevel(0.8);
        chain.SetDirectLevel(0.9);
        chain.SetPhaserRate(2.0);
        chain.SetMasterVolume(1.5);
    };
    SignalChain computed;
    SignalChain replaying;
    configure(computed);
    configure(replaying);
    const int period = computed.ControlPeriod();
    std::vector<BusFrame> silent(static_cast<std::size_t>(period));
    std::vector<BusFrame> loud(static_cast<std::size_t>(period));
    for (int i = 0; i < period; ++i) {
        for (int b = 0; b < BusFrame::kBusCount; ++b) {
            loud[static_cast<std::size_t>(i)].bus[b][0] = std::sin(0.05 * (i + 3 * b));
            loud[static_cast<std::size_t>(i)].bus[b][1] = std::cos(0.03 * (i + 5 * b));
        }
    }
    std::vector<double> expectedLeft(static_cast<std::size_t>(period));
    std::vector<double> expectedRight(static_cast<std::size_t>(period));
    std::vector<double> left(static_cast<std::size_t>(period));
    std::vector<double> right(static_cast<std::size_t>(period));
    for (int chunk = 0; chunk < 6000; ++chunk) {
        if (chunk == 1500) {
            for (SignalChain* chain : {&computed, &replaying}) {
                chain->SetPreFilter2Shift(2.0);
                chain->SetOrganStringsLevel(0.0);
            }
        }
        if (chunk == 3000) {
            for (SignalChain* chain : {&computed, &replaying}) {
                chain->SetPreFilter1Level(0.5);
                chain->SetPreFilter1Shift(3.5);
            }
        }
        for (SignalChain* chain : {&computed, &replaying}) {
            chain->UpdateModulation(0.0);
            chain->UpdatePhaser();
        }
        // Mostly whole periods, sometimes an odd or short chunk, and a burst
        // of sound now and then.
        const int n = chunk % 97 == 0 ? 7 : chunk % 89 == 0 ? 30 : period;
        const bool sound = chunk % 1000 == 500;
        const std::vector<BusFrame>& buses = sound ? loud : silent;
        computed.MixChunk(buses.data(), n);
        computed.RenderChunk(n, expectedLeft.data(), expectedRight.data());
        if (sound) {
            replaying.MixChunk(buses.data(), n);
            replaying.RenderChunk(n, left.data(), right.data());
        } else {
            replaying.RenderSilentChunk(buses.data(), n, left.data(), right.data());
        }
        ASSERT_TRUE(SameBits(left.data(), expectedLeft.data(), static_cast<std::size_t>(n)))
            << "chunk " << chunk;
        ASSERT_TRUE(SameBits(right.data(), expectedRight.data(), static_cast<std::size_t>(n)))
            << "chunk " << chunk;
    }
    EXPECT_EQ(computed.ReplayedChunkCount(), 0u);
    EXPECT_GT(replaying.ReplayedChunkCount(), 2000u);
}

TEST(FastPathKernels, AdvancingPhasesByManyFramesEqualsSingleSteps)
{
    OscillatorBanks stepped;
    OscillatorBanks jumped;
    for (OscillatorBanks* banks : {&stepped, &jumped}) {
        banks->SetSampleRate(44100.0);
        banks->UpdateAtControlTick();
    }
    for (const int n : {0, 1, 7, 48, 441, 100000}) {
        for (int i = 0; i < n; ++i) {
            stepped.AdvancePhases();
        }
        jumped.AdvancePhases(n);
        for (int b = 0; b < OscillatorBanks::kBankCount; ++b) {
            for (int p = 0; p < 12; ++p) {
                ASSERT_EQ(jumped.Bank(b).Phase(p), stepped.Bank(b).Phase(p)) << n << " frames";
            }
        }
    }
}

}  // namespace
