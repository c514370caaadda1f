// The signal chain after the voices: the voice mixer (two pre-filter
// sections, the VCF bus and the raw bus into a stereo mix bus), the master
// mixer (direct, organ+strings lowpass and chorus bandpass), bass and treble
// shelving, the phaser, the user-interface sounds and the master gain; plus
// the modulator that moves one of the chain's filters or every voice's VCF.
//
// Driving it (all on the audio thread, under the owner's lock):
//   SetSampleRate once per sample-rate change (allocates; sizes the chunk
//   buffers to one control period);
//   at each control tick UpdateModulation before the voices read
//   VcfModulationOffset, and UpdatePhaser after them;
//   per sample frame MixFrame with the voices' buses, then per chunk
//   RenderChunk into the host's buffers (or ProcessChunk for both).
// Parameter setters take the parameter's own unit and limit the value to
// its range (NaN counts as the minimum); they may be called at any time.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/dsp/BusFrame.h"
#include "engine/dsp/Filter.h"
#include "engine/dsp/Modulator.h"
#include "engine/dsp/Phaser.h"
#include "engine/dsp/PreFilter.h"
#include "engine/dsp/ShelvingFilter.h"
#include "engine/dsp/UiSoundPlayer.h"

class SignalChain {
public:
    // Corner frequencies of the bass and treble shelves, Hz.
    static constexpr double kBassFrequency = 480.0;
    static constexpr double kTrebleFrequency = 800.0;
    // Full-depth swing of each modulator destination: pitch steps of the VCF
    // cutoff (67.5 semitones), pre-filter shift units, Hz.
    static constexpr double kVcfModulationRange = 8640.0;
    static constexpr double kShiftModulationRange = 4.0;
    static constexpr double kFrequencyModulationRange = 5750.0;
    static constexpr double kMinFilterFrequency = 500.0;
    static constexpr double kMaxFilterFrequency = 12000.0;
    // Longest control period in samples (a 10 MHz sample rate).
    static constexpr int kMaxControlPeriod = 10000;

    // Adds `frames` samples of the user-interface sounds to both buffers.
    using UiSoundSource = void (*)(void* context, double* left, double* right, int frames);

    // Every parameter at its default; no buffers until SetSampleRate.
    SignalChain();
    SignalChain(const SignalChain&) = delete;
    SignalChain& operator=(const SignalChain&) = delete;

    // Whether a silent control period may be skipped: the stages before the
    // phaser replay their steady silent cycle (a period is a whole number of
    // cycles, so their state after it is what it was), everything they put
    // out is below `limit` in magnitude, the phaser's states are too, and no
    // user-interface sound can play. The chain's output for such a period
    // lies within about limit of 0.
    bool CanSkipSilentPeriod(double limit) const;
    // A skipped period's control tick: the modulator's and the phaser's LFOs
    // move on exactly as at a tick, without recomputing the filters they
    // steer (the next UpdateModulation and UpdatePhaser do that).
    void SkipControlTick(double modulationWheel);
    // After a skipped period (the states untouched): whether the next may be
    // skipped too, that is, no setting changed and no sound may play.
    bool SilentCycleStillHolds() const
    {
        return m_steady.valid && m_steady.generation == m_settingsGeneration &&
               !m_vintageVibe.load(std::memory_order_relaxed);
    }
    // What the skipped tick left out (the filters the LFOs steer), for a
    // period whose audio is computed after all from the middle on.
    void CompleteSkippedTick();

    // Reset for a new sample rate in Hz (the owner skips it when the rate is
    // unchanged, which keeps all sound state): the control period becomes
    // floor(floor(rate) / 1000) samples (1..kMaxControlPeriod) and the four chunk
    // buffers are allocated for it; filter states are cleared and all
    // coefficients recomputed for the rate.
    void SetSampleRate(double sampleRate);
    // Control period in samples: the longest chunk RenderChunk takes.
    int ControlPeriod() const { return m_controlPeriod; }

    // --- Parameters ---
    // "Master Volume" 0..2: master gain = 0.5 * volume / 2 (0.25 at 1).
    void SetMasterVolume(double volume);
    // "Bass", "Treble": shelf gain in dB, -20..20; exactly 0 bypasses.
    void SetBass(double gain)
    {
        m_bass.SetGain(gain);
        ++m_settingsGeneration;
    }
    void SetTreble(double gain)
    {
        m_treble.SetGain(gain);
        ++m_settingsGeneration;
    }
    // "Phaser Mode" (0 normal, 1 pan) and "Phaser Rate" 0..15 (0 is off).
    void SetPhaserMode(double mode) { m_phaser.SetMode(mode); }
    void SetPhaserRate(double rate) { m_phaser.SetRate(rate); }
    // Voice mixer levels 0..2 (linear gains): pre-filter 1 and 2, the VCF bus,
    // the raw bus.
    void SetPreFilter1Level(double level);
    void SetPreFilter2Level(double level);
    void SetVcfLevel(double level);
    void SetRawLevel(double level);
    // Master mixer levels 0..2 (linear gains).
    void SetOrganStringsLevel(double level);
    void SetChorusLevel(double level);
    void SetDirectLevel(double level);
    // Pre-filter shifts -4..4 (frequency factor 0.2..5); applied, with the
    // modulation, at the next control tick.
    void SetPreFilter1Shift(double shift);
    void SetPreFilter2Shift(double shift);
    // "Pre-Filter 1 Q" 0.5..10, effective at once.
    void SetPreFilter1Q(double q)
    {
        m_preFilter1.SetQ(q);
        ++m_settingsGeneration;
    }
    // Organ+strings and chorus filter frequencies, 500..12000 Hz; applied,
    // with the modulation, at the next control tick.
    void SetOrganStringsFrequency(double frequency);
    void SetChorusFrequency(double frequency);
    // "Chorus Filter Q" 0.5..10, effective at once.
    void SetChorusQ(double q);
    // "Modulator Destination" 0..4, "Modulator Source" 0..1, "Modulator
    // Rate" 0..25 Hz, "Modulator Depth" 0..1.
    // (The modulator reaches the chain's filters only through
    // UpdateModulation, which notes the changes it makes.)
    void SetModulatorDestination(double destination) { m_modulator.SetDestination(destination); }
    void SetModulatorSource(double source) { m_modulator.SetSource(source); }
    void SetModulatorRate(double rate) { m_modulator.SetRate(rate); }
    void SetModulatorDepth(double depth) { m_modulator.SetDepth(depth); }

    // The vintage-vibe switch: user-interface sounds are mixed into the output
    // while set. May be called from the editor thread.
    void SetVintageVibe(bool on) { m_vintageVibe.store(on, std::memory_order_relaxed); }
    bool VintageVibe() const { return m_vintageVibe.load(std::memory_order_relaxed); }
    // Where the user-interface sounds come from (null for none), e.g. a
    // function that calls UiSoundPlayer::AddTo; `context` is handed back to
    // it. Called on the audio thread from RenderChunk, after the phaser.
    void SetUiSoundSource(UiSoundSource source, void* context)
    {
        m_uiSoundSource = source;
        m_uiSoundContext = context;
    }
    // The same with a player (the process-wide one in the product; null for
    // none), which must outlive the chain.
    void SetUiSoundPlayer(UiSoundPlayer* player);

    // --- Control tick ---
    // Runs the modulator (wheel position 0..1 from MIDI controller 1) and
    // moves the pre-filter shifts and the master-mixer filter frequencies to
    // their parameter values plus modulation. Call before the voices update
    // their cutoffs.
    void UpdateModulation(double modulationWheel);
    // Offset to every voice's VCF cutoff, in pitch steps (1/128 semitone),
    // from the last UpdateModulation; 0 unless the VCF is the destination.
    double VcfModulationOffset() const { return m_vcfModulationOffset; }
    // Steps the phaser's LFO and coefficients; does nothing while the phaser
    // is off. Call at the end of the control tick.
    void UpdatePhaser();

    // --- Audio ---
    // Voice mixer for frame `frame` (0..ControlPeriod() - 1) of the current
    // chunk: adds the enabled pre-filters, the VCF bus and the raw bus into
    // the mix bus. Frames outside the chunk buffers are ignored.
    void MixFrame(const BusFrame& buses, int frame)
    {
        if (frame < 0 || frame >= m_controlPeriod) {
            return;
        }
        const std::size_t i = static_cast<std::size_t>(frame);
        StereoDouble mix = {m_mixLeft[i], m_mixRight[i]};
        if (m_preFilter1Level > 0.0) {
            mix += Broadcast(m_preFilter1Level) * m_preFilter1.Process(buses);
        }
        if (m_preFilter2Level > 0.0) {
            mix += Broadcast(m_preFilter2Level) * m_preFilter2.Process(buses);
        }
        if (m_vcfLevel > 0.0) {
            mix += Broadcast(m_vcfLevel) * Load(buses.bus[BusFrame::kVcfBus]);
        }
        if (m_rawLevel > 0.0) {
            mix += Broadcast(m_rawLevel) * Load(buses.bus[BusFrame::kRawBus]);
        }
        m_mixLeft[i] = mix[0];
        m_mixRight[i] = mix[1];
        m_mixWritten = true;
    }

    // MixFrame for frames 0..frames-1 of the chunk (frames beyond the
    // control period are ignored), one mixer source after the other over the
    // whole chunk; the same sums as MixFrame frame by frame.
    void MixChunk(const BusFrame* buses, int frames);

    // Master section over the first `frames` frames of the mix bus (at most
    // ControlPeriod(); more are cut to it): overwrites the host buffers with
    // output * master gain, then clears the mix bus for the next chunk.
    // Writes nothing before the first SetSampleRate.
    void RenderChunk(int frames, double* outLeft, double* outRight);

    // MixChunk and RenderChunk for a chunk whose buses are all 0 (no voice
    // sounded in it); `silentBuses` holds `frames` cleared bus frames. With
    // silent input the stages before the phaser (pre-filters, master-mixer
    // filters, bass and treble) are fed zeros, and only their alternating
    // anti-denormal offsets keep their states moving; after a while the
    // states often run through an exact cycle of a few frames. Once a chunk
    // has shown that (the whole state and the settings p frames before its
    // end equal those at its end, bit for bit, for an even p up to
    // kMaxCyclePeriod), the following silent chunks whose length is a
    // multiple of p replay those p frames' output instead of computing it,
    // until a setting changes or sound returns; the state stays as it is,
    // which is where the computation would have left it. The phaser, the
    // user-interface sounds and the master gain run as usual. Where no cycle
    // shows, the search backs off so that it costs little.
    void RenderSilentChunk(const BusFrame* silentBuses, int frames, double* outLeft, double* outRight);
    // Chunks RenderSilentChunk has replayed so far (tests, diagnostics).
    std::uint64_t ReplayedChunkCount() const { return m_replayedChunks; }

    // MixFrame for each of `frames` bus frames, then RenderChunk; chunks
    // longer than the control period are processed in pieces.
    void ProcessChunk(const BusFrame* buses, int frames, double* outLeft, double* outRight);

    // --- Observers (state display and tests) ---
    double MasterGain() const { return m_masterGain; }
    const PreFilter1& GetPreFilter1() const { return m_preFilter1; }
    const PreFilter2& GetPreFilter2() const { return m_preFilter2; }
    const LowPass6dB& GetOrganStringsFilter() const { return m_organStrings; }
    const BandPass& GetChorusFilter() const { return m_chorus; }
    const ShelvingFilter& GetBass() const { return m_bass; }
    const ShelvingFilter& GetTreble() const { return m_treble; }
    const Phaser& GetPhaser() const { return m_phaser; }
    const Modulator& GetModulator() const { return m_modulator; }

private:
    // Most values CaptureSteadyState writes.
    static constexpr int kSteadyStateSize = 320;
    // Longest cycle looked for, frames (even: the offsets alternate).
    static constexpr int kMaxCyclePeriod = 16;
    // Longest wait between two searches, silent chunks.
    static constexpr int kMaxSearchInterval = 64;

    // Voice mixer frames first..first+count-1.
    void MixRange(const BusFrame* buses, int first, int count);
    // Master section up to the treble filter over output frames
    // first..first+count-1 (from mix bus frames first..).
    void MasterBeforePhaser(int first, int count);
    // Phaser, user-interface sounds and master gain over n frames into the
    // host buffers; clears the mix bus.
    void MasterAfterTreble(int n, double* outLeft, double* outRight);
    // Writes, bit for bit, every state and setting the stages before the
    // phaser work with; returns the number of values.
    int CaptureSteadyState(double* values) const;
    // The modulator's effect on the filters it steers, m being its output
    // (only when modulated).
    void ApplyModulation(bool modulated, double m);

    double m_sampleRate = 0.0;
    int m_controlPeriod = 0;

    double m_preFilter1Level = 0.0;
    double m_preFilter2Level = 1.0;
    double m_vcfLevel = 0.0;
    double m_rawLevel = 0.0;
    double m_organStringsLevel = 0.0;
    double m_chorusLevel = 0.0;
    double m_directLevel = 1.0;
    // Parameter values before modulation.
    double m_preFilter1Shift = -1.0;
    double m_preFilter2Shift = 0.5;
    double m_organStringsFrequency = 9600.0;
    double m_chorusFrequency = 1160.0;

    Modulator m_modulator;
    double m_vcfModulationOffset = 0.0;
    // The modulator's output at the last skipped tick.
    bool m_skippedModulated = false;
    double m_skippedModulation = 0.0;
    double m_masterGain = 0.25;
    std::atomic<bool> m_vintageVibe{false};
    UiSoundSource m_uiSoundSource = nullptr;
    void* m_uiSoundContext = nullptr;

    PreFilter1 m_preFilter1;
    PreFilter2 m_preFilter2;
    LowPass6dB m_organStrings;
    BandPass m_chorus;
    ShelvingFilter m_bass{true};
    ShelvingFilter m_treble{false};
    Phaser m_phaser;

    // Counts changes of the settings of the stages before the phaser.
    std::uint64_t m_settingsGeneration = 0;
    // The steady cycle of silent input, when one has been found: its length
    // and the output before the phaser of its frames (left and right),
    // starting with the frame that follows the current state.
    struct SteadyCycle {
        bool valid = false;
        std::uint64_t generation = 0;
        int period = 0;
        double left[kMaxCyclePeriod] = {};
        double right[kMaxCyclePeriod] = {};
    };
    SteadyCycle m_steady;
    // Silent chunks to wait before the next search, and the wait after a
    // search that finds nothing (doubling up to kMaxSearchInterval).
    int m_searchCountdown = 0;
    int m_searchInterval = 1;
    // States captured every two frames at the end of a searched chunk.
    double m_captured[kMaxCyclePeriod / 2 + 1][kSteadyStateSize];
    std::uint64_t m_replayedChunks = 0;

    // Whether the mix bus may hold values other than 0.
    bool m_mixWritten = false;

    // Chunk buffers of one control period.
    std::vector<double> m_mixLeft;
    std::vector<double> m_mixRight;
    std::vector<double> m_outLeft;
    std::vector<double> m_outRight;
};
