#include "engine/dsp/Filter.h"

#include <algorithm>

#include "engine/dsp/ReproducibleMath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Highest usable frequency as a fraction of the sample rate: just below
// Nyquist, where the two-pole designs would turn unstable.
constexpr double kMaxFrequencyRatio = 0.49;
constexpr double kMinQ = 0.001;

// Frames a block loop runs before it checks its states.
constexpr int kPiece = 64;

// Adds gain * filtered input to the outputs, frame by frame.
template <typename FrameFunction>
void BlockAdd(const double* inLeft, const double* inRight, double* outLeft, double* outRight, int count,
              double gain, FrameFunction frame)
{
    const StereoDouble g = Broadcast(gain);
    for (int i = 0; i < count; ++i) {
        const StereoDouble y = g * frame(StereoDouble{inLeft[i], inRight[i]});
        outLeft[i] += y[0];
        outRight[i] += y[1];
    }
}

}  // namespace

void Filter::ClearState()
{
    for (StereoPair& pair : m_state) {
        StoreBroadcast(pair, 0.0);
    }
    m_dither = kDither;
}

double Filter::UsableFrequency() const
{
    // Written so that a NaN frequency or sample rate gives 0.
    if (!(m_sampleRate > 0.0) || !(m_frequency > 0.0)) {
        return 0.0;
    }
    return std::min(m_frequency, kMaxFrequencyRatio * m_sampleRate);
}

double Filter::UsableQ() const
{
    return m_q >= kMinQ ? m_q : kMinQ;
}

// --- LowPass ---

void LowPass::UpdateCoefficients()
{
    const double omega = m_sampleRate > 0.0 ? 2.0 * kPi * UsableFrequency() / m_sampleRate : 0.0;
    const double c = ReproducibleCos(omega);
    const double alpha = ReproducibleSin(omega) / (2.0 * UsableQ());
    const double e = 1.0 / (1.0 + alpha);
    StoreBroadcast(m_coefficient[kA1], 2.0 * c * e);
    StoreBroadcast(m_coefficient[kA2], (alpha - 1.0) * e);
    StoreBroadcast(m_coefficient[kB0], (1.0 - c) / 2.0 * e);
    StoreBroadcast(m_coefficient[kB1], (1.0 - c) * e);
}

inline StereoDouble LowPass::Frame(StereoDouble x)
{
    CleanState(kStateCount);
    StereoPair* s = m_state;
    const StereoPair* c = m_coefficient;
    const StereoDouble x1 = Load(s[kX1]);
    const StereoDouble y1 = Load(s[kY1]);
    const StereoDouble y = Load(c[kB0]) * (x + Load(s[kX2])) + Load(c[kB1]) * x1 + Load(c[kA1]) * y1 +
                           Load(c[kA2]) * Load(s[kY2]);
    Store(s[kX2], x1);
    Store(s[kX1], x);
    Store(s[kY2], y1);
    Store(s[kY1], y);
    return y;
}

void LowPass::ProcessSample(double inLeft, double inRight, double& outLeft, double& outRight)
{
    const StereoDouble y = Frame(StereoDouble{inLeft, inRight});
    outLeft = y[0];
    outRight = y[1];
}

void LowPass::ProcessBlockAdd(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                              int count, double gain)
{
    // On a copy, whose state the compiler keeps in registers from frame to
    // frame instead of storing and reloading it around the output stores.
    LowPass filter = *this;
    BlockAdd(inLeft, inRight, outLeft, outRight, count, gain,
             [&filter](StereoDouble x) { return filter.Frame(x); });
    *this = filter;
}

// --- BandPass ---

void BandPass::UpdateCoefficients()
{
    const double omega = m_sampleRate > 0.0 ? 2.0 * kPi * UsableFrequency() / m_sampleRate : 0.0;
    const double alpha = ReproducibleSin(omega) / (2.0 * UsableQ());
    const double e = 1.0 / (1.0 + alpha);
    StoreBroadcast(m_coefficient[kB0], alpha * e);
    StoreBroadcast(m_coefficient[kB1], 0.0);
    StoreBroadcast(m_coefficient[kA1], 2.0 * ReproducibleCos(omega) * e);
    StoreBroadcast(m_coefficient[kA2], (alpha - 1.0) * e);
}

inline StereoDouble BandPass::Frame(StereoDouble x)
{
    CleanState(kBpTreated);
    StereoPair* s = m_state;
    const StereoPair* c = m_coefficient;
    const StereoDouble y1 = Load(s[kBpY1]);
    const StereoDouble y =
        Load(c[kB0]) * (x - Load(s[kBpX2])) + Load(c[kA1]) * y1 + Load(c[kA2]) * Load(s[kBpY2]);
    Store(s[kBpX2], Load(s[kBpX1]));
    Store(s[kBpX1], x);
    Store(s[kBpY2], y1);
    Store(s[kBpY1], y);
    return y;
}

void BandPass::ProcessSample(double inLeft, double inRight, double& outLeft, double& outRight)
{
    const StereoDouble y = Frame(StereoDouble{inLeft, inRight});
    outLeft = y[0];
    outRight = y[1];
}

void BandPass::ProcessBlockAdd(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                               int count, double gain)
{
    // On a copy, whose state the compiler keeps in registers from frame to
    // frame instead of storing and reloading it around the output stores.
    BandPass filter = *this;
    BlockAdd(inLeft, inRight, outLeft, outRight, count, gain,
             [&filter](StereoDouble x) { return filter.Frame(x); });
    *this = filter;
}

// --- LowPass6dB ---

void LowPass6dB::UpdateCoefficients()
{
    const double w = m_sampleRate > 0.0 ? 2.0 * kPi * UsableFrequency() / m_sampleRate : 0.0;
    StoreBroadcast(m_coefficient[kOnePoleA], (w - 2.0) / (w + 2.0));
    StoreBroadcast(m_coefficient[kOnePoleB], w / (w + 2.0));
}

inline StereoDouble LowPass6dB::Frame(StereoDouble x)
{
    CleanState(kOnePoleTreated);
    const StereoDouble bx = Load(m_coefficient[kOnePoleB]) * x;
    const StereoDouble y = bx + Load(m_state[kS]);
    Store(m_state[kS], bx - Load(m_coefficient[kOnePoleA]) * y);
    return y;
}

void LowPass6dB::ProcessSample(double inLeft, double inRight, double& outLeft, double& outRight)
{
    const StereoDouble y = Frame(StereoDouble{inLeft, inRight});
    outLeft = y[0];
    outRight = y[1];
}

void LowPass6dB::ProcessBlockAdd(const double* inLeft, const double* inRight, double* outLeft,
                                 double* outRight, int count, double gain)
{
    // Pieces of frames, first without resetting a NaN or infinite state:
    // the output is the state plus a term, so such a state shows in that
    // frame's output. Finite outputs and a finite final state show that no
    // reset was due; otherwise the piece's outputs are put back and it runs
    // again frame by frame as Frame does.
    const StereoDouble g = Broadcast(gain);
    const StereoDouble a = Load(m_coefficient[kOnePoleA]);
    const StereoDouble b = Load(m_coefficient[kOnePoleB]);
    for (int first = 0; first < count; first += kPiece) {
        const int n = std::min(kPiece, count - first);
        StereoDouble s = Load(m_state[kS]);
        double dither = m_dither;
        StereoPair saved[kPiece];
        StereoDouble finite = {};
        for (int i = first; i < first + n; ++i) {
            dither = -dither;
            const StereoDouble before = {outLeft[i], outRight[i]};
            Store(saved[i - first], before);
            const StereoDouble bx = b * StereoDouble{inLeft[i], inRight[i]};
            const StereoDouble y = bx + (s + Broadcast(dither));
            s = bx - a * y;
            finite += y - y;
            const StereoDouble out = before + g * y;
            outLeft[i] = out[0];
            outRight[i] = out[1];
        }
        finite += s - s;
        if (finite[0] == 0.0 && finite[1] == 0.0) {
            Store(m_state[kS], s);
            m_dither = dither;
            continue;
        }
        for (int i = first; i < first + n; ++i) {
            outLeft[i] = saved[i - first][0];
            outRight[i] = saved[i - first][1];
        }
        LowPass6dB filter = *this;
        BlockAdd(inLeft + first, inRight + first, outLeft + first, outRight + first, n, gain,
                 [&filter](StereoDouble x) { return filter.Frame(x); });
        *this = filter;
    }
}
