// vornhost: command-line VST 2.4 host. Parses the command line and runs a
// subcommand from Commands.h.
#include "tools/vornhost/Commands.h"

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
    std::fprintf(out,
                 "usage:\n"
                 "  vornhost info <module> [-v]\n"
                 "      identity, flags, pins, parameters and programs of a VST 2.4 module\n"
                 "  vornhost render <module> -o <out.wav> [options]\n"
                 "      --seconds N          length (default 2, at most 3600)\n"
                 "      --rate HZ            sample rate (default 44100)\n"
                 "      --block FRAMES       block size (default 512)\n"
                 "      --program P          program to select before rendering\n"
                 "      --format float|pcm24 WAV sample format (default float)\n"
                 "      --mode replacing|accumulating|double\n"
                 "                           audio callback (default replacing)\n"
                 "      --note KEY[:VEL[:START[:LENGTH]]]\n"
                 "                           play a note; times in seconds (defaults 100, 0, 1);\n"
                 "                           may be given several times\n"
                 "      -v                   log the plug-in's host callbacks to stderr\n");
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
            options.outputPath = value;
        } else if (arg == "--seconds") {
            const std::optional<double> seconds = needValue() ? ParseNumber(value) : std::nullopt;
            if (!seconds || *seconds <= 0.0 || *seconds > kMaxSeconds) {
                return Fail("--seconds needs a length above 0 and at most 3600");
            }
            options.seconds = *seconds;
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
    if (options.modulePath.empty() || options.outputPath.empty()) {
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
    if (command == "-h" || command == "--help" || command == "help") {
        PrintUsage(stdout);
        return 0;
    }
    return Fail("unknown command '" + std::string(command) + "'");
}
