#include "tools/vornhost/Levels.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "tools/vornhost/Commands.h"
#include "tools/vornhost/RenderLoop.h"

namespace {

constexpr int kBlock = 512;

struct Ebur128Deleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

double ToDb(double amplitude)
{
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -1e9;
}

}  // namespace

bool MeasureChordLevel(PluginHost& host, int program, ChordLevel& level, std::string& error)
{
    host.Dispatch(effSetProgram, 0, program);
    // A fresh engine for every program: no tail of the previous one.
    host.Dispatch(effMainsChanged, 0, 0);
    host.Dispatch(effMainsChanged, 0, 1);
    char name[256] = {};
    host.Dispatch(effGetProgramName, 0, 0, name);
    level.program = program;
    level.name = name;

    const int channels = std::min(host.NumOutputs(), 2);
    std::unique_ptr<ebur128_state, Ebur128Deleter> meter(
        ebur128_init(static_cast<unsigned>(channels), kLevelSampleRate, EBUR128_MODE_I));
    if (!meter) {
        error = "cannot start the loudness meter";
        return false;
    }
    const auto held = static_cast<std::int64_t>(kLevelChordSeconds * kLevelSampleRate);
    const auto total = held + static_cast<std::int64_t>(kLevelTailSeconds * kLevelSampleRate);
    std::vector<TimedMidiEvent> events;
    for (const int key : kLevelChordKeys) {
        events.push_back({0, {0x90, static_cast<unsigned char>(key), kLevelChordVelocity}});
        events.push_back({held, {0x80, static_cast<unsigned char>(key), 0}});
    }
    double peak = 0.0;
    std::vector<float> interleaved(static_cast<std::size_t>(kBlock * channels));
    bool fed = true;
    RenderFrames(host, total, ProcessMode::Replacing, events, [&](const PluginHost& h, int frames) {
        for (int c = 0; c < channels; ++c) {
            const float* output = h.Output(c);
            for (int i = 0; i < frames; ++i) {
                peak = std::max(peak, static_cast<double>(std::fabs(output[i])));
                interleaved[static_cast<std::size_t>(i * channels + c)] = output[i];
            }
        }
        fed = fed && ebur128_add_frames_float(meter.get(), interleaved.data(),
                                              static_cast<std::size_t>(frames)) == EBUR128_SUCCESS;
        return true;
    });
    double loudness = 0.0;
    if (!fed || ebur128_loudness_global(meter.get(), &loudness) != EBUR128_SUCCESS) {
        error = "the loudness meter failed";
        return false;
    }
    level.peakDb = ToDb(peak);
    level.loudnessLufs = std::isfinite(loudness) ? loudness : -1e9;
    return true;
}

int RunLevels(const LevelsOptions& options)
{
    PluginHost host;
    if (!StartPlugin(host, options.modulePath, kLevelSampleRate, kBlock, ProcessMode::Replacing, -1)) {
        return 1;
    }
    const int programs = host.Effect()->numPrograms;
    if (options.program >= programs) {
        std::fprintf(stderr, "vornhost: program %d does not exist (the plug-in has %d)\n", options.program,
                     programs);
        return 1;
    }
    std::printf("levels: 10-note chord (keys");
    for (const int key : kLevelChordKeys) {
        std::printf(" %d", key);
    }
    std::printf("), velocity %d, held %.0f s plus %.0f s of release, %d Hz\n", kLevelChordVelocity,
                kLevelChordSeconds, kLevelTailSeconds, kLevelSampleRate);
    std::printf("%4s  %-28s %10s %14s\n", "prog", "name", "peak dBFS", "loudness LUFS");
    double highestPeak = -1e9;
    double loudest = -1e9;
    double quietest = 1e9;
    const int first = options.program >= 0 ? options.program : 0;
    const int last = options.program >= 0 ? options.program : programs - 1;
    for (int p = first; p <= last; ++p) {
        ChordLevel level;
        std::string error;
        if (!MeasureChordLevel(host, p, level, error)) {
            std::fprintf(stderr, "vornhost: %s\n", error.c_str());
            return 1;
        }
        std::printf("%4d  %-28s %10.1f %14.1f\n", p, level.name.c_str(), level.peakDb, level.loudnessLufs);
        highestPeak = std::max(highestPeak, level.peakDb);
        loudest = std::max(loudest, level.loudnessLufs);
        quietest = std::min(quietest, level.loudnessLufs);
    }
    std::printf("levels: highest peak %.1f dBFS; loudness %.1f to %.1f LUFS (spread %.1f LU)\n", highestPeak,
                quietest, loudest, loudest - quietest);
    host.Unload();
    return 0;
}
