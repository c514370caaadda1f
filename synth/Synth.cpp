#include "synth/Synth.h"

Synth::Synth(audioMasterCallback hostCallback, const PluginInfo& info) : IPluginVST(hostCallback, info) {}

void Synth::OnReset()
{
    InstanceLock lock(InstanceMutex());
    m_midiQueue.Reset(BlockSize());
}

void Synth::OnActivation(bool active)
{
    InstanceLock lock(InstanceMutex());
    if (!active) {
        return;
    }
    for (int i = 0; i < NumParameters(); ++i) {
        OnParameterChanged(i);
    }
}

void Synth::OnParameterChanged(int index)
{
    IPluginVST::OnParameterChanged(index);
}

void Synth::CaptureLearnedController(int) {}
