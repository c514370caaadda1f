// Stereo filters of the signal chain: two-pole lowpass and bandpass and a
// one-pole lowpass. Left and right keep their own state and share the
// coefficients. Every frame an alternating +-1e-13 offset is added to the
// state so it never decays into subnormal numbers, and a state value that has
// become NaN or infinite is reset to 0.
#pragma once

#include "engine/dsp/StereoDouble.h"

class Filter {
public:
    // Offset added to the state values, with the sign flipped every frame.
    static constexpr double kDither = 1e-13;

    // Every field 0 (the dither too): the owner sets the sample rate, calls
    // ClearState, sets the frequency and calls UpdateCoefficients before use.
    Filter() = default;
    virtual ~Filter() = default;
    Filter(const Filter&) = default;
    Filter& operator=(const Filter&) = default;

    // Filters one stereo frame.
    virtual void ProcessSample(double inLeft, double inRight, double& outLeft, double& outRight) = 0;
    // Filters `count` frames of the input buffers and adds gain * output to
    // the output buffers. Inputs and outputs must not overlap.
    virtual void ProcessBlockAdd(const double* inLeft, const double* inRight, double* outLeft,
                                 double* outRight, int count, double gain) = 0;
    // Recomputes the coefficients from frequency, Q and sample rate. The
    // frequency used is limited to 0..0.49 * sample rate, so the two-pole
    // filters stay stable at low sample rates (the chain asks for up to
    // 12 kHz); a Q below 0.001 (or NaN) counts as 0.001, since 0 would give
    // NaN coefficients. Not for the per-sample path (trigonometry).
    virtual void UpdateCoefficients() = 0;

    // Plain setters: take effect at the next UpdateCoefficients.
    // Cutoff or centre frequency in Hz.
    void SetFrequency(double frequency) { m_frequency = frequency; }
    double Frequency() const { return m_frequency; }
    // Quality factor (two-pole classes only; LowPass6dB ignores it).
    void SetQ(double q) { m_q = q; }
    double Q() const { return m_q; }
    // Sample rate in Hz.
    void SetSampleRate(double sampleRate) { m_sampleRate = sampleRate; }
    double SampleRate() const { return m_sampleRate; }

    // Clears the state of both channels and restarts the dither at +1e-13.
    void ClearState();

protected:
    // The pre-filter sections run their six bands side by side on the bands'
    // own coefficients and state.
    template <typename>
    friend class PreFilter;
    // Lets the signal chain compare and copy filter states bitwise.
    friend class SignalChain;

    // Stereo state values (left and right lanes) per filter.
    static constexpr int kStateCount = 4;

    // State slots. Each class keeps the values its clean-up treats first, so
    // that CleanState works on a prefix.
    enum TwoPoleSlot { kX1, kX2, kY1, kY2 };
    enum BandPassSlot { kBpX2, kBpY1, kBpY2, kBpX1, kBpTreated = kBpX1 };
    enum OnePoleSlot { kS, kOnePoleTreated };
    // Coefficient slots.
    enum TwoPoleCoefficient { kB0, kB1, kA1, kA2 };
    enum OnePoleCoefficient { kOnePoleA, kOnePoleB };

    // Frequency in Hz limited to 0..0.49 * sample rate (0 at a sample rate
    // that is not positive).
    double UsableFrequency() const;
    // Q limited to at least 0.001.
    double UsableQ() const;

    // Flips the dither's sign, then resets the NaN and infinite values among
    // the first `count` state values to 0 and adds the dither to the others.
    // Infinities are reset too: the one-pole lowpass would otherwise keep an
    // infinite state for good. Branch-free.
    void CleanState(int count)
    {
        m_dither = -m_dither;
        const StereoDouble dither = Broadcast(m_dither);
        for (int i = 0; i < count; ++i) {
            Store(m_state[i], DitherOrReset(Load(m_state[i]), dither));
        }
    }

    double m_frequency = 0.0;
    double m_q = 0.0;
    StereoPair m_coefficient[4] = {};      // the same value in both lanes
    StereoPair m_state[kStateCount] = {};  // left, right
    double m_sampleRate = 0.0;
    double m_dither = 0.0;
};

// Two-pole lowpass: bilinear transform of 1 / (s^2 + s/Q + 1), exact at the
// cutoff frequency.
// State per channel: x1, x2, y1, y2.
class LowPass final : public Filter {
public:
    void ProcessSample(double inLeft, double inRight, double& outLeft, double& outRight) override;
    void ProcessBlockAdd(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                         int count, double gain) override;
    void UpdateCoefficients() override;

private:
    StereoDouble Frame(StereoDouble x);
};

// Two-pole bandpass: bilinear transform of (s/Q) / (s^2 + s/Q + 1), unity
// gain at its centre frequency.
// State per channel: x1, x2, y1, y2; x1 is left out of the NaN and dither
// treatment (it is not used before it moves to x2, where it is treated).
class BandPass final : public Filter {
public:
    void ProcessSample(double inLeft, double inRight, double& outLeft, double& outRight) override;
    void ProcessBlockAdd(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                         int count, double gain) override;
    void UpdateCoefficients() override;

private:
    StereoDouble Frame(StereoDouble x);
};

// One-pole lowpass (bilinear without pre-warping). State per channel: s.
class LowPass6dB final : public Filter {
public:
    void ProcessSample(double inLeft, double inRight, double& outLeft, double& outRight) override;
    void ProcessBlockAdd(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                         int count, double gain) override;
    void UpdateCoefficients() override;

private:
    StereoDouble Frame(StereoDouble x);
};
