#include "TestPlugin.h"

#include <new>

FakeHost* FakeHost::current = nullptr;

VstIntPtr VSTCALLBACK FakeHost::Callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                         void* ptr, float opt)
{
    FakeHost* host = current;
    if (host == nullptr) {
        return 0;
    }
    if (host->record) {
        host->calls.push_back({opcode, index, value, opt});
    }
    switch (opcode) {
        case audioMasterGetProductString:
            std::strcpy(static_cast<char*>(ptr), host->productString.c_str());
            return 1;
        case audioMasterGetVendorString:
            std::strcpy(static_cast<char*>(ptr), host->vendorString.c_str());
            return 1;
        case audioMasterGetVendorVersion:
            return host->vendorVersion;
        case audioMasterGetTime:
            return host->hasTime ? reinterpret_cast<VstIntPtr>(&host->time) : 0;
        case audioMasterGetCurrentProcessLevel:
            return host->processLevel;
        case audioMasterProcessEvents: {
            const auto* events = static_cast<const VstEvents*>(ptr);
            for (VstInt32 i = 0; i < events->numEvents; ++i) {
                if (events->events[i]->type == kVstMidiType) {
                    host->midiEvents.push_back(*reinterpret_cast<const VstMidiEvent*>(events->events[i]));
                } else if (events->events[i]->type == kVstSysExType) {
                    host->sysexEvents.push_back(
                        *reinterpret_cast<const VstMidiSysexEvent*>(events->events[i]));
                }
            }
            return host->processEventsResult;
        }
        default:
            return 0;
    }
}

PluginInfo TestPlugin::MakeInfo(const char* channelIO)
{
    PluginInfo info;
    info.effectName = "Test Synth";
    info.productName = "Test Product";
    info.vendorName = "Test Vendor";
    info.uniqueId = VstFourCC('t', 'e', 's', 't');
    info.version = 0x00010203;
    info.channelIO = channelIO;
    info.parameterCount = 4;
    info.presetCount = 4;
    return info;
}

TestPlugin::TestPlugin(audioMasterCallback host, const char* channelIO)
    : IPluginVST(host, MakeInfo(channelIO))
{
    static const char* const kModes[] = {"Normal", "Pan", "Wide"};
    Parameters()[0].DefineContinuous("Level", 0.5, 0.0, 1.0, 0.01);
    Parameters()[1].DefineInteger("Transpose", 0.0, -12.0, 12.0);
    Parameters()[2].DefineEnumerated("Mode", 3, kModes);
    Parameters()[3].DefineContinuous("Rate", 1.0, 0.0, 15.0, 0.01, "Hz", "", 4.0);
    Parameters()[3].SetNegateDisplay(true);
}

void TestPlugin::RenderBlock(double** inputs, double** outputs, int frames)
{
    if (throwInRender) {
        throw std::bad_alloc();
    }
    if (recordRenders) {
        renderSizes.push_back(frames);
    }
    maxRenderFrames = std::max(maxRenderFrames, frames);
    for (int c = 0; c < NumOutputs(); ++c) {
        for (int s = 0; s < frames; ++s) {
            double in = c < NumInputs() ? inputs[c][s] : 0.0;
            outputs[c][s] = c * 1000.0 + rampCounter + s + in;
        }
    }
    rampCounter += frames;
}

bool TestPlugin::GetNoteName(int note, char* text, int capacity)
{
    if (note != 60) {
        return IPluginVST::GetNoteName(note, text, capacity);
    }
    std::snprintf(text, static_cast<std::size_t>(capacity), "Middle C");
    return true;
}

bool TestPlugin::WriteState(StateChunk& chunk)
{
    if (throwInWrite) {
        throw std::bad_alloc();
    }
    return IPluginVST::WriteState(chunk);
}
