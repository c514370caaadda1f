#include "core/IPluginVST.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

#include "core/NumberText.h"
#include "core/PluginEditor.h"
#include "core/Text.h"

namespace {

constexpr VstInt32 kVstVersion = 2400;
constexpr VstIntPtr kVendorSpecificYes = 0xBEEF;
constexpr int kVendorFormatValue = 7;  // opt (normalized) as text of parameter value
constexpr int kVendorIsStepped = 8;    // whether parameter value takes discrete steps
// The display scale request of Linux hosts: index 'PreS', value 'AeCs', opt
// the factor.
constexpr int kVendorScaleIndex = 0x50726553;
constexpr VstIntPtr kVendorScaleValue = 0x41654373;
// Buffer sizes: the interface's nominal sizes are smaller than what hosts
// pass in practice, and we never write more than this.
constexpr int kParameterStringSize = kParameterTextSize;  // 31 characters and a terminator
constexpr int kProgramNameSize = kVstMaxProgNameLen + 1;  // 24 characters and a terminator
constexpr int kHostStringSize = 256;
// Longest text read from a host pointer whose size the interface leaves open.
constexpr std::size_t kMaxHostTextLength = 1024;
constexpr VstInt32 kTimeSampleOnly = 0;
constexpr VstInt32 kTransportFlags =
    kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;

VstInt32 SpeakerArrangementType(int channels)
{
    switch (channels) {
        case 0:
            return kSpeakerArrEmpty;
        case 1:
            return kSpeakerArrMono;
        case 2:
            return kSpeakerArrStereo;
        default:
            return kSpeakerArrUserDefined;
    }
}

// A pointer-sized host value as an index; out-of-range values become -1,
// which names nothing.
int ToIndex(VstIntPtr value)
{
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        return -1;
    }
    return static_cast<int>(value);
}

}  // namespace

IPluginVST::IPluginVST(audioMasterCallback hostCallback, const PluginInfo& info)
    : IPluginBase(info), m_hostCallback(hostCallback)
{
    m_effect.magic = kEffectMagic;
    m_effect.dispatcher = &IPluginVST::DispatcherProc;
    m_effect.process = &IPluginVST::ProcessProc;
    m_effect.setParameter = &IPluginVST::SetParameterProc;
    m_effect.getParameter = &IPluginVST::GetParameterProc;
    m_effect.processReplacing = &IPluginVST::ProcessReplacingProc;
    m_effect.processDoubleReplacing = &IPluginVST::ProcessDoubleReplacingProc;
    m_effect.numPrograms = std::max(NumPresets(), 1);
    m_effect.numParams = NumParameters();
    m_effect.numInputs = NumInputs();
    m_effect.numOutputs = NumOutputs();
    m_effect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (UsesStateChunks()) {
        m_effect.flags |= effFlagsProgramChunks;
    }
    if (IsInstrument()) {
        m_effect.flags |= effFlagsIsSynth;
    }
    if (LegalIO(1, -1)) {
        m_effect.flags |= effFlagsCanMono;
    }
    m_effect.initialDelay = Latency();
    m_effect.ioRatio = 1.0f;
    m_effect.object = this;
    m_effect.uniqueID = UniqueId();
    m_effect.version = DecimalVersion();
    UpdateSpeakerArrangements();
    SetBlockSize(kDefaultBlockSize);
}

IPluginVST::~IPluginVST()
{
    m_effect.object = nullptr;
}

IPluginVST* IPluginVST::FromEffect(AEffect* effect)
{
    return effect == nullptr ? nullptr : static_cast<IPluginVST*>(effect->object);
}

VstIntPtr IPluginVST::CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (m_hostCallback == nullptr) {
        return 0;
    }
    return m_hostCallback(&m_effect, opcode, index, value, ptr, opt);
}

void IPluginVST::UpdateSpeakerArrangements()
{
    m_inputArrangement.numChannels = NumInputs();
    m_inputArrangement.type = SpeakerArrangementType(NumInputs());
    m_outputArrangement.numChannels = NumOutputs();
    m_outputArrangement.type = SpeakerArrangementType(NumOutputs());
}

// ---- Entry points ------------------------------------------------------------

// One host call: counted in (so that effClose waits for it), the lock taken
// for its whole duration, nothing done once the instance is closing, no
// exception let out, and the host notifications it made sent after the lock
// is released.
template <typename Result, typename Body>
Result IPluginVST::Enter(AEffect* effect, Result fallback, Body&& body)
{
    IPluginVST* plugin = FromEffect(effect);
    if (plugin == nullptr) {
        return fallback;
    }
    plugin->m_callsInside.fetch_add(1, std::memory_order_acq_rel);
    Result result = fallback;
    NoticeList notices;
    int count = 0;
    try {
        InstanceLock lock(plugin->InstanceMutex());
        if (!plugin->m_closing.load(std::memory_order_acquire)) {
            ++plugin->m_deferDepth;
            try {
                result = body(*plugin);
            } catch (...) {
                // No exception crosses into the host; the call reports failure.
                result = fallback;
            }
            if (--plugin->m_deferDepth == 0) {
                count = plugin->TakeNotices(notices);
            }
        }
    } catch (...) {
    }
    plugin->SendNotices(notices, count);
    plugin->m_callsInside.fetch_sub(1, std::memory_order_acq_rel);
    return result;
}

VstIntPtr VSTCALLBACK IPluginVST::DispatcherProc(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                 VstIntPtr value, void* ptr, float opt)
{
    IPluginVST* plugin = FromEffect(effect);
    if (plugin == nullptr) {
        return 0;
    }
    if (opcode == effClose) {
        // Calls that wait for the lock get it, see the flag and leave; the
        // instance (which owns the lock) is freed once none is inside.
        plugin->m_closing.store(true, std::memory_order_release);
        for (;;) {
            {
                InstanceLock lock(plugin->InstanceMutex());
            }
            if (plugin->m_callsInside.load(std::memory_order_acquire) == 0) {
                break;
            }
            std::this_thread::yield();
        }
        delete plugin;
        return 0;
    }
    if (opcode == effGetChunk || opcode == effSetChunk) {
        // Asked before the lock is taken: it calls the host.
        plugin->HostVendorQuirk();
    }
    const VstIntPtr result = Enter<VstIntPtr>(
        effect, 0, [&](IPluginVST& self) { return self.Dispatch(opcode, index, value, ptr, opt); });
    if (opcode == effEditIdle) {
        // The editor's events and redraw run without the instance lock, so
        // the audio thread never waits for a paint; counted in, so that
        // effClose waits for them.
        plugin->m_callsInside.fetch_add(1, std::memory_order_acq_rel);
        if (!plugin->m_closing.load(std::memory_order_acquire) && plugin->Editor() != nullptr) {
            try {
                plugin->Editor()->Idle();
            } catch (...) {
                // No exception crosses into the host.
            }
        }
        plugin->m_callsInside.fetch_sub(1, std::memory_order_acq_rel);
    }
    return result;
}

void VSTCALLBACK IPluginVST::ProcessProc(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
    Enter<int>(effect, 0, [&](IPluginVST& self) {
        self.ProcessSingle(inputs, outputs, frames, true);
        return 0;
    });
}

void VSTCALLBACK IPluginVST::ProcessReplacingProc(AEffect* effect, float** inputs, float** outputs,
                                                  VstInt32 frames)
{
    Enter<int>(effect, 0, [&](IPluginVST& self) {
        self.ProcessSingle(inputs, outputs, frames, false);
        return 0;
    });
}

void VSTCALLBACK IPluginVST::ProcessDoubleReplacingProc(AEffect* effect, double** inputs, double** outputs,
                                                        VstInt32 frames)
{
    Enter<int>(effect, 0, [&](IPluginVST& self) {
        self.ProcessDouble(inputs, outputs, frames);
        return 0;
    });
}

void VSTCALLBACK IPluginVST::SetParameterProc(AEffect* effect, VstInt32 index, float value)
{
    Enter<int>(effect, 0, [&](IPluginVST& self) {
        self.SetParameterFromHost(index, value);
        return 0;
    });
}

float VSTCALLBACK IPluginVST::GetParameterProc(AEffect* effect, VstInt32 index)
{
    return Enter<float>(effect, 0.0f, [&](IPluginVST& self) {
        const Parameter* parameter = self.GetParameter(index);
        return parameter != nullptr ? static_cast<float>(parameter->Normalized()) : 0.0f;
    });
}

// ---- Deferred host notices ---------------------------------------------------------

IPluginVST::DeferHostNotices::DeferHostNotices(IPluginVST& plugin) : m_plugin(plugin)
{
    InstanceLock lock(m_plugin.InstanceMutex());
    ++m_plugin.m_deferDepth;
}

IPluginVST::DeferHostNotices::~DeferHostNotices()
{
    NoticeList notices;
    int count = 0;
    {
        InstanceLock lock(m_plugin.InstanceMutex());
        if (--m_plugin.m_deferDepth == 0) {
            count = m_plugin.TakeNotices(notices);
        }
    }
    m_plugin.SendNotices(notices, count);
}

bool IPluginVST::DeferNotice(VstInt32 opcode, VstInt32 index, float value)
{
    InstanceLock lock(InstanceMutex());
    if (m_deferDepth <= 0) {
        return false;
    }
    if (opcode == audioMasterAutomate) {
        HostNotice* last =
            m_noticeCount > 0 ? &m_notices[static_cast<std::size_t>(m_noticeCount - 1)] : nullptr;
        if (last != nullptr && last->opcode == audioMasterAutomate && last->index == index) {
            last->value = value;  // a later value of the same change
            return true;
        }
        if (m_noticeCount >= kNoticeCapacity - kNoticeReserve) {
            opcode = audioMasterUpdateDisplay;  // too many: the host rereads everything
            index = 0;
            value = 0.0f;
        }
    }
    if (opcode == audioMasterUpdateDisplay) {
        for (int i = 0; i < m_noticeCount; ++i) {
            if (m_notices[static_cast<std::size_t>(i)].opcode == audioMasterUpdateDisplay) {
                return true;
            }
        }
    }
    if (m_noticeCount < kNoticeCapacity) {
        m_notices[static_cast<std::size_t>(m_noticeCount++)] = {opcode, index, value};
    }
    return true;
}

int IPluginVST::TakeNotices(NoticeList& notices)
{
    const int count = m_noticeCount;
    std::copy_n(m_notices.begin(), count, notices.begin());
    m_noticeCount = 0;
    return count;
}

void IPluginVST::SendNotices(const NoticeList& notices, int count)
{
    for (int i = 0; i < count; ++i) {
        const HostNotice& notice = notices[static_cast<std::size_t>(i)];
        CallHost(notice.opcode, notice.index, 0, nullptr, notice.value);
    }
}

// ---- Dispatcher ----------------------------------------------------------------

VstIntPtr IPluginVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode) {
        case effOpen: {
            OnHostOpen();
            ApplyAllParameters();
            return 0;
        }
        case effSetProgram:
            ModifyCurrentPreset();
            LoadPreset(ToIndex(value));
            return 0;
        case effGetProgram:
            return CurrentPresetIndex();
        case effSetProgramName:
            if (ptr != nullptr) {
                ModifyCurrentPreset(static_cast<const char*>(ptr));
                OnPresetsChanged();
            }
            return 0;
        case effGetProgramName:
            if (ptr != nullptr) {
                CopyText(static_cast<char*>(ptr), kProgramNameSize, PresetName(CurrentPresetIndex()));
            }
            return 0;
        case effGetParamLabel:
            if (const Parameter* parameter = GetParameter(index); parameter != nullptr && ptr != nullptr) {
                CopyText(static_cast<char*>(ptr), kParameterStringSize, parameter->UnitLabel());
            }
            return 0;
        case effGetParamDisplay:
            if (const Parameter* parameter = GetParameter(index); parameter != nullptr && ptr != nullptr) {
                parameter->FormatValue(parameter->Value(), false, static_cast<char*>(ptr),
                                       kParameterStringSize, true);
            }
            return 0;
        case effGetParamName:
            if (const Parameter* parameter = GetParameter(index); parameter != nullptr && ptr != nullptr) {
                CopyText(static_cast<char*>(ptr), kParameterStringSize, parameter->Name());
            }
            return 0;
        case effSetSampleRate:
            SetSampleRate(opt);
            OnReset();
            return 0;
        case effSetBlockSize:
            SetBlockSize(static_cast<int>(std::clamp<VstIntPtr>(value, 0, kMaxBlockSize)));
            OnReset();
            return 0;
        case effMainsChanged:
            if (value != 0) {
                OnActivation(true);
            } else {
                OnActivation(false);
                OnReset();
            }
            return 0;
        case effEditGetRect:
            // An editor that cannot open a window is not announced.
            if (ptr != nullptr && Editor() != nullptr && Editor()->HasWindow()) {
                *static_cast<ERect**>(ptr) = &m_editorRect;
                return 1;
            }
            return 0;
        case effEditOpen:
            if (Editor() != nullptr && Editor()->OpenWindow(ptr) != nullptr) {
                OnEditorOpened();
                return 1;
            }
            return 0;
        case effEditClose:
            if (Editor() != nullptr && Editor()->HasWindow()) {
                OnEditorClosed();
                Editor()->CloseWindow();
                return 1;
            }
            return 0;
        case effEditIdle:
        case effIdle:
            OnIdleTick();
            return 0;
        case effIdentify:
            return VstFourCC('N', 'v', 'E', 'f');
        case effGetChunk:
            return GetChunk(index == 0, ptr);
        case effSetChunk:
            return SetChunk(index == 0, value, ptr);
        case effProcessEvents:
            return ProcessEvents(static_cast<const VstEvents*>(ptr));
        case effCanBeAutomated:
            return 1;
        case effString2Parameter:
            return StringToParameter(index, static_cast<const char*>(ptr));
        case effGetProgramNameIndexed:
            if (ptr == nullptr) {
                return 0;
            }
            return CopyText(static_cast<char*>(ptr), kProgramNameSize, PresetName(index)) > 0 ? 1 : 0;
        case effGetInputProperties:
            return GetPinProperties(true, index, static_cast<VstPinProperties*>(ptr));
        case effGetOutputProperties:
            return GetPinProperties(false, index, static_cast<VstPinProperties*>(ptr));
        case effGetPlugCategory:
            return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
        case effProcessVarIo:
            return 0;
        case effSetSpeakerArrangement:
            SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value),
                                  static_cast<const VstSpeakerArrangement*>(ptr));
            return 1;
        case effGetEffectName:
            if (ptr != nullptr) {
                CopyText(static_cast<char*>(ptr), kVstMaxEffectNameLen, EffectName());
                return 1;
            }
            return 0;
        case effGetVendorString:
            if (ptr != nullptr) {
                CopyText(static_cast<char*>(ptr), kVstMaxVendorStrLen, VendorName());
                return 1;
            }
            return 0;
        case effGetProductString:
            if (ptr != nullptr) {
                CopyText(static_cast<char*>(ptr), kVstMaxProductStrLen, ProductName());
                return 1;
            }
            return 0;
        case effGetVendorVersion:
            return DecimalVersion();
        case effVendorSpecific:
            return VendorSpecific(index, value, ptr, opt);
        case effCanDo:
            return CanDo(static_cast<const char*>(ptr));
        case effGetTailSize:
            return TailSize();
        case effGetVstVersion:
            return kVstVersion;
        case effGetMidiKeyName:
            if (ptr != nullptr) {
                auto* keyName = static_cast<MidiKeyName*>(ptr);
                keyName->keyName[0] = '\0';
                return GetNoteName(keyName->thisKeyNumber, keyName->keyName,
                                   static_cast<int>(sizeof(keyName->keyName)))
                           ? 1
                           : 0;
            }
            return 0;
        case effGetSpeakerArrangement:
            if (value != 0) {
                *reinterpret_cast<VstSpeakerArrangement**>(value) = &m_inputArrangement;
            }
            if (ptr != nullptr) {
                *static_cast<VstSpeakerArrangement**>(ptr) = &m_outputArrangement;
            }
            return 1;
        default:
            return 0;
    }
}

// State chunks. index 0 asks for the bank, anything else for the current
// program.
VstIntPtr IPluginVST::GetChunk(bool bank, void* ptr)
{
    if (HostVendorQuirk()) {
        bank = false;
    }
    StateChunk& chunk = bank ? m_bankChunk : m_programChunk;
    if (ptr == nullptr) {
        return 0;
    }
    BeginVersionedChunk(chunk);
    bool success = false;
    if (bank) {
        // The current slot must hold the live state before the bank is written.
        ModifyCurrentPreset();
        success = SerializePresets(chunk);
    } else {
        WriteState(chunk);
        chunk.PutString(PresetName(CurrentPresetIndex()));
        success = !chunk.Empty();
    }
    if (!success || chunk.Empty()) {
        return 0;
    }
    *static_cast<void**>(ptr) = chunk.Data();
    return chunk.Size();
}

VstIntPtr IPluginVST::SetChunk(bool bank, VstIntPtr size, const void* ptr)
{
    if (ptr == nullptr) {
        return 0;
    }
    if (size < 0 || size > StateChunk::kMaxSize) {
        return 0;
    }
    const bool quirk = HostVendorQuirk();
    if (quirk) {
        bank = false;
    }
    StateChunk& chunk = bank ? m_bankChunk : m_programChunk;
    if (!chunk.Assign(ptr, static_cast<int>(size))) {
        return 0;
    }
    BulkUpdate bulk(*this);
    int position = 0;
    const std::int32_t version = ReadChunkVersion(chunk, position);
    if (bank && version >= kChunkVersion) {
        if (UnserializePresets(chunk, position) < 0) {
            return 0;
        }
        PushParametersToEditor();
        return 1;
    }

    const Snapshot before = TakeSnapshot();
    const ProgramChunkRead read = ReadProgramChunk(chunk, position);
    if (quirk && read != ProgramChunkRead::Exact) {
        // Not exactly one well-formed program: these hosts may hand back a
        // bank all the same. Anything else is refused with nothing changed.
        RestoreSnapshot(before);
        m_bankChunk = m_programChunk;
        position = 0;
        if (ReadChunkVersion(m_bankChunk, position) < kChunkVersion ||
            UnserializePresets(m_bankChunk, position) < 0) {
            return 0;
        }
        PushParametersToEditor();
        return 1;
    }
    if (read == ProgramChunkRead::Unusable) {
        RestoreSnapshot(before);
        return 0;
    }
    if (read == ProgramChunkRead::ValuesCut) {
        // The values that fit stay applied, as states written with fewer
        // values expect; the slot keeps what it held.
        PushParametersToEditor();
        return 0;
    }
    PushParametersToEditor();
    return 1;
}

// A program state, optionally followed by the preset's name, into the live
// parameters; a complete one is stored in the current slot under that name.
IPluginVST::ProgramChunkRead IPluginVST::ReadProgramChunk(const StateChunk& chunk, int position)
{
    position = ReadProgramState(chunk, position);
    if (position == kStateValuesCut) {
        return ProgramChunkRead::ValuesCut;
    }
    if (position < 0) {
        return ProgramChunkRead::Unusable;
    }
    char name[kPresetNameSize] = {};
    if (position < chunk.Size()) {
        position = chunk.GetString(name, kPresetNameSize, position);
        if (position < 0 || position > chunk.Size()) {
            return ProgramChunkRead::Unusable;  // the name is cut off
        }
    }
    ModifyCurrentPreset(name);
    return position == chunk.Size() ? ProgramChunkRead::Exact : ProgramChunkRead::Complete;
}

VstIntPtr IPluginVST::ProcessEvents(const VstEvents* events)
{
    if (events == nullptr) {
        return 0;
    }
    // The structure declares two entries; hosts append as many as numEvents
    // says, so the list is walked from its first entry's address.
    VstEvent* const* list = &events->events[0];
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = list[i];
        if (event == nullptr) {
            continue;
        }
        if (event->type == kVstMidiType) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
            MidiMessage message;
            message.frameOffset = midi->deltaFrames;
            message.status = static_cast<std::uint8_t>(midi->midiData[0]);
            message.data1 = static_cast<std::uint8_t>(midi->midiData[1]);
            message.data2 = static_cast<std::uint8_t>(midi->midiData[2]);
            HandleMidiMessage(message);
        } else if (event->type == kVstSysExType) {
            const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
            SysExMessage message;
            message.frameOffset = sysex->deltaFrames;
            message.size = std::max(sysex->dumpBytes, 0);
            message.data = reinterpret_cast<const std::uint8_t*>(sysex->sysexDump);
            if (message.data == nullptr) {
                message.size = 0;
            }
            HandleSysEx(message);
        }
    }
    return 1;
}

VstIntPtr IPluginVST::StringToParameter(int index, const char* text)
{
    Parameter* parameter = GetParameter(index);
    if (parameter == nullptr) {
        return 0;
    }
    if (text == nullptr) {
        return 1;  // the host asks whether text entry is supported
    }
    double value = 0.0;
    if (!parameter->HasDisplayTexts()) {
        value = ParseLeadingNumber(text);
        if (!std::isfinite(value)) {
            return 0;
        }
        if (parameter->NegateDisplay()) {
            value = -value;
        }
    } else {
        int textValue = 0;
        // Bounded: display texts are at most 31 characters, so the comparison
        // never reads further into the host's text than that.
        if (!parameter->FindDisplayTextValue(text, textValue)) {
            return 0;
        }
        value = textValue;
    }
    WriteParameterLocked(index, value, false, ChangeSource::Host);
    return 1;
}

VstIntPtr IPluginVST::GetPinProperties(bool input, int index, VstPinProperties* properties)
{
    const int count = input ? NumInputs() : NumOutputs();
    if (properties == nullptr || index < 0 || index >= count) {
        return 0;
    }
    properties->flags = kVstPinIsActive;
    if (index % 2 == 0 && index < count - 1) {
        properties->flags |= kVstPinIsStereo;
    }
    const char* label = input ? m_inputs[static_cast<std::size_t>(index)].label
                              : m_outputs[static_cast<std::size_t>(index)].label;
    if (label[0] != '\0') {
        CopyText(properties->label, label);
    } else {
        std::snprintf(properties->label, sizeof(properties->label), "%s %d", input ? "Input" : "Output",
                      index + 1);
    }
    return 1;
}

void IPluginVST::SetSpeakerArrangement(const VstSpeakerArrangement* inputs,
                                       const VstSpeakerArrangement* outputs)
{
    if (inputs != nullptr) {
        const int n = std::max(inputs->numChannels, 0);
        for (int i = 0; i < NumInputs(); ++i) {
            SetInputConnected(i, i < n);
        }
    }
    if (outputs != nullptr) {
        const int n = std::max(outputs->numChannels, 0);
        for (int i = 0; i < NumOutputs(); ++i) {
            SetOutputConnected(i, i < n);
        }
    }
}

VstIntPtr IPluginVST::VendorSpecific(int index, VstIntPtr value, void* ptr, float opt)
{
    if (index == kVendorFormatValue) {
        if (ptr == nullptr) {
            return 0;
        }
        if (const Parameter* parameter = GetParameter(ToIndex(value))) {
            parameter->FormatValue(opt, true, static_cast<char*>(ptr), kParameterStringSize, true);
        }
        return kVendorSpecificYes;
    }
    if (index == kVendorScaleIndex && value == kVendorScaleValue) {
        if (Editor() == nullptr || !Editor()->SetWindowScale(static_cast<double>(opt))) {
            return 0;
        }
        RefreshEditorRect();
        return 1;
    }
    if (index == kVendorIsStepped) {
        const Parameter* parameter = GetParameter(ToIndex(value));
        return parameter != nullptr && parameter->Kind() != ParameterKind::Continuous ? kVendorSpecificYes
                                                                                      : 0;
    }
    return 0;
}

VstIntPtr IPluginVST::CanDo(const char* text) const
{
    if (text == nullptr) {
        return 0;
    }
    const std::size_t length = BoundedLength(text, kMaxHostTextLength);
    auto is = [&](const char* capability) {
        return std::strlen(capability) == length && std::memcmp(capability, text, length) == 0;
    };
    if (is("receiveVstTimeInfo")) {
        return 1;
    }
    if (is("sendVstEvents") || is("sendVstMidiEvent") || is("receiveVstEvents") ||
        is("receiveVstMidiEvent")) {
        return DoesMidi() ? 1 : 0;
    }
    return 0;
}

// ---- Audio ---------------------------------------------------------------------

void IPluginVST::AttachSingle(float** inputs, float** outputs, int offset, int frames)
{
    int hostChannel = 0;
    for (std::size_t i = 0; i < m_inputs.size(); ++i) {
        InputChannel& channel = m_inputs[i];
        if (!channel.connected) {
            continue;
        }
        const float* source = inputs != nullptr ? inputs[hostChannel] : nullptr;
        ++hostChannel;
        if (source != nullptr) {
            std::copy_n(source + offset, frames, channel.scratch.data());
        } else {
            std::fill_n(channel.scratch.data(), frames, 0.0);
        }
        m_inputSlots[i] = channel.scratch.data();
    }
    hostChannel = 0;
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        OutputChannel& channel = m_outputs[i];
        if (!channel.connected) {
            continue;
        }
        float* destination = outputs != nullptr ? outputs[hostChannel] : nullptr;
        ++hostChannel;
        m_outputSlots[i] = channel.scratch.data();
        channel.hostBuffer = destination != nullptr ? destination + offset : nullptr;
    }
}

void IPluginVST::AttachDouble(double** inputs, double** outputs, int offset)
{
    int hostChannel = 0;
    for (std::size_t i = 0; i < m_inputs.size(); ++i) {
        InputChannel& channel = m_inputs[i];
        if (!channel.connected) {
            continue;
        }
        double* source = inputs != nullptr ? inputs[hostChannel] : nullptr;
        ++hostChannel;
        if (source != nullptr) {
            m_inputSlots[i] = source + offset;
        } else {
            std::fill(channel.scratch.begin(), channel.scratch.end(), 0.0);
            m_inputSlots[i] = channel.scratch.data();
        }
    }
    hostChannel = 0;
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        OutputChannel& channel = m_outputs[i];
        if (!channel.connected) {
            continue;
        }
        double* destination = outputs != nullptr ? outputs[hostChannel] : nullptr;
        ++hostChannel;
        m_outputSlots[i] = destination != nullptr ? destination + offset : channel.scratch.data();
    }
}

void IPluginVST::ProcessSingle(float** inputs, float** outputs, int frames, bool accumulate)
{
    if (DoesMidi()) {
        CallHost(audioMasterWantMidi);
    }
    // Hosts may pass more frames than announced by effSetBlockSize; the
    // scratch buffers hold BlockSize() frames, so longer blocks go in pieces.
    for (int done = 0; done < frames;) {
        const int count = std::min(frames - done, BlockSize());
        AttachSingle(inputs, outputs, done, count);
        m_silenceMayStayUnwritten = true;
        m_blockSilent = false;
        RenderBlock(m_inputSlots.data(), m_outputSlots.data(), count);
        m_silenceMayStayUnwritten = false;
        for (OutputChannel& channel : m_outputs) {
            if (!channel.connected || channel.hostBuffer == nullptr) {
                continue;
            }
            if (m_blockSilent) {
                // Nothing to add; replacing writes the zeros directly.
                if (!accumulate) {
                    std::fill_n(channel.hostBuffer, count, 0.0f);
                }
                continue;
            }
            const double* __restrict source = channel.scratch.data();
            float* __restrict target = channel.hostBuffer;
            if (accumulate) {
                for (int s = 0; s < count; ++s) {
                    target[s] += static_cast<float>(source[s]);
                }
            } else {
                for (int s = 0; s < count; ++s) {
                    target[s] = static_cast<float>(source[s]);
                }
            }
        }
        done += count;
    }
}

void IPluginVST::ProcessDouble(double** inputs, double** outputs, int frames)
{
    if (DoesMidi()) {
        CallHost(audioMasterWantMidi);
    }
    for (int done = 0; done < frames;) {
        const int count = std::min(frames - done, BlockSize());
        AttachDouble(inputs, outputs, done);
        RenderBlock(m_inputSlots.data(), m_outputSlots.data(), count);
        done += count;
    }
}

void IPluginVST::SetParameterFromHost(int index, float value)
{
    WriteParameterLocked(index, static_cast<double>(value), true, ChangeSource::Host);
}

// ---- Host services ---------------------------------------------------------------

void IPluginVST::BeginHostEdit(int index)
{
    if (!DeferNotice(audioMasterBeginEdit, index, 0.0f)) {
        CallHost(audioMasterBeginEdit, index);
    }
}

void IPluginVST::NotifyHostParameter(int index, double normalized)
{
    if (!DeferNotice(audioMasterAutomate, index, static_cast<float>(normalized))) {
        CallHost(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalized));
    }
}

void IPluginVST::EndHostEdit(int index)
{
    if (!DeferNotice(audioMasterEndEdit, index, 0.0f)) {
        CallHost(audioMasterEndEdit, index);
    }
}

void IPluginVST::NotifyHostOfProgramChange()
{
    if (!DeferNotice(audioMasterUpdateDisplay, 0, 0.0f)) {
        CallHost(audioMasterUpdateDisplay);
    }
}

bool IPluginVST::ResizeHostWindow(int width, int height)
{
    return CallHost(audioMasterSizeWindow, width, height) != 0;
}

bool IPluginVST::IsRenderingOffline()
{
    return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

const VstTimeInfo* IPluginVST::HostTime(VstInt32 mask)
{
    return reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, mask));
}

int IPluginVST::GetSamplePosition()
{
    const VstTimeInfo* time = HostTime(kTimeSampleOnly);
    if (time == nullptr || !(time->samplePos >= 0.0)) {
        return 0;
    }
    const double rounded = time->samplePos + 0.5;
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(rounded);
}

double IPluginVST::GetTempo()
{
    const VstTimeInfo* time = HostTime(kVstTempoValid);
    if (time == nullptr || (time->flags & kVstTempoValid) == 0 || !(time->tempo >= 0.0)) {
        return 0.0;
    }
    return time->tempo;
}

void IPluginVST::GetTimeSignature(int& numerator, int& denominator)
{
    numerator = 0;
    denominator = 0;
    const VstTimeInfo* time = HostTime(kVstTimeSigValid);
    if (time != nullptr && (time->flags & kVstTimeSigValid) != 0 && time->timeSigNumerator >= 0 &&
        time->timeSigDenominator >= 0) {
        numerator = time->timeSigNumerator;
        denominator = time->timeSigDenominator;
    }
}

void IPluginVST::GetTransportInfo(TransportInfo& info)
{
    const VstTimeInfo* time = HostTime(kTransportFlags);
    if (time == nullptr || (time->flags & kTransportFlags) == 0) {
        return;
    }
    info.samplePosition = time->samplePos;
    if ((time->flags & kVstPpqPosValid) != 0 && time->ppqPos >= 0.0) {
        info.ppqPosition = time->ppqPos;
    }
    if ((time->flags & kVstTempoValid) != 0 && time->tempo > 0.0) {
        info.tempo = time->tempo;
    }
    if ((time->flags & kVstBarsValid) != 0 && time->barStartPos >= 0.0) {
        info.lastBarPosition = time->barStartPos;
    }
    if ((time->flags & kVstCyclePosValid) != 0 && time->cycleStartPos >= 0.0 && time->cycleEndPos >= 0.0) {
        info.cycleStart = time->cycleStartPos;
        info.cycleEnd = time->cycleEndPos;
    }
    if ((time->flags & kVstTimeSigValid) != 0 && time->timeSigNumerator > 0 && time->timeSigDenominator > 0) {
        info.numerator = time->timeSigNumerator;
        info.denominator = time->timeSigDenominator;
    }
    info.playing = (time->flags & kVstTransportPlaying) != 0;
    info.cycleActive = (time->flags & kVstTransportCycleActive) != 0;
}

HostKind IPluginVST::GetHostKind()
{
    HostKind kind = IPluginBase::GetHostKind();
    if (kind != HostKind::NotAsked) {
        return kind;
    }
    char product[kHostStringSize] = {};
    CallHost(audioMasterGetProductString, 0, 0, product);
    product[kHostStringSize - 1] = '\0';
    std::int32_t version = 0;
    if (product[0] != '\0') {
        const VstIntPtr decimal = CallHost(audioMasterGetVendorVersion);
        const auto v = static_cast<std::int32_t>(std::clamp<VstIntPtr>(decimal, 0, 0x7FFFFFFF));
        version = (v / 10000) * 65536 + ((v % 10000) / 100) * 256 + (v % 100);
    }
    kind = FindHost(product);
    SetHostIdentity(kind, version);
    return kind;
}

bool IPluginVST::HostVendorQuirk()
{
    int known = m_vendorQuirk.load(std::memory_order_acquire);
    if (known == 0) {
        char vendor[kHostStringSize] = {};
        CallHost(audioMasterGetVendorString, 0, 0, vendor);
        vendor[kHostStringSize - 1] = '\0';
        LowerAscii(vendor);
        const bool quirk =
            std::strcmp(vendor, "native instruments") == 0 || std::strcmp(vendor, "juce vst host") == 0;
        known = quirk ? 2 : 1;
        m_vendorQuirk.store(known, std::memory_order_release);
    }
    return known == 2;
}

void IPluginVST::OnHostOpen()
{
    if (m_hostOpened) {
        return;
    }
    m_hostOpened = true;
    const HostKind kind = GetHostKind();
    // These hosts offer more channels than they feed or take.
    if (kind == HostKind::Forte || kind == HostKind::Audition || kind == HostKind::Orion ||
        kind == HostKind::SawStudio) {
        for (int i = 2; i < NumInputs(); ++i) {
            SetInputConnected(i, false);
        }
        if (NumOutputs() > 2) {
            for (int i = 2; i < NumOutputs(); ++i) {
                SetOutputConnected(i, true);
            }
        }
    }
    UpdateSpeakerArrangements();
    m_effect.numInputs = NumInputs();
    m_effect.numOutputs = NumOutputs();
    OnHostKnown();
}

void IPluginVST::AttachEditor(std::unique_ptr<PluginEditor> editor)
{
    if (!editor) {
        return;
    }
    IPluginBase::AttachEditor(std::move(editor));
    InstanceLock lock(InstanceMutex());
    if (Editor()->HasWindow()) {
        m_effect.flags |= effFlagsHasEditor;
    }
    m_editorRect.top = 0;
    m_editorRect.left = 0;
    m_editorRect.bottom = static_cast<std::int16_t>(std::clamp(Editor()->WindowHeight(), 0, 0x7FFF));
    m_editorRect.right = static_cast<std::int16_t>(std::clamp(Editor()->WindowWidth(), 0, 0x7FFF));
}

void IPluginVST::RefreshEditorRect()
{
    InstanceLock lock(InstanceMutex());
    if (Editor() == nullptr) {
        return;
    }
    m_editorRect.top = 0;
    m_editorRect.left = 0;
    m_editorRect.bottom = static_cast<std::int16_t>(std::clamp(Editor()->WindowHeight(), 0, 0x7FFF));
    m_editorRect.right = static_cast<std::int16_t>(std::clamp(Editor()->WindowWidth(), 0, 0x7FFF));
    OnEditorResized();
}

void IPluginVST::SetLatency(int frames)
{
    IPluginBase::SetLatency(frames);
    m_effect.initialDelay = frames;
}

bool IPluginVST::SendMidiMessage(const MidiMessage& message)
{
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = message.frameOffset;
    event.midiData[0] = static_cast<char>(message.status);
    event.midiData[1] = static_cast<char>(message.data1);
    event.midiData[2] = static_cast<char>(message.data2);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPluginVST::SendSysEx(const SysExMessage& message)
{
    VstMidiSysexEvent event{};
    event.type = kVstSysExType;
    event.byteSize = sizeof(VstMidiSysexEvent);
    event.deltaFrames = message.frameOffset;
    event.dumpBytes = message.size;
    // The interface's field is not const; hosts only read it.
    event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(message.data));
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}
