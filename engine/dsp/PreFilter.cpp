#include "engine/dsp/PreFilter.h"

#include <algorithm>
#include <type_traits>

#include "engine/dsp/LimitParameter.h"

namespace {

constexpr double kMinShift = -4.0;
constexpr double kMaxShift = 4.0;
constexpr double kMinQ = 0.5;
constexpr double kMaxQ = 10.0;

}  // namespace

template <typename Band>
template <bool kChecked>
bool PreFilter<Band>::RunOnePole(const BusFrame* buses, int count, StereoDouble gain, const StereoDouble* a,
                                 const StereoDouble* b, StereoDouble* state, double& dither, double* mixLeft,
                                 double* mixRight)
{
    StereoDouble s[kBandCount];
    for (int k = 0; k < kBandCount; ++k) {
        s[k] = state[k];
    }
    double sign = dither;
    StereoPair saved[kPiece];
    StereoDouble finite = {};
    for (int i = 0; i < count; ++i) {
        StereoDouble x[kBandCount];
        BandInputs(buses[i], x);
        sign = -sign;
        const StereoDouble d = Broadcast(sign);
        StereoDouble sum = {};
        // Unrolled, so that the bands' states stay in registers.
#pragma GCC unroll 8
        for (int k = 0; k < kBandCount; ++k) {
            const StereoDouble treated = kChecked ? DitherOrReset(s[k], d) : s[k] + d;
            const StereoDouble bx = b[k] * x[k];
            const StereoDouble y = bx + treated;
            s[k] = bx - a[k] * y;
            sum += y;
        }
        const StereoDouble before = {mixLeft[i], mixRight[i]};
        if constexpr (!kChecked) {
            Store(saved[i], before);
            finite += sum - sum;
        }
        const StereoDouble mix = before + gain * sum;
        mixLeft[i] = mix[0];
        mixRight[i] = mix[1];
    }
    if constexpr (!kChecked) {
        for (int k = 0; k < kBandCount; ++k) {
            finite += s[k] - s[k];
        }
        if (!(finite[0] == 0.0 && finite[1] == 0.0)) {
            for (int i = 0; i < count; ++i) {
                mixLeft[i] = saved[i][0];
                mixRight[i] = saved[i][1];
            }
            return false;
        }
    }
    for (int k = 0; k < kBandCount; ++k) {
        state[k] = s[k];
    }
    dither = sign;
    return true;
}

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
        // Pieces of frames, first without resetting NaN and infinite states
        // (a band's output is its state plus a term, so a state that turns
        // NaN or infinite makes the frame's sum so): finite sums and final
        // states show that no reset was due, and the piece stands. Otherwise
        // its mix is put back and it runs again with the resets.
        for (int first = 0; first < count; first += kPiece) {
            const int n = std::min(kPiece, count - first);
            const auto run = [&]<bool kChecked>() {
                return RunOnePole<kChecked>(buses + first, n, gain, a, b, s, dither, mixLeft + first,
                                            mixRight + first);
            };
            if (!run.template operator()<false>()) {
                run.template operator()<true>();
            }
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
            // Unrolled, so that the bands' states stay in registers.
#pragma GCC unroll 8
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
