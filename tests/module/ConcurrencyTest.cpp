// Hosts call in from a user-interface thread and an audio thread at once, and
// plug-in scanners create instances from several threads.
#include "tests/module/ExpectedModule.h"
#include "tests/module/ModuleHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <thread>
#include <vector>

TEST(Threads, UserAndAudioThreadsShareOneInstance)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    constexpr int kBlock = 256;
    plugin.Start(44100.0, kBlock);
    AEffect* effect = plugin.Effect();

    std::atomic<bool> userDone{false};
    double peak = 0.0;
    bool canariesIntact = true;
    std::thread audio([&] {
        using Midi = PluginInstance::Midi;
        const std::vector<Midi> on = {{0, 0x90, 60, 100}, {5, 0x90, 67, 100}};
        const std::vector<Midi> off = {{0, 0x80, 60, 0}, {5, 0x80, 67, 0}};
        CanaryBuffers<float> floats(kExpectedOutputs, kBlock, 0.0f);
        CanaryBuffers<double> doubles(kExpectedOutputs, kBlock, 0.0);
        for (int round = 0; round < 400 || !userDone.load(); ++round) {
            plugin.SendMidi(round % 8 == 0 ? on : off);
            plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
            plugin.ProcessDouble(nullptr, doubles.Pointers(), kBlock);
            for (std::size_t c = 0; c < kExpectedOutputs; ++c) {
                peak = std::max({peak, floats.Peak(c, kBlock), doubles.Peak(c, kBlock)});
            }
        }
        canariesIntact = floats.CanariesIntact() && doubles.CanariesIntact();
    });

    for (int round = 0; round < 200; ++round) {
        const VstInt32 index = round % kExpectedParams;
        effect->setParameter(effect, index, static_cast<float>(round % 11) / 10.0f);
        effect->getParameter(effect, index);
        plugin.Text(effGetParamDisplay, index, kParamTextCapacity);
        if (round % 20 == 0) {
            plugin.Dispatch(effSetProgram, 0, round / 20);
            void* chunk = nullptr;
            const VstIntPtr size = plugin.Dispatch(effGetChunk, 1, 0, &chunk);
            if (size > 0 && chunk) {
                std::vector<char> copy(static_cast<const char*>(chunk),
                                       static_cast<const char*>(chunk) + size);
                plugin.Dispatch(effSetChunk, 1, size, copy.data());
            }
        }
        if (round % 50 == 0) {
            plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, round % 100 == 0 ? 48000.0f : 44100.0f);
        }
    }
    userDone = true;
    audio.join();
    EXPECT_TRUE(canariesIntact);
    EXPECT_LT(peak, 8.0) << "a sample was not finite or far too loud";
}

TEST(Threads, InstancesCreatedFromSeveralThreads)
{
    constexpr int kThreads = 3;
    constexpr int kInstancesPerThread = 3;
    std::atomic<int> complete{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&complete] {
            for (int i = 0; i < kInstancesPerThread; ++i) {
                PluginInstance plugin;
                if (!plugin || plugin.Effect()->magic != kEffectMagic ||
                    plugin.Effect()->numParams != kExpectedParams) {
                    continue;
                }
                plugin.Start(44100.0, 64);
                CanaryBuffers<float> outputs(kExpectedOutputs, 64, 0.0f);
                plugin.ProcessReplacing(nullptr, outputs.Pointers(), 64);
                if (outputs.CanariesIntact()) {
                    ++complete;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(complete.load(), kThreads * kInstancesPerThread);
}

TEST(Threads, BankLoadsWhileTheAudioThreadRenders)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    constexpr int kBlock = 256;
    plugin.Start(48000.0, kBlock);
    AEffect* effect = plugin.Effect();
    void* data = nullptr;
    const VstIntPtr size = plugin.Dispatch(effGetChunk, 0, 0, &data);
    ASSERT_GT(size, 0);
    const std::vector<char> bank(static_cast<const char*>(data), static_cast<const char*>(data) + size);

    std::atomic<bool> userDone{false};
    double longest = 0.0;
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        CanaryBuffers<float> floats(kExpectedOutputs, kBlock, 0.0f);
        while (!userDone.load()) {
            const auto start = std::chrono::steady_clock::now();
            plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
            longest = std::max(
                longest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            ++blocks;
        }
    });
    while (blocks.load() == 0) {
        std::this_thread::yield();
    }
    int loaded = 0;
    for (int round = 0; round < 10; ++round) {
        std::vector<char> copy = bank;
        loaded += plugin.Dispatch(effSetChunk, 0, size, copy.data()) == 1 ? 1 : 0;
        effect->setParameter(effect, round % kExpectedParams, 0.5f);
    }
    userDone = true;
    audio.join();
    EXPECT_EQ(loaded, 10);
    EXPECT_GT(blocks, 0);
    std::printf("[ wait ] longest audio callback while banks loaded: %.2f ms over %d blocks\n",
                longest * 1000.0, blocks.load());
}

// While a user-interface thread sets a parameter, reads it back, switches
// programs and hands states back and forth, the audio thread renders a held
// chord: every block is rendered and sounds, and every value the audio
// thread reads is one that was written whole (never a mix of two).
TEST(Threads, NoTornValuesAndAudioGoesOnWhileTheUserThreadWorks)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    constexpr int kBlock = 128;
    plugin.Start(48000.0, kBlock);
    AEffect* effect = plugin.Effect();
    constexpr VstInt32 kProbe = 12;  // "Velocity to VCA EG": linear 0..1
    const float written[] = {0.0f, 0.25f, 0.5f, 1.0f};
    effect->setParameter(effect, kProbe, written[0]);

    std::atomic<bool> userDone{false};
    std::atomic<int> silentBlocks{0};
    std::atomic<int> blocks{0};
    std::atomic<int> tornReads{0};
    std::thread audio([&] {
        plugin.SendMidi({{0, 0x90, 48, 100}, {0, 0x90, 60, 100}, {0, 0x90, 67, 100}});
        CanaryBuffers<float> floats(kExpectedOutputs, kBlock, 0.0f);
        while (!userDone.load()) {
            plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
            const int n = ++blocks;
            if (n > 50 && floats.Peak(0, kBlock) == 0.0) {
                ++silentBlocks;
            }
            const float read = effect->getParameter(effect, kProbe);
            if (std::find(std::begin(written), std::end(written), read) == std::end(written)) {
                ++tornReads;
            }
        }
    });
    while (blocks.load() < 60) {
        std::this_thread::yield();
    }
    for (int round = 0; round < 300; ++round) {
        effect->setParameter(effect, kProbe, written[round % 4]);
        if (round % 30 == 0) {
            plugin.Dispatch(effSetProgram, 0, round / 30);
            void* data = nullptr;
            const VstIntPtr size = plugin.Dispatch(effGetChunk, round % 60 == 0 ? 0 : 1, 0, &data);
            if (size > 0 && data != nullptr) {
                std::vector<char> copy(static_cast<const char*>(data), static_cast<const char*>(data) + size);
                plugin.Dispatch(effSetChunk, round % 60 == 0 ? 0 : 1, size, copy.data());
            }
        }
    }
    userDone = true;
    audio.join();
    EXPECT_EQ(tornReads.load(), 0);
    EXPECT_EQ(silentBlocks.load(), 0) << "the held chord stopped sounding in some blocks";
    EXPECT_GT(blocks.load(), 60);
}
