// The maker's synthesizer base between the VST binding and a product: it
// announces every parameter to the product when the host switches processing
// on, owns the per-user configuration (Configuration.h), the MIDI controller
// map and MIDI learn, and is where the program commands live.
#pragma once

#include <atomic>
#include <string>

#include "core/IPluginVST.h"
#include "synth/Configuration.h"
#include "synth/MidiControllerMap.h"
#include "synth/MidiLearnSwitch.h"
#include "synth/SynthDialogs.h"

class Synth : public IPluginVST {
public:
    // Highest parameter index MIDI learn captures and a mapped controller
    // drives.
    static constexpr int kMaxMappedParameter = 70;

    // Finds the configuration file (creating its folder, and the file itself
    // empty, when missing) and reads it. Writes nothing else.
    Synth(audioMasterCallback hostCallback, const PluginInfo& info);

    // Ends MIDI learn. UI thread.
    void OnReset() override;
    // Switched on: OnParameterChanged for every parameter in index order, so
    // engine state matches the values after anything the host did while the
    // plug-in was off. UI thread (some hosts: the audio thread).
    void OnActivation(bool active) override;
    // While MIDI learn is active, a parameter 0..70 becomes the learned
    // parameter. Any host thread; does not block or allocate.
    void OnParameterChanged(int index) override;

    // ---- Configuration ------------------------------------------------------
    // Editor thread (commands) or construction; block on file I/O. Writes
    // fail silently.

    // Reads every key into the settings: a missing startup bank key means no
    // startup bank, a missing or empty controller key an unassigned
    // controller; missing or empty flags and folder keep their values. True
    // when the file existed.
    bool ReadConfiguration();
    // Remembers path (UTF-8) as the startup bank, then WriteStartupBank. The
    // bank is not loaded now.
    void SelectStartupBank(const std::string& path);
    // Empties section "Startup Bank" and writes "File" with the startup bank
    // file (an empty value when there is none).
    void WriteStartupBank();
    // No startup bank; section "Startup Bank" is emptied.
    void UnselectStartupBank();
    // Sets the program-files folder and writes "Path to Program Files".
    void WriteProgramFilesPath(const std::string& folder);
    // Sets the start-in-edit-mode flag and writes "Start In Edit Mode".
    void WriteStartInEditMode(bool on);
    // The panel's display scale in percent (100, 150 or 200; others are
    // ignored), kept and written to the configuration file.
    void WritePanelScale(int percent);
    // Writes the startup bank section, then the flag(s) selected; All also
    // rewrites section "MIDI Control" with one key per assigned controller
    // 0..119.
    void WriteMidiSettings(MidiSettings selector);
    // Start-up: loads the startup bank file; when that fails, forgets the
    // startup bank (in memory only) and applies the factory bank stored in
    // the module (resource "PROGINIT" of type "INIT"; nothing when the module
    // has none). True when the startup bank was loaded.
    bool LoadStartupOrFactoryBank();

    const std::string& IniPath() const { return m_configuration.iniPath; }
    const std::string& UserDocumentsFolder() const { return m_configuration.documentsFolder; }
    const std::string& ProgramFilesFolder() const { return m_configuration.programFilesFolder; }
    // Empty when there is none.
    const std::string& StartupBankFile() const { return m_configuration.startupBankFile; }
    bool StartInEditMode() const { return m_configuration.startInEditMode.load(std::memory_order_relaxed); }
    int PanelScale() const { return m_configuration.panelScale.load(std::memory_order_relaxed); }

    // "MIDI Thru": incoming short messages are sent back out first.
    bool MidiThru() const { return m_configuration.midiThru.load(std::memory_order_relaxed); }
    void SetMidiThru(bool on) { m_configuration.midiThru.store(on, std::memory_order_relaxed); }
    // "Ignore Program Change": MIDI program changes do not load presets.
    bool IgnoreProgramChange() const
    {
        return m_configuration.ignoreProgramChange.load(std::memory_order_relaxed);
    }
    void SetIgnoreProgramChange(bool on)
    {
        m_configuration.ignoreProgramChange.store(on, std::memory_order_relaxed);
    }

    MidiControllerMap& ControllerMap() { return m_controllerMap; }
    const MidiControllerMap& ControllerMap() const { return m_controllerMap; }

    // ---- Program commands -----------------------------------------------------

    // Commands of the option menu (RunCommand); the gaps do nothing.
    enum Command : int {
        kCopyProgram = 0,
        kPasteProgram = 1,
        kInitProgram = 2,
        kLoadProgram = 4,
        kSaveProgram = 5,
        kLoadBank = 6,
        kSaveBank = 7,
        kSelectStartupBank = 9,
        kLoadStartupBank = 10,
        kUnselectStartupBank = 11,
        kStartInEditMode = 13,
        kDefaultProgramPath = 14,
        kReloadConfiguration = 16,
        kSaveConfiguration = 17,
        kMidiThru = 20,
        kIgnoreProgramChange = 21,
        kCheckForUpdate = 23,
        kVisit = 24,
    };

    // Keeps the current program's edits in it, loads program index, asks the
    // host to refresh its display and tells it every parameter. Editor
    // thread; takes the instance lock for the whole run.
    void SelectProgram(int index);
    // The current program into the clipboard (its edits stored first).
    // Takes the instance lock.
    void CopyProgram();
    // The clipboard into the current program, named as its source program is
    // now; nothing when the clipboard is empty. Takes the instance lock.
    void PasteProgram();
    // Every parameter to its default, the program named "Init".
    void InitProgram();
    bool ClipboardEmpty() const { return m_clipboard.Empty(); }
    // Runs an option-menu command with its dialogs and messages. Editor
    // thread.
    void RunCommand(SynthDialogs& dialogs, int command);
    // The file name "Save Program" proposes for a program name: at most 63
    // characters, characters a file system refuses replaced by "_", never
    // empty.
    static std::string ProgramFileName(const char* name);

    // ---- MIDI learn -----------------------------------------------------------
    // The learn switch arms learn (or, in unlearn mode, unlearn); then one
    // controller and one parameter, in either order, make an assignment, or
    // in unlearn mode one of them removes assignments.

    bool MidiLearnActive() const { return m_learnActive.load(std::memory_order_relaxed); }
    bool MidiUnlearnMode() const { return m_unlearnMode.load(std::memory_order_relaxed); }
    // -1 while none has been captured.
    int LearnedController() const { return m_learnedController.load(std::memory_order_relaxed); }
    int LearnedParameter() const { return m_learnedParameter.load(std::memory_order_relaxed); }

    // The learn switch: learn on or off, in learn or unlearn mode; the learned
    // controller and parameter start again from none. Editor thread; takes
    // the instance lock.
    void SetMidiLearn(bool active, bool unlearnMode);
    // The editor was built with this switch (null: none): learn ends, learn
    // mode. The editor calls it before destroying a previous switch. Takes
    // the instance lock.
    void AttachMidiLearnSwitch(MidiLearnSwitch* learnSwitch);

    // A controller below 120 arrived while MIDI learn was active (MIDI
    // intake): it becomes the learned controller, then CommitMidiLearn.
    void CaptureLearnedController(int controller);
    // Makes the assignment (learn mode) or removal (unlearn mode) once the
    // learn state allows it, ending learn and showing the switch off. Audio
    // or editor thread; does not block or allocate.
    void CommitMidiLearn();

    // Forgets every MIDI message waiting for its control tick (a host that
    // starts over, the fuzz targets between inputs). Takes the instance lock.
    virtual void DiscardQueuedMidi() = 0;

protected:
    // The product's "initialise program": every parameter to its default,
    // the editor's controls moved, the current program named "Init", the
    // host told. Called by InitProgram under the instance lock.
    virtual void InitialiseCurrentProgram() = 0;

private:
    // Learn off with no controller or parameter captured.
    void EndMidiLearn();

    MidiControllerMap m_controllerMap;
    SynthConfiguration m_configuration;
    // The program clipboard and the program it was copied from (-1: none).
    StateChunk m_clipboard;
    int m_clipboardSource = -1;

    std::atomic<bool> m_learnActive{false};
    std::atomic<bool> m_unlearnMode{false};
    std::atomic<int> m_learnedController{MidiControllerMap::kUnassigned};
    std::atomic<int> m_learnedParameter{MidiControllerMap::kUnassigned};
    MidiLearnSwitch* m_learnSwitch = nullptr;  // not owned; changed under the instance lock
};
