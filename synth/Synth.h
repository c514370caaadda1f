// The maker's synthesizer base between the VST binding and a product: it
// announces every parameter to the product when the host switches processing
// on, owns the MIDI queue and the MIDI controller map, and is where MIDI
// learn, configuration and program commands live.
#pragma once

#include <atomic>

#include "core/IPluginVST.h"
#include "synth/MidiControllerMap.h"
#include "synth/MidiQueue.h"

class Synth : public IPluginVST {
public:
    Synth(audioMasterCallback hostCallback, const PluginInfo& info);

    // Compacts the MIDI queue and sizes it for the host's block size; ends
    // MIDI learn. UI thread (allocates).
    void OnReset() override;
    // Switched on: OnParameterChanged for every parameter in index order, so
    // engine state matches the values after anything the host did while the
    // plug-in was off. UI thread (some hosts: the audio thread).
    void OnActivation(bool active) override;
    // While MIDI learn is active this is where a touched parameter would be
    // captured. Any host thread; must not block or allocate.
    void OnParameterChanged(int index) override;

    // "MIDI Thru": incoming short messages are sent back out first.
    bool MidiThru() const { return m_midiThru.load(std::memory_order_relaxed); }
    void SetMidiThru(bool on) { m_midiThru.store(on, std::memory_order_relaxed); }
    // "Ignore Program Change": MIDI program changes do not load presets.
    bool IgnoreProgramChange() const { return m_ignoreProgramChange.load(std::memory_order_relaxed); }
    void SetIgnoreProgramChange(bool on) { m_ignoreProgramChange.store(on, std::memory_order_relaxed); }

    MidiControllerMap& ControllerMap() { return m_controllerMap; }
    const MidiControllerMap& ControllerMap() const { return m_controllerMap; }

    // MIDI learn is not available yet: never active.
    bool MidiLearnActive() const { return false; }
    // A controller below 120 arrived while MIDI learn was active: it becomes
    // the learned controller. Nothing to do while learn is unavailable.
    void CaptureLearnedController(int controller);

protected:
    MidiQueue& Queue() { return m_midiQueue; }
    const MidiQueue& Queue() const { return m_midiQueue; }

private:
    MidiQueue m_midiQueue;
    MidiControllerMap m_controllerMap;
    std::atomic<bool> m_midiThru{false};
    std::atomic<bool> m_ignoreProgramChange{false};
};
