// The host's processing loop: renders a stretch of audio block by block,
// delivering timed MIDI events through effProcessEvents before the block they
// fall in and timed parameter changes through setParameter at their exact
// frame (a block is cut short where a change falls), and hands each block to
// a sink (a file writer, or nothing when only the time is of interest).
#pragma once

#include "tools/host/PluginHost.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// A MIDI message at an absolute frame of the render.
struct TimedMidiEvent {
    std::int64_t frame = 0;
    std::array<unsigned char, 3> bytes{};
};

// A setParameter call at an absolute frame of the render; value is normalized.
struct TimedParameterChange {
    std::int64_t frame = 0;
    int index = 0;
    float value = 0.0f;
};

// Receives each rendered block (frames long, in host.Output(channel)); false stops the render.
using BlockSink = std::function<bool(const PluginHost& host, int frames)>;

struct RenderResult {
    std::int64_t framesRendered = 0;
    std::int64_t eventsSent = 0;
    std::int64_t parametersSet = 0;
    bool stoppedBySink = false;
};

// Renders totalFrames frames in blocks of at most host.BlockSize() with the
// given callback. Events and parameter changes are delivered in frame order
// (equal frames keep their given order); MIDI events before frame 0 and
// either kind at or after totalFrames are dropped, parameter changes before
// frame 0 are made before the first block. A block ends early where a
// parameter change falls, so the change takes effect at its frame. The host
// must be resumed; sink may be empty.
RenderResult RenderFrames(PluginHost& host, std::int64_t totalFrames, ProcessMode mode,
                          std::vector<TimedMidiEvent> events, const BlockSink& sink,
                          std::vector<TimedParameterChange> parameters = {});
