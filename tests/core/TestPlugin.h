// A small plug-in over IPluginVST and a scripted host for driving it through
// its effect record, as a host would.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/IPluginVST.h"
#include "core/PluginEditor.h"

// What the fake host answers and what it was asked.
struct FakeHost {
    std::string productString;
    std::string vendorString;
    VstIntPtr vendorVersion = 0;
    bool hasTime = false;
    VstTimeInfo time{};
    VstIntPtr processLevel = 0;
    VstIntPtr processEventsResult = 1;

    struct Call {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        float opt;
    };
    std::vector<Call> calls;
    // Copies of events sent with audioMasterProcessEvents.
    std::vector<VstMidiEvent> midiEvents;
    std::vector<VstMidiSysexEvent> sysexEvents;
    bool record = true;  // off for the allocation test

    int Count(VstInt32 opcode) const
    {
        int n = 0;
        for (const Call& call : calls) {
            n += call.opcode == opcode ? 1 : 0;
        }
        return n;
    }

    static FakeHost* current;
    static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                          void* ptr, float opt);
};

// Records every editor call.
class FakeEditor : public PluginEditor {
public:
    struct PlugValue {
        int index;
        double value;
        bool normalized;
    };
    int width = 600;
    int height = 400;
    bool openSucceeds = true;
    std::vector<PlugValue> fromPlug;
    std::vector<std::pair<int, double>> applied;
    int prepareCount = 0;
    int openCount = 0;
    int closeCount = 0;
    void* lastParent = nullptr;

    int Width() const override { return width; }
    int Height() const override { return height; }
    void SetParameterFromPlug(int index, double value, bool normalized) override
    {
        fromPlug.push_back({index, value, normalized});
    }
    void ApplyPlugValues(int index, double normalized) override { applied.emplace_back(index, normalized); }
    void PrepareDrawing() override { ++prepareCount; }
    void* OpenWindow(void* parent) override
    {
        ++openCount;
        lastParent = parent;
        return openSucceeds ? this : nullptr;
    }
    void CloseWindow() override { ++closeCount; }
};

// Four parameters: 0 continuous 0..1, 1 integer -12..12, 2 enumerated
// ("Normal", "Pan", "Wide"), 3 continuous 0..15 shape 4 negated. Four presets.
// Renders a ramp: output channel c, frame s of a block = c * 1000 + the
// running frame counter.
class TestPlugin : public IPluginVST {
public:
    static PluginInfo MakeInfo(const char* channelIO = "0-2");
    explicit TestPlugin(audioMasterCallback host = &FakeHost::Callback, const char* channelIO = "0-2");

    void OnReset() override { ++resetCount; }
    void OnParameterChanged(int index) override { changed.push_back(index); }
    void RenderBlock(double** inputs, double** outputs, int frames) override;
    void OnEditorOpened() override { ++editorOpened; }
    void OnEditorClosed() override { ++editorClosed; }
    void OnIdleTick() override { ++idleTicks; }
    void OnActivation(bool active) override { activations.push_back(active); }
    void HandleMidiMessage(const MidiMessage& message) override { midi.push_back(message); }
    void HandleSysEx(const SysExMessage& message) override
    {
        sysex.emplace_back(message.data, message.data + message.size);
        sysexOffsets.push_back(message.frameOffset);
    }
    bool GetNoteName(int note, char* text, int capacity) override;
    void OnPresetsChanged() override { ++presetsChanged; }
    void OnHostKnown() override { ++hostKnown; }

    // Raises bad_alloc from the next RenderBlock / WriteState.
    bool throwInRender = false;
    bool throwInWrite = false;
    bool WriteState(StateChunk& chunk) override;

    int resetCount = 0;
    int editorOpened = 0;
    int editorClosed = 0;
    int idleTicks = 0;
    int presetsChanged = 0;
    int hostKnown = 0;
    std::vector<int> changed;
    std::vector<bool> activations;
    std::vector<MidiMessage> midi;
    std::vector<std::vector<std::uint8_t>> sysex;
    std::vector<int> sysexOffsets;
    std::vector<int> renderSizes;
    bool recordRenders = true;
    double rampCounter = 0.0;
    int maxRenderFrames = 0;

    // Channel control for tests.
    using IPluginBase::SetInputConnected;
    using IPluginBase::SetOutputConnected;
    using IPluginVST::CallHost;
};

// Dispatcher shorthand.
inline VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}
