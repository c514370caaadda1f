// Drives an instrument the way a host does: MIDI handed over before the
// block that contains it, rendering in blocks of a chosen size. The engine
// suites drive the bare engine with it, the product suites the plug-in.
#pragma once

#include <cstdint>
#include <vector>

#include "core/MidiMessage.h"

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

class BlockRenderer {
public:
    virtual ~BlockRenderer() = default;

    // Sets a parameter in its own unit and tells the engine.
    virtual void Set(int index, double value) = 0;
    void Midi(int offset, int status, int data1, int data2);

    // Renders frames frames in blocks of blockSize, handing each message over
    // before the block that contains its time (offset counted from that
    // block's start). With upfront, every message is instead handed over
    // before the first block, with its absolute time as offset.
    StereoBuffer Render(std::int64_t frames, int blockSize, const std::vector<TimedMidi>& script = {},
                        bool upfront = false);

protected:
    virtual void Deliver(const MidiMessage& message) = 0;
    virtual void RenderBlock(double* left, double* right, int frames) = 0;

private:
    std::int64_t m_time = 0;
};

// The serial VCF as a brass setting: level, cutoff and peak up, envelope and
// key tracking, with the chorus filter and phaser in the chain.
void VcfSerialBrass(BlockRenderer& engine);

// Whether two renders are the same bit for bit.
bool Identical(const StereoBuffer& a, const StereoBuffer& b);
