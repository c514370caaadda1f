// Reading and writing the per-user settings file, and loading the startup or
// factory bank.
#include "synth/Configuration.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/ProgramFiles.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/Resources.h"
#include "synth/Synth.h"

namespace {

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Key of controller n in section "MIDI Control".
std::array<char, 16> ControllerKey(int controller)
{
    std::array<char, 16> key{};
    std::snprintf(key.data(), key.size(), "CC%i", controller);
    return key;
}

}  // namespace

bool ParseConfigurationFlag(const char* text, bool current)
{
    if (text == nullptr || text[0] == '\0') {
        return current;
    }
    const char* expected = "true";
    int i = 0;
    for (; expected[i] != '\0'; ++i) {
        if (AsciiLower(text[i]) != expected[i]) {
            return false;
        }
    }
    return text[i] == '\0';
}

const char* ConfigurationFlagText(bool value)
{
    return value ? "true" : "false";
}

int ParsePanelScale(const char* text, int current)
{
    if (text == nullptr) {
        return current;
    }
    for (const char* scale : {"100", "150", "200"}) {
        if (std::strcmp(text, scale) == 0) {
            return std::atoi(scale);
        }
    }
    return current;
}

int ParseControllerEntry(const char* text)
{
    if (text == nullptr || text[0] == '\0') {
        return -1;
    }
    const char* p = text;
    while (IsBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Saturates: any magnitude beyond the 32-bit range gives INT_MIN or INT_MAX.
    constexpr long long kMagnitudeCap = 1LL << 32;
    long long magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = std::min(magnitude * 10 + (*p - '0'), kMagnitudeCap);
    }
    const long long value = std::clamp(negative ? -magnitude : magnitude, static_cast<long long>(INT_MIN),
                                       static_cast<long long>(INT_MAX));
    if (value != 0) {
        return static_cast<int>(value);
    }
    return text[0] == '0' ? 0 : -1;
}

// ---- Synth operations on the configuration -------------------------------------------

bool Synth::ReadConfiguration()
{
    SynthConfiguration& config = m_configuration;
    const std::string& path = config.iniPath;
    const bool existed = !path.empty() && FileExists(path);

    std::array<char, kStartupBankBufferSize> bank{};
    ProfileReadString(path, kStartupBankSection, kStartupBankFileKey, "", bank.data(), bank.size());
    config.startupBankFile = bank.data();

    std::array<char, kValueBufferSize> value{};
    const auto readFlag = [&](const char* section, const char* key, std::atomic<bool>& flag) {
        const bool current = flag.load(std::memory_order_relaxed);
        value[0] = '\0';
        ProfileReadString(path, section, key, ConfigurationFlagText(current), value.data(), value.size());
        flag.store(ParseConfigurationFlag(value.data(), current), std::memory_order_relaxed);
    };
    readFlag(kEditorSection, kStartInEditModeKey, config.startInEditMode);
    value[0] = '\0';
    ProfileReadString(path, kEditorSection, kPanelScaleKey, "", value.data(), value.size());
    config.panelScale.store(ParsePanelScale(value.data(), config.panelScale.load(std::memory_order_relaxed)),
                            std::memory_order_relaxed);

    value[0] = '\0';
    ProfileReadString(path, kGlobalSection, kProgramFilesPathKey, "", value.data(), value.size());
    if (value[0] != '\0') {
        config.programFilesFolder = value.data();
    }

    readFlag(kMidiGlobalSection, kMidiThruKey, config.midiThru);
    readFlag(kMidiGlobalSection, kIgnoreProgramChangeKey, config.ignoreProgramChange);

    for (int controller = 0; controller < MidiControllerMap::kMappableControllers; ++controller) {
        value[0] = '\0';
        ProfileReadString(path, kMidiControlSection, ControllerKey(controller).data(), "-1", value.data(),
                          value.size());
        m_controllerMap.Store(controller, ParseControllerEntry(value.data()));
    }
    return existed;
}

void Synth::SelectStartupBank(const std::string& path)
{
    m_configuration.startupBankFile = path;
    WriteStartupBank();
}

void Synth::WriteStartupBank()
{
    const std::string& path = m_configuration.iniPath;
    ProfileWriteEmptySection(path, kStartupBankSection);
    ProfileWriteString(path, kStartupBankSection, kStartupBankFileKey,
                       m_configuration.startupBankFile.c_str());
}

void Synth::UnselectStartupBank()
{
    m_configuration.startupBankFile.clear();
    ProfileWriteEmptySection(m_configuration.iniPath, kStartupBankSection);
}

void Synth::WriteProgramFilesPath(const std::string& folder)
{
    m_configuration.programFilesFolder = folder;
    ProfileWriteString(m_configuration.iniPath, kGlobalSection, kProgramFilesPathKey, folder.c_str());
}

void Synth::WriteStartInEditMode(bool on)
{
    m_configuration.startInEditMode.store(on, std::memory_order_relaxed);
    ProfileWriteString(m_configuration.iniPath, kEditorSection, kStartInEditModeKey,
                       ConfigurationFlagText(on));
}

void Synth::WritePanelScale(int percent)
{
    const int scale = ParsePanelScale(std::to_string(percent).c_str(), PanelScale());
    m_configuration.panelScale.store(scale, std::memory_order_relaxed);
    ProfileWriteString(m_configuration.iniPath, kEditorSection, kPanelScaleKey,
                       std::to_string(scale).c_str());
}

void Synth::WriteMidiSettings(MidiSettings selector)
{
    WriteStartupBank();
    const std::string& path = m_configuration.iniPath;
    if (selector == MidiSettings::All || selector == MidiSettings::MidiThru) {
        ProfileWriteString(path, kMidiGlobalSection, kMidiThruKey, ConfigurationFlagText(MidiThru()));
    }
    if (selector == MidiSettings::All || selector == MidiSettings::IgnoreProgramChange) {
        ProfileWriteString(path, kMidiGlobalSection, kIgnoreProgramChangeKey,
                           ConfigurationFlagText(IgnoreProgramChange()));
    }
    if (selector != MidiSettings::All) {
        return;
    }
    ProfileWriteEmptySection(path, kMidiControlSection);
    for (int controller = 0; controller < MidiControllerMap::kMappableControllers; ++controller) {
        const int parameter = m_controllerMap.ParameterFor(controller);
        if (parameter == MidiControllerMap::kUnassigned) {
            continue;
        }
        std::array<char, 16> text{};
        std::snprintf(text.data(), text.size(), "%i", parameter);
        ProfileWriteString(path, kMidiControlSection, ControllerKey(controller).data(), text.data());
    }
}

bool Synth::LoadStartupOrFactoryBank()
{
    const std::string& bank = m_configuration.startupBankFile;
    if (!bank.empty() && ::LoadBankFile(*this, bank.c_str())) {
        return true;
    }
    m_configuration.startupBankFile.clear();
    const std::span<const std::uint8_t> factory = FindModuleResource("INIT", "PROGINIT");
    if (!factory.empty()) {
        ::LoadBankImage(*this, factory.data(), factory.size());
    }
    return false;
}
