#include "engine/dsp/Phaser.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/LimitParameter.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDefaultSampleRate = 44100.0;

// Position of the sweep for an LFO term c: (c^2 - 0.5) * 0.9 + 0.48, kept in
// 0..1 (the top is reached for |c| >= 1.0296, i.e. only in pan mode).
double SweepPosition(double c)
{
    const double d = (c * c - 0.5) * 0.9 + 0.48;
    if (d < 0.0) {
        return 0.0;
    }
    return d >= 1.0 ? 1.0 : d;
}

}  // namespace

Phaser::Phaser() : m_omegaScale(2.0 * kPi * kTopFrequency / kDefaultSampleRate)
{
    SetCoefficients();
}

void Phaser::Reset(double sampleRate)
{
    m_omegaScale = sampleRate > 0.0 ? 2.0 * kPi * kTopFrequency / sampleRate : 0.0;
    for (StereoPair& state : m_state) {
        StoreBroadcast(state, 0.0);
    }
    StoreBroadcast(m_dither, 1e-13);
    m_lfoValue = 0.0;
    m_lfoPhase = 0.0;
    // Valid coefficients for the new rate even before the next tick, in case
    // the phaser is switched on between two ticks.
    SetCoefficients();
}

void Phaser::SetRate(double rate)
{
    const double x = LimitParameter(rate, 0.0, kMaxRate);
    m_enabled = x > 0.0;
    m_lfoIncrement = x / 1000.0;
}

void Phaser::Update()
{
    StepLfo();
    SetCoefficients();
}

double Phaser::LargestState() const
{
    double largest = 0.0;
    for (const StereoPair& state : m_state) {
        largest = std::max({largest, std::fabs(state[0]), std::fabs(state[1])});
    }
    return largest;
}

void Phaser::SetCoefficients()
{
    const double c[2] = {m_lfoValue, m_panMode ? 1.0 - m_lfoValue : m_lfoValue};
    for (int channel = 0; channel < 2; ++channel) {
        const double omega = SweepPosition(c[channel]) * m_omegaScale;
        m_coefficient[channel] = (omega - 2.0) / (omega + 2.0);
    }
}

void Phaser::Process(double* left, double* right, int count)
{
    for (int done = 0; done < count; done += kBlock) {
        const int n = count - done < kBlock ? count - done : kBlock;
        if (!ProcessFinite(left + done, right + done, n)) {
            ProcessChecked(left + done, right + done, n);
        }
    }
}

void Phaser::ProcessChecked(double* left, double* right, int count)
{
    const StereoDouble a = Load(m_coefficient);
    const StereoDouble half = Broadcast(0.5);
    StereoDouble s[kStageCount];
    for (int k = 0; k < kStageCount; ++k) {
        s[k] = Load(m_state[k]);
    }
    StereoDouble dither = Load(m_dither);
    for (int i = 0; i < count; ++i) {
        const StereoDouble x = {left[i], right[i]};
        StereoDouble u = x;
        // Unrolled, so that the stage states stay in registers.
#pragma GCC unroll 8
        for (int k = 0; k < kStageCount; ++k) {
            const StereoDouble state = DitherOrReset(s[k], dither);
            const StereoDouble next = a * u + state;
            s[k] = u - a * next;
            u = next;
        }
        dither = -dither;
        const StereoDouble y = half * (x + u);
        left[i] = y[0];
        right[i] = y[1];
    }
    for (int k = 0; k < kStageCount; ++k) {
        Store(m_state[k], s[k]);
    }
    Store(m_dither, dither);
}

bool Phaser::ProcessFinite(double* left, double* right, int count)
{
    // While every state value stays finite, resetting non-finite ones is
    // adding the dither. A non-finite state spreads through the later stages
    // into the output of the next frame (or stays in the final state), so
    // finite outputs and final states from finite initial states show that
    // no reset was due. Otherwise the input and state are put back.
    const StereoDouble zero = {};
    StereoDouble s[kStageCount];
    StereoDouble finite = zero;
    for (int k = 0; k < kStageCount; ++k) {
        s[k] = Load(m_state[k]);
        finite += s[k] - s[k];
    }
    if (!(finite[0] == 0.0 && finite[1] == 0.0)) {
        return false;
    }
    StereoPair saved[kBlock];
    const StereoDouble a = Load(m_coefficient);
    const StereoDouble half = Broadcast(0.5);
    StereoDouble dither = Load(m_dither);
    for (int i = 0; i < count; ++i) {
        const StereoDouble x = {left[i], right[i]};
        Store(saved[i], x);
        StereoDouble u = x;
        // Unrolled, so that the stage states stay in registers.
#pragma GCC unroll 8
        for (int k = 0; k < kStageCount; ++k) {
            const StereoDouble next = a * u + (s[k] + dither);
            s[k] = u - a * next;
            u = next;
        }
        dither = -dither;
        const StereoDouble y = half * (x + u);
        finite += y - y;
        left[i] = y[0];
        right[i] = y[1];
    }
    for (int k = 0; k < kStageCount; ++k) {
        finite += s[k] - s[k];
    }
    if (!(finite[0] == 0.0 && finite[1] == 0.0)) {
        for (int i = 0; i < count; ++i) {
            left[i] = saved[i][0];
            right[i] = saved[i][1];
        }
        return false;
    }
    for (int k = 0; k < kStageCount; ++k) {
        Store(m_state[k], s[k]);
    }
    Store(m_dither, dither);
    return true;
}
