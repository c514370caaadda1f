// The VORN product: identity, parameters, engine and state format over the
// Synth base.
//
// The engine and its timing are in engine/dsp/Engine.h; VORN adapts it to the
// plug-in: it routes the parameter records to it, hands it the host's MIDI
// (after MIDI learn and program changes), maps controllers to parameters and
// owns the ensemble buttons.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/EnsembleButtons.h"
#include "engine/dsp/Engine.h"
#include "engine/dsp/ParameterIds.h"
#include "synth/Synth.h"

inline constexpr int kVornPresetCount = 64;

class VORN : public Synth, private Engine::ControllerSink {
public:
    explicit VORN(audioMasterCallback hostCallback);

    // Hooks; thread rules as documented on IPluginBase (each runs with the
    // instance lock held).
    // Ends MIDI learn and resets the engine at the host's sample rate and
    // block size.
    void OnReset() override;
    // Hands the value of parameter index (its own unit) to the engine, or
    // for "Button State" to the ensemble buttons.
    void OnParameterChanged(int index) override;
    // Audio thread. Renders frames frames into outputs[0] (left) and
    // outputs[1] (right); inputs are ignored. No allocation, no lock.
    void RenderBlock(double** inputs, double** outputs, int frames) override;
    // Audio thread (from the dispatcher, before the block the message belongs
    // to). Sends the message back out under "MIDI Thru"; a controller below
    // 120 is captured while MIDI learn is active; program changes load the
    // program unless "Ignore Program Change" is on; the engine takes the
    // rest (Engine::Intake). Messages with a data byte above 127 are dropped.
    void HandleMidiMessage(const MidiMessage& message) override;
    bool WriteState(StateChunk& chunk) override;
    int ReadState(const StateChunk& chunk, int position) override;
    int ReadProgramState(const StateChunk& chunk, int position) override;
    // The tweak snapshot.
    void SaveProductState(StateChunk& chunk) const override;
    void RestoreProductState(const StateChunk& chunk) override;

    void DiscardQueuedMidi() override;

    // Identity the host sees.
    static PluginInfo Info();

    // The engine (tools and tests observe and configure it through this).
    Engine& Core() { return m_engine; }
    const Engine& Core() const { return m_engine; }
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
    void SetVintageVibe(bool on) { m_engine.Chain().SetVintageVibe(on); }
    bool VintageVibe() const { return m_engine.Chain().VintageVibe(); }

protected:
    // Brings the panel's button, tweak and status controls in line with the
    // engine (the product with its editor does; VORN alone has no panel).
    // Editor thread or under the instance lock; called after ensemble
    // presses and changes of "Button State".
    virtual void UpdateStatusControls() {}
    // Every parameter to its default through the editor path, the tweak
    // snapshot to the defaults, the current program named "Init", editor
    // and host refreshed.
    void InitialiseCurrentProgram() override;

private:
    // A controller mapped through the controller map: the parameter takes
    // value / 127 as its normalized value.
    void OnController(int controller, int value) override;

    Engine m_engine;
    EnsembleButtons m_ensemble;
};
