// Drives a VORN instance the way a host does (reset, activation, MIDI before
// each block, rendering in blocks) without loading the module.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/VORN.h"
#include "tests/support/BlockRenderer.h"

// A host callback that answers nothing.
VstIntPtr VSTCALLBACK SilentHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

// Construction applies the startup or factory bank and the user's MIDI
// settings; engine tests start instead from the initialised program (every
// parameter at its default, tweak snapshot included), with no controller
// mapped and the MIDI options off.
void StartFromInitialisedProgram(VORN& plugin);

class EngineHarness : public BlockRenderer {
public:
    // Constructed, sample rate and maximum block size set, reset and switched
    // on, as a host does before processing.
    explicit EngineHarness(double sampleRate = 48000.0, int maxBlockSize = 4096);

    VORN& Plugin() { return *m_plugin; }
    void Set(int index, double value) override;

private:
    void Deliver(const MidiMessage& message) override;
    void RenderBlock(double* left, double* right, int frames) override;

    std::unique_ptr<VORN> m_plugin;
};
