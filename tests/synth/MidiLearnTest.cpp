#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "SynthTestSupport.h"

namespace {

// Stands in for the panel's learn switch.
struct SwitchProbe : MidiLearnSwitch {
    int shownOff = 0;
    void ShowLearnOff() override { ++shownOff; }
};

class MidiLearn : public ConfigurationSandbox {
protected:
    void SetUp() override
    {
        ConfigurationSandbox::SetUp();
        m_plugin = MakeRunningVorn();
        m_plugin->AttachMidiLearnSwitch(&m_switch);
        RecordingHost::sent.clear();
    }
    void TearDown() override
    {
        m_plugin.reset();
        ConfigurationSandbox::TearDown();
    }

    int Entry(int controller) const { return m_plugin->ControllerMap().ParameterFor(controller); }
    void Controller(int controller, int value) { SendMidi(*m_plugin, 0xB0, controller, value); }
    // An editor gesture on a knob.
    void TouchKnob(int index, double normalized) { m_plugin->SetParameterFromEditor(index, normalized); }
    // Learn has ended on its own and the switch was told so.
    void ExpectEnded(const char* context)
    {
        EXPECT_FALSE(m_plugin->MidiLearnActive()) << context;
        EXPECT_EQ(m_switch.shownOff, 1) << context;
        m_switch.shownOff = 0;
    }

    std::unique_ptr<VORN> m_plugin;
    SwitchProbe m_switch;
};

TEST_F(MidiLearn, ControllerAndKnobInEitherOrderMakeOneAssignment)
{
    VORN& plugin = *m_plugin;
    plugin.SetMidiLearn(true, false);
    Controller(10, 64);
    EXPECT_TRUE(plugin.MidiLearnActive()) << "waits for a parameter";
    EXPECT_EQ(Entry(10), -1);
    TouchKnob(kVcfCutoff, 0.3);
    EXPECT_EQ(Entry(10), kVcfCutoff);
    ExpectEnded("controller first");
    Controller(10, 127);
    RenderFrames(plugin);
    EXPECT_EQ(plugin.GetParameter(kVcfCutoff)->Normalized(), 1.0) << "the controller drives the knob";

    // Knob first; a second knob and a second controller replace the first
    // ones until the pair is complete; the learn message goes no further.
    plugin.SetMidiLearn(true, false);
    TouchKnob(kBass, 0.2);
    TouchKnob(kDirectLevel, 0.2);
    Controller(20, 5);
    EXPECT_EQ(Entry(20), kDirectLevel);
    ExpectEnded("knob first");
    RenderFrames(plugin);
    EXPECT_NEAR(plugin.GetParameter(kDirectLevel)->Normalized(), 0.2, 1e-9);

    // Learning controller 11 for the parameter of controller 10 moves it.
    plugin.SetMidiLearn(true, false);
    Controller(12, 1);
    Controller(11, 1);
    TouchKnob(kVcfCutoff, 0.5);
    EXPECT_EQ(Entry(11), kVcfCutoff);
    EXPECT_EQ(Entry(10), -1) << "one controller per learned parameter";
    EXPECT_EQ(Entry(12), -1);
    EXPECT_EQ(Entry(20), kDirectLevel);
    ExpectEnded("reassigned");
}

TEST_F(MidiLearn, UnlearnByControllerOrByParameter)
{
    MidiControllerMap& map = m_plugin->ControllerMap();
    map.Assign(10, kBass);
    map.Assign(12, kBass);
    map.Assign(13, kDirectLevel);
    m_plugin->SetMidiLearn(true, true);
    Controller(10, 0);
    EXPECT_EQ(Entry(10), -1);
    EXPECT_EQ(Entry(12), kBass);
    ExpectEnded("by controller");

    map.Assign(10, kBass);
    m_plugin->SetMidiLearn(true, true);
    TouchKnob(kBass, 0.9);
    EXPECT_EQ(Entry(10), -1);
    EXPECT_EQ(Entry(12), -1);
    EXPECT_EQ(Entry(13), kDirectLevel);
    ExpectEnded("by parameter");
}

TEST_F(MidiLearn, EveryControllerBelow120AndParametersUpTo70AreCaptured)
{
    VORN& plugin = *m_plugin;
    const double wheel = plugin.Core().ModulationWheel();
    plugin.SetMidiLearn(true, false);
    for (int controller : {64, 1, 0, 119}) {
        Controller(controller, 127);
        EXPECT_EQ(plugin.LearnedController(), controller);
    }
    Controller(123, 0);  // channel mode messages are not learned
    EXPECT_EQ(plugin.LearnedController(), 119);
    EXPECT_TRUE(plugin.Core().PendingMidi().Empty()) << "nothing reached the queue";
    RenderFrames(plugin);
    EXPECT_FALSE(plugin.Core().Voices().SustainPedal());
    EXPECT_EQ(plugin.Core().ModulationWheel(), wheel);

    plugin.OnParameterChanged(71);
    plugin.OnParameterChanged(-1);
    EXPECT_TRUE(plugin.MidiLearnActive());
    TouchKnob(70, 1.0);
    EXPECT_EQ(Entry(119), 70);
    ExpectEnded("parameter 70");
}

TEST_F(MidiLearn, SwitchResetAndRebuildEndLearnAndStrayEntriesDoNothing)
{
    VORN& plugin = *m_plugin;
    plugin.SetMidiLearn(true, false);
    Controller(10, 1);
    plugin.SetMidiLearn(false, false);
    TouchKnob(kBass, 0.4);
    EXPECT_EQ(Entry(10), -1) << "switched off before the pair was complete";

    plugin.SetMidiLearn(true, true);
    plugin.OnReset();
    ExpectEnded("reset");
    EXPECT_TRUE(plugin.MidiUnlearnMode()) << "a reset keeps the mode";
    plugin.SetMidiLearn(true, true);
    plugin.AttachMidiLearnSwitch(nullptr);  // editor rebuilt (without a switch)
    EXPECT_FALSE(plugin.MidiLearnActive() || plugin.MidiUnlearnMode());

    // Entries outside 0..70, and those of the wheel and the pedal, stay in
    // the map but move no parameter.
    MidiControllerMap& map = plugin.ControllerMap();
    for (const auto& [controller, value] :
         std::vector<std::pair<int, int> >{{7, 500}, {8, 71}, {9, -5}, {1, kBass}, {64, kBass}}) {
        map.Store(controller, value);
    }
    std::vector<double> before;
    for (const Parameter& parameter : plugin.Parameters()) {
        before.push_back(parameter.Value());
    }
    for (int controller : {7, 8, 9, 1, 64}) {
        Controller(controller, 127);
    }
    RenderFrames(plugin);
    for (int i = 0; i < plugin.NumParameters(); ++i) {
        EXPECT_EQ(plugin.GetParameter(i)->Value(), before[static_cast<std::size_t>(i)]) << i;
    }
    EXPECT_EQ(Entry(7), 500);
}

TEST_F(MidiLearn, MidiThruPassesOnEveryShortMessageIncludingLearnedOnes)
{
    const std::vector<MidiMessage> messages = {
        {0, 0x90, 60, 100}, {3, 0xB0, 10, 64}, {0, 0xB0, 64, 127},  {0, 0xC0, 2, 0},
        {0, 0xF8, 0, 0},    {0, 0xB0, 123, 0}, {0, 0x90, 200, 255},
    };
    for (const MidiMessage& message : messages) {
        m_plugin->HandleMidiMessage(message);
    }
    EXPECT_TRUE(RecordingHost::sent.empty()) << "thru is off";
    EXPECT_EQ(m_plugin->CurrentPresetIndex(), 2);

    m_plugin->SetMidiThru(true);
    m_plugin->SetIgnoreProgramChange(true);
    m_plugin->SetMidiLearn(true, false);
    for (MidiMessage message : messages) {
        message.data1 = message.status == 0xC0 ? 5 : message.data1;
        m_plugin->HandleMidiMessage(message);
    }
    ASSERT_EQ(RecordingHost::sent.size(), messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const MidiMessage& out = RecordingHost::sent[i];
        EXPECT_TRUE(out.frameOffset == messages[i].frameOffset && out.status == messages[i].status &&
                    out.data2 == messages[i].data2)
            << i;
    }
    EXPECT_EQ(m_plugin->LearnedController(), 64) << "the controllers were consumed by learn";
    EXPECT_EQ(m_plugin->CurrentPresetIndex(), 2) << "program change ignored";
}

}  // namespace
