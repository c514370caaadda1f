// Exponential attack-decay-sustain-release envelope of a voice, used both as
// the filter envelope (stepped once per control tick) and as the amp envelope
// (stepped once per sample, with the extra "VORN-2000 Sustain" release time).
#pragma once

#include <cstdint>

class EnvelopeGenerator {
public:
    enum Stage : std::int32_t {
        kIdle = 0,
        kAttack = 1,
        kDecaySustain = 2,
        kRelease = 3,
    };

    // Steps per second of the filter envelope: one per control tick, nominally
    // 1000 ticks per second.
    static constexpr double kControlStepsPerSecond = 1000.0;

    // Idle at level 0, stepped at kControlStepsPerSecond, all settings 0.
    EnvelopeGenerator();

    // Idle at level 0 and the time law scaled for `stepsPerSecond` steps per
    // second: kControlStepsPerSecond for the filter envelope, the sample rate in
    // Hz for the amp envelope (a rate that is not positive keeps the previous
    // scale). Called at every sample-rate change. The settings are kept.
    void Reset(double stepsPerSecond);

    // Settings in the parameters' own units (0..1). Times are time settings of
    // the time law: 0 is about 4.9 ms, 0.5 about 1.87 s, 1 about 19.5 s per
    // segment. Each takes effect at once on a running segment that uses it.
    void SetAttack(double attack);
    void SetDecay(double decay);
    // Level 0..1 that the decay aims at.
    void SetSustain(double sustain);
    void SetRelease(double release);
    // "VORN-2000 Sustain" time: used instead of the release time while it is
    // longer and the extended-sustain flag (set by Trigger) is still set. Only
    // the amp envelope receives it; the filter envelope keeps 0.
    void SetExtendedSustain(double extendedSustain);

    // Note-on: starts the attack from the current level and sets the
    // extended-sustain flag.
    void Trigger();

    // Note-off: starts the release from the current level, or goes idle at
    // once if the level is not above 0.
    void Release();

    // A new note-on anywhere, or all-notes-off: a releasing envelope drops its
    // extended-sustain flag and continues with the "VCA Release" time. Does
    // nothing unless the envelope is releasing.
    void EndExtendedSustain();

    // One step of the envelope (per sample or per control tick). Inline: one
    // multiply-add and two comparisons; no transcendental functions, also not
    // at the stage change.
    void Step()
    {
        if (m_stage == kIdle) {
            return;
        }
        m_level = m_level + (m_target - m_level) * m_rate;
        if (m_stage == kAttack) {
            if (m_level >= 1.0) {
                EnterDecay();
            }
        } else if (m_level <= kSilentLevel) {
            m_level = 0.0;
            m_stage = kIdle;
        }
    }

    // Current level, 0..1.
    // Whether Step would leave level and stage as they are (idle, or a level
    // that has reached its target); then every further step does too. The
    // same arithmetic as Step, without changing anything.
    bool StepKeepsState() const
    {
        if (m_stage == kIdle) {
            return true;
        }
        const double next = m_level + (m_target - m_level) * m_rate;
        if (!(next == m_level)) {
            return false;
        }
        return m_stage == kAttack ? !(next >= 1.0) : !(next <= kSilentLevel);
    }

    double Level() const { return m_level; }
    Stage CurrentStage() const { return static_cast<Stage>(m_stage); }
    bool IsIdle() const { return m_stage == kIdle; }
    bool IsReleasing() const { return m_stage == kRelease; }
    bool ExtendedSustainActive() const { return m_extendedSustain; }
    // Fraction of the remaining distance covered per step (for diagnostics and
    // tests).
    double Rate() const { return m_rate; }

private:
    // A decay towards sustain 0 only approaches 0. Treating levels at or below
    // -600 dB as 0 ends it there, so neither this envelope nor the voice that
    // multiplies by it ever computes with subnormal numbers, which are very
    // slow on x86 and would otherwise appear after a few seconds of holding
    // such a note.
    static constexpr double kSilentLevel = 1e-30;

    // Time law: fraction of the distance covered per step for a time setting.
    double RateOf(double timeSetting) const;
    // Recomputes the cached rates of all settings (after a time-base change).
    void UpdateRates();
    // Rate of the release: that of the extended-sustain time while the flag is
    // set and that time is longer than the release time.
    double ReleaseRate() const;
    void EnterDecay();

    double m_level = 0.0;
    double m_attack = 0.0;
    double m_decay = 0.0;
    double m_sustainLevel = 0.0;
    double m_release = 0.0;
    double m_extendedSustainTime = 0.0;
    bool m_extendedSustain = false;
    std::int32_t m_stage = kIdle;
    double m_timeBase;  // ln(10) / steps per second
    double m_target = 0.0;
    double m_rate = 0.0;
    // Rates of the settings, kept up to date by the setters, so that steps,
    // triggers and releases (which run inside the sample loop) need no power
    // function.
    double m_attackRate = 0.0;
    double m_triggerAttackRate = 0.0;  // the steeper law used by Trigger at attack 0
    double m_decayRate = 0.0;
    double m_releaseRate = 0.0;
    double m_extendedSustainRate = 0.0;
};
