#include "engine/UiSoundResources.h"

#include "engine/dsp/UiSoundPlayer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The process-wide player gets the module's three sounds, and a click plays
// audibly and ends.
TEST(UiSoundResources, LoadsTheModuleSoundsIntoThePlayer)
{
    LoadUiSoundResources();
    LoadUiSoundResources();  // later calls change nothing
    UiSoundPlayer& player = UiSoundPlayer::Instance();
    EXPECT_EQ(player.TableLength(UiSoundPlayer::Sound::Click1), 2048);
    EXPECT_EQ(player.TableLength(UiSoundPlayer::Sound::Click2), 2048);
    EXPECT_EQ(player.TableLength(UiSoundPlayer::Sound::Scratch), 16384);

    ASSERT_TRUE(player.IsIdle());
    ASSERT_TRUE(player.TriggerClick(44100.0));
    std::vector<double> left(4096), right(4096);
    player.AddTo(left.data(), right.data(), static_cast<int>(left.size()));
    EXPECT_TRUE(player.IsIdle());
    double peak = 0.0;
    for (const double s : left) {
        peak = std::max(peak, std::fabs(s));
    }
    EXPECT_GT(peak, 0.5);
    EXPECT_LE(peak, 1.0);
}

}  // namespace
