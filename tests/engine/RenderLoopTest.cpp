// The product's render loop: the voice paths against the reference loop over
// the whole parameter ranges, suspend and resume through the dispatcher, and
// extreme settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "EngineHarness.h"
#include "tests/support/AllocationCounter.h"

namespace {

// A phrase with overlapping notes, a retriggered key, velocities, the pedal,
// a velocity-0 note-off and events inside control periods.
std::vector<TimedMidi> Phrase()
{
    return {
        {0, 0x90, 60, 100},  {3, 0x90, 64, 90},     {50, 0x90, 67, 127}, {97, 0xB0, 64, 127},
        {130, 0x80, 60, 0},  {131, 0x91, 72, 30},   {1000, 0x90, 64, 0}, {1001, 0x90, 60, 64},
        {2222, 0xB0, 64, 0}, {2223, 0x90, 36, 110}, {4100, 0x80, 67, 0}, {4101, 0x90, 67, 80},
        {6000, 0x80, 72, 0}, {7777, 0x80, 60, 0},   {8000, 0x80, 36, 0}, {8001, 0x80, 67, 0},
    };
}

TEST(RenderLoop, VoiceStretchesMatchTheFrameByFrameLoop)
{
    // Randomized settings; every voice path (VCF off, parallel, serial,
    // highpass) against the straightforward loop, bit for bit.
    std::mt19937 random(1234);
    for (int trial = 0; trial < 12; ++trial) {
        std::vector<double> values(kParameterCount);
        EngineHarness probe;
        for (int i = 1; i < kParameterCount; ++i) {
            const Parameter& p = *probe.Plugin().GetParameter(i);
            values[static_cast<std::size_t>(i)] =
                p.FromNormalized(std::uniform_real_distribution<double>(0.0, 1.0)(random));
        }
        auto render = [&](bool reference, int block) {
            EngineHarness engine(44100.0, 4096);
            for (int i = 1; i < kParameterCount; ++i) {
                engine.Set(i, values[static_cast<std::size_t>(i)]);
            }
            engine.Plugin().Core().SetReferenceRendering(reference);
            return engine.Render(6000, block, Phrase());
        };
        const StereoBuffer expected = render(true, 4096);
        EXPECT_TRUE(Identical(render(false, 4096), expected)) << "trial " << trial;
        EXPECT_TRUE(Identical(render(false, 7), expected)) << "trial " << trial;
    }
}

TEST(RenderLoop, SuspendAndResumeRenderTheSameSongAgain)
{
    // A song with vibrato, the modulator on the VCF, the phaser and the
    // voice filters in use, so that every running phase and filter state
    // would show if it carried over.
    const std::vector<TimedMidi> song = {{0, 0x90, 48, 100},   {0, 0x90, 60, 90},    {100, 0xB0, 1, 127},
                                         {9000, 0x90, 67, 80}, {20000, 0x80, 48, 0}, {30000, 0x80, 60, 0},
                                         {30000, 0x80, 67, 0}, {30000, 0xB0, 1, 0}};
    auto setUp = [](EngineHarness& engine) {
        engine.Set(kVcfLevel, 0.5);
        engine.Set(kFilterArrangement, 1.0);
        engine.Set(kVibratoADepth, 0.8);
        engine.Set(kModulatorDepth, 0.7);
        engine.Set(kPhaserMode, 1.0);
    };
    EngineHarness fresh(48000.0, 512);
    setUp(fresh);
    const StereoBuffer expected = fresh.Render(48000, 512, song);

    EngineHarness engine(48000.0, 512);
    setUp(engine);
    const StereoBuffer first = engine.Render(48000, 512, song);
    ASSERT_EQ(first, expected);
    AEffect* effect = engine.Plugin().Effect();
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::vector<TimedMidi> again = song;  // the harness counts time on
    for (TimedMidi& m : again) {
        m.time += 48000;
    }
    const StereoBuffer second = engine.Render(48000, 512, again);
    EXPECT_TRUE(second == expected) << "the second pass sounds like a fresh instance";
}

TEST(RenderLoop, ExtremeRandomSettingsStayFiniteAndBounded)
{
    std::mt19937 random(20261208);
    std::vector<TimedMidi> chord;
    for (int k = 0; k < 64; ++k) {
        chord.push_back({k * 13, 0x90, static_cast<std::uint8_t>(k * 2), static_cast<std::uint8_t>(1 + k)});
    }
    for (int trial = 0; trial < 10; ++trial) {
        EngineHarness engine(trial % 2 == 0 ? 44100.0 : 96000.0, 1024);
        for (int i = 1; i < kParameterCount; ++i) {
            const Parameter& p = *engine.Plugin().GetParameter(i);
            // Mostly the ends of the ranges.
            const int pick = std::uniform_int_distribution<int>(0, 3)(random);
            const double n = pick == 0   ? 0.0
                             : pick == 1 ? 1.0
                                         : std::uniform_real_distribution<double>(0, 1)(random);
            engine.Set(i, p.FromNormalized(n));
        }
        const StereoBuffer out = engine.Render(20000, 1024, chord);
        EXPECT_TRUE(out.AllFinite()) << "trial " << trial;
        EXPECT_LT(out.PeakAbs(), 1000.0) << "trial " << trial;
    }
}

}  // namespace
