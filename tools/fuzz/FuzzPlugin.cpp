#include "tools/fuzz/FuzzPlugin.h"

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "synth/Synth.h"

namespace {

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback);

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace

const std::string& PrivateUserFolder()
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/vorn-fuzz-home.XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) {
            Fail("no private user folder");
        }
        const std::string home = made;
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", (home + "/Documents").c_str(), 1);
        return home;
    }();
    return folder;
}

FuzzPlugin::FuzzPlugin(bool vendorQuirk)
{
    PrivateUserFolder();
    m_host.SetVendor(vendorQuirk ? "Native Instruments" : "VORN fuzz");
    if (!m_host.Create(&VSTPluginMain)) {
        Fail("no instance");
    }
    m_plugin = IPluginVST::FromEffect(m_host.Effect());
    m_synth = dynamic_cast<Synth*>(m_plugin);
    if (m_synth == nullptr) {
        Fail("the product is not a Synth");
    }
    if (!m_host.Start(44100.0, 64)) {
        Fail("cannot start");
    }
    m_baseline = m_plugin->TakeSnapshot();
}

void FuzzPlugin::StartInput()
{
    m_synth->SetMidiLearn(false, false);
    m_synth->ControllerMap().Clear();
    m_synth->SetMidiThru(false);
    m_synth->SetIgnoreProgramChange(false);
    m_synth->DiscardQueuedMidi();
    m_plugin->RestoreSnapshot(m_baseline);
    Dispatch(effMainsChanged, 0, 0);
    Dispatch(effMainsChanged, 0, 1);
}

FuzzPlugin::Programs FuzzPlugin::Take() const
{
    Programs programs;
    programs.presets.assign(m_plugin->Presets().begin(), m_plugin->Presets().end());
    programs.current = m_plugin->CurrentPresetIndex();
    for (const Parameter& parameter : m_plugin->Parameters()) {
        programs.values.push_back(parameter.Value());
    }
    return programs;
}

void FuzzPlugin::ExpectUnchanged(const Programs& before, bool values) const
{
    const Programs after = Take();
    if (after.current != before.current) {
        Fail("a failed load changed the current program");
    }
    for (std::size_t i = 0; i < before.presets.size(); ++i) {
        const Preset& a = before.presets[i];
        const Preset& b = after.presets[i];
        if (a.initialised != b.initialised || std::strcmp(a.name, b.name) != 0 || !(a.state == b.state)) {
            Fail("a failed load changed a program");
        }
    }
    if (values && after.values != before.values) {
        Fail("a failed load changed the live values");
    }
}

FuzzPlugin::~FuzzPlugin() = default;

VstIntPtr FuzzPlugin::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return m_host.Dispatch(opcode, index, value, ptr, opt);
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
    m_host.Process(64, ProcessMode::Replacing);
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
    // Every slot's state was written by the plug-in: it can be loaded.
    if (!plugin.LoadPreset(current)) {
        Fail("the current slot cannot be loaded");
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
