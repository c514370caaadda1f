#include "engine/dsp/UiSoundPlayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Sound = UiSoundPlayer::Sound;

// Signed 8-bit sample bytes; `value(k)` gives sample k.
template <typename F>
std::vector<std::uint8_t> Samples(int length, F value)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    for (int k = 0; k < length; ++k) {
        bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(static_cast<std::int8_t>(value(k)));
    }
    return bytes;
}

// Distinct, never-zero samples per sound, so the output shows which sample of
// which sound played: click1 1..100, click2 -1..-100, scratch 1..120.
int Click1Sample(int k)
{
    return 1 + k % 100;
}
int Click2Sample(int k)
{
    return -1 - k % 100;
}
int ScratchSample(int k)
{
    return 1 + k % 120;
}

std::unique_ptr<UiSoundPlayer> LoadedPlayer()
{
    auto player = std::make_unique<UiSoundPlayer>();
    EXPECT_TRUE(player->LoadTables(Samples(2048, Click1Sample), Samples(2048, Click2Sample),
                                   Samples(16384, ScratchSample)));
    return player;
}

struct Output {
    std::vector<double> left, right;
};

// Runs the player for `frames` frames in blocks of `block`, from zeroed buffers.
Output Play(UiSoundPlayer& player, int frames, int block)
{
    Output out{std::vector<double>(static_cast<std::size_t>(frames)),
               std::vector<double>(static_cast<std::size_t>(frames))};
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        player.AddTo(out.left.data() + start, out.right.data() + start, n);
    }
    return out;
}

// Frames a sound plays from `position` with `step`, counting as the player does.
int PlayedFrames(double position, double step)
{
    int frames = 0;
    for (; position > 0.0; position -= step) {
        ++frames;
    }
    return frames;
}

TEST(UiSoundPlayer, PlaysTheStoredSoundForwardsFromTheReversedTable)
{
    auto player = LoadedPlayer();
    EXPECT_EQ(player->TableLength(Sound::Click1), 2048);
    EXPECT_EQ(player->TableLength(Sound::Scratch), 16384);
    ASSERT_TRUE(player->IsIdle());

    // From the last position at step 1: samples 0..2046 in order (position 0,
    // holding sample 2047, ends the sound before it is read).
    ASSERT_TRUE(player->Start(Sound::Click2, 2047.0, 1.0));
    EXPECT_FALSE(player->IsIdle());
    const Output out = Play(*player, 2100, 2100);
    for (int i = 0; i < 2047; ++i) {
        ASSERT_EQ(out.left[static_cast<std::size_t>(i)], Click2Sample(i) / 128.0) << "frame " << i;
        ASSERT_EQ(out.right[static_cast<std::size_t>(i)], out.left[static_cast<std::size_t>(i)]);
    }
    for (int i = 2047; i < 2100; ++i) {
        ASSERT_EQ(out.left[static_cast<std::size_t>(i)], 0.0) << "frame " << i;
        ASSERT_EQ(out.right[static_cast<std::size_t>(i)], 0.0) << "frame " << i;
    }
    EXPECT_TRUE(player->IsIdle());

    // Idle: adds nothing, and adds onto what the buffers already hold.
    std::vector<double> left(16, 0.25), right(16, -0.25);
    player->AddTo(left.data(), right.data(), 16);
    EXPECT_EQ(left, std::vector<double>(16, 0.25));
    ASSERT_TRUE(player->Start(Sound::Click1, 3.0, 1.0));
    player->AddTo(left.data(), right.data(), 16);
    EXPECT_EQ(left[0], 0.25 + Click1Sample(2044) / 128.0);
    EXPECT_EQ(right[2], -0.25 + Click1Sample(2046) / 128.0);
    EXPECT_EQ(left[3], 0.25);
}

TEST(UiSoundPlayer, ClickStepFollowsTheSampleRate)
{
    // Both clicks hold the same samples here, so the random choice does not matter.
    for (const double rate : {44100.0, 48000.0, 32000.0, 96000.0}) {
        auto player = std::make_unique<UiSoundPlayer>();
        player->LoadTables(Samples(2048, Click1Sample), Samples(2048, Click1Sample), {});
        ASSERT_TRUE(player->TriggerClick(rate)) << rate;
        const double step = 32000.0 / rate;
        const int frames = PlayedFrames(2047.0, step);
        const Output out = Play(*player, frames + 10, 64);
        double position = 2047.0;
        for (int i = 0; i < frames; ++i, position -= step) {
            const int k = 2047 - static_cast<int>(position);
            ASSERT_EQ(out.left[static_cast<std::size_t>(i)], Click1Sample(k) / 128.0)
                << rate << " Hz, frame " << i;
        }
        EXPECT_EQ(out.left[static_cast<std::size_t>(frames)], 0.0) << rate;
        EXPECT_TRUE(player->IsIdle()) << rate;
    }
    // 44.1 kHz: 2047 / (32000 / 44100) = 2821.06 positions above 0; 48 kHz: 3070.5.
    EXPECT_EQ(PlayedFrames(2047.0, 32000.0 / 44100.0), 2822);
    EXPECT_EQ(PlayedFrames(2047.0, 32000.0 / 48000.0), 3071);
}

TEST(UiSoundPlayer, ClickChoiceUsesBothClicks)
{
    auto player = LoadedPlayer();
    int click1 = 0, click2 = 0;
    for (int n = 0; n < 64; ++n) {
        ASSERT_TRUE(player->TriggerClick(32000.0));
        const Output out = Play(*player, 2048, 2048);
        (out.left[0] > 0.0 ? click1 : click2) += 1;
        ASSERT_TRUE(player->IsIdle());
    }
    EXPECT_GT(click1, 0);
    EXPECT_GT(click2, 0);
}

TEST(UiSoundPlayer, StartIsAcceptedOnlyWhileIdle)
{
    auto player = LoadedPlayer();
    ASSERT_TRUE(player->Start(Sound::Click1, 100.0, 1.0));
    // Pending (not yet picked up by the audio thread) counts as busy.
    EXPECT_FALSE(player->TriggerClick(44100.0));
    EXPECT_FALSE(player->Start(Sound::Scratch, 500.0, 1.0));
    Output out = Play(*player, 50, 50);
    // Playing: refused, and the running click continues undisturbed.
    EXPECT_FALSE(player->StartScratch(44100.0));
    EXPECT_FALSE(player->Start(Sound::Click2, 2047.0, 1.0));
    out = Play(*player, 60, 7);
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(out.left[static_cast<std::size_t>(i)], Click1Sample(2047 - 50 + i) / 128.0) << i;
    }
    EXPECT_EQ(out.left[50], 0.0);
    EXPECT_TRUE(player->IsIdle());
    EXPECT_TRUE(player->Start(Sound::Click2, 10.0, 1.0));
}

TEST(UiSoundPlayer, BlockSizeDoesNotChangeTheOutput)
{
    std::vector<double> reference;
    for (const int block : {4000, 1, 7, 44, 64, 1024}) {
        auto player = LoadedPlayer();
        ASSERT_TRUE(player->Start(Sound::Scratch, 3000.0, 32000.0 / 44100.0));
        const Output out = Play(*player, 4200, block);
        if (reference.empty()) {
            reference = out.left;
        }
        EXPECT_EQ(out.left, reference) << "block " << block;
        EXPECT_TRUE(player->IsIdle()) << "block " << block;
    }
}

TEST(UiSoundPlayer, ScratchStartsWithinTheSoundsSecondHalf)
{
    auto player = LoadedPlayer();
    for (int n = 0; n < 32; ++n) {
        ASSERT_TRUE(player->StartScratch(32000.0));
        // Start position p in -1..8190 at step 1 plays p frames: the scratch's
        // samples 16383 - p .. 16382.
        const Output out = Play(*player, 8300, 512);
        int p = 0;
        while (p < 8300 && out.left[static_cast<std::size_t>(p)] != 0.0) {
            ++p;
        }
        ASSERT_LE(p, 8190);
        for (int i = 0; i < p; ++i) {
            ASSERT_EQ(out.left[static_cast<std::size_t>(i)], ScratchSample(16383 - p + i) / 128.0);
        }
        ASSERT_TRUE(player->IsIdle());
    }
}

TEST(UiSoundPlayer, BadStartsAndMissingTablesAreRefusedOrSilent)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();

    // No tables yet: every start refused, AddTo adds nothing.
    const auto emptyOwner = std::make_unique<UiSoundPlayer>();
    UiSoundPlayer& empty = *emptyOwner;
    EXPECT_EQ(empty.TableLength(Sound::Click1), 0);
    EXPECT_FALSE(empty.TriggerClick(44100.0));
    EXPECT_FALSE(empty.StartScratch(44100.0));
    EXPECT_FALSE(empty.Start(Sound::Click1, 10.0, 1.0));
    EXPECT_TRUE(empty.IsIdle());

    // A missing resource silences only its sound; a long one is cut to the table size.
    EXPECT_TRUE(empty.LoadTables({}, Samples(3000, Click2Sample), Samples(10, ScratchSample)));
    EXPECT_FALSE(empty.LoadTables(Samples(2048, Click1Sample), {}, {}));  // only once
    EXPECT_EQ(empty.TableLength(Sound::Click1), 0);
    EXPECT_EQ(empty.TableLength(Sound::Click2), 2048);
    EXPECT_EQ(empty.TableLength(Sound::Scratch), 10);
    EXPECT_FALSE(empty.Start(Sound::Click1, 10.0, 1.0));
    ASSERT_TRUE(empty.Start(Sound::Scratch, 1e9, 1.0));  // from the last position, 9
    const Output scratch = Play(empty, 12, 12);
    EXPECT_EQ(scratch.left[0], ScratchSample(0) / 128.0);
    EXPECT_EQ(scratch.left[8], ScratchSample(8) / 128.0);
    EXPECT_EQ(scratch.left[9], 0.0);

    auto player = LoadedPlayer();
    for (const double step : {0.0, -1.0, kNaN, kInf}) {
        EXPECT_FALSE(player->Start(Sound::Click1, 100.0, step)) << step;
    }
    EXPECT_FALSE(player->Start(Sound::Click1, kNaN, 1.0));
    EXPECT_FALSE(player->Start(static_cast<Sound>(3), 100.0, 1.0));
    for (const double rate : {0.0, -44100.0, kNaN, kInf}) {
        EXPECT_FALSE(player->TriggerClick(rate)) << rate;
        EXPECT_FALSE(player->StartScratch(rate)) << rate;
    }
    EXPECT_TRUE(player->IsIdle());

    // A start at or below 0 is accepted and ends at the first read, silently.
    for (const double position : {0.0, -1.0, -kInf}) {
        ASSERT_TRUE(player->Start(Sound::Click1, position, 1.0)) << position;
        const Output out = Play(*player, 4, 4);
        EXPECT_EQ(out.left[0], 0.0) << position;
        EXPECT_TRUE(player->IsIdle()) << position;
    }

    // Null buffers or no frames: nothing happens and a pending start keeps waiting.
    ASSERT_TRUE(player->Start(Sound::Click1, 5.0, 1.0));
    double buffer[4] = {};
    player->AddTo(nullptr, buffer, 4);
    player->AddTo(buffer, nullptr, 4);
    player->AddTo(buffer, buffer + 2, 0);
    player->AddTo(buffer, buffer + 2, -3);
    EXPECT_EQ(buffer[0], 0.0);
    const Output out = Play(*player, 6, 6);
    EXPECT_EQ(out.left[0], Click1Sample(2042) / 128.0);
    EXPECT_EQ(out.left[5], 0.0);
}

// Editor threads start sounds as fast as they are accepted while audio threads
// play them: every accepted start plays exactly once and in full. Two starters
// compete for the claim; two players of the output model two instances
// rendering at the same time. Run under ASan/UBSan as well.
TEST(UiSoundPlayer, ConcurrentStartsAndPlaybackLoseNothing)
{
    auto player = std::make_unique<UiSoundPlayer>();
    // Constant samples: each frame of any start adds exactly 1/128.
    player->LoadTables(Samples(2048, [](int) { return 1; }), Samples(2048, [](int) { return 1; }), {});
    constexpr int kStartsPerThread = 3000;
    constexpr int kFramesPerStart = 40;

    std::atomic<int> startersRunning{2};
    std::atomic<long> accepted{0};
    const auto starter = [&] {
        for (int n = 0; n < kStartsPerThread; ++n) {
            while (!player->Start(Sound::Click1, kFramesPerStart, 1.0)) {
                std::this_thread::yield();
            }
            accepted.fetch_add(1);
        }
        startersRunning.fetch_sub(1);
    };
    std::atomic<bool> bad{false};
    const auto audio = [&](double& total) {
        double left[32], right[32];
        while (startersRunning.load() > 0 || !player->IsIdle()) {
            std::fill(std::begin(left), std::end(left), 0.0);
            std::fill(std::begin(right), std::end(right), 0.0);
            player->AddTo(left, right, 32);
            for (int i = 0; i < 32; ++i) {
                if (left[i] != right[i] || (left[i] != 0.0 && left[i] != 1.0 / 128.0)) {
                    bad.store(true);
                }
                total += left[i] * 128.0;
            }
            if (player->IsIdle()) {
                std::this_thread::yield();  // let a starter in: two cores run four threads
            }
        }
    };
    double total1 = 0.0, total2 = 0.0;
    std::thread audio1(audio, std::ref(total1));
    std::thread audio2(audio, std::ref(total2));
    std::thread starter1(starter);
    std::thread starter2(starter);
    starter1.join();
    starter2.join();
    audio1.join();
    audio2.join();

    EXPECT_FALSE(bad.load());
    EXPECT_EQ(accepted.load(), 2 * kStartsPerThread);
    EXPECT_EQ(total1 + total2, 2.0 * kStartsPerThread * kFramesPerStart);
    EXPECT_TRUE(player->IsIdle());
}

}  // namespace
