// The VST 2.4 host the command-line host, the module tests and the fuzz
// targets share, for one plug-in instance: loads a module (or takes an entry
// point already in the process), answers the plug-in's host callback and logs
// what it asked, sends MIDI events and runs the audio callbacks on buffers it
// owns or the caller's. Set-up calls come from one thread; the audio
// callbacks, the dispatcher and the host callback may run on several at once
// (the log is atomic, the time info per thread), and the callback never
// allocates.
#pragma once

#include "core/VstAbi.h"
#include "platform/DynamicLibrary.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One MIDI message for the next audio callback; frame is the offset within that block.
struct BlockMidiEvent {
    std::int32_t frame = 0;
    std::array<unsigned char, 3> bytes{};
};

enum class ProcessMode {
    Replacing,     // processReplacing
    Accumulating,  // process: adds into buffers the host clears first
    Double,        // processDoubleReplacing
};

const char* ProcessModeName(ProcessMode mode);

// What the plug-in asked of the host.
class HostLog {
public:
    // Callbacks with opcode.
    int Count(VstInt32 opcode) const;
    // audioMasterWantMidi made while an audio callback ran on that thread.
    int WantMidiInAudio() const { return m_wantMidiInAudio.load(); }
    // audioMasterWantMidi with any argument other than zero.
    int WantMidiWithArguments() const { return m_wantMidiWithArguments.load(); }

    void Record(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt, bool inAudio);
    void Clear();

private:
    std::array<std::atomic<int>, 128> m_counts{};
    std::atomic<int> m_wantMidiInAudio{0};
    std::atomic<int> m_wantMidiWithArguments{0};
};

class PluginHost {
public:
    // Texts the host hands the plug-in are this big; plug-ins often exceed the
    // interface's nominal sizes, so give them room and terminate afterwards.
    static constexpr std::size_t kTextBufferSize = 256;
    // Bound on the channel counts the host accepts from a plug-in.
    static constexpr int kMaxChannels = 64;

    PluginHost() = default;
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    using EntryPoint = AEffect*(VSTCALLBACK*)(audioMasterCallback);

    // Loads the module at path and creates the plug-in through VSTPluginMain
    // (or "main" for old modules). False with LastError() on failure.
    bool Load(const std::string& path);
    // Where the module's entry point named name is (null with LastError()).
    static EntryPoint FindEntry(DynamicLibrary& library, const char* name, std::string& error);
    // Creates the plug-in through an entry point already in the process (or
    // in a module loaded elsewhere).
    bool Create(EntryPoint entry);
    // Suspends if resumed, closes the plug-in and unloads the module.
    void Unload();

    AEffect* Effect() const { return m_effect; }
    const std::string& LastError() const { return m_error; }
    void SetVerbose(bool verbose) { m_verbose = verbose; }
    // Offline hosts report process level 4 while processing (file rendering).
    void SetOffline(bool offline) { m_offline = offline; }
    // The vendor string the host reports (some plug-ins change behaviour for
    // particular hosts); set before Create to count for creation too.
    void SetVendor(const char* vendor);
    // What the plug-in asked since it was created, and while its entry point
    // ran.
    const HostLog& Log() const { return m_log; }
    const HostLog& CreationLog() const { return m_creationLog; }

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    // Calls a text-returning opcode with a zeroed kTextBufferSize buffer and
    // returns its terminated contents; result receives the opcode's result.
    std::string DispatchText(VstInt32 opcode, VstInt32 index = 0, VstIntPtr* result = nullptr);

    // Lifecycle, in the order hosts use it: Open, SetSampleRate, SetBlockSize, Resume ... Suspend.
    // Start runs the four.
    bool Start(double sampleRate, int blockSize);
    void Open();
    void SetSampleRate(double rate);
    // Sizes the host's buffers and tells the plug-in; frames is clamped to 1..1<<20.
    void SetBlockSize(int frames);
    // Re-reads the channel counts (a plug-in may change them in effOpen) and resumes.
    bool Resume();
    void Suspend();

    double SampleRate() const { return m_sampleRate; }
    int BlockSize() const { return m_blockSize; }
    int NumInputs() const { return m_numInputs; }
    int NumOutputs() const { return m_numOutputs; }
    bool Supports(ProcessMode mode) const;

    // Sends the events for the next audio callback through effProcessEvents
    // and returns its result. Offsets outside 0..frames-1 of the coming block
    // are the caller's concern. Sends of no more events than before do not
    // allocate.
    VstIntPtr SendMidi(std::span<const BlockMidiEvent> events);
    // setParameter(index, value) with value normalized 0..1; indices outside
    // the plug-in's parameter count are ignored (false).
    bool SetParameter(int index, float value);

    // Runs one audio callback of frames (1..BlockSize()) on silent inputs and
    // advances the transport. Output(channel) then holds the result as float.
    void Process(int frames, ProcessMode mode);
    const float* Output(int channel) const;
    // The audio callbacks on the caller's buffers, from any thread.
    void ProcessReplacing(float** inputs, float** outputs, VstInt32 frames);
    void ProcessAccumulating(float** inputs, float** outputs, VstInt32 frames);
    void ProcessDouble(double** inputs, double** outputs, VstInt32 frames);

private:
    static VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt);
    VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    VstTimeInfo* UpdateTimeInfo(VstIntPtr requestMask);
    bool ReadChannelCounts();
    void SizeBuffers();

    DynamicLibrary m_library;
    AEffect* m_effect = nullptr;
    std::string m_error;
    bool m_verbose = false;
    bool m_offline = false;
    bool m_opened = false;
    bool m_resumed = false;
    char m_vendor[kVstMaxVendorStrLen] = "VORN tools";
    HostLog m_log;
    HostLog m_creationLog;

    double m_sampleRate = 44100.0;
    int m_blockSize = 512;
    int m_numInputs = 0;
    int m_numOutputs = 0;
    double m_samplePosition = 0.0;

    // One contiguous block per direction and precision; channel c starts at c * m_blockSize.
    std::vector<float> m_floatIn, m_floatOut;
    std::vector<double> m_doubleIn, m_doubleOut;
    std::vector<float*> m_floatInPtrs, m_floatOutPtrs;
    std::vector<double*> m_doubleInPtrs, m_doubleOutPtrs;

    std::vector<VstMidiEvent> m_midiEvents;
    // VstEvents header followed by numEvents pointers; storage grows with the event count.
    std::vector<VstIntPtr> m_eventList;
};
