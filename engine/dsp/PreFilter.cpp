#include "engine/dsp/PreFilter.h"

#include "engine/dsp/LimitParameter.h"

namespace {

constexpr double kMinShift = -4.0;
constexpr double kMaxShift = 4.0;
constexpr double kMinQ = 0.5;
constexpr double kMaxQ = 10.0;

}  // namespace

template <typename Band>
PreFilter<Band>::PreFilter()
{
    for (Band& band : m_band) {
        band.ClearState();
    }
}

template <typename Band>
void PreFilter<Band>::Reset(double sampleRate)
{
    m_sampleRate = sampleRate;
    for (Band& band : m_band) {
        band.SetSampleRate(sampleRate);
        band.SetFrequency(0.0);
        band.ClearState();
    }
    // Forget the current shift: when it already was 1 the bands would keep
    // coefficients computed for the old sample rate.
    m_shift = -10000.0;
    ApplyShift(kResetShift);
}

template <typename Band>
void PreFilter<Band>::SetQ(double q)
{
    const double usable = LimitParameter(q, kMinQ, kMaxQ);
    for (Band& band : m_band) {
        band.SetQ(usable);
        band.UpdateCoefficients();
    }
}

template <typename Band>
void PreFilter<Band>::ApplyShift(double shift)
{
    const double x = LimitParameter(shift, kMinShift, kMaxShift);
    if (x == m_shift) {
        return;
    }
    m_shift = x;
    const double factor = ShiftFactor(x);
    for (int i = 0; i < kBandCount; ++i) {
        const double frequency = kBaseFrequency[i] * factor;
        if (frequency != m_band[i].Frequency()) {
            m_band[i].SetFrequency(frequency);
            m_band[i].UpdateCoefficients();
        }
    }
}

template class PreFilter<LowPass>;
template class PreFilter<LowPass6dB>;
