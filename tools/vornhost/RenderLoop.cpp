#include "tools/vornhost/RenderLoop.h"

#include <algorithm>

RenderResult RenderFrames(PluginHost& host, std::int64_t totalFrames, ProcessMode mode,
                          std::vector<TimedMidiEvent> events, const BlockSink& sink,
                          std::vector<TimedParameterChange> parameters)
{
    RenderResult result;
    std::stable_sort(events.begin(), events.end(),
                     [](const TimedMidiEvent& a, const TimedMidiEvent& b) { return a.frame < b.frame; });
    std::stable_sort(
        parameters.begin(), parameters.end(),
        [](const TimedParameterChange& a, const TimedParameterChange& b) { return a.frame < b.frame; });
    auto next = std::find_if(events.begin(), events.end(),
                             [](const TimedMidiEvent& event) { return event.frame >= 0; });
    auto nextParameter = parameters.begin();
    std::vector<BlockMidiEvent> blockEvents;
    const std::int64_t blockSize = std::max(host.BlockSize(), 1);

    std::int64_t position = 0;
    while (position < totalFrames) {
        for (; nextParameter != parameters.end() && nextParameter->frame <= position; ++nextParameter) {
            if (host.SetParameter(nextParameter->index, nextParameter->value)) {
                ++result.parametersSet;
            }
        }
        std::int64_t end = std::min(position + blockSize, totalFrames);
        if (nextParameter != parameters.end()) {
            end = std::min(end, nextParameter->frame);
        }
        const int frames = static_cast<int>(end - position);
        blockEvents.clear();
        for (; next != events.end() && next->frame < end; ++next) {
            blockEvents.push_back({static_cast<std::int32_t>(next->frame - position), next->bytes});
        }
        if (!blockEvents.empty()) {
            host.SendMidi(blockEvents);
            result.eventsSent += static_cast<std::int64_t>(blockEvents.size());
        }
        host.Process(frames, mode);
        position = end;
        result.framesRendered = position;
        if (sink && !sink(host, frames)) {
            result.stoppedBySink = true;
            break;
        }
    }
    return result;
}
