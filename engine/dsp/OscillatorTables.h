// Sample-rate dependent tables shared by the three oscillator banks of one
// instance: the pitch increment table, the table level per key, and the
// per-key read recipe (pitch class, octave shift, wave table).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/dsp/Pitch.h"
#include "engine/dsp/WaveTables.h"

// Phases are 28-bit fixed-point fractions of a cycle held in 32-bit words.
inline constexpr int kPhaseBits = 28;
inline constexpr std::uint32_t kPhaseMask = (std::uint32_t{1} << kPhaseBits) - 1;
// A 28-bit phase shifted right by this many bits is a wave table position
// (0..4095); by one bit less, the position's index into the interleaved
// saw/square doubles (plus a stray low bit to mask off).
inline constexpr int kPhaseToPositionShift = 16;

// Keys (key index = played MIDI key + bank transpose) covered by the key tables.
inline constexpr int kKeyCount = 128;
// The bank oscillators run at keys 21..32 (pitch class 0 is A at key 21).
inline constexpr int kLowestBankKey = 21;

// Octave shift of key index 0..127: -2 for 0..8, -1 for 9..20, then
// (m - 21) / 12. Negative means the bank is silent for that key; any index
// outside 0..127 gives -1 as well.
int KeyOctaveShift(int keyIndex);
// Pitch class 0..11 (0 is A) of key index 0..127; outside 0..127 gives 0.
int KeyPitchClass(int keyIndex);

class OscillatorTables {
public:
    // How a voice reads a bank for one key index.
    struct KeyRead {
        const double* wave;          // the key's table level (interleaved pairs); silent keys: one zero pair
        std::uint32_t pitchClass;    // oscillator 0..11 of the bank
        std::uint32_t octaveFactor;  // 2^octave shift (1..256); 0 for silent keys, pinning the read to 0
    };

    // Silent until the first Build: every key reads zeros, every increment is 0.
    OscillatorTables();

    // Rebuilds the increment table and the table levels for a sample rate in
    // Hz. Fetches (and on the first call in the process builds) the wave
    // tables. A sample rate that is not positive and finite leaves all
    // increments 0. Allocation-free.
    void Build(double sampleRate);

    // Sample rate in Hz of the last Build; 0 before it.
    double SampleRate() const { return m_sampleRate; }

    // Phase increment per sample (28-bit cycle fraction) at pitch index
    // 0..17280: PitchToFrequency(i) * 2^28 / sample rate, truncated. The
    // index is clamped to 0..17280. Inline: the control tick reads twelve
    // per bank.
    std::int32_t Increment(int pitch) const
    {
        const int index = std::min(std::max(pitch, 0), kMaxPitchIndex);
        return m_increment[static_cast<std::size_t>(index)];
    }

    // The bank oscillators' twelve increments (pitch classes 0..11 at keys
    // 21..32) shifted by offset 1/128 semitones, side by side: what the
    // control tick copies. Offsets outside +-kMaxBankOffset (master tune,
    // bank tuning and vibrato reach at most 256) give null.
    static constexpr int kBankOscillators = 12;
    static constexpr int kMaxBankOffset = 256;
    const std::int32_t* BankIncrements(int offset) const
    {
        if (offset < -kMaxBankOffset || offset > kMaxBankOffset) {
            return nullptr;
        }
        return m_bankIncrements.data() + static_cast<std::size_t>(offset + kMaxBankOffset) * kBankOscillators;
    }

    // Wave table level 0..21 of key 0..127: the highest level whose top
    // harmonic stays below half the sample rate; 0 outside 0..127.
    int TableLevel(int key) const;

    // Read recipe of any key index; indices outside 21..127 read silence.
    // The wave pointer stays valid for the whole process (only its level
    // goes stale after a sample-rate change).
    const KeyRead& ReadOf(int keyIndex) const
    {
        // Clamped onto the silent sentinels at both ends (compiles to
        // conditional moves, no branch).
        const int slot = std::min(std::max(keyIndex, -1), kKeyCount);
        return m_keyRead[static_cast<unsigned>(slot + 1)];
    }

private:
    double m_sampleRate = 0.0;
    std::vector<std::int32_t> m_increment;  // kMaxPitchIndex + 1 entries
    // Rows of BankIncrements, one per offset -256..256.
    std::vector<std::int32_t> m_bankIncrements;
    int m_tableLevel[kKeyCount] = {};
    // Slots for key indices -1..128; -1 and 128 stand for everything outside.
    KeyRead m_keyRead[kKeyCount + 2];
};
