// The VORN product: identity, parameters, engine and state format over the
// Synth base.
//
// Engine timing. Work runs in chunks of at most one control period of
// P = floor(floor(sample rate) / 1000) samples; each period starts with a
// control tick (MIDI hand-over, modulation, banks, voice envelopes and
// cutoffs, phaser). Every event time lives on one clock, the position within
// the control period, so the host's block size never changes when a note
// sounds:
// - MIDI intake converts a message's offset o (frames from the start of the
//   coming host block) to the period clock, x = o + the block's position in
//   the current period;
// - note events (note on/off, controller 64) for the current period, whose
//   tick has already run, go straight into the voice event FIFO at x; all
//   other messages wait in the MIDI queue, whose offsets count from the start
//   of the next control period;
// - the sample loop takes a FIFO event when the position within the period
//   reaches its offset, whatever chunk that position falls in.
// Controllers (and everything else that is not a note event) act at control
// ticks: at the tick of their period when they arrive before it, at the next
// tick when they arrive after it; those more than one period ahead are moved
// half a period later, which puts them at the tick nearest to their sample.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/EnsembleButtons.h"
#include "engine/ParameterIds.h"
#include "engine/VoiceEventFifo.h"
#include "engine/dsp/BusFrame.h"
#include "engine/dsp/OscillatorBank.h"
#include "engine/dsp/SignalChain.h"
#include "engine/dsp/VoiceArray.h"
#include "engine/dsp/VoiceFilter.h"
#include "synth/Synth.h"

inline constexpr int kVornPresetCount = 64;

class VORN : public Synth {
public:
    explicit VORN(audioMasterCallback hostCallback);

    // Hooks; thread rules as documented on IPluginBase.
    // Compacts the MIDI queue, starts a new control period with the next
    // frame and, when the sample rate changed, rebuilds the rate-dependent
    // tables and buffers, silences every voice and restarts the oscillators.
    void OnReset() override;
    // Turns the value of parameter index (its own unit) into engine state;
    // see ParameterRouting.cpp.
    void OnParameterChanged(int index) override;
    // Audio thread. Renders frames frames into outputs[0] (left) and
    // outputs[1] (right); inputs are ignored. Silence before the first
    // OnReset. No allocation, no lock but the instance lock.
    void RenderBlock(double** inputs, double** outputs, int frames) override;
    // Audio thread (from the dispatcher, before the block the message belongs
    // to). Queues notes and controllers by their offset, acts on controllers
    // 120/123 and program changes at once. Messages with a data byte above
    // 127 are dropped; negative offsets count as 0; offsets more than one
    // second ahead wait at that horizon. Never allocates: a flood beyond the
    // queue's capacity drops the latest-due messages.
    void HandleMidiMessage(const MidiMessage& message) override;
    bool WriteState(StateChunk& chunk) override;
    int ReadState(const StateChunk& chunk, int position) override;
    int ReadProgramState(const StateChunk& chunk, int position) override;
    // The tweak snapshot.
    void SaveProductState(StateChunk& chunk) const override;
    void RestoreProductState(const StateChunk& chunk) override;

    // Controllers 120 and 123: pedal up, pending note events dropped, every
    // voice released.
    virtual void AllNotesOff();

    // Identity the host sees.
    static PluginInfo Info();

    // ---- Engine observers (tools and tests) ----
    // Samples per control period; 0 before the first reset.
    int ControlPeriod() const { return m_controlPeriod; }
    // Samples left in the current control period (0: the next frame starts
    // one).
    int Countdown() const { return m_countdown; }
    // Control ticks run since construction.
    std::int64_t ControlTickCount() const { return m_controlTicks; }
    // Control periods rendered as idle continuations since construction.
    std::int64_t IdlePeriodCount() const { return m_idlePeriods; }
    // Modulation wheel 0..1 (controller 1).
    double ModulationWheel() const { return m_modulationWheel; }
    // "Button State" as last set (the ensemble buttons use it).
    int ButtonState() const { return m_ensemble.Bits(); }

    // ---- Ensemble buttons ----
    // Editor thread: a click on an ensemble button (mask from EnsembleMask,
    // or kTweakModeMask for Tweak Mode); toggle when the right button or a
    // modifier key was held. Takes the instance lock.
    void PressEnsembleButton(int mask, bool toggle);
    EnsembleButtons& Ensemble() { return m_ensemble; }
    const EnsembleButtons& Ensemble() const { return m_ensemble; }

    // The vintage-vibe switch: knob turns and button presses make click
    // noises. Set from the editor thread, read by the audio thread.
    void SetVintageVibe(bool on) { m_chain.SetVintageVibe(on); }
    bool VintageVibe() const { return m_chain.VintageVibe(); }
    const VoiceArray& Voices() const { return m_voices; }
    const OscillatorBanks& Banks() const { return m_banks; }
    const SignalChain& Chain() const { return m_chain; }
    const VoiceEventFifo& EventFifo() const { return m_eventFifo; }
    const MidiQueue& PendingMidi() const { return Queue(); }

    // Renders with the straightforward loop (every voice per frame, phases
    // advanced per frame) instead of the voice-by-voice stretches; the output
    // must be identical. For tests.
    void SetReferenceRendering(bool on) { m_referenceRendering = on; }
    // Whether silent periods may be skipped (see RenderIdlePeriods); on by
    // default, off in reference rendering. The exact fast paths are compared
    // with it off.
    void SetIdleRendering(bool on) { m_idleRendering = on; }

private:
    // Parameter index to engine state; value in the parameter's own unit.
    void RouteParameter(int index, double value);
    // Brings the panel's button, tweak and status controls in line with the
    // engine; nothing until the panel exists.
    void UpdateStatusControls() {}
    // Tells the voices which buses the voice mixer reads.
    void UpdateBusUse();
    // A controller mapped through the controller map: the parameter takes
    // value / 127 as its normalized value.
    void ApplyMappedController(int controller, int value);

    void ControlTick();
    // At the start of a control period: whether it may be rendered as an
    // idle continuation: no voice, no note event for it, no queued message
    // due within the `frames` frames left of the host's block, and a chain
    // that has decayed to its silent cycle below the dither level.
    bool CanIdle(int frames);
    // The tick of a period rendered as idle continuation: the clocks move on
    // exactly (MIDI queue, modulator, vibratos and oscillator pitches, phaser
    // LFO); what they steer is left for the next full tick. The period's
    // frames then only advance the oscillators, its output stays 0 (what the
    // chain would put out is below 1e-12) and the chain's states stay put.
    void IdleTick();
    void TakeQueuedMidi();
    void RenderChunk(int start, int frames, double* left, double* right);
    void DispatchEvent(const MidiMessage& event);
    // Position of the next frame within the control period.
    int PeriodPosition() const { return m_countdown > 0 ? m_controlPeriod - m_countdown : 0; }
    // Queues a message at position x of the period clock; note events for
    // the current period go to the FIFO directly.
    void Enqueue(MidiMessage message, std::int64_t x, bool noteEvent);

    OscillatorBanks m_banks;
    CutoffTable m_cutoffTable;
    VoiceArray m_voices{m_banks, m_cutoffTable};
    SignalChain m_chain;
    VoiceEventFifo m_eventFifo;

    double m_sampleRate = -1.0;  // Hz; -1 so that the first reset initialises
    int m_controlPeriod = 0;     // P, samples
    int m_countdown = 0;         // samples left in the current period
    std::int64_t m_controlTicks = 0;
    std::int64_t m_idlePeriods = 0;
    double m_modulationWheel = 0.0;
    EnsembleButtons m_ensemble;
    bool m_referenceRendering = false;
    bool m_idleRendering = true;
    bool m_idle = false;  // the current period's tick was skipped
    // The 14 buses of every frame of the current chunk (P frames).
    std::vector<BusFrame> m_busFrames;
    // Leading bus frames that may hold a voice's output (the rest are 0).
    int m_dirtyBusFrames = 0;
};
