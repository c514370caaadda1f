#include "engine/dsp/ShelvingFilter.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/LimitParameter.h"
#include "engine/dsp/ReproducibleMath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSqrt2 = 1.41421356237309504880;
constexpr double kMaxFrequencyRatio = 0.49;
constexpr double kLn10 = 2.302585092994046;

}  // namespace

ShelvingFilter::ShelvingFilter(bool lowShelf) : m_lowShelf(lowShelf) {}

void ShelvingFilter::SetSampleRate(double sampleRate, double frequency)
{
    m_sampleRate = sampleRate;
    m_frequency = frequency;
    ClearState();
    UpdateCoefficients();
}

void ShelvingFilter::SetGain(double gain)
{
    m_gain = LimitParameter(gain, kMinGain, kMaxGain);
    UpdateCoefficients();
}

void ShelvingFilter::ClearState()
{
    StoreBroadcast(m_x1, 0.0);
    StoreBroadcast(m_x2, 0.0);
    StoreBroadcast(m_y1, 0.0);
    StoreBroadcast(m_y2, 0.0);
    m_dither = 1e-13;
}

int ShelvingFilter::CaptureState(double* values) const
{
    const double captured[kCaptureSize] = {m_gain,  m_a1,    m_a2,    m_b0,    m_b1,
                                           m_b2,    m_x1[0], m_x1[1], m_x2[0], m_x2[1],
                                           m_y1[0], m_y1[1], m_y2[0], m_y2[1], m_dither};
    std::copy(captured, captured + kCaptureSize, values);
    return kCaptureSize;
}

void ShelvingFilter::UpdateCoefficients()
{
    if (m_gain == 0.0 || !(m_sampleRate > 0.0) || !(m_frequency > 0.0)) {
        m_b0 = 1.0;
        m_b1 = m_b2 = m_a1 = m_a2 = 0.0;
        return;
    }
    const double frequency = std::min(m_frequency, kMaxFrequencyRatio * m_sampleRate);
    // The library-free functions give the same bits on every target.
    const double k = ReproducibleTan(kPi * frequency / m_sampleRate);
    const double kk = k * k;
    const double v = ReproducibleExp(std::fabs(m_gain) / 20.0 * kLn10);
    const double rootV = std::sqrt(v);
    const double rk = kSqrt2 * k;
    // Zoelzer's shelving designs; a cut is the exact inverse of the boost
    // of the same size.
    if (m_lowShelf) {
        if (m_gain > 0.0) {
            const double d = 1.0 + rk + kk;
            m_b0 = (1.0 + rootV * rk + v * kk) / d;
            m_b1 = 2.0 * (v * kk - 1.0) / d;
            m_b2 = (1.0 - rootV * rk + v * kk) / d;
            m_a1 = 2.0 * (kk - 1.0) / d;
            m_a2 = (1.0 - rk + kk) / d;
        } else {
            const double d = 1.0 + rootV * rk + v * kk;
            m_b0 = (1.0 + rk + kk) / d;
            m_b1 = 2.0 * (kk - 1.0) / d;
            m_b2 = (1.0 - rk + kk) / d;
            m_a1 = 2.0 * (v * kk - 1.0) / d;
            m_a2 = (1.0 - rootV * rk + v * kk) / d;
        }
    } else {
        if (m_gain > 0.0) {
            const double d = 1.0 + rk + kk;
            m_b0 = (v + rootV * rk + kk) / d;
            m_b1 = 2.0 * (kk - v) / d;
            m_b2 = (v - rootV * rk + kk) / d;
            m_a1 = 2.0 * (kk - 1.0) / d;
            m_a2 = (1.0 - rk + kk) / d;
        } else {
            const double d = v + rootV * rk + kk;
            const double e = 1.0 + (kSqrt2 / rootV) * k + kk / v;
            m_b0 = (1.0 + rk + kk) / d;
            m_b1 = 2.0 * (kk - 1.0) / d;
            m_b2 = (1.0 - rk + kk) / d;
            m_a1 = 2.0 * (kk / v - 1.0) / e;
            m_a2 = (1.0 - (kSqrt2 / rootV) * k + kk / v) / e;
        }
    }
}

void ShelvingFilter::Process(double* left, double* right, int count)
{
    const StereoDouble b0 = Broadcast(m_b0);
    const StereoDouble b1 = Broadcast(m_b1);
    const StereoDouble b2 = Broadcast(m_b2);
    const StereoDouble a1 = Broadcast(m_a1);
    const StereoDouble a2 = Broadcast(m_a2);
    StereoDouble x1 = Load(m_x1);
    StereoDouble x2 = Load(m_x2);
    StereoDouble y1 = Load(m_y1);
    StereoDouble y2 = Load(m_y2);
    double dither = m_dither;
    for (int i = 0; i < count; ++i) {
        const StereoDouble d = {dither, -dither};
        dither = -dither;
        x1 = DitherOrReset(x1, d);
        x2 = DitherOrReset(x2, d);
        y1 = DitherOrReset(y1, d);
        y2 = DitherOrReset(y2, d);
        const StereoDouble x = {left[i], right[i]};
        const StereoDouble y = DitherOrReset(b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2, StereoDouble{});
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        left[i] = y[0];
        right[i] = y[1];
    }
    Store(m_x1, x1);
    Store(m_x2, x2);
    Store(m_y1, y1);
    Store(m_y2, y2);
    m_dither = dither;
}
