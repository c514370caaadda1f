// Six-stage phaser of the master section: a chain of six identical
// first-order allpass stages per channel, mixed half and half with the dry
// signal, so notches sweep as a triangle LFO moves the stages' corner
// frequency. In pan mode the right channel sweeps against the left.
#pragma once

#include "engine/dsp/StereoDouble.h"

class Phaser {
public:
    static constexpr int kStageCount = 6;
    static constexpr double kMaxRate = 15.0;
    // Top of the sweep, Hz, before the bilinear mapping.
    static constexpr double kTopFrequency = 12000.0;

    // Tuned for 44100 Hz, LFO at phase 0, disabled (rate 0), normal mode.
    Phaser();

    // New sample rate in Hz: rescales the sweep and clears the state; the
    // LFO keeps its phase.
    void Reset(double sampleRate);

    // "Phaser Mode": pan mode for values >= 0.5.
    void SetMode(double mode) { m_panMode = mode >= 0.5; }
    bool IsPanMode() const { return m_panMode; }
    // "Phaser Rate" 0..15: the LFO runs at rate / 2 Hz at 1000 control ticks
    // per second; 0 switches the phaser off. Out-of-range values are limited.
    void SetRate(double rate);
    bool IsEnabled() const { return m_enabled; }
    // The LFO's step of Update without the coefficients (they follow from
    // the LFO at the next Update); for ticks whose audio is not computed.
    void StepLfo()
    {
        m_lfoValue = 2.0 * (m_lfoPhase < 0.0 ? -m_lfoPhase : m_lfoPhase) - 1.0;
        m_lfoPhase += m_lfoIncrement;
        if (m_lfoPhase >= 1.0) {
            m_lfoPhase -= 2.0;
        }
    }
    // The coefficients for the LFO's current value (Update's second half).
    void RefreshCoefficients() { SetCoefficients(); }
    // The largest magnitude among the all-pass states.
    double LargestState() const;

    // Control tick (only while enabled): steps the LFO and sets both
    // channels' stage coefficients.
    void Update();

    // Filters `count` frames in place: output = (input + allpass chain) / 2.
    // A state value that has become NaN or infinite restarts from 0.
    void Process(double* left, double* right, int count);

    // LFO value -1..1 used by the last Update.
    double LfoValue() const { return m_lfoValue; }
    // Stage coefficient of channel 0 (left) or 1 (right); (w - 2) / (w + 2)
    // with w the stages' warped corner, rising with the corner frequency.
    double StageCoefficient(int channel) const { return m_coefficient[channel]; }

private:
    // Frames per ProcessFinite call.
    static constexpr int kBlock = 64;

    void SetCoefficients();
    // Process with the NaN and infinity check of every state value per frame.
    void ProcessChecked(double* left, double* right, int count);
    // Process for at most kBlock frames without that check, where it can be
    // shown afterwards that it would have changed nothing; returns false,
    // leaving buffers and state untouched, where it cannot.
    bool ProcessFinite(double* left, double* right, int count);

    double m_lfoValue = 0.0;
    double m_lfoPhase = 0.0;  // -1..1, the LFO value is 2 |phase| - 1
    double m_lfoIncrement = 0.0;
    bool m_panMode = false;
    bool m_enabled = false;
    double m_omegaScale;  // 2 pi * 12000 / sample rate
    StereoPair m_coefficient = {};
    StereoPair m_state[kStageCount] = {};
    // Offset added to the state, sign flipped every frame.
    StereoPair m_dither = {1e-13, 1e-13};
};
