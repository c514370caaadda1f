// The base of every control on the panel: a rectangle, an optional bound
// parameter whose normalized value it shows and edits, dirty tracking for the
// redraw pass, and the mouse and key events the graphics object routes to it.
// All operations run on the editor's thread; values from the plug-in reach
// controls through IGraphics, which hands them over from other threads.
#pragma once

#include <string>
#include <vector>

#include "graphics/IBitmapStrip.h"
#include "graphics/IDrawStyle.h"
#include "graphics/IRectangle.h"

class EditorHost;
class IGraphics;
class ITextControl;

class IControl {
public:
    struct AuxParameter {
        double value = 0.0;
        int parameter = -1;
    };

    IControl(EditorHost* host, IRectangle rect, int parameter = -1, BlendMethod blend = BlendMethod::None);
    virtual ~IControl() = default;
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // ---- Virtual operations, in slot order ----
    // A right click opens the value prompt.
    virtual void HandleMouseDown(int x, int y, const IModifiers& modifiers);
    virtual void HandleMouseUp(int x, int y, const IModifiers& modifiers);
    virtual void HandleMouseDrag(int x, int y, int dx, int dy, const IModifiers& modifiers);
    // Back to the default value, when there is one.
    virtual void HandleDoubleClick(int x, int y, const IModifiers& modifiers);
    virtual void HandleWheel(int x, int y, const IModifiers& modifiers, int notches);
    virtual bool HandleKeyDown(int x, int y, int key);
    virtual void HandleMouseOver(int x, int y, const IModifiers& modifiers);
    virtual void HandleMouseOut();
    virtual bool Draw(IGraphics& graphics) = 0;
    // A value from the plug-in (normalized); the first one becomes the
    // default.
    virtual void ApplyPlugValue(double value);
    // A value the user chose: the plug-in is told.
    virtual void ApplyUserValue(double value);
    virtual void ApplyEnteredText(const char* text);
    virtual void SetHidden(bool hide);
    virtual void SetGrayed(bool grey);
    virtual bool HitTest(int x, int y) const;
    // Clamps the value and marks the control for drawing; with push, the
    // plug-in gets the value and the value and name displays are updated.
    virtual void MarkDirty(bool push);
    virtual void MarkClean();
    virtual bool NeedsRedraw() const { return m_dirty; }
    virtual void OnAttached() {}
    virtual void ApplyAuxPlugValue(int aux, double value);

    // Opens the value prompt (menu or text entry) for the bound parameter,
    // unless prompting is disabled.
    void PromptForValue();

    // ---- Fields ----
    EditorHost* Host() const { return m_host; }
    const IRectangle& Rect() const { return m_rect; }
    const IRectangle& TargetRect() const { return m_targetRect; }
    void SetTargetRect(const IRectangle& rect) { m_targetRect = rect; }
    int ParameterIndex() const { return m_parameter; }
    double Value() const { return m_value; }
    void SetValue(double value) { m_value = value; }
    double DefaultValue() const { return m_defaultValue; }
    void SetDefaultValue(double value) { m_defaultValue = value; }
    void SetClamp(double low, double high);
    bool Hidden() const { return m_hidden; }
    bool Grayed() const { return m_grayed; }
    const IBlend& Blend() const { return m_blend; }
    ITextStyle& TextStyle() { return m_textStyle; }
    int TextEntryLength() const { return m_textEntryLength; }
    void SetTextEntryLength(int length) { m_textEntryLength = length; }
    bool PromptDisabled() const { return m_promptDisabled; }
    void SetPromptDisabled(bool disabled) { m_promptDisabled = disabled; }
    bool DoubleClickAsSingleClick() const { return m_doubleClickAsSingle; }
    void SetDoubleClickAsSingleClick(bool on) { m_doubleClickAsSingle = on; }
    bool MouseOverWhenGrayed() const { return m_mouseOverWhenGrayed; }
    void SetMouseOverWhenGrayed(bool on) { m_mouseOverWhenGrayed = on; }
    void RequestRedraw() { m_redrawRequested = true; }
    std::vector<AuxParameter>& AuxParameters() { return m_aux; }
    void SetValueDisplay(ITextControl* control) { m_valueDisplay = control; }
    void SetNameDisplay(ITextControl* control) { m_nameDisplay = control; }
    const std::string& Tooltip() const { return m_tooltip; }
    void SetTooltip(const std::string& text) { m_tooltip = text; }
    // The graphics object this control is attached to (set on attach).
    IGraphics* Graphics() const { return m_graphics; }
    void SetGraphics(IGraphics* graphics) { m_graphics = graphics; }

protected:
    int m_textEntryLength = 7;
    ITextStyle m_textStyle;
    EditorHost* m_host;
    IRectangle m_rect;
    IRectangle m_targetRect;
    int m_parameter;
    std::vector<AuxParameter> m_aux;
    double m_value = 0.0;
    double m_defaultValue = -1.0;
    double m_clampLow = 0.0;
    double m_clampHigh = 1.0;
    bool m_dirty = true;
    bool m_hidden = false;
    bool m_grayed = false;
    bool m_redrawRequested = false;
    bool m_promptDisabled = true;
    bool m_doubleClickAsSingle = false;
    bool m_mouseOverWhenGrayed = false;
    IBlend m_blend;
    ITextControl* m_valueDisplay = nullptr;
    ITextControl* m_nameDisplay = nullptr;
    std::string m_tooltip;
    IGraphics* m_graphics = nullptr;
};
