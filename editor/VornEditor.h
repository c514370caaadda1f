// The product as the module hands it to hosts: VORN with its editor. The
// editor's graphics object is made at construction and filled with the panel
// (BuildEditor, from the layout table); host automation, program and state
// loads, mapped MIDI controllers and the ensemble buttons reach its controls,
// and its controls reach the plug-in. VORN itself stays free of graphics, for
// the engine and product suites and the tools.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "engine/VORN.h"
#include "graphics/PluginGraphics.h"

class IBitmapControl;
class IControl;
class ITaskelPresetButton;
class ITaskelSwitchControl;

class VornWithEditor : public VORN {
public:
    // Makes the graphics object for an editor host (tests pass a headless
    // one); the default is the window system's.
    using GraphicsFactory = std::function<std::unique_ptr<IGraphics>(EditorHost&)>;

    explicit VornWithEditor(audioMasterCallback hostCallback, const GraphicsFactory& factory = {});
    ~VornWithEditor() override;

    // The editor's graphics object (owned by the plug-in).
    IGraphics* Graphics() const { return m_graphics; }
    EditorHost& EditorHostOf() { return *m_editorHost; }

    // ---- The panel (editor's thread) ----
    // Builds every control of the current layout; see the layout table.
    void BuildEditor();
    bool EditLayout() const { return m_editLayout; }
    void SetEditLayout(bool edit) { m_editLayout = edit; }
    // The ensemble buttons show the lit bits; the tweak switch is lit in
    // tweak mode.
    void UpdatePresetButtons();
    // Asks for the status controls to follow the engine: at once on the
    // editor's thread, else at the next redraw tick (any thread).
    void UpdateStatusControls() override;
    // Brings the status controls in line now (editor's thread): buttons, the
    // vibe lamp, and in the edit layout the diagram and the greying of the
    // tweakable controls, in the compact layout the pull switches. Nothing
    // while the window is closed.
    void ApplyStatusControls();

    // The window opened: the status controls follow the engine at the first
    // redraw tick.
    void OnEditorOpened() override;

    // Parameter index takes value in its own unit through the editor path.
    void SetParameterFromPanel(int index, double value);
    // The tweak snapshot of the current values (the tweak switch's
    // "Overwrite with Preset Data").
    void TakeTweakSnapshot();
    // Names the current program (and stores its state in it).
    void RenameCurrentProgram(const char* name);
    // The option menu at (x, y), and the chosen command run.
    void ShowOptionMenu(int x, int y);
    // The option menu's command the user chose at (x, y), -1 for none; the
    // panel sizes (where the window system scales) are commands
    // kPanelScaleCommand + 0..2.
    int ChooseOptionCommand(int x, int y);
    static constexpr int kPanelScaleCommand = 30;
    static constexpr int kPanelScales[3] = {100, 150, 200};
    // The panel shown at percent (100, 150 or 200) of its size, kept in the
    // configuration file; the host learns the new window size.
    void SetPanelScale(int percent);
    // Runs an option menu command with the editor's dialogs. A command whose
    // file dialog runs on without blocking is run again when it ends.
    void RunOptionCommand(int command);
    // The file dialog a command waits for has ended (editor's thread).
    void OnFileChosen();

    // References to the status controls of the current layout.
    const std::array<ITaskelPresetButton*, 8>& EnsembleButtons() const { return m_buttons; }
    ITaskelSwitchControl* TweakSwitch() const { return m_tweak; }
    ITaskelSwitchControl* PullSwitch(int which) const { return m_pull[which & 1]; }
    IBitmapControl* VibeIndicator() const { return m_vibe; }
    IBitmapControl* Diagram() const { return m_diagram; }
    // The control of parameter index 13..61 in the edit layout, or null.
    IControl* TweakableControl(int index) const;

private:
    class Host;

    void AttachPanelControl(const struct PanelControl& control);
    void ClearReferences();

    std::unique_ptr<EditorHost> m_editorHost;
    IGraphics* m_graphics = nullptr;
    bool m_editLayout = false;
    int m_waitingCommand = -1;  // the command whose file dialog is open
    std::atomic<bool> m_statusPending{false};
    std::array<ITaskelPresetButton*, 8> m_buttons{};
    ITaskelSwitchControl* m_tweak = nullptr;
    std::array<ITaskelSwitchControl*, 2> m_pull{};
    IBitmapControl* m_vibe = nullptr;
    IBitmapControl* m_diagram = nullptr;
    std::array<IControl*, 49> m_tweakable{};  // parameters 13..61
};
