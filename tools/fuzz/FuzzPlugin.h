// Shared by the fuzz targets: an in-process product instance set up as a host
// sets it up, brought back to the same known state before every input (so
// that a crash reproduces from its input alone), and the checks that must
// hold after any input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/IPluginVST.h"
#include "core/StateChunk.h"
#include "tools/host/PluginHost.h"

class Synth;

// Points HOME and the XDG folders at a private folder made for this process,
// once, so that no fuzz run reads or writes the developer's configuration.
// Returns that folder.
const std::string& PrivateUserFolder();

// A product instance made through the module's entry point by the shared
// host, opened, sample rate and block size set and processing switched on.
// With vendorQuirk the host reports itself as "Native Instruments", whose
// chunk handling differs.
class FuzzPlugin {
public:
    explicit FuzzPlugin(bool vendorQuirk = false);
    ~FuzzPlugin();
    FuzzPlugin(const FuzzPlugin&) = delete;
    FuzzPlugin& operator=(const FuzzPlugin&) = delete;

    IPluginVST& Plugin() { return *m_plugin; }
    Synth& SynthBase() { return *m_synth; }
    // Back to the state right after construction: programs, current program,
    // live values, MIDI learn and map, MIDI options, pending MIDI, engine.
    void StartInput();
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    // effSetChunk with a copy of the bytes (the host's buffer is not ours to keep).
    VstIntPtr SetChunk(bool bank, const std::uint8_t* data, std::size_t size);
    // Renders a short block, so that whatever state was loaded is played.
    void RenderShortBlock();
    // Checks that survive any input: the live parameters are inside their
    // ranges, every slot that claims a state can be read back, and the
    // instance still hands out both chunks. Aborts otherwise.
    void CheckConsistent();

    // The programs, the current program and the live values now, and a check
    // that they are as they were (aborts otherwise): what a failed load must
    // leave. Without values, only the programs and the current one count (a
    // program cut inside its values applies what fits to the live values).
    struct Programs {
        std::vector<Preset> presets;
        int current = 0;
        std::vector<double> values;
    };
    Programs Take() const;
    void ExpectUnchanged(const Programs& before, bool values) const;

private:
    PluginHost m_host;
    IPluginVST* m_plugin = nullptr;  // owned by the host's instance
    Synth* m_synth = nullptr;
    IPluginBase::Snapshot m_baseline;
};

// The input as a StateChunk (inputs larger than a chunk may be are cut).
StateChunk ChunkFromInput(const std::uint8_t* data, std::size_t size);
