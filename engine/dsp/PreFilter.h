// A pre-filter section: six fixed band filters fed from the twelve note buses
// with cross-fades, so that each keyboard range sounds through its own
// formant-like band. The whole bank moves up or down together by a shift.
// Section 1 uses two-pole LowPass bands with a common Q, section 2 one-pole
// LowPass6dB bands.
#pragma once

#include "engine/dsp/BusFrame.h"
#include "engine/dsp/Filter.h"
#include "engine/dsp/StereoDouble.h"

template <typename Band>
class PreFilter {
public:
    static constexpr int kBandCount = 6;
    // Band frequencies at shift 0, Hz.
    static constexpr double kBaseFrequency[kBandCount] = {560.0, 1040.0, 1200.0, 1460.0, 1760.0, 1940.0};
    // Cross-fade weights, exactly these values (not 2/3 and 1/3).
    static constexpr double kWeight2 = 0.666666;
    static constexpr double kWeight1 = 0.333333;
    // Shift applied at every sample-rate reset (factor 2).
    static constexpr double kResetShift = 1.0;

    // Bands at frequency 0 and sample rate 0: call Reset before use.
    PreFilter();

    // New sample rate in Hz: clears the bands' state and places them for
    // shift 1 (the next control tick applies the real shift).
    void Reset(double sampleRate);

    // Q of every band, recomputing their coefficients (one-pole bands ignore
    // it). Values are limited to 0.5..10.
    void SetQ(double q);

    // Moves the bank: shift x in -4..4 gives the factor x + 1 for x >= 0 and
    // -1 / (x - 1) below (0.2..5); band frequency = base * factor. Does no
    // work when x equals the current shift or a band's frequency is
    // unchanged. Out-of-range values are limited. Returns whether a band
    // changed.
    bool ApplyShift(double shift);

    // Frequency factor of a shift, 0.2..5 for -4..4.
    static double ShiftFactor(double shift) { return shift >= 0.0 ? shift + 1.0 : -1.0 / (shift - 1.0); }

    double Shift() const { return m_shift; }
    // Current frequency of band 0..5, Hz.
    double BandFrequency(int band) const { return m_band[band].Frequency(); }

    // Filters one frame of the note buses: each band gets its weighted sum
    // of buses (the same weights left and right); returns the sum of the six
    // band outputs.
    StereoDouble Process(const BusFrame& buses)
    {
        StereoDouble input[kBandCount];
        BandInputs(buses, input);
        StereoDouble sum = {};
        for (int i = 0; i < kBandCount; ++i) {
            double left;
            double right;
            m_band[i].ProcessSample(input[i][0], input[i][1], left, right);
            sum += StereoDouble{left, right};
        }
        return sum;
    }

    // Process for `count` consecutive frames of note buses, adding
    // level * output to the mix buffers frame by frame. The same arithmetic in
    // the same order as Process, with the six bands' state kept in registers
    // across the frames instead of being loaded and stored per band and frame.
    void ProcessAdd(const BusFrame* buses, int count, double level, double* mixLeft, double* mixRight);

    // Band 0..5 (the chain compares their state to find a silent steady cycle).
    const Band& GetBand(int band) const { return m_band[band]; }

private:
    // Band inputs of one frame: the weighted sums of note buses.
    static void BandInputs(const BusFrame& buses, StereoDouble (&input)[kBandCount])
    {
        const StereoPair* b = buses.bus;
        const StereoDouble w1 = Broadcast(kWeight1);
        const StereoDouble w2 = Broadcast(kWeight2);
        input[0] = Load(b[0]) + w2 * Load(b[1]) + w1 * Load(b[2]);
        input[1] = w1 * (Load(b[2]) + Load(b[5])) + w2 * (Load(b[3]) + Load(b[4]));
        input[2] = w1 * (Load(b[4]) + Load(b[7])) + w2 * (Load(b[5]) + Load(b[6]));
        input[3] = w1 * (Load(b[6]) + Load(b[9])) + w2 * (Load(b[7]) + Load(b[8]));
        input[4] = w1 * (Load(b[8]) + Load(b[11])) + w2 * (Load(b[9]) + Load(b[10]));
        input[5] = w1 * Load(b[9]) + w2 * Load(b[10]) + Load(b[11]);
    }

    // ProcessAdd's one-pole bands over at most kPiece frames, from and into
    // their states. kChecked: NaN and infinite states are reset frame by
    // frame; otherwise false is returned (state, dither and mix untouched)
    // if a reset would have been due.
    static constexpr int kPiece = 64;
    template <bool kChecked>
    static bool RunOnePole(const BusFrame* buses, int count, StereoDouble gain, const StereoDouble* a,
                           const StereoDouble* b, StereoDouble* state, double& dither, double* mixLeft,
                           double* mixRight);

    Band m_band[kBandCount];
    double m_sampleRate = 0.0;
    // Below any real shift, so the first ApplyShift always places the bands.
    double m_shift = -10000.0;
};

extern template class PreFilter<LowPass>;
extern template class PreFilter<LowPass6dB>;

// Pre-filter 1: resonant two-pole bands sharing "Pre-Filter 1 Q".
using PreFilter1 = PreFilter<LowPass>;
// Pre-filter 2: gentle one-pole bands.
using PreFilter2 = PreFilter<LowPass6dB>;
