// The command-line host's core against a fake plug-in living in the test
// executable: host callback answers, block splitting, event timing, transport.
#include "tools/host/PluginHost.h"
#include "tools/vornhost/RenderLoop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct ReceivedParameter {
    int block;  // index of the process call that follows the change
    VstInt32 index;
    float value;
};

struct ReceivedEvent {
    int block;  // index of the process call the event was meant for
    VstInt32 deltaFrames;
    unsigned char status, data1;
};

// A plug-in that records what the host does to it.
struct FakePlugin {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    VstIntPtr versionDuringEntry = 0;
    std::vector<int> blockFrames;
    std::vector<double> blockPositions;
    std::vector<VstIntPtr> processLevels;
    std::vector<ReceivedEvent> events;
    std::vector<ReceivedParameter> parameters;
    bool closed = false;
    bool returnNull = false;
    bool badMagic = false;
};
FakePlugin g_fake;

VstIntPtr AskHost(VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr)
{
    return g_fake.host(&g_fake.effect, opcode, 0, value, ptr, 0.0f);
}

VstIntPtr VSTCALLBACK FakeDispatcher(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    if (opcode == effClose) {
        g_fake.closed = true;
    }
    if (opcode == effProcessEvents && ptr) {
        const VstEvents* list = static_cast<const VstEvents*>(ptr);
        for (VstInt32 i = 0; i < list->numEvents; ++i) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(list->events[i]);
            g_fake.events.push_back({static_cast<int>(g_fake.blockFrames.size()), midi->deltaFrames,
                                     static_cast<unsigned char>(midi->midiData[0]),
                                     static_cast<unsigned char>(midi->midiData[1])});
        }
        return 1;
    }
    return 0;
}

void RecordBlock(VstInt32 frames)
{
    const auto* time = reinterpret_cast<const VstTimeInfo*>(AskHost(audioMasterGetTime, kVstPpqPosValid));
    g_fake.blockPositions.push_back(time ? time->samplePos : -1.0);
    g_fake.processLevels.push_back(AskHost(audioMasterGetCurrentProcessLevel));
    g_fake.blockFrames.push_back(frames);
}

// Channel c gets c + 1 + the block index, so tests can tell blocks and channels apart.
void VSTCALLBACK FakeReplacing(AEffect*, float**, float** outputs, VstInt32 frames)
{
    const float base = static_cast<float>(g_fake.blockFrames.size());
    for (int c = 0; c < 2; ++c) {
        for (VstInt32 i = 0; i < frames; ++i) {
            outputs[c][i] = base + static_cast<float>(c + 1);
        }
    }
    RecordBlock(frames);
}

void VSTCALLBACK FakeAccumulating(AEffect*, float**, float** outputs, VstInt32 frames)
{
    for (int c = 0; c < 2; ++c) {
        for (VstInt32 i = 0; i < frames; ++i) {
            outputs[c][i] += 0.5f;
        }
    }
    RecordBlock(frames);
}

void VSTCALLBACK FakeDouble(AEffect*, double**, double** outputs, VstInt32 frames)
{
    for (int c = 0; c < 2; ++c) {
        for (VstInt32 i = 0; i < frames; ++i) {
            outputs[c][i] = -0.25 * (c + 1);
        }
    }
    RecordBlock(frames);
}

void VSTCALLBACK FakeSetParameter(AEffect*, VstInt32 index, float value)
{
    g_fake.parameters.push_back({static_cast<int>(g_fake.blockFrames.size()), index, value});
}

AEffect* VSTCALLBACK FakeMain(audioMasterCallback host)
{
    const bool returnNull = g_fake.returnNull;
    const bool badMagic = g_fake.badMagic;
    g_fake = FakePlugin{};
    g_fake.host = host;
    // Plug-ins ask before they have a record to name.
    g_fake.versionDuringEntry = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    if (returnNull) {
        return nullptr;
    }
    AEffect& effect = g_fake.effect;
    effect.magic = badMagic ? 0 : kEffectMagic;
    effect.dispatcher = FakeDispatcher;
    effect.process = FakeAccumulating;
    effect.processReplacing = FakeReplacing;
    effect.processDoubleReplacing = FakeDouble;
    effect.setParameter = FakeSetParameter;
    effect.numOutputs = 2;
    effect.numParams = 4;
    effect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsIsSynth;
    return &effect;
}

std::string AskHostText(VstInt32 opcode)
{
    char text[256] = {};
    AskHost(opcode, 0, text);
    return text;
}

}  // namespace

TEST(PluginHost, AnswersThePluginsQuestions)
{
    PluginHost host;
    ASSERT_TRUE(host.Create(FakeMain)) << host.LastError();
    EXPECT_EQ(g_fake.versionDuringEntry, 2400);
    host.Open();
    host.SetSampleRate(48000.0);
    host.SetBlockSize(64);
    ASSERT_TRUE(host.Resume());

    EXPECT_EQ(AskHost(audioMasterVersion), 2400);
    EXPECT_EQ(AskHostText(audioMasterGetVendorString), "VORN tools");
    EXPECT_EQ(AskHostText(audioMasterGetProductString), "vornhost");
    EXPECT_GT(AskHost(audioMasterGetVendorVersion), 0);
    EXPECT_EQ(AskHost(audioMasterGetSampleRate), 48000);
    EXPECT_EQ(AskHost(audioMasterGetBlockSize), 64);
    EXPECT_EQ(AskHost(audioMasterGetCurrentProcessLevel), 1) << "outside processing: the user thread";
    char sendEvents[] = "sendVstEvents";
    char unknown[] = "teleport";
    EXPECT_EQ(AskHost(audioMasterCanDo, 0, sendEvents), 1);
    EXPECT_EQ(AskHost(audioMasterCanDo, 0, unknown), 0);
    EXPECT_EQ(AskHost(audioMasterCanDo, 0, nullptr), 0);
    EXPECT_EQ(AskHost(audioMasterGetVendorString, 0, nullptr), 0);
    EXPECT_EQ(AskHost(audioMasterWantMidi), 1);
    EXPECT_EQ(host.CreationLog().Count(audioMasterVersion), 1) << "asked inside the entry point";
    EXPECT_EQ(host.Log().Count(audioMasterVersion), 1);

    host.Unload();
    EXPECT_TRUE(g_fake.closed);
}

TEST(PluginHost, RefusesMissingOrBrokenRecords)
{
    PluginHost host;
    g_fake.returnNull = true;
    EXPECT_FALSE(host.Create(FakeMain));
    EXPECT_FALSE(host.LastError().empty());
    g_fake.badMagic = true;
    EXPECT_FALSE(host.Create(FakeMain));
    EXPECT_EQ(host.Effect(), nullptr);
    EXPECT_FALSE(host.Load("/nonexistent/plugin.so"));
    EXPECT_NE(host.LastError().find("/nonexistent/plugin.so"), std::string::npos);
}

TEST(RenderLoop, SplitsBlocksAndDeliversEventsAtTheirFrames)
{
    PluginHost host;
    ASSERT_TRUE(host.Create(FakeMain));
    host.Open();
    host.SetSampleRate(44100.0);
    host.SetBlockSize(256);
    ASSERT_TRUE(host.Resume());

    // Given out of order; equal frames keep their given order.
    const std::vector<TimedMidiEvent> events = {
        {999, {0x80, 60, 0}}, {256, {0x90, 62, 100}}, {0, {0x90, 60, 100}}, {255, {0xB0, 1, 0}},
        {256, {0x80, 62, 0}}, {1000, {0x90, 70, 1}},  {-3, {0x90, 71, 1}},
    };
    int sinkCalls = 0;
    std::vector<float> firstSamples;
    const RenderResult result =
        RenderFrames(host, 1000, ProcessMode::Replacing, events, [&](const PluginHost& rendered, int frames) {
            ++sinkCalls;
            EXPECT_EQ(frames, g_fake.blockFrames.back());
            firstSamples.push_back(rendered.Output(1)[frames - 1]);
            return true;
        });

    EXPECT_EQ(result.framesRendered, 1000);
    EXPECT_EQ(result.eventsSent, 5) << "events before 0 or at the end are dropped";
    EXPECT_FALSE(result.stoppedBySink);
    EXPECT_EQ(g_fake.blockFrames, (std::vector<int>{256, 256, 256, 232}));
    EXPECT_EQ(g_fake.blockPositions, (std::vector<double>{0.0, 256.0, 512.0, 768.0}));
    EXPECT_EQ(sinkCalls, 4);
    EXPECT_EQ(firstSamples, (std::vector<float>{2.0f, 3.0f, 4.0f, 5.0f}));

    ASSERT_EQ(g_fake.events.size(), 5u);
    const ReceivedEvent expected[] = {
        {0, 0, 0x90, 60}, {0, 255, 0xB0, 1}, {1, 0, 0x90, 62}, {1, 0, 0x80, 62}, {3, 231, 0x80, 60},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_EQ(g_fake.events[i].block, expected[i].block);
        EXPECT_EQ(g_fake.events[i].deltaFrames, expected[i].deltaFrames);
        EXPECT_EQ(g_fake.events[i].status, expected[i].status);
        EXPECT_EQ(g_fake.events[i].data1, expected[i].data1);
    }
}

TEST(RenderLoop, CallbacksModesAndStoppingSink)
{
    PluginHost host;
    ASSERT_TRUE(host.Create(FakeMain));
    host.SetOffline(true);
    host.Open();
    host.SetBlockSize(100);
    ASSERT_TRUE(host.Resume());

    // The accumulating callback adds into buffers the host cleared.
    RenderFrames(host, 200, ProcessMode::Accumulating, {}, {});
    EXPECT_EQ(host.Output(0)[99], 0.5f);
    EXPECT_EQ(host.Output(1)[0], 0.5f);
    EXPECT_EQ(g_fake.processLevels,
              (std::vector<VstIntPtr>{kVstProcessLevelOffline, kVstProcessLevelOffline}));

    RenderFrames(host, 100, ProcessMode::Double, {}, {});
    EXPECT_EQ(host.Output(0)[0], -0.25f);
    EXPECT_EQ(host.Output(1)[99], -0.5f);
    EXPECT_EQ(host.Output(2), nullptr);
    EXPECT_EQ(host.Output(-1), nullptr);

    const std::size_t before = g_fake.blockFrames.size();
    const RenderResult stopped =
        RenderFrames(host, 1000, ProcessMode::Replacing, {}, [](const PluginHost&, int) { return false; });
    EXPECT_TRUE(stopped.stoppedBySink);
    EXPECT_EQ(stopped.framesRendered, 100);
    EXPECT_EQ(g_fake.blockFrames.size(), before + 1);
}

TEST(RenderLoop, TimedParameterChangesCutBlocksAtTheirFrames)
{
    PluginHost host;
    ASSERT_TRUE(host.Create(FakeMain));
    host.Open();
    host.SetBlockSize(256);
    ASSERT_TRUE(host.Resume());

    const std::vector<TimedParameterChange> parameters = {
        {300, 3, 0.75f}, {100, 1, 0.25f}, {100, 2, 0.5f}, {-5, 0, 1.0f},
        {0, 1, 0.0f},    {512, 0, 0.0f},  {100, 9, 0.1f},  // beyond the plug-in's parameters: not passed on
    };
    const std::vector<TimedMidiEvent> events = {{150, {0x90, 60, 100}}, {300, {0x80, 60, 0}}};
    const RenderResult result = RenderFrames(host, 512, ProcessMode::Replacing, events, {}, parameters);

    EXPECT_EQ(result.framesRendered, 512);
    EXPECT_EQ(result.parametersSet, 5);
    EXPECT_EQ(g_fake.blockFrames, (std::vector<int>{100, 200, 212})) << "cut at 100 and 300";
    EXPECT_EQ(g_fake.blockPositions, (std::vector<double>{0.0, 100.0, 300.0}));
    const ReceivedParameter expected[] = {
        {0, 0, 1.0f}, {0, 1, 0.0f}, {1, 1, 0.25f}, {1, 2, 0.5f}, {2, 3, 0.75f}};
    ASSERT_EQ(g_fake.parameters.size(), std::size(expected)) << "the change at the end is dropped";
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE("change " + std::to_string(i));
        EXPECT_EQ(g_fake.parameters[i].block, expected[i].block);
        EXPECT_EQ(g_fake.parameters[i].index, expected[i].index);
        EXPECT_EQ(g_fake.parameters[i].value, expected[i].value);
    }
    ASSERT_EQ(g_fake.events.size(), 2u);
    EXPECT_EQ(g_fake.events[0].block, 1);
    EXPECT_EQ(g_fake.events[0].deltaFrames, 50);
    EXPECT_EQ(g_fake.events[1].block, 2);
    EXPECT_EQ(g_fake.events[1].deltaFrames, 0);
    EXPECT_FALSE(host.SetParameter(4, 0.5f));
    EXPECT_FALSE(host.SetParameter(-1, 0.5f));
}
