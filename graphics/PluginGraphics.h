// The graphics object a plug-in's editor uses: the window system's own
// (IGraphicsWin on Windows, the X11 editor elsewhere) once it exists, until
// then a stand-in without a window, which keeps controls, values and drawing
// working but opens no window (so the plug-in does not announce an editor).
#pragma once

#include <memory>

#include "graphics/EditorHost.h"
#include "graphics/IGraphics.h"

class IPluginBase;

// The graphics object for a plug-in, reaching it through host (not owned; it
// must outlive the graphics object's use).
std::unique_ptr<IGraphics> CreatePluginGraphics(EditorHost& host);

// The editor host over a plug-in: parameters, the user's changes, the host's
// edit brackets and the size report go to plugin.
class PluginEditorHost : public EditorHost {
public:
    explicit PluginEditorHost(IPluginBase& plugin) : m_plugin(plugin) {}

    int NumParameters() const override;
    const Parameter* GetParameter(int index) const override;
    void SetParameterFromEditor(int index, double normalized) override;
    void BeginHostEdit(int index) override;
    void EndHostEdit(int index) override;
    void RefreshEditorRect() override;
    bool RequestWindowSize(int width, int height) override;

private:
    IPluginBase& m_plugin;
};

// A graphics object without a window: every operating-system operation does
// nothing (menus and entries are never shown, prompts answer "cancelled").
class WindowlessGraphics : public IGraphics {
public:
    explicit WindowlessGraphics(EditorHost& host, int width = 1100, int height = 512);

    bool HasWindow() const override { return false; }
    bool PaintScreen(const IRectangle&) override { return true; }
    void CancelTextEntry() override {}
    int ShowMessageBox(const char*, const char*, int) override { return 0; }
    IMenu* ShowPopupMenu(IMenu&, const IRectangle&) override { return nullptr; }
    void ShowTextEntry(IControl*, const ITextStyle&, const IRectangle&, const char*, int) override {}
    void HostFolder(std::string& folder) override { folder.clear(); }
    void ModuleFolder(std::string& folder) override { folder.clear(); }
    void DesktopFolder(std::string& folder) override { folder.clear(); }
    void AppDataFolder(std::string& folder, bool) override { folder.clear(); }
    void UserAppDataFolder(std::string& folder) override { folder.clear(); }
    void PromptForFile(std::string& file, FileAction, std::string&, const char*) override { file.clear(); }
    bool PromptForColour(IColour&, const char*) override { return false; }
    bool OpenUrl(const char*, const char*, const char*, const char*) override { return false; }
    void* OpenWindow(void*) override { return nullptr; }
    void CloseWindow() override {}
    void* WindowHandle() override { return nullptr; }
    bool ClipboardText(std::string& text) override
    {
        text.clear();
        return false;
    }
    void UpdateTooltips() override {}
    std::unique_ptr<PixBitmap> LoadBitmapResource(int id, const char* name) override;
};
