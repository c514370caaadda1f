// The modulator: a triangle LFO or the modulation wheel, scaled by a depth,
// that moves one of five filter settings of the chain at each control tick.
#pragma once

class Modulator {
public:
    // "Modulator Destination" values.
    enum Destination : int {
        kVcf = 0,           // cutoff of every voice's VCF
        kPreFilter1 = 1,    // shift of pre-filter 1
        kPreFilter2 = 2,    // shift of pre-filter 2
        kOrganStrings = 3,  // organ+strings filter frequency
        kChorus = 4,        // chorus filter frequency
    };
    static constexpr double kMaxRate = 25.0;  // Hz

    // Destination VCF, LFO source, depth 0, LFO stopped at phase 0.
    Modulator() = default;

    // "Modulator Destination" 0..4, rounded to the nearest destination.
    void SetDestination(double destination);
    int GetDestination() const { return m_destination; }
    // "Modulator Source": the modulation wheel for values >= 0.5, else the LFO.
    void SetSource(double source) { m_sourceIsWheel = source >= 0.5; }
    bool SourceIsWheel() const { return m_sourceIsWheel; }
    // "Modulator Rate" 0..25 Hz at 1000 control ticks per second.
    void SetRate(double rate);
    // "Modulator Depth" 0..1.
    void SetDepth(double depth);
    // The LFO back at its start, as after construction.
    void Restart()
    {
        m_lfoValue = 0.0;
        m_lfoPhase = 0.0;
    }
    double Depth() const { return m_depth; }

    // Control tick: the modulation amount m = depth * g for this tick, where
    // g is the wheel (0..1) or the LFO value (-1..1; the LFO then steps on).
    // With depth 0 the result is 0 and the LFO stands still.
    double Step(double modulationWheel);

    // LFO value -1..1 of the last step that ran the LFO.
    double LfoValue() const { return m_lfoValue; }

private:
    int m_destination = kVcf;
    bool m_sourceIsWheel = false;
    double m_depth = 0.0;
    double m_lfoValue = 0.0;
    double m_lfoPhase = 0.0;  // -1..1, the LFO value is 2 |phase| - 1
    double m_lfoIncrement = 0.0;
};
