// The maker's synthesizer base between the VST binding and a product: it
// announces every parameter to the product when the host switches processing
// on, and is where MIDI learn, configuration and program commands live.
#pragma once

#include "core/IPluginVST.h"

class Synth : public IPluginVST {
public:
    Synth(audioMasterCallback hostCallback, const PluginInfo& info);

    // Switched on: OnParameterChanged for every parameter in index order, so
    // engine state matches the values after anything the host did while the
    // plug-in was off. UI thread (some hosts: the audio thread).
    void OnActivation(bool active) override;
    // Any host thread; must not block or allocate.
    void OnParameterChanged(int index) override;
};
