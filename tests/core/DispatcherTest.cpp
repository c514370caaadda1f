// The effect record and the dispatcher, driven as a host drives them.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "TestPlugin.h"
#include "core/HostKind.h"

namespace {

class DispatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeHost::current = &host;
        plugin = new TestPlugin();
        effect = plugin->Effect();
    }
    void TearDown() override
    {
        if (effect != nullptr) {
            Dispatch(effect, effClose);
        }
        FakeHost::current = nullptr;
    }
    FakeEditor* AttachEditor()
    {
        auto editor = std::make_unique<FakeEditor>();
        FakeEditor* raw = editor.get();
        plugin->AttachEditor(std::move(editor));
        return raw;
    }
    // Text the dispatcher wrote into a poisoned buffer, and whether it stayed
    // within limit bytes.
    std::string Text(VstInt32 opcode, VstInt32 index, int limit)
    {
        std::memset(buffer, '#', sizeof(buffer));
        Dispatch(effect, opcode, index, 0, buffer);
        EXPECT_EQ(buffer[limit], '#') << "opcode " << opcode << " wrote past " << limit << " bytes";
        return std::string(buffer, ::strnlen(buffer, sizeof(buffer)));
    }

    FakeHost host;
    TestPlugin* plugin = nullptr;
    AEffect* effect = nullptr;
    char buffer[512];
};

TEST_F(DispatcherTest, EffectRecord)
{
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->numPrograms, 4);
    EXPECT_EQ(effect->numParams, 4);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags, 0x1130);
    EXPECT_EQ(effect->uniqueID, VstFourCC('t', 'e', 's', 't'));
    EXPECT_EQ(effect->version, 10203);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->object, plugin);
    EXPECT_EQ(plugin->BlockSize(), 1024);

    AttachEditor();
    EXPECT_EQ(effect->flags, 0x1131);

    TestPlugin mono(&FakeHost::Callback, "1-1 1-2");
    EXPECT_EQ(mono.Effect()->flags & effFlagsCanMono, effFlagsCanMono);
    EXPECT_EQ(mono.Effect()->numInputs, 1);
    EXPECT_EQ(mono.Effect()->numOutputs, 2);
    TestPlugin odd(&FakeHost::Callback, "garbage 9999-3");
    EXPECT_EQ(odd.NumInputs(), 0);
    EXPECT_EQ(odd.NumOutputs(), 0);
}

TEST_F(DispatcherTest, FixedAnswers)
{
    EXPECT_EQ(Dispatch(effect, effGetVendorVersion), 10203);
    EXPECT_EQ(Dispatch(effect, effGetVstVersion), 2400);
    EXPECT_EQ(Dispatch(effect, effIdentify), 0x4E764566);
    EXPECT_EQ(Dispatch(effect, effGetTailSize), 0);
    EXPECT_EQ(Dispatch(effect, effGetPlugCategory), 2);
    EXPECT_EQ(Dispatch(effect, effCanBeAutomated, 99), 1);
    EXPECT_EQ(Dispatch(effect, effProcessVarIo), 0);
    EXPECT_EQ(Dispatch(effect, 9999), 0);
    EXPECT_EQ(Dispatch(effect, effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvent")), 1);
    EXPECT_EQ(Dispatch(effect, effCanDo, 0, 0, const_cast<char*>("receiveVstTimeInfo")), 1);
    EXPECT_EQ(Dispatch(effect, effCanDo, 0, 0, const_cast<char*>("receiveVstTimeInfoX")), 0);
    EXPECT_EQ(Dispatch(effect, effCanDo, 0, 0, const_cast<char*>("receive")), 0);
    EXPECT_EQ(Dispatch(effect, effCanDo), 0);

    AEffect orphan{};
    EXPECT_EQ(orphan.magic, 0);
    EXPECT_EQ(Dispatch(effect, effGetVstVersion), 2400);
    orphan.dispatcher = effect->dispatcher;
    EXPECT_EQ(Dispatch(&orphan, effGetVstVersion), 0) << "no instance, no answer";
}

TEST_F(DispatcherTest, TextsIntoHostBuffersAreBounded)
{
    EXPECT_EQ(Text(effGetParamName, 0, 32), "Level");
    EXPECT_EQ(Text(effGetParamDisplay, 0, 32), "0.50");
    EXPECT_EQ(Text(effGetParamDisplay, 2, 32), "Normal");
    EXPECT_EQ(Text(effGetParamLabel, 3, 32), "Hz");
    EXPECT_EQ(Text(effGetParamDisplay, 3, 32), "-1.00");
    for (VstInt32 invalid : {4, -1}) {
        Text(effGetParamName, invalid, 0);  // checks that nothing is written
        Text(effGetParamDisplay, invalid, 0);
    }
    EXPECT_EQ(Text(effGetEffectName, 0, 32), "Test Synth");
    EXPECT_EQ(Text(effGetVendorString, 0, 64), "Test Vendor");
    EXPECT_EQ(Text(effGetProductString, 0, 64), "Test Product");

    std::string longName(255, 'p');
    std::strcpy(plugin->Presets()[0].name, longName.c_str());
    EXPECT_EQ(Text(effGetProgramName, 0, 25), longName.substr(0, 24));
    EXPECT_EQ(Text(effGetProgramNameIndexed, 0, 25), longName.substr(0, 24));

    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(Dispatch(effect, effGetProgramNameIndexed, 1, 0, buffer), 1);
    EXPECT_STREQ(buffer, "empty");
    EXPECT_EQ(Dispatch(effect, effGetProgramNameIndexed, 7, 0, buffer), 0);
    EXPECT_STREQ(buffer, "");
    plugin->Presets()[2].name[0] = '\0';
    EXPECT_EQ(Dispatch(effect, effGetProgramNameIndexed, 2, 0, buffer), 0);
    EXPECT_EQ(Dispatch(effect, effGetProgramNameIndexed, 1, 0, nullptr), 0);
    EXPECT_EQ(Dispatch(effect, effGetEffectName, 0, 0, nullptr), 0);

    // An editor-supplied text longer than any field is cut, the host text
    // is read only up to the preset name's size.
    std::string hostName(4000, 'h');
    Dispatch(effect, effSetProgramName, 0, 0, hostName.data());
    EXPECT_EQ(std::strlen(plugin->PresetName(0)), 255u);
    EXPECT_EQ(plugin->presetsChanged, 1);
}

TEST_F(DispatcherTest, MidiKeyNames)
{
    MidiKeyName key{};
    key.thisKeyNumber = 60;
    std::strcpy(key.keyName, "stale");
    EXPECT_EQ(Dispatch(effect, effGetMidiKeyName, 0, 0, &key), 1);
    EXPECT_STREQ(key.keyName, "Middle C");
    key.thisKeyNumber = 61;
    std::strcpy(key.keyName, "stale");
    EXPECT_EQ(Dispatch(effect, effGetMidiKeyName, 0, 0, &key), 0);
    EXPECT_STREQ(key.keyName, "");
    EXPECT_EQ(Dispatch(effect, effGetMidiKeyName), 0);
}

TEST_F(DispatcherTest, LifecycleHooks)
{
    Dispatch(effect, effOpen);
    EXPECT_EQ(plugin->changed, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(plugin->hostKnown, 1);
    Dispatch(effect, effOpen);
    EXPECT_EQ(plugin->hostKnown, 1) << "OnHostOpen runs once";
    EXPECT_EQ(host.Count(audioMasterGetProductString), 1) << "the host is asked once";

    Dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(plugin->SampleRate(), 48000.0);
    Dispatch(effect, effSetSampleRate, 0, 0, nullptr, 0.0f);
    Dispatch(effect, effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(plugin->SampleRate(), 48000.0) << "unusable rates are ignored";
    EXPECT_EQ(plugin->resetCount, 3);

    Dispatch(effect, effSetBlockSize, 0, 256);
    EXPECT_EQ(plugin->BlockSize(), 256);
    Dispatch(effect, effSetBlockSize, 0, 0);
    Dispatch(effect, effSetBlockSize, 0, -5);
    EXPECT_EQ(plugin->BlockSize(), 256);
    Dispatch(effect, effSetBlockSize, 0, std::numeric_limits<VstIntPtr>::max());
    EXPECT_EQ(plugin->BlockSize(), kMaxBlockSize);
    EXPECT_EQ(plugin->resetCount, 7);

    Dispatch(effect, effMainsChanged, 0, 1);
    Dispatch(effect, effMainsChanged, 0, 0);
    EXPECT_EQ(plugin->activations, (std::vector<bool>{true, false}));
    EXPECT_EQ(plugin->resetCount, 8) << "only switching off resets";

    Dispatch(effect, effEditIdle);
    Dispatch(effect, effIdle);
    EXPECT_EQ(plugin->idleTicks, 2);
}

TEST_F(DispatcherTest, Editor)
{
    ERect* rect = nullptr;
    EXPECT_EQ(Dispatch(effect, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(Dispatch(effect, effEditOpen), 0);
    EXPECT_EQ(Dispatch(effect, effEditClose), 0);

    plugin->Parameters()[1].SetClamped(12.0);
    FakeEditor* editor = AttachEditor();
    EXPECT_EQ(editor->prepareCount, 1);
    ASSERT_EQ(editor->applied.size(), 4u);
    EXPECT_EQ(editor->applied[1], (std::pair<int, double>{1, 1.0}));

    EXPECT_EQ(Dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 600);
    EXPECT_EQ(rect->bottom, 400);
    EXPECT_EQ(Dispatch(effect, effEditGetRect), 0);

    int parent = 0;
    EXPECT_EQ(Dispatch(effect, effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(editor->lastParent, &parent);
    EXPECT_EQ(plugin->editorOpened, 1);
    editor->openSucceeds = false;
    EXPECT_EQ(Dispatch(effect, effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(plugin->editorOpened, 1);
    EXPECT_EQ(Dispatch(effect, effEditClose), 1);
    EXPECT_EQ(editor->closeCount, 1);
    EXPECT_EQ(plugin->editorClosed, 1);

    editor->width = 800;
    plugin->RefreshEditorRect();
    EXPECT_EQ(rect->right, 800);
}

TEST_F(DispatcherTest, ParameterCallbacks)
{
    FakeEditor* editor = AttachEditor();
    effect->setParameter(effect, 1, 0.53f);
    EXPECT_EQ(plugin->Parameters()[1].Value(), 1.0);
    EXPECT_EQ(plugin->changed.back(), 1);
    ASSERT_EQ(editor->fromPlug.size(), 1u);
    EXPECT_TRUE(editor->fromPlug[0].normalized);
    EXPECT_EQ(host.Count(audioMasterAutomate), 0) << "the host is not told back";
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 1), 13.0f / 24.0f);

    effect->setParameter(effect, 0, 1.5f);
    EXPECT_EQ(plugin->Parameters()[0].Value(), 1.0);
    effect->setParameter(effect, 0, -3.0f);
    EXPECT_EQ(plugin->Parameters()[0].Value(), 0.0);
    effect->setParameter(effect, 3, -0.5f);
    EXPECT_EQ(plugin->Parameters()[3].Value(), 0.0) << "no NaN through the shaped power";
    plugin->changed.clear();
    effect->setParameter(effect, 0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(plugin->Parameters()[0].Value(), 0.0);
    EXPECT_TRUE(plugin->changed.empty()) << "NaN is ignored";

    effect->setParameter(effect, 4, 0.5f);
    effect->setParameter(effect, -1, 0.5f);
    EXPECT_TRUE(plugin->changed.empty());
    EXPECT_EQ(effect->getParameter(effect, 4), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, INT_MIN), 0.0f);

    // From the editor: value set, host told the normalized value passed in.
    plugin->SetParameterFromEditor(1, 0.53);
    EXPECT_EQ(plugin->Parameters()[1].Value(), 1.0);
    ASSERT_EQ(host.Count(audioMasterAutomate), 1);
    EXPECT_EQ(host.calls.back().index, 1);
    EXPECT_FLOAT_EQ(host.calls.back().opt, 0.53f);
    plugin->NotifyHostAllParameters();
    EXPECT_EQ(host.Count(audioMasterAutomate), 5);
    plugin->BeginHostEdit(2);
    plugin->EndHostEdit(2);
    EXPECT_EQ(host.calls[host.calls.size() - 2].opcode, audioMasterBeginEdit);
    EXPECT_EQ(host.calls.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(host.calls.back().index, 2);
}

TEST_F(DispatcherTest, StringToParameter)
{
    FakeEditor* editor = AttachEditor();
    char text[64];
    EXPECT_EQ(Dispatch(effect, effString2Parameter, 0, 0, nullptr), 1) << "supported";
    EXPECT_EQ(Dispatch(effect, effString2Parameter, 9, 0, nullptr), 0);

    std::strcpy(text, "0.25 of it");
    EXPECT_EQ(Dispatch(effect, effString2Parameter, 0, 0, text), 1);
    EXPECT_EQ(plugin->Parameters()[0].Value(), 0.25);
    ASSERT_FALSE(editor->fromPlug.empty());
    EXPECT_FALSE(editor->fromPlug.back().normalized);
    std::strcpy(text, "7");
    Dispatch(effect, effString2Parameter, 0, 0, text);
    EXPECT_EQ(plugin->Parameters()[0].Value(), 1.0) << "clamped";
    std::strcpy(text, "-2.5");
    Dispatch(effect, effString2Parameter, 3, 0, text);
    EXPECT_EQ(plugin->Parameters()[3].Value(), 2.5) << "negated display";
    std::strcpy(text, "2.5");
    Dispatch(effect, effString2Parameter, 1, 0, text);
    EXPECT_EQ(plugin->Parameters()[1].Value(), 2.5) << "text entry is clamped, not snapped";

    plugin->changed.clear();
    for (const char* bad : {"nan", "inf", "-1e999"}) {
        std::strcpy(text, bad);
        EXPECT_EQ(Dispatch(effect, effString2Parameter, 0, 0, text), 0) << bad;
    }
    EXPECT_EQ(plugin->Parameters()[0].Value(), 1.0);

    std::strcpy(text, "Wide");
    EXPECT_EQ(Dispatch(effect, effString2Parameter, 2, 0, text), 1);
    EXPECT_EQ(plugin->Parameters()[2].Value(), 2.0);
    std::strcpy(text, "wide");
    EXPECT_EQ(Dispatch(effect, effString2Parameter, 2, 0, text), 0);
    std::strcpy(text, "1");
    EXPECT_EQ(Dispatch(effect, effString2Parameter, 2, 0, text), 0) << "texts only, no numbers";
    EXPECT_EQ(plugin->Parameters()[2].Value(), 2.0);
    EXPECT_EQ(plugin->changed, (std::vector<int>{2}));
    EXPECT_EQ(host.Count(audioMasterAutomate), 0);
}

TEST_F(DispatcherTest, VendorSpecific)
{
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, 1, buffer, 1.0f), 0xBEEF);
    EXPECT_STREQ(buffer, "12");
    Dispatch(effect, effVendorSpecific, 7, 2, buffer, 0.5f);
    EXPECT_STREQ(buffer, "Pan") << "normalized 0.5 of 0..2 without snapping is 1";
    std::strcpy(buffer, "untouched");
    EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, 9, buffer, 0.5f), 0xBEEF);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(Dispatch(effect, effVendorSpecific, 7, 1, nullptr, 0.5f), 0);

    EXPECT_EQ(Dispatch(effect, effVendorSpecific, 8, 1), 0xBEEF);
    EXPECT_EQ(Dispatch(effect, effVendorSpecific, 8, 2), 0xBEEF);
    EXPECT_EQ(Dispatch(effect, effVendorSpecific, 8, 0), 0);
    EXPECT_EQ(Dispatch(effect, effVendorSpecific, 8, 99), 0);
    EXPECT_EQ(Dispatch(effect, effVendorSpecific, 3, 1), 0);
}

TEST_F(DispatcherTest, PinsAndSpeakers)
{
    VstPinProperties pin{};
    EXPECT_EQ(Dispatch(effect, effGetOutputProperties, 0, 0, &pin), 1);
    EXPECT_EQ(pin.flags, 3);
    EXPECT_STREQ(pin.label, "Output 1");
    EXPECT_EQ(Dispatch(effect, effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_EQ(pin.flags, 1);
    EXPECT_STREQ(pin.label, "Output 2");
    EXPECT_EQ(Dispatch(effect, effGetOutputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(Dispatch(effect, effGetOutputProperties, 0, 0, nullptr), 0);
    EXPECT_EQ(Dispatch(effect, effGetInputProperties, 0, 0, &pin), 0);

    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ(Dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(in->type, -1);
    EXPECT_EQ(in->numChannels, 0);
    EXPECT_EQ(out->type, 1);
    EXPECT_EQ(out->numChannels, 2);

    VstSpeakerArrangement mono{};
    mono.numChannels = 1;
    EXPECT_EQ(Dispatch(effect, effSetSpeakerArrangement, 0, 0, &mono), 1);
    EXPECT_TRUE(plugin->IsOutputConnected(0));
    EXPECT_FALSE(plugin->IsOutputConnected(1));
    mono.numChannels = -4;
    Dispatch(effect, effSetSpeakerArrangement, 0, 0, &mono);
    EXPECT_FALSE(plugin->IsOutputConnected(0));
    mono.numChannels = 8;
    Dispatch(effect, effSetSpeakerArrangement, 0, 0, &mono);
    EXPECT_TRUE(plugin->IsOutputConnected(0) && plugin->IsOutputConnected(1));
    EXPECT_EQ(Dispatch(effect, effSetSpeakerArrangement), 1);
}

TEST_F(DispatcherTest, MidiIntakeAndOutput)
{
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof(VstMidiEvent);
    note.deltaFrames = 17;
    note.midiData[0] = static_cast<char>(0x90);
    note.midiData[1] = 60;
    note.midiData[2] = 100;
    char dump[] = {static_cast<char>(0xF0), 1, 2, static_cast<char>(0xF7)};
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof(VstMidiSysexEvent);
    sysex.deltaFrames = 3;
    sysex.dumpBytes = 4;
    sysex.sysexDump = dump;
    VstEvent other{};
    other.type = 3;
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[4];
    } events{
        4, 0, {reinterpret_cast<VstEvent*>(&note), nullptr, &other, reinterpret_cast<VstEvent*>(&sysex)}};

    EXPECT_EQ(Dispatch(effect, effProcessEvents, 0, 0, &events), 1);
    ASSERT_EQ(plugin->midi.size(), 1u);
    EXPECT_EQ(plugin->midi[0].frameOffset, 17);
    EXPECT_EQ(plugin->midi[0].status, 0x90);
    EXPECT_EQ(plugin->midi[0].data1, 60);
    EXPECT_EQ(plugin->midi[0].data2, 100);
    ASSERT_EQ(plugin->sysex.size(), 1u);
    EXPECT_EQ(plugin->sysex[0].size(), 4u);
    EXPECT_EQ(plugin->sysexOffsets[0], 3);
    EXPECT_EQ(Dispatch(effect, effProcessEvents), 0);

    MidiMessage out{5, 0xB0, 7, 127};
    EXPECT_TRUE(plugin->SendMidiMessage(out));
    ASSERT_EQ(host.midiEvents.size(), 1u);
    EXPECT_EQ(host.midiEvents[0].byteSize, 32);
    EXPECT_EQ(host.midiEvents[0].deltaFrames, 5);
    EXPECT_EQ(static_cast<unsigned char>(host.midiEvents[0].midiData[0]), 0xB0);
    EXPECT_EQ(host.midiEvents[0].midiData[3], 0);
    host.processEventsResult = 0;
    EXPECT_FALSE(plugin->SendMidiMessage(out));

    host.processEventsResult = 1;
    const std::uint8_t bytes[] = {0xF0, 0x7E, 0xF7};
    EXPECT_TRUE(plugin->SendSysEx(SysExMessage{9, 3, bytes}));
    ASSERT_EQ(host.sysexEvents.size(), 1u);
    EXPECT_EQ(host.sysexEvents[0].byteSize, static_cast<VstInt32>(sizeof(VstMidiSysexEvent)));
    EXPECT_EQ(host.sysexEvents[0].dumpBytes, 3);
    EXPECT_EQ(host.sysexEvents[0].deltaFrames, 9);
}

TEST_F(DispatcherTest, HostTime)
{
    EXPECT_EQ(plugin->GetSamplePosition(), 0);
    EXPECT_EQ(plugin->GetTempo(), 0.0);
    TransportInfo info;
    info.tempo = 99.0;
    plugin->GetTransportInfo(info);
    EXPECT_EQ(info.tempo, 99.0) << "nothing reported, nothing changed";

    host.hasTime = true;
    host.time.samplePos = 1234.5;
    host.time.tempo = 128.0;
    host.time.ppqPos = 8.0;
    host.time.timeSigNumerator = 3;
    host.time.timeSigDenominator = 4;
    host.time.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
    EXPECT_EQ(plugin->GetSamplePosition(), 1235);
    EXPECT_EQ(plugin->GetTempo(), 128.0);
    int numerator = -1;
    int denominator = -1;
    plugin->GetTimeSignature(numerator, denominator);
    EXPECT_EQ(numerator, 3);
    EXPECT_EQ(denominator, 4);
    info = TransportInfo{};
    plugin->GetTransportInfo(info);
    EXPECT_EQ(info.samplePosition, 1234.5);
    EXPECT_EQ(info.tempo, 128.0);
    EXPECT_EQ(info.ppqPosition, 0.0) << "PPQ not flagged valid";
    EXPECT_EQ(info.numerator, 3);
    EXPECT_TRUE(info.playing);
    EXPECT_FALSE(info.cycleActive);

    host.time.samplePos = 1e300;
    EXPECT_EQ(plugin->GetSamplePosition(), INT_MAX);
    host.time.samplePos = -5.0;
    EXPECT_EQ(plugin->GetSamplePosition(), 0);
    host.time.flags = 0;
    EXPECT_EQ(plugin->GetTempo(), 0.0);
    plugin->GetTimeSignature(numerator, denominator);
    EXPECT_EQ(numerator, 0);

    host.processLevel = 4;
    EXPECT_TRUE(plugin->IsRenderingOffline());
}

TEST(HostKind, FindHostSearchOrder)
{
    EXPECT_EQ(FindHost("Ableton LIVE 11"), HostKind::AbletonLive);
    EXPECT_EQ(FindHost("Cubase Live"), HostKind::Cubase) << "earlier names win";
    EXPECT_EQ(FindHost("Fruity Wrapper live"), HostKind::FL);
    EXPECT_EQ(FindHost("REAPER"), HostKind::Reaper);
    EXPECT_EQ(FindHost("Digital Performer"), HostKind::DigitalPerformer);
    EXPECT_EQ(FindHost(""), HostKind::Unknown);
    EXPECT_EQ(FindHost(nullptr), HostKind::Unknown);
    EXPECT_EQ(FindHost("Some other host"), HostKind::Unknown);
    std::string longName(1000, 'x');
    longName += "reaper";
    EXPECT_EQ(FindHost(longName.c_str()), HostKind::Unknown) << "only 255 characters are searched";
}

TEST_F(DispatcherTest, HostKindIsAskedOnce)
{
    host.productString = "Live";
    host.vendorVersion = 110203;
    EXPECT_EQ(plugin->GetHostKind(), HostKind::AbletonLive);
    EXPECT_EQ(plugin->HostVersion(), 0x0B0203);
    host.productString = "Reaper";
    EXPECT_EQ(plugin->GetHostKind(), HostKind::AbletonLive);
    EXPECT_EQ(host.Count(audioMasterGetProductString), 1);

    TestPlugin silent;
    host.productString = "";
    EXPECT_EQ(silent.GetHostKind(), HostKind::Unknown);
    EXPECT_EQ(silent.HostVersion(), 0);
}

TEST_F(DispatcherTest, ExceptionsStayInside)
{
    plugin->throwInWrite = true;
    void* data = nullptr;
    EXPECT_EQ(Dispatch(effect, effGetChunk, 1, 0, &data), 0);
    plugin->throwInWrite = false;
    EXPECT_GT(Dispatch(effect, effGetChunk, 1, 0, &data), 0) << "the instance is still usable";

    plugin->throwInRender = true;
    float left[8] = {};
    float right[8] = {};
    float* outputs[] = {left, right};
    effect->processReplacing(effect, nullptr, outputs, 8);
    plugin->throwInRender = false;
    effect->processReplacing(effect, nullptr, outputs, 8);
    EXPECT_NE(right[0], 0.0f) << "the lock was released by the failed call";
}

}  // namespace
