// One of the engine's 64 voices: the note it plays, its VCF and the two
// envelopes (VCF EG stepped per control tick, VCA EG per sample), and the
// per-voice copies of the note parameters. A voice owns no oscillator: it
// reads the shared banks at its key (see OscillatorBanks). VoiceArray holds
// the 64 voices and does note assignment and rendering.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/dsp/EnvelopeGenerator.h"
#include "engine/dsp/OscillatorBank.h"
#include "engine/dsp/ReproducibleMath.h"
#include "engine/dsp/VoiceFilter.h"

// Note bus 0..11 of MIDI key 0..127: keys up to 42 feed bus 0, then every
// four keys the next bus, keys from 83 on bus 11. Keys outside 0..127 take
// the nearest end.
int NoteBusOfKey(int key);

class Voice {
public:
    Voice() = default;

    // Note-on: key down, note, serial and bus; velocity factors
    // (d = velocity / 127 - 1; factor = d * amount + 1); key-track offset;
    // both envelopes triggered from their current level; one step of the VCF
    // EG; the cutoff set with `vcfModulationOffset` (pitch steps, from the
    // last control tick); the active flag refreshed. key 0..127, velocity
    // 0..127.
    void Start(int key, int velocity, std::int32_t serial, const OscillatorBanks& banks,
               double vcfModulationOffset);
    // Key up: both envelopes release (an envelope at level 0 goes idle),
    // unless force is false and the sustain pedal holds the voice.
    void Release(bool force);
    // Control tick of an active voice: steps the VCF EG, sets the cutoff and
    // refreshes the active flag. Inactive voices are left alone. Inline: it
    // runs for every voice at every tick.
    void ControlTick(double vcfModulationOffset)
    {
        if (!active) {
            return;
        }
        filterEnvelope.Step();
        filter.SetCutoff(CutoffPitch(vcfModulationOffset));
        active = !filterEnvelope.IsIdle() || !ampEnvelope.IsIdle();
    }
    // Back to silence after a sample-rate change: not active, not sustained,
    // serial 0, both envelopes idle at level 0 with the VCA EG stepped at
    // sampleRate steps per second; settings and filter state are kept.
    void Reset(double sampleRate, const OscillatorBanks& banks);

    // Straightforward read-out of one sample into buses: bank read, VCA EG
    // step and gain, raw bus, filter and VCF bus when used, note bus. Only
    // for an active voice.
    void RenderSample(const OscillatorBanks& banks, bool vcfEnabled, bool serialRouting, StereoPair* buses);

    // VCF cutoff pitch index for the current VCF EG level: cutoff index +
    // key-track offset + round(EG intensity * VCF velocity factor * level +
    // modulation offset).
    int CutoffPitch(double vcfModulationOffset) const
    {
        // Bound on the rounded term, far outside the usable 0..17280, so
        // that an absurd value can never overflow the integer sum.
        constexpr double kTermLimit = 1.0e6;
        double term = egIntensity * vcfVelocityFactor * filterEnvelope.Level() + vcfModulationOffset;
        term = std::isnan(term) ? 0.0 : std::clamp(term, -kTermLimit, kTermLimit);
        return cutoffIndex + keyTrackOffset + RoundHalfAway(term);
    }

    // Transposes of banks A, B, C in semitones; makes the bank keys anew.
    void SetTranspose(int bank, int semitones, const OscillatorBanks& banks);
    // Keys read from the banks for the current note and transposes.
    void PrepareKeys(const OscillatorBanks& banks) { keys = banks.PrepareVoice(note, transpose); }

    VoiceFilter filter;
    EnvelopeGenerator filterEnvelope;
    EnvelopeGenerator ampEnvelope;
    OscillatorBanks::Transpose transpose = {0, 0, 0};  // semitones per bank
    std::int32_t cutoffIndex = kMaxPitchIndex;         // pitch index of "VCF Cutoff"
    double velocityToVcfEg = 0.0;                      // 0..1
    double velocityToVcaEg = 0.0;                      // 0..1
    double keyTrack = 0.0;                             // pitch steps per semitone, 0..128
    double egIntensity = 0.0;                          // pitch steps, 0..17280
    double vcfVelocityFactor = 1.0;
    double vcaVelocityFactor = 1.0;
    bool active = false;  // either envelope not idle (refreshed at control ticks and note-on)
    bool keyDown = false;
    bool sustained = false;           // copy of the sustain pedal
    std::int32_t note = 0;            // MIDI key 0..127
    std::int32_t serial = 0;          // note-on number, larger is newer
    std::int32_t keyTrackOffset = 0;  // pitch steps
    std::int32_t bus = 0;             // note bus 0..11
    OscillatorBanks::VoiceKeys keys{};
};
