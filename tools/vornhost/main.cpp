// vornhost: command-line VST 2.4 host. Parses the command line and runs a
// subcommand from Commands.h.
#include "tools/vornhost/Commands.h"
#include "tools/vornhost/Levels.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr double kMaxSeconds = 3600.0;
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 768000;
constexpr int kMaxBlock = 65536;

void PrintUsage(std::FILE* out)
{
    std::fprintf(
        out,
        "usage:\n"
        "  vornhost info <module> [-v]\n"
        "      identity, flags, pins, parameters and programs of a VST 2.4 module\n"
        "  vornhost render <module> -o <out.wav|out.flac> [-o ...] [options]\n"
        "      --midi FILE          play a Standard MIDI File (format 0 or 1)\n"
        "      --demo               play the built-in demo phrase\n"
        "      --seconds N          length (default: the music plus the tail, else 2; at most 3600)\n"
        "      --tail N             seconds rendered after the music (default 2)\n"
        "      --rate HZ            sample rate (default 44100)\n"
        "      --block FRAMES       block size (default 512)\n"
        "      --program P          program to select before rendering\n"
        "      --buttons N          light ensemble buttons N (0..255) and write their recipe\n"
        "      --set INDEX=VALUE    set a parameter to a normalized value (0..1) at the start;\n"
        "                           may be given several times\n"
        "      --format float|pcm24 WAV sample format (default float; FLAC is always 24-bit)\n"
        "      --mode replacing|accumulating|double\n"
        "                           audio callback (default replacing)\n"
        "      --note KEY[:VEL[:START[:LENGTH]]]\n"
        "                           play a note; times in seconds (defaults 100, 0, 1);\n"
        "                           may be given several times\n"
        "      --no-progress        no progress bar on a terminal\n"
        "      -v                   log the plug-in's host callbacks to stderr\n"
        "  vornhost bench <module> [--notes N] [--vcf] [--seconds N] [--rate HZ] [--block FRAMES]\n"
        "      hold N notes (default 64, at most 128) for 20 s at 48000 Hz in blocks of 512 and\n"
        "      print the real-time factor and the CPU time per voice-sample; --vcf mixes in\n"
        "      the voice filters (VCF level 0.5, serial arrangement)\n"
        "  vornhost levels <module> [--program P]\n"
        "      peak (dBFS) and EBU R128 loudness (LUFS) of a 10-note chord held 3 s, per program\n"
        "  vornhost plot <audio file> -o <out.png> [--spectrogram IMAGE.png]\n"
        "               [--plot-area LEFT:WIDTH] [--width W] [--height H]\n"
        "      draw the waveform (H rows per channel) under a spectrogram image; the time\n"
        "      axis spans columns LEFT..LEFT+WIDTH-1 (default: the whole width)\n");
}

std::optional<double> ParseNumber(std::string_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &end);
    if (errno != 0 || end != copy.c_str() + copy.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseInteger(std::string_view text, int low, int high)
{
    const std::optional<double> value = ParseNumber(text);
    if (!value || *value != std::floor(*value) || *value < low || *value > high) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

// KEY[:VELOCITY[:START[:LENGTH]]] into a note-on and a note-off on MIDI channel 1.
bool ParseNote(std::string_view text, int sampleRate, std::vector<TimedMidiEvent>& events)
{
    std::string_view fields[4] = {};
    int count = 0;
    while (count < 4) {
        const std::size_t colon = text.find(':');
        fields[count++] = text.substr(0, colon);
        if (colon == std::string_view::npos) {
            text = {};
            break;
        }
        text.remove_prefix(colon + 1);
    }
    if (!text.empty()) {
        return false;
    }
    const std::optional<int> key = ParseInteger(fields[0], 0, 127);
    const std::optional<int> velocity = count > 1 ? ParseInteger(fields[1], 1, 127) : 100;
    const std::optional<double> start = count > 2 ? ParseNumber(fields[2]) : 0.0;
    const std::optional<double> length = count > 3 ? ParseNumber(fields[3]) : 1.0;
    if (!key || !velocity || !start || !length || *start < 0.0 || *start > kMaxSeconds || *length < 0.0 ||
        *length > kMaxSeconds) {
        return false;
    }
    const auto onFrame = static_cast<std::int64_t>(std::llround(*start * sampleRate));
    const auto offFrame = static_cast<std::int64_t>(std::llround((*start + *length) * sampleRate));
    const auto keyByte = static_cast<unsigned char>(*key);
    events.push_back({onFrame, {0x90, keyByte, static_cast<unsigned char>(*velocity)}});
    events.push_back({offFrame, {0x80, keyByte, 0}});
    return true;
}

// INDEX=VALUE with a normalized value.
std::optional<ParameterSetting> ParseSetting(std::string_view text)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<int> index = ParseInteger(text.substr(0, equals), 0, 1 << 20);
    const std::optional<double> value = ParseNumber(text.substr(equals + 1));
    if (!index || !value || *value < 0.0 || *value > 1.0) {
        return std::nullopt;
    }
    return ParameterSetting{*index, static_cast<float>(*value)};
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "vornhost: %s\n", message.c_str());
    PrintUsage(stderr);
    return 2;
}

int MainInfo(int argc, char** argv)
{
    InfoOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-v") {
            options.verbose = true;
        } else if (!arg.empty() && arg[0] != '-' && options.modulePath.empty()) {
            options.modulePath = arg;
        } else {
            return Fail("unexpected argument '" + std::string(arg) + "'");
        }
    }
    if (options.modulePath.empty()) {
        return Fail("info needs a module path");
    }
    return RunInfo(options);
}

int MainRender(int argc, char** argv)
{
    RenderOptions options;
    std::vector<std::string_view> notes;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        const std::string_view value = hasValue ? std::string_view(argv[i + 1]) : std::string_view();
        auto needValue = [&]() {
            if (!hasValue) {
                return false;
            }
            ++i;
            return true;
        };
        if (arg == "-v") {
            options.verbose = true;
        } else if (arg == "-o" || arg == "--output") {
            if (!needValue()) {
                return Fail("-o needs a file name");
            }
            options.outputPaths.emplace_back(value);
        } else if (arg == "--seconds") {
            const std::optional<double> seconds = needValue() ? ParseNumber(value) : std::nullopt;
            if (!seconds || *seconds <= 0.0 || *seconds > kMaxSeconds) {
                return Fail("--seconds needs a length above 0 and at most 3600");
            }
            options.seconds = *seconds;
        } else if (arg == "--tail") {
            const std::optional<double> tail = needValue() ? ParseNumber(value) : std::nullopt;
            if (!tail || *tail < 0.0 || *tail > kMaxSeconds) {
                return Fail("--tail needs a length from 0 to 3600");
            }
            options.tailSeconds = *tail;
        } else if (arg == "--midi") {
            if (!needValue()) {
                return Fail("--midi needs a file name");
            }
            options.midiPath = value;
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--no-progress") {
            options.progress = false;
        } else if (arg == "--buttons") {
            const std::optional<int> buttons = needValue() ? ParseInteger(value, 0, 255) : std::nullopt;
            if (!buttons) {
                return Fail("--buttons needs a button state from 0 to 255");
            }
            options.buttons = *buttons;
        } else if (arg == "--set") {
            const std::optional<ParameterSetting> setting = needValue() ? ParseSetting(value) : std::nullopt;
            if (!setting) {
                return Fail("--set needs INDEX=VALUE with a normalized value from 0 to 1");
            }
            options.settings.push_back(*setting);
        } else if (arg == "--rate") {
            const std::optional<int> rate =
                needValue() ? ParseInteger(value, kMinRate, kMaxRate) : std::nullopt;
            if (!rate) {
                return Fail("--rate needs a whole number of Hz from 8000 to 768000");
            }
            options.sampleRate = *rate;
        } else if (arg == "--block") {
            const std::optional<int> block = needValue() ? ParseInteger(value, 1, kMaxBlock) : std::nullopt;
            if (!block) {
                return Fail("--block needs a frame count from 1 to 65536");
            }
            options.blockSize = *block;
        } else if (arg == "--program") {
            const std::optional<int> program = needValue() ? ParseInteger(value, 0, 1 << 20) : std::nullopt;
            if (!program) {
                return Fail("--program needs a program number");
            }
            options.program = *program;
        } else if (arg == "--format") {
            if (!needValue() || (value != "float" && value != "pcm24")) {
                return Fail("--format is float or pcm24");
            }
            options.format = value == "float" ? SampleFormat::Float32 : SampleFormat::Pcm24;
        } else if (arg == "--mode") {
            if (!needValue()) {
                return Fail("--mode needs a value");
            }
            if (value == "replacing") {
                options.mode = ProcessMode::Replacing;
            } else if (value == "accumulating") {
                options.mode = ProcessMode::Accumulating;
            } else if (value == "double") {
                options.mode = ProcessMode::Double;
            } else {
                return Fail("--mode is replacing, accumulating or double");
            }
        } else if (arg == "--note") {
            if (!needValue()) {
                return Fail("--note needs KEY[:VEL[:START[:LENGTH]]]");
            }
            notes.push_back(value);
        } else if (!arg.empty() && arg[0] != '-' && options.modulePath.empty()) {
            options.modulePath = arg;
        } else {
            return Fail("unexpected argument '" + std::string(arg) + "'");
        }
    }
    if (options.modulePath.empty() || options.outputPaths.empty()) {
        return Fail("render needs a module path and -o <file>");
    }

    // Notes are converted last so that --rate may come after them.
    for (const std::string_view note : notes) {
        if (!ParseNote(note, options.sampleRate, options.events)) {
            return Fail("bad --note '" + std::string(note) + "'");
        }
    }
    return RunRender(options);
}

int MainBench(int argc, char** argv)
{
    BenchOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::string_view value = i + 1 < argc ? std::string_view(argv[i + 1]) : std::string_view();
        const bool hasValue = i + 1 < argc;
        if (arg == "--vcf") {
            options.vcf = true;
        } else if (arg == "--notes") {
            const std::optional<int> notes = hasValue ? ParseInteger(value, 0, 128) : std::nullopt;
            if (!notes) {
                return Fail("--notes needs a count from 0 to 128");
            }
            options.notes = *notes;
            ++i;
        } else if (arg == "--seconds") {
            const std::optional<double> seconds = hasValue ? ParseNumber(value) : std::nullopt;
            if (!seconds || *seconds <= 0.0 || *seconds > kMaxSeconds) {
                return Fail("--seconds needs a length above 0 and at most 3600");
            }
            options.seconds = *seconds;
            ++i;
        } else if (arg == "--rate") {
            const std::optional<int> rate = hasValue ? ParseInteger(value, kMinRate, kMaxRate) : std::nullopt;
            if (!rate) {
                return Fail("--rate needs a whole number of Hz from 8000 to 768000");
            }
            options.sampleRate = *rate;
            ++i;
        } else if (arg == "--block") {
            const std::optional<int> block = hasValue ? ParseInteger(value, 1, kMaxBlock) : std::nullopt;
            if (!block) {
                return Fail("--block needs a frame count from 1 to 65536");
            }
            options.blockSize = *block;
            ++i;
        } else if (!arg.empty() && arg[0] != '-' && options.modulePath.empty()) {
            options.modulePath = arg;
        } else {
            return Fail("unexpected argument '" + std::string(arg) + "'");
        }
    }
    if (options.modulePath.empty()) {
        return Fail("bench needs a module path");
    }
    return RunBench(options);
}

int MainLevels(int argc, char** argv)
{
    LevelsOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--program") {
            const std::optional<int> program =
                i + 1 < argc ? ParseInteger(std::string_view(argv[i + 1]), 0, 1 << 20) : std::nullopt;
            if (!program) {
                return Fail("--program needs a program number");
            }
            options.program = *program;
            ++i;
        } else if (!arg.empty() && arg[0] != '-' && options.modulePath.empty()) {
            options.modulePath = arg;
        } else {
            return Fail("unexpected argument '" + std::string(arg) + "'");
        }
    }
    if (options.modulePath.empty()) {
        return Fail("levels needs a module path");
    }
    return RunLevels(options);
}

int MainPlot(int argc, char** argv)
{
    PlotOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        const std::string_view value = hasValue ? std::string_view(argv[i + 1]) : std::string_view();
        if (arg == "-o" && hasValue) {
            options.outputPath = value;
            ++i;
        } else if (arg == "--spectrogram" && hasValue) {
            options.spectrogramPath = value;
            ++i;
        } else if (arg == "--plot-area" && hasValue) {
            const std::size_t colon = value.find(':');
            const std::optional<int> left = colon == std::string_view::npos
                                                ? std::nullopt
                                                : ParseInteger(value.substr(0, colon), 0, 8191);
            const std::optional<int> width = colon == std::string_view::npos
                                                 ? std::nullopt
                                                 : ParseInteger(value.substr(colon + 1), 1, 8192);
            if (!left || !width) {
                return Fail("--plot-area needs LEFT:WIDTH in pixels");
            }
            options.plotLeft = *left;
            options.plotWidth = *width;
            ++i;
        } else if (arg == "--width" && hasValue) {
            const std::optional<int> width = ParseInteger(value, 16, 8192);
            if (!width) {
                return Fail("--width needs 16 to 8192 pixels");
            }
            options.width = *width;
            ++i;
        } else if (arg == "--height" && hasValue) {
            const std::optional<int> height = ParseInteger(value, 8, 1024);
            if (!height) {
                return Fail("--height needs 8 to 1024 pixels per channel");
            }
            options.channelHeight = *height;
            ++i;
        } else if (!arg.empty() && arg[0] != '-' && options.audioPath.empty()) {
            options.audioPath = arg;
        } else {
            return Fail("unexpected or incomplete argument '" + std::string(arg) + "'");
        }
    }
    if (options.audioPath.empty() || options.outputPath.empty()) {
        return Fail("plot needs an audio file and -o <out.png>");
    }
    return RunPlot(options);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string_view command = argv[1];
    if (command == "info") {
        return MainInfo(argc, argv);
    }
    if (command == "render") {
        return MainRender(argc, argv);
    }
    if (command == "bench") {
        return MainBench(argc, argv);
    }
    if (command == "plot") {
        return MainPlot(argc, argv);
    }
    if (command == "levels") {
        return MainLevels(argc, argv);
    }
    if (command == "-h" || command == "--help" || command == "help") {
        PrintUsage(stdout);
        return 0;
    }
    return Fail("unknown command '" + std::string(command) + "'");
}
