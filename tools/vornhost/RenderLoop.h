// The host's processing loop: renders a stretch of audio block by block,
// delivering timed MIDI events through effProcessEvents before the block they
// fall in, and hands each block to a sink (a file writer, or nothing when
// only the time is of interest).
#pragma once

#include "tools/vornhost/PluginHost.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// A MIDI message at an absolute frame of the render.
struct TimedMidiEvent {
    std::int64_t frame = 0;
    std::array<unsigned char, 3> bytes{};
};

// Receives each rendered block (frames long, in host.Output(channel)); false stops the render.
using BlockSink = std::function<bool(const PluginHost& host, int frames)>;

struct RenderResult {
    std::int64_t framesRendered = 0;
    std::int64_t eventsSent = 0;
    bool stoppedBySink = false;
};

// Renders totalFrames frames in blocks of host.BlockSize() with the given
// callback. Events are delivered in frame order (equal frames keep their
// given order); events at or after totalFrames are dropped. The host must be
// resumed; sink may be empty.
RenderResult RenderFrames(PluginHost& host, std::int64_t totalFrames, ProcessMode mode,
                          std::vector<TimedMidiEvent> events, const BlockSink& sink);
