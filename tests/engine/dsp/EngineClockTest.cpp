// The engine's clock as the plug-in drives it: block-size invariance, the
// control tick schedule, notes, pedal and all-notes-off through MIDI intake,
// the queue and the sample loop, sample-rate changes, floods and the idle
// continuation. Drives the bare engine: no plug-in, no files.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <random>

#include "ClockHarness.h"
#include "engine/dsp/ParameterIds.h"
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

StereoBuffer RenderPhrase(double sampleRate, int blockSize, bool upfront,
                          void (*setup)(BlockRenderer&) = nullptr)
{
    ClockHarness engine(sampleRate, 4096);
    if (setup != nullptr) {
        setup(engine);
    }
    return engine.Render(10000, blockSize, Phrase(), upfront);
}

// Index of the voice playing key, -1 when none is active with it.
int VoiceOf(const Engine& plugin, int key)
{
    for (int v = 0; v < VoiceArray::kVoiceCount; ++v) {
        const Voice& voice = plugin.Voices().GetVoice(v);
        if (voice.active && voice.note == key) {
            return v;
        }
    }
    return -1;
}

const Voice& VoiceFor(const Engine& plugin, int key)
{
    return plugin.Voices().GetVoice(std::max(VoiceOf(plugin, key), 0));
}

double LargestDifference(const StereoBuffer& a, const StereoBuffer& b, std::size_t begin, std::size_t end)
{
    double largest = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
        largest = std::max({largest, std::fabs(a.left[i] - b.left[i]), std::fabs(a.right[i] - b.right[i])});
    }
    return largest;
}

TEST(Idle, SilenceIsSkippedWithin1e12AndNotesComeBackExact)
{
    const std::vector<TimedMidi> song = {{0, 0x90, 48, 100},   {0, 0x90, 64, 100},     {48000, 0x80, 48, 0},
                                         {48000, 0x80, 64, 0}, {480000, 0x90, 60, 90}, {528000, 0x80, 60, 0}};
    constexpr std::int64_t kFrames = 672000;  // 14 s at 48 kHz
    ClockHarness reference(48000.0, 512);
    reference.Core().SetReferenceRendering(true);
    const StereoBuffer expected = reference.Render(kFrames, 512, song);

    ClockHarness engine(48000.0, 512);
    const StereoBuffer idle = engine.Render(kFrames, 512, song);
    const Engine& plugin = engine.Core();
    std::printf("[ idle ] %lld of %lld control periods skipped\n",
                static_cast<long long>(plugin.IdlePeriodCount()),
                static_cast<long long>(plugin.ControlTickCount()));
    EXPECT_GT(plugin.IdlePeriodCount(), 5000) << "the long silence is skipped";
    EXPECT_EQ(plugin.ControlTickCount(), reference.Core().ControlTickCount());
    EXPECT_LE(LargestDifference(idle, expected, 0, 480000), 1e-12) << "up to the second note";
    // The note after the silence is computed again; the chain's states,
    // frozen while skipped, differ by no more than the dither level.
    EXPECT_LE(LargestDifference(idle, expected, 480000, kFrames), 1e-9);
    EXPECT_GT(idle.Rms(480000, 528000), 0.01) << "the note sounds";
}

TEST(Idle, SilentBlocksAreReportedAndMayStayUnwritten)
{
    ClockHarness harness(48000.0, 512);
    Engine& engine = harness.Core();
    std::vector<double> left(512, 7.0);
    std::vector<double> right(512, 7.0);
    // Once the chain has settled, silent blocks are skipped and nothing is
    // written when the caller allows it.
    int blocks = 0;
    while (!engine.Render(left.data(), right.data(), 512) && blocks < 2000) {
        ++blocks;
    }
    ASSERT_LT(blocks, 2000);
    std::fill(left.begin(), left.end(), 7.0);
    std::fill(right.begin(), right.end(), 7.0);
    EXPECT_TRUE(engine.Render(left.data(), right.data(), 512, false));
    EXPECT_EQ(left[0], 7.0);
    EXPECT_EQ(right[511], 7.0);
    EXPECT_TRUE(engine.Render(left.data(), right.data(), 512));
    EXPECT_EQ(*std::max_element(left.begin(), left.end()), 0.0);
    // A note inside the block: computed, and zeros before it.
    std::fill(left.begin(), left.end(), 7.0);
    engine.Intake(MidiMessage{200, 0x90, 60, 100});
    EXPECT_FALSE(engine.Render(left.data(), right.data(), 512, false));
    EXPECT_EQ(left[0], 0.0);
    double loudest = 0.0;
    for (const double sample : left) {
        loudest = std::max(loudest, std::fabs(sample));
    }
    EXPECT_GT(loudest, 0.0);
    EXPECT_LT(loudest, 7.0);
}

TEST(RenderLoop, OutputDoesNotDependOnTheHostBlockSize)
{
    for (const double rate : {44100.0, 48000.0}) {
        for (auto* setup : {static_cast<void (*)(BlockRenderer&)>(nullptr), &VcfSerialBrass}) {
            const StereoBuffer expected = RenderPhrase(rate, 4096, false, setup);
            ASSERT_GT(expected.Rms(), 0.0);
            for (const int block : {1, 7, 44, 48, 512}) {
                EXPECT_TRUE(Identical(RenderPhrase(rate, block, false, setup), expected))
                    << "rate " << rate << ", blocks of " << block;
            }
            // Events handed over long before their block play at their sample.
            for (const int block : {1, 7, 512}) {
                EXPECT_TRUE(Identical(RenderPhrase(rate, block, true, setup), expected))
                    << "rate " << rate << ", all events up front, blocks of " << block;
            }
        }
    }
}

TEST(RenderLoop, OneTickPerControlPeriodWhateverTheBlocks)
{
    ClockHarness engine(44100.0, 4096);
    Engine& plugin = engine.Core();
    ASSERT_EQ(plugin.ControlPeriod(), 44);
    const std::int64_t before = plugin.ControlTickCount();
    engine.Render(440, 1);
    EXPECT_EQ(plugin.ControlTickCount() - before, 10);
    engine.Render(44, 44);
    EXPECT_EQ(plugin.ControlTickCount() - before, 11);
    engine.Render(0, 1);
    plugin.Render(nullptr, nullptr, 0);
    EXPECT_EQ(plugin.ControlTickCount() - before, 11) << "a render of 0 frames runs no tick";
    engine.Render(45, 45);  // 44 + 1: a second tick at frame 44
    EXPECT_EQ(plugin.ControlTickCount() - before, 13);
    EXPECT_EQ(plugin.Countdown(), 43);
    EXPECT_EQ(ClockHarness(96000.0).Core().ControlPeriod(), 96);
}

TEST(RenderLoop, DefaultNoteSoundsAndFallsSilentAfterRelease)
{
    ClockHarness engine(48000.0, 512);
    const StereoBuffer held = engine.Render(48000, 512, {{0, 0x90, 69, 100}});
    EXPECT_GT(held.Rms(24000), 1e-3);
    EXPECT_TRUE(held.AllFinite());
    // "VCA Release" 0.2 is about 55 ms; a second later nothing is left.
    engine.Render(48000, 512, {{0, 0x80, 69, 0}});
    // What is left is the filters' anti-denormal offset (1e-13).
    const StereoBuffer after = engine.Render(4800, 512);
    EXPECT_LT(after.PeakAbs(), 1e-11);
    EXPECT_EQ(engine.Core().Voices().ActiveCount(), 0);
}

TEST(RenderLoop, MasterMixerLevelsZeroGiveSilence)
{
    ClockHarness engine;
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

TEST(RenderLoop, SampleRateChangeSilencesVoicesAndRestartsOscillators)
{
    ClockHarness engine(48000.0, 512);
    Engine& plugin = engine.Core();
    engine.Render(4800, 512, {{0, 0x90, 60, 100}, {0, 0x90, 64, 100}});
    ASSERT_EQ(plugin.Voices().ActiveCount(), 2);
    ASSERT_NE(plugin.Banks().Bank(kBankA).Phase(3), 0u);

    engine.Reset(44100.0);
    EXPECT_EQ(plugin.ControlPeriod(), 44);
    EXPECT_EQ(plugin.Voices().ActiveCount(), 0);
    EXPECT_EQ(plugin.Voices().SerialCounter(), 0);
    for (int bank = 0; bank < 3; ++bank) {
        for (int p = 0; p < 12; ++p) {
            EXPECT_EQ(plugin.Banks().Bank(bank).Phase(p), 0u);
        }
    }
    const std::int64_t ticks = plugin.ControlTickCount();
    EXPECT_LT(engine.Render(1, 1).PeakAbs(), 1e-11);
    EXPECT_EQ(plugin.ControlTickCount(), ticks + 1) << "the first render after the change starts with a tick";
    // Notes played afterwards sound at the new rate.
    EXPECT_GT(engine.Render(4410, 441, {{0, 0x90, 60, 100}}).Rms(), 0.0);
}

TEST(RenderLoop, FloodsAreBoundedAndNothingAllocates)
{
    ClockHarness engine(48000.0, 512);
    Engine& plugin = engine.Core();
    const int capacity = plugin.PendingMidi().Capacity();
    ASSERT_EQ(capacity, MidiQueue::kMinCapacity);
    engine.Render(512, 512);
    double left[512];
    double right[512];
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
    EXPECT_LE(plugin.PendingMidi().Count() + plugin.EventFifo().Count(), 3 * capacity + 3001);
    plugin.Render(left, right, 512);
    EXPECT_GT(plugin.Voices().ActiveCount(), 0) << "the note at offset 100 sounds";
    for (int block = 0; block < 10; ++block) {
        plugin.Render(left, right, 512);
    }
    EXPECT_EQ(AllocationCount(), before);
    EXPECT_LE(plugin.PendingMidi().Count(), capacity);
    // A reset keeps the capacity for this block size.
    engine.Reset(48000.0);
    EXPECT_EQ(plugin.PendingMidi().Capacity(), capacity);
}

TEST(NoteHandling, VelocityZeroReleasesLikeNoteOff)
{
    ClockHarness engine;
    engine.Render(960, 64, {{0, 0x90, 60, 100}, {0, 0x93, 62, 100}});
    engine.Render(96, 64, {{10, 0x90, 60, 0}, {10, 0x83, 62, 77}});
    for (const int key : {60, 62}) {
        const Voice& voice = VoiceFor(engine.Core(), key);
        EXPECT_FALSE(voice.keyDown) << key;
        EXPECT_TRUE(voice.ampEnvelope.IsReleasing()) << key;
    }
}

TEST(NoteHandling, SameKeyReusesItsVoiceAndRetriggersFromTheCurrentLevel)
{
    ClockHarness engine;
    engine.Render(480, 48, {{0, 0x90, 60, 100}, {1, 0x90, 64, 100}, {100, 0x80, 60, 0}});
    const int voice = VoiceOf(engine.Core(), 60);
    ASSERT_GE(voice, 0);
    const double releasing = engine.Core().Voices().GetVoice(voice).ampEnvelope.Level();
    ASSERT_GT(releasing, 0.0);
    engine.Render(1, 1, {{0, 0x90, 60, 90}});
    const Voice& again = engine.Core().Voices().GetVoice(voice);
    EXPECT_EQ(VoiceOf(engine.Core(), 60), voice);
    EXPECT_EQ(again.serial, 3);
    EXPECT_EQ(again.ampEnvelope.CurrentStage(), EnvelopeGenerator::kAttack);
    EXPECT_GE(again.ampEnvelope.Level(), releasing) << "a retrigger continues from the current level";
    EXPECT_EQ(engine.Core().Voices().ActiveCount(), 2);
}

TEST(NoteHandling, WithAllVoicesSoundingTheOldestNoteIsStolen)
{
    ClockHarness engine;
    std::vector<TimedMidi> notes;
    for (int k = 0; k < 64; ++k) {
        notes.push_back({k, 0x90, static_cast<std::uint8_t>(30 + k), 100});
    }
    // The oldest note is released but still sounds by its release.
    notes.push_back({200, 0x80, 30, 0});
    engine.Render(480, 480, notes);
    Engine& plugin = engine.Core();
    ASSERT_EQ(plugin.Voices().ActiveCount(), 64);
    const int oldest = VoiceOf(plugin, 30);
    ASSERT_TRUE(plugin.Voices().GetVoice(oldest).ampEnvelope.IsReleasing());
    const int second = VoiceOf(plugin, 31);

    engine.Render(48, 48, {{0, 0x90, 100, 100}});
    EXPECT_EQ(VoiceOf(plugin, 100), oldest);
    EXPECT_EQ(VoiceOf(plugin, 30), -1);
    engine.Render(48, 48, {{0, 0x90, 101, 100}});
    EXPECT_EQ(VoiceOf(plugin, 101), second) << "then the next oldest";
    EXPECT_EQ(plugin.Voices().ActiveCount(), 64);
}

TEST(NoteHandling, SustainPedalHoldsReleasedKeysOnly)
{
    ClockHarness engine;
    Engine& plugin = engine.Core();
    engine.Render(480, 100, {{0, 0x90, 60, 100}, {0, 0x90, 64, 100}, {5, 0xB0, 64, 1}, {50, 0x80, 60, 0}});
    EXPECT_TRUE(plugin.Voices().SustainPedal()) << "any value from 1 is down";
    EXPECT_FALSE(VoiceFor(plugin, 60).keyDown);
    EXPECT_FALSE(VoiceFor(plugin, 60).ampEnvelope.IsReleasing()) << "the pedal holds the note";

    engine.Render(96, 96, {{10, 0xB0, 64, 0}});
    EXPECT_TRUE(VoiceFor(plugin, 60).ampEnvelope.IsReleasing());
    EXPECT_TRUE(VoiceFor(plugin, 64).keyDown);
    EXPECT_FALSE(VoiceFor(plugin, 64).ampEnvelope.IsReleasing()) << "a held key keeps sounding";
}

TEST(NoteHandling, AllNotesOffActsAtOnceAndDropsPendingNotes)
{
    for (const int controller : {120, 123}) {
        ClockHarness engine;
        Engine& plugin = engine.Core();
        engine.Render(100, 100, {{0, 0x90, 60, 100}, {0, 0x90, 64, 100}, {0, 0xB0, 64, 127}});
        // Pending: a note for later in this period and one far ahead.
        engine.Midi(2, 0x90, 67, 100);
        engine.Midi(5000, 0x90, 69, 100);
        engine.Midi(3000, 0xB0, controller, 0);
        EXPECT_FALSE(plugin.Voices().SustainPedal());
        EXPECT_TRUE(VoiceFor(plugin, 60).ampEnvelope.IsReleasing()) << controller;
        EXPECT_TRUE(VoiceFor(plugin, 64).ampEnvelope.IsReleasing()) << controller;
        EXPECT_TRUE(plugin.EventFifo().Empty());
        engine.Render(48, 48);
        EXPECT_EQ(VoiceOf(plugin, 67), -1) << "the pending note of this period is dropped";
        // The queue is not touched: the far note still comes.
        engine.Render(5000, 512);
        EXPECT_GE(VoiceOf(plugin, 69), 0);
    }
}

TEST(NoteHandling, ExtendedSustainLastsUntilTheNextNoteOn)
{
    ClockHarness engine;
    engine.Set(kVorn2000Sustain, 0.9);
    engine.Set(kVcaRelease, 0.1);
    Engine& plugin = engine.Core();
    engine.Render(4800, 480, {{0, 0x90, 60, 100}, {2400, 0x80, 60, 0}});
    const Voice& voice = VoiceFor(plugin, 60);
    ASSERT_TRUE(voice.ampEnvelope.IsReleasing());
    EXPECT_TRUE(voice.ampEnvelope.ExtendedSustainActive());
    const double longRate = voice.ampEnvelope.Rate();
    engine.Render(48, 48, {{0, 0x90, 72, 100}});
    EXPECT_FALSE(voice.ampEnvelope.ExtendedSustainActive());
    EXPECT_GT(voice.ampEnvelope.Rate(), longRate) << "the tail falls at the normal release rate";
    EXPECT_TRUE(VoiceFor(plugin, 72).ampEnvelope.ExtendedSustainActive());
}

TEST(NoteHandling, AResetInsideAControlPeriodKeepsPendingNotesOnTime)
{
    ClockHarness engine(48000.0, 4096);
    Engine& plugin = engine.Core();
    // One note waits in the queue (frame 100), one in the FIFO (frame 40).
    engine.Midi(100, 0x90, 60, 100);
    engine.Render(30, 30);
    engine.Midi(10, 0x90, 62, 100);
    engine.Reset(48000.0);  // same rate: a new control period starts at frame 30
    EXPECT_EQ(plugin.Countdown(), 0);
    engine.Render(10, 10);
    EXPECT_EQ(VoiceOf(plugin, 62), -1);
    engine.Render(1, 1);
    EXPECT_GE(VoiceOf(plugin, 62), 0) << "frame 40";
    engine.Render(59, 59);
    EXPECT_EQ(VoiceOf(plugin, 60), -1);
    engine.Render(1, 1);
    EXPECT_GE(VoiceOf(plugin, 60), 0) << "frame 100";
}

TEST(NoteHandling, MessagesWithoutAudibleEffectChangeNothing)
{
    // Pitch bend, channel and polyphonic pressure, system messages and
    // malformed data bytes leave the output exactly as it was.
    const std::vector<TimedMidi> notes = {{0, 0x90, 60, 100}, {3000, 0x80, 60, 0}};
    std::vector<TimedMidi> noisy = notes;
    for (int t = 1; t < 2000; t += 97) {
        noisy.push_back({t, 0xE0, 0, 127});
        noisy.push_back({t, 0xD3, 90, 0});
        noisy.push_back({t, 0xA0, 60, 127});
        noisy.push_back({t, 0xF2, 1, 2});
        noisy.push_back({t, 0x90, 200, 100});
        noisy.push_back({t, 0x90, 64, 255});
        noisy.push_back({t, 0x7F, 64, 100});
    }
    std::sort(noisy.begin(), noisy.end(),
              [](const TimedMidi& a, const TimedMidi& b) { return a.time < b.time; });
    ClockHarness clean;
    ClockHarness disturbed;
    EXPECT_EQ(clean.Render(4800, 256, notes), disturbed.Render(4800, 256, noisy));
}

TEST(NoteHandling, ArbitraryMidiBytesAndOffsetsAreSafe)
{
    std::mt19937 random(77);
    ClockHarness engine(44100.0, 512);
    const int offsets[] = {0, -1, INT_MIN, INT_MAX, 43, 44, 45, 511, 512, 100000};
    for (int block = 0; block < 200; ++block) {
        for (int m = 0; m < 20; ++m) {
            const int offset = m % 3 == 0 ? offsets[random() % 10] : static_cast<int>(random() % 1024);
            engine.Midi(offset, static_cast<int>(random() & 0xFF), static_cast<int>(random() & 0xFF),
                        static_cast<int>(random() & 0xFF));
        }
        const StereoBuffer out = engine.Render(1 + block % 300, 512);
        ASSERT_TRUE(out.AllFinite()) << "block " << block;
    }
}

TEST(NoteHandling, KeysFeedTheirNoteBus)
{
    EXPECT_EQ(NoteBusOfKey(0), 0);
    EXPECT_EQ(NoteBusOfKey(42), 0);
    EXPECT_EQ(NoteBusOfKey(43), 1);
    EXPECT_EQ(NoteBusOfKey(46), 1);
    EXPECT_EQ(NoteBusOfKey(47), 2);
    EXPECT_EQ(NoteBusOfKey(82), 10);
    EXPECT_EQ(NoteBusOfKey(83), 11);
    EXPECT_EQ(NoteBusOfKey(127), 11);

    // A low key sounds on bus 0 (and the raw bus) only, so of the pre-filter
    // bands only band 0 receives it; the bus is that of the played key, not
    // of the transposed one.
    OscillatorBanks banks;
    CutoffTable table;
    banks.SetSampleRate(48000.0);
    table.Build(48000.0);
    for (int b = 0; b < 3; ++b) {
        banks.SetLevel(b, 1.0);
        banks.SetPan(b, 0.5);
    }
    VoiceArray voices(banks, table);
    voices.Reset(48000.0, 48);
    voices.SetTranspose(kBankA, 12.0);
    voices.NoteOn(33, 127);
    banks.UpdateAtControlTick();
    std::vector<BusFrame> frames(48);
    voices.Render(0, 48, frames.data());
    double energy[BusFrame::kBusCount] = {};
    for (const BusFrame& frame : frames) {
        for (int k = 0; k < BusFrame::kBusCount; ++k) {
            energy[k] += frame.bus[k][0] * frame.bus[k][0] + frame.bus[k][1] * frame.bus[k][1];
        }
    }
    EXPECT_GT(energy[0], 0.0);
    EXPECT_GT(energy[BusFrame::kRawBus], 0.0);
    for (int k = 1; k < BusFrame::kBusCount; ++k) {
        if (k != BusFrame::kRawBus) {
            EXPECT_EQ(energy[k], 0.0) << "bus " << k;
        }
    }
}

TEST(EngineClock, ControllersReachTheSinkAtTheirTickAndTheWheelAndPedalDoNot)
{
    struct Sink : Engine::ControllerSink {
        std::vector<std::pair<int, std::int64_t>> seen;  // controller, tick count
        const Engine* engine = nullptr;
        void OnController(int controller, int) override
        {
            seen.push_back({controller, engine->ControlTickCount()});
        }
    } sink;
    ClockHarness engine(44100.0, 4096);
    sink.engine = &engine.Core();
    engine.Core().SetControllerSink(&sink);
    const std::int64_t start = engine.Core().ControlTickCount();
    // Frame 10 of the first period, frame 100 (the tick at frame 88 is the
    // nearest), the wheel and the pedal; the sink sees the tick count before
    // the tick that hands a controller over.
    engine.Render(441, 441, {{10, 0xB0, 7, 1}, {100, 0xB0, 10, 2}, {5, 0xB0, 1, 64}, {6, 0xB0, 64, 127}});
    ASSERT_EQ(sink.seen.size(), 2u);
    EXPECT_EQ(sink.seen[0], std::make_pair(7, start)) << "the tick of its own period, which had not run";
    EXPECT_EQ(sink.seen[1], std::make_pair(10, start + 2)) << "the tick at frame 88";
    EXPECT_EQ(engine.Core().ModulationWheel(), 64 / 127.0);
    engine.Core().SetControllerSink(nullptr);
    engine.Render(441, 441, {{0, 0xB0, 7, 3}});
    EXPECT_EQ(sink.seen.size(), 2u) << "without a sink, mapped controllers are dropped";
}

}  // namespace
