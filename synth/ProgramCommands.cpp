// The option menu's commands: the program clipboard, program and bank files,
// the startup bank, the editor and MIDI options and the configuration file,
// and the online functions.
#include <cstdio>
#include <mutex>
#include <string>

#include "core/ProgramFiles.h"
#include "platform/Folders.h"
#include "synth/MakerAddresses.h"
#include "synth/Synth.h"
#include "synth/UpdateCheck.h"

namespace {

constexpr const char* kError = "Error";
constexpr const char* kCannotLoad = "Cannot load file!";
constexpr const char* kCannotSave = "Cannot save file!";
constexpr std::size_t kMessageLimit = 1024;

// Folders shared by every instance of the process, set on the first command.
struct SharedFolders {
    std::mutex mutex;
    bool set = false;
    std::string programs;  // start of the program and bank dialogs
    std::string startupBank;
};

SharedFolders& Folders()
{
    static SharedFolders folders;
    return folders;
}

std::string Format(const char* pattern, const std::string& value)
{
    char text[kMessageLimit + 1];
    std::snprintf(text, sizeof text, pattern, value.c_str());
    return text;
}

bool Confirmed(SynthDialogs& dialogs, const std::string& text, const char* caption)
{
    return dialogs.ShowMessageBox(text.c_str(), caption, SynthDialogs::kYesNo) != SynthDialogs::kAnswerNo;
}

}  // namespace

std::string Synth::ProgramFileName(const char* name)
{
    std::string file(name != nullptr ? name : "");
    file = file.substr(0, 63);
    for (char& c : file) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::string("<>:\"/\\|?*").find(c) != std::string::npos) {
            c = '_';
        }
    }
    // A name of blanks and dots alone is no file name either.
    if (file.find_first_not_of(" .") == std::string::npos) {
        file = "Program";
    }
    return file;
}

void Synth::CopyProgram()
{
    InstanceLock lock(InstanceMutex());
    ModifyCurrentPreset();
    m_clipboardSource = CurrentPresetIndex();
    m_clipboard.Clear();
    WriteState(m_clipboard);
}

void Synth::PasteProgram()
{
    InstanceLock lock(InstanceMutex());
    if (m_clipboard.Empty()) {
        return;
    }
    ReadState(m_clipboard, 0);
    const std::string name =
        m_clipboardSource >= 0 && m_clipboardSource < NumPresets() ? PresetName(m_clipboardSource) : "";
    ModifyCurrentPreset(name.c_str());
    PushParametersToEditor();
    NotifyHostAllParameters();
}

void Synth::InitProgram()
{
    InstanceLock lock(InstanceMutex());
    InitialiseCurrentProgram();
}

void Synth::RunCommand(SynthDialogs& dialogs, int command)
{
    // The shared folders are locked only while read or written, never while
    // a dialog is open.
    SharedFolders& shared = Folders();
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (!shared.set) {
            shared.programs = ProgramFilesFolder();
            shared.startupBank = UserDocumentsFolder();
            shared.set = true;
        }
    }
    auto get = [&shared](std::string SharedFolders::*which) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        return shared.*which;
    };
    auto set = [&shared](std::string SharedFolders::*which, const std::string& value) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.*which = value;
    };
    // File commands: the dialog, then the program folder follows the chosen
    // file whether the load or save worked or not.
    auto chooseFile = [&](SynthDialogs::FileAction action, const char* extension, std::string file) {
        std::string folder = get(&SharedFolders::programs);
        dialogs.PromptForFile(file, action, folder, extension);
        if (!file.empty()) {
            set(&SharedFolders::programs, FolderOfPath(file));
        }
        return file;
    };
    switch (command) {
        case kCopyProgram:
            CopyProgram();
            break;
        case kPasteProgram:
            if (Confirmed(dialogs, "Do you really want to overwrite the current program?", "Paste Program")) {
                PasteProgram();
            }
            break;
        case kInitProgram:
            if (Confirmed(dialogs, "Do you really want to initialize the current program?",
                          "Initialize Program")) {
                InitProgram();
            }
            break;
        case kLoadProgram: {
            const std::string file = chooseFile(SynthDialogs::kOpen, "fxp", "");
            if (!file.empty() && !LoadProgramFile(*this, file.c_str())) {
                dialogs.ShowMessageBox(kCannotLoad, kError, SynthDialogs::kOk);
            }
            break;
        }
        case kSaveProgram: {
            const int index = CurrentPresetIndex();
            const std::string proposed =
                ProgramFileName(index >= 0 && index < NumPresets() ? PresetName(index) : "");
            const std::string file = chooseFile(SynthDialogs::kSave, "fxp", proposed);
            if (!file.empty()) {
                ModifyCurrentPreset();
                if (!SaveProgramFile(*this, file.c_str())) {
                    dialogs.ShowMessageBox(kCannotSave, kError, SynthDialogs::kOk);
                }
            }
            break;
        }
        case kLoadBank: {
            const std::string file = chooseFile(SynthDialogs::kOpen, "fxb", "");
            if (!file.empty() && !LoadBankFile(*this, file.c_str())) {
                dialogs.ShowMessageBox(kCannotLoad, kError, SynthDialogs::kOk);
            }
            break;
        }
        case kSaveBank: {
            const std::string file = chooseFile(SynthDialogs::kSave, "fxb", "VORN");
            if (!file.empty()) {
                ModifyCurrentPreset();
                if (!SaveBankFile(*this, file.c_str())) {
                    dialogs.ShowMessageBox(kCannotSave, kError, SynthDialogs::kOk);
                }
            }
            break;
        }
        case kSelectStartupBank: {
            std::string file;
            std::string folder = get(&SharedFolders::startupBank);
            dialogs.PromptForFile(file, SynthDialogs::kOpen, folder, "fxb");
            if (!file.empty()) {
                SelectStartupBank(file);
                set(&SharedFolders::startupBank, FolderOfPath(file));
            }
            break;
        }
        case kLoadStartupBank:
            if (!StartupBankFile().empty() &&
                Confirmed(dialogs,
                          Format("The Startup Bank is:\n%s\n\nDo you really want to reload all programs?",
                                 StartupBankFile()),
                          "Load Startup Bank") &&
                !LoadBankFile(*this, StartupBankFile().c_str())) {
                dialogs.ShowMessageBox(kCannotLoad, kError, SynthDialogs::kOk);
            }
            break;
        case kUnselectStartupBank:
            if (!StartupBankFile().empty() &&
                Confirmed(dialogs,
                          Format("The Startup Bank is:\n%s\n\nDo you really want to unselect it?",
                                 StartupBankFile()),
                          "Unselect Startup Bank")) {
                UnselectStartupBank();
            }
            break;
        case kStartInEditMode:
            WriteStartInEditMode(!StartInEditMode());
            break;
        case kDefaultProgramPath: {
            std::string file = "[file name is ignored]";
            std::string folder = get(&SharedFolders::programs);
            dialogs.PromptForFile(file, SynthDialogs::kSave, folder, " ");
            if (!file.empty()) {
                set(&SharedFolders::programs, FolderOfPath(file));
                WriteProgramFilesPath(FolderOfPath(file));
            }
            break;
        }
        case kReloadConfiguration: {
            const std::string text =
                Format("The INI configuration file is:\n%s\n\nDo you really want to reload it?", IniPath());
            if (dialogs.ShowMessageBox(text.c_str(), "Reload Configuration", SynthDialogs::kYesNo) ==
                    SynthDialogs::kAnswerYes &&
                !ReadConfiguration()) {
                dialogs.ShowMessageBox("The INI file does not exist.", "Problem with INI File",
                                       SynthDialogs::kOk);
            }
            break;
        }
        case kSaveConfiguration: {
            const std::string text = Format(
                "The INI configuration file is:\n%s\n\nDo you really want to overwrite it?", IniPath());
            if (dialogs.ShowMessageBox(text.c_str(), "Save Configuration", SynthDialogs::kYesNo) ==
                SynthDialogs::kAnswerYes) {
                WriteMidiSettings(MidiSettings::All);
            }
            break;
        }
        case kMidiThru:
            SetMidiThru(!MidiThru());
            WriteMidiSettings(MidiSettings::MidiThru);
            break;
        case kIgnoreProgramChange:
            SetIgnoreProgramChange(!IgnoreProgramChange());
            WriteMidiSettings(MidiSettings::IgnoreProgramChange);
            break;
        case kCheckForUpdate:
            CheckOnlineForUpdate(dialogs);
            break;
        case kVisit:
            dialogs.OpenUrl(kMakerHomePage);
            break;
        default:
            break;
    }
}
