// The editor's drawing surface and event router. It owns the ordered list of
// controls (index 0 is the background, the highest index is on top), keeps
// one off-screen bitmap of the whole editor, redraws into it only what is
// dirty, routes mouse and key events to the control under the pointer,
// hands parameter values from the plug-in to the controls bound to them and
// opens the value prompt for a parameter. What needs the operating system
// (the window, menus, dialogs, folders, the clipboard) is abstract here and
// implemented per window system.
//
// Threads: everything runs on the editor's thread except
// SetParameterFromPlug, which any thread may call (host automation, MIDI on
// the audio thread): it stores the value in a per-parameter atomic slot, and
// the editor's thread applies the waiting values before it redraws or
// handles an event (ApplyPendingValues). No lock is taken there.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "core/PluginEditor.h"
#include "graphics/IBitmapStrip.h"
#include "graphics/IControl.h"
#include "graphics/IDrawStyle.h"
#include "graphics/IMenu.h"
#include "graphics/IRectangle.h"
#include "graphics/PixBitmap.h"
#include "graphics/PixSysBitmap.h"

class EditorHost;

class IGraphics : public PluginEditor {
public:
    enum FileAction : int { kFileOpen = 0, kFileSave = 1 };

    IGraphics(EditorHost* host, int width = 1100, int height = 512, int frameRate = 25);
    ~IGraphics() override;

    // ---- PluginEditor ----
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    int WindowWidth() const override;
    int WindowHeight() const override;
    // The display scale: window pixels per panel pixel. Window systems that
    // scale override SetScale; the default keeps 1 and answers false.
    double Scale() const { return m_scale; }
    virtual bool CanScale() const { return false; }
    virtual bool SetScale(double) { return false; }
    bool SetWindowScale(double scale) override { return SetScale(scale); }
    // Any thread: the value waits for the editor's thread.
    void SetParameterFromPlug(int index, double value, bool normalized) override;
    // While the editor is attached (editor's thread): applied at once.
    void ApplyPlugValues(int index, double normalized) override;
    void PrepareDrawing() override;

    // ---- Virtual operations, in slot order ----
    // Copies rect of the draw bitmap to the window.
    virtual bool PaintScreen(const IRectangle& rect) = 0;
    // Sets rect to the size the text takes in style, placed by its alignment.
    virtual bool MeasureText(ITextStyle& style, const char* text, IRectangle& rect);
    virtual void CancelTextEntry() = 0;
    // A new size: every control is discarded, the draw bitmap remade and the
    // host told.
    virtual void Resize(int width, int height);
    virtual bool IsWindowOpen();
    virtual const char* DrawingApiName();
    virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
    // The menu with its choice made, or null when none was made.
    virtual IMenu* ShowPopupMenu(IMenu& menu, const IRectangle& rect) = 0;
    virtual void ShowTextEntry(IControl* control, const ITextStyle& style, const IRectangle& rect,
                               const char* text, int parameter) = 0;
    virtual void HostFolder(std::string& folder) = 0;
    virtual void ModuleFolder(std::string& folder) = 0;
    virtual void DesktopFolder(std::string& folder) = 0;
    virtual void AppDataFolder(std::string& folder, bool common) = 0;
    virtual void UserAppDataFolder(std::string& folder) = 0;
    // file and folder are read and set; extensions is a space-separated
    // list. file is empty afterwards when the user cancelled.
    virtual void PromptForFile(std::string& file, FileAction action, std::string& folder,
                               const char* extensions) = 0;
    // True while a file dialog that PromptForFile started runs on without
    // blocking (the host is told through EditorHost::OnFileChosen when it
    // ends); false where the dialog answers at once.
    virtual bool FilePromptPending() const { return false; }
    virtual bool PromptForColour(IColour& colour, const char* prompt) = 0;
    virtual bool OpenUrl(const char* url, const char* caption, const char* confirm, const char* error) = 0;
    virtual void* Query();
    void* OpenWindow(void* parent) override = 0;
    virtual void OnWindowOpened();
    virtual void OnWindowClosing();
    void CloseWindow() override = 0;
    virtual void* WindowHandle() = 0;
    virtual bool ClipboardText(std::string& text) = 0;
    virtual void HideCursor();
    virtual void RestoreCursor();
    virtual void UpdateTooltips() = 0;
    // Decodes the image resource id; null when it is missing or broken.
    virtual std::unique_ptr<PixBitmap> LoadBitmapResource(int id, const char* name) = 0;

    // ---- Controls ----
    // Takes ownership; returns the index.
    int AttachControl(std::unique_ptr<IControl> control);
    // A bitmap control of image id at index 0, the panel's background.
    void AttachBackground(int id, const char* name);
    // The image through the process-wide bitmap cache.
    IBitmapStrip LoadBitmap(int id, const char* name, int frames = 1, bool horizontal = false);
    int ControlCount() const { return static_cast<int>(m_controls.size()); }
    IControl* Control(int index) const;

    // Applies the values SetParameterFromPlug left waiting.
    void ApplyPendingValues();
    // The value prompt: a menu for enumerations, else a text entry.
    void PromptForParameter(IControl* control, int parameter, const IRectangle& rect);
    // What the user typed into a text entry (at most 31 characters count):
    // for an enumeration the value of the first display text equal to it (0
    // when none is), otherwise the text read as a number (negated for
    // parameters displayed negated), normalized and given to the control as
    // the user's value; without a parameter (-1) the control gets the text.
    void CommitTextEntry(IControl* control, int parameter, const char* text);

    // ---- Redraw ----
    // Unites the rectangles of the dirty controls into rect; false (and a
    // step towards the idle hook) when nothing is dirty.
    bool IsDirty(IRectangle& rect);
    // Draws every visible control meeting rect, marks all clean and paints
    // the screen.
    bool Draw(const IRectangle& rect);
    PixSysBitmap* DrawBitmap() { return m_drawBitmap.get(); }

    // ---- Events from the window ----
    void HandleMouseDown(int x, int y, const IModifiers& modifiers);
    void HandleMouseUp(int x, int y, const IModifiers& modifiers);
    // Movement with a button held: to the captured control.
    void HandleMouseDrag(int x, int y, const IModifiers& modifiers);
    bool HandleDoubleClick(int x, int y, const IModifiers& modifiers);
    void HandleWheel(int x, int y, const IModifiers& modifiers, int notches);
    bool HandleMouseOver(int x, int y, const IModifiers& modifiers);
    void HandleMouseOut();
    bool HandleKeyDown(int x, int y, int key);
    int CapturedControl() const { return m_captured; }
    int MouseOverControl() const { return m_mouseOver; }
    void SetHandleMouseOver(bool on) { m_handleMouseOver = on; }
    void SetTooltips(bool on) { m_tooltips = on; }
    bool Tooltips() const { return m_tooltips; }
    int FrameRate() const { return m_frameRate; }
    EditorHost* Host() const { return m_host; }

    // ---- Drawing primitives for controls (all return true) ----
    // Frames count from 1.
    bool DrawBitmapFrame(const IBitmapStrip& strip, const IRectangle& rect, int frame, const IBlend* blend);
    bool DrawBitmapRegion(const IBitmapStrip& strip, const IRectangle& rect, int sourceX, int sourceY,
                          const IBlend* blend);
    bool FillRectangle(const IColour& colour, const IRectangle& rect, const IBlend* blend);
    bool FillRoundRectangle(const IColour& colour, const IRectangle& rect, const IBlend* blend);
    // False when the font cannot be made.
    bool DrawText(ITextStyle& style, const char* text, const IRectangle& rect);

protected:
    // The control under (x, y): the highest visible one that is not greyed
    // (for mouse-over, greyed ones that ask for it too); -1 when none.
    int FindControl(int x, int y, bool mouseOver) const;
    // Discards every control (Resize, destruction).
    void ClearControls();

    EditorHost* m_host;
    std::vector<std::unique_ptr<IControl>> m_controls;
    IRectangle m_drawRect;
    bool m_cursorHidden = false;
    int m_savedCursorX = -1;
    int m_savedCursorY = -1;
    std::unique_ptr<PixSysBitmap> m_drawBitmap;
    int m_width;
    int m_height;
    int m_frameRate;
    double m_scale = 1.0;
    int m_idleTicks = 0;
    int m_captured = -1;
    int m_mouseOver = -1;
    int m_lastMouseX = 0;
    int m_lastMouseY = 0;
    bool m_handleMouseOver = false;
    bool m_tooltips = false;

private:
    // Waiting values from SetParameterFromPlug, one slot per parameter.
    int m_parameterCount = 0;
    std::unique_ptr<std::atomic<double>[]> m_pendingValues;
    std::unique_ptr<std::atomic<bool>[]> m_pendingFlags;
    std::atomic<bool> m_anyPending{false};
};
