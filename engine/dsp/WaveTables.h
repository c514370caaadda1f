// Band-limited sawtooth and square tables read by the oscillator banks.
// Built once per process, independent of the sample rate.
#pragma once

#include <cstdint>

class WaveTables {
public:
    // Table level j = 0..21; level j holds round(2048 / sqrt(2)^j) harmonics,
    // so each level has half an octave less bandwidth than the one before.
    static constexpr int kLevelCount = 22;
    // Samples per table; a table holds one cycle.
    static constexpr int kLength = 4096;
    static constexpr int kLengthMask = kLength - 1;

    // The tables of the process; the first call builds them (thread-safe),
    // later calls return the same object.
    static const WaveTables& Get();

    // Number of harmonics in level 0..21.
    static int HarmonicCount(int level);

    // Start of level 0..21: 2 * kLength doubles, the sawtooth and square
    // values of each position side by side (saw at 2l, square at 2l + 1), so
    // a voice's read of both waves touches one cache line.
    const double* Level(int level) const { return m_samples[level]; }
    double Saw(int level, int position) const { return m_samples[level][2 * position]; }
    double Square(int level, int position) const { return m_samples[level][2 * position + 1]; }

private:
    WaveTables();

    alignas(64) double m_samples[kLevelCount][2 * kLength];
};
