// Second-order shelving equaliser (bass or treble) of the master section:
// boosts or cuts everything below (low shelf) or above (high shelf) its
// corner frequency by a gain in dB and leaves the other side at unity.
// Left and right keep their own state and share the coefficients.
#pragma once

#include "engine/dsp/StereoDouble.h"

class ShelvingFilter {
public:
    static constexpr double kMinGain = -20.0;  // dB
    static constexpr double kMaxGain = 20.0;   // dB

    // A low shelf (bass) or a high shelf (treble), at 44100 Hz and 300 Hz with
    // gain 0 (a bypass) until set.
    explicit ShelvingFilter(bool lowShelf);

    // Sample rate and corner frequency in Hz; recomputes the coefficients and
    // clears the state. The corner is limited to 0.49 * sample rate, where the
    // design stays stable.
    void SetSampleRate(double sampleRate, double frequency);

    // Shelf gain in dB, limited to -20..20; recomputes the coefficients.
    // Gain 0 is an exact bypass (b0 = 1, all other coefficients 0).
    void SetGain(double gain);
    double Gain() const { return m_gain; }
    // True for a gain other than 0 dB: the master section runs the filter.
    bool IsEnabled() const { return m_gain != 0.0; }
    double Frequency() const { return m_frequency; }

    // Filters `count` frames in place. A state value that has become NaN or
    // infinite restarts from 0, as does a non-finite output.
    void Process(double* left, double* right, int count);

    void ClearState();

    // Writes gain, coefficients, state and dither to values (bit for bit);
    // returns the count, at most kCaptureSize.
    static constexpr int kCaptureSize = 15;
    int CaptureState(double* values) const;

private:
    void UpdateCoefficients();

    double m_sampleRate = 44100.0;
    bool m_lowShelf;
    double m_frequency = 300.0;
    double m_gain = 0.0;
    double m_a1 = 0.0;
    double m_a2 = 0.0;
    double m_b0 = 1.0;
    double m_b1 = 0.0;
    double m_b2 = 0.0;
    // State per channel (left, right).
    StereoPair m_x1 = {};
    StereoPair m_x2 = {};
    StereoPair m_y1 = {};
    StereoPair m_y2 = {};
    // Offset added to the state each frame, sign alternating per frame and
    // opposite between the channels, keeping the state off subnormal numbers.
    double m_dither = 1e-13;
};
