#include "engine/dsp/OscillatorTables.h"

#include <cmath>
#include <limits>

namespace {

// Read by silent keys, whose octave factor 0 turns every phase into position 0.
constexpr double kSilence[2] = {0.0, 0.0};

// Each level step lowers the top harmonic by half an octave.
constexpr double kHalfOctaveDown = 0.7071067811865476;
constexpr int kTopLevel = WaveTables::kLevelCount - 1;

}  // namespace

int KeyOctaveShift(int keyIndex)
{
    if (keyIndex < 0 || keyIndex >= kKeyCount) {
        return -1;
    }
    if (keyIndex < 9) {
        return -2;
    }
    if (keyIndex < kLowestBankKey) {
        return -1;
    }
    return (keyIndex - kLowestBankKey) / 12;
}

int KeyPitchClass(int keyIndex)
{
    if (keyIndex < 0 || keyIndex >= kKeyCount) {
        return 0;
    }
    // Continues the 12-key pattern below key 21: 0..8 -> 3..11, 9..20 -> 0..11.
    return (keyIndex - kLowestBankKey + 24) % 12;
}

OscillatorTables::OscillatorTables()
    : m_increment(kMaxPitchIndex + 1, 0),
      m_bankIncrements(static_cast<std::size_t>(2 * kMaxBankOffset + 1) * kBankOscillators, 0)
{
    for (KeyRead& read : m_keyRead) {
        read = {kSilence, 0, 0};
    }
}

void OscillatorTables::Build(double sampleRate)
{
    const WaveTables& waves = WaveTables::Get();
    const bool valid = sampleRate > 0.0 && std::isfinite(sampleRate);
    m_sampleRate = valid ? sampleRate : 0.0;

    constexpr double kPhaseScale = 268435456.0;  // 2^28
    constexpr double kLargest = std::numeric_limits<std::int32_t>::max();
    for (int i = 0; i <= kMaxPitchIndex; ++i) {
        double increment = valid ? PitchToFrequency(i) * kPhaseScale / sampleRate : 0.0;
        // Below about 2.5 kHz the top pitches would overflow 32 bits; they
        // saturate instead (they are far above half the sample rate anyway).
        if (increment > kLargest) {
            increment = kLargest;
        }
        m_increment[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(increment);
    }
    for (int offset = -kMaxBankOffset; offset <= kMaxBankOffset; ++offset) {
        for (int p = 0; p < kBankOscillators; ++p) {
            m_bankIncrements[static_cast<std::size_t>(offset + kMaxBankOffset) * kBankOscillators +
                             static_cast<std::size_t>(p)] =
                Increment((kLowestBankKey + p) * kPitchStepsPerKey + offset);
        }
    }

    for (int key = 0; key < kKeyCount; ++key) {
        // c is the key's speed through a 4096-sample table (table samples per
        // output sample, truncated); each level takes half an octave off the
        // bandwidth until the top harmonic, 2048 / sqrt(2)^level times the
        // fundamental, is near half the sample rate. c stays a real number.
        const std::int32_t increment = m_increment[static_cast<std::size_t>(key) * kPitchStepsPerKey];
        double c = static_cast<double>(increment >> 16);
        // Truncated, a speed of 1 to 2 would look like 1 and keep the full
        // 2048-harmonic table, whose top harmonics then reach up to the sample
        // rate and fold back (keys 21..30 at 96 kHz). Below 2 the unrounded
        // speed is used; no audible key at 44.1 or 48 kHz is that slow.
        if (c < 2.0) {
            c = increment / 65536.0;
        }
        int level = 0;
        while (c > 1.0 && level <= kTopLevel) {
            c *= kHalfOctaveDown;
            ++level;
        }
        m_tableLevel[key] = level > kTopLevel ? kTopLevel : level;

        const int shift = KeyOctaveShift(key);
        KeyRead& read = m_keyRead[key + 1];
        if (shift < 0) {
            read = {kSilence, 0, 0};
        } else {
            read = {waves.Level(m_tableLevel[key]), static_cast<std::uint32_t>(KeyPitchClass(key)),
                    std::uint32_t{1} << shift};
        }
    }
}

int OscillatorTables::TableLevel(int key) const
{
    return key >= 0 && key < kKeyCount ? m_tableLevel[key] : 0;
}
