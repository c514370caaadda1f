// Drives the bare engine the way the plug-in does: every parameter at its
// default, reset at a sample rate and block size, MIDI before each block.
#pragma once

#include "engine/dsp/Engine.h"
#include "tests/support/BlockRenderer.h"

class ClockHarness : public BlockRenderer {
public:
    explicit ClockHarness(double sampleRate = 48000.0, int maxBlockSize = 4096);

    Engine& Core() { return m_engine; }
    void Set(int index, double value) override { m_engine.SetParameter(index, value); }
    // As the plug-in resets it (a new sample rate, a suspend and resume).
    void Reset(double sampleRate) { m_engine.Reset(sampleRate, m_maxBlockSize); }

private:
    void Deliver(const MidiMessage& message) override { m_engine.Intake(message); }
    void RenderBlock(double* left, double* right, int frames) override
    {
        m_engine.Render(left, right, frames);
    }

    Engine m_engine;
    int m_maxBlockSize;
};
