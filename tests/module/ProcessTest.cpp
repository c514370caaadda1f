// The audio callbacks as hosts drive them: the lifecycle, all three
// callbacks, odd block lengths, disconnected outputs, MIDI input, several
// instances and the no-allocation rule of the audio path.
#include "tests/module/AllocationCounter.h"
#include "tests/module/ExpectedModule.h"
#include "tests/module/ModuleHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

namespace {

constexpr float kStale = 7.0f;      // what replacing callbacks must overwrite
constexpr float kUnderlay = 0.25f;  // what the accumulating callback must add to
constexpr double kLoudest = 8.0;    // bound on any sample with notes playing
constexpr std::size_t kChannels = kExpectedOutputs;

// Runs each audio callback once over frames frames and checks what it wrote;
// fresh buffers with canaries every time.
void ExpectSilentCallbacks(PluginInstance& plugin, int frames)
{
    const std::size_t length = static_cast<std::size_t>(frames);
    {
        CanaryBuffers<float> outputs(kExpectedOutputs, length, kStale);
        plugin.ProcessReplacing(nullptr, outputs.Pointers(), frames);
        EXPECT_TRUE(outputs.CanariesIntact()) << "processReplacing wrote past " << frames << " frames";
        for (std::size_t c = 0; c < kChannels; ++c) {
            EXPECT_LT(outputs.Peak(c, length), kSilence) << "processReplacing, channel " << c;
        }
    }
    {
        CanaryBuffers<float> outputs(kExpectedOutputs, length, kUnderlay);
        plugin.ProcessAccumulating(nullptr, outputs.Pointers(), frames);
        EXPECT_TRUE(outputs.CanariesIntact()) << "process wrote past " << frames << " frames";
        for (std::size_t c = 0; c < kChannels; ++c) {
            for (std::size_t i = 0; i < length; ++i) {
                if (std::fabs(outputs.Channel(c)[i] - kUnderlay) > kSilence) {
                    ADD_FAILURE() << "process replaced instead of adding: channel " << c << " frame " << i
                                  << " holds " << outputs.Channel(c)[i];
                    break;
                }
            }
        }
    }
    {
        CanaryBuffers<double> outputs(kExpectedOutputs, length, kStale);
        plugin.ProcessDouble(nullptr, outputs.Pointers(), frames);
        EXPECT_TRUE(outputs.CanariesIntact()) << "processDoubleReplacing wrote past " << frames << " frames";
        for (std::size_t c = 0; c < kChannels; ++c) {
            EXPECT_LT(outputs.Peak(c, length), kSilence) << "processDoubleReplacing, channel " << c;
        }
    }
}

}  // namespace

TEST(Processing, LifecycleGivesSilenceWithoutNotes)
{
    struct Setup {
        double rate;
        int block;
    };
    for (const Setup setup :
         {Setup{44100.0, 512}, Setup{48000.0, 1}, Setup{96000.0, 4096}, Setup{22050.0, 47}}) {
        SCOPED_TRACE("rate " + std::to_string(setup.rate) + ", block " + std::to_string(setup.block));
        PluginInstance plugin;
        ASSERT_TRUE(plugin);
        plugin.Start(setup.rate, setup.block);
        for (int frames : {setup.block, setup.block / 2 + 1, 1}) {
            ExpectSilentCallbacks(plugin, frames);
        }
        plugin.Close();
    }
}

TEST(Processing, SettingsArriveInAnyOrderAndAnyNumberOfTimes)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Dispatch(effOpen);
    plugin.Dispatch(effMainsChanged, 0, 1);
    ExpectSilentCallbacks(plugin, 256);
    plugin.Dispatch(effSetBlockSize, 0, 2048);
    plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    ExpectSilentCallbacks(plugin, 2048);
    plugin.Dispatch(effMainsChanged, 0, 1);
    plugin.Dispatch(effSetBlockSize, 0, 32);
    ExpectSilentCallbacks(plugin, 32);
    plugin.Dispatch(effMainsChanged, 0, 0);
    plugin.Dispatch(effMainsChanged, 0, 0);
    plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 192000.0f);
    plugin.Dispatch(effMainsChanged, 0, 1);
    ExpectSilentCallbacks(plugin, 32);
}

TEST(Processing, EveryAudioCallbackAnnouncesThatItWantsMidi)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Start(44100.0, 128);
    CanaryBuffers<float> floats(kExpectedOutputs, 128, 0.0f);
    CanaryBuffers<double> doubles(kExpectedOutputs, 128, 0.0);

    int expected = plugin.Log().Count(audioMasterWantMidi);
    const int inAudioBefore = plugin.Log().WantMidiInAudio();
    plugin.ProcessReplacing(nullptr, floats.Pointers(), 128);
    EXPECT_EQ(plugin.Log().Count(audioMasterWantMidi), ++expected) << "processReplacing";
    plugin.ProcessAccumulating(nullptr, floats.Pointers(), 128);
    EXPECT_EQ(plugin.Log().Count(audioMasterWantMidi), ++expected) << "process";
    plugin.ProcessDouble(nullptr, doubles.Pointers(), 128);
    EXPECT_EQ(plugin.Log().Count(audioMasterWantMidi), ++expected) << "processDoubleReplacing";
    EXPECT_EQ(plugin.Log().WantMidiInAudio() - inAudioBefore, 3);
    EXPECT_EQ(plugin.Log().WantMidiWithArguments(), 0) << "the notice carries no arguments";
}

TEST(Processing, BlocksOutsideTheBlockSizeStayInsideHostBuffers)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Start(44100.0, 64);
    // Hosts exist that pass more frames than announced.
    for (int frames : {65, 1000, 8192}) {
        SCOPED_TRACE(std::to_string(frames) + " frames with a block size of 64");
        ExpectSilentCallbacks(plugin, frames);
    }
    // Nothing to do: the buffers keep what they held.
    for (int frames : {0, -1, -4096}) {
        SCOPED_TRACE(std::to_string(frames) + " frames");
        CanaryBuffers<float> floats(kExpectedOutputs, 64, kStale);
        plugin.ProcessReplacing(nullptr, floats.Pointers(), frames);
        plugin.ProcessAccumulating(nullptr, floats.Pointers(), frames);
        EXPECT_TRUE(floats.AllEqual(0, kStale, 64) && floats.AllEqual(1, kStale, 64));
        EXPECT_TRUE(floats.CanariesIntact());
        CanaryBuffers<double> doubles(kExpectedOutputs, 64, kStale);
        plugin.ProcessDouble(nullptr, doubles.Pointers(), frames);
        EXPECT_TRUE(doubles.AllEqual(0, kStale, 64) && doubles.AllEqual(1, kStale, 64));
        EXPECT_TRUE(doubles.CanariesIntact());
    }
    // Still a working instance afterwards.
    ExpectSilentCallbacks(plugin, 64);
}

TEST(Processing, OutputDisconnectedByTheHostIsLeftAlone)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Start(44100.0, 256);

    VstSpeakerArrangement mono{};
    mono.type = kSpeakerArrMono;
    mono.numChannels = 1;
    EXPECT_EQ(plugin.Dispatch(effSetSpeakerArrangement, 0, 0, &mono), 1);
    {
        CanaryBuffers<float> floats(kExpectedOutputs, 256, kStale);
        plugin.ProcessReplacing(nullptr, floats.Pointers(), 256);
        EXPECT_LT(floats.Peak(0, 256), kSilence);
        EXPECT_TRUE(floats.AllEqual(1, kStale, 256)) << "the disconnected second output was written";
        EXPECT_TRUE(floats.CanariesIntact());
        // Only one host buffer is consumed, so a one-entry array is enough.
        CanaryBuffers<float> single(1, 256, kStale);
        plugin.ProcessReplacing(nullptr, single.Pointers(), 256);
        EXPECT_LT(single.Peak(0, 256), kSilence);
        EXPECT_TRUE(single.CanariesIntact());
    }

    VstSpeakerArrangement stereo{};
    stereo.type = kSpeakerArrStereo;
    stereo.numChannels = 2;
    EXPECT_EQ(plugin.Dispatch(effSetSpeakerArrangement, 0, 0, &stereo), 1);
    ExpectSilentCallbacks(plugin, 256);
    // Null arrangements are ignored.
    EXPECT_EQ(plugin.Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);
    ExpectSilentCallbacks(plugin, 256);
}

TEST(Processing, NotesAndMalformedMidiGiveFiniteBoundedOutput)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    constexpr int kBlock = 512;
    plugin.Start(44100.0, kBlock);

    using Midi = PluginInstance::Midi;
    const std::vector<std::vector<Midi>> blocks = {
        {{0, 0x90, 60, 100}, {0, 0x90, 64, 90}, {17, 0x90, 67, 127}, {kBlock - 1, 0x91, 36, 1}},
        {{3, 0xB0, 64, 127}, {5, 0xB0, 1, 64}, {9, 0xE0, 0, 127}},
        // Out-of-range data bytes, running status fragments, realtime bytes,
        // offsets outside the block and unknown controllers.
        {{0, 0x90, 200, 255},
         {1, 0x00, 0, 0},
         {2, 0xF8, 0, 0},
         {-5, 0x90, 72, 100},
         {100000, 0x90, 74, 100},
         {4, 0xB0, 119, 127},
         {4, 0xC0, 63, 0},
         {4, 0xC0, 127, 0},
         {6, 0xFF, 0xFF, 0xFF}},
        {{0, 0x80, 60, 0}, {0, 0x90, 64, 0}, {1, 0xB0, 64, 0}},
        {{0, 0xB0, 123, 0}, {1, 0xB0, 120, 0}},
    };
    double peak = 0.0;
    CanaryBuffers<float> outputs(kExpectedOutputs, kBlock, 0.0f);
    for (const std::vector<Midi>& block : blocks) {
        EXPECT_EQ(plugin.SendMidi(block), 1);
        for (int repeat = 0; repeat < 20; ++repeat) {
            plugin.ProcessReplacing(nullptr, outputs.Pointers(), kBlock);
            for (std::size_t c = 0; c < kChannels; ++c) {
                peak = std::max(peak, outputs.Peak(c, kBlock));
            }
        }
    }
    EXPECT_TRUE(outputs.CanariesIntact());
    EXPECT_LT(peak, kLoudest) << "a sample was not finite or far too loud";

    // An event list with a null entry, a system-exclusive event and an unknown event type.
    char sysex[] = {static_cast<char>(0xF0), 0x7E, 0x7F, 0x09, 0x01, static_cast<char>(0xF7)};
    VstMidiSysexEvent sysexEvent{};
    sysexEvent.type = kVstSysExType;
    sysexEvent.byteSize = sizeof(VstMidiSysexEvent);
    sysexEvent.dumpBytes = sizeof(sysex);
    sysexEvent.sysexDump = sysex;
    VstEvent unknown{};
    unknown.type = 3;
    unknown.byteSize = sizeof(VstEvent);
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof(VstMidiEvent);
    note.midiData[0] = static_cast<char>(0x90);
    note.midiData[1] = 48;
    note.midiData[2] = 80;
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[4];
    } list{4,
           0,
           {nullptr, reinterpret_cast<VstEvent*>(&sysexEvent), &unknown, reinterpret_cast<VstEvent*>(&note)}};
    EXPECT_EQ(plugin.Dispatch(effProcessEvents, 0, 0, &list), 1);
    EXPECT_EQ(plugin.Dispatch(effProcessEvents, 0, 0, nullptr), 0);
    plugin.ProcessReplacing(nullptr, outputs.Pointers(), kBlock);
    EXPECT_LT(std::max(outputs.Peak(0, kBlock), outputs.Peak(1, kBlock)), kLoudest);
}

TEST(Processing, TwoInstancesRunSideBySide)
{
    PluginInstance first;
    PluginInstance second;
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    first.Start(44100.0, 256);
    second.Start(48000.0, 100);

    AEffect* a = first.Effect();
    AEffect* b = second.Effect();
    const float bBefore = b->getParameter(b, 10);
    a->setParameter(a, 10, bBefore < 0.5f ? 1.0f : 0.0f);
    EXPECT_NE(a->getParameter(a, 10), bBefore);
    EXPECT_EQ(b->getParameter(b, 10), bBefore) << "a parameter change reached the other instance";
    first.Dispatch(effSetProgram, 0, 7);
    EXPECT_EQ(second.Dispatch(effGetProgram), 0);

    for (int round = 0; round < 3; ++round) {
        ExpectSilentCallbacks(first, 256);
        ExpectSilentCallbacks(second, 100);
    }
    first.Close();
    ExpectSilentCallbacks(second, 100);
    EXPECT_EQ(second.Dispatch(effGetVendorVersion), kExpectedVersion);
}

TEST(Processing, AudioPathDoesNotAllocateAfterWarmUp)
{
    if (!AllocationsInModuleAreVisible()) {
        GTEST_SKIP() << "allocations inside a Windows module use its own static C++ runtime, which the test "
                        "executable cannot count; core_tests checks the audio path in-process";
    }
    const std::size_t beforeCreation = AllocationCount();
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    ASSERT_GT(AllocationCount(), beforeCreation)
        << "the module's allocations are not counted: module_tests must export its operator new "
           "(ENABLE_EXPORTS) and the module must use the shared C++ runtime";

    constexpr int kBlock = 512;
    plugin.Start(44100.0, kBlock);
    AEffect* effect = plugin.Effect();
    CanaryBuffers<float> floats(kExpectedOutputs, kBlock, 0.0f);
    CanaryBuffers<double> doubles(kExpectedOutputs, kBlock, 0.0);
    using Midi = PluginInstance::Midi;
    const std::vector<Midi> notesOn = {{0, 0x90, 48, 100},  {10, 0x90, 55, 100}, {20, 0x90, 60, 100},
                                       {30, 0x90, 64, 100}, {40, 0xB0, 64, 127}, {50, 0xB0, 1, 100}};
    const std::vector<Midi> notesOff = {{0, 0x80, 48, 0},  {10, 0x80, 55, 0}, {20, 0x80, 60, 0},
                                        {30, 0x80, 64, 0}, {40, 0xB0, 64, 0}, {50, 0xB0, 1, 0}};

    auto play = [&](int rounds) {
        for (int round = 0; round < rounds; ++round) {
            plugin.SendMidi(round % 2 == 0 ? notesOn : notesOff);
            plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
            plugin.ProcessDouble(nullptr, doubles.Pointers(), kBlock);
            plugin.ProcessAccumulating(nullptr, floats.Pointers(), 17);
            plugin.ProcessReplacing(nullptr, floats.Pointers(), 1);
            plugin.ProcessDouble(nullptr, doubles.Pointers(), kBlock - 1);
        }
    };
    play(20);

    const std::size_t beforePlaying = AllocationCount();
    play(60);
    EXPECT_EQ(AllocationCount() - beforePlaying, 0u) << "allocations while playing notes";

    // Hosts automate parameters from the audio thread too.
    const std::size_t beforeAutomation = AllocationCount();
    for (int round = 0; round < 4; ++round) {
        for (VstInt32 i = 0; i < kExpectedParams; ++i) {
            effect->setParameter(effect, i, static_cast<float>((i + round) % 5) / 4.0f);
            effect->getParameter(effect, i);
        }
        plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
    }
    EXPECT_EQ(AllocationCount() - beforeAutomation, 0u) << "allocations while automating parameters";
    EXPECT_TRUE(floats.CanariesIntact());
    EXPECT_TRUE(doubles.CanariesIntact());
}

// Event lists longer than the two entries the structure declares (every
// host sends them), from the first block on: no allocation, whatever the
// count, and a note sent after a flood of far-future events still sounds.
TEST(Processing, EventListsOfAnyLengthDoNotAllocate)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    constexpr int kBlock = 512;
    plugin.Start(48000.0, kBlock);
    CanaryBuffers<float> floats(kExpectedOutputs, kBlock, 0.0f);
    using Midi = PluginInstance::Midi;
    std::vector<Midi> three = {{0, 0x90, 60, 100}, {1, 0x90, 64, 100}, {2, 0x90, 67, 100}};
    std::vector<Midi> flood;
    for (int i = 0; i < 3000; ++i) {
        flood.push_back({i % kBlock, static_cast<unsigned char>(i % 2 == 0 ? 0x90 : 0x80),
                         static_cast<unsigned char>(30 + i % 60), 90});
    }
    std::vector<Midi> farFuture(3000, Midi{1 << 30, 0x90, 40, 100});
    farFuture.push_back({100, 0x90, 72, 127});
    const std::vector<Midi> allOff = {{0, 0xB0, 123, 0}};
    // Warm-up sizes the host side's own storage, not the plug-in's.
    plugin.SendMidi(flood);
    plugin.SendMidi(farFuture);
    plugin.SendMidi(allOff);
    plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);

    const std::size_t before = AllocationCount();
    EXPECT_EQ(plugin.SendMidi(three), 1);
    plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
    plugin.SendMidi(allOff);
    EXPECT_EQ(plugin.SendMidi(flood), 1);
    plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
    plugin.SendMidi(allOff);
    plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
    plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
    EXPECT_EQ(plugin.SendMidi(farFuture), 1);
    plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
    if (AllocationsInModuleAreVisible()) {
        EXPECT_EQ(AllocationCount() - before, 0u) << "allocations at MIDI intake or in rendering";
    }
    EXPECT_GT(floats.Peak(0, kBlock), 0.0) << "the note at offset 100 sounds";
    EXPECT_TRUE(floats.CanariesIntact());
}
