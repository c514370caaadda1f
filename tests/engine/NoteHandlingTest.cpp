// The product's part of MIDI intake: controllers through the controller map
// at their control tick, program changes and MIDI thru.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "EngineHarness.h"

namespace {

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

}  // namespace
