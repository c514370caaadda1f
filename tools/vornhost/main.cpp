// vornhost: command-line VST 2.4 host. Parses the command line (CLI11) and
// runs one subcommand of Commands.h.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/vornhost/Commands.h"
#include "tools/vornhost/Levels.h"

namespace {

constexpr double kMaxSeconds = 3600.0;
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 768000;
constexpr int kMaxBlock = 65536;

// KEY[:VELOCITY[:START[:LENGTH]]] into a note-on and a note-off on MIDI
// channel 1; times in seconds (defaults: velocity 100, start 0, length 1).
bool ParseNote(const std::string& text, int sampleRate, std::vector<TimedMidiEvent>& events)
{
    std::vector<std::string> fields = CLI::detail::split(text, ':');
    if (fields.empty() || fields.size() > 4) {
        return false;
    }
    int key = 0;
    int velocity = 100;
    double start = 0.0;
    double length = 1.0;
    if (!CLI::detail::lexical_cast(fields[0], key) ||
        (fields.size() > 1 && !CLI::detail::lexical_cast(fields[1], velocity)) ||
        (fields.size() > 2 && !CLI::detail::lexical_cast(fields[2], start)) ||
        (fields.size() > 3 && !CLI::detail::lexical_cast(fields[3], length))) {
        return false;
    }
    if (key < 0 || key > 127 || velocity < 1 || velocity > 127 || !(start >= 0.0 && start <= kMaxSeconds) ||
        !(length >= 0.0 && length <= kMaxSeconds)) {
        return false;
    }
    const auto onFrame = static_cast<std::int64_t>(std::llround(start * sampleRate));
    const auto offFrame = static_cast<std::int64_t>(std::llround((start + length) * sampleRate));
    const auto keyByte = static_cast<unsigned char>(key);
    events.push_back({onFrame, {0x90, keyByte, static_cast<unsigned char>(velocity)}});
    events.push_back({offFrame, {0x80, keyByte, 0}});
    return true;
}

// INDEX=VALUE with a normalized value.
bool ParseSetting(const std::string& text, ParameterSetting& setting)
{
    const std::size_t equals = text.find('=');
    double value = 0.0;
    if (equals == std::string::npos || !CLI::detail::lexical_cast(text.substr(0, equals), setting.index) ||
        !CLI::detail::lexical_cast(text.substr(equals + 1), value) || setting.index < 0 || !(value >= 0.0) ||
        value > 1.0) {
        return false;
    }
    setting.value = static_cast<float>(value);
    return true;
}

const auto kSeconds = CLI::Range(0.0, kMaxSeconds);
const auto kRate = CLI::Range(kMinRate, kMaxRate);
const auto kBlock = CLI::Range(1, kMaxBlock);

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"vornhost: a command-line host for VST 2.4 modules"};
    app.require_subcommand(1);

    InfoOptions info;
    CLI::App* infoCommand =
        app.add_subcommand("info", "identity, flags, pins, parameters and programs of a module");
    infoCommand->add_option("module", info.modulePath, "the VST 2.4 module")->required();
    infoCommand->add_flag("-v", info.verbose, "also list every parameter's range and the host callbacks");

    RenderOptions render;
    std::vector<std::string> notes;
    std::vector<std::string> settings;
    std::string format = "float";
    std::string mode = "replacing";
    bool noProgress = false;
    CLI::App* renderCommand = app.add_subcommand("render", "play into WAV or FLAC files");
    renderCommand->add_option("module", render.modulePath, "the VST 2.4 module")->required();
    renderCommand->add_option("-o,--output", render.outputPaths, "output file, WAV or FLAC by its extension")
        ->allow_extra_args(false)
        ->required();
    renderCommand->add_option("--midi", render.midiPath, "play a Standard MIDI File (format 0 or 1)");
    renderCommand->add_flag("--demo", render.demo, "play the built-in demo phrase");
    renderCommand->add_option("--seconds", render.seconds, "length (default: the music plus the tail)")
        ->check(kSeconds);
    renderCommand->add_option("--tail", render.tailSeconds, "seconds rendered after the music")
        ->capture_default_str()
        ->check(kSeconds);
    renderCommand->add_option("--rate", render.sampleRate, "sample rate in Hz")
        ->capture_default_str()
        ->check(kRate);
    renderCommand->add_option("--block", render.blockSize, "block size in frames")
        ->capture_default_str()
        ->check(kBlock);
    renderCommand->add_option("--program", render.program, "program to select before rendering")
        ->check(CLI::NonNegativeNumber);
    renderCommand
        ->add_option("--buttons", render.buttons, "light ensemble buttons (0..255), writing their recipe")
        ->check(CLI::Range(0, 255));
    renderCommand->add_option("--set", settings, "INDEX=VALUE: a parameter's normalized value at the start")
        ->allow_extra_args(false);
    renderCommand->add_option("--format", format, "WAV sample format")
        ->capture_default_str()
        ->check(CLI::IsMember({"float", "pcm24"}));
    renderCommand->add_option("--mode", mode, "the audio callback used")
        ->capture_default_str()
        ->check(CLI::IsMember({"replacing", "accumulating", "double"}));
    renderCommand->add_option("--note", notes, "KEY[:VEL[:START[:LENGTH]]], times in seconds")
        ->allow_extra_args(false);
    renderCommand->add_flag("--no-progress", noProgress, "no progress bar on a terminal");
    renderCommand->add_flag("-v", render.verbose, "log the plug-in's host callbacks to stderr");

    BenchOptions bench;
    CLI::App* benchCommand = app.add_subcommand("bench", "real-time factor with N notes held");
    benchCommand->add_option("module", bench.modulePath, "the VST 2.4 module")->required();
    benchCommand->add_option("--notes", bench.notes, "notes held, spread over the keyboard")
        ->capture_default_str()
        ->check(CLI::Range(0, 128));
    benchCommand->add_flag("--vcf", bench.vcf,
                           "mix in the voice filters (VCF level 0.5, serial arrangement)");
    benchCommand->add_option("--seconds", bench.seconds, "audio length")
        ->capture_default_str()
        ->check(kSeconds);
    benchCommand->add_option("--rate", bench.sampleRate, "sample rate in Hz")
        ->capture_default_str()
        ->check(kRate);
    benchCommand->add_option("--block", bench.blockSize, "block size in frames")
        ->capture_default_str()
        ->check(kBlock);
    benchCommand->add_option("--runs", bench.runs, "report the best of this many runs")
        ->capture_default_str()
        ->check(CLI::Range(1, 100));

    LevelsOptions levels;
    CLI::App* levelsCommand =
        app.add_subcommand("levels", "peak and EBU R128 loudness of a 10-note chord, per program");
    levelsCommand->add_option("module", levels.modulePath, "the VST 2.4 module")->required();
    levelsCommand->add_option("--program", levels.program, "measure this program only")
        ->check(CLI::NonNegativeNumber);

    EditOptions edit;
    CLI::App* editCommand = app.add_subcommand("edit", "open the plug-in's editor in a window (X11)");
    editCommand->add_option("module", edit.modulePath, "the VST 2.4 module")->required();
    editCommand->add_option("--program", edit.program, "select this program first")
        ->check(CLI::NonNegativeNumber);
    editCommand->add_flag("-v,--verbose", edit.verbose, "print the plug-in's host calls");

    SnapshotOptions snapshot;
    CLI::App* snapshotCommand =
        app.add_subcommand("snapshot", "save the plug-in's editor window as a PNG (X11)");
    snapshotCommand->add_option("module", snapshot.modulePath, "the VST 2.4 module")->required();
    snapshotCommand->add_option("-o", snapshot.outputPath, "the PNG to write")->required();
    snapshotCommand->add_option("--program", snapshot.program, "select this program first")
        ->check(CLI::NonNegativeNumber);
    snapshotCommand->add_flag("--edit-layout", snapshot.editLayout, "switch the panel to its edit layout");

    PlotOptions plot;
    std::string plotArea;
    CLI::App* plotCommand = app.add_subcommand("plot", "draw the waveform of an audio file into a PNG");
    plotCommand->add_option("audio", plot.audioPath, "the audio file")->required();
    plotCommand->add_option("-o", plot.outputPath, "the PNG to write")->required();
    plotCommand->add_option("--spectrogram", plot.spectrogramPath, "image placed above the waveform");
    plotCommand->add_option("--plot-area", plotArea, "LEFT:WIDTH, the columns of the time axis");
    plotCommand->add_option("--width", plot.width, "width without a spectrogram")
        ->capture_default_str()
        ->check(CLI::Range(16, 8192));
    plotCommand->add_option("--height", plot.channelHeight, "rows per channel")
        ->capture_default_str()
        ->check(CLI::Range(8, 1024));

    CLI11_PARSE(app, argc, argv);

    if (*infoCommand) {
        return RunInfo(info);
    }
    if (*renderCommand) {
        if (render.seconds < 0.0 || (renderCommand->count("--seconds") > 0 && render.seconds == 0.0)) {
            return app.exit(CLI::ValidationError("--seconds", "needs a length above 0"));
        }
        for (const std::string& text : settings) {
            ParameterSetting setting;
            if (!ParseSetting(text, setting)) {
                return app.exit(CLI::ValidationError("--set", "needs INDEX=VALUE with a value from 0 to 1"));
            }
            render.settings.push_back(setting);
        }
        // Notes are converted after parsing, so that --rate may come after them.
        for (const std::string& note : notes) {
            if (!ParseNote(note, render.sampleRate, render.events)) {
                return app.exit(CLI::ValidationError("--note", "bad note '" + note + "'"));
            }
        }
        render.format = format == "float" ? SampleFormat::Float32 : SampleFormat::Pcm24;
        render.mode = mode == "replacing"      ? ProcessMode::Replacing
                      : mode == "accumulating" ? ProcessMode::Accumulating
                                               : ProcessMode::Double;
        render.progress = !noProgress;
        return RunRender(render);
    }
    if (*benchCommand) {
        if (bench.seconds <= 0.0) {
            return app.exit(CLI::ValidationError("--seconds", "needs a length above 0"));
        }
        return RunBench(bench);
    }
    if (*levelsCommand) {
        return RunLevels(levels);
    }
    if (*editCommand) {
        return RunEdit(edit);
    }
    if (*snapshotCommand) {
        return RunSnapshot(snapshot);
    }
    if (!plotArea.empty()) {
        const std::vector<std::string> parts = CLI::detail::split(plotArea, ':');
        if (parts.size() != 2 || !CLI::detail::lexical_cast(parts[0], plot.plotLeft) ||
            !CLI::detail::lexical_cast(parts[1], plot.plotWidth) || plot.plotLeft < 0 ||
            plot.plotLeft > 8191 || plot.plotWidth < 1 || plot.plotWidth > 8192) {
            return app.exit(CLI::ValidationError("--plot-area", "needs LEFT:WIDTH in pixels"));
        }
    }
    return RunPlot(plot);
}
