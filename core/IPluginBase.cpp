#include "core/IPluginBase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/PluginEditor.h"
#include "core/Text.h"

namespace {

constexpr char kUserPresetName[] = "user preset";
constexpr float kStateTolerance = 0.00001f;

}  // namespace

IPluginBase::IPluginBase(const PluginInfo& info)
    : m_uniqueId(info.uniqueId),
      m_version(info.version),
      m_usesStateChunks(info.usesStateChunks),
      m_isInstrument(info.isInstrument),
      m_doesMidi(info.doesMidi),
      m_parameters(static_cast<std::size_t>(std::max(info.parameterCount, 0))),
      m_presets(static_cast<std::size_t>(std::max(info.presetCount, 0)))
{
    CopyText(m_effectName, info.effectName);
    CopyText(m_productName, info.productName);
    CopyText(m_vendorName, info.vendorName);
    for (Preset& preset : m_presets) {
        CopyText(preset.name, "empty");
    }
    ParseChannelIO(info.channelIO);
}

IPluginBase::~IPluginBase()
{
    m_editor.reset();
}

void IPluginBase::ParseChannelIO(const char* description)
{
    int maxInputs = 0;
    int maxOutputs = 0;
    const char* p = description == nullptr ? "" : description;
    const char* end = p + BoundedLength(p, 1024);
    while (p < end) {
        while (p < end && *p == ' ') {
            ++p;
        }
        ChannelIO io{};
        std::from_chars_result in = std::from_chars(p, end, io.inputs);
        if (in.ec != std::errc() || in.ptr >= end || *in.ptr != '-') {
            break;
        }
        std::from_chars_result out = std::from_chars(in.ptr + 1, end, io.outputs);
        if (out.ec != std::errc()) {
            break;
        }
        io.inputs = std::clamp(io.inputs, 0, kMaxChannels);
        io.outputs = std::clamp(io.outputs, 0, kMaxChannels);
        m_channelIO.push_back(io);
        maxInputs = std::max(maxInputs, io.inputs);
        maxOutputs = std::max(maxOutputs, io.outputs);
        p = out.ptr;
    }
    m_inputs.resize(static_cast<std::size_t>(maxInputs));
    m_outputs.resize(static_cast<std::size_t>(maxOutputs));
    m_inputSlots.assign(m_inputs.size(), nullptr);
    m_outputSlots.assign(m_outputs.size(), nullptr);
}

// ---- Hooks -----------------------------------------------------------------

void IPluginBase::OnReset() {}

void IPluginBase::OnParameterChanged(int) {}

void IPluginBase::RenderBlock(double** inputs, double** outputs, int frames)
{
    const std::size_t count = static_cast<std::size_t>(std::max(frames, 0));
    for (int i = 0; i < NumOutputs(); ++i) {
        if (i < NumInputs()) {
            std::memmove(outputs[i], inputs[i], count * sizeof(double));
        } else {
            std::fill_n(outputs[i], count, 0.0);
        }
    }
}

void IPluginBase::OnEditorOpened() {}

void IPluginBase::OnEditorClosed() {}

void IPluginBase::OnIdleTick() {}

void IPluginBase::OnActivation(bool) {}

void IPluginBase::HandleMidiMessage(const MidiMessage& message)
{
    SendMidiMessage(message);
}

void IPluginBase::HandleSysEx(const SysExMessage&) {}

bool IPluginBase::GetNoteName(int, char* text, int capacity)
{
    CopyText(text, capacity, "");
    return false;
}

bool IPluginBase::WriteState(StateChunk& chunk)
{
    return SerializeParams(chunk);
}

int IPluginBase::ReadState(const StateChunk& chunk, int position)
{
    return UnserializeParams(chunk, position);
}

bool IPluginBase::StateEquals(std::span<const double> values, int position) const
{
    InstanceLock lock(m_mutex);
    if (position < 0 || static_cast<std::size_t>(position) + m_parameters.size() > values.size()) {
        return false;
    }
    for (std::size_t i = 0; i < m_parameters.size(); ++i) {
        float live = static_cast<float>(m_parameters[i].Value());
        float stored = static_cast<float>(values[static_cast<std::size_t>(position) + i]);
        if (!(std::fabs(live - stored) < kStateTolerance)) {
            return false;
        }
    }
    return true;
}

void IPluginBase::OnEditorResized() {}

void IPluginBase::OnHostKnown() {}

void IPluginBase::SetParameterFromEditor(int index, double normalized)
{
    WriteParameter(index, normalized, true, ChangeSource::Editor);
}

void IPluginBase::WriteParameter(int index, double value, bool normalized, ChangeSource source)
{
    InstanceLock lock(m_mutex);
    WriteParameterLocked(index, value, normalized, source);
}

void IPluginBase::WriteParameterLocked(int index, double value, bool normalized, ChangeSource source)
{
    if (!IsValidParameter(index) || std::isnan(value)) {
        return;
    }
    Parameter& parameter = m_parameters[static_cast<std::size_t>(index)];
    if (normalized) {
        value = std::clamp(value, 0.0, 1.0);
    }
    if (source != ChangeSource::Editor && m_editor) {
        m_editor->SetParameterFromPlug(index, value, normalized);
    }
    if (normalized) {
        parameter.SetFromNormalized(value);
    } else {
        parameter.SetClamped(value);
    }
    if (source != ChangeSource::Host) {
        // The host hears the normalized value handed in, not one recomputed.
        NotifyHostParameter(index, normalized ? value : parameter.Normalized());
    }
    OnParameterChanged(index);
}

bool IPluginBase::ResizeHostWindow(int, int)
{
    return false;
}

bool IPluginBase::IsRenderingOffline()
{
    return false;
}

HostKind IPluginBase::GetHostKind()
{
    return m_hostKind;
}

void IPluginBase::OnHostOpen() {}

void IPluginBase::AttachEditor(std::unique_ptr<PluginEditor> editor)
{
    if (!editor) {
        return;
    }
    InstanceLock lock(m_mutex);
    for (int i = 0; i < NumParameters(); ++i) {
        editor->ApplyPlugValues(i, m_parameters[static_cast<std::size_t>(i)].Normalized());
    }
    editor->PrepareDrawing();
    m_editor = std::move(editor);
}

void IPluginBase::SetLatency(int frames)
{
    m_latency = frames;
}

bool IPluginBase::SendSysEx(const SysExMessage&)
{
    return false;
}

void IPluginBase::PushParametersToEditor()
{
    InstanceLock lock(m_mutex);
    if (!m_editor) {
        return;
    }
    for (int i = 0; i < NumParameters(); ++i) {
        m_editor->SetParameterFromPlug(i, m_parameters[static_cast<std::size_t>(i)].Value(), false);
    }
}

bool IPluginBase::ReadRecords(const StateChunk& chunk, int& position, int records)
{
    ++m_deferChanges;
    struct Resume {
        int& depth;
        ~Resume() { --depth; }
    } resume{m_deferChanges};
    for (int k = 0; k < records; ++k) {
        Preset& preset = m_presets[static_cast<std::size_t>(k)];
        char name[kPresetNameSize] = {};
        const int afterName = chunk.GetString(name, kPresetNameSize, position);
        std::uint8_t initialised = 0;
        if (afterName < 0 || chunk.GetValue(initialised, afterName) < 0) {
            return false;
        }
        position = afterName + 1;
        CopyText(preset.name, name);
        preset.initialised = initialised != 0;
        if (!preset.initialised) {
            continue;
        }
        position = ReadState(chunk, position);
        if (position <= 0) {
            return false;
        }
        preset.state.Clear();
        WriteState(preset.state);
    }
    return true;
}

int IPluginBase::UnserializePresets(const StateChunk& chunk, int position, int count)
{
    InstanceLock lock(m_mutex);
    BulkUpdate bulk(*this);
    const int records = count < 0 ? NumPresets() : std::min(count, NumPresets());
    if (position < 0 || records <= 0) {
        return -1;
    }
    // Read into the slots directly, but take everything back when a record
    // fails: a bank is loaded whole or not at all.
    const Snapshot before = TakeSnapshot();
    if (!ReadRecords(chunk, position, records)) {
        RestoreSnapshot(before);
        return -1;
    }
    int current = m_currentPreset;
    const int left = chunk.Size() - position;
    if (left > 0 && left < kCurrentPresetTrailerSize) {
        // The trailer (or whatever follows the records) is cut off.
        RestoreSnapshot(before);
        return -1;
    }
    char marker[4] = {};
    std::int32_t saved = -1;
    if (chunk.Get(marker, 4, position) >= 0 && std::memcmp(marker, kCurrentPresetMarker, 4) == 0 &&
        chunk.GetValue(saved, position + 4) >= 0) {
        position += kCurrentPresetTrailerSize;
        if (saved >= 0 && saved < NumPresets()) {
            current = saved;
        }
    }
    LoadPreset(current);
    return position;
}

int IPluginBase::ReadProgramState(const StateChunk& chunk, int position)
{
    return ReadState(chunk, position);
}

void IPluginBase::SaveProductState(StateChunk&) const {}

void IPluginBase::RestoreProductState(const StateChunk&) {}

IPluginBase::Snapshot IPluginBase::TakeSnapshot() const
{
    InstanceLock lock(m_mutex);
    Snapshot snapshot;
    snapshot.presets = m_presets;
    snapshot.currentPreset = m_currentPreset;
    snapshot.values.reserve(m_parameters.size());
    for (const Parameter& parameter : m_parameters) {
        snapshot.values.push_back(parameter.Value());
    }
    SaveProductState(snapshot.productState);
    return snapshot;
}

void IPluginBase::RestoreSnapshot(const Snapshot& snapshot)
{
    InstanceLock lock(m_mutex);
    BulkUpdate bulk(*this);
    m_presets = snapshot.presets;
    m_currentPreset = snapshot.currentPreset;
    for (std::size_t i = 0; i < m_parameters.size() && i < snapshot.values.size(); ++i) {
        m_parameters[i].SetClamped(snapshot.values[i]);
    }
    RestoreProductState(snapshot.productState);
    ApplyAllParameters();
    PushParametersToEditor();
}

void IPluginBase::ModifyCurrentPreset(const char* name)
{
    InstanceLock lock(m_mutex);
    if (m_currentPreset < 0 || m_currentPreset >= NumPresets()) {
        return;
    }
    Preset& preset = m_presets[static_cast<std::size_t>(m_currentPreset)];
    preset.state.Clear();
    WriteState(preset.state);
    if (name != nullptr && name[0] != '\0') {
        CopyText(preset.name, name);
    }
}

void IPluginBase::OnPresetsChanged() {}

void IPluginBase::SetSampleRate(double rate)
{
    if (std::isfinite(rate) && rate > 0.0) {
        m_sampleRate = rate;
    }
}

void IPluginBase::SetBlockSize(int frames)
{
    if (frames < 1) {
        return;
    }
    frames = std::min(frames, kMaxBlockSize);
    if (frames == m_blockSize) {
        return;
    }
    InstanceLock lock(m_mutex);
    for (InputChannel& channel : m_inputs) {
        channel.scratch.assign(static_cast<std::size_t>(frames), 0.0);
    }
    for (OutputChannel& channel : m_outputs) {
        channel.scratch.assign(static_cast<std::size_t>(frames), 0.0);
    }
    m_blockSize = frames;
    PointSlotsAtScratch();
}

// ---- Framework operations ----------------------------------------------------

Parameter* IPluginBase::GetParameter(int index)
{
    return IsValidParameter(index) ? &m_parameters[static_cast<std::size_t>(index)] : nullptr;
}

const Parameter* IPluginBase::GetParameter(int index) const
{
    return IsValidParameter(index) ? &m_parameters[static_cast<std::size_t>(index)] : nullptr;
}

void IPluginBase::ApplyAllParameters()
{
    InstanceLock lock(m_mutex);
    if (ParameterChangesDeferred()) {
        return;
    }
    BulkUpdate bulk(*this);
    for (int i = 0; i < NumParameters(); ++i) {
        OnParameterChanged(i);
    }
}

void IPluginBase::NotifyHostAllParameters()
{
    InstanceLock lock(m_mutex);
    for (int i = 0; i < NumParameters(); ++i) {
        NotifyHostParameter(i, m_parameters[static_cast<std::size_t>(i)].Normalized());
    }
}

bool IPluginBase::SerializeParams(StateChunk& chunk)
{
    InstanceLock lock(m_mutex);
    for (const Parameter& parameter : m_parameters) {
        chunk.PutValue(parameter.Value());
    }
    return !chunk.Empty();
}

int IPluginBase::UnserializeParams(const StateChunk& chunk, int position)
{
    InstanceLock lock(m_mutex);
    BulkUpdate bulk(*this);
    for (Parameter& parameter : m_parameters) {
        if (position < 0) {
            break;
        }
        double value = 0.0;
        position = chunk.GetValue(value, position);
        parameter.SetClamped(position < 0 ? 0.0 : value);
    }
    ApplyAllParameters();
    return position;
}

const char* IPluginBase::PresetName(int index) const
{
    if (index < 0 || index >= NumPresets()) {
        return "";
    }
    return m_presets[static_cast<std::size_t>(index)].name;
}

bool IPluginBase::LoadPreset(int index)
{
    InstanceLock lock(m_mutex);
    BulkUpdate bulk(*this);
    if (index < 0 || index >= NumPresets()) {
        return false;
    }
    Preset& preset = m_presets[static_cast<std::size_t>(index)];
    bool success = false;
    if (preset.initialised) {
        success = ReadState(preset.state, 0) > 0;
    } else {
        int userPresets = 0;
        for (const Preset& other : m_presets) {
            if (std::strstr(other.name, kUserPresetName) != nullptr) {
                ++userPresets;
            }
        }
        preset.initialised = true;
        std::snprintf(preset.name, sizeof(preset.name), "%s %d", kUserPresetName, userPresets + 1);
        preset.state.Clear();
        success = WriteState(preset.state);
    }
    if (success) {
        m_currentPreset = index;
        OnPresetsChanged();
        PushParametersToEditor();
    }
    return success;
}

void IPluginBase::FillEmptyPresets(int count)
{
    InstanceLock lock(m_mutex);
    for (int n = 0; n < count; ++n) {
        auto unused = std::find_if(m_presets.begin(), m_presets.end(),
                                   [](const Preset& preset) { return !preset.initialised; });
        if (unused == m_presets.end()) {
            return;
        }
        unused->initialised = true;
        CopyText(unused->name, "Empty");
        unused->state.Clear();
        WriteState(unused->state);
    }
}

bool IPluginBase::SerializePresets(StateChunk& chunk)
{
    InstanceLock lock(m_mutex);
    for (const Preset& preset : m_presets) {
        chunk.PutString(preset.name);
        chunk.PutValue(static_cast<std::uint8_t>(preset.initialised ? 1 : 0));
        if (preset.initialised) {
            chunk.PutChunk(preset.state);
        }
    }
    chunk.Put(kCurrentPresetMarker, 4);
    chunk.PutValue(static_cast<std::int32_t>(m_currentPreset));
    return true;
}

std::int32_t IPluginBase::DecimalVersion() const
{
    const std::int32_t major = (m_version >> 16) & 0xFF;
    const std::int32_t minor = (m_version >> 8) & 0xFF;
    const std::int32_t revision = m_version & 0xFF;
    return major * 10000 + minor * 100 + revision;
}

bool IPluginBase::LegalIO(int inputs, int outputs) const
{
    return std::any_of(m_channelIO.begin(), m_channelIO.end(), [&](const ChannelIO& io) {
        return (inputs < 0 || io.inputs == inputs) && (outputs < 0 || io.outputs == outputs);
    });
}

bool IPluginBase::IsInputConnected(int channel) const
{
    return channel >= 0 && channel < NumInputs() && m_inputs[static_cast<std::size_t>(channel)].connected;
}

bool IPluginBase::IsOutputConnected(int channel) const
{
    return channel >= 0 && channel < NumOutputs() && m_outputs[static_cast<std::size_t>(channel)].connected;
}

void IPluginBase::SetInputConnected(int channel, bool connected)
{
    if (channel < 0 || channel >= NumInputs()) {
        return;
    }
    InputChannel& input = m_inputs[static_cast<std::size_t>(channel)];
    input.connected = connected;
    if (!connected) {
        m_inputSlots[static_cast<std::size_t>(channel)] = input.scratch.data();
    }
}

void IPluginBase::SetOutputConnected(int channel, bool connected)
{
    if (channel < 0 || channel >= NumOutputs()) {
        return;
    }
    OutputChannel& output = m_outputs[static_cast<std::size_t>(channel)];
    output.connected = connected;
    if (!connected) {
        m_outputSlots[static_cast<std::size_t>(channel)] = output.scratch.data();
        output.hostBuffer = nullptr;
    }
}

void IPluginBase::PointSlotsAtScratch()
{
    for (std::size_t i = 0; i < m_inputs.size(); ++i) {
        m_inputSlots[i] = m_inputs[i].scratch.data();
    }
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        m_outputSlots[i] = m_outputs[i].scratch.data();
        m_outputs[i].hostBuffer = nullptr;
    }
}
