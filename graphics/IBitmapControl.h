// Controls that show one frame of an image strip by their value: the plain
// bitmap control, the switch that steps through its frames on each press, and
// the contact that is on only while pressed.
#pragma once

#include "graphics/IControl.h"

class IBitmapControl : public IControl {
public:
    // Placed at (x, y) with the size of one frame of strip.
    IBitmapControl(EditorHost* host, int x, int y, int parameter, const IBitmapStrip& strip,
                   BlendMethod blend = BlendMethod::None);

    bool Draw(IGraphics& graphics) override;
    const IBitmapStrip& Strip() const { return m_strip; }
    // Frame shown for the current value, 1..N.
    int Frame() const;

protected:
    IBitmapStrip m_strip;
};

class ISwitchControl : public IBitmapControl {
public:
    using IBitmapControl::IBitmapControl;

    // Steps to the next frame, wrapping after the last.
    void HandleMouseDown(int x, int y, const IModifiers& modifiers) override;
    void HandleDoubleClick(int x, int y, const IModifiers& modifiers) override;
};

class IContactControl : public ISwitchControl {
public:
    using ISwitchControl::ISwitchControl;

    void HandleMouseUp(int x, int y, const IModifiers& modifiers) override;
};
