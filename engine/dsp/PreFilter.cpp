#include "engine/dsp/PreFilter.h"

#include <type_traits>

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
bool PreFilter<Band>::ApplyShift(double shift)
{
    const double x = LimitParameter(shift, kMinShift, kMaxShift);
    if (x == m_shift) {
        return false;
    }
    m_shift = x;
    const double factor = ShiftFactor(x);
    bool changed = false;
    for (int i = 0; i < kBandCount; ++i) {
        const double frequency = kBaseFrequency[i] * factor;
        if (frequency != m_band[i].Frequency()) {
            m_band[i].SetFrequency(frequency);
            m_band[i].UpdateCoefficients();
            changed = true;
        }
    }
    return changed;
}

template <typename Band>
void PreFilter<Band>::ProcessAdd(const BusFrame* buses, int count, double level, double* mixLeft,
                                 double* mixRight)
{
    // The bands are reset and run together, so their dithers agree; should
    // they ever not, the per-band path keeps each one's own.
    for (int k = 1; k < kBandCount; ++k) {
        if (m_band[k].m_dither != m_band[0].m_dither) {
            for (int i = 0; i < count; ++i) {
                const StereoDouble mix =
                    StereoDouble{mixLeft[i], mixRight[i]} + Broadcast(level) * Process(buses[i]);
                mixLeft[i] = mix[0];
                mixRight[i] = mix[1];
            }
            return;
        }
    }
    const StereoDouble gain = Broadcast(level);
    double dither = m_band[0].m_dither;
    if constexpr (std::is_same_v<Band, LowPass6dB>) {
        StereoDouble a[kBandCount];
        StereoDouble b[kBandCount];
        StereoDouble s[kBandCount];
        for (int k = 0; k < kBandCount; ++k) {
            a[k] = Load(m_band[k].m_coefficient[Filter::kOnePoleA]);
            b[k] = Load(m_band[k].m_coefficient[Filter::kOnePoleB]);
            s[k] = Load(m_band[k].m_state[Filter::kS]);
        }
        for (int i = 0; i < count; ++i) {
            StereoDouble x[kBandCount];
            BandInputs(buses[i], x);
            dither = -dither;
            const StereoDouble d = Broadcast(dither);
            StereoDouble sum = {};
            for (int k = 0; k < kBandCount; ++k) {
                const StereoDouble state = DitherOrReset(s[k], d);
                const StereoDouble bx = b[k] * x[k];
                const StereoDouble y = bx + state;
                s[k] = bx - a[k] * y;
                sum += y;
            }
            const StereoDouble mix = StereoDouble{mixLeft[i], mixRight[i]} + gain * sum;
            mixLeft[i] = mix[0];
            mixRight[i] = mix[1];
        }
        for (int k = 0; k < kBandCount; ++k) {
            Store(m_band[k].m_state[Filter::kS], s[k]);
        }
    } else {
        StereoDouble c[kBandCount][4];
        StereoDouble x1[kBandCount];
        StereoDouble x2[kBandCount];
        StereoDouble y1[kBandCount];
        StereoDouble y2[kBandCount];
        for (int k = 0; k < kBandCount; ++k) {
            for (int j = 0; j < 4; ++j) {
                c[k][j] = Load(m_band[k].m_coefficient[j]);
            }
            x1[k] = Load(m_band[k].m_state[Filter::kX1]);
            x2[k] = Load(m_band[k].m_state[Filter::kX2]);
            y1[k] = Load(m_band[k].m_state[Filter::kY1]);
            y2[k] = Load(m_band[k].m_state[Filter::kY2]);
        }
        for (int i = 0; i < count; ++i) {
            StereoDouble x[kBandCount];
            BandInputs(buses[i], x);
            dither = -dither;
            const StereoDouble d = Broadcast(dither);
            StereoDouble sum = {};
            for (int k = 0; k < kBandCount; ++k) {
                const StereoDouble px1 = DitherOrReset(x1[k], d);
                const StereoDouble px2 = DitherOrReset(x2[k], d);
                const StereoDouble py1 = DitherOrReset(y1[k], d);
                const StereoDouble py2 = DitherOrReset(y2[k], d);
                const StereoDouble y = c[k][Filter::kB0] * (x[k] + px2) + c[k][Filter::kB1] * px1 +
                                       c[k][Filter::kA1] * py1 + c[k][Filter::kA2] * py2;
                x2[k] = px1;
                x1[k] = x[k];
                y2[k] = py1;
                y1[k] = y;
                sum += y;
            }
            const StereoDouble mix = StereoDouble{mixLeft[i], mixRight[i]} + gain * sum;
            mixLeft[i] = mix[0];
            mixRight[i] = mix[1];
        }
        for (int k = 0; k < kBandCount; ++k) {
            Store(m_band[k].m_state[Filter::kX1], x1[k]);
            Store(m_band[k].m_state[Filter::kX2], x2[k]);
            Store(m_band[k].m_state[Filter::kY1], y1[k]);
            Store(m_band[k].m_state[Filter::kY2], y2[k]);
        }
    }
    for (Band& band : m_band) {
        band.m_dither = dither;
    }
}

template class PreFilter<LowPass>;
template class PreFilter<LowPass6dB>;
