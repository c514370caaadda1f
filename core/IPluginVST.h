// The VST 2.4 binding: the effect record a host drives the plug-in through,
// the dispatcher and audio/parameter callbacks behind it, and the host
// services (automation, MIDI out, transport, host identification).
//
// Every host entry point takes the instance lock for its whole duration, so
// rendering, parameter changes, state transfer and editor calls never overlap,
// and no exception leaves an entry point (a failure there returns 0 and leaves
// the instance usable). Notifications to the host made inside an entry point
// (automation, begin and end of an edit, display refresh) are queued and sent
// after the lock is released: a host that waits on another thread, which
// waits for our lock, would otherwise deadlock, and a bank load would make
// the audio thread wait for the host's work too.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "core/IPluginBase.h"
#include "core/StateChunk.h"
#include "core/VstAbi.h"

class IPluginVST : public IPluginBase {
public:
    // Builds the effect record (complete except for the editor flag, which
    // AttachEditor adds) and sizes the scratch buffers for kDefaultBlockSize.
    IPluginVST(audioMasterCallback hostCallback, const PluginInfo& info);
    ~IPluginVST() override;

    // The record handed to the host; its object field points at this instance.
    AEffect* Effect() { return &m_effect; }
    static IPluginVST* FromEffect(AEffect* effect);

    // ---- Host services -------------------------------------------------------
    // All call the host synchronously on the calling thread, except the four
    // notifications below, which inside a host entry point (or a
    // DeferHostNotices scope) are queued in order and sent after the lock is
    // released.

    // audioMasterBeginEdit / audioMasterAutomate / audioMasterEndEdit. Any
    // thread: editor gestures on the UI thread, mapped MIDI controllers on the
    // audio thread. No allocation.
    void BeginHostEdit(int index) override;
    void NotifyHostParameter(int index, double normalized) override;
    void EndHostEdit(int index) override;
    // Asks the host to refresh its program and parameter display.
    void NotifyHostOfProgramChange() override;
    bool ResizeHostWindow(int width, int height) override;
    // True while the host renders offline (faster than real time).
    bool IsRenderingOffline() override;
    // Frames since the song start, rounded; 0 when the host reports nothing.
    int GetSamplePosition() override;
    // Beats per minute; 0 when the host reports no tempo.
    double GetTempo() override;
    // Both 0 when the host reports no time signature.
    void GetTimeSignature(int& numerator, int& denominator) override;
    // Fills what the host reports; the other fields keep their values.
    void GetTransportInfo(TransportInfo& info) override;
    // Asks the host for its product string and version once, then answers
    // from the stored values. UI thread.
    HostKind GetHostKind() override;
    // Whether the host's vendor is Native Instruments or the JUCE plug-in
    // host: they ask for the bank chunk where they mean the current program,
    // so they are given a program chunk, and what they hand back is read as a
    // program first and as a bank only when it is not exactly one program.
    // Asked once (effGetChunk / effSetChunk), then cached.
    bool HostVendorQuirk();

    void RefreshEditorRect() override;
    void OnHostOpen() override;
    void AttachEditor(std::unique_ptr<PluginEditor> editor) override;
    void SetLatency(int frames) override;
    // audioMasterProcessEvents with one event. Audio thread; no allocation.
    bool SendMidiMessage(const MidiMessage& message) override;
    bool SendSysEx(const SysExMessage& message) override;

    // The editor rectangle handed to the host (top, left, bottom, right).
    const ERect& EditorRect() const { return m_editorRect; }

    // Holds the host notifications made while it lives (and the lock is
    // held) and sends them after it releases the lock. For operations that
    // start outside a host entry point (editor commands) and hold the lock
    // long. Nests; the outermost scope sends.
    class DeferHostNotices {
    public:
        explicit DeferHostNotices(IPluginVST& plugin);
        ~DeferHostNotices();
        DeferHostNotices(const DeferHostNotices&) = delete;
        DeferHostNotices& operator=(const DeferHostNotices&) = delete;

    private:
        IPluginVST& m_plugin;
    };

protected:
    // Calls the host; 0 when there is no host callback.
    VstIntPtr CallHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

private:
    // Host entry points. dispatcher: UI thread for most opcodes, the audio
    // thread for effProcessEvents (and, in some hosts, effMainsChanged and
    // effSetBlockSize); may block on the instance lock.
    static VstIntPtr VSTCALLBACK DispatcherProc(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                VstIntPtr value, void* ptr, float opt);
    // Audio thread; blocks only on the instance lock; no allocation.
    static void VSTCALLBACK ProcessProc(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
    static void VSTCALLBACK ProcessReplacingProc(AEffect* effect, float** inputs, float** outputs,
                                                 VstInt32 frames);
    static void VSTCALLBACK ProcessDoubleReplacingProc(AEffect* effect, double** inputs, double** outputs,
                                                       VstInt32 frames);
    // Any host thread (automation playback comes from the audio thread);
    // blocks only on the instance lock; no allocation.
    static void VSTCALLBACK SetParameterProc(AEffect* effect, VstInt32 index, float value);
    static float VSTCALLBACK GetParameterProc(AEffect* effect, VstInt32 index);

    template <typename Result, typename Body>
    static Result Enter(AEffect* effect, Result fallback, Body&& body);
    // The members below run inside Enter, with the instance lock held.
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    void ProcessSingle(float** inputs, float** outputs, int frames, bool accumulate);
    void ProcessDouble(double** inputs, double** outputs, int frames);
    void AttachSingle(float** inputs, float** outputs, int offset, int frames);
    void AttachDouble(double** inputs, double** outputs, int offset);
    void SetParameterFromHost(int index, float value);

    VstIntPtr GetChunk(bool bank, void* ptr);
    // All or nothing: a bank that fails, or a program state that cannot be
    // used, changes nothing; a program state cut inside its values applies
    // what fits but leaves the slot alone and reports failure.
    VstIntPtr SetChunk(bool bank, VstIntPtr size, const void* ptr);
    enum class ProgramChunkRead {
        Unusable,   // refused; the caller takes back what was applied
        ValuesCut,  // the values that fit were applied; the slot is untouched
        Complete,   // stored in the current slot, bytes left over
        Exact,      // stored in the current slot, every byte consumed
    };
    ProgramChunkRead ReadProgramChunk(const StateChunk& chunk, int position);
    VstIntPtr ProcessEvents(const VstEvents* events);
    VstIntPtr StringToParameter(int index, const char* text);
    VstIntPtr GetPinProperties(bool input, int index, VstPinProperties* properties);
    void SetSpeakerArrangement(const VstSpeakerArrangement* inputs, const VstSpeakerArrangement* outputs);
    VstIntPtr VendorSpecific(int index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr CanDo(const char* text) const;
    void UpdateSpeakerArrangements();
    // The host's time record for the given validity mask, or null.
    const VstTimeInfo* HostTime(VstInt32 mask);

    struct HostNotice {
        VstInt32 opcode;
        VstInt32 index;
        float value;
    };
    // Notices queued at most; automation beyond kNoticeCapacity - kNoticeReserve
    // is dropped (a display refresh is sent instead), begin and end of edits
    // keep the reserve.
    static constexpr int kNoticeCapacity = 256;
    static constexpr int kNoticeReserve = 16;
    using NoticeList = std::array<HostNotice, kNoticeCapacity>;
    // Queues a notice when deferring (lock held); false when it should be
    // sent at once.
    bool DeferNotice(VstInt32 opcode, VstInt32 index, float value);
    // Moves the queued notices out (lock held); returns their count.
    int TakeNotices(NoticeList& notices);
    void SendNotices(const NoticeList& notices, int count);

    audioMasterCallback m_hostCallback;
    AEffect m_effect{};
    ERect m_editorRect{};
    VstSpeakerArrangement m_inputArrangement{};
    VstSpeakerArrangement m_outputArrangement{};
    bool m_hostOpened = false;
    StateChunk m_programChunk;
    StateChunk m_bankChunk;
    // 0 not asked yet, 1 no, 2 yes; asked before the lock is taken.
    std::atomic<int> m_vendorQuirk{0};
    // Host calls inside the instance, and effClose under way: calls that
    // were waiting for the lock when the host closed the instance leave at
    // once, and the instance is freed only when none is left.
    std::atomic<int> m_callsInside{0};
    std::atomic<bool> m_closing{false};
    // Notices queued under the lock while m_deferDepth > 0.
    int m_deferDepth = 0;
    int m_noticeCount = 0;
    NoticeList m_notices{};
};
