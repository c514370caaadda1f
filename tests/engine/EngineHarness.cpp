#include "EngineHarness.h"

#include "engine/ParameterTable.h"

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float)
{
    return 0;
}

void StartFromInitialisedProgram(VORN& plugin)
{
    InstanceLock lock(plugin.InstanceMutex());
    InitialiseProgram(plugin.Parameters(), plugin.Ensemble().Snapshot());
    for (int i = 0; i < plugin.NumParameters(); ++i) {
        plugin.OnParameterChanged(i);
    }
    plugin.ControllerMap().Clear();
    plugin.SetMidiThru(false);
    plugin.SetIgnoreProgramChange(false);
}

EngineHarness::EngineHarness(double sampleRate, int maxBlockSize)
    : m_plugin(std::make_unique<VORN>(&SilentHost))
{
    StartFromInitialisedProgram(*m_plugin);
    m_plugin->SetSampleRate(sampleRate);
    m_plugin->SetBlockSize(maxBlockSize);
    m_plugin->OnReset();
    m_plugin->OnActivation(true);
}

void EngineHarness::Set(int index, double value)
{
    m_plugin->GetParameter(index)->SetClamped(value);
    m_plugin->OnParameterChanged(index);
}

void EngineHarness::Deliver(const MidiMessage& message)
{
    m_plugin->HandleMidiMessage(message);
}

void EngineHarness::RenderBlock(double* left, double* right, int frames)
{
    double* outputs[2] = {left, right};
    m_plugin->RenderBlock(nullptr, outputs, frames);
}
