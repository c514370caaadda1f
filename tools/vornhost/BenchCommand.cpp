// vornhost bench: the real-time factor with notes held.
#include "tools/vornhost/Commands.h"
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

// CPU time of the calling thread, seconds.
double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

}  // namespace

namespace {

struct BenchRun {
    double cpuSeconds = 0.0;
    std::int64_t frames = 0;
    float lastPeak = 0.0f;
};

// One run on a freshly loaded module; false after printing why.
bool BenchOnce(const BenchOptions& options, BenchRun& run)
{
    PluginHost host;
    if (!StartPlugin(host, options.modulePath, options.sampleRate, options.blockSize, ProcessMode::Replacing,
                     -1)) {
        return false;
    }
    if (options.vcf) {
        // As the brass recipe does: the VCF bus mixed in, the voices' filters in series.
        host.SetParameter(kVcfLevel, VornNormalized(kVcfLevel, 0.5));
        host.SetParameter(kFilterArrangement, VornNormalized(kFilterArrangement, kArrangementSerial));
    }
    std::vector<TimedMidiEvent> events;
    for (const int key : SpreadKeys(options.notes)) {
        events.push_back({0, {0x90, static_cast<unsigned char>(key), 100}});
    }
    const auto totalFrames = static_cast<std::int64_t>(std::llround(options.seconds * options.sampleRate));

    const double start = ThreadCpuSeconds();
    const RenderResult result = RenderFrames(host, totalFrames, ProcessMode::Replacing, events, {});
    run.cpuSeconds = std::max(ThreadCpuSeconds() - start, 1e-9);
    run.frames = result.framesRendered;
    run.lastPeak = 0.0f;
    for (int c = 0; c < host.NumOutputs(); ++c) {
        const float* output = host.Output(c);
        const int frames = static_cast<int>((result.framesRendered - 1) % host.BlockSize()) + 1;
        for (int i = 0; i < frames; ++i) {
            run.lastPeak = std::max(run.lastPeak, std::fabs(output[i]));
        }
    }
    host.Unload();
    return true;
}

}  // namespace

int RunBench(const BenchOptions& options)
{
    BenchRun best;
    for (int r = 0; r < std::max(options.runs, 1); ++r) {
        BenchRun run;
        if (!BenchOnce(options, run)) {
            return 1;
        }
        if (r == 0 || run.cpuSeconds < best.cpuSeconds) {
            best = run;
        }
    }
    const double cpuSeconds = best.cpuSeconds;
    const double audioSeconds = static_cast<double>(best.frames) / options.sampleRate;
    const std::size_t slash = options.modulePath.find_last_of("/\\");
    const std::string name =
        slash == std::string::npos ? options.modulePath : options.modulePath.substr(slash + 1);
    std::printf(
        "bench: %-16s %3d notes, VCF %s: %.1f s at %d Hz in blocks of %d took %.3f s CPU: "
        "realtime factor %.1f",
        name.c_str(), options.notes, options.vcf ? "on " : "off", audioSeconds, options.sampleRate,
        options.blockSize, cpuSeconds, audioSeconds / cpuSeconds);
    if (options.notes > 0) {
        const double voiceSamples = static_cast<double>(options.notes) * static_cast<double>(best.frames);
        std::printf(", %.2f ns per voice-sample", cpuSeconds * 1e9 / voiceSamples);
    } else {
        std::printf(", %.2f ns per frame", cpuSeconds * 1e9 / static_cast<double>(best.frames));
    }
    std::printf(" (last block peak %.3f)\n", static_cast<double>(best.lastPeak));
    return 0;
}
