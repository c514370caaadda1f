// vornhost render: plays MIDI files, the demo phrase or notes into audio files.
#include "tools/vornhost/Commands.h"
#include "tools/vornhost/DemoPhrase.h"
#include "tools/vornhost/MidiFile.h"
#include "tools/vornhost/VornParameters.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

namespace {

// A one-line bar on stderr, redrawn when the shown percentage changes.
class ProgressBar {
public:
    ProgressBar(std::int64_t total, bool show) : m_total(total), m_show(show && total > 0) {}
    ~ProgressBar() { Finish(); }

    void Update(std::int64_t done)
    {
        if (!m_show) {
            return;
        }
        const int percent = static_cast<int>(std::min<std::int64_t>(100, done * 100 / m_total));
        if (percent == m_percent) {
            return;
        }
        m_percent = percent;
        constexpr int kWidth = 40;
        char bar[kWidth + 1];
        const int filled = percent * kWidth / 100;
        for (int i = 0; i < kWidth; ++i) {
            bar[i] = i < filled ? '#' : '-';
        }
        bar[kWidth] = '\0';
        std::fprintf(stderr, "\rrendering [%s] %3d%%", bar, percent);
        std::fflush(stderr);
    }

    void Finish()
    {
        if (m_show && m_percent >= 0) {
            std::fprintf(stderr, "\n");
        }
        m_show = false;
    }

private:
    std::int64_t m_total;
    bool m_show;
    int m_percent = -1;
};

// What render plays: events and parameter changes in frames, and the music's end.
struct RenderScore {
    std::vector<TimedMidiEvent> events;
    std::vector<TimedParameterChange> parameters;
    std::int64_t endFrame = 0;  // last event of the music, before the tail
    bool hasMusic = false;
};

bool BuildRenderScore(const RenderOptions& options, RenderScore& score)
{
    score.events = options.events;
    for (const TimedMidiEvent& event : options.events) {
        score.endFrame = std::max(score.endFrame, event.frame);
    }
    score.hasMusic = !options.events.empty();
    const double rate = options.sampleRate;
    if (options.demo) {
        DemoScore demo = BuildDemoPhrase(options.sampleRate);
        score.events.insert(score.events.end(), demo.events.begin(), demo.events.end());
        score.parameters = std::move(demo.parameters);
        score.endFrame = std::max(score.endFrame, demo.lengthFrames);
        score.hasMusic = true;
        for (const DemoSection& section : demo.sections) {
            std::printf("demo: %5.1f s  %s (buttons %d)\n", section.startSeconds, section.name.c_str(),
                        section.buttons);
        }
    }
    if (!options.midiPath.empty()) {
        MidiSequence sequence;
        std::string error;
        if (!ReadMidiFile(options.midiPath, sequence, error)) {
            std::fprintf(stderr, "vornhost: %s\n", error.c_str());
            return false;
        }
        constexpr double kMaxMidiSeconds = 3600.0;
        if (sequence.lengthSeconds > kMaxMidiSeconds) {
            std::fprintf(stderr, "vornhost: %s lasts %.0f s; at most %.0f s can be rendered\n",
                         options.midiPath.c_str(), sequence.lengthSeconds, kMaxMidiSeconds);
            return false;
        }
        for (const MidiFileEvent& event : sequence.events) {
            score.events.push_back(
                {static_cast<std::int64_t>(std::llround(event.seconds * rate)), event.bytes});
        }
        score.endFrame =
            std::max(score.endFrame, static_cast<std::int64_t>(std::llround(sequence.lengthSeconds * rate)));
        score.hasMusic = true;
        std::printf("MIDI file: format %d, %d tracks, %zu channel messages, %.2f s\n", sequence.format,
                    sequence.trackCount, sequence.events.size(), sequence.lengthSeconds);
    }
    // Made at the start, after the demo's own start settings, in the given order.
    if (options.buttons >= 0) {
        for (const ParameterWrite& write : EnsembleWrites(options.buttons)) {
            score.parameters.push_back({0, write.index, write.normalized});
        }
    }
    for (const ParameterSetting& setting : options.settings) {
        score.parameters.push_back({0, setting.index, setting.value});
    }
    return true;
}

}  // namespace

int RunRender(const RenderOptions& options)
{
    RenderScore score;
    if (!BuildRenderScore(options, score)) {
        return 1;
    }
    double seconds = options.seconds;
    if (seconds <= 0.0) {
        seconds = score.hasMusic
                      ? static_cast<double>(score.endFrame) / options.sampleRate + options.tailSeconds
                      : 2.0;
    }
    const auto totalFrames = static_cast<std::int64_t>(std::llround(seconds * options.sampleRate));

    PluginHost host;
    host.SetVerbose(options.verbose);
    host.SetOffline(true);
    if (!StartPlugin(host, options.modulePath, options.sampleRate, options.blockSize, options.mode,
                     options.program)) {
        return 1;
    }
    const int numParams = host.Effect()->numParams;
    for (const TimedParameterChange& change : score.parameters) {
        if (change.index < 0 || change.index >= numParams) {
            std::fprintf(stderr, "vornhost: parameter %d does not exist (the plug-in has %d)\n", change.index,
                         numParams);
            return 1;
        }
    }

    std::vector<std::unique_ptr<AudioFileWriter>> writers;
    for (const std::string& path : options.outputPaths) {
        writers.push_back(std::make_unique<AudioFileWriter>());
        if (!writers.back()->Open(path, options.sampleRate, host.NumOutputs(), options.format)) {
            std::fprintf(stderr, "vornhost: %s\n", writers.back()->LastError().c_str());
            return 1;
        }
    }

    const auto channelCount = static_cast<std::size_t>(host.NumOutputs());
    std::vector<const float*> channels(channelCount);
    std::vector<float> peaks(channelCount, 0.0f);
    std::vector<double> squares(channelCount, 0.0);
    std::int64_t nonFinite = 0;
    std::int64_t done = 0;
    // Renders of a couple of seconds finish before a bar would help.
    constexpr double kProgressAfterSeconds = 2.0;
    ProgressBar progress(totalFrames,
                         options.progress && seconds > kProgressAfterSeconds && isatty(STDERR_FILENO) != 0);
    std::size_t failedWriter = writers.size();
    const BlockSink sink = [&](const PluginHost& rendered, int frames) {
        for (std::size_t c = 0; c < channelCount; ++c) {
            channels[c] = rendered.Output(static_cast<int>(c));
            for (int i = 0; i < frames; ++i) {
                const float sample = channels[c][i];
                if (!std::isfinite(sample)) {
                    ++nonFinite;
                } else {
                    peaks[c] = std::max(peaks[c], std::fabs(sample));
                    squares[c] += static_cast<double>(sample) * sample;
                }
            }
        }
        for (std::size_t w = 0; w < writers.size(); ++w) {
            if (!writers[w]->Write(channels.data(), frames)) {
                failedWriter = w;
                return false;
            }
        }
        done += frames;
        progress.Update(done);
        return true;
    };
    const RenderResult result =
        RenderFrames(host, totalFrames, options.mode, score.events, sink, score.parameters);
    progress.Finish();
    host.Unload();

    bool ok = !result.stoppedBySink;
    for (std::size_t w = 0; w < writers.size(); ++w) {
        if (!writers[w]->Close() || w == failedWriter) {
            std::fprintf(stderr, "vornhost: %s: %s\n", options.outputPaths[w].c_str(),
                         writers[w]->LastError().c_str());
            ok = false;
        }
    }
    if (!ok) {
        return 1;
    }
    std::string targets;
    for (const std::string& path : options.outputPaths) {
        targets += (targets.empty() ? "" : ", ") + path;
    }
    std::printf(
        "rendered %lld frames (%.2f s, %zu channels, %d Hz, blocks of %d, %s, %lld MIDI events, "
        "%lld parameter changes) to %s\n",
        static_cast<long long>(result.framesRendered), seconds, channelCount, options.sampleRate,
        options.blockSize, ProcessModeName(options.mode), static_cast<long long>(result.eventsSent),
        static_cast<long long>(result.parametersSet), targets.c_str());
    const double frameCount = static_cast<double>(std::max<std::int64_t>(result.framesRendered, 1));
    for (std::size_t c = 0; c < channelCount; ++c) {
        const double peak = peaks[c];
        const double rms = std::sqrt(squares[c] / frameCount);
        std::printf("  channel %zu peak %.6f (%.1f dBFS), RMS %.6f (%.1f dBFS)\n", c, peak,
                    peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL, rms,
                    rms > 0.0 ? 20.0 * std::log10(rms) : -HUGE_VAL);
    }
    if (nonFinite > 0) {
        std::printf("  warning: %lld samples were not finite\n", static_cast<long long>(nonFinite));
    }
    return 0;
}
