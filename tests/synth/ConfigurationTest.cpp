#include <gtest/gtest.h>

#include <climits>
#include <span>
#include <string>
#include <vector>

#include "SynthTestSupport.h"
#include "core/ProgramFiles.h"
#include "platform/Resources.h"

namespace {

using Lines = std::vector<std::string>;

// The factory bank was applied at construction: all 64 programs are there,
// the first carries the first record's name, and applying the bank again
// changes no program.
void ExpectFactoryBankApplied(VORN& plugin)
{
    const std::span<const std::uint8_t> bank = FindModuleResource("INIT", "PROGINIT");
    StateChunk image;
    ASSERT_TRUE(image.Assign(bank.data(), static_cast<int>(bank.size())));
    char firstName[kPresetNameSize] = {};
    ASSERT_GT(image.GetString(firstName, kPresetNameSize, 168), 0) << "the module carries the factory bank";
    EXPECT_STREQ(plugin.PresetName(0), firstName);
    const std::vector<Preset> loaded(plugin.Presets().begin(), plugin.Presets().end());
    LoadBankImage(plugin, bank.data(), bank.size());
    ASSERT_EQ(loaded.size(), 64u);
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        EXPECT_TRUE(loaded[i].initialised) << "program " << i;
        EXPECT_TRUE(plugin.Presets()[i].initialised == loaded[i].initialised &&
                    std::string(plugin.Presets()[i].name) == loaded[i].name &&
                    plugin.Presets()[i].state == loaded[i].state)
            << "program " << i;
    }
}

class Configuration : public ConfigurationSandbox {
protected:
    // Saves a bank whose program 3, current when saved, is named "Startup
    // Three", and names it the startup bank in the INI file.
    void SelectSavedStartupBank(const std::string& bank)
    {
        VORN source(&RecordingHost::Callback);
        ASSERT_TRUE(source.LoadPreset(3));
        source.ModifyCurrentPreset("Startup Three");
        ASSERT_TRUE(SaveBankFile(source, bank.c_str()));
        WriteIni("[Startup Bank]\nFile=" + bank + "\n");
    }
};

TEST_F(Configuration, FirstStartCreatesAnEmptyFileAndUsesDefaults)
{
    ASSERT_FALSE(FolderExists(ConfigurationFolder()));
    VORN plugin(&RecordingHost::Callback);
    EXPECT_EQ(plugin.IniPath(), IniFile());
    EXPECT_EQ(ReadRawFile(IniFile()), "") << "created empty; nothing is written at start-up";
    EXPECT_FALSE(plugin.StartInEditMode() || plugin.MidiThru() || plugin.IgnoreProgramChange());
    EXPECT_EQ(plugin.StartupBankFile(), "");
    EXPECT_FALSE(DocumentsFolder().empty());
    EXPECT_EQ(plugin.UserDocumentsFolder(), DocumentsFolder());
    EXPECT_EQ(plugin.ProgramFilesFolder(), DocumentsFolder());
    for (int c = 0; c < 128; ++c) {
        EXPECT_EQ(plugin.ControllerMap().ParameterFor(c), -1) << c;
    }
    ExpectFactoryBankApplied(plugin);
}

TEST_F(Configuration, ValuesAreReadByTheFileRules)
{
    const std::string longFolder = "/" + std::string(69, 'p');
    const std::string longBank = "/" + std::string(299, 'b');
    WriteIni("[Editor]\nStart In Edit Mode=TRUE\n[Global]\nPath to Program Files=" + longFolder +
             "\n[MIDI Global]\nMIDI Thru=yes\nIgnore Program Change=\n"
             "[MIDI Control]\nCC7=0\nCC8=abc\nCC9=-1\nCC10=500\nCC11=0abc\nCC12=12abc\nCC13=+0\n"
             "CC14=99999999999\nCC15=-5\nCC16=\nCC119=70\nCC120=5\n");
    VORN plugin(&RecordingHost::Callback);
    EXPECT_TRUE(plugin.StartInEditMode()) << "true in any case";
    EXPECT_FALSE(plugin.MidiThru()) << "anything else is false";
    EXPECT_EQ(plugin.ProgramFilesFolder(), longFolder.substr(0, 63));
    const MidiControllerMap& map = plugin.ControllerMap();
    const std::vector<std::pair<int, int>> expected = {
        {7, 0},   {8, -1},       {9, -1},  {10, 500}, {11, 0},   {12, 12},
        {13, -1}, {14, INT_MAX}, {15, -5}, {16, -1},  {119, 70}, {120, -1},
    };
    for (const auto& [controller, parameter] : expected) {
        EXPECT_EQ(map.ParameterFor(controller), parameter) << "CC" << controller;
    }

    // Empty and missing flag values keep what the instance has; "yes" is
    // false.
    plugin.SetIgnoreProgramChange(true);
    plugin.SetMidiThru(true);
    WriteIni("[Startup Bank]\nFile=" + longBank + "\n[MIDI Global]\nMIDI Thru=yes\nIgnore Program Change=\n");
    EXPECT_TRUE(plugin.ReadConfiguration());
    EXPECT_TRUE(plugin.IgnoreProgramChange() && plugin.StartInEditMode());
    EXPECT_FALSE(plugin.MidiThru());
    EXPECT_EQ(plugin.ProgramFilesFolder(), longFolder.substr(0, 63)) << "a missing key keeps the folder";
    EXPECT_EQ(plugin.StartupBankFile(), longBank.substr(0, 258));
    EXPECT_EQ(map.ParameterFor(7), -1) << "a missing controller key unassigns";

    // The file is gone: no startup bank, no assignments, flags kept.
    plugin.ControllerMap().Assign(3, 4);
    RemovePath(IniFile());
    EXPECT_FALSE(plugin.ReadConfiguration());
    EXPECT_EQ(plugin.StartupBankFile(), "");
    EXPECT_EQ(map.ParameterFor(3), -1);
    EXPECT_TRUE(plugin.IgnoreProgramChange());
    EXPECT_FALSE(FileExists(IniFile())) << "reading does not create it";

    // The panel's size: 100, 150 or 200 (blanks around it are trimmed, as
    // for every value); anything else keeps the current one.
    for (const auto& [text, expected] : std::vector<std::pair<std::string, int>>{{"150", 150},
                                                                                 {"175", 150},
                                                                                 {"", 150},
                                                                                 {"200 ", 200},
                                                                                 {"100", 100},
                                                                                 {"abc", 100},
                                                                                 {"200", 200}}) {
        WriteIni("[Editor]\nPanel Scale=" + text + "\n");
        plugin.ReadConfiguration();
        EXPECT_EQ(plugin.PanelScale(), expected) << text;
    }
    plugin.WritePanelScale(120);
    EXPECT_EQ(plugin.PanelScale(), 200) << "not a size on offer";
    plugin.WritePanelScale(150);
    EXPECT_EQ(IniLines(), (Lines{"[Editor]", "Panel Scale=150"}));
}

TEST_F(Configuration, EachWriterWritesExactlyItsKeys)
{
    VORN plugin(&RecordingHost::Callback);
    const std::string bank = m_scratch / "my bank.fxb";
    const std::string folder = m_scratch.Path();

    plugin.SelectStartupBank(bank);
    EXPECT_EQ(IniLines(), (Lines{"[Startup Bank]", "File=" + bank}));
    plugin.UnselectStartupBank();
    EXPECT_EQ(plugin.StartupBankFile(), "");
    EXPECT_EQ(IniLines(), (Lines{"[Startup Bank]"}));
    plugin.WriteProgramFilesPath(folder);
    plugin.WriteStartInEditMode(true);
    EXPECT_EQ(plugin.ProgramFilesFolder(), folder);
    EXPECT_EQ(IniLines(), (Lines{"[Startup Bank]", "[Global]", "Path to Program Files=" + folder, "[Editor]",
                                 "Start In Edit Mode=true"}));

    // A MIDI option stores the startup bank section too, but not the map.
    plugin.ControllerMap().Assign(5, 3);
    plugin.SetMidiThru(true);
    plugin.WriteMidiSettings(MidiSettings::MidiThru);
    Lines expected = {"[Startup Bank]", "File=",
                      "[Global]",       "Path to Program Files=" + folder,
                      "[Editor]",       "Start In Edit Mode=true",
                      "[MIDI Global]",  "MIDI Thru=true"};
    EXPECT_EQ(IniLines(), expected);
    plugin.WriteMidiSettings(MidiSettings::IgnoreProgramChange);
    expected.push_back("Ignore Program Change=false");
    EXPECT_EQ(IniLines(), expected);

    // "Save Configuration": both flags and every assigned entry, replacing
    // what the section held.
    plugin.ControllerMap().Store(100, 500);
    plugin.ControllerMap().Store(119, -7);
    plugin.SetMidiThru(false);
    plugin.WriteMidiSettings(MidiSettings::All);
    expected[7] = "MIDI Thru=false";
    expected.insert(expected.end(), {"[MIDI Control]", "CC5=3", "CC100=500", "CC119=-7"});
    EXPECT_EQ(IniLines(), expected);
    plugin.ControllerMap().Assign(5, -1);
    plugin.WriteMidiSettings(MidiSettings::All);
    expected.erase(expected.begin() + 10);
    EXPECT_EQ(IniLines(), expected);

    VORN reader(&RecordingHost::Callback);
    EXPECT_TRUE(reader.StartInEditMode());
    EXPECT_EQ(reader.ControllerMap().ParameterFor(100), 500);
    EXPECT_EQ(reader.ControllerMap().ParameterFor(119), -7);
}

TEST_F(Configuration, AMissingStartupBankFallsBackToTheFactoryBank)
{
    const std::string bank = m_scratch / "startup.fxb";
    ASSERT_NO_FATAL_FAILURE(SelectSavedStartupBank(bank));
    {
        VORN plugin(&RecordingHost::Callback);
        EXPECT_EQ(plugin.StartupBankFile(), bank);
        EXPECT_STREQ(plugin.PresetName(3), "Startup Three");
    }
    RemovePath(bank);
    VORN plugin(&RecordingHost::Callback);
    EXPECT_EQ(plugin.StartupBankFile(), "") << "forgotten in memory";
    ExpectFactoryBankApplied(plugin);
    EXPECT_EQ(IniLines(), (Lines{"[Startup Bank]", "File=" + bank})) << "the file keeps the name";
    plugin.WriteMidiSettings(MidiSettings::MidiThru);
    EXPECT_EQ(IniLines(), (Lines{"[Startup Bank]", "File=", "[MIDI Global]", "MIDI Thru=false"}));
}

TEST_F(Configuration, ACutStartupBankGivesTheFactoryBank)
{
    const std::string bank = m_scratch / "startup.fxb";
    ASSERT_NO_FATAL_FAILURE(SelectSavedStartupBank(bank));
    {
        VORN plugin(&RecordingHost::Callback);
        EXPECT_STREQ(plugin.PresetName(3), "Startup Three");
        EXPECT_EQ(plugin.CurrentPresetIndex(), 3) << "the program the bank was saved on";
    }
    StateChunk whole;
    ASSERT_TRUE(ReadWholeFile(bank.c_str(), whole));
    StateChunk cut;
    cut.Put(whole.Data(), 200);
    WriteRawFile(bank, std::string(reinterpret_cast<const char*>(cut.Data()), 200));

    VORN plugin(&RecordingHost::Callback);
    EXPECT_EQ(plugin.StartupBankFile(), "");
    ExpectFactoryBankApplied(plugin);
    EXPECT_EQ(IniLines(), (Lines{"[Startup Bank]", "File=" + bank})) << "the file keeps the name";
}

#ifndef _WIN32
TEST_F(Configuration, NoUsableFolderMeansDefaultsAndNoWrites)
{
    // Too long for the path buffer: no file at all rather than a cut path.
    const std::string data = m_scratch.Path() + "/" + std::string(1100, 'd');
    SetEnvironment("XDG_DATA_HOME", data.c_str());
    VORN plugin(&RecordingHost::Callback);
    EXPECT_EQ(plugin.IniPath(), "");
    EXPECT_FALSE(plugin.ReadConfiguration());
    plugin.SelectStartupBank("/somewhere.fxb");
    plugin.WriteMidiSettings(MidiSettings::All);
    EXPECT_FALSE(FolderExists(data));

    // A folder that cannot be created.
    WriteRawFile(m_scratch / "file", "");
    SetEnvironment("XDG_DATA_HOME", (m_scratch / "file").c_str());
    VORN blocked(&RecordingHost::Callback);
    EXPECT_FALSE(blocked.ReadConfiguration());
    blocked.WriteStartInEditMode(true);
    EXPECT_TRUE(blocked.StartInEditMode());
    EXPECT_EQ(ReadRawFile(m_scratch / "file"), "");
}
#endif

}  // namespace
