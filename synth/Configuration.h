// The per-user settings file "vorn.ini" (folder "TaskelRorev" of the user's
// local application-data folder), shared by every instance and by both
// module builds: its sections and keys, the rules for reading its values, and
// the settings one instance holds.
//
// Sections and keys:
//   [Startup Bank]  File                   full path of the bank loaded at start
//   [Editor]        Start In Edit Mode     "true" / "false"
//                   Panel Scale            "100", "150" or "200" (percent;
//                                          window systems that scale)
//   [Global]        Path to Program Files  default folder of the file dialogs
//   [MIDI Global]   MIDI Thru              "true" / "false"
//                   Ignore Program Change  "true" / "false"
//   [MIDI Control]  CC0 .. CC119           parameter index of that controller
#pragma once

#include <atomic>
#include <string>

inline constexpr const char* kConfigurationFolderName = "TaskelRorev";
inline constexpr const char* kConfigurationFileName = "vorn.ini";

inline constexpr const char* kStartupBankSection = "Startup Bank";
inline constexpr const char* kStartupBankFileKey = "File";
inline constexpr const char* kEditorSection = "Editor";
inline constexpr const char* kStartInEditModeKey = "Start In Edit Mode";
inline constexpr const char* kPanelScaleKey = "Panel Scale";
inline constexpr const char* kGlobalSection = "Global";
inline constexpr const char* kProgramFilesPathKey = "Path to Program Files";
inline constexpr const char* kMidiGlobalSection = "MIDI Global";
inline constexpr const char* kMidiThruKey = "MIDI Thru";
inline constexpr const char* kIgnoreProgramChangeKey = "Ignore Program Change";
inline constexpr const char* kMidiControlSection = "MIDI Control";

// Read buffers in bytes, terminator included: longer values arrive cut to
// one byte less (never inside a UTF-8 sequence).
inline constexpr int kStartupBankBufferSize = 259;
inline constexpr int kValueBufferSize = 64;
// Longest configuration folder or file path, in bytes. A longer one is not
// cut (that would name some other file): the instance then has no
// configuration file, reads give the defaults and writes do nothing.
inline constexpr int kMaxConfigurationPathLength = 1023;

// Which keys WriteMidiSettings writes besides the startup bank.
enum class MidiSettings {
    All,                  // both flags and the controller map ("Save Configuration")
    MidiThru,             // "MIDI Thru" only
    IgnoreProgramChange,  // "Ignore Program Change" only
};

// The settings of one instance. The paths are used on the editor's thread
// only; the flags are set there and read by the audio thread, hence atomics.
struct SynthConfiguration {
    std::string iniPath;             // empty: no configuration file
    std::string documentsFolder;     // start folder of the startup-bank dialog
    std::string programFilesFolder;  // default folder of the program/bank dialogs
    std::string startupBankFile;     // empty: none
    std::atomic<bool> startInEditMode{false};
    std::atomic<int> panelScale{100};  // percent: 100, 150 or 200
    std::atomic<bool> midiThru{false};
    std::atomic<bool> ignoreProgramChange{false};
};

// A flag's value as read from the file: an empty text keeps current, any
// other text means true exactly when it is "true" without regard to case.
bool ParseConfigurationFlag(const char* text, bool current);

// A "Panel Scale" entry: 100, 150 or 200 when the text is one of them,
// else current.
int ParsePanelScale(const char* text, int current);

// "true" or "false".
const char* ConfigurationFlagText(bool value);

// A "MIDI Control" entry as read from the file: the leading decimal integer
// (after blanks and one sign; saturated to the 32-bit range) when it is not
// zero, 0 when the text begins with the digit "0", otherwise -1 (unassigned;
// also for an empty text). No range check: values outside the parameter
// range are kept and written back, and do nothing.
int ParseControllerEntry(const char* text);
