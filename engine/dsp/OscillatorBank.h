// Divide-down oscillator banks A, B and C. Each bank holds twelve free-running
// oscillators, one per pitch class, at the lowest octave (keys 21..32); a
// voice reads the oscillator of its key's pitch class with the phase
// multiplied by a power of two, so all notes of a pitch class in a bank share
// one phase and the bank's tuning and vibrato move them together.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/dsp/OscillatorTables.h"

// A stereo pair of plain amplitudes.
struct StereoSample {
    double left;
    double right;
};

// One bank. Parameter setters take the parameter's own value; values outside
// its range are clamped to it (NaN counts as the minimum).
class OscillatorBank {
public:
    static constexpr int kPitchClassCount = 12;

    OscillatorBank();

    // Master tune, -1..1 (+-50 cents); stored as round(x * 64) pitch steps.
    void SetMasterTune(double x);
    // Bank tuning, -1..1 (+-50 cents); stored as round(x * 64) pitch steps.
    void SetTuning(double x);
    // 0 = sawtooth only, 1 = square only.
    void SetWaveMix(double x);
    // Linear gain 0..1.
    void SetLevel(double x);
    // 0 = left, 0.5 = centre, 1 = right (linear law).
    void SetPan(double x);

    // Sets every phase and increment to 0 and marks the bank for update
    // (after a sample-rate change).
    void Restart();

    // Control tick: takes the vibrato swing o (pitch in semitones, -1..1 for
    // full depth); when it or a tuning changed, recomputes the twelve
    // increments from the tables.
    void Update(double vibrato, const OscillatorTables& tables);

    // Adds the bank's output for one voice sample, the key read from
    // OscillatorTables::ReadOf. Branch-free and division-free: the phase of
    // the key's pitch class times 2^octave shift, modulo 2^28, picks the
    // table position (no interpolation).
    void AddVoiceSample(const OscillatorTables::KeyRead& read, StereoSample& sum) const
    {
        // The mask keeps 28 bits of the multiplied phase and clears the low
        // bit, giving 2 * position.
        constexpr std::uint32_t kIndexMask = (kPhaseMask >> (kPhaseToPositionShift - 1)) & ~std::uint32_t{1};
        const std::uint32_t index =
            ((m_phase[read.pitchClass] * read.octaveFactor) >> (kPhaseToPositionShift - 1)) & kIndexMask;
        const double* pair = read.wave + index;  // one addressing base for both loads
        const double s = pair[0] * m_sawGain + pair[1] * m_squareGain;
        sum.left += s * m_leftGain;
        sum.right += s * m_rightGain;
    }

    // Once per sample after all voices: every oscillator moves on by its
    // increment, modulo one cycle (2^28).
    void AdvancePhases()
    {
        for (int p = 0; p < kPitchClassCount; ++p) {
            m_phase[p] = (m_phase[p] + static_cast<std::uint32_t>(m_increment[p])) & kPhaseMask;
        }
    }

    // AdvancePhases `frames` times at once: the phases wrap modulo 2^28, so
    // frames * increment added in 32-bit arithmetic and masked gives the
    // same bits as the frame-by-frame additions.
    void AdvancePhases(int frames)
    {
        const auto n = static_cast<std::uint32_t>(frames);
        for (int p = 0; p < kPitchClassCount; ++p) {
            m_phase[p] = (m_phase[p] + n * static_cast<std::uint32_t>(m_increment[p])) & kPhaseMask;
        }
    }

    // Observers, pitch class 0..11 (28-bit phase, increment per sample,
    // offsets in pitch steps).
    std::uint32_t Phase(int pitchClass) const { return m_phase[pitchClass]; }
    std::int32_t Increment(int pitchClass) const { return m_increment[pitchClass]; }
    bool NeedsUpdate() const { return m_needsUpdate; }
    std::int32_t MasterTuneOffset() const { return m_masterTuneOffset; }
    std::int32_t TuningOffset() const { return m_tuningOffset; }
    std::int32_t VibratoOffset() const { return m_vibratoOffset; }
    double LeftGain() const { return m_leftGain; }
    double RightGain() const { return m_rightGain; }
    double SawGain() const { return m_sawGain; }
    double SquareGain() const { return m_squareGain; }

private:
    void UpdateGains();

    std::uint32_t m_phase[kPitchClassCount] = {};
    std::int32_t m_increment[kPitchClassCount] = {};
    bool m_needsUpdate = true;
    std::int32_t m_masterTuneOffset = 0;
    std::int32_t m_tuningOffset = 0;
    std::int32_t m_vibratoOffset = 0;
    double m_level = 0.0;
    double m_pan = 0.0;
    double m_sawGain = 1.0;
    double m_squareGain = 0.0;
    double m_leftGain = 0.0;
    double m_rightGain = 0.0;
    double m_lastVibrato = 0.0;
};

// Triangle LFO that sways one bank's pitch; stepped once per control tick.
struct VibratoOscillator {
    double value = 0.0;      // -1..1, the last output
    double phase = 0.0;      // -1..1
    double increment = 0.0;  // phase step per control tick
    double depth = 0.0;      // 0..1 (1 swings +-1 semitone)

    // Rate in Hz (0..25), assuming about 1000 control ticks per second.
    void SetRate(double hz);
    void SetDepth(double x);
    // Triangle 2|phase| - 1 taken before the phase moves; returns the swing
    // value * depth.
    double Step();
};

// Index of a bank in OscillatorBanks.
enum BankIndex : int { kBankA = 0, kBankB = 1, kBankC = 2 };

// The three banks, their vibrato oscillators and the tables they share: what
// the render loop and the parameter routing talk to. Bank arguments outside
// 0..2 are ignored by the setters.
//
// Render loop use: SetSampleRate at a sample-rate change; UpdateAtControlTick
// at every control tick; per sample, each active voice calls
// ReadVoice(its VoiceKeys) (made by PrepareVoice at note start and whenever
// its transposes change), then AdvancePhases once after all voices.
class OscillatorBanks {
public:
    static constexpr int kBankCount = 3;
    using Transpose = std::array<int, kBankCount>;

    OscillatorBanks() = default;
    OscillatorBanks(const OscillatorBanks&) = delete;
    OscillatorBanks& operator=(const OscillatorBanks&) = delete;

    // Call when the sample rate (Hz) changes: rebuilds the increment and
    // table-level tables (the wave tables on first use in the process),
    // restarts every oscillator and vibrato at phase 0 and marks all banks
    // for update, so the next control tick sets the pitches. Allocation-free.
    void SetSampleRate(double sampleRate);

    // Parameter setters, values in the parameters' own units.
    void SetMasterTune(double x);              // -1..1, +-50 cents, all banks
    void SetTuning(int bank, double x);        // -1..1, +-50 cents
    void SetWaveMix(int bank, double x);       // 0 saw .. 1 square
    void SetLevel(int bank, double x);         // 0..1 linear
    void SetPan(int bank, double x);           // 0 left .. 1 right
    void SetVibratoRate(int bank, double hz);  // 0..25 Hz
    void SetVibratoDepth(int bank, double x);  // 0..1, 1 = +-1 semitone

    // Control tick: steps the vibratos and updates banks A, B, C in order.
    void UpdateAtControlTick();

    // How one voice reads the three banks: the key read of note + transpose
    // of each bank. Fixed while the voice's note and transposes stay; make it
    // anew when they change (a sample-rate change leaves old keys safe to
    // read, with the old rate's band limit).
    struct VoiceKeys {
        OscillatorTables::KeyRead read[kBankCount];
    };

    // Keys of a voice playing MIDI key note with bank transposes in
    // semitones; key indices outside 21..127 are silent in that bank.
    VoiceKeys PrepareVoice(int note, const Transpose& transpose) const
    {
        return {{KeyReadOf(note, transpose[kBankA]), KeyReadOf(note, transpose[kBankB]),
                 KeyReadOf(note, transpose[kBankC])}};
    }

    // Voice read-out for one sample: the sum of banks A, B, C. Allocation-,
    // branch- and division-free.
    StereoSample ReadVoice(const VoiceKeys& keys) const
    {
        StereoSample sum{0.0, 0.0};
        m_banks[kBankA].AddVoiceSample(keys.read[kBankA], sum);
        m_banks[kBankB].AddVoiceSample(keys.read[kBankB], sum);
        m_banks[kBankC].AddVoiceSample(keys.read[kBankC], sum);
        return sum;
    }

    // The same for a voice that does not keep its keys (slower by the key
    // look-ups).
    StereoSample ReadVoice(int note, const Transpose& transpose) const
    {
        return ReadVoice(PrepareVoice(note, transpose));
    }

    // Once per sample, after all voices have read.
    void AdvancePhases()
    {
        for (OscillatorBank& bank : m_banks) {
            bank.AdvancePhases();
        }
    }

    // AdvancePhases `frames` times (frames >= 0).
    void AdvancePhases(int frames)
    {
        for (OscillatorBank& bank : m_banks) {
            bank.AdvancePhases(frames);
        }
    }

    // Observers, bank 0..2.
    const OscillatorBank& Bank(int bank) const { return m_banks[bank]; }
    const VibratoOscillator& Vibrato(int bank) const { return m_vibratos[bank]; }
    const OscillatorTables& Tables() const { return m_tables; }

private:
    static bool IsBank(int bank) { return bank >= 0 && bank < kBankCount; }

    // Sums in 64 bits so that no note and transpose can overflow; every key
    // index outside 0..127 reads silence.
    const OscillatorTables::KeyRead& KeyReadOf(int note, int transpose) const
    {
        const long long key = static_cast<long long>(note) + transpose;
        return m_tables.ReadOf(
            static_cast<int>(std::min(std::max(key, -1LL), static_cast<long long>(kKeyCount))));
    }

    OscillatorTables m_tables;
    OscillatorBank m_banks[kBankCount];
    VibratoOscillator m_vibratos[kBankCount];
};
