#include "engine/VORN.h"

#include <algorithm>

#include "core/PluginFactory.h"
#include "engine/ParameterTable.h"

PluginInfo VORN::Info()
{
    PluginInfo info;
    info.effectName = "VORN";
    info.productName = "";
    info.vendorName = "Taskel Rorev";
    info.uniqueId = VstFourCC('v', 'o', 'r', 'n');
    info.version = 0x00010003;
    info.channelIO = "0-2";
    info.parameterCount = kParameterCount;
    info.presetCount = kVornPresetCount;
    info.usesStateChunks = true;
    info.isInstrument = true;
    info.doesMidi = true;
    return info;
}

VORN::VORN(audioMasterCallback hostCallback) : Synth(hostCallback, Info())
{
    DefineVornParameters(Parameters());
}

void VORN::OnReset()
{
    Synth::OnReset();
}

void VORN::OnParameterChanged(int index)
{
    Synth::OnParameterChanged(index);
}

void VORN::RenderBlock(double**, double** outputs, int frames)
{
    for (int i = 0; i < NumOutputs(); ++i) {
        std::fill_n(outputs[i], std::max(frames, 0), 0.0);
    }
}

void VORN::HandleMidiMessage(const MidiMessage&) {}

bool VORN::WriteState(StateChunk& chunk)
{
    return Synth::WriteState(chunk);
}

int VORN::ReadState(const StateChunk& chunk, int position)
{
    return Synth::ReadState(chunk, position);
}

IPluginVST* CreatePluginInstance(audioMasterCallback hostCallback)
{
    return new VORN(hostCallback);
}
