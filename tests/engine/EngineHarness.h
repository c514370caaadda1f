// Drives a VORN instance the way a host does (reset, activation, MIDI before
// each block, rendering in blocks) without loading the module.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/VORN.h"

// A host callback that answers nothing.
VstIntPtr VSTCALLBACK SilentHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

// Construction applies the startup or factory bank and the user's MIDI
// settings; engine tests start instead from the initialised program (every
// parameter at its default, tweak snapshot included), with no controller
// mapped and the MIDI options off.
void StartFromInitialisedProgram(VORN& plugin);

// A MIDI message at an absolute sample time.
struct TimedMidi {
    std::int64_t time;
    std::uint8_t status;
    std::uint8_t data1;
    std::uint8_t data2;
};

struct StereoBuffer {
    std::vector<double> left;
    std::vector<double> right;

    bool operator==(const StereoBuffer& other) const = default;
    double Rms(std::size_t begin = 0, std::size_t end = SIZE_MAX) const;
    double PeakAbs() const;
    bool AllFinite() const;
};

class EngineHarness {
public:
    // Constructed, sample rate and maximum block size set, reset and switched
    // on, as a host does before processing.
    explicit EngineHarness(double sampleRate = 48000.0, int maxBlockSize = 4096);

    VORN& Plugin() { return *m_plugin; }
    // Sets a parameter in its own unit and tells the engine.
    void Set(int index, double value);
    void Midi(int offset, int status, int data1, int data2);

    // Renders frames frames in host blocks of blockSize, handing each message
    // to the plug-in before the block that contains its time (offset counted
    // from that block's start). With upfront, every message is instead
    // handed over before the first block, with its absolute time as offset.
    StereoBuffer Render(std::int64_t frames, int blockSize, const std::vector<TimedMidi>& script = {},
                        bool upfront = false);

private:
    std::unique_ptr<VORN> m_plugin;
    std::int64_t m_time = 0;
};

// The serial VCF as a brass setting: level, cutoff and peak up, envelope and
// key tracking, with the chorus filter and phaser in the chain.
void VcfSerialBrass(EngineHarness& engine);
