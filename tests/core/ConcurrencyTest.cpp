// Host threads entering at once: the audio thread rendering while the UI
// thread automates, reads texts and swaps state. Meant to be run under a
// thread or address sanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
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

}  // namespace
