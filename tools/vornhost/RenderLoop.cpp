#include "tools/vornhost/RenderLoop.h"

#include <algorithm>

RenderResult RenderFrames(PluginHost& host, std::int64_t totalFrames, ProcessMode mode,
                          std::vector<TimedMidiEvent> events, const BlockSink& sink)
{
    RenderResult result;
    std::stable_sort(events.begin(), events.end(),
                     [](const TimedMidiEvent& a, const TimedMidiEvent& b) { return a.frame < b.frame; });
    auto next = std::find_if(events.begin(), events.end(),
                             [](const TimedMidiEvent& event) { return event.frame >= 0; });
    std::vector<BlockMidiEvent> blockEvents;
    const std::int64_t blockSize = std::max(host.BlockSize(), 1);

    std::int64_t position = 0;
    while (position < totalFrames) {
        const int frames = static_cast<int>(std::min(blockSize, totalFrames - position));
        blockEvents.clear();
        for (; next != events.end() && next->frame < position + frames; ++next) {
            blockEvents.push_back({static_cast<std::int32_t>(next->frame - position), next->bytes});
        }
        if (!blockEvents.empty()) {
            host.SendMidi(blockEvents);
            result.eventsSent += static_cast<std::int64_t>(blockEvents.size());
        }
        host.Process(frames, mode);
        position += frames;
        result.framesRendered = position;
        if (sink && !sink(host, frames)) {
            result.stoppedBySink = true;
            break;
        }
    }
    return result;
}
