#include "engine/dsp/EnvelopeGenerator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kLn10 = 2.302585092994046;

// Steps an envelope until its stage differs from `stage`; returns the number
// of steps taken, or -1 after `limit` steps.
long StepsInStage(EnvelopeGenerator& env, EnvelopeGenerator::Stage stage, long limit)
{
    for (long n = 1; n <= limit; ++n) {
        env.Step();
        if (env.CurrentStage() != stage) {
            return n;
        }
    }
    return -1;
}

// Steps needed to go from `from` to past `to` when aiming at `target` while
// covering the fraction `rate` of the distance per step (closed form of the
// exponential approach).
double ClosedFormSteps(double from, double to, double target, double rate)
{
    return std::log((target - from) / (target - to)) / -std::log1p(-rate);
}

// Nominal rate of a time setting at a given step rate.
double NominalRate(double timeSetting, double stepsPerSecond)
{
    return (std::pow(5.0, 3.3 - 7.5 * timeSetting) + 0.05) * kLn10 / stepsPerSecond;
}

EnvelopeGenerator MakeAmpEnvelope(double sampleRate, double attack, double decay, double sustain,
                                  double release)
{
    EnvelopeGenerator env;
    env.Reset(sampleRate);
    env.SetAttack(attack);
    env.SetDecay(decay);
    env.SetSustain(sustain);
    env.SetRelease(release);
    return env;
}

}  // namespace

TEST(EnvelopeGenerator, SegmentTimesFollowTheTimeLaw)
{
    // Filter envelope: 1000 steps per second, so steps are milliseconds.
    // Nominal segment times: 55 ms at 0.2, 1.87 s at 0.5, 13.6 s at 0.75,
    // 19.5 s at 1 (the attack from 0 to 1 and the release from 1 to 0 both
    // cover ln(10) time constants).
    const struct {
        double setting;
        double nominalSeconds;
    } cases[] = {{0.2, 0.055}, {0.5, 1.87}, {0.75, 13.6}, {1.0, 19.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        EnvelopeGenerator env;
        env.SetAttack(c.setting);
        env.SetSustain(1.0);
        env.SetRelease(c.setting);
        env.Trigger();
        const double closedForm = ClosedFormSteps(0.0, 1.0, 10.0 / 9.0, NominalRate(c.setting, 1000.0));
        const long attackSteps = StepsInStage(env, EnvelopeGenerator::kAttack, 100000);
        EXPECT_NEAR(attackSteps, closedForm, 1.0);
        EXPECT_NEAR(attackSteps, c.nominalSeconds * 1000.0, c.nominalSeconds * 1000.0 * 0.02 + 1.0);
        EXPECT_EQ(env.Level(), 1.0);
        EXPECT_EQ(env.CurrentStage(), EnvelopeGenerator::kDecaySustain);

        env.Release();
        const long releaseSteps = StepsInStage(env, EnvelopeGenerator::kRelease, 100000);
        EXPECT_NEAR(releaseSteps, closedForm, 1.0);
        EXPECT_TRUE(env.IsIdle());
        EXPECT_EQ(env.Level(), 0.0);
    }

    // Decay and release at setting 0: about 4.9 ms at 44.1 kHz.
    EnvelopeGenerator amp = MakeAmpEnvelope(44100.0, 0.5, 0.0, 0.0, 0.0);
    amp.Trigger();
    StepsInStage(amp, EnvelopeGenerator::kAttack, 1000000);
    amp.Release();
    const long release = StepsInStage(amp, EnvelopeGenerator::kRelease, 1000000);
    EXPECT_NEAR(release, 0.0049 * 44100.0, 3.0);
    EXPECT_NEAR(release, ClosedFormSteps(1.0, 0.0, -1.0 / 9.0, NominalRate(0.0, 44100.0)), 1.0);
}

TEST(EnvelopeGenerator, AttackZeroUsesTheSteeperLawAndClampsAtOne)
{
    for (double sampleRate : {44100.0, 48000.0, 96000.0}) {
        SCOPED_TRACE(sampleRate);
        EnvelopeGenerator env = MakeAmpEnvelope(sampleRate, 0.0, 0.5, 0.5, 0.5);
        env.Trigger();
        // 10^2.3 * ln(10) / rate, about 0.0104 per sample at 44.1 kHz.
        const double rate = std::pow(10.0, 2.3) * kLn10 / sampleRate;
        EXPECT_NEAR(env.Rate(), rate, rate * 1e-12);
        double previous = 0.0;
        long n = 0;
        while (env.CurrentStage() == EnvelopeGenerator::kAttack && n < 100000) {
            env.Step();
            ++n;
            ASSERT_LE(env.Level(), 1.0);
            ASSERT_GT(env.Level(), previous);
            previous = env.Level();
        }
        EXPECT_EQ(env.Level(), 1.0);
        EXPECT_NEAR(n, ClosedFormSteps(0.0, 1.0, 10.0 / 9.0, rate), 1.0);
        EXPECT_NEAR(n / sampleRate, 0.005, 0.0002);
    }
}

TEST(EnvelopeGenerator, DecayApproachesSustainAndRetriggerKeepsLevel)
{
    EnvelopeGenerator env = MakeAmpEnvelope(44100.0, 0.2, 0.3, 0.4, 0.2);
    env.Trigger();
    StepsInStage(env, EnvelopeGenerator::kAttack, 1000000);
    const double decayRate = NominalRate(0.3, 44100.0);
    // After n steps the distance to the sustain level shrinks by (1 - rate)^n.
    for (int i = 0; i < 1000; ++i) {
        env.Step();
    }
    EXPECT_NEAR(env.Level(), 0.4 + 0.6 * std::pow(1.0 - decayRate, 1000.0), 1e-9);
    for (int i = 0; i < 44100 * 5; ++i) {
        env.Step();
    }
    EXPECT_NEAR(env.Level(), 0.4, 1e-9);
    EXPECT_EQ(env.CurrentStage(), EnvelopeGenerator::kDecaySustain);

    // A retrigger rises from the current level, not from 0.
    env.Trigger();
    EXPECT_EQ(env.CurrentStage(), EnvelopeGenerator::kAttack);
    env.Step();
    const double attackRate = NominalRate(0.2, 44100.0);
    EXPECT_NEAR(env.Level(), 0.4 + (10.0 / 9.0 - 0.4) * attackRate, 1e-12);
}

TEST(EnvelopeGenerator, ReleaseFromAnyLevelAndAtZero)
{
    // Release at level 0 (never stepped) is idle at once.
    EnvelopeGenerator env = MakeAmpEnvelope(44100.0, 0.1, 0.0, 1.0, 0.2);
    env.Trigger();
    env.Release();
    EXPECT_TRUE(env.IsIdle());
    EXPECT_EQ(env.Level(), 0.0);
    env.Step();
    EXPECT_EQ(env.Level(), 0.0);

    // Release in the middle of the attack: time to 0 follows the closed form.
    env.Trigger();
    for (int i = 0; i < 100; ++i) {
        env.Step();
    }
    const double level = env.Level();
    ASSERT_GT(level, 0.0);
    ASSERT_LT(level, 1.0);
    env.Release();
    EXPECT_TRUE(env.IsReleasing());
    const long steps = StepsInStage(env, EnvelopeGenerator::kRelease, 10000000);
    EXPECT_NEAR(steps, ClosedFormSteps(level, 0.0, -1.0 / 9.0, NominalRate(0.2, 44100.0)), 1.0);
    EXPECT_EQ(env.Level(), 0.0);

    // Reset for a new sample rate: idle at 0, new time base.
    env.Trigger();
    env.Step();
    env.Reset(96000.0);
    EXPECT_TRUE(env.IsIdle());
    EXPECT_EQ(env.Level(), 0.0);
    env.Trigger();
    EXPECT_NEAR(env.Rate(), NominalRate(0.1, 96000.0), 1e-15);
}

TEST(EnvelopeGenerator, DecayToZeroSustainEndsWithoutSubnormals)
{
    // Both envelope kinds, fast and slow decays: the level falls towards 0 and
    // the envelope goes idle; it never holds a subnormal level on the way.
    for (double stepsPerSecond : {1000.0, 44100.0}) {
        for (double decay : {0.0, 0.3}) {
            SCOPED_TRACE(stepsPerSecond);
            SCOPED_TRACE(decay);
            EnvelopeGenerator env;
            env.Reset(stepsPerSecond);
            env.SetDecay(decay);
            env.SetSustain(0.0);
            env.Trigger();
            long n = 0;
            while (!env.IsIdle() && n < 100000000) {
                env.Step();
                ++n;
                ASSERT_NE(std::fpclassify(env.Level()), FP_SUBNORMAL) << "step " << n;
            }
            EXPECT_TRUE(env.IsIdle());
            EXPECT_EQ(env.Level(), 0.0);
        }
    }
}

TEST(EnvelopeGenerator, ExtendedSustainLengthensReleaseUntilEnded)
{
    const double sampleRate = 44100.0;
    EnvelopeGenerator env = MakeAmpEnvelope(sampleRate, 0.0, 0.0, 1.0, 0.2);
    env.SetExtendedSustain(0.5);
    env.Trigger();
    EXPECT_TRUE(env.ExtendedSustainActive());
    StepsInStage(env, EnvelopeGenerator::kAttack, 100000);

    // Released with the flag set: the longer "VORN-2000 Sustain" time.
    env.Release();
    EXPECT_NEAR(env.Rate(), NominalRate(0.5, sampleRate), 1e-15);
    for (int i = 0; i < 4410; ++i) {
        env.Step();
    }
    const double level = env.Level();
    EXPECT_NEAR(level, -1.0 / 9.0 + (10.0 / 9.0) * std::pow(1.0 - NominalRate(0.5, sampleRate), 4410.0),
                1e-9);

    // Another note-on: continues from the same level with the release time.
    env.EndExtendedSustain();
    EXPECT_FALSE(env.ExtendedSustainActive());
    EXPECT_EQ(env.Level(), level);
    EXPECT_TRUE(env.IsReleasing());
    const long steps = StepsInStage(env, EnvelopeGenerator::kRelease, 10000000);
    EXPECT_NEAR(steps, ClosedFormSteps(level, 0.0, -1.0 / 9.0, NominalRate(0.2, sampleRate)), 1.0);

    // A shorter extended-sustain time than the release time changes nothing.
    EnvelopeGenerator shorter = MakeAmpEnvelope(sampleRate, 0.0, 0.0, 1.0, 0.6);
    shorter.SetExtendedSustain(0.3);
    shorter.Trigger();
    shorter.Step();
    shorter.Release();
    EXPECT_NEAR(shorter.Rate(), NominalRate(0.6, sampleRate), 1e-15);

    // Ending the extended sustain of a held note does nothing: its release
    // still gets the long time.
    EnvelopeGenerator held = MakeAmpEnvelope(sampleRate, 0.0, 0.0, 1.0, 0.2);
    held.SetExtendedSustain(0.5);
    held.Trigger();
    held.Step();
    held.EndExtendedSustain();
    EXPECT_TRUE(held.ExtendedSustainActive());
    EXPECT_EQ(held.CurrentStage(), EnvelopeGenerator::kAttack);
    held.Release();
    EXPECT_NEAR(held.Rate(), NominalRate(0.5, sampleRate), 1e-15);

    // A retrigger sets the flag again.
    env.Trigger();
    env.Step();
    env.Release();
    EXPECT_NEAR(env.Rate(), NominalRate(0.5, sampleRate), 1e-15);
}

TEST(EnvelopeGenerator, ParameterChangesActOnTheRunningSegmentOnly)
{
    const double sr = 44100.0;
    EnvelopeGenerator env = MakeAmpEnvelope(sr, 0.0, 0.4, 0.5, 0.2);
    env.Trigger();
    env.Step();

    // Attack: the time law also for 0 (not the steeper trigger law).
    env.SetAttack(0.0);
    EXPECT_NEAR(env.Rate(), NominalRate(0.0, sr), 1e-15);
    env.SetAttack(0.3);
    EXPECT_NEAR(env.Rate(), NominalRate(0.3, sr), 1e-15);
    // Settings of other segments leave the attack alone.
    env.SetDecay(0.9);
    env.SetSustain(0.7);
    env.SetRelease(0.9);
    env.SetExtendedSustain(1.0);
    EXPECT_NEAR(env.Rate(), NominalRate(0.3, sr), 1e-15);

    StepsInStage(env, EnvelopeGenerator::kAttack, 10000000);
    EXPECT_NEAR(env.Rate(), NominalRate(0.9, sr), 1e-15);
    // Decay: a new sustain redirects it at once.
    env.SetDecay(0.1);
    EXPECT_NEAR(env.Rate(), NominalRate(0.1, sr), 1e-15);
    env.SetSustain(0.2);
    for (int i = 0; i < 44100; ++i) {
        env.Step();
    }
    EXPECT_NEAR(env.Level(), 0.2, 1e-9);
    env.SetAttack(0.0);
    EXPECT_NEAR(env.Rate(), NominalRate(0.1, sr), 1e-15);

    // Release: the release and extended-sustain times apply at once, the
    // sustain level does not.
    env.SetExtendedSustain(0.0);
    env.Release();
    EXPECT_NEAR(env.Rate(), NominalRate(0.9, sr), 1e-15);
    env.SetRelease(0.4);
    EXPECT_NEAR(env.Rate(), NominalRate(0.4, sr), 1e-15);
    env.SetExtendedSustain(0.6);
    EXPECT_NEAR(env.Rate(), NominalRate(0.6, sr), 1e-15);
    env.SetSustain(0.9);
    env.SetDecay(0.0);
    const double before = env.Level();
    env.Step();
    EXPECT_NEAR(env.Level(), before + (-1.0 / 9.0 - before) * NominalRate(0.6, sr), 1e-15);

    // The new sustain level holds from the next note on.
    StepsInStage(env, EnvelopeGenerator::kRelease, 100000000);
    env.SetAttack(0.0);
    env.Trigger();
    StepsInStage(env, EnvelopeGenerator::kAttack, 100000);
    for (int i = 0; i < 44100; ++i) {
        env.Step();
    }
    EXPECT_NEAR(env.Level(), 0.9, 1e-9);
}

// StepKeepsState must say exactly whether one Step leaves level and stage
// alone, through every stage and its end: attack reaching 1, decay settling
// on the sustain level, release reaching silence, and idle.
TEST(EnvelopeGenerator, StepKeepsStateAgreesWithAStepTaken)
{
    for (const double attack : {0.0, 0.05}) {
        for (const double sustain : {0.0, 0.4, 1.0}) {
            EnvelopeGenerator env;
            env.Reset(2000.0);
            env.SetAttack(attack);
            env.SetDecay(0.02);
            env.SetSustain(sustain);
            env.SetRelease(0.03);
            EXPECT_TRUE(env.StepKeepsState());  // idle
            env.Trigger();
            long kept = 0;
            for (long n = 0; n < 400000; ++n) {
                if (n == 200000) {
                    env.Release();
                }
                EnvelopeGenerator probe = env;
                probe.Step();
                const bool same = probe.Level() == env.Level() && probe.CurrentStage() == env.CurrentStage();
                ASSERT_EQ(env.StepKeepsState(), same) << "step " << n << ", stage " << env.CurrentStage();
                kept += same ? 1 : 0;
                env.Step();
            }
            EXPECT_TRUE(env.IsIdle());
            EXPECT_GT(kept, 0);
        }
    }
}
