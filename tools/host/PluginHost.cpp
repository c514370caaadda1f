#include "tools/host/PluginHost.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kHostProduct = "vornhost";
constexpr VstIntPtr kHostVersion = 10003;
constexpr VstIntPtr kVstVersion = 2400;
constexpr double kTempo = 120.0;
constexpr int kMaxBlockSize = 1 << 20;

constexpr VstInt32 kProcessLevelUser = 1;
constexpr VstInt32 kProcessLevelRealtime = 2;

// The plug-in may call back from inside its entry point, before the host has
// been able to attach itself to the effect record.
thread_local PluginHost* t_loadingHost = nullptr;
// > 0 while an audio callback runs on this thread.
thread_local int t_audioDepth = 0;
// Handed out by audioMasterGetTime; per thread, as callers may ask at once.
thread_local VstTimeInfo t_timeInfo{};

struct AudioScope {
    AudioScope() { ++t_audioDepth; }
    ~AudioScope() { --t_audioDepth; }
    AudioScope(const AudioScope&) = delete;
    AudioScope& operator=(const AudioScope&) = delete;
};

// The VstEvents header is two pointer-sized words (the count, padded, and the
// reserved field) followed by the event pointers.
static_assert(offsetof(VstEvents, events) == 2 * sizeof(VstIntPtr));

void CopyText(void* ptr, const char* text, std::size_t size)
{
    if (ptr && size > 0) {
        std::snprintf(static_cast<char*>(ptr), size, "%s", text);
    }
}

bool IsHostCanDo(const char* text)
{
    static constexpr const char* kAnswers[] = {
        "sendVstEvents",       "sendVstMidiEvent",        "sendVstTimeInfo", "receiveVstEvents",
        "receiveVstMidiEvent", "reportConnectionChanges", "acceptIOChanges"};
    for (const char* answer : kAnswers) {
        if (std::strcmp(text, answer) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

const char* ProcessModeName(ProcessMode mode)
{
    switch (mode) {
        case ProcessMode::Replacing:
            return "processReplacing";
        case ProcessMode::Accumulating:
            return "process";
        case ProcessMode::Double:
            return "processDoubleReplacing";
    }
    return "?";
}

int HostLog::Count(VstInt32 opcode) const
{
    return opcode >= 0 && opcode < static_cast<VstInt32>(m_counts.size())
               ? m_counts[static_cast<std::size_t>(opcode)].load()
               : 0;
}

void HostLog::Record(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt, bool inAudio)
{
    if (opcode >= 0 && opcode < static_cast<VstInt32>(m_counts.size())) {
        ++m_counts[static_cast<std::size_t>(opcode)];
    }
    if (opcode == audioMasterWantMidi) {
        if (inAudio) {
            ++m_wantMidiInAudio;
        }
        if (index != 0 || value != 0 || ptr != nullptr || opt != 0.0f) {
            ++m_wantMidiWithArguments;
        }
    }
}

void HostLog::Clear()
{
    for (std::atomic<int>& count : m_counts) {
        count = 0;
    }
    m_wantMidiInAudio = 0;
    m_wantMidiWithArguments = 0;
}

PluginHost::~PluginHost()
{
    Unload();
}

bool PluginHost::Load(const std::string& path)
{
    Unload();
    if (!m_library.Open(path)) {
        m_error = "cannot load " + path + ": " + m_library.LastError();
        return false;
    }
    void* entry = m_library.Symbol("VSTPluginMain");
    if (!entry) {
        entry = m_library.Symbol("main");
    }
    if (!entry) {
        m_error = path + " exports neither VSTPluginMain nor main";
        m_library.Close();
        return false;
    }
    if (!Create(reinterpret_cast<EntryPoint>(entry))) {
        m_error = path + ": " + m_error;
        m_library.Close();
        return false;
    }
    return true;
}

PluginHost::EntryPoint PluginHost::FindEntry(DynamicLibrary& library, const char* name, std::string& error)
{
    void* entry = library.Symbol(name);
    if (!entry) {
        error = std::string("the module does not export ") + name;
    }
    return reinterpret_cast<EntryPoint>(entry);
}

void PluginHost::SetVendor(const char* vendor)
{
    CopyText(m_vendor, vendor, sizeof(m_vendor));
}

bool PluginHost::Create(EntryPoint entry)
{
    if (m_effect) {
        Suspend();
        Dispatch(effClose);
        m_effect = nullptr;
    }
    m_log.Clear();
    m_creationLog.Clear();
    t_loadingHost = this;
    AEffect* effect = entry(&PluginHost::HostCallback);
    t_loadingHost = nullptr;

    if (!effect) {
        m_error = "the entry point returned no plug-in";
        return false;
    }
    if (effect->magic != kEffectMagic || !effect->dispatcher) {
        m_error = "the effect record has a wrong magic number or no dispatcher";
        return false;
    }
    effect->resvd1 = reinterpret_cast<VstIntPtr>(this);
    m_effect = effect;
    m_opened = false;
    m_resumed = false;
    m_samplePosition = 0.0;
    m_error.clear();
    if (!ReadChannelCounts()) {
        Dispatch(effClose);
        m_effect = nullptr;
        return false;
    }
    return true;
}

void PluginHost::Unload()
{
    if (m_effect) {
        Suspend();
        Dispatch(effClose);
        m_effect = nullptr;
    }
    m_opened = false;
    m_library.Close();
}

VstIntPtr PluginHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!m_effect) {
        return 0;
    }
    return m_effect->dispatcher(m_effect, opcode, index, value, ptr, opt);
}

std::string PluginHost::DispatchText(VstInt32 opcode, VstInt32 index, VstIntPtr* result)
{
    char buffer[kTextBufferSize] = {};
    VstIntPtr answer = Dispatch(opcode, index, 0, buffer);
    buffer[kTextBufferSize - 1] = '\0';
    if (result) {
        *result = answer;
    }
    return buffer;
}

bool PluginHost::Start(double sampleRate, int blockSize)
{
    Open();
    SetSampleRate(sampleRate);
    SetBlockSize(blockSize);
    return Resume();
}

void PluginHost::Open()
{
    if (m_effect && !m_opened) {
        Dispatch(effOpen);
        m_opened = true;
        ReadChannelCounts();
    }
}

void PluginHost::SetSampleRate(double rate)
{
    m_sampleRate = rate;
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void PluginHost::SetBlockSize(int frames)
{
    m_blockSize = std::clamp(frames, 1, kMaxBlockSize);
    SizeBuffers();
    Dispatch(effSetBlockSize, 0, m_blockSize);
}

bool PluginHost::Resume()
{
    if (!ReadChannelCounts()) {
        return false;
    }
    SizeBuffers();
    Dispatch(effMainsChanged, 0, 1);
    m_resumed = true;
    return true;
}

void PluginHost::Suspend()
{
    if (m_resumed) {
        Dispatch(effMainsChanged, 0, 0);
        m_resumed = false;
    }
}

bool PluginHost::Supports(ProcessMode mode) const
{
    if (!m_effect) {
        return false;
    }
    switch (mode) {
        case ProcessMode::Replacing:
            return (m_effect->flags & effFlagsCanReplacing) && m_effect->processReplacing;
        case ProcessMode::Accumulating:
            return m_effect->process != nullptr;
        case ProcessMode::Double:
            // Plug-ins built against pre-2.4 headers allocate a shorter record
            // without this field: read it only when the flag promises it.
            return (m_effect->flags & effFlagsCanDoubleReplacing) && m_effect->processDoubleReplacing;
    }
    return false;
}

bool PluginHost::ReadChannelCounts()
{
    if (!m_effect) {
        return false;
    }
    const int inputs = m_effect->numInputs;
    const int outputs = m_effect->numOutputs;
    if (inputs < 0 || inputs > kMaxChannels || outputs < 0 || outputs > kMaxChannels) {
        m_error = "the plug-in reports " + std::to_string(inputs) + " inputs and " + std::to_string(outputs) +
                  " outputs; at most " + std::to_string(kMaxChannels) + " each are supported";
        return false;
    }
    m_numInputs = inputs;
    m_numOutputs = outputs;
    return true;
}

void PluginHost::SizeBuffers()
{
    const std::size_t frames = static_cast<std::size_t>(m_blockSize);
    m_floatIn.assign(frames * static_cast<std::size_t>(m_numInputs), 0.0f);
    m_floatOut.assign(frames * static_cast<std::size_t>(m_numOutputs), 0.0f);
    m_doubleIn.assign(frames * static_cast<std::size_t>(m_numInputs), 0.0);
    m_doubleOut.assign(frames * static_cast<std::size_t>(m_numOutputs), 0.0);
    m_floatInPtrs.resize(static_cast<std::size_t>(m_numInputs));
    m_doubleInPtrs.resize(static_cast<std::size_t>(m_numInputs));
    m_floatOutPtrs.resize(static_cast<std::size_t>(m_numOutputs));
    m_doubleOutPtrs.resize(static_cast<std::size_t>(m_numOutputs));
    for (std::size_t c = 0; c < m_floatInPtrs.size(); ++c) {
        m_floatInPtrs[c] = m_floatIn.data() + c * frames;
        m_doubleInPtrs[c] = m_doubleIn.data() + c * frames;
    }
    for (std::size_t c = 0; c < m_floatOutPtrs.size(); ++c) {
        m_floatOutPtrs[c] = m_floatOut.data() + c * frames;
        m_doubleOutPtrs[c] = m_doubleOut.data() + c * frames;
    }
}

VstIntPtr PluginHost::SendMidi(std::span<const BlockMidiEvent> events)
{
    if (!m_effect) {
        return 0;
    }
    m_midiEvents.assign(events.size(), VstMidiEvent{});
    for (std::size_t i = 0; i < events.size(); ++i) {
        VstMidiEvent& event = m_midiEvents[i];
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.deltaFrames = events[i].frame;
        for (std::size_t b = 0; b < 3; ++b) {
            event.midiData[b] = static_cast<char>(events[i].bytes[b]);
        }
    }
    // Built word by word so the list is laid out exactly as the interface's VstEvents.
    m_eventList.assign(2 + events.size(), 0);
    const VstInt32 count = static_cast<VstInt32>(events.size());
    std::memcpy(m_eventList.data(), &count, sizeof(count));
    for (std::size_t i = 0; i < events.size(); ++i) {
        m_eventList[2 + i] = reinterpret_cast<VstIntPtr>(&m_midiEvents[i]);
    }
    return Dispatch(effProcessEvents, 0, 0, m_eventList.data());
}

bool PluginHost::SetParameter(int index, float value)
{
    if (!m_effect || !m_effect->setParameter || index < 0 || index >= m_effect->numParams) {
        return false;
    }
    m_effect->setParameter(m_effect, index, value);
    return true;
}

void PluginHost::Process(int frames, ProcessMode mode)
{
    if (!Supports(mode) || frames <= 0) {
        return;
    }
    const std::size_t outputWords =
        static_cast<std::size_t>(m_blockSize) * static_cast<std::size_t>(m_numOutputs);
    if (m_floatInPtrs.size() != static_cast<std::size_t>(m_numInputs) ||
        m_floatOutPtrs.size() != static_cast<std::size_t>(m_numOutputs) || m_floatOut.size() != outputWords) {
        SizeBuffers();
    }
    frames = std::min(frames, m_blockSize);
    AudioScope scope;
    switch (mode) {
        case ProcessMode::Replacing:
            m_effect->processReplacing(m_effect, m_floatInPtrs.data(), m_floatOutPtrs.data(), frames);
            break;
        case ProcessMode::Accumulating:
            std::fill(m_floatOut.begin(), m_floatOut.end(), 0.0f);
            m_effect->process(m_effect, m_floatInPtrs.data(), m_floatOutPtrs.data(), frames);
            break;
        case ProcessMode::Double:
            m_effect->processDoubleReplacing(m_effect, m_doubleInPtrs.data(), m_doubleOutPtrs.data(), frames);
            std::transform(m_doubleOut.begin(), m_doubleOut.end(), m_floatOut.begin(),
                           [](double sample) { return static_cast<float>(sample); });
            break;
    }
    m_samplePosition += frames;
}

const float* PluginHost::Output(int channel) const
{
    if (channel < 0 || channel >= m_numOutputs || m_floatOutPtrs.empty()) {
        return nullptr;
    }
    return m_floatOutPtrs[static_cast<std::size_t>(channel)];
}

void PluginHost::ProcessReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    AudioScope scope;
    m_effect->processReplacing(m_effect, inputs, outputs, frames);
}

void PluginHost::ProcessAccumulating(float** inputs, float** outputs, VstInt32 frames)
{
    AudioScope scope;
    m_effect->process(m_effect, inputs, outputs, frames);
}

void PluginHost::ProcessDouble(double** inputs, double** outputs, VstInt32 frames)
{
    AudioScope scope;
    m_effect->processDoubleReplacing(m_effect, inputs, outputs, frames);
}

VstIntPtr VSTCALLBACK PluginHost::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt)
{
    PluginHost* host = (effect && effect->resvd1) ? reinterpret_cast<PluginHost*>(effect->resvd1) : nullptr;
    if (!host) {
        host = t_loadingHost;
    }
    if (!host) {
        // Unknown caller: only the version question has a host-independent answer.
        return opcode == audioMasterVersion ? kVstVersion : 0;
    }
    return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr PluginHost::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    (m_effect ? m_log : m_creationLog).Record(opcode, index, value, ptr, opt, t_audioDepth > 0);
    if (m_verbose && opcode != audioMasterWantMidi && opcode != audioMasterGetTime) {
        std::fprintf(stderr, "vornhost: callback opcode %d index %d value %lld opt %g\n", opcode, index,
                     static_cast<long long>(value), static_cast<double>(opt));
    }
    switch (opcode) {
        case audioMasterVersion:
            return kVstVersion;
        case audioMasterWantMidi:
        case audioMasterProcessEvents:
            // MIDI output of the plug-in is accepted and dropped.
            return 1;
        case audioMasterGetTime:
            return reinterpret_cast<VstIntPtr>(UpdateTimeInfo(value));
        case audioMasterIOChanged:
            // Accepted; the new channel counts are read again at the next Resume.
            return 1;
        case audioMasterGetSampleRate:
            return static_cast<VstIntPtr>(m_sampleRate);
        case audioMasterGetBlockSize:
            return m_blockSize;
        case audioMasterGetCurrentProcessLevel:
            if (t_audioDepth > 0) {
                return m_offline ? kVstProcessLevelOffline : kProcessLevelRealtime;
            }
            return m_offline ? kVstProcessLevelOffline : kProcessLevelUser;
        case audioMasterGetVendorString:
            CopyText(ptr, m_vendor, kVstMaxVendorStrLen);
            return ptr ? 1 : 0;
        case audioMasterGetProductString:
            CopyText(ptr, kHostProduct, kVstMaxProductStrLen);
            return ptr ? 1 : 0;
        case audioMasterGetVendorVersion:
            return kHostVersion;
        case audioMasterCanDo:
            return (ptr && IsHostCanDo(static_cast<const char*>(ptr))) ? 1 : 0;
        case audioMasterGetLanguage:
            return 1;  // English
        default:
            return 0;
    }
}

VstTimeInfo* PluginHost::UpdateTimeInfo(VstIntPtr requestMask)
{
    (void)requestMask;  // every field is cheap here, so all are always valid
    VstTimeInfo& info = t_timeInfo;
    info = VstTimeInfo{};
    info.samplePos = m_samplePosition;
    info.sampleRate = m_sampleRate;
    info.tempo = kTempo;
    info.ppqPos = m_samplePosition / m_sampleRate * kTempo / 60.0;
    info.timeSigNumerator = 4;
    info.timeSigDenominator = 4;
    info.barStartPos = 4.0 * static_cast<double>(static_cast<std::int64_t>(info.ppqPos / 4.0));
    info.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    return &info;
}
