// Host threads entering at once: the audio thread rendering while the UI
// thread automates, reads texts and swaps state. Meant to be run under a
// thread or address sanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>
#include <vector>

#include "TestPlugin.h"

namespace {

TEST(Concurrency, AudioAndUserInterfaceThreads)
{
    FakeHost host;
    host.record = false;
    FakeHost::current = &host;
    TestPlugin plugin;
    plugin.recordRenders = false;
    plugin.FillEmptyPresets(4);
    AEffect* effect = plugin.Effect();
    std::atomic<bool> stop{false};

    std::thread audio([&] {
        std::vector<float> left(300);
        std::vector<float> right(300);
        float* outputs[] = {left.data(), right.data()};
        while (!stop.load()) {
            effect->processReplacing(effect, nullptr, outputs, 300);
            effect->setParameter(effect, 0, 0.5f);
        }
    });

    char text[64];
    for (int i = 0; i < 2000; ++i) {
        effect->setParameter(effect, i % 4, static_cast<float>(i % 10) / 10.0f);
        effect->getParameter(effect, i % 4);
        Dispatch(effect, effGetParamDisplay, i % 4, 0, text);
        if (i % 50 == 0) {
            void* data = nullptr;
            VstIntPtr size = Dispatch(effect, effGetChunk, i % 100 == 0 ? 0 : 1, 0, &data);
            std::vector<std::uint8_t> copy(static_cast<const std::uint8_t*>(data),
                                           static_cast<const std::uint8_t*>(data) + size);
            Dispatch(effect, effSetChunk, i % 100 == 0 ? 0 : 1, size, copy.data());
            Dispatch(effect, effSetProgram, 0, i % 4);
            Dispatch(effect, effSetBlockSize, 0, 64 + i % 512);
        }
        InstanceLock lock(plugin.InstanceMutex());
        plugin.changed.clear();
    }
    stop = true;
    audio.join();
    FakeHost::current = nullptr;
    EXPECT_LE(plugin.maxRenderFrames, 1024);
}

// Announces every kind of host notice from inside a host call (a reset).
class NoticingPlugin : public TestPlugin {
public:
    using TestPlugin::TestPlugin;
    void OnReset() override
    {
        BeginHostEdit(1);
        NotifyHostParameter(1, 0.25);
        NotifyHostParameter(1, 0.5);  // a later value of the same change
        EndHostEdit(1);
        NotifyHostAllParameters();
        NotifyHostOfProgramChange();
    }
};

// Records the notices and whether another thread could take the instance
// lock while each was made.
struct LockProbingHost {
    static inline IPluginBase* plugin = nullptr;
    static inline std::vector<std::pair<VstInt32, float>> notices;
    static inline int madeUnderLock = 0;
    static VstIntPtr VSTCALLBACK Callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float opt)
    {
        if (opcode != audioMasterAutomate && opcode != audioMasterBeginEdit && opcode != audioMasterEndEdit &&
            opcode != audioMasterUpdateDisplay) {
            return 0;
        }
        notices.emplace_back(opcode, opt);
        const bool free = std::async(std::launch::async, [] {
                              if (!plugin->InstanceMutex().try_lock()) {
                                  return false;
                              }
                              plugin->InstanceMutex().unlock();
                              return true;
                          }).get();
        madeUnderLock += free ? 0 : 1;
        return 0;
    }
};

TEST(Concurrency, HostNoticesAreSentInOrderAfterTheLockIsReleased)
{
    NoticingPlugin plugin(&LockProbingHost::Callback);
    LockProbingHost::plugin = &plugin;
    LockProbingHost::notices.clear();
    LockProbingHost::madeUnderLock = 0;
    Dispatch(plugin.Effect(), effSetSampleRate, 0, 0, nullptr, 48000.0f);
    ASSERT_EQ(LockProbingHost::notices.size(), 3u + 4u + 1u);
    EXPECT_EQ(LockProbingHost::notices[0].first, audioMasterBeginEdit);
    EXPECT_EQ(LockProbingHost::notices[1], std::make_pair(VstInt32{audioMasterAutomate}, 0.5f))
        << "values coalesced";
    EXPECT_EQ(LockProbingHost::notices[2].first, audioMasterEndEdit);
    EXPECT_EQ(LockProbingHost::notices[7].first, audioMasterUpdateDisplay);
    EXPECT_EQ(LockProbingHost::madeUnderLock, 0);

    // Outside a host call (an editor gesture) they go out at once.
    LockProbingHost::notices.clear();
    plugin.SetParameterFromEditor(0, 0.75);
    ASSERT_EQ(LockProbingHost::notices.size(), 1u);
    EXPECT_EQ(LockProbingHost::madeUnderLock, 1) << "the gesture holds the lock itself";
}

// A state read that takes long, so that other calls queue up behind it.
class SlowReadingPlugin : public TestPlugin {
public:
    using TestPlugin::TestPlugin;
    int ReadState(const StateChunk& chunk, int position) override
    {
        reading.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        return TestPlugin::ReadState(chunk, position);
    }
    std::atomic<bool> reading{false};
};

TEST(Concurrency, CloseLetsWaitingCallsLeaveBeforeTheInstanceGoes)
{
    FakeHost host;
    host.record = false;
    FakeHost::current = &host;
    auto* plugin = new SlowReadingPlugin();
    AEffect* effect = plugin->Effect();
    std::vector<std::uint8_t> state(4 * 8, 0);
    std::atomic<bool> audioCalling{false};
    std::atomic<int> finished{0};

    std::thread user([&] {
        Dispatch(effect, effSetChunk, 1, static_cast<VstIntPtr>(state.size()), state.data());
        ++finished;
    });
    while (!plugin->reading.load()) {
        std::this_thread::yield();
    }
    std::thread audio([&] {
        std::vector<float> left(64, 7.0f);
        std::vector<float> right(64, 7.0f);
        float* outputs[] = {left.data(), right.data()};
        audioCalling = true;
        const auto start = std::chrono::steady_clock::now();
        effect->processReplacing(effect, nullptr, outputs, 64);
        const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("[ wait ] longest lock wait of the audio thread behind a state load: %.1f ms\n",
                    waited * 1000.0);
        EXPECT_EQ(left[0], 7.0f) << "a call that waited through the close renders nothing";
        ++finished;
    });
    while (!audioCalling.load()) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // The instance goes only after both calls have left it.
    Dispatch(effect, effClose);
    EXPECT_EQ(finished.load() >= 1, true);
    user.join();
    audio.join();
    EXPECT_EQ(finished.load(), 2);
    FakeHost::current = nullptr;
}

}  // namespace
