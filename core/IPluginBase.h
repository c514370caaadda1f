// The framework's plug-in base: identity, audio channels, the parameter list,
// the preset slots, the editor and the instance lock, plus the hooks a product
// overrides. Host-interface specifics live in IPluginVST.
//
// Threads: the host enters from its user-interface thread and its audio thread;
// every entry point takes the instance lock (a recursive mutex) once and holds
// it for its whole duration, and the hooks below are always called with it
// held, so they do not take it again. Operations for the editor and product
// commands take it themselves; nothing here waits on anything but that lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "core/HostKind.h"
#include "core/MidiMessage.h"
#include "core/Parameter.h"
#include "core/Preset.h"
#include "core/StateChunk.h"
#include "core/TransportInfo.h"

class PluginEditor;

// Identity and shape of a plug-in, given to its constructor.
struct PluginInfo {
    const char* effectName = "";
    const char* productName = "";
    const char* vendorName = "";
    std::int32_t uniqueId = 0;  // four-character code, first character in the top byte
    std::int32_t version = 0;   // packed 0x00MMmmrr
    // Legal channel configurations: space-separated "inputs-outputs" pairs;
    // the channel counts are the largest of each side.
    const char* channelIO = "0-2";
    int parameterCount = 0;
    int presetCount = 0;
    bool usesStateChunks = true;
    bool isInstrument = true;
    bool doesMidi = true;
};

// ReadProgramState: the header was complete, the values were cut short.
inline constexpr int kStateValuesCut = -2;
// A bank written by SerializePresets ends with this marker and the current
// preset index (int32), so that a bank chunk or file reloads on the program
// it was saved on. Readers that stop after the records never see it.
inline constexpr char kCurrentPresetMarker[] = "CurP";
inline constexpr int kCurrentPresetTrailerSize = 8;

// Size of the identity text fields: 127 characters and a terminator.
inline constexpr int kIdentityTextSize = 128;
// Channels a configuration may name; more is taken as a typing error.
inline constexpr int kMaxChannels = 64;
// Scratch buffers never grow beyond this many frames; longer host blocks are
// rendered in pieces.
inline constexpr int kMaxBlockSize = 65536;
inline constexpr int kDefaultBlockSize = 1024;

class IPluginBase {
public:
    explicit IPluginBase(const PluginInfo& info);
    IPluginBase(const IPluginBase&) = delete;
    IPluginBase& operator=(const IPluginBase&) = delete;

    // ---- Hooks, in slot order ----------------------------------------------

    // Deletes the editor first (its controls may refer to the parameters).
    virtual ~IPluginBase();
    // Sample rate or block size changed, or the plug-in was switched off.
    // UI thread (or the audio thread in hosts that reset from there); may
    // allocate. Default: nothing.
    virtual void OnReset();
    // The value of parameter index changed; turns it into engine state. Any
    // host thread, including the audio thread (mapped MIDI controllers at
    // their control tick): must not block or allocate. Default: nothing.
    virtual void OnParameterChanged(int index);
    // Renders frames (1..BlockSize()) frames. inputs and outputs have one
    // non-null pointer per channel. Audio thread; no allocation, no I/O, no
    // lock but the instance lock. Default: copies input i to output i, zeroes
    // outputs without an input.
    virtual void RenderBlock(double** inputs, double** outputs, int frames);
    // Inside RenderBlock: true when the caller accepts a block of silence
    // left unwritten (the float process call of the binding, which then
    // writes the host's zeros itself); the product says so with
    // MarkBlockSilent. Every other caller gets its outputs written.
    bool SilenceMayStayUnwritten() const { return m_silenceMayStayUnwritten; }
    // Inside RenderBlock: every output frame of this block is 0.
    void MarkBlockSilent() { m_blockSilent = true; }
    // The editor window was opened / closed. UI thread. Default: nothing.
    virtual void OnEditorOpened();
    virtual void OnEditorClosed();
    // Host idle call. UI thread. Default: nothing.
    virtual void OnIdleTick();
    // Host switched processing on or off. UI thread (some hosts: the audio
    // thread). Default: nothing.
    virtual void OnActivation(bool active);
    // A MIDI message for the coming block; offsets count from its start.
    // Called from the dispatcher, usually on the audio thread just before the
    // block: must not block or allocate. Default: sends it back out (MIDI thru).
    virtual void HandleMidiMessage(const MidiMessage& message);
    // A system-exclusive message; the bytes are valid during the call only.
    // Same thread rules as HandleMidiMessage. Default: nothing.
    virtual void HandleSysEx(const SysExMessage& message);
    // Name of MIDI note into text (capacity bytes with terminator). UI thread.
    // Default: empties text and returns false.
    virtual bool GetNoteName(int note, char* text, int capacity);
    // Appends the plug-in's state to chunk. UI thread. Default: SerializeParams.
    virtual bool WriteState(StateChunk& chunk);
    // Reads a state from chunk at position; returns the position after it, or
    // -1 when it cannot be read completely (what was read stays applied).
    // UI thread. Default: UnserializeParams.
    virtual int ReadState(const StateChunk& chunk, int position);
    // Reads a program's state that may have been written with fewer values
    // than there are parameters. Returns the position after it when it is
    // complete; kStateValuesCut when its header was complete and the values
    // that fit were applied (the others keep theirs); -1 when it cannot be
    // used (what was read stays applied: callers take it back). Default:
    // ReadState, whose failures count as unusable.
    virtual int ReadProgramState(const StateChunk& chunk, int position);
    // The product's state that is not a parameter value (saved with every
    // program), captured and put back when a failed load is taken back.
    // Default: nothing.
    virtual void SaveProductState(StateChunk& chunk) const;
    virtual void RestoreProductState(const StateChunk& chunk);
    // True when every parameter value equals values[position + i] in single
    // precision (within 0.00001); false when values is too short.
    virtual bool StateEquals(std::span<const double> values, int position) const;
    // The editor's size changed. UI thread. Default: nothing.
    virtual void OnEditorResized();
    // The host has been identified (GetHostKind is valid). UI thread.
    virtual void OnHostKnown();
    // An editor gesture: parameter index takes normalized (0..1) as a single
    // change the host is told about (WriteParameter from the editor: the
    // editor's own control is left alone). UI thread; takes the instance
    // lock, does not allocate. Mapped MIDI controllers (audio thread) and
    // ensemble recipes write through WriteParameter as the product.
    virtual void SetParameterFromEditor(int index, double normalized);

    // Host services (implemented by the host binding). Callable from any
    // thread with the lock held; they call the host synchronously.
    virtual void BeginHostEdit(int index) = 0;
    virtual void NotifyHostParameter(int index, double normalized) = 0;
    virtual void EndHostEdit(int index) = 0;
    virtual void NotifyHostOfProgramChange() = 0;
    // Asks the host to size its editor window to width x height; false when
    // it cannot. Editor thread.
    virtual bool ResizeHostWindow(int width, int height);
    virtual bool IsRenderingOffline();
    // Host time; see IPluginVST for the defaults when the host reports nothing.
    virtual int GetSamplePosition() = 0;
    virtual double GetTempo() = 0;
    virtual void GetTimeSignature(int& numerator, int& denominator) = 0;
    virtual void GetTransportInfo(TransportInfo& info) = 0;
    // The host's kind; the base returns the stored kind.
    virtual HostKind GetHostKind();

    virtual void RefreshEditorRect() = 0;
    // First open by the host. UI thread. Default: nothing.
    virtual void OnHostOpen();
    // Takes ownership of editor, hands it every parameter's normalized value
    // and lets it prepare its drawing surfaces. A null editor is ignored.
    // Called while the product is constructed.
    virtual void AttachEditor(std::unique_ptr<PluginEditor> editor);
    // Processing delay in frames reported to the host.
    virtual void SetLatency(int frames);
    // Sends a MIDI message to the host's MIDI output; true when accepted.
    // Audio thread (from RenderBlock or HandleMidiMessage).
    virtual bool SendMidiMessage(const MidiMessage& message) = 0;
    virtual bool SendSysEx(const SysExMessage& message);

    // Every parameter's value to the attached editor's controls.
    virtual void PushParametersToEditor();
    // Reads a bank of preset records from chunk at position into the slots
    // (count records, every slot when count < 0; never more than there are
    // slots), then loads the current preset: the one the bank's trailer names
    // when it names a slot, else the current index. All or nothing: returns
    // the position after the last record (and trailer), or -1 when any
    // record is cut off or unreadable, in which case every slot, the current
    // index and the live state are as they were. UI thread; allocates.
    virtual int UnserializePresets(const StateChunk& chunk, int position, int count = -1);
    // Stores the live state into the current slot and, when name is given and
    // not empty, renames it (cut to 255 characters). UI thread; may allocate.
    virtual void ModifyCurrentPreset(const char* name = nullptr);
    // A preset was loaded, renamed or replaced. Default: nothing.
    virtual void OnPresetsChanged();
    // Hz; non-finite and non-positive rates are ignored.
    virtual void SetSampleRate(double rate);
    // Resizes and zeroes the scratch buffers when frames differs from the
    // current block size. frames < 1 is ignored, more than kMaxBlockSize is
    // limited to it. Not on the audio thread (allocates).
    virtual void SetBlockSize(int frames);

    // ---- Framework operations ------------------------------------------------

    // The instance lock: hold it across any read-modify-write of parameters,
    // presets or engine state from outside a host entry point.
    std::recursive_mutex& InstanceMutex() const { return m_mutex; }

    // Parameters in index order; the list never changes size.
    std::span<Parameter> Parameters() { return m_parameters; }
    std::span<const Parameter> Parameters() const { return m_parameters; }
    int NumParameters() const { return static_cast<int>(m_parameters.size()); }
    bool IsValidParameter(int index) const { return index >= 0 && index < NumParameters(); }
    // Null for an index outside the list.
    Parameter* GetParameter(int index);
    const Parameter* GetParameter(int index) const;

    // Who made a parameter change, so that it is not echoed back there.
    enum class ChangeSource {
        Host,     // setParameter or text entry: the editor is told, not the host
        Editor,   // a control moved: the host is told, not the editor
        Product,  // mapped MIDI controllers, ensemble recipes, switches: both
    };
    // The one routine that writes a single parameter. value is normalized
    // (0..1, snapped for stepped kinds) when normalized is true, else in the
    // parameter's unit (limited to its range); NaN and invalid indices are
    // ignored. Then, by source, the editor's controls get the value and the
    // host is told (automation), and OnParameterChanged turns it into engine
    // state. Any thread; takes the instance lock and does not allocate.
    void WriteParameter(int index, double value, bool normalized, ChangeSource source);
    // The same with the instance lock already held (host entry points,
    // hooks).
    void WriteParameterLocked(int index, double value, bool normalized, ChangeSource source);
    // Every parameter's value to the host (automation), in index order.
    void NotifyHostAllParameters();
    // OnParameterChanged for every parameter in index order, as one bulk
    // update (values unchanged): after a state is read, at open and at
    // activation. Skipped while a bank's records are read.
    void ApplyAllParameters();

    // Everything a load may change, so that a load that fails can be taken
    // back byte for byte.
    struct Snapshot {
        std::vector<Preset> presets;
        int currentPreset = 0;
        std::vector<double> values;
        StateChunk productState;
    };
    Snapshot TakeSnapshot() const;
    // Puts the slots, the current index, the values and the product state
    // back, then OnParameterChanged for every parameter and the editor
    // refreshed.
    void RestoreSnapshot(const Snapshot& snapshot);

    // While a bulk update runs (state, program and bank loads, ensemble
    // recipes, announcing every parameter) OnParameterChanged is not a
    // single parameter change: MIDI learn does not capture it. Lock held.
    class BulkUpdate {
    public:
        explicit BulkUpdate(IPluginBase& plugin) : m_plugin(plugin) { ++m_plugin.m_bulkDepth; }
        ~BulkUpdate() { --m_plugin.m_bulkDepth; }
        BulkUpdate(const BulkUpdate&) = delete;
        BulkUpdate& operator=(const BulkUpdate&) = delete;

    private:
        IPluginBase& m_plugin;
    };
    bool InBulkUpdate() const { return m_bulkDepth > 0; }
    // While a bank is read record by record, the live values are only a
    // passage from each record's state into its slot: state readers skip
    // OnParameterChanged (the engine hears the values the load ends with).
    bool ParameterChangesDeferred() const { return m_deferChanges > 0; }

    // Appends every parameter's value as a double. True when the chunk is not
    // empty afterwards.
    bool SerializeParams(StateChunk& chunk);
    // Reads a double per parameter from position (a missing one sets 0 and
    // makes the result -1), then OnParameterChanged for all. Returns the
    // position after the values or -1.
    int UnserializeParams(const StateChunk& chunk, int position);

    std::span<Preset> Presets() { return m_presets; }
    std::span<const Preset> Presets() const { return m_presets; }
    int NumPresets() const { return static_cast<int>(m_presets.size()); }
    int CurrentPresetIndex() const { return m_currentPreset; }
    // "" for an index outside the list.
    const char* PresetName(int index) const;
    // Makes preset index the current one: reads its state, or, for an unused
    // slot, names it "user preset N" and stores the live state in it. False
    // (nothing changed) for an index outside the list or an unreadable state.
    // UI thread (host program changes, editor), and the audio thread for MIDI
    // program changes: a slot that holds a state loads without allocating.
    bool LoadPreset(int index);
    // Names the first count unused slots "Empty" and stores the live state
    // in them.
    void FillEmptyPresets(int count);
    // Appends every preset record (name, used flag, state bytes).
    bool SerializePresets(StateChunk& chunk);

    const char* EffectName() const { return m_effectName; }
    const char* ProductName() const { return m_productName; }
    const char* VendorName() const { return m_vendorName; }
    std::int32_t UniqueId() const { return m_uniqueId; }
    // Packed 0x00MMmmrr, and major * 10000 + minor * 100 + revision.
    std::int32_t Version() const { return m_version; }
    std::int32_t DecimalVersion() const;
    // 0x00MMmmrr, 0 until the host has been asked.
    std::int32_t HostVersion() const { return m_hostVersion; }

    bool UsesStateChunks() const { return m_usesStateChunks; }
    bool IsInstrument() const { return m_isInstrument; }
    bool DoesMidi() const { return m_doesMidi; }

    double SampleRate() const { return m_sampleRate; }
    int BlockSize() const { return m_blockSize; }
    int Latency() const { return m_latency; }
    int TailSize() const { return m_tailSize; }

    int NumInputs() const { return static_cast<int>(m_inputs.size()); }
    int NumOutputs() const { return static_cast<int>(m_outputs.size()); }
    // Whether some channel configuration has exactly inputs inputs and outputs
    // outputs; -1 for either side matches any count.
    bool LegalIO(int inputs, int outputs) const;
    bool IsInputConnected(int channel) const;
    bool IsOutputConnected(int channel) const;
    // Null when no editor is attached.
    PluginEditor* Editor() const { return m_editor.get(); }

protected:
    struct ChannelIO {
        int inputs;
        int outputs;
    };
    struct InputChannel {
        bool connected = true;
        std::vector<double> scratch;  // BlockSize() frames
        char label[kParameterTextSize] = {};
    };
    struct OutputChannel {
        bool connected = true;
        float* hostBuffer = nullptr;  // the host's buffer of the current single-precision call
        std::vector<double> scratch;  // BlockSize() frames
        char label[kParameterTextSize] = {};
    };

    // Connects or disconnects a channel; a disconnected channel renders into
    // its scratch buffer and takes no host buffer.
    void SetInputConnected(int channel, bool connected);
    void SetOutputConnected(int channel, bool connected);
    // Points every channel's slot at its scratch buffer.
    void PointSlotsAtScratch();

    void SetHostIdentity(HostKind kind, std::int32_t version)
    {
        m_hostKind = kind;
        m_hostVersion = version;
    }
    void SetTailSize(int frames) { m_tailSize = frames; }

    std::vector<InputChannel> m_inputs;
    std::vector<OutputChannel> m_outputs;
    // The silent-block hand-shake of RenderBlock (audio thread).
    bool m_silenceMayStayUnwritten = false;
    bool m_blockSilent = false;
    // The pointer arrays handed to RenderBlock, one slot per channel.
    std::vector<double*> m_inputSlots;
    std::vector<double*> m_outputSlots;
    std::unique_ptr<PluginEditor> m_editor;

private:
    void ParseChannelIO(const char* description);
    // The records of a bank into the first records slots, with the state
    // readers' OnParameterChanged deferred; false at the first record that
    // does not fit or cannot be read (the slots are then half written).
    bool ReadRecords(const StateChunk& chunk, int& position, int records);

    char m_effectName[kIdentityTextSize] = {};
    char m_productName[kIdentityTextSize] = {};
    char m_vendorName[kIdentityTextSize] = {};
    std::int32_t m_uniqueId = 0;
    std::int32_t m_version = 0;
    HostKind m_hostKind = HostKind::NotAsked;
    std::int32_t m_hostVersion = 0;
    bool m_usesStateChunks = true;
    bool m_isInstrument = true;
    bool m_doesMidi = true;
    int m_currentPreset = 0;
    int m_bulkDepth = 0;
    int m_deferChanges = 0;
    double m_sampleRate = 44100.0;
    int m_blockSize = 0;
    int m_latency = 0;
    int m_tailSize = 0;
    std::vector<ChannelIO> m_channelIO;
    std::vector<Parameter> m_parameters;
    std::vector<Preset> m_presets;
    mutable std::recursive_mutex m_mutex;
};

// Holds an instance's lock for a scope.
using InstanceLock = std::lock_guard<std::recursive_mutex>;
