#include "tests/module/ModuleHost.h"

#include "platform/DynamicLibrary.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr const char* kHostProduct = "VORN module tests";
constexpr VstIntPtr kHostVendorVersion = 10000;
constexpr char kTextFill = 'Q';
constexpr char kTextCanary = static_cast<char>(0xA5);
constexpr std::size_t kTextCanaryBytes = 16;
constexpr int kMaxInstances = 16;

const char* g_hostVendor = "VORN tests";
std::string g_modulePath;

// Callbacks are logged into fixed slots: the callback may run inside the audio
// callbacks, where the allocation test forbids the host to allocate too.
struct Slot {
    bool used = false;
    AEffect* effect = nullptr;
    HostLog log;
    HostLog creationLog;
};
// The slot table and every log in it are guarded by g_slotsMutex: instances
// may be created, and may call back, from several threads at once.
std::mutex g_slotsMutex;
Slot g_slots[kMaxInstances];
HostLog g_orphanLog;                    // callbacks from an effect record no instance owns
thread_local int t_creatingSlot = -1;   // slot whose entry point runs on this thread
thread_local int t_audioDepth = 0;      // > 0 while an audio callback runs on this thread
thread_local VstTimeInfo t_timeInfo{};  // handed out by audioMasterGetTime

DynamicLibrary& Module()
{
    static DynamicLibrary library;
    return library;
}

// Loads the module on first use; null with a message when that fails.
void* FindEntry(const char* name, std::string& error)
{
    DynamicLibrary& library = Module();
    if (!library.IsOpen()) {
        if (g_modulePath.empty()) {
            error = "no module path: pass the module file as the first argument";
            return nullptr;
        }
        if (!library.Open(g_modulePath)) {
            error = "cannot load " + g_modulePath + ": " + library.LastError();
            return nullptr;
        }
    }
    void* entry = library.Symbol(name);
    if (!entry) {
        error = g_modulePath + " does not export " + name;
    }
    return entry;
}

void Record(HostLog& log, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (opcode >= 0 && opcode < static_cast<VstInt32>(log.counts.size())) {
        ++log.counts[static_cast<std::size_t>(opcode)];
    }
    if (opcode == audioMasterWantMidi) {
        if (t_audioDepth > 0) {
            ++log.wantMidiInAudio;
        }
        if (index != 0 || value != 0 || ptr != nullptr || opt != 0.0f) {
            ++log.wantMidiWithArguments;
        }
    }
}

HostLog& LogFor(AEffect* effect)
{
    if (effect) {
        for (Slot& slot : g_slots) {
            if (slot.used && slot.effect == effect) {
                return slot.log;
            }
        }
    }
    if (t_creatingSlot >= 0) {
        return g_slots[t_creatingSlot].creationLog;
    }
    return g_orphanLog;
}

void CopyReply(void* ptr, const char* text)
{
    if (ptr) {
        // The interface gives the host 64 bytes for these texts.
        std::snprintf(static_cast<char*>(ptr), kVstMaxVendorStrLen, "%s", text);
    }
}

VstIntPtr VSTCALLBACK TestHostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                       void* ptr, float opt)
{
    {
        std::lock_guard<std::mutex> lock(g_slotsMutex);
        Record(LogFor(effect), opcode, index, value, ptr, opt);
    }
    switch (opcode) {
        case audioMasterVersion:
            return 2400;
        case audioMasterWantMidi:
        case audioMasterProcessEvents:
        case audioMasterIOChanged:
            return 1;
        case audioMasterGetTime:
            t_timeInfo = VstTimeInfo{};
            t_timeInfo.sampleRate = 44100.0;
            t_timeInfo.tempo = 120.0;
            t_timeInfo.timeSigNumerator = 4;
            t_timeInfo.timeSigDenominator = 4;
            t_timeInfo.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
            return reinterpret_cast<VstIntPtr>(&t_timeInfo);
        case audioMasterGetSampleRate:
            return 44100;
        case audioMasterGetBlockSize:
            return 512;
        case audioMasterGetCurrentProcessLevel:
            return t_audioDepth > 0 ? 2 : 1;
        case audioMasterGetVendorString:
            CopyReply(ptr, g_hostVendor);
            return 1;
        case audioMasterGetProductString:
            CopyReply(ptr, kHostProduct);
            return 1;
        case audioMasterGetVendorVersion:
            return kHostVendorVersion;
        case audioMasterCanDo:
            if (ptr) {
                const char* text = static_cast<const char*>(ptr);
                for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                        "receiveVstEvents", "receiveVstMidiEvent"}) {
                    if (std::strcmp(text, yes) == 0) {
                        return 1;
                    }
                }
            }
            return 0;
        default:
            return 0;
    }
}

struct AudioScope {
    AudioScope() { ++t_audioDepth; }
    ~AudioScope() { --t_audioDepth; }
};

}  // namespace

void SetModulePath(const std::string& path)
{
    g_modulePath = path;
}

const std::string& ModulePath()
{
    return g_modulePath;
}

ScopedHostVendor::ScopedHostVendor(const char* vendor) : m_previous(g_hostVendor)
{
    g_hostVendor = vendor;
}

ScopedHostVendor::~ScopedHostVendor()
{
    g_hostVendor = m_previous;
}

PluginInstance::PluginInstance(const char* entryName)
{
    void* entry = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_slotsMutex);
        for (int i = 0; i < kMaxInstances; ++i) {
            if (!g_slots[i].used) {
                m_slot = i;
                break;
            }
        }
        if (m_slot < 0) {
            std::fprintf(stderr, "module_tests: more than %d instances at once\n", kMaxInstances);
            return;
        }
        g_slots[m_slot] = Slot{};
        g_slots[m_slot].used = true;
        std::string error;
        entry = FindEntry(entryName, error);
        if (!entry) {
            std::fprintf(stderr, "module_tests: %s\n", error.c_str());
            return;
        }
    }
    // The plug-in calls back during creation; the lock must be free by then.
    using EntryPoint = AEffect*(VSTCALLBACK*)(audioMasterCallback);
    t_creatingSlot = m_slot;
    AEffect* effect = reinterpret_cast<EntryPoint>(entry)(&TestHostCallback);
    t_creatingSlot = -1;
    std::lock_guard<std::mutex> lock(g_slotsMutex);
    g_slots[m_slot].effect = effect;
    m_effect = effect;
}

PluginInstance::~PluginInstance()
{
    Close();
    if (m_slot >= 0) {
        std::lock_guard<std::mutex> lock(g_slotsMutex);
        g_slots[m_slot] = Slot{};
    }
}

const HostLog& PluginInstance::Log() const
{
    return m_slot >= 0 ? g_slots[m_slot].log : g_orphanLog;
}

const HostLog& PluginInstance::CreationLog() const
{
    return m_slot >= 0 ? g_slots[m_slot].creationLog : g_orphanLog;
}

VstIntPtr PluginInstance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!m_effect) {
        return 0;
    }
    return m_effect->dispatcher(m_effect, opcode, index, value, ptr, opt);
}

TextReply PluginInstance::Text(VstInt32 opcode, VstInt32 index, std::size_t capacity, VstIntPtr value)
{
    std::vector<char> buffer(capacity + kTextCanaryBytes, kTextCanary);
    std::fill(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(capacity), kTextFill);
    TextReply reply;
    reply.result = Dispatch(opcode, index, value, buffer.data());
    const auto end = buffer.begin() + static_cast<std::ptrdiff_t>(capacity);
    const auto terminator = std::find(buffer.begin(), end, '\0');
    reply.terminated = terminator != end;
    reply.text.assign(buffer.begin(), terminator);
    reply.overran = std::any_of(end, buffer.end(), [](char c) { return c != kTextCanary; });
    reply.untouched =
        !reply.overran && std::all_of(buffer.begin(), end, [](char c) { return c == kTextFill; });
    return reply;
}

void PluginInstance::Start(double sampleRate, int blockSize)
{
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
    m_resumed = true;
}

void PluginInstance::Close()
{
    if (!m_effect) {
        return;
    }
    if (m_resumed) {
        Dispatch(effMainsChanged, 0, 0);
        m_resumed = false;
    }
    Dispatch(effClose);
    m_effect = nullptr;
    // Later callbacks naming the destroyed record must not land in this slot.
    if (m_slot >= 0) {
        std::lock_guard<std::mutex> lock(g_slotsMutex);
        g_slots[m_slot].effect = nullptr;
    }
}

void PluginInstance::ProcessReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    AudioScope scope;
    m_effect->processReplacing(m_effect, inputs, outputs, frames);
}

void PluginInstance::ProcessAccumulating(float** inputs, float** outputs, VstInt32 frames)
{
    AudioScope scope;
    m_effect->process(m_effect, inputs, outputs, frames);
}

void PluginInstance::ProcessDouble(double** inputs, double** outputs, VstInt32 frames)
{
    AudioScope scope;
    m_effect->processDoubleReplacing(m_effect, inputs, outputs, frames);
}

VstIntPtr PluginInstance::SendMidi(const std::vector<Midi>& messages)
{
    // Storage is kept so that repeated sends of the same size do not allocate.
    m_events.resize(messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        VstMidiEvent& event = m_events[i];
        event = VstMidiEvent{};
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.deltaFrames = messages[i].frame;
        event.midiData[0] = static_cast<char>(messages[i].status);
        event.midiData[1] = static_cast<char>(messages[i].data1);
        event.midiData[2] = static_cast<char>(messages[i].data2);
    }
    // VstEvents: the count padded to a pointer-sized word, the reserved word, then the pointers.
    static_assert(offsetof(VstEvents, events) == 2 * sizeof(VstIntPtr));
    m_eventList.resize(2 + messages.size());
    std::fill(m_eventList.begin(), m_eventList.end(), 0);
    const VstInt32 count = static_cast<VstInt32>(messages.size());
    std::memcpy(m_eventList.data(), &count, sizeof(count));
    for (std::size_t i = 0; i < messages.size(); ++i) {
        m_eventList[2 + i] = reinterpret_cast<VstIntPtr>(&m_events[i]);
    }
    return Dispatch(effProcessEvents, 0, 0, m_eventList.data());
}
