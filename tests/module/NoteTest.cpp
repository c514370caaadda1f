// Notes through the whole module: a note sounds from the frame its event
// names, also in blocks longer than the announced block size, and stops after
// note-off, all-notes-off and all-sound-off.
#include "tests/module/ExpectedModule.h"
#include "tests/module/ModuleHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

namespace {

constexpr double kAudible = 1e-4;
// Voices start at their exact frame; allow one control period (44 frames at 44.1 kHz) of slack.
constexpr int kStartSlack = 44;

using Midi = PluginInstance::Midi;

// Index of the first frame where either channel reaches kAudible, or -1.
template <typename Sample>
int FirstAudibleFrame(const CanaryBuffers<Sample>& buffers, int frames)
{
    for (int i = 0; i < frames; ++i) {
        for (std::size_t c = 0; c < static_cast<std::size_t>(kExpectedOutputs); ++c) {
            if (std::fabs(static_cast<double>(buffers.Channel(c)[i])) >= kAudible) {
                return i;
            }
        }
    }
    return -1;
}

// Renders seconds of audio in blocks and returns the peak of the last block.
double RenderAndTakeLastPeak(PluginInstance& plugin, int block, double seconds)
{
    CanaryBuffers<float> outputs(kExpectedOutputs, static_cast<std::size_t>(block), 0.0f);
    const int blocks = static_cast<int>(seconds * 44100.0 / block) + 1;
    for (int i = 0; i < blocks; ++i) {
        plugin.ProcessReplacing(nullptr, outputs.Pointers(), block);
    }
    EXPECT_TRUE(outputs.CanariesIntact());
    return std::max(outputs.Peak(0, static_cast<std::size_t>(block)),
                    outputs.Peak(1, static_cast<std::size_t>(block)));
}

}  // namespace

TEST(Notes, SoundFromTheirFrameAndStopAfterRelease)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    constexpr int kBlock = 512;
    plugin.Start(44100.0, kBlock);
    CanaryBuffers<float> outputs(kExpectedOutputs, kBlock, 0.0f);

    for (int offset : {0, 300, kBlock - 1}) {
        SCOPED_TRACE("note-on at frame " + std::to_string(offset));
        plugin.SendMidi({{offset, 0x90, 60, 100}});
        plugin.ProcessReplacing(nullptr, outputs.Pointers(), kBlock);
        const int first = FirstAudibleFrame(outputs, kBlock);
        if (offset + kStartSlack < kBlock) {
            EXPECT_GE(first, offset);
            EXPECT_LE(first, offset + kStartSlack);
        } else {
            EXPECT_TRUE(first == -1 || first >= offset) << "sound at frame " << first;
        }
        EXPECT_GT(RenderAndTakeLastPeak(plugin, kBlock, 0.2), kAudible) << "the held note fell silent";
        plugin.SendMidi({{0, 0x80, 60, 0}});
        EXPECT_LT(RenderAndTakeLastPeak(plugin, kBlock, 2.0), kSilence) << "still sounding after note-off";
    }

    // A chord ended by all-notes-off, then by all-sound-off.
    for (unsigned char controller : {123, 120}) {
        SCOPED_TRACE("controller " + std::to_string(controller));
        plugin.SendMidi({{0, 0x90, 48, 100}, {0, 0x90, 55, 100}, {0, 0x90, 64, 100}, {0, 0x90, 72, 100}});
        EXPECT_GT(RenderAndTakeLastPeak(plugin, kBlock, 0.2), kAudible);
        plugin.SendMidi({{0, 0xB0, controller, 0}});
        EXPECT_LT(RenderAndTakeLastPeak(plugin, kBlock, 2.0), kSilence);
    }
}

TEST(Notes, KeepTheirFramesInBlocksLongerThanTheBlockSize)
{
    constexpr int kHostBlock = 2048;
    constexpr int kOffset = 1500;
    for (int callback = 0; callback < 3; ++callback) {
        SCOPED_TRACE(callback == 0   ? "processReplacing"
                     : callback == 1 ? "process"
                                     : "processDoubleReplacing");
        PluginInstance plugin;
        ASSERT_TRUE(plugin);
        plugin.Start(44100.0, 64);
        plugin.SendMidi({{kOffset, 0x90, 67, 110}});
        int first = -1;
        if (callback < 2) {
            CanaryBuffers<float> outputs(kExpectedOutputs, kHostBlock, 0.0f);
            if (callback == 0) {
                plugin.ProcessReplacing(nullptr, outputs.Pointers(), kHostBlock);
            } else {
                plugin.ProcessAccumulating(nullptr, outputs.Pointers(), kHostBlock);
            }
            EXPECT_TRUE(outputs.CanariesIntact());
            first = FirstAudibleFrame(outputs, kHostBlock);
        } else {
            CanaryBuffers<double> outputs(kExpectedOutputs, kHostBlock, 0.0);
            plugin.ProcessDouble(nullptr, outputs.Pointers(), kHostBlock);
            EXPECT_TRUE(outputs.CanariesIntact());
            first = FirstAudibleFrame(outputs, kHostBlock);
        }
        EXPECT_GE(first, kOffset) << "the note started early";
        EXPECT_LE(first, kOffset + kStartSlack) << "the note started late or not at all";
    }
}

TEST(Notes, AllThreeCallbacksRenderTheSameSound)
{
    constexpr int kBlock = 300;
    constexpr int kBlocks = 60;
    const std::vector<Midi> chord = {{0, 0x90, 60, 100}, {120, 0x90, 64, 80}, {299, 0x90, 67, 60}};
    const std::vector<Midi> release = {{10, 0x80, 60, 0}, {11, 0x80, 64, 0}, {12, 0x80, 67, 0}};

    // Each callback on a fresh instance fed identically; the float callbacks
    // must give exactly the double callback's samples converted to float.
    std::vector<std::vector<float>> renders(3);
    for (int callback = 0; callback < 3; ++callback) {
        PluginInstance plugin;
        ASSERT_TRUE(plugin);
        plugin.Start(44100.0, kBlock);
        CanaryBuffers<float> floats(kExpectedOutputs, kBlock, 0.0f);
        CanaryBuffers<double> doubles(kExpectedOutputs, kBlock, 0.0);
        for (int block = 0; block < kBlocks; ++block) {
            if (block == 0 || block == kBlocks / 2) {
                plugin.SendMidi(block == 0 ? chord : release);
            }
            if (callback == 0) {
                plugin.ProcessReplacing(nullptr, floats.Pointers(), kBlock);
            } else if (callback == 1) {
                std::fill(floats.Pointers()[0], floats.Pointers()[0] + kBlock, 0.0f);
                std::fill(floats.Pointers()[1], floats.Pointers()[1] + kBlock, 0.0f);
                plugin.ProcessAccumulating(nullptr, floats.Pointers(), kBlock);
            } else {
                plugin.ProcessDouble(nullptr, doubles.Pointers(), kBlock);
            }
            for (std::size_t c = 0; c < static_cast<std::size_t>(kExpectedOutputs); ++c) {
                for (int i = 0; i < kBlock; ++i) {
                    renders[callback].push_back(callback == 2 ? static_cast<float>(doubles.Channel(c)[i])
                                                              : floats.Channel(c)[i]);
                }
            }
        }
    }
    double peak = 0.0;
    for (float sample : renders[2]) {
        peak = std::max(peak, std::fabs(static_cast<double>(sample)));
    }
    EXPECT_GT(peak, kAudible) << "the chord made no sound";
    EXPECT_TRUE(renders[0] == renders[2]) << "processReplacing differs from processDoubleReplacing";
    EXPECT_TRUE(renders[1] == renders[2]) << "process differs from processDoubleReplacing";
}
