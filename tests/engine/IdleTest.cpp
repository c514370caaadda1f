// The idle continuation: once no voice sounds and the chain has decayed to
// its silent cycle below the dither level, whole control periods are
// rendered without computing audio. What comes out stays within 1e-12 of the
// full computation, and the first note brings the full computation back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "EngineHarness.h"

namespace {

double LargestDifference(const StereoBuffer& a, const StereoBuffer& b, std::size_t begin, std::size_t end)
{
    double largest = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
        largest = std::max({largest, std::fabs(a.left[i] - b.left[i]), std::fabs(a.right[i] - b.right[i])});
    }
    return largest;
}

TEST(Idle, SilenceIsSkippedWithin1e12AndNotesComeBackExact)
{
    const std::vector<TimedMidi> song = {{0, 0x90, 48, 100},   {0, 0x90, 64, 100},     {48000, 0x80, 48, 0},
                                         {48000, 0x80, 64, 0}, {480000, 0x90, 60, 90}, {528000, 0x80, 60, 0}};
    constexpr std::int64_t kFrames = 672000;  // 14 s at 48 kHz
    EngineHarness reference(48000.0, 512);
    reference.Plugin().Core().SetReferenceRendering(true);
    const StereoBuffer expected = reference.Render(kFrames, 512, song);

    EngineHarness engine(48000.0, 512);
    const StereoBuffer idle = engine.Render(kFrames, 512, song);
    const VORN& plugin = engine.Plugin();
    std::printf("[ idle ] %lld of %lld control periods skipped\n",
                static_cast<long long>(plugin.Core().IdlePeriodCount()),
                static_cast<long long>(plugin.Core().ControlTickCount()));
    EXPECT_GT(plugin.Core().IdlePeriodCount(), 5000) << "the long silence is skipped";
    EXPECT_EQ(plugin.Core().ControlTickCount(), reference.Plugin().Core().ControlTickCount());
    EXPECT_LE(LargestDifference(idle, expected, 0, 480000), 1e-12) << "up to the second note";
    // The note after the silence is computed again; the chain's states,
    // frozen while skipped, differ by no more than the dither level.
    EXPECT_LE(LargestDifference(idle, expected, 480000, kFrames), 1e-9);
    EXPECT_GT(idle.Rms(480000, 528000), 0.01) << "the note sounds";
}

}  // namespace
