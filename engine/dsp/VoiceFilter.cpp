#include "engine/dsp/VoiceFilter.h"

#include <cmath>

#include "engine/dsp/ReproducibleMath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDefaultSampleRate = 44100.0;

}  // namespace

CutoffTable::CutoffTable() : m_value(kSize, 0.0)
{
    Build(kDefaultSampleRate);
}

void CutoffTable::Build(double sampleRate)
{
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate) || sampleRate == m_sampleRate) {
        return;
    }
    const double maxFrequency = kMaxFrequencyRatio * sampleRate;
    for (int i = 0; i < kSize; ++i) {
        const double frequency = std::min(PitchToFrequency(i), maxFrequency);
        m_value[static_cast<std::size_t>(i)] = ReproducibleTan(kPi * frequency / sampleRate);
    }
    m_sampleRate = sampleRate;
    ++m_generation;
}

VoiceFilter::VoiceFilter(const CutoffTable* table) : m_table(table) {}

void VoiceFilter::SetCutoffTable(const CutoffTable* table)
{
    m_table = table;
    m_needsUpdate = true;
}

void VoiceFilter::SetType(double type)
{
    m_highpass = type >= 0.5;
    m_needsUpdate = true;
}

void VoiceFilter::SetPeak(double peak)
{
    // Clamped: K much above 1.71 would let the resonance gain 1/(1 - K G (1 - G))
    // grow without bound.
    m_feedback = 1.7 * std::clamp(peak, 0.0, 1.0) + 0.01;
    m_needsUpdate = true;
}

void VoiceFilter::UpdateCoefficients(int pitch)
{
    ComputeCoefficients(pitch);
    m_lastIndex = pitch;
    m_needsUpdate = false;
}

void VoiceFilter::ComputeCoefficients(int pitch)
{
    const double k = m_feedback;
    const double g = m_table->Value(pitch);
    const double d = 1.0 / (1.0 + g);
    const double bigG = g * d;
    StoreBroadcast(m_g, bigG);
    // K G (G - 1) is at least -K / 4 > -0.43, so the divisor stays above 0.57.
    StoreBroadcast(m_alpha0, 1.0 / (k * (bigG * bigG) - k * bigG + 1.0));
    if (m_highpass) {
        StoreBroadcast(m_beta2, d);
        StoreBroadcast(m_beta3, -bigG * d);
    } else {
        StoreBroadcast(m_beta2, (k - k * bigG) * d);
        StoreBroadcast(m_beta3, -d);
    }
    m_activeHighpass = m_highpass;
    StoreBroadcast(m_activeFeedback, k);
    m_tableGeneration = m_table->Generation();
    ++m_updateCount;
}

void VoiceFilter::ClearState()
{
    StoreBroadcast(m_s1, 0.0);
    StoreBroadcast(m_s2, 0.0);
    StoreBroadcast(m_s3, 0.0);
}
