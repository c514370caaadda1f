// The editor on X11: a child window of the host's window on a display
// connection of its own, driven from the host's idle calls (no thread of our
// own): events are drained and the 40 ms redraw tick runs from a monotonic
// clock, so the panel behaves alike at any idle rate. The dirty region goes
// to the window through MIT-SHM on a local server that has it (not when
// VORN_X11_NO_SHM is set), else with XPutImage.
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

    // Menus, text entry and dialogs come with the panel's own X11 menus;
    // until then they answer as cancelled.
    void CancelTextEntry() override {}
    int ShowMessageBox(const char*, const char*, int) override { return 0; }
    IMenu* ShowPopupMenu(IMenu&, const IRectangle&) override { return nullptr; }
    void ShowTextEntry(IControl*, const ITextStyle&, const IRectangle&, const char*, int) override {}
    // The folders of the posix platform layer: the host program's, the
    // module's, the desktop ($XDG_DESKTOP_DIR, else ~/Desktop), the data
    // folders ($XDG_DATA_HOME; /usr/local/share for the common one).
    void HostFolder(std::string& folder) override;
    void ModuleFolder(std::string& folder) override;
    void DesktopFolder(std::string& folder) override;
    void AppDataFolder(std::string& folder, bool common) override;
    void UserAppDataFolder(std::string& folder) override;
    void PromptForFile(std::string& file, FileAction, std::string&, const char*) override { file.clear(); }
    bool PromptForColour(IColour&, const char*) override { return false; }
    // Hands url to xdg-open without waiting for it.
    bool OpenUrl(const char* url, const char* caption, const char* confirm, const char* error) override;
    bool ClipboardText(std::string& text) override
    {
        text.clear();
        return false;
    }
    void UpdateTooltips() override {}
    std::unique_ptr<PixBitmap> LoadBitmapResource(int id, const char* name) override;

private:
    struct Window;
    // Handles one event from the display.
    void HandleEvent(const void* event);
    void RedrawTick();

    std::unique_ptr<Window> m_window;
    std::chrono::steady_clock::time_point m_lastTick{};
    bool m_resizePending = false;
};
