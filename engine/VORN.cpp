#include "engine/VORN.h"

#include <algorithm>
#include <cmath>

#include "core/PluginEditor.h"
#include "engine/ParameterTable.h"
#include "engine/UiSoundResources.h"
#include "engine/VornState.h"
#include "engine/dsp/UiSoundPlayer.h"

namespace {

constexpr int kController = 0xB;
constexpr int kProgramChange = 0xC;
constexpr int kFirstModeController = 120;

}  // namespace

PluginInfo VORN::Info()
{
    PluginInfo info;
    info.effectName = "VORN";
    info.productName = "";
    info.vendorName = "Taskel Rorev";
    info.uniqueId = VstFourCC('v', 'o', 'r', 'n');
    info.version = VORN_VERSION_PACKED;
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
    // Read again: the base's reading is skipped when it could not create the
    // file.
    ReadConfiguration();
    DefineVornParameters(Parameters());
    LoadUiSoundResources();
    m_engine.Chain().SetUiSoundPlayer(&UiSoundPlayer::Instance());
    m_engine.SetControllerSink(this);
    // Engine state follows the declared defaults from the start.
    ApplyAllParameters();
    LoadStartupOrFactoryBank();
}

// ---- Engine ------------------------------------------------------------------------

void VORN::OnReset()
{
    Synth::OnReset();
    m_engine.Reset(SampleRate(), BlockSize());
}

void VORN::OnParameterChanged(int index)
{
    Synth::OnParameterChanged(index);
    const Parameter* parameter = GetParameter(index);
    if (parameter == nullptr) {
        return;
    }
    if (index == kButtonState) {
        // Only the bits are stored: recipes are applied by button presses.
        m_ensemble.StoreButtonState(parameter->Value());
        UpdateStatusControls();
        return;
    }
    m_engine.SetParameter(index, parameter->Value());
}

void VORN::OnController(int controller, int value)
{
    const int index = ControllerMap().ParameterFor(controller);
    const Parameter* parameter = GetParameter(index);
    if (parameter == nullptr || index >= kParameterCount) {
        return;
    }
    const double normalized = value / 127.0;
    if (normalized == parameter->Normalized()) {
        return;
    }
    WriteParameter(index, normalized, true, ChangeSource::Product);
}

void VORN::HandleMidiMessage(const MidiMessage& message)
{
    if (MidiThru()) {
        SendMidiMessage(message);
    }
    if (!Engine::Accepts(message)) {
        return;
    }
    const int kind = message.status >> 4;
    if (kind == kController && message.data1 < kFirstModeController && MidiLearnActive()) {
        CaptureLearnedController(message.data1);
    } else if (kind == kProgramChange) {
        if (!IgnoreProgramChange()) {
            LoadPreset(message.data1);
        }
    } else {
        m_engine.Intake(message);
    }
}

void VORN::DiscardQueuedMidi()
{
    InstanceLock lock(InstanceMutex());
    m_engine.DiscardQueuedMidi();
}

void VORN::RenderBlock(double**, double** outputs, int frames)
{
    if (NumOutputs() >= 2 && m_engine.Render(outputs[0], outputs[1], frames, !SilenceMayStayUnwritten())) {
        MarkBlockSilent();
    }
}

// ---- State ------------------------------------------------------------------------

bool VORN::WriteState(StateChunk& chunk)
{
    return WriteVornState(*this, m_ensemble.Snapshot(), chunk);
}

int VORN::ReadState(const StateChunk& chunk, int position)
{
    return ReadVornState(*this, m_ensemble.Snapshot(), chunk, position);
}

int VORN::ReadProgramState(const StateChunk& chunk, int position)
{
    bool valuesCut = false;
    const int after = ReadVornState(*this, m_ensemble.Snapshot(), chunk, position, &valuesCut);
    return after < 0 && valuesCut ? kStateValuesCut : after;
}

void VORN::SaveProductState(StateChunk& chunk) const
{
    for (double entry : m_ensemble.Snapshot()) {
        chunk.PutValue(entry);
    }
}

void VORN::RestoreProductState(const StateChunk& chunk)
{
    int position = 0;
    for (double& entry : m_ensemble.Snapshot()) {
        position = chunk.GetValue(entry, position);
    }
}

void VORN::InitialiseCurrentProgram()
{
    InstanceLock lock(InstanceMutex());
    BulkUpdate bulk(*this);
    InitialiseProgram(Parameters(), m_ensemble.Snapshot(), [this](int index, double normalized) {
        if (PluginEditor* editor = Editor()) {
            editor->SetParameterFromPlug(index, normalized, true);
        }
        SetParameterFromEditor(index, normalized);
    });
    ModifyCurrentPreset("Init");
    PushParametersToEditor();
    NotifyHostAllParameters();
}

void VORN::PressEnsembleButton(int mask, bool toggle)
{
    InstanceLock lock(InstanceMutex());
    BulkUpdate bulk(*this);
    PluginEnsembleTarget target(*this, VintageVibe(), [this] { UpdateStatusControls(); });
    m_ensemble.Press(mask, toggle, target);
}
