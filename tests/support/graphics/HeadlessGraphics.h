// A graphics object without a window, for tests: it paints into its draw
// bitmap, answers message boxes, popup menus, text entries and file prompts
// from scripts the test sets, records every prompt it was asked, and can
// write what it painted to a PNG file. Never part of a module.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "graphics/IGraphics.h"

class HeadlessGraphics : public IGraphics {
public:
    struct Prompt {
        std::string kind;  // "message", "menu", "entry", "file", "url", "colour"
        std::string text;  // message text, entry text, file name, url
        std::string caption;
        std::vector<std::string> items;  // menu items: "~" in front of greyed, "*" of checked ones
        int parameter = -1;
        IRectangle rect;
    };

    explicit HeadlessGraphics(EditorHost* host, int width = 1100, int height = 512);

    // ---- Scripts: answers taken front first ----
    std::deque<int> messageAnswers;  // default 0
    std::deque<int> menuChoices;     // -1: no choice; an item with a submenu takes the next one too
    std::deque<std::optional<std::string>> typed;  // nullopt: cancelled; default cancelled
    std::deque<std::string> fileAnswers;           // "": cancelled; default cancelled
    std::string clipboard;
    std::string folder = "/tmp";

    // ---- Records ----
    std::vector<Prompt> prompts;
    std::vector<IRectangle> painted;

    // One redraw tick as the window runs it: IsDirty, then Draw of the dirty
    // rectangle. True when something was drawn.
    bool Tick();
    // Writes the draw bitmap as an 8-bit RGBA PNG; false on failure.
    bool WritePng(const std::string& path);
    // The draw bitmap's pixels, row by row, for checksums.
    std::uint32_t Checksum();

    bool PaintScreen(const IRectangle& rect) override;
    void CancelTextEntry() override;
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IMenu* ShowPopupMenu(IMenu& menu, const IRectangle& rect) override;
    void ShowTextEntry(IControl* control, const ITextStyle& style, const IRectangle& rect, const char* text,
                       int parameter) override;
    void HostFolder(std::string& out) override { out = folder; }
    void ModuleFolder(std::string& out) override { out = folder; }
    void DesktopFolder(std::string& out) override { out = folder; }
    void AppDataFolder(std::string& out, bool) override { out = folder; }
    void UserAppDataFolder(std::string& out) override { out = folder; }
    void PromptForFile(std::string& file, FileAction action, std::string& folderInOut,
                       const char* extensions) override;
    bool PromptForColour(IColour& colour, const char* prompt) override;
    bool OpenUrl(const char* url, const char* caption, const char* confirm, const char* error) override;
    void* OpenWindow(void* parent) override;
    void CloseWindow() override;
    void* WindowHandle() override { return m_open ? this : nullptr; }
    bool ClipboardText(std::string& text) override;
    void UpdateTooltips() override {}
    std::unique_ptr<PixBitmap> LoadBitmapResource(int id, const char* name) override;

private:
    bool m_open = false;
};
