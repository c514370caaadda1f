// The editor on X11: a child window of the host's window on a display
// connection of its own, driven from the host's idle calls (no thread of our
// own): events are drained and the 40 ms redraw tick runs from a monotonic
// clock, so the panel behaves alike at any idle rate. The dirty region goes
// to the window through MIT-SHM on a local server that has it (not when
// VORN_X11_NO_SHM is set), else with XPutImage. Menus, message boxes and
// the text entry are drawn by the editor's own pixel layer.
#pragma once

#include <chrono>
#include <memory>

#include "graphics/IGraphics.h"

class IGraphicsX11 : public IGraphics {
public:
    explicit IGraphicsX11(EditorHost& host, int width = 1100, int height = 512);
    ~IGraphicsX11() override;

    bool HasWindow() const override { return true; }
    void* OpenWindow(void* parent) override;
    void CloseWindow() override;
    void* WindowHandle() override;
    void Idle() override;
    void Resize(int width, int height) override;
    bool PaintScreen(const IRectangle& rect) override;
    // Window pixels per panel pixel, 1 to 4 (the host's request or the
    // user's choice); the window follows at the next idle call.
    bool CanScale() const override { return true; }
    bool SetScale(double scale) override;

    // Typing happens in a box drawn over the control; the window takes the
    // keyboard focus while it is open and gives it back after.
    void CancelTextEntry() override;
    void ShowTextEntry(IControl* control, const ITextStyle& style, const IRectangle& rect, const char* text,
                       int parameter) override;
    // Drawn inside the panel, modal to it: the panel takes no other input
    // until a button is chosen. Without a window: No, or OK.
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    // Override-redirect windows drawn by the pixel layer, with pointer and
    // keyboard grabbed until a choice is made or the menu is dismissed.
    IMenu* ShowPopupMenu(IMenu& menu, const IRectangle& rect) override;
    // The folders of the posix platform layer: the host program's, the
    // module's, the desktop ($XDG_DESKTOP_DIR, else ~/Desktop), the data
    // folders ($XDG_DATA_HOME; /usr/local/share for the common one).
    void HostFolder(std::string& folder) override;
    void ModuleFolder(std::string& folder) override;
    void DesktopFolder(std::string& folder) override;
    void AppDataFolder(std::string& folder, bool common) override;
    void UserAppDataFolder(std::string& folder) override;
    // zenity or kdialog, run without blocking the host: the first call starts
    // the dialog and answers "cancelled"; when the dialog ends (seen from
    // idle) the host is told, and the next call with the same action and
    // extensions gets the chosen file.
    void PromptForFile(std::string& file, FileAction action, std::string& folder,
                       const char* extensions) override;
    bool FilePromptPending() const override;
    bool PromptForColour(IColour&, const char*) override { return false; }
    // Hands url to xdg-open without waiting for it.
    bool OpenUrl(const char* url, const char* caption, const char* confirm, const char* error) override;
    // The CLIPBOARD selection as UTF-8 text, waited for at most a second.
    bool ClipboardText(std::string& text) override;
    // Hides a shown tooltip; the next hover shows the current control's.
    void UpdateTooltips() override;
    std::unique_ptr<PixBitmap> LoadBitmapResource(int id, const char* name) override;

    // X errors on the editors' own connections so far (they are filtered,
    // not fatal); for tests and diagnostics.
    static int IgnoredErrorCount();

private:
    struct Window;
    struct TextEntry;
    struct FileDialog;
    // Handles one event from the display.
    void HandleEvent(const void* event);
    // A key press outside the text entry and menus.
    void HandleKey(void* event);
    void RedrawTick();
    // The text entry: typed keys, drawing, and closing with or without a
    // commit.
    void HandleEntryKey(void* event);
    void DrawTextEntry();
    void CloseTextEntry(bool commit);
    // Tooltips: shown after the pointer rests on a control with a text.
    void TooltipTick();
    void HideTooltip();
    void PollFileDialog();
    // Window coordinates to panel coordinates, and the panel pixels an area
    // of the window shows.
    int PanelX(int x) const;
    int PanelY(int y) const;
    IRectangle PanelArea(int x, int y, int width, int height) const;
    void PaintScaled(const IRectangle& area);

    std::unique_ptr<Window> m_window;
    std::unique_ptr<TextEntry> m_entry;
    std::unique_ptr<FileDialog> m_fileDialog;
    int m_tooltipControl = -1;
    std::chrono::steady_clock::time_point m_restingSince{};
    std::chrono::steady_clock::time_point m_lastTick{};
    bool m_resizePending = false;
};
