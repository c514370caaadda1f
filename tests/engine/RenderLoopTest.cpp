// The render loop as the host drives it: block-size invariance, the control
// tick schedule, sample-rate changes, the master section and robustness.
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

StereoBuffer RenderPhrase(double sampleRate, int blockSize, bool upfront, bool reference,
                          void (*setup)(EngineHarness&) = nullptr)
{
    EngineHarness engine(sampleRate, 4096);
    if (setup != nullptr) {
        setup(engine);
    }
    engine.Plugin().Core().SetReferenceRendering(reference);
    return engine.Render(10000, blockSize, Phrase(), upfront);
}

bool Identical(const StereoBuffer& a, const StereoBuffer& b)
{
    return a.left.size() == b.left.size() &&
           std::memcmp(a.left.data(), b.left.data(), a.left.size() * sizeof(double)) == 0 &&
           std::memcmp(a.right.data(), b.right.data(), a.right.size() * sizeof(double)) == 0;
}

TEST(RenderLoop, OutputDoesNotDependOnTheHostBlockSize)
{
    for (const double rate : {44100.0, 48000.0}) {
        for (auto* setup : {static_cast<void (*)(EngineHarness&)>(nullptr), &VcfSerialBrass}) {
            const StereoBuffer expected = RenderPhrase(rate, 4096, false, false, setup);
            ASSERT_GT(expected.Rms(), 0.0);
            for (const int block : {1, 7, 44, 48, 512}) {
                EXPECT_TRUE(Identical(RenderPhrase(rate, block, false, false, setup), expected))
                    << "rate " << rate << ", blocks of " << block;
            }
            // Events handed over long before their block play at their sample.
            for (const int block : {1, 7, 512}) {
                EXPECT_TRUE(Identical(RenderPhrase(rate, block, true, false, setup), expected))
                    << "rate " << rate << ", all events up front, blocks of " << block;
            }
        }
    }
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

TEST(RenderLoop, OneTickPerControlPeriodWhateverTheBlocks)
{
    EngineHarness engine(44100.0, 4096);
    VORN& plugin = engine.Plugin();
    ASSERT_EQ(plugin.Core().ControlPeriod(), 44);
    const std::int64_t before = plugin.Core().ControlTickCount();
    engine.Render(440, 1);
    EXPECT_EQ(plugin.Core().ControlTickCount() - before, 10);
    engine.Render(44, 44);
    EXPECT_EQ(plugin.Core().ControlTickCount() - before, 11);
    engine.Render(0, 1);
    double* none[2] = {nullptr, nullptr};
    plugin.RenderBlock(nullptr, none, 0);
    EXPECT_EQ(plugin.Core().ControlTickCount() - before, 11) << "a render of 0 frames runs no tick";
    engine.Render(45, 45);  // 44 + 1: a second tick at frame 44
    EXPECT_EQ(plugin.Core().ControlTickCount() - before, 13);
    EXPECT_EQ(plugin.Core().Countdown(), 43);
    EXPECT_EQ(EngineHarness(96000.0).Plugin().Core().ControlPeriod(), 96);
}

TEST(RenderLoop, DefaultNoteSoundsAndFallsSilentAfterRelease)
{
    EngineHarness engine(48000.0, 512);
    const StereoBuffer held = engine.Render(48000, 512, {{0, 0x90, 69, 100}});
    EXPECT_GT(held.Rms(24000), 1e-3);
    EXPECT_TRUE(held.AllFinite());
    // "VCA Release" 0.2 is about 55 ms; a second later nothing is left.
    engine.Render(48000, 512, {{0, 0x80, 69, 0}});
    // What is left is the filters' anti-denormal offset (1e-13).
    const StereoBuffer after = engine.Render(4800, 512);
    EXPECT_LT(after.PeakAbs(), 1e-11);
    EXPECT_EQ(engine.Plugin().Core().Voices().ActiveCount(), 0);
}

TEST(RenderLoop, MasterMixerLevelsZeroGiveSilence)
{
    EngineHarness engine;
    engine.Set(kDirectLevel, 0.0);
    engine.Set(kOrganStringsFilterLevel, 0.0);
    engine.Set(kChorusFilterLevel, 0.0);
    engine.Set(kRawSignalLevel, 2.0);
    engine.Set(kPreFilter1Level, 2.0);
    const StereoBuffer out = engine.Render(9600, 256, {{0, 0x90, 60, 127}, {0, 0x90, 67, 127}});
    EXPECT_EQ(out.PeakAbs(), 0.0);
    // The same notes with only the organ+strings path open do sound.
    engine.Set(kOrganStringsFilterLevel, 1.0);
    EXPECT_GT(engine.Render(4800, 256).Rms(), 0.0);
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

TEST(RenderLoop, SampleRateChangeSilencesVoicesAndRestartsOscillators)
{
    EngineHarness engine(48000.0, 512);
    VORN& plugin = engine.Plugin();
    engine.Render(4800, 512, {{0, 0x90, 60, 100}, {0, 0x90, 64, 100}});
    ASSERT_EQ(plugin.Core().Voices().ActiveCount(), 2);
    ASSERT_NE(plugin.Core().Banks().Bank(kBankA).Phase(3), 0u);

    plugin.SetSampleRate(44100.0);
    plugin.OnReset();
    EXPECT_EQ(plugin.Core().ControlPeriod(), 44);
    EXPECT_EQ(plugin.Core().Voices().ActiveCount(), 0);
    EXPECT_EQ(plugin.Core().Voices().SerialCounter(), 0);
    for (int bank = 0; bank < 3; ++bank) {
        for (int p = 0; p < 12; ++p) {
            EXPECT_EQ(plugin.Core().Banks().Bank(bank).Phase(p), 0u);
        }
    }
    const std::int64_t ticks = plugin.Core().ControlTickCount();
    EXPECT_LT(engine.Render(1, 1).PeakAbs(), 1e-11);
    EXPECT_EQ(plugin.Core().ControlTickCount(), ticks + 1) << "the first render after the change starts with a tick";
    // Notes played afterwards sound at the new rate.
    EXPECT_GT(engine.Render(4410, 441, {{0, 0x90, 60, 100}}).Rms(), 0.0);
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

TEST(RenderLoop, FloodsAreBoundedAndNothingAllocates)
{
    EngineHarness engine(48000.0, 512);
    VORN& plugin = engine.Plugin();
    const int capacity = plugin.Core().PendingMidi().Capacity();
    ASSERT_EQ(capacity, MidiQueue::kMinCapacity);
    engine.Render(512, 512);
    double left[512];
    double right[512];
    double* outputs[2] = {left, right};
    const long before = AllocationCount();
    // Far more messages than the queue holds, many beyond this block, and
    // far-future ones first: a note due soon must still sound.
    for (int i = 0; i < 3 * capacity; ++i) {
        engine.Midi(1 << 30, 0x90, 20 + i % 90, 1 + i % 126);
    }
    engine.Midi(100, 0x90, 60, 100);
    for (int i = 0; i < 3000; ++i) {
        engine.Midi(i % 3000, i % 2 == 0 ? 0x90 : 0x80, 20 + i % 90, 1 + i % 126);
    }
    EXPECT_LE(plugin.Core().PendingMidi().Count() + plugin.Core().EventFifo().Count(), 3 * capacity + 3001);
    plugin.RenderBlock(nullptr, outputs, 512);
    EXPECT_GT(plugin.Core().Voices().ActiveCount(), 0) << "the note at offset 100 sounds";
    for (int block = 0; block < 10; ++block) {
        plugin.RenderBlock(nullptr, outputs, 512);
    }
    EXPECT_EQ(AllocationCount(), before);
    EXPECT_LE(plugin.Core().PendingMidi().Count(), capacity);
    // A reset keeps the capacity for this block size.
    plugin.OnReset();
    EXPECT_EQ(plugin.Core().PendingMidi().Capacity(), capacity);
}

}  // namespace
