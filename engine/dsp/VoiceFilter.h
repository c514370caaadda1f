// The voice's VCF: a two-pole lowpass/highpass with resonant feedback and an
// asymmetric hard limit on it, its cutoff given as a pitch index and looked up
// in a table shared by all voices of an instance.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/dsp/Pitch.h"
#include "engine/dsp/StereoDouble.h"

// tan(pi * f / sample rate) for the frequency f of every pitch index
// 0..17280 (the pre-warped integrator gain of the VCF). One table per plug-in
// instance, shared by its 64 voices.
class CutoffTable {
public:
    static constexpr int kSize = kMaxPitchIndex + 1;
    // Frequencies above this fraction of the sample rate are looked up as this
    // fraction: below 2 * 19912.127 Hz sample rate the top pitch indices would
    // otherwise reach or pass tan(pi / 2). The table's top then is flat at
    // tan(0.49 * pi), about 31.8, instead of infinite or negative.
    static constexpr double kMaxFrequencyRatio = 0.49;

    // Allocates the table and builds it for 44100 Hz.
    CutoffTable();

    // Rebuilds the table for a sample rate in Hz if it differs from the one it
    // was built for. A rate that is not positive and finite is ignored.
    // Allocation-free; calls tan 17281 times (reset only).
    void Build(double sampleRate);

    // Sample rate in Hz the table was last built for.
    double SampleRate() const { return m_sampleRate; }
    // Changes at every rebuild, so users can tell that their coefficients are
    // stale.
    std::uint32_t Generation() const { return m_generation; }

    // Entry of pitch index `pitch`, clamped to 0..17280.
    double Value(int pitch) const
    {
        return m_value[static_cast<std::size_t>(std::clamp(pitch, 0, kMaxPitchIndex))];
    }

private:
    std::vector<double> m_value;
    double m_sampleRate = 0.0;
    std::uint32_t m_generation = 0;
};

class VoiceFilter {
public:
    // Upper bound of the resonant feedback signal (before the 1/(1 - K G (1 - G))
    // gain); positive feedback is boosted by this factor first.
    static constexpr double kFeedbackLimit = 4.0;
    static constexpr double kPositiveFeedbackBoost = 1.17;

    // Lowpass, cutoff index 17280, "VCF Peak" 0 (K = 0.01), coefficients due
    // at the first SetCutoff, state 0. Without a table SetCutoff only records
    // the index and the filter outputs (almost) 0.
    explicit VoiceFilter(const CutoffTable* table = nullptr);

    // The instance's shared cutoff table; must outlive the filter.
    void SetCutoffTable(const CutoffTable* table);

    // "VCF Type" value: 0 Lowpass, 1 Highpass (0.5 and above counts as
    // highpass). Takes effect at the next SetCutoff, together with the
    // coefficients for it.
    void SetType(double type);
    // "VCF Peak" value 0..1 (clamped): feedback K = 1.7 * peak + 0.01. Takes
    // effect at the next SetCutoff.
    void SetPeak(double peak);

    // Cutoff as a pitch index (1/128 semitone steps; 0..17280, outside values
    // use the table's ends). Called at every control tick and note-on; does no
    // work unless the index, the type, the peak or the table changed.
    void SetCutoff(int pitch)
    {
        m_cutoffIndex = pitch;
        if (m_table == nullptr) {
            return;
        }
        if (!m_needsUpdate && pitch == m_lastIndex && m_tableGeneration == m_table->Generation()) {
            return;
        }
        UpdateCoefficients(pitch);
    }

    // Clears the state of both channels (the filter keeps its settings).
    void ClearState();
    // ClearState and the dither back at its start, as after construction.
    void Restart()
    {
        ClearState();
        StoreBroadcast(m_dither, 1e-13);
    }

    // Filters one stereo frame; once per sample for an active voice with the
    // VCF in use. No divisions, no transcendental functions. First the
    // dither is added to the state; NaN or infinite state values are reset to
    // 0 instead, so one bad input sample cannot silence the voice for good
    // (the state outlives notes).
    void Process(double inLeft, double inRight, double& outLeft, double& outRight)
    {
        const StereoDouble dither = Load(m_dither);
        Store(m_dither, -dither);
        State state = {DitherOrReset(Load(m_s1), dither), DitherOrReset(Load(m_s2), dither),
                       DitherOrReset(Load(m_s3), dither)};
        const StereoDouble x = {inLeft, inRight};
        const StereoDouble y = m_activeHighpass ? ProcessHighpass(x, state) : ProcessLowpass(x, state);
        Store(m_s1, state.s1);
        Store(m_s2, state.s2);
        Store(m_s3, state.s3);
        outLeft = y[0];
        outRight = y[1];
    }

    // Requested type (effective from the next SetCutoff).
    bool IsHighpass() const { return m_highpass; }
    // Requested cutoff pitch index (as passed to SetCutoff).
    int CutoffIndex() const { return m_cutoffIndex; }
    // Requested feedback amount K, 0.01..1.71.
    double Feedback() const { return m_feedback; }
    // Number of coefficient computations so far (diagnostics).
    std::uint32_t CoefficientUpdateCount() const { return m_updateCount; }

private:
    // Runs many voices' filters side by side on their own state.
    friend class VoiceFilterLanes;
    friend class VoiceFilterQuads;

    struct State {
        StereoDouble s1;
        StereoDouble s2;
        StereoDouble s3;
    };

    // Resonant feedback from the states before this frame's update: positive
    // values boosted by 1.17, then limited to +-4. Branch-free.
    StereoDouble ResonantFeedback(const State& state) const
    {
        const StereoDouble kBoost = Broadcast(kPositiveFeedbackBoost);
        const StereoDouble kLimit = Broadcast(kFeedbackLimit);
        const StereoDouble u = Load(m_beta2) * state.s2 + Load(m_beta3) * state.s3;
        // Exactly u or 1.17 u: one of the two parts is 0.
        const StereoDouble boosted = kBoost * Max(u, StereoDouble{}) + Min(u, StereoDouble{});
        return Max(Min(boosted, kLimit), -kLimit);
    }

    StereoDouble ProcessLowpass(StereoDouble x, State& s) const
    {
        const StereoDouble g = Load(m_g);
        const StereoDouble t1 = (x - s.s1) * g;
        const StereoDouble a = s.s1 + t1;
        s.s1 = a + t1;
        const StereoDouble u = ResonantFeedback(s);
        const StereoDouble t2 = ((a + u) * Load(m_alpha0) - s.s2) * g;
        const StereoDouble y = s.s2 + t2;
        s.s2 = y + t2;
        const StereoDouble t3 = (Load(m_activeFeedback) * y - s.s3) * g;
        s.s3 = s.s3 + (t3 + t3);
        return y;
    }

    StereoDouble ProcessHighpass(StereoDouble x, State& s) const
    {
        const StereoDouble g = Load(m_g);
        const StereoDouble t1 = (x - s.s1) * g;
        const StereoDouble a = s.s1 + t1;
        const StereoDouble h = x - a;
        s.s1 = a + t1;
        const StereoDouble u = ResonantFeedback(s);
        const StereoDouble y = (h + u) * Load(m_alpha0);
        const StereoDouble w = Load(m_activeFeedback) * y;
        const StereoDouble t3 = (w - s.s3) * g;
        const StereoDouble b = s.s3 + t3;
        s.s3 = b + t3;
        const StereoDouble t2 = (w - b - s.s2) * g;
        s.s2 = s.s2 + (t2 + t2);
        return y;
    }

    void ComputeCoefficients(int pitch);
    // SetCutoff's work when something changed.
    void UpdateCoefficients(int pitch);

    // Requested type and feedback K; the recursion runs with the active copies
    // taken at the last coefficient computation, so a change switches mode,
    // K and coefficients together at the next SetCutoff.
    bool m_highpass = false;
    bool m_activeHighpass = false;
    std::int32_t m_cutoffIndex = kMaxPitchIndex;
    // Coefficients, the same value in both lanes.
    StereoPair m_alpha0 = {1.0, 1.0};
    StereoPair m_g = {};  // G = g / (1 + g), g the table entry
    StereoPair m_beta2 = {};
    StereoPair m_beta3 = {};
    double m_feedback = 0.01;
    StereoPair m_activeFeedback = {0.01, 0.01};
    bool m_needsUpdate = true;
    std::int32_t m_lastIndex = -1;
    StereoPair m_s1 = {};  // state per channel (left, right)
    StereoPair m_s2 = {};
    StereoPair m_s3 = {};
    StereoPair m_dither = {1e-13, 1e-13};  // sign flipped every frame
    const CutoffTable* m_table = nullptr;
    std::uint32_t m_tableGeneration = 0;
    std::uint32_t m_updateCount = 0;
};
