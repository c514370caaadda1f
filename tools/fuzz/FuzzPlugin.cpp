#include "tools/fuzz/FuzzPlugin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/PluginFactory.h"

namespace {

const AEffect* g_quirkyEffect = nullptr;
bool g_creatingQuirky = false;

VstIntPtr VSTCALLBACK FuzzHost(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode) {
        case audioMasterVersion:
            return 2400;
        case audioMasterGetVendorString:
            if (ptr != nullptr && (effect == g_quirkyEffect || (effect == nullptr && g_creatingQuirky))) {
                std::strcpy(static_cast<char*>(ptr), "Native Instruments");
            }
            return 1;
        default:
            return 0;
    }
}

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace

FuzzPlugin::FuzzPlugin(bool vendorQuirk)
{
    g_creatingQuirky = vendorQuirk;
    m_plugin.reset(CreatePluginInstance(&FuzzHost));
    if (!m_plugin) {
        Fail("no instance");
    }
    if (vendorQuirk) {
        g_quirkyEffect = m_plugin->Effect();
    }
    m_plugin->FillEmptyPresets(m_plugin->NumPresets());
    AEffect* effect = m_plugin->Effect();
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 64, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
}

FuzzPlugin::~FuzzPlugin()
{
    if (m_plugin) {
        AEffect* effect = m_plugin->Effect();
        effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
        if (g_quirkyEffect == effect) {
            g_quirkyEffect = nullptr;
        }
    }
}

VstIntPtr FuzzPlugin::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr)
{
    AEffect* effect = m_plugin->Effect();
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
}

VstIntPtr FuzzPlugin::SetChunk(bool bank, const std::uint8_t* data, std::size_t size)
{
    // An exact-size heap copy, so that ASan sees any read past its end.
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[std::max<std::size_t>(size, 1)]);
    if (size > 0) {
        std::memcpy(copy.get(), data, size);
    }
    return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(size), copy.get());
}

void FuzzPlugin::RenderShortBlock()
{
    std::vector<float> left(64);
    std::vector<float> right(64);
    float* outputs[2] = {left.data(), right.data()};
    AEffect* effect = m_plugin->Effect();
    effect->processReplacing(effect, nullptr, outputs, 64);
}

void FuzzPlugin::CheckConsistent()
{
    IPluginVST& plugin = *m_plugin;
    for (const Parameter& parameter : plugin.Parameters()) {
        const double value = parameter.Value();
        if (!(value >= parameter.Min() && value <= parameter.Max())) {
            Fail("parameter outside its range");
        }
    }
    for (const Preset& preset : plugin.Presets()) {
        if (std::memchr(preset.name, '\0', sizeof(preset.name)) == nullptr) {
            Fail("preset name without terminator");
        }
    }
    for (const Preset& preset : plugin.Presets()) {
        if (preset.initialised && preset.state.Empty()) {
            Fail("a slot claims a state it does not hold");
        }
    }
    const int current = plugin.CurrentPresetIndex();
    if (current < 0 || current >= plugin.NumPresets()) {
        Fail("current preset outside the list");
    }
    // The live parameters match the current slot: reloading it changes
    // nothing, and it can be loaded (its state was written by the plug-in).
    std::vector<double> live;
    for (const Parameter& parameter : plugin.Parameters()) {
        live.push_back(parameter.Value());
    }
    if (!plugin.LoadPreset(current)) {
        Fail("the current slot cannot be loaded");
    }
    for (std::size_t i = 0; i < live.size(); ++i) {
        if (plugin.Parameters()[i].Value() != live[i]) {
            Fail("the live parameters differ from the current slot");
        }
    }
    void* data = nullptr;
    if (Dispatch(effGetChunk, 1, 0, &data) <= 0 || data == nullptr) {
        Fail("no program chunk");
    }
    data = nullptr;
    if (Dispatch(effGetChunk, 0, 0, &data) <= 0 || data == nullptr) {
        Fail("no bank chunk");
    }
}

StateChunk ChunkFromInput(const std::uint8_t* data, std::size_t size)
{
    StateChunk chunk;
    chunk.Assign(data, static_cast<int>(std::min<std::size_t>(size, StateChunk::kMaxSize)));
    return chunk;
}
