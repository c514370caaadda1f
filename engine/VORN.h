// The VORN product: identity, parameters, engine and state format over the
// Synth base.
#pragma once

#include "engine/ParameterIds.h"
#include "synth/Synth.h"

inline constexpr int kVornPresetCount = 64;

class VORN : public Synth {
public:
    explicit VORN(audioMasterCallback hostCallback);

    // Hooks; thread rules as documented on IPluginBase.
    void OnReset() override;
    void OnParameterChanged(int index) override;
    void RenderBlock(double** inputs, double** outputs, int frames) override;
    void HandleMidiMessage(const MidiMessage& message) override;
    bool WriteState(StateChunk& chunk) override;
    int ReadState(const StateChunk& chunk, int position) override;

    // Identity the host sees.
    static PluginInfo Info();
};
