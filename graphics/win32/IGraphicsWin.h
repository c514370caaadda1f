// The editor on Windows: a child window of the host's window, of the class
// "TaskelEditorWindow" (registered while any editor window of the process
// exists), redrawn from a 40 ms timer (at 25 frames per second) that paints
// the dirty region from the draw bitmap's device context. Window messages
// become the graphics core's events; native popup menus, an in-place "EDIT"
// entry, a tooltip control and the common dialogs serve the controls and
// commands. Win32 types stay in the implementation files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/IGraphics.h"

class IGraphicsWin : public IGraphics {
public:
    // Text entry states, in the order the timer sees them.
    enum TextEntryState : int {
        kEntryNone = 0,
        kEntryEditing = 1,
        kEntryRepainted = 2,
        kEntryCancel = 3,
        kEntryCommit = 4
    };

    // What a file dialog is opened with, for the dialog hook.
    struct FileRequest {
        bool save = false;
        std::string file;              // the name it starts with
        std::string folder;            // where it starts
        std::string patterns;          // "*.fxp;*.fxb", empty for no filter
        std::string defaultExtension;  // empty for none
    };
    // Answers the modal dialogs instead of showing them (tests; never set in
    // a module). Process-wide.
    class DialogHook {
    public:
        virtual ~DialogHook() = default;
        // The message box's result (1 OK, 6 Yes, 7 No).
        virtual int MessageBox(const char* text, const char* caption, int type) = 0;
        // The chosen full path, or false for cancel.
        virtual bool FileDialog(const FileRequest& request, std::string& path) = 0;
        // The chosen colour, or false for cancel.
        virtual bool ColourDialog(IColour& colour, const char* prompt) = 0;
        // Whether the shell opened url.
        virtual bool OpenUrl(const char* url) = 0;
    };
    static void SetDialogHook(DialogHook* hook);

    explicit IGraphicsWin(EditorHost& host, int width = 1100, int height = 512);
    ~IGraphicsWin() override;

    // The module whose resources, folder and window class the editor uses.
    void SetModuleInstance(void* instance) { m_instance = instance; }

    bool PaintScreen(const IRectangle& rect) override;
    void CancelTextEntry() override;
    // Grows or shrinks the window, and the host's parent and grandparent
    // frames with it, by the change in size.
    void Resize(int width, int height) override;
    bool IsWindowOpen() override;
    const char* DrawingApiName() override { return "Windows GDI"; }
    // Owned by the host's main window.
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IMenu* ShowPopupMenu(IMenu& menu, const IRectangle& rect) override;
    void ShowTextEntry(IControl* control, const ITextStyle& style, const IRectangle& rect, const char* text,
                       int parameter) override;
    void HostFolder(std::string& folder) override;
    void ModuleFolder(std::string& folder) override;
    void DesktopFolder(std::string& folder) override;
    void AppDataFolder(std::string& folder, bool common) override;
    void UserAppDataFolder(std::string& folder) override;
    void PromptForFile(std::string& file, FileAction action, std::string& folder,
                       const char* extensions) override;
    bool PromptForColour(IColour& colour, const char* prompt) override;
    bool OpenUrl(const char* url, const char* caption, const char* confirm, const char* error) override;
    void* OpenWindow(void* parent) override;
    void CloseWindow() override;
    void* WindowHandle() override;
    bool ClipboardText(std::string& text) override;
    void HideCursor() override;
    void RestoreCursor() override;
    void UpdateTooltips() override {}
    // Unregisters the window class when the last window went with its host's
    // window (which cannot be done while it is being destroyed).
    void Idle() override;
    std::unique_ptr<PixBitmap> LoadBitmapResource(int id, const char* name) override;

    // ---- For tests and diagnostics ----
    TextEntryState EntryState() const { return m_entryState; }
    void* EntryWindow() const;
    void* TooltipWindow() const;
    // Editor windows of the process that are open now.
    static int OpenWindowCount();

    // The window procedures' work (the procedures themselves live in the
    // implementation and forward here).
    std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t HandleEntryMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

private:
    struct Native;

    void TimerTick();
    void CloseTextEntry();
    void HideTooltip();
    // The owner of message boxes: the host's top-level window.
    void* MainWindow();

    std::unique_ptr<Native> m_native;
    void* m_instance = nullptr;
    TextEntryState m_entryState = kEntryNone;
    IControl* m_editedControl = nullptr;
    int m_editedParameter = -1;
    bool m_tooltipShown = false;
    int m_lastTooltipControl = -1;
};
