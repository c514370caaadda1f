// The sound engine with its clock: MIDI intake, the control tick, chunked
// rendering and parameter routing over the oscillator banks, the voices and
// the signal chain. Knows nothing of the plug-in interface, files or windows;
// the product adapts it to the plug-in and serialises access to it (every
// call below runs under the product's instance lock).
//
// Engine timing. Work runs in chunks of at most one control period of
// P = floor(floor(sample rate) / 1000) samples; each period starts with a
// control tick (MIDI hand-over, modulation, banks, voice envelopes and
// cutoffs, phaser). Every event time lives on one clock, the position within
// the control period, so the host's block size never changes when a note
// sounds:
// - MIDI intake converts a message's offset o (frames from the start of the
//   coming block) to the period clock, x = o + the block's position in the
//   current period;
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

#include "core/MidiMessage.h"
#include "engine/dsp/BusFrame.h"
#include "engine/dsp/MidiQueue.h"
#include "engine/dsp/OscillatorBank.h"
#include "engine/dsp/SignalChain.h"
#include "engine/dsp/VoiceArray.h"
#include "engine/dsp/VoiceEventFifo.h"
#include "engine/dsp/VoiceFilter.h"

class Engine {
public:
    // Receives the controllers 0..119 (other than 1 and 64) when their control
    // tick comes, to drive mapped parameters. Audio thread.
    class ControllerSink {
    public:
        virtual void OnController(int controller, int value) = 0;

    protected:
        ~ControllerSink() = default;
    };

    // Every parameter at its default; silent until the first Reset.
    Engine();

    // Starts the engine afresh at sampleRate for blocks of up to
    // maxBlockSize frames: a new control period with the next frame, every
    // voice silent, the oscillators, modulators and phaser restarted, the
    // MIDI queue sized for the block (waiting messages kept). Rebuilds the
    // rate-dependent tables when the rate changed. Allocates; not on the
    // audio thread. Should an allocation throw, rendering stays silent.
    void Reset(double sampleRate, int maxBlockSize);

    // Parameter index (see ParameterIds.h) takes value, in the parameter's own
    // unit; "Button State" and the reserved parameters change nothing here.
    // Any thread that holds the owner's lock; never allocates.
    void SetParameter(int index, double value);

    // Whether the engine takes message at all: a channel message (note off
    // to pitch bend) with both data bytes at most 127.
    static bool Accepts(const MidiMessage& message);
    // Audio thread, before the block the message belongs to. Queues notes and
    // controllers by their offset; controllers 120 and 123 act at once; poly
    // pressure, program changes and messages it does not accept are ignored.
    // Negative offsets count as 0; offsets more than one second ahead wait
    // at that horizon. Never allocates: a flood beyond the queue's capacity
    // drops the latest-due messages.
    void Intake(const MidiMessage& message);
    // Controllers 120 and 123: pedal up, pending note events dropped, every
    // voice released.
    void AllNotesOff();
    // Forgets every MIDI message waiting for its control tick.
    void DiscardQueuedMidi() { m_queue.Clear(); }

    // Audio thread. Renders frames frames into left and right (overwritten);
    // silence before the first Reset. No allocation, no lock. True when
    // every frame was an idle continuation (all zeros); then, without
    // writeSilence, left and right are left as they were.
    bool Render(double* left, double* right, int frames, bool writeSilence = true);

    // Mapped controllers go to sink (null: dropped); not owned.
    void SetControllerSink(ControllerSink* sink) { m_controllerSink = sink; }

    // ---- Observers (tools and tests) ----
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
    const VoiceArray& Voices() const { return m_voices; }
    const OscillatorBanks& Banks() const { return m_banks; }
    SignalChain& Chain() { return m_chain; }
    const SignalChain& Chain() const { return m_chain; }
    const VoiceEventFifo& EventFifo() const { return m_eventFifo; }
    const MidiQueue& PendingMidi() const { return m_queue; }

    // Renders with the straightforward loop (every voice per frame, phases
    // advanced per frame) instead of the voice-by-voice stretches; the output
    // must be identical. For tests.
    void SetReferenceRendering(bool on) { m_referenceRendering = on; }
    // Whether silent periods may be skipped (see IdleTick); on by default,
    // off in reference rendering. The exact fast paths are compared with it
    // off.
    void SetIdleRendering(bool on) { m_idleRendering = on; }

private:
    // Tells the voices which buses the voice mixer reads.
    void UpdateBusUse();
    void ControlTick();
    // At the start of a control period: whether it may be rendered as an
    // idle continuation: no voice, no note event for it, no queued message
    // due within the `frames` frames left of the block, and a chain that has
    // decayed to its silent cycle below the dither level.
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
    MidiQueue m_queue;
    VoiceEventFifo m_eventFifo;
    ControllerSink* m_controllerSink = nullptr;

    double m_sampleRate = -1.0;      // Hz; -1 so that the first reset initialises
    std::int64_t m_horizon = 44100;  // samples MIDI may wait ahead
    int m_controlPeriod = 0;         // P, samples
    int m_countdown = 0;             // samples left in the current period
    std::int64_t m_controlTicks = 0;
    std::int64_t m_idlePeriods = 0;
    double m_modulationWheel = 0.0;
    // Raw, pre-filter 1 and pre-filter 2 levels: which buses are read.
    double m_rawLevel = 0.0;
    double m_preFilter1Level = 0.0;
    double m_preFilter2Level = 0.0;
    bool m_referenceRendering = false;
    bool m_idleRendering = true;
    bool m_idle = false;  // the current period's tick was skipped
    // The 14 buses of every frame of the current chunk (P frames).
    std::vector<BusFrame> m_busFrames;
    // Leading bus frames that may hold a voice's output (the rest are 0).
    int m_dirtyBusFrames = 0;
};
