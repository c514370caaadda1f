#include "tools/vornhost/Commands.h"

#include "tools/vornhost/DemoPhrase.h"
#include "tools/vornhost/MidiFile.h"
#include "tools/vornhost/VornParameters.h"
#include "tools/vornhost/WaveformImage.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

namespace {

const char* CategoryName(VstIntPtr category)
{
    static constexpr const char* kNames[] = {
        "unknown",     "effect",          "synth",       "analysis",        "mastering", "spacializer",
        "room effect", "surround effect", "restoration", "offline process", "shell",     "generator"};
    if (category < 0 || category >= static_cast<VstIntPtr>(std::size(kNames))) {
        return "?";
    }
    return kNames[category];
}

std::string DescribeFlags(VstInt32 flags)
{
    struct FlagName {
        VstInt32 bit;
        const char* name;
    };
    static constexpr FlagName kFlags[] = {
        {effFlagsHasEditor, "has-editor"},
        {effFlagsCanMono, "can-mono"},
        {effFlagsCanReplacing, "can-replace"},
        {effFlagsProgramChunks, "program-chunks"},
        {effFlagsIsSynth, "is-synth"},
        {effFlagsNoSoundInStop, "no-sound-in-stop"},
        {effFlagsCanDoubleReplacing, "can-double-replace"},
    };
    std::string text;
    VstInt32 known = 0;
    for (const FlagName& flag : kFlags) {
        known |= flag.bit;
        if (flags & flag.bit) {
            text += text.empty() ? "" : " ";
            text += flag.name;
        }
    }
    if (flags & ~known) {
        char rest[32];
        std::snprintf(rest, sizeof(rest), "%sother 0x%x", text.empty() ? "" : " ",
                      static_cast<unsigned>(flags & ~known));
        text += rest;
    }
    return text.empty() ? "none" : text;
}

// Four-character code as text when all four bytes print, else hexadecimal only.
std::string FourCharCode(VstInt32 code)
{
    const auto value = static_cast<std::uint32_t>(code);
    std::string chars;
    for (int shift = 24; shift >= 0; shift -= 8) {
        chars += static_cast<char>((value >> shift) & 0xFF);
    }
    char text[48];
    const bool printable = std::all_of(
        chars.begin(), chars.end(), [](char c) { return std::isprint(static_cast<unsigned char>(c)) != 0; });
    if (printable) {
        std::snprintf(text, sizeof(text), "'%s' (0x%08x)", chars.c_str(), static_cast<unsigned>(value));
    } else {
        std::snprintf(text, sizeof(text), "0x%08x", static_cast<unsigned>(value));
    }
    return text;
}

void PrintPins(PluginHost& host, VstInt32 opcode, int count, const char* direction)
{
    for (int i = 0; i < count; ++i) {
        VstPinProperties pin{};
        const VstIntPtr answer = host.Dispatch(opcode, i, 0, &pin);
        pin.label[sizeof(pin.label) - 1] = '\0';
        if (answer) {
            std::printf("  %s %d: \"%s\" flags 0x%x\n", direction, i, pin.label,
                        static_cast<unsigned>(pin.flags));
        } else {
            std::printf("  %s %d: (no properties)\n", direction, i);
        }
    }
}

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

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

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

bool StartPlugin(PluginHost& host, const std::string& modulePath, int sampleRate, int blockSize,
                 ProcessMode mode, int program)
{
    if (!host.Load(modulePath)) {
        std::fprintf(stderr, "vornhost: %s\n", host.LastError().c_str());
        return false;
    }
    if (!host.Supports(mode)) {
        std::fprintf(stderr, "vornhost: the plug-in does not support %s\n", ProcessModeName(mode));
        return false;
    }
    host.Open();
    host.SetSampleRate(sampleRate);
    host.SetBlockSize(blockSize);
    if (program >= 0) {
        if (program >= host.Effect()->numPrograms) {
            std::fprintf(stderr, "vornhost: program %d does not exist (the plug-in has %d)\n", program,
                         host.Effect()->numPrograms);
            return false;
        }
        host.Dispatch(effSetProgram, 0, program);
    }
    if (!host.Resume()) {
        std::fprintf(stderr, "vornhost: %s\n", host.LastError().c_str());
        return false;
    }
    if (host.NumOutputs() == 0) {
        std::fprintf(stderr, "vornhost: the plug-in has no outputs\n");
        return false;
    }
    return true;
}

int RunInfo(const InfoOptions& options)
{
    PluginHost host;
    host.SetVerbose(options.verbose);
    if (!host.Load(options.modulePath)) {
        std::fprintf(stderr, "vornhost: %s\n", host.LastError().c_str());
        return 1;
    }
    host.Open();
    host.SetSampleRate(44100.0);
    host.SetBlockSize(512);
    const AEffect& effect = *host.Effect();

    std::printf("module:          %s\n", options.modulePath.c_str());
    std::printf("effect name:     %s\n", host.DispatchText(effGetEffectName).c_str());
    std::printf("vendor:          %s\n", host.DispatchText(effGetVendorString).c_str());
    std::printf("product:         %s\n", host.DispatchText(effGetProductString).c_str());
    std::printf("unique id:       %s\n", FourCharCode(effect.uniqueID).c_str());
    std::printf("version:         %d (vendor version %lld)\n", effect.version,
                static_cast<long long>(host.Dispatch(effGetVendorVersion)));
    std::printf("VST version:     %lld\n", static_cast<long long>(host.Dispatch(effGetVstVersion)));
    const VstIntPtr category = host.Dispatch(effGetPlugCategory);
    std::printf("category:        %lld (%s)\n", static_cast<long long>(category), CategoryName(category));
    std::printf("flags:           0x%x (%s)\n", static_cast<unsigned>(effect.flags),
                DescribeFlags(effect.flags).c_str());
    std::printf("inputs/outputs:  %d/%d\n", effect.numInputs, effect.numOutputs);
    std::printf("initial delay:   %d frames; tail %lld frames\n", effect.initialDelay,
                static_cast<long long>(host.Dispatch(effGetTailSize)));
    std::printf("callbacks:       process %s, processReplacing %s, processDoubleReplacing %s\n",
                host.Supports(ProcessMode::Accumulating) ? "yes" : "no",
                host.Supports(ProcessMode::Replacing) ? "yes" : "no",
                host.Supports(ProcessMode::Double) ? "yes" : "no");

    static constexpr const char* kCanDos[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                              "sendVstMidiEvent", "receiveVstTimeInfo",  "offline",
                                              "bypass",           "midiProgramNames"};
    std::printf("can do:\n");
    for (const char* canDo : kCanDos) {
        char text[PluginHost::kTextBufferSize];
        std::snprintf(text, sizeof(text), "%s", canDo);
        std::printf("  %-22s %lld\n", canDo, static_cast<long long>(host.Dispatch(effCanDo, 0, 0, text)));
    }
    std::printf("pins:\n");
    PrintPins(host, effGetInputProperties, std::clamp(effect.numInputs, 0, PluginHost::kMaxChannels),
              "input");
    PrintPins(host, effGetOutputProperties, std::clamp(effect.numOutputs, 0, PluginHost::kMaxChannels),
              "output");

    const int numParams = std::max(effect.numParams, 0);
    std::printf("parameters: %d\n", numParams);
    std::printf("  %5s  %-30s %-20s %-10s %s\n", "index", "name", "display", "label", "value");
    for (int i = 0; i < numParams; ++i) {
        const std::string name = host.DispatchText(effGetParamName, i);
        const std::string display = host.DispatchText(effGetParamDisplay, i);
        const std::string label = host.DispatchText(effGetParamLabel, i);
        const float value = effect.getParameter ? effect.getParameter(host.Effect(), i) : 0.0f;
        std::printf("  %5d  %-30s %-20s %-10s %.6f\n", i, name.c_str(), display.c_str(), label.c_str(),
                    static_cast<double>(value));
    }

    const int numPrograms = std::max(effect.numPrograms, 0);
    const VstIntPtr current = host.Dispatch(effGetProgram);
    std::printf("programs: %d (current %lld \"%s\")\n", numPrograms, static_cast<long long>(current),
                host.DispatchText(effGetProgramName).c_str());
    for (int i = 0; i < numPrograms; ++i) {
        VstIntPtr answer = 0;
        const std::string name = host.DispatchText(effGetProgramNameIndexed, i, &answer);
        std::printf("  %5d  %s%s\n", i, name.c_str(), answer ? "" : "  (not answered)");
    }
    host.Unload();
    return 0;
}

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

std::vector<int> SpreadKeys(int count)
{
    constexpr int kLowestPianoKey = 21;
    constexpr int kPianoKeys = 88;
    count = std::clamp(count, 0, 128);
    const int low = count <= kPianoKeys ? kLowestPianoKey : 0;
    const int span = count <= kPianoKeys ? kPianoKeys : 128;
    std::vector<int> keys;
    for (int i = 0; i < count; ++i) {
        keys.push_back(low + i * span / count);
    }
    return keys;
}

int RunBench(const BenchOptions& options)
{
    PluginHost host;
    if (!StartPlugin(host, options.modulePath, options.sampleRate, options.blockSize, ProcessMode::Replacing,
                     -1)) {
        return 1;
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
    const double cpuSeconds = std::max(ThreadCpuSeconds() - start, 1e-9);

    float lastPeak = 0.0f;
    for (int c = 0; c < host.NumOutputs(); ++c) {
        const float* output = host.Output(c);
        const int frames = static_cast<int>((result.framesRendered - 1) % host.BlockSize()) + 1;
        for (int i = 0; i < frames; ++i) {
            lastPeak = std::max(lastPeak, std::fabs(output[i]));
        }
    }
    host.Unload();

    const double audioSeconds = static_cast<double>(result.framesRendered) / options.sampleRate;
    std::printf(
        "bench: %3d notes, VCF %s: %.1f s at %d Hz in blocks of %d took %.3f s CPU: "
        "realtime factor %.1f",
        options.notes, options.vcf ? "on " : "off", audioSeconds, options.sampleRate, options.blockSize,
        cpuSeconds, audioSeconds / cpuSeconds);
    if (options.notes > 0) {
        const double voiceSamples =
            static_cast<double>(options.notes) * static_cast<double>(result.framesRendered);
        std::printf(", %.2f ns per voice-sample", cpuSeconds * 1e9 / voiceSamples);
    } else {
        std::printf(", %.2f ns per frame", cpuSeconds * 1e9 / static_cast<double>(result.framesRendered));
    }
    std::printf(" (last block peak %.3f)\n", static_cast<double>(lastPeak));
    return 0;
}

int RunPlot(const PlotOptions& options)
{
    RgbImage spectrogram;
    std::string error;
    if (!options.spectrogramPath.empty() && !ReadPng(options.spectrogramPath, spectrogram, error)) {
        std::fprintf(stderr, "vornhost: %s\n", error.c_str());
        return 1;
    }
    const int width = spectrogram.width > 0 ? spectrogram.width : options.width;
    const int left = options.plotLeft >= 0 ? std::min(options.plotLeft, width - 1) : 0;
    const int plotWidth = options.plotWidth > 0 ? std::min(options.plotWidth, width - left) : width - left;
    WaveformColumns columns;
    if (!ScanAudioFile(options.audioPath, plotWidth, columns, error)) {
        std::fprintf(stderr, "vornhost: %s\n", error.c_str());
        return 1;
    }
    RgbImage picture = DrawWaveform(columns, width, options.channelHeight, left);
    if (spectrogram.width > 0) {
        picture = StackVertically(spectrogram, picture);
    }
    if (!WritePng(options.outputPath, picture, error)) {
        std::fprintf(stderr, "vornhost: %s\n", error.c_str());
        return 1;
    }
    std::printf("plotted %s (%d channels, %.2f s) to %s (%d x %d)\n", options.audioPath.c_str(),
                static_cast<int>(columns.channels.size()), columns.seconds, options.outputPath.c_str(),
                picture.width, picture.height);
    return 0;
}
