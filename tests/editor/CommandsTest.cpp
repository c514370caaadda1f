// The option menu and its commands, through the headless graphics object.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "PanelHarness.h"
#include "engine/dsp/ParameterIds.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh folder for the files a test writes.
fs::path Scratch(const char* name)
{
    const fs::path folder = fs::temp_directory_path() / "vorn-commands" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Opens the option menu and picks the item at the path given.
void Pick(Panel& panel, std::initializer_list<int> path)
{
    panel.graphics->menuChoices.assign(path.begin(), path.end());
    panel.Click(840, 40);
}

TEST(Commands, FileNamesProposedForProgramsAreSafe)
{
    EXPECT_EQ(Synth::ProgramFileName("A/B: test?"), "A_B_ test_");
    EXPECT_EQ(Synth::ProgramFileName("<>:\"/\\|?*"), "_________");
    EXPECT_EQ(Synth::ProgramFileName("tab\there"), "tab_here");
    EXPECT_EQ(Synth::ProgramFileName(""), "Program");
    EXPECT_EQ(Synth::ProgramFileName(" . "), "Program");
    EXPECT_EQ(Synth::ProgramFileName(std::string(100, 'x').c_str()).size(), 63u);
}

TEST(Commands, MenuShowsTheStateAndCopyRenamePasteWork)
{
    Panel panel(false);
    panel.graphics->menuChoices.clear();
    panel.Click(840, 40);  // dismissed
    const auto items = panel.graphics->prompts.back().items;
    ASSERT_EQ(items.size(), 20u);
    EXPECT_EQ(items[1], "~Paste Program") << "the clipboard is empty";
    EXPECT_EQ(items[15], "Global MIDI Settings... >");
    EXPECT_EQ(items[19], "Go Online... >");

    // Copy on 3, rename 3, paste on 7 (answer Yes).
    panel.vorn->SelectProgram(3);
    Pick(panel, {0});
    EXPECT_FALSE(panel.vorn->ClipboardEmpty());
    panel.vorn->RenameCurrentProgram("Renamed Three");
    const double volume3 = panel.vorn->GetParameter(kMasterVolume)->Value();
    panel.vorn->SelectProgram(7);
    panel.vorn->SetParameterFromPanel(kMasterVolume, volume3 == 0.5 ? 0.6 : 0.5);
    panel.graphics->messageAnswers.push_back(SynthDialogs::kAnswerYes);
    Pick(panel, {1});
    EXPECT_STREQ(panel.vorn->PresetName(7), "Renamed Three");
    EXPECT_EQ(panel.vorn->GetParameter(kMasterVolume)->Value(), volume3);
    EXPECT_EQ(panel.graphics->prompts.back().text, "Do you really want to overwrite the current program?");

    // Init asks; No leaves the program alone, Yes initialises it.
    panel.graphics->messageAnswers.push_back(SynthDialogs::kAnswerNo);
    Pick(panel, {2});
    EXPECT_STREQ(panel.vorn->PresetName(7), "Renamed Three");
    panel.graphics->messageAnswers.push_back(SynthDialogs::kAnswerYes);
    Pick(panel, {2});
    EXPECT_STREQ(panel.vorn->PresetName(7), "Init");
    EXPECT_EQ(panel.vorn->GetParameter(kMasterVolume)->Value(), 1.0);
}

TEST(Commands, ProgramFilesStartupBankAndOptions)
{
    const fs::path folder = Scratch("files");
    Panel panel(false);
    const std::string programFolder = panel.vorn->ProgramFilesFolder();
    panel.vorn->RenameCurrentProgram("A/B: test?");
    // Save Program proposes a safe name; the dialog answers with a path.
    const std::string saved = (folder / "saved.fxp").string();
    panel.graphics->fileAnswers.push_back(saved);
    Pick(panel, {5});
    EXPECT_EQ(panel.graphics->prompts.back().text, "A_B_ test_");
    EXPECT_TRUE(fs::exists(saved));
    // Load it back into another program; a broken file says so.
    panel.vorn->SelectProgram(9);
    panel.graphics->fileAnswers.push_back(saved);
    Pick(panel, {4});
    EXPECT_STREQ(panel.vorn->PresetName(9), "A/B: test?");
    std::ofstream((folder / "broken.fxp").string()) << "junk";
    panel.graphics->fileAnswers.push_back((folder / "broken.fxp").string());
    Pick(panel, {4});
    EXPECT_EQ(panel.graphics->prompts.back().text, "Cannot load file!");
    // The next program dialog opens where the last file was.
    panel.graphics->fileAnswers.push_back("");
    Pick(panel, {6});
    EXPECT_EQ(panel.graphics->prompts.back().kind, "file");

    // Startup bank: the items are greyed until one is chosen, and choosing
    // does not load it.
    const std::string bank = (folder / "bank.fxb").string();
    panel.graphics->fileAnswers.push_back(bank);
    Pick(panel, {7});  // save bank
    ASSERT_TRUE(fs::exists(bank));
    panel.vorn->UnselectStartupBank();
    panel.graphics->menuChoices.clear();
    panel.Click(840, 40);
    EXPECT_EQ(panel.graphics->prompts.back().items[10], "~Load Startup Bank");
    EXPECT_EQ(panel.graphics->prompts.back().items[11], "~Unselect Startup Bank");
    const std::string before = panel.vorn->PresetName(0);
    panel.graphics->fileAnswers.push_back(bank);
    Pick(panel, {9});
    EXPECT_EQ(panel.vorn->StartupBankFile(), bank);
    EXPECT_EQ(panel.vorn->PresetName(0), before) << "chosen, not loaded";
    panel.graphics->menuChoices.clear();
    panel.Click(840, 40);
    EXPECT_EQ(panel.graphics->prompts.back().items[10], "Load Startup Bank");

    // MIDI Thru writes its key and the startup bank, not the controller map.
    const bool thru = panel.vorn->MidiThru();
    panel.vorn->ControllerMap().Assign(7, kMasterVolume);
    Pick(panel, {15, 0});
    EXPECT_NE(panel.vorn->MidiThru(), thru);
    const std::string ini = ReadText(panel.vorn->IniPath());
    EXPECT_NE(ini.find("MIDI Thru"), std::string::npos) << ini;
    EXPECT_NE(ini.find("bank.fxb"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("MIDI Control"), std::string::npos) << ini;
    Pick(panel, {15, 0});  // back as it was

    // Unselect (Yes): the items are greyed again.
    panel.graphics->messageAnswers.push_back(SynthDialogs::kAnswerYes);
    Pick(panel, {11});
    EXPECT_TRUE(panel.vorn->StartupBankFile().empty());

    // Default path: the folder of whatever name is confirmed there.
    panel.graphics->fileAnswers.push_back((folder / "anything").string());
    Pick(panel, {14});
    EXPECT_EQ(panel.vorn->ProgramFilesFolder(), folder.string());
    EXPECT_EQ(panel.graphics->prompts.back().text, "[file name is ignored]");
    // Visit opens the home page.
    Pick(panel, {19, 1});
    EXPECT_EQ(panel.graphics->prompts.back().kind, "url");
    // The shared settings file as it was.
    panel.vorn->WriteProgramFilesPath(programFolder);
}

}  // namespace
