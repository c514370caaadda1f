// Builds the factory bank (resources/bank/factory.fxb) from its readable
// source (resources/bank/factory-programs.txt).
//
// Source format, one statement per line; "#" starts a comment:
//   [Program Name]              starts the next program (64 in all, in order)
//   Ensemble = Brass 1 + Strings 2
//                               lights these buttons and writes their recipe,
//                               exactly as pressing them from tweak mode does;
//                               without it the program is made in tweak mode
//   Parameter Name = value      then overrides one parameter, in its own unit
//                               (levels as gain 0..2, Hz, semitones, 0..1
//                               amounts); enumerated ones also by their text
// Every program starts from the initialised program; the values it ends with
// are stored together with a tweak snapshot of its own normalized values, so
// that the Tweak Mode button keeps the sound.
//
// The bank is a bank file with chunk: a big-endian header, then "tffp",
// 0x00010000 and one record per program (name, initialised byte, the
// tag-less product state: 71 values, 58 snapshot entries, 5, 1000), all
// little-endian. Its size is fixed, so the 64 names must add up to exactly
// kTotalNameLength characters.
//
// Usage:
//   gen-factory-bank <source> <output.fxb>     writes the bank
//   gen-factory-bank <source> --print-set N    prints program N as vornhost
//                                              "--set INDEX=NORMALIZED" options
//   gen-factory-bank <source> --list           prints the program names

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/Parameter.h"
#include "engine/EnsembleButtons.h"
#include "engine/ParameterTable.h"
#include "engine/dsp/ParameterIds.h"

namespace {

constexpr int kProgramCount = 64;
constexpr int kTotalNameLength = 740;
constexpr int kHeaderSize = 160;
constexpr int kStateSize = (kParameterCount + kTweakSnapshotSize) * 8 + 8;  // 1040
constexpr int kChunkSize = 8 + kProgramCount * (4 + 1 + kStateSize) + kTotalNameLength;
constexpr int kFileSize = kHeaderSize + kChunkSize;
static_assert(kStateSize == 1040 && kChunkSize == 67628 && kFileSize == 67788);
// Longest name that fits a program file's 28-byte name field with its terminator.
constexpr std::size_t kMaxNameLength = 27;

constexpr std::int32_t kFxVersion = 10000;
constexpr std::int32_t kChunkVersion = 0x00010000;
constexpr std::int32_t kStateMarker = 5;
constexpr std::int32_t kStateTrailer = 1000;

constexpr std::array<const char*, kEnsembleButtonCount> kButtonNames = {
    "Pipe Organ 1", "Pipe Organ 2", "Chorus 1", "Chorus 2", "Brass 1", "Brass 2", "Strings 1", "Strings 2"};

using ParameterArray = std::array<Parameter, kParameterCount>;

[[noreturn]] void Fail(const std::string& message)
{
    std::fprintf(stderr, "gen-factory-bank: %s\n", message.c_str());
    std::exit(1);
}

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string FormatNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::optional<double> ParseNumber(std::string_view text)
{
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

struct Override {
    int index = 0;
    double value = 0.0;
};

struct ProgramSource {
    std::string name;
    int buttons = 0;
    std::vector<Override> overrides;
};

const ParameterArray& DefinedParameters()
{
    static const ParameterArray params = [] {
        ParameterArray defined{};
        DefineVornParameters(defined);
        return defined;
    }();
    return params;
}

class SourceReader {
public:
    explicit SourceReader(std::string path) : m_path(std::move(path)) {}

    std::vector<ProgramSource> Read()
    {
        std::ifstream in(m_path);
        if (!in) {
            Fail("cannot open " + m_path);
        }
        std::string line;
        while (std::getline(in, line)) {
            ++m_line;
            std::string_view text = line;
            text = Trim(text.substr(0, text.find('#')));
            if (text.empty()) {
                continue;
            }
            if (text.front() == '[') {
                StartProgram(text);
            } else {
                ReadStatement(text);
            }
        }
        return std::move(m_programs);
    }

private:
    [[noreturn]] void Error(const std::string& message) const
    {
        Fail(m_path + ":" + std::to_string(m_line) + ": " + message);
    }

    void StartProgram(std::string_view text)
    {
        if (text.back() != ']') {
            Error("a program header is [Name]");
        }
        const std::string name(Trim(text.substr(1, text.size() - 2)));
        if (name.empty() || name.size() > kMaxNameLength) {
            Error("program names have 1 to " + std::to_string(kMaxNameLength) + " characters");
        }
        for (const ProgramSource& program : m_programs) {
            if (program.name == name) {
                Error("program name \"" + name + "\" used twice");
            }
        }
        m_programs.push_back({name, 0, {}});
    }

    void ReadStatement(std::string_view text)
    {
        if (m_programs.empty()) {
            Error("statement before the first [Program Name]");
        }
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos) {
            Error("expected \"Name = value\"");
        }
        const std::string_view key = Trim(text.substr(0, equals));
        const std::string_view value = Trim(text.substr(equals + 1));
        ProgramSource& program = m_programs.back();
        if (key == "Ensemble") {
            if (program.buttons != 0 || !program.overrides.empty()) {
                Error("Ensemble comes once, before the parameters");
            }
            program.buttons = ParseButtons(value);
            return;
        }
        const int index = FindParameter(key);
        for (const Override& existing : program.overrides) {
            if (existing.index == index) {
                Error("\"" + std::string(key) + "\" set twice");
            }
        }
        program.overrides.push_back({index, ParseValue(index, value)});
    }

    int ParseButtons(std::string_view text) const
    {
        int bits = 0;
        while (!text.empty()) {
            const std::size_t plus = text.find('+');
            const std::string_view button = Trim(text.substr(0, plus));
            const auto found = std::find(kButtonNames.begin(), kButtonNames.end(), button);
            if (found == kButtonNames.end()) {
                Error("unknown ensemble button \"" + std::string(button) + "\"");
            }
            bits |= 1 << static_cast<int>(found - kButtonNames.begin());
            text = plus == std::string_view::npos ? std::string_view{} : text.substr(plus + 1);
        }
        if (bits == 0) {
            Error("Ensemble needs at least one button");
        }
        return bits;
    }

    int FindParameter(std::string_view name) const
    {
        const ParameterArray& params = DefinedParameters();
        // "Button State" comes from Ensemble; the reserved ones stay 0.
        for (int index = kButtonState + 1; index < kReserved1; ++index) {
            if (name == params[static_cast<std::size_t>(index)].Name()) {
                return index;
            }
        }
        Error("unknown or fixed parameter \"" + std::string(name) + "\"");
    }

    double ParseValue(int index, std::string_view text) const
    {
        const Parameter& param = DefinedParameters()[static_cast<std::size_t>(index)];
        int textValue = 0;
        if (param.HasDisplayTexts() && param.FindDisplayTextValue(std::string(text).c_str(), textValue)) {
            return textValue;
        }
        const std::optional<double> value = ParseNumber(text);
        if (!value) {
            Error("\"" + std::string(text) + "\" is not a value of \"" + param.Name() + "\"");
        }
        if (*value < param.Min() || *value > param.Max()) {
            Error(std::string(param.Name()) + " lies in " + FormatNumber(param.Min()) + " .. " +
                  FormatNumber(param.Max()));
        }
        // Values on the parameter's step grid, as the panel would set them.
        const double steps = (*value - param.Min()) / param.Step();
        if (std::abs(steps - std::round(steps)) > 1e-6) {
            Error(std::string(param.Name()) + " moves in steps of " + FormatNumber(param.Step()));
        }
        return *value;
    }

    std::string m_path;
    int m_line = 0;
    std::vector<ProgramSource> m_programs;
};

// Lets the ensemble logic write a recipe into a parameter list, as a press on
// the panel writes it into the plug-in's parameters.
class ListTarget final : public EnsembleButtons::Target {
public:
    explicit ListTarget(ParameterArray& params) : m_params(params) {}

    std::span<const Parameter> ParameterList() const override { return m_params; }
    void WriteNormalized(int index, double normalized) override
    {
        m_params[static_cast<std::size_t>(index)].SetFromNormalized(normalized);
    }
    void ClickIfVintageVibe() override {}
    void UpdateStatusControls() override {}

private:
    ParameterArray& m_params;
};

struct BuiltProgram {
    ParameterArray params;
    TweakSnapshot snapshot{};
};

BuiltProgram BuildProgram(const ProgramSource& source)
{
    BuiltProgram program{DefinedParameters(), {}};
    TweakSnapshot initSnapshot{};
    InitialiseProgram(program.params, initSnapshot);
    std::array<double, kParameterCount> initValues{};
    for (int index = 0; index < kParameterCount; ++index) {
        initValues[static_cast<std::size_t>(index)] = program.params[static_cast<std::size_t>(index)].Value();
    }
    if (source.buttons != 0) {
        ListTarget target(program.params);
        EnsembleButtons buttons;
        buttons.Apply(source.buttons, target);
    }
    for (const Override& entry : source.overrides) {
        program.params[static_cast<std::size_t>(entry.index)].SetClamped(entry.value);
    }
    // The snapshot holds the program's own sound; untouched entries keep the
    // initialisation's normalized defaults bit for bit.
    for (int i = 0; i < kTweakSnapshotSize; ++i) {
        const auto index = static_cast<std::size_t>(kFirstTweakParameter + i);
        const auto entry = static_cast<std::size_t>(i);
        program.snapshot[entry] = program.params[index].Value() == initValues[index]
                                      ? initSnapshot[entry]
                                      : program.params[index].Normalized();
    }
    return program;
}

class ByteWriter {
public:
    void BigEndian32(std::uint32_t value)
    {
        for (int shift = 24; shift >= 0; shift -= 8) {
            m_bytes.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }
    void LittleEndian32(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8) {
            m_bytes.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }
    void LittleEndianDouble(double value)
    {
        std::uint64_t bits = 0;
        static_assert(sizeof bits == sizeof value);
        std::memcpy(&bits, &value, sizeof bits);
        for (int shift = 0; shift < 64; shift += 8) {
            m_bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
        }
    }
    void Text(std::string_view text) { m_bytes.insert(m_bytes.end(), text.begin(), text.end()); }
    void Byte(std::uint8_t value) { m_bytes.push_back(value); }
    void Zeros(int count) { m_bytes.insert(m_bytes.end(), static_cast<std::size_t>(count), 0); }

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    int Size() const { return static_cast<int>(m_bytes.size()); }

private:
    std::vector<std::uint8_t> m_bytes;
};

std::uint32_t Magic(const char (&code)[5])
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

std::vector<std::uint8_t> BuildBank(const std::vector<ProgramSource>& sources)
{
    ByteWriter chunk;
    chunk.Text("tffp");
    chunk.LittleEndian32(kChunkVersion);
    for (const ProgramSource& source : sources) {
        const BuiltProgram program = BuildProgram(source);
        chunk.LittleEndian32(static_cast<std::uint32_t>(source.name.size()));
        chunk.Text(source.name);
        chunk.Byte(1);
        for (const Parameter& param : program.params) {
            chunk.LittleEndianDouble(param.Value());
        }
        for (double entry : program.snapshot) {
            chunk.LittleEndianDouble(entry);
        }
        chunk.LittleEndian32(kStateMarker);
        chunk.LittleEndian32(kStateTrailer);
    }
    if (chunk.Size() != kChunkSize) {
        Fail("the chunk has " + std::to_string(chunk.Size()) + " bytes instead of " +
             std::to_string(kChunkSize));
    }

    ByteWriter file;
    file.Text("CcnK");
    file.BigEndian32(static_cast<std::uint32_t>(kHeaderSize + chunk.Size()));  // the whole file
    file.Text("FBCh");
    file.BigEndian32(2);
    file.BigEndian32(Magic("vorn"));
    file.BigEndian32(kFxVersion);
    file.BigEndian32(kProgramCount);
    file.BigEndian32(0);  // current program
    file.Zeros(124);
    file.BigEndian32(static_cast<std::uint32_t>(chunk.Size()));
    if (file.Size() != kHeaderSize) {
        Fail("the header has " + std::to_string(file.Size()) + " bytes");
    }
    std::vector<std::uint8_t> bytes = file.Bytes();
    bytes.insert(bytes.end(), chunk.Bytes().begin(), chunk.Bytes().end());
    if (static_cast<int>(bytes.size()) != kFileSize) {
        Fail("the bank has " + std::to_string(bytes.size()) + " bytes instead of " +
             std::to_string(kFileSize));
    }
    return bytes;
}

void CheckPrograms(const std::vector<ProgramSource>& programs)
{
    if (static_cast<int>(programs.size()) != kProgramCount) {
        Fail("the source holds " + std::to_string(programs.size()) + " programs instead of " +
             std::to_string(kProgramCount));
    }
    std::size_t nameLength = 0;
    for (const ProgramSource& program : programs) {
        nameLength += program.name.size();
    }
    if (nameLength != kTotalNameLength) {
        Fail("the names add up to " + std::to_string(nameLength) + " characters instead of " +
             std::to_string(kTotalNameLength) + " (the bank's size is fixed)");
    }
    const ProgramSource& last = programs.back();
    if (last.name != "Init" || last.buttons != 0 || !last.overrides.empty()) {
        Fail("the last program must be [Init] with no settings");
    }
}

void PrintSettings(const ProgramSource& source)
{
    const BuiltProgram program = BuildProgram(source);
    for (int index = 0; index < kParameterCount; ++index) {
        std::printf("%s--set %d=%.9g", index == 0 ? "" : " ", index,
                    program.params[static_cast<std::size_t>(index)].Normalized());
    }
    std::printf("\n");
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        Fail("cannot write " + path);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr,
                     "usage: gen-factory-bank <source> <output.fxb>\n"
                     "       gen-factory-bank <source> --print-set N\n"
                     "       gen-factory-bank <source> --list\n");
        return 2;
    }
    const std::vector<ProgramSource> programs = SourceReader(argv[1]).Read();
    CheckPrograms(programs);
    const std::string_view command = argv[2];
    if (command == "--list") {
        for (std::size_t i = 0; i < programs.size(); ++i) {
            std::printf("%zu %s\n", i, programs[i].name.c_str());
        }
        return 0;
    }
    if (command == "--print-set") {
        const std::optional<double> number = argc == 4 ? ParseNumber(argv[3]) : std::nullopt;
        if (!number || *number < 0 || *number >= kProgramCount || *number != std::floor(*number)) {
            Fail("--print-set needs a program number 0.." + std::to_string(kProgramCount - 1));
        }
        PrintSettings(programs[static_cast<std::size_t>(*number)]);
        return 0;
    }
    if (argc != 3) {
        Fail("unexpected argument " + std::string(argv[3]));
    }
    WriteFile(argv[2], BuildBank(programs));
    return 0;
}
