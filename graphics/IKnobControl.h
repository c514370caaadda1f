// Knobs: dragged along one direction or turned with the wheel; the multi-
// frame knob shows the frame of an image strip by its value.
#pragma once

#include "graphics/IControl.h"

class IKnobControl : public IControl {
public:
    enum Direction : int { kVertical = 0, kHorizontal = 1 };

    IKnobControl(EditorHost* host, IRectangle rect, int parameter, Direction direction = kVertical,
                 double gearing = 4.0);

    // One control height (or width) of drag moves the value by 1 / gearing;
    // shift or control make it ten times finer.
    void HandleMouseDrag(int x, int y, int dx, int dy, const IModifiers& modifiers) override;
    // 0.01 per notch, 0.001 with shift or control.
    void HandleWheel(int x, int y, const IModifiers& modifiers, int notches) override;

    Direction GetDirection() const { return m_direction; }
    double Gearing() const { return m_gearing; }
    void SetGearing(double gearing) { m_gearing = gearing; }

protected:
    Direction m_direction;
    double m_gearing;
};

class IKnobMultiControl : public IKnobControl {
public:
    // Placed at (x, y) with the size of one frame of strip.
    IKnobMultiControl(EditorHost* host, int x, int y, int parameter, const IBitmapStrip& strip,
                      Direction direction = kVertical, double gearing = 4.0);

    bool Draw(IGraphics& graphics) override;
    const IBitmapStrip& Strip() const { return m_strip; }
    int Frame() const;

protected:
    IBitmapStrip m_strip;
};
