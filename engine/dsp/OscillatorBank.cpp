#include "engine/dsp/OscillatorBank.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/ReproducibleMath.h"

namespace {

// Clamps a parameter value into its range; NaN becomes the minimum, so a bad
// value never reaches a float-to-integer conversion.
double Clamp(double x, double minimum, double maximum)
{
    if (!(x >= minimum)) {
        return minimum;
    }
    return x > maximum ? maximum : x;
}

// Tuning in +-1 (half a semitone) to pitch steps; half away from zero.
std::int32_t TuningSteps(double x)
{
    return RoundHalfAway(Clamp(x, -1.0, 1.0) * 64.0);
}

// Pitch index of pitch class 0 (A at key 21).
constexpr int kBasePitch = kLowestBankKey * kPitchStepsPerKey;

}  // namespace

OscillatorBank::OscillatorBank() = default;

void OscillatorBank::SetMasterTune(double x)
{
    m_masterTuneOffset = TuningSteps(x);
    m_needsUpdate = true;
}

void OscillatorBank::SetTuning(double x)
{
    m_tuningOffset = TuningSteps(x);
    m_needsUpdate = true;
}

void OscillatorBank::SetWaveMix(double x)
{
    const double mix = Clamp(x, 0.0, 1.0);
    m_sawGain = 1.0 - mix;
    m_squareGain = mix;
    UpdateGains();
}

void OscillatorBank::SetLevel(double x)
{
    m_level = Clamp(x, 0.0, 1.0);
    UpdateGains();
}

void OscillatorBank::SetPan(double x)
{
    m_pan = Clamp(x, 0.0, 1.0);
    UpdateGains();
}

void OscillatorBank::UpdateGains()
{
    m_leftGain = (1.0 - m_pan) * m_level;
    m_rightGain = m_pan * m_level;
}

void OscillatorBank::Restart()
{
    for (int p = 0; p < kPitchClassCount; ++p) {
        m_phase[p] = 0;
        m_increment[p] = 0;
    }
    m_vibratoOffset = 0;
    m_lastVibrato = 0.0;
    m_needsUpdate = true;
}

void OscillatorBank::Update(double vibrato, const OscillatorTables& tables)
{
    // Depth 0 gives 0 (or -0, which compares equal), so a bank without
    // vibrato keeps its increments between tuning changes.
    if (vibrato != m_lastVibrato) {
        m_lastVibrato = vibrato;
        // The pitch moves in whole 1/128 semitones: a vibrato step within
        // the same one leaves the increments as they are.
        const std::int32_t offset = RoundHalfAway(Clamp(vibrato, -1.0, 1.0) * 128.0);
        if (offset != m_vibratoOffset) {
            m_vibratoOffset = offset;
            m_needsUpdate = true;
        }
    }
    if (!m_needsUpdate) {
        return;
    }
    const int offset = m_masterTuneOffset + m_tuningOffset + m_vibratoOffset;
    static_assert(OscillatorTables::kBankOscillators == kPitchClassCount);
    if (const std::int32_t* row = tables.BankIncrements(offset)) {
        std::copy_n(row, kPitchClassCount, m_increment);
    } else {
        for (int p = 0; p < kPitchClassCount; ++p) {
            // Increment() clamps the index to 0..17280.
            m_increment[p] = tables.Increment(kBasePitch + p * kPitchStepsPerKey + offset);
        }
    }
    m_needsUpdate = false;
}

void VibratoOscillator::SetRate(double hz)
{
    // The phase runs -1..1, two units per cycle.
    increment = 2.0 * Clamp(hz, 0.0, 25.0) / 1000.0;
}

void VibratoOscillator::SetDepth(double x)
{
    depth = Clamp(x, 0.0, 1.0);
}

double VibratoOscillator::Step()
{
    value = 2.0 * std::fabs(phase) - 1.0;
    phase += increment;
    if (phase >= 1.0) {
        phase -= 2.0;
    }
    return value * depth;
}

void OscillatorBanks::SetSampleRate(double sampleRate)
{
    // The tables depend on the rate only; the oscillators restart regardless.
    if (sampleRate != m_tables.SampleRate() || sampleRate <= 0.0) {
        m_tables.Build(sampleRate);
    }
    for (OscillatorBank& bank : m_banks) {
        bank.Restart();
    }
    for (VibratoOscillator& vibrato : m_vibratos) {
        vibrato.value = 0.0;
        vibrato.phase = 0.0;
    }
}

void OscillatorBanks::SetMasterTune(double x)
{
    for (OscillatorBank& bank : m_banks) {
        bank.SetMasterTune(x);
    }
}

void OscillatorBanks::SetTuning(int bank, double x)
{
    if (IsBank(bank)) {
        m_banks[bank].SetTuning(x);
    }
}

void OscillatorBanks::SetWaveMix(int bank, double x)
{
    if (IsBank(bank)) {
        m_banks[bank].SetWaveMix(x);
    }
}

void OscillatorBanks::SetLevel(int bank, double x)
{
    if (IsBank(bank)) {
        m_banks[bank].SetLevel(x);
    }
}

void OscillatorBanks::SetPan(int bank, double x)
{
    if (IsBank(bank)) {
        m_banks[bank].SetPan(x);
    }
}

void OscillatorBanks::SetVibratoRate(int bank, double hz)
{
    if (IsBank(bank)) {
        m_vibratos[bank].SetRate(hz);
    }
}

void OscillatorBanks::SetVibratoDepth(int bank, double x)
{
    if (IsBank(bank)) {
        m_vibratos[bank].SetDepth(x);
    }
}

void OscillatorBanks::UpdateAtControlTick()
{
    for (int b = 0; b < kBankCount; ++b) {
        m_banks[b].Update(m_vibratos[b].Step(), m_tables);
    }
}
