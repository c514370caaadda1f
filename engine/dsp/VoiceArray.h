// The engine's 64 voices: note assignment (same key, else a free voice, else
// the oldest note), note on and off, the sustain pedal, all notes off, the
// voice part of the control tick, parameter distribution to every voice, and
// rendering the voices into the 14 buses.
//
// Rendering works on chunks of at most one control period. Within a chunk the
// bank phases stand at the chunk's first frame (the owner advances them after
// the chunk), and the owner renders the frames between two note events with
// one Render call each. Render reads the voices over the whole stretch of
// frames, a voice (or four side by side, see VoiceReadout) at a time,
// instead of all voices per frame; every bus
// still receives its voices' additions in voice order for every frame, so
// the result is bit for bit that of RenderFrameReference called per frame.
// The speed comes from layout and skipped work, not from other arithmetic:
// each bank's saw/square mix is premixed into one table per level (the same
// products and sum, computed once per wave mix change), a VCA envelope that
// holds its level is not stepped per frame, additions to buses the voice
// mixer does not read are left out, and with the VCF in use the filters run
// frame by frame across the voices so that their long recursions overlap.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/dsp/BusFrame.h"
#include "engine/dsp/OscillatorBank.h"
#include "engine/dsp/Voice.h"
#include "engine/dsp/VoiceFilter.h"
#include "engine/dsp/VoiceFilterBank.h"
#include "engine/dsp/VoiceReadout.h"
#include "engine/dsp/WaveTables.h"

class VoiceArray {
public:
    static constexpr int kVoiceCount = 64;

    // Voices idle, their filters using `table`; both objects must outlive the
    // array.
    VoiceArray(const OscillatorBanks& banks, const CutoffTable& table);
    VoiceArray(const VoiceArray&) = delete;
    VoiceArray& operator=(const VoiceArray&) = delete;

    // Sample-rate change (Hz): every voice silenced and reset, the serial
    // counter 0, scratch buffers sized for chunks of controlPeriod frames.
    // Allocates; not for the render path.
    void Reset(double sampleRate, int controlPeriod);

    // ---- Notes (at the event's sample; key and velocity 0..127) ----
    void NoteOn(int key, int velocity);
    void NoteOff(int key);
    // Controller 64: every voice takes the pedal state; lifting the pedal
    // releases every voice whose key is up.
    void SetSustainPedal(bool down);
    // Controllers 120 and 123: pedal up, then every voice released (with the
    // "VORN-2000 Sustain" tails cut to the normal release).
    void AllNotesOff();

    // Control tick, after the modulator: `vcfModulationOffset` (pitch steps)
    // is kept for note-ons until the next tick.
    void ControlTick(double vcfModulationOffset);

    // Adds the active voices' output for chunk frames begin..end-1 into
    // frames[begin..end-1], with the bank phases as at chunk frame 0.
    // end - begin must not exceed the control period given to Reset.
    // Returns whether any voice was active (else nothing was written).
    bool Render(int begin, int end, BusFrame* frames);
    // The straightforward per-frame loop: every active voice reads the banks
    // at their current phases and adds into frame. For tests and as the
    // definition Render must match.
    void RenderFrameReference(BusFrame& frame);

    // ---- Parameters (each parameter's own unit), to all voices ----
    void SetVcaAttack(double x);
    void SetVorn2000Sustain(double x);
    void SetVelocityToVcfEg(double x);
    void SetVelocityToVcaEg(double x);
    // Bank 0..2 transpose in semitones, truncated toward zero.
    void SetTranspose(int bank, double semitones);
    void SetFilterArrangement(double x);  // serial for x >= 0.5
    void SetVcfLevel(double x);           // VCF in use for x > 0
    void SetVcfType(double x);            // highpass for x >= 0.5
    void SetVcfCutoff(double x);          // 0..1, pitch index round(x * 17280)
    void SetVcfPeak(double x);            // 0..1
    void SetVcfKeyTrack(double x);        // 0..1, round(x * 128) steps per semitone
    void SetVcfEgIntensity(double x);     // 0..1, round(x * 17280) pitch steps
    void SetVcfEgAttack(double x);
    void SetVcfEgDecay(double x);
    void SetVcfEgSustain(double x);
    void SetVcfEgRelease(double x);
    void SetVcaDecay(double x);
    void SetVcaSustain(double x);
    void SetVcaRelease(double x);

    // Takes the banks' wave mixes; the premixed table levels are remixed
    // lazily, when a voice reads one. Call after a wave mix change (Render
    // does too, as a safety net). Cheap and allocation-free.
    void UpdateWaveMixTables();
    // Whether the voice mixer reads the raw bus and the note buses; Render
    // (not RenderFrameReference) leaves out the additions to unread buses.
    void SetBusUse(bool rawBus, bool noteBuses);

    // ---- Observers ----
    const Voice& GetVoice(int index) const { return m_voices[static_cast<std::size_t>(index)]; }
    int ActiveCount() const;
    bool AnyActive() const;
    bool SustainPedal() const { return m_sustainPedal; }
    std::int32_t SerialCounter() const { return m_serialCounter; }
    bool VcfEnabled() const { return m_vcfEnabled; }
    bool SerialRouting() const { return m_serialRouting; }

private:
    void SetEnvelopeParameter(EnvelopeGenerator Voice::*envelope, void (EnvelopeGenerator::*set)(double),
                              double x);
    int ChooseVoice(int key) const;
    // Keeps the serial counter from overflowing: renumbers the voices 1..64
    // in note-on order.
    void RenumberSerials();
    // The banks as the voices read them from a stretch's first frame on:
    // per pitch class the phase there and the increment, and the gains.
    struct BankFrame {
        std::uint32_t phase[OscillatorBank::kPitchClassCount];
        std::uint32_t increment[OscillatorBank::kPitchClassCount];
        double leftGain;
        double rightGain;
    };
    // The banks at chunk frame begin (the bank phases stand at chunk frame 0).
    void TakeBanks(int begin, BankFrame* banks) const;
    // Fills `read`: how the voice reads the banks over the `count` frames of
    // the stretch, its envelope stepped over them (the gains stored in
    // `gain`, unless constant); `unfiltered` is the voice's row for its
    // filter from the stretch's first frame, or null.
    void PrepareReadout(Voice& voice, int count, const BankFrame* banks, double* gain, double* unfiltered,
                        VoiceReadout::Voice& read);
    // A bank's wave mix.
    struct WaveGains {
        double saw;
        double square;
    };
    static bool Same(const WaveGains& x, const WaveGains& y)
    {
        return x.saw == y.saw && x.square == y.square;
    }
    // The premixed table of one bank and wave level for the bank's current
    // gains, mixed now if it was mixed for other gains (one level: 4096
    // multiply-adds).
    inline const double* PremixedLevel(int bank, int level);
    // The lookup behind PremixedLevel: another bank's table with the same
    // gains, or this bank's, mixed now when it was mixed for other gains.
    const double* MixLevel(int bank, int level);

    const OscillatorBanks& m_banks;
    std::array<Voice, kVoiceCount> m_voices;
    bool m_vcfEnabled = false;
    bool m_serialRouting = false;
    bool m_sustainPedal = false;
    bool m_rawBusUsed = true;
    bool m_noteBusesUsed = true;
    std::int32_t m_serialCounter = 0;
    double m_vcfModulationOffset = 0.0;

    int m_controlPeriod = 0;
    // Per active voice (kVoiceCount rows of m_controlPeriod): the VCA gain
    // per frame of the current stretch, for voices whose envelope moves.
    std::vector<double> m_gain;
    // With the VCF in use: each voice's unfiltered output per frame
    // (kVoiceCount rows of m_controlPeriod pairs), filtered frame by frame
    // across the voices afterwards.
    std::vector<double> m_unfiltered;
    // Per bank, every wave table level with the bank's saw and square gains
    // applied (saw * saw gain + square * square gain, as the bank computes
    // it per sample), so a voice reads one value per bank and sample; then
    // 0.0 for silent keys. Remixed only when a wave mix changes.
    std::vector<double> m_premixed;
    const double* m_silence = nullptr;
    const double* m_waveLevel0 = nullptr;  // the first wave table level
    // The gains each bank's levels were mixed for, and the bank's current
    // gains (taken by UpdateWaveMixTables).
    WaveGains m_premixedFor[OscillatorBanks::kBankCount][WaveTables::kLevelCount];
    WaveGains m_bankGains[OscillatorBanks::kBankCount];
    // Per bank and level, the table PremixedLevel found for the current
    // gains; null until asked for after a change.
    std::array<std::array<const double*, WaveTables::kLevelCount>, OscillatorBanks::kBankCount>
        m_levelTable{};
};
