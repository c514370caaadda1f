// The option menu of the panel: rebuilt at each click so that its greying
// and check marks show the current state, and the chosen command run with
// the graphics object's dialogs.
#include <memory>
#include <string>
#include <utility>

#include "editor/VornEditor.h"
#include "graphics/IGraphics.h"
#include "synth/MakerAddresses.h"

namespace {

// The commands' dialogs over the editor's graphics object.
class GraphicsDialogs final : public SynthDialogs {
public:
    explicit GraphicsDialogs(IGraphics& graphics) : m_graphics(graphics) {}

    int ShowMessageBox(const char* text, const char* caption, int type) override
    {
        return m_graphics.ShowMessageBox(text, caption, type);
    }
    void PromptForFile(std::string& file, FileAction action, std::string& folder,
                       const char* extension) override
    {
        m_graphics.PromptForFile(file, action == kSave ? IGraphics::kFileSave : IGraphics::kFileOpen, folder,
                                 extension);
    }
    bool OpenUrl(const char* url) override { return m_graphics.OpenUrl(url, nullptr, nullptr, nullptr); }

private:
    IGraphics& m_graphics;
};

}  // namespace

int VornWithEditor::ChooseOptionCommand(int x, int y)
{
    IGraphics* graphics = Graphics();
    if (graphics == nullptr) {
        return -1;
    }
    const bool startupBank = !StartupBankFile().empty();
    IMenu menu;
    menu.AddItem("Copy Program");
    menu.AddItem("Paste Program", -1, ClipboardEmpty() ? IMenuItem::kGreyed : 0);
    menu.AddItem("Init Program");
    menu.AddItem("", -1, IMenuItem::kSeparator);
    menu.AddItem("Load Program");
    menu.AddItem("Save Program");
    menu.AddItem("Load Bank");
    menu.AddItem("Save Bank");
    menu.AddItem("", -1, IMenuItem::kSeparator);
    menu.AddItem("Select Startup Bank");
    menu.AddItem("Load Startup Bank", -1, startupBank ? 0 : IMenuItem::kGreyed);
    menu.AddItem("Unselect Startup Bank", -1, startupBank ? 0 : IMenuItem::kGreyed);
    menu.AddItem("", -1, IMenuItem::kSeparator);
    menu.AddItem("Start In Edit Mode", -1, StartInEditMode() ? IMenuItem::kChecked : 0);
    menu.AddItem("Default Path for Program Files");
    IMenu midi;
    midi.AddItem("MIDI Thru", -1, MidiThru() ? IMenuItem::kChecked : 0);
    midi.AddItem("Ignore Program Change", -1, IgnoreProgramChange() ? IMenuItem::kChecked : 0);
    IMenuItem midiItem;
    midiItem.text = "Global MIDI Settings...";
    midiItem.submenu = &midi;
    menu.AddItem(midiItem);
    menu.AddItem("Reload Configuration");
    menu.AddItem("Save Configuration");
    menu.AddItem("", -1, IMenuItem::kSeparator);
    IMenu online;
    online.AddItem("Check Online for Update");
    online.AddItem(std::string("Visit ") + kMakerDomain);
    IMenuItem onlineItem;
    onlineItem.text = "Go Online...";
    onlineItem.submenu = &online;
    menu.AddItem(onlineItem);

    // Where the window system scales the panel: its size.
    IMenu sizes;
    if (graphics->CanScale()) {
        for (const int percent : kPanelScales) {
            sizes.AddItem(std::to_string(percent) + "%", -1,
                          percent == PanelScale() ? IMenuItem::kChecked : 0);
        }
        menu.AddItem("", -1, IMenuItem::kSeparator);
        IMenuItem sizeItem;
        sizeItem.text = "Panel Size...";
        sizeItem.submenu = &sizes;
        menu.AddItem(sizeItem);
    }

    IMenu* chosen = graphics->ShowPopupMenu(menu, {x, y, x + 1, y + 1});
    if (chosen == nullptr || chosen->Chosen() < 0) {
        return -1;
    }
    if (chosen == &sizes) {
        return kPanelScaleCommand + chosen->Chosen();
    }
    if (chosen == &midi) {
        return chosen->Chosen() + 20;
    }
    if (chosen == &online) {
        return chosen->Chosen() + 23;
    }
    return chosen->Chosen();
}

void VornWithEditor::ShowOptionMenu(int x, int y)
{
    const int command = ChooseOptionCommand(x, y);
    if (command >= kPanelScaleCommand && command < kPanelScaleCommand + 3) {
        SetPanelScale(kPanelScales[command - kPanelScaleCommand]);
    } else if (command >= 0) {
        RunOptionCommand(command);
    }
}

void VornWithEditor::SetPanelScale(int percent)
{
    WritePanelScale(percent);
    if (Graphics() != nullptr && Graphics()->SetScale(PanelScale() / 100.0)) {
        EditorHostOf().RefreshEditorRect();
    }
}

void VornWithEditor::RunOptionCommand(int command)
{
    if (Graphics() == nullptr) {
        return;
    }
    GraphicsDialogs dialogs(*Graphics());
    RunCommand(dialogs, command);
    m_waitingCommand = Graphics()->FilePromptPending() ? command : -1;
}

void VornWithEditor::OnFileChosen()
{
    const int command = std::exchange(m_waitingCommand, -1);
    if (command >= 0) {
        RunOptionCommand(command);
    }
}
