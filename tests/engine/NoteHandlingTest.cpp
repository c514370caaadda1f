// Notes, pedal and controllers as they reach the voices through the MIDI
// intake, the queue, the control tick and the sample loop.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "EngineHarness.h"

namespace {

// Index of the voice playing key, -1 when none is active with it.
int VoiceOf(const VORN& plugin, int key)
{
    for (int v = 0; v < VoiceArray::kVoiceCount; ++v) {
        const Voice& voice = plugin.Core().Voices().GetVoice(v);
        if (voice.active && voice.note == key) {
            return v;
        }
    }
    return -1;
}

const Voice& VoiceFor(const VORN& plugin, int key)
{
    return plugin.Core().Voices().GetVoice(std::max(VoiceOf(plugin, key), 0));
}

TEST(NoteHandling, VelocityZeroReleasesLikeNoteOff)
{
    EngineHarness engine;
    engine.Render(960, 64, {{0, 0x90, 60, 100}, {0, 0x93, 62, 100}});
    engine.Render(96, 64, {{10, 0x90, 60, 0}, {10, 0x83, 62, 77}});
    for (const int key : {60, 62}) {
        const Voice& voice = VoiceFor(engine.Plugin(), key);
        EXPECT_FALSE(voice.keyDown) << key;
        EXPECT_TRUE(voice.ampEnvelope.IsReleasing()) << key;
    }
}

TEST(NoteHandling, SameKeyReusesItsVoiceAndRetriggersFromTheCurrentLevel)
{
    EngineHarness engine;
    engine.Render(480, 48, {{0, 0x90, 60, 100}, {1, 0x90, 64, 100}, {100, 0x80, 60, 0}});
    const int voice = VoiceOf(engine.Plugin(), 60);
    ASSERT_GE(voice, 0);
    const double releasing = engine.Plugin().Core().Voices().GetVoice(voice).ampEnvelope.Level();
    ASSERT_GT(releasing, 0.0);
    engine.Render(1, 1, {{0, 0x90, 60, 90}});
    const Voice& again = engine.Plugin().Core().Voices().GetVoice(voice);
    EXPECT_EQ(VoiceOf(engine.Plugin(), 60), voice);
    EXPECT_EQ(again.serial, 3);
    EXPECT_EQ(again.ampEnvelope.CurrentStage(), EnvelopeGenerator::kAttack);
    EXPECT_GE(again.ampEnvelope.Level(), releasing) << "a retrigger continues from the current level";
    EXPECT_EQ(engine.Plugin().Core().Voices().ActiveCount(), 2);
}

TEST(NoteHandling, WithAllVoicesSoundingTheOldestNoteIsStolen)
{
    EngineHarness engine;
    std::vector<TimedMidi> notes;
    for (int k = 0; k < 64; ++k) {
        notes.push_back({k, 0x90, static_cast<std::uint8_t>(30 + k), 100});
    }
    // The oldest note is released but still sounds by its release.
    notes.push_back({200, 0x80, 30, 0});
    engine.Render(480, 480, notes);
    VORN& plugin = engine.Plugin();
    ASSERT_EQ(plugin.Core().Voices().ActiveCount(), 64);
    const int oldest = VoiceOf(plugin, 30);
    ASSERT_TRUE(plugin.Core().Voices().GetVoice(oldest).ampEnvelope.IsReleasing());
    const int second = VoiceOf(plugin, 31);

    engine.Render(48, 48, {{0, 0x90, 100, 100}});
    EXPECT_EQ(VoiceOf(plugin, 100), oldest);
    EXPECT_EQ(VoiceOf(plugin, 30), -1);
    engine.Render(48, 48, {{0, 0x90, 101, 100}});
    EXPECT_EQ(VoiceOf(plugin, 101), second) << "then the next oldest";
    EXPECT_EQ(plugin.Core().Voices().ActiveCount(), 64);
}

TEST(NoteHandling, SustainPedalHoldsReleasedKeysOnly)
{
    EngineHarness engine;
    VORN& plugin = engine.Plugin();
    engine.Render(480, 100, {{0, 0x90, 60, 100}, {0, 0x90, 64, 100}, {5, 0xB0, 64, 1}, {50, 0x80, 60, 0}});
    EXPECT_TRUE(plugin.Core().Voices().SustainPedal()) << "any value from 1 is down";
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
        EngineHarness engine;
        VORN& plugin = engine.Plugin();
        engine.Render(100, 100, {{0, 0x90, 60, 100}, {0, 0x90, 64, 100}, {0, 0xB0, 64, 127}});
        // Pending: a note for later in this period and one far ahead.
        engine.Midi(2, 0x90, 67, 100);
        engine.Midi(5000, 0x90, 69, 100);
        engine.Midi(3000, 0xB0, controller, 0);
        EXPECT_FALSE(plugin.Core().Voices().SustainPedal());
        EXPECT_TRUE(VoiceFor(plugin, 60).ampEnvelope.IsReleasing()) << controller;
        EXPECT_TRUE(VoiceFor(plugin, 64).ampEnvelope.IsReleasing()) << controller;
        EXPECT_TRUE(plugin.Core().EventFifo().Empty());
        engine.Render(48, 48);
        EXPECT_EQ(VoiceOf(plugin, 67), -1) << "the pending note of this period is dropped";
        // The queue is not touched: the far note still comes.
        engine.Render(5000, 512);
        EXPECT_GE(VoiceOf(plugin, 69), 0);
    }
}

TEST(NoteHandling, ExtendedSustainLastsUntilTheNextNoteOn)
{
    EngineHarness engine;
    engine.Set(kVorn2000Sustain, 0.9);
    engine.Set(kVcaRelease, 0.1);
    VORN& plugin = engine.Plugin();
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

TEST(NoteHandling, ControllersGoThroughTheMapAtTheControlTick)
{
    EngineHarness engine;
    VORN& plugin = engine.Plugin();
    plugin.ControllerMap().Assign(7, kDirectLevel);
    plugin.ControllerMap().Assign(1, kBass);  // never used: controller 1 is the wheel
    engine.Midi(0, 0xB5, 7, 0);
    engine.Midi(0, 0xB0, 1, 127);
    engine.Midi(0, 0xB0, 8, 100);  // unassigned
    EXPECT_EQ(plugin.GetParameter(kDirectLevel)->Value(), 1.0) << "not before the tick";
    engine.Render(1, 1);
    EXPECT_EQ(plugin.GetParameter(kDirectLevel)->Value(), 0.0);
    EXPECT_EQ(plugin.Core().ModulationWheel(), 1.0);
    EXPECT_EQ(plugin.GetParameter(kBass)->Value(), 0.0);
    // The whole normalized range: 127 is the maximum.
    engine.Render(48, 48, {{0, 0xB0, 7, 127}});
    EXPECT_EQ(plugin.GetParameter(kDirectLevel)->Value(), 2.0);
}

TEST(NoteHandling, ControllersBeyondTheFirstPeriodActAtTheNearestTick)
{
    EngineHarness engine(48000.0, 4096);
    VORN& plugin = engine.Plugin();
    plugin.ControllerMap().Assign(7, kDirectLevel);
    plugin.ControllerMap().Assign(10, kRawSignalLevel);
    // Beyond the first period (48 frames) half a period is added: 60 acts at
    // the tick at 48, 80 at the tick at 96.
    engine.Midi(60, 0xB0, 7, 0);
    engine.Midi(80, 0xB0, 10, 127);
    engine.Render(48, 48);
    EXPECT_EQ(plugin.GetParameter(kDirectLevel)->Value(), 1.0);
    engine.Render(1, 1);
    EXPECT_EQ(plugin.GetParameter(kDirectLevel)->Value(), 0.0);
    engine.Render(47, 47);
    EXPECT_EQ(plugin.GetParameter(kRawSignalLevel)->Value(), 0.0);
    engine.Render(1, 1);
    EXPECT_EQ(plugin.GetParameter(kRawSignalLevel)->Value(), 2.0);
}

TEST(NoteHandling, AResetInsideAControlPeriodKeepsPendingNotesOnTime)
{
    EngineHarness engine(48000.0, 4096);
    VORN& plugin = engine.Plugin();
    // One note waits in the queue (frame 100), one in the FIFO (frame 40).
    engine.Midi(100, 0x90, 60, 100);
    engine.Render(30, 30);
    engine.Midi(10, 0x90, 62, 100);
    plugin.OnReset();  // same rate: a new control period starts at frame 30
    EXPECT_EQ(plugin.Core().Countdown(), 0);
    engine.Render(10, 10);
    EXPECT_EQ(VoiceOf(plugin, 62), -1);
    engine.Render(1, 1);
    EXPECT_GE(VoiceOf(plugin, 62), 0) << "frame 40";
    engine.Render(59, 59);
    EXPECT_EQ(VoiceOf(plugin, 60), -1);
    engine.Render(1, 1);
    EXPECT_GE(VoiceOf(plugin, 60), 0) << "frame 100";
}

TEST(NoteHandling, ProgramChangeLoadsAPresetUnlessIgnored)
{
    EngineHarness engine;
    VORN& plugin = engine.Plugin();
    engine.Midi(0, 0xC0, 5, 0);
    EXPECT_EQ(plugin.CurrentPresetIndex(), 5);
    plugin.SetIgnoreProgramChange(true);
    engine.Midi(0, 0xC0, 7, 0);
    EXPECT_EQ(plugin.CurrentPresetIndex(), 5);
    plugin.SetIgnoreProgramChange(false);
    engine.Midi(0, 0xC0, 100, 0);  // no such preset
    EXPECT_EQ(plugin.CurrentPresetIndex(), 5);
}

struct ThruHost {
    static inline int sent = 0;
    static VstIntPtr VSTCALLBACK Callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
    {
        sent += opcode == audioMasterProcessEvents ? 1 : 0;
        return 1;
    }
};

TEST(NoteHandling, MidiThruSendsEveryMessageBackOut)
{
    VORN plugin(&ThruHost::Callback);
    ThruHost::sent = 0;
    MidiMessage message;
    message.status = 0xF8;  // even messages the engine ignores
    plugin.HandleMidiMessage(message);
    EXPECT_EQ(ThruHost::sent, 0);
    plugin.SetMidiThru(true);
    plugin.HandleMidiMessage(message);
    message.status = 0x90;
    message.data1 = 60;
    message.data2 = 1;
    plugin.HandleMidiMessage(message);
    EXPECT_EQ(ThruHost::sent, 2);
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
    EngineHarness clean;
    EngineHarness disturbed;
    EXPECT_EQ(clean.Render(4800, 256, notes), disturbed.Render(4800, 256, noisy));
}

TEST(NoteHandling, ArbitraryMidiBytesAndOffsetsAreSafe)
{
    std::mt19937 random(77);
    EngineHarness engine(44100.0, 512);
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

}  // namespace
