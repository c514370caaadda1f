// What Synth needs of the panel's MIDI learn switch: when learn ends on its
// own (an assignment was made, or the plug-in was reset), the switch is
// shown off. The editor's switch control implements it; Synth holds a
// non-owning pointer, null until the editor is built.
#pragma once

class MidiLearnSwitch {
public:
    virtual ~MidiLearnSwitch() = default;
    // Shows the switch off (value 0) at the next redraw. Called with the
    // instance lock held, from the audio thread (MIDI intake, mapped
    // controllers) or the editor's thread: must not block or allocate.
    virtual void ShowLearnOff() = 0;
};
