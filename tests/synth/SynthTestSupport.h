// Helpers for the Synth suites: a private configuration folder per test, a
// host that records the MIDI it is sent, and a running VORN.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "../platform/TempFolder.h"
#include "engine/VORN.h"

// Points the user's folders at a private place for one test: on Linux HOME
// moves to a fresh folder and the XDG variables are removed (restored
// afterwards); under Wine (a throwaway prefix per suite) the configuration
// folder is deleted before and after the test.
class ConfigurationSandbox : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifndef _WIN32
        SetEnvironment("HOME", m_home.Path().c_str());
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR"}) {
            SetEnvironment(name, nullptr);
        }
#endif
        RemoveConfigurationFolder();
    }
    void TearDown() override
    {
        RemoveConfigurationFolder();
#ifndef _WIN32
        for (const auto& [name, value] : m_saved) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
#endif
    }
#ifndef _WIN32
    void SetEnvironment(const std::string& name, const char* value)
    {
        if (m_saved.find(name) == m_saved.end()) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        value ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str());
    }
#endif

    static std::string ConfigurationFolder()
    {
        return JoinPath(LocalAppDataFolder(), "TaskelRorev");
    }
    static std::string IniFile()
    {
        return JoinPath(ConfigurationFolder(), "vorn.ini");
    }
    // Removes a file or a folder with everything in it; path in UTF-8.
    static void RemovePath(const std::string& path)
    {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(std::u8string(path.begin(), path.end())), ignored);
    }
    static void RemoveConfigurationFolder()
    {
        RemovePath(ConfigurationFolder());
    }
    static void WriteIni(const std::string& text)
    {
        CreateFolder(ConfigurationFolder());
        WriteRawFile(IniFile(), text);
    }
    // The INI file's non-blank lines without line ends.
    static std::vector<std::string> IniLines()
    {
        std::vector<std::string> lines;
        std::istringstream text(ReadRawFile(IniFile()));
        for (std::string line; std::getline(text, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!line.empty()) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    TempFolder m_scratch;

private:
#ifndef _WIN32
    TempFolder m_home;
    std::map<std::string, std::optional<std::string> > m_saved;
#endif
};

// Accepts everything and records the MIDI messages sent to the host.
struct RecordingHost {
    static inline std::vector<MidiMessage> sent;
    static VstIntPtr VSTCALLBACK Callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
    {
        if (opcode != audioMasterProcessEvents || ptr == nullptr) {
            return 0;
        }
        const auto* events = static_cast<const VstEvents*>(ptr);
        for (VstInt32 i = 0; i < events->numEvents; ++i) {
            const auto* event = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
            sent.push_back({event->deltaFrames, static_cast<std::uint8_t>(event->midiData[0]),
                            static_cast<std::uint8_t>(event->midiData[1]),
                            static_cast<std::uint8_t>(event->midiData[2])});
        }
        return 1;
    }
};

// A VORN as a host has it before processing: 48 kHz, blocks up to 512,
// reset and switched on.
inline std::unique_ptr<VORN> MakeRunningVorn()
{
    auto plugin = std::make_unique<VORN>(&RecordingHost::Callback);
    plugin->SetSampleRate(48000.0);
    plugin->SetBlockSize(512);
    plugin->OnReset();
    plugin->OnActivation(true);
    return plugin;
}

inline void SendMidi(VORN& plugin, int status, int data1, int data2)
{
    plugin.HandleMidiMessage({0, static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(data1),
                              static_cast<std::uint8_t>(data2)});
}

// Renders 100 frames (past at least one control tick at 48 kHz).
inline void RenderFrames(VORN& plugin)
{
    std::vector<double> left(100);
    std::vector<double> right(100);
    double* outputs[2] = {left.data(), right.data()};
    plugin.RenderBlock(nullptr, outputs, 100);
}
