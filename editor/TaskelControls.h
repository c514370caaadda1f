// The panel's own controls over the framework's: the knob with its value box
// and scratch noise, the switch that carries the panel's special functions,
// the ensemble buttons, the MIDI-learn switch, the previous/next buttons, the
// program menu with its name field and the option-menu hot spot. Each holds
// the product (not owned); all run on the editor's thread.
#pragma once

#include <atomic>

#include "graphics/IBitmapControl.h"
#include "graphics/IKnobControl.h"
#include "graphics/IMenu.h"
#include "synth/MidiLearnSwitch.h"

class VornWithEditor;

class ITaskelKnobControl : public IKnobMultiControl {
public:
    // x and y are in doubled units (halved here).
    ITaskelKnobControl(VornWithEditor& vorn, int x2, int y2, const IBitmapStrip& strip, int parameter,
                       double gearing = 4.0);

    void HandleMouseDrag(int x, int y, int dx, int dy, const IModifiers& modifiers) override;
    void HandleMouseOver(int x, int y, const IModifiers& modifiers) override;
    void HandleMouseOut() override;
    bool Draw(IGraphics& graphics) override;

    const IRectangle& ValueBox() const { return m_valueBox; }
    bool Hovered() const { return m_hover; }
    bool Clicks() const { return m_click; }

private:
    VornWithEditor& m_vorn;
    IRectangle m_valueBox;
    bool m_hover = false;
    bool m_click = false;
};

class ITaskelSwitchControl : public ISwitchControl {
public:
    ITaskelSwitchControl(VornWithEditor& vorn, int x, int y, int code, const IBitmapStrip& strip);

    void HandleMouseDown(int x, int y, const IModifiers& modifiers) override;
    // The tweak switch's menu.
    IMenu& Menu() { return m_menu; }

private:
    // The ISwitchControl step: value + 1 / (frames - 1), back to 0 above
    // 1.001, pushed.
    void Step();
    // Parameter index takes value in its own unit through the editor path.
    void SetPlain(int index, double value);

    VornWithEditor& m_vorn;
    IMenu m_menu;
};

class ITaskelPresetButton : public ISwitchControl {
public:
    ITaskelPresetButton(VornWithEditor& vorn, int x, int y, int code, int mask, const IBitmapStrip& strip);

    void HandleMouseDown(int x, int y, const IModifiers& modifiers) override;
    int Mask() const { return m_mask; }

private:
    VornWithEditor& m_vorn;
    int m_mask;
};

class ITaskelSwitchMidiLearn : public ISwitchControl, public MidiLearnSwitch {
public:
    ITaskelSwitchMidiLearn(VornWithEditor& vorn, int x, int y, const IBitmapStrip& strip);

    void HandleMouseDown(int x, int y, const IModifiers& modifiers) override;
    // Any thread with the instance lock: the switch shows off at the next
    // redraw.
    void ShowLearnOff() override;
    bool NeedsRedraw() const override;
    void MarkClean() override;
    bool Draw(IGraphics& graphics) override;
    bool LearnMode() const { return m_learnMode; }

private:
    // Takes a waiting ShowLearnOff on the editor's thread.
    void TakeLearnOff();

    VornWithEditor& m_vorn;
    bool m_learnMode = true;
    std::atomic<bool> m_showOff{false};
};

class ITaskelUtilityKick : public IContactControl {
public:
    ITaskelUtilityKick(VornWithEditor& vorn, int x, int y, int code, const IBitmapStrip& strip);

    void HandleMouseDown(int x, int y, const IModifiers& modifiers) override;

private:
    VornWithEditor& m_vorn;
};

class ITaskelPresetMenu : public IControl {
public:
    ITaskelPresetMenu(VornWithEditor& vorn, const IRectangle& numberBox, const IRectangle& nameBox);

    void HandleMouseDown(int x, int y, const IModifiers& modifiers) override;
    bool Draw(IGraphics& graphics) override;
    // The typed name becomes the current program's name.
    void ApplyEnteredText(const char* text) override;

private:
    void ShowProgramMenu();

    VornWithEditor& m_vorn;
    IRectangle m_numberBox;
    IRectangle m_nameBox;
};

class ITaskelOptionMenu : public IControl {
public:
    ITaskelOptionMenu(VornWithEditor& vorn, const IRectangle& rect);

    void HandleMouseDown(int x, int y, const IModifiers& modifiers) override;
    bool Draw(IGraphics&) override { return true; }

private:
    VornWithEditor& m_vorn;
};
