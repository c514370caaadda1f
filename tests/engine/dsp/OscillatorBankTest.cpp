#include "engine/dsp/OscillatorBank.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>

namespace {

constexpr double kTwoPow28 = 268435456.0;
constexpr std::uint32_t kMask = (1u << 28) - 1;

std::int32_t ExpectedIncrement(double hz, double sampleRate)
{
    return static_cast<std::int32_t>(hz * kTwoPow28 / sampleRate);
}

// Banks at 44.1 kHz with only bank A audible: saw, full level, panned hard
// left so the left sum is the raw wave value; no vibrato.
std::unique_ptr<OscillatorBanks> MakeBankA(double rate = 44100.0)
{
    auto banks = std::make_unique<OscillatorBanks>();
    banks->SetSampleRate(rate);
    for (int b = 0; b < OscillatorBanks::kBankCount; ++b) {
        banks->SetLevel(b, 0.0);
        banks->SetPan(b, 0.5);
        banks->SetVibratoDepth(b, 0.0);
        banks->SetVibratoRate(b, 5.0);
    }
    banks->SetLevel(kBankA, 1.0);
    banks->SetPan(kBankA, 0.0);
    banks->UpdateAtControlTick();
    return banks;
}

void AdvanceSamples(OscillatorBanks& banks, int samples)
{
    for (int i = 0; i < samples; ++i) {
        banks.AdvancePhases();
    }
}

const OscillatorBanks::Transpose kNoTranspose = {0, 0, 0};

TEST(OscillatorBank, KeysAnOctaveApartReadOneOscillatorAtDoubledPhase)
{
    auto banks = MakeBankA();
    const WaveTables& waves = WaveTables::Get();
    const OscillatorTables& tables = banks->Tables();
    // A at key 21 runs at 27.5 Hz.
    EXPECT_EQ(banks->Bank(kBankA).Increment(0), ExpectedIncrement(27.5, 44100.0));
    for (int step = 0; step < 50; ++step) {
        AdvanceSamples(*banks, 97);
        const std::uint32_t phase = banks->Bank(kBankA).Phase(0);
        for (int octave = 0; octave <= 8; ++octave) {
            const int key = 21 + 12 * octave;
            const int position = static_cast<int>(((phase << octave) & kMask) >> 16);
            const double expected = waves.Saw(tables.TableLevel(key), position);
            ASSERT_EQ(banks->ReadVoice(key, kNoTranspose).left, expected)
                << "key " << key << " step " << step;
        }
    }
}

TEST(OscillatorBank, OctaveKeysStayPhaseLockedOverTime)
{
    auto banks = MakeBankA();
    // Over 10 s the rendered saw of key 45 (two octaves above key 21) wraps
    // (crosses zero upwards; the falling ramp crosses it downwards) four
    // times per wrap of key 21, and every wrap of key 21 is also one of key 45.
    double previous21 = 0.0;
    double previous45 = 0.0;
    int wraps21 = 0;
    int wraps45 = 0;
    int sharedWraps = 0;
    for (int i = 0; i < 441000; ++i) {
        const double now21 = banks->ReadVoice(21, kNoTranspose).left;
        const double now45 = banks->ReadVoice(45, kNoTranspose).left;
        const bool wrap21 = previous21 < 0.0 && now21 >= 0.0;
        const bool wrap45 = previous45 < 0.0 && now45 >= 0.0;
        wraps21 += wrap21 ? 1 : 0;
        wraps45 += wrap45 ? 1 : 0;
        sharedWraps += wrap21 && wrap45 ? 1 : 0;
        previous21 = now21;
        previous45 = now45;
        banks->AdvancePhases();
    }
    // 27.5 Hz for 10 s; the truncated increment may lose the last wrap.
    EXPECT_GE(wraps21, 274);
    EXPECT_LE(wraps21, 275);
    EXPECT_GE(wraps45, 4 * wraps21);
    EXPECT_LE(wraps45, 4 * wraps21 + 3);
    EXPECT_EQ(sharedWraps, wraps21);
}

TEST(OscillatorBank, KeyIndicesBelow21OrOutside0To127AreSilent)
{
    auto banks = MakeBankA();
    AdvanceSamples(*banks, 1000);
    for (int key : {-1000, -12, -1, 0, 8, 9, 20, 128, 139, 100000, INT_MIN / 2, INT_MAX / 2}) {
        const StereoSample s = banks->ReadVoice(key, kNoTranspose);
        EXPECT_EQ(s.left, 0.0) << "key " << key;
        EXPECT_EQ(s.right, 0.0) << "key " << key;
    }
    // Sums that would overflow an int are still just outside the table.
    for (const OscillatorBanks::Transpose& transpose :
         {OscillatorBanks::Transpose{12, 12, 12}, OscillatorBanks::Transpose{-12, -12, -12}}) {
        const StereoSample s = banks->ReadVoice(transpose[0] > 0 ? INT_MAX : INT_MIN, transpose);
        EXPECT_EQ(s.left, 0.0);
        EXPECT_EQ(s.right, 0.0);
    }
    EXPECT_NE(banks->ReadVoice(21, kNoTranspose).left, 0.0);
    EXPECT_NE(banks->ReadVoice(127, kNoTranspose).left, 0.0);
}

TEST(OscillatorBank, TransposeMovesTheKeyIndexPerBank)
{
    auto banks = MakeBankA();
    banks->SetLevel(kBankB, 1.0);
    banks->SetPan(kBankB, 1.0);  // bank B on the right only
    AdvanceSamples(*banks, 12345);
    const StereoSample up = banks->ReadVoice(60, {12, -12, 0});
    EXPECT_EQ(up.left, banks->ReadVoice(72, kNoTranspose).left);
    EXPECT_EQ(up.right, banks->ReadVoice(48, kNoTranspose).right);
    // A transpose that takes the key below 21 silences only that bank.
    const StereoSample low = banks->ReadVoice(25, {0, -12, 0});
    EXPECT_EQ(low.left, banks->ReadVoice(25, kNoTranspose).left);
    EXPECT_EQ(low.right, 0.0);
    // Key 127 + 12 is past the table: silent; 127 - 12 plays.
    const StereoSample high = banks->ReadVoice(127, {12, -12, 0});
    EXPECT_EQ(high.left, 0.0);
    EXPECT_EQ(high.right, banks->ReadVoice(115, kNoTranspose).right);
}

TEST(OscillatorBank, TuningAndMasterTuneAddInPitchSteps)
{
    auto banks = MakeBankA();
    // Bank A tuning -1 is -64 steps (half a semitone): key 21 sits halfway
    // between key 20 (25.957 Hz) and key 21 (27.5 Hz).
    banks->SetTuning(kBankA, -1.0);
    banks->UpdateAtControlTick();
    EXPECT_EQ(banks->Bank(kBankA).Increment(0), ExpectedIncrement(25.957 + (27.5 - 25.957) * 0.5, 44100.0));
    EXPECT_EQ(banks->Bank(kBankB).Increment(0), ExpectedIncrement(27.5, 44100.0));
    // Master 0.5 (+32) and tuning 0.25 (+16) give +48 steps on pitch class
    // 11 (G#, key 32: 51.913 Hz .. key 33: 55 Hz).
    banks->SetMasterTune(0.5);
    banks->SetTuning(kBankA, 0.25);
    banks->UpdateAtControlTick();
    EXPECT_EQ(banks->Bank(kBankA).Increment(11),
              ExpectedIncrement(51.913 + (55.0 - 51.913) * 48.0 / 128.0, 44100.0));
    // Master tune moves every bank.
    EXPECT_EQ(banks->Bank(kBankC).Increment(11),
              ExpectedIncrement(51.913 + (55.0 - 51.913) * 32.0 / 128.0, 44100.0));
    // Half a step rounds away from zero.
    banks->SetMasterTune(0.0);
    banks->SetTuning(kBankA, 0.5 / 64.0);
    EXPECT_EQ(banks->Bank(kBankA).TuningOffset(), 1);
    banks->SetTuning(kBankA, -0.5 / 64.0);
    EXPECT_EQ(banks->Bank(kBankA).TuningOffset(), -1);
    // Values outside the range (or NaN) stay within +-64 steps.
    banks->SetTuning(kBankA, 1e300);
    EXPECT_EQ(banks->Bank(kBankA).TuningOffset(), 64);
    banks->SetTuning(kBankA, std::nan(""));
    EXPECT_EQ(banks->Bank(kBankA).TuningOffset(), -64);
}

TEST(OscillatorBank, WaveMixLevelAndPanSetTheGains)
{
    auto banks = MakeBankA();
    AdvanceSamples(*banks, 777);
    const WaveTables& waves = WaveTables::Get();
    const int key = 60;
    const int level = banks->Tables().TableLevel(key);
    // Key 60 is pitch class 3 at octave shift 3.
    const int position = static_cast<int>(((banks->Bank(kBankA).Phase(3) << 3) & kMask) >> 16);
    const double saw = waves.Saw(level, position);
    const double square = waves.Square(level, position);
    ASSERT_NE(saw, 0.0);

    EXPECT_EQ(banks->ReadVoice(key, kNoTranspose).left, saw);
    banks->SetWaveMix(kBankA, 1.0);
    EXPECT_EQ(banks->ReadVoice(key, kNoTranspose).left, square);
    banks->SetWaveMix(kBankA, 0.25);
    banks->SetLevel(kBankA, 0.8);
    banks->SetPan(kBankA, 0.25);
    const double s = saw * 0.75 + square * 0.25;
    const StereoSample out = banks->ReadVoice(key, kNoTranspose);
    EXPECT_DOUBLE_EQ(out.left, s * 0.6);
    EXPECT_DOUBLE_EQ(out.right, s * 0.2);
    // Level 0 silences the bank.
    banks->SetLevel(kBankA, 0.0);
    EXPECT_EQ(banks->ReadVoice(key, kNoTranspose).left, 0.0);
}

TEST(OscillatorBank, VibratoSwingsAtMostOneSemitoneAndDepthZeroNeverMoves)
{
    auto banks = MakeBankA();
    const std::int32_t steady = banks->Bank(kBankA).Increment(0);
    for (int tick = 0; tick < 5000; ++tick) {
        banks->UpdateAtControlTick();
        ASSERT_EQ(banks->Bank(kBankA).Increment(0), steady) << "tick " << tick;
    }

    const std::int32_t lowest = ExpectedIncrement(25.957, 44100.0);   // key 20
    const std::int32_t highest = ExpectedIncrement(29.135, 44100.0);  // key 22
    for (double rate : {0.01, 3.5, 25.0, 1e9}) {
        banks->SetVibratoRate(kBankA, rate);
        banks->SetVibratoDepth(kBankA, 1.0);
        int minOffset = 0;
        int maxOffset = 0;
        for (int tick = 0; tick < 20000; ++tick) {
            banks->UpdateAtControlTick();
            const int offset = banks->Bank(kBankA).VibratoOffset();
            ASSERT_GE(offset, -128) << "rate " << rate;
            ASSERT_LE(offset, 128) << "rate " << rate;
            ASSERT_GE(banks->Bank(kBankA).Increment(0), lowest) << "rate " << rate;
            ASSERT_LE(banks->Bank(kBankA).Increment(0), highest) << "rate " << rate;
            ASSERT_LE(std::fabs(banks->Vibrato(kBankA).phase), 1.0);
            minOffset = std::min(minOffset, offset);
            maxOffset = std::max(maxOffset, offset);
        }
        if (rate >= 1.0) {
            // 20 s of ticks cover full cycles: the triangle comes within one
            // phase step (at most 0.05 at 25 Hz) of both ends.
            EXPECT_LE(minOffset, -121) << "rate " << rate;
            EXPECT_GE(maxOffset, 121) << "rate " << rate;
        }
    }
    // Other banks are untouched by bank A's vibrato.
    EXPECT_EQ(banks->Bank(kBankB).VibratoOffset(), 0);
}

TEST(OscillatorBank, VibratoIsATriangleStartingAtTheBottom)
{
    // 5 Hz: increment 0.01 per tick; value = 2|phase| - 1 from phase 0.
    VibratoOscillator vibrato;
    vibrato.SetRate(5.0);
    vibrato.SetDepth(0.5);
    EXPECT_DOUBLE_EQ(vibrato.Step(), -0.5);  // phase 0
    for (int i = 1; i < 50; ++i) {
        vibrato.Step();
    }
    EXPECT_NEAR(vibrato.Step(), 0.0, 1e-9);  // phase 0.5
    for (int i = 51; i < 100; ++i) {
        vibrato.Step();
    }
    EXPECT_NEAR(vibrato.Step(), 0.5, 1e-9);  // phase 1 wrapped to -1
    EXPECT_NEAR(vibrato.phase, -0.99, 1e-9);
}

TEST(OscillatorBank, SampleRateChangeRestartsAtPhaseZeroWithNewIncrements)
{
    auto banks = MakeBankA();
    AdvanceSamples(*banks, 5000);
    ASSERT_NE(banks->Bank(kBankA).Phase(0), 0u);
    banks->SetSampleRate(48000.0);
    for (int b = 0; b < OscillatorBanks::kBankCount; ++b) {
        EXPECT_TRUE(banks->Bank(b).NeedsUpdate());
        for (int p = 0; p < 12; ++p) {
            EXPECT_EQ(banks->Bank(b).Phase(p), 0u);
            EXPECT_EQ(banks->Bank(b).Increment(p), 0);
        }
    }
    banks->UpdateAtControlTick();
    EXPECT_EQ(banks->Bank(kBankA).Increment(0), ExpectedIncrement(27.5, 48000.0));
    EXPECT_EQ(banks->Bank(kBankC).Increment(7), ExpectedIncrement(41.203, 48000.0));  // E, key 28
    EXPECT_FALSE(banks->Bank(kBankA).NeedsUpdate());
}

TEST(OscillatorBank, ReadBeforeTheFirstSampleRateIsSilent)
{
    auto banks = std::make_unique<OscillatorBanks>();
    banks->SetLevel(kBankA, 1.0);
    banks->SetPan(kBankA, 0.5);
    banks->UpdateAtControlTick();
    banks->AdvancePhases();
    const StereoSample s = banks->ReadVoice(69, kNoTranspose);
    EXPECT_EQ(s.left, 0.0);
    EXPECT_EQ(s.right, 0.0);
}

}  // namespace
