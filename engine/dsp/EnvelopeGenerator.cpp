#include "engine/dsp/EnvelopeGenerator.h"

#include "engine/dsp/ReproducibleMath.h"

namespace {

// Natural logarithms as literals; powers are taken through ReproducibleExp so
// every target gets the same bits.
constexpr double kLn5 = 1.609437912434100375;
constexpr double kLn10 = 2.302585092994045684;

// The attack aims past 1 and the release past 0 by a ninth of the full range;
// a segment ends when it crosses its end point, after about one time constant.
constexpr double kAttackTarget = 10.0 / 9.0;
constexpr double kReleaseTarget = -1.0 / 9.0;

}  // namespace

EnvelopeGenerator::EnvelopeGenerator() : m_timeBase(kLn10 / kControlStepsPerSecond)
{
    UpdateRates();
}

void EnvelopeGenerator::Reset(double stepsPerSecond)
{
    m_level = 0.0;
    m_stage = kIdle;
    if (stepsPerSecond > 0.0) {
        m_timeBase = kLn10 / stepsPerSecond;
        UpdateRates();
    }
}

double EnvelopeGenerator::RateOf(double timeSetting) const
{
    // 5^(3.3 - 7.5 x)
    return (ReproducibleExp((3.3 - 7.5 * timeSetting) * kLn5) + 0.05) * m_timeBase;
}

void EnvelopeGenerator::UpdateRates()
{
    SetAttack(m_attack);
    SetDecay(m_decay);
    SetRelease(m_release);
    SetExtendedSustain(m_extendedSustainTime);
}

double EnvelopeGenerator::ReleaseRate() const
{
    if (m_extendedSustain && m_extendedSustainTime > m_release) {
        return m_extendedSustainRate;
    }
    return m_releaseRate;
}

void EnvelopeGenerator::EnterDecay()
{
    m_level = 1.0;
    m_stage = kDecaySustain;
    m_rate = m_decayRate;
    m_target = m_sustainLevel;
}

void EnvelopeGenerator::SetAttack(double attack)
{
    m_attack = attack;
    m_attackRate = RateOf(attack);
    // At 0 a trigger uses a slightly slower law: 10^2.3 (about 199.5) instead
    // of 5^3.3 + 0.05 (about 202.6).
    m_triggerAttackRate =
        attack > 0.0 ? m_attackRate : ReproducibleExp((2.3 - 4.5 * attack) * kLn10) * m_timeBase;
    if (m_stage == kAttack) {
        // The time law here even for 0; only Trigger uses the steeper law.
        m_rate = m_attackRate;
    }
}

void EnvelopeGenerator::SetDecay(double decay)
{
    m_decay = decay;
    m_decayRate = RateOf(decay);
    if (m_stage == kDecaySustain) {
        m_rate = m_decayRate;
    }
}

void EnvelopeGenerator::SetSustain(double sustain)
{
    m_sustainLevel = sustain;
    if (m_stage == kDecaySustain) {
        m_target = m_sustainLevel;
    }
}

void EnvelopeGenerator::SetRelease(double release)
{
    m_release = release;
    m_releaseRate = RateOf(release);
    if (m_stage == kRelease) {
        m_rate = ReleaseRate();
    }
}

void EnvelopeGenerator::SetExtendedSustain(double extendedSustain)
{
    m_extendedSustainTime = extendedSustain;
    m_extendedSustainRate = RateOf(extendedSustain);
    if (m_stage == kRelease) {
        m_rate = ReleaseRate();
    }
}

void EnvelopeGenerator::Trigger()
{
    m_extendedSustain = true;
    m_stage = kAttack;
    m_target = kAttackTarget;
    m_rate = m_triggerAttackRate;
}

void EnvelopeGenerator::Release()
{
    if (m_level > 0.0) {
        m_stage = kRelease;
        m_target = kReleaseTarget;
        m_rate = ReleaseRate();
    } else {
        m_stage = kIdle;
    }
}

void EnvelopeGenerator::EndExtendedSustain()
{
    if (m_stage != kRelease) {
        return;
    }
    m_extendedSustain = false;
    m_rate = m_releaseRate;
}
