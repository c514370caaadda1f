#include "graphics/IKnobControl.h"

#include <algorithm>

#include "graphics/IGraphics.h"

IKnobControl::IKnobControl(EditorHost* host, IRectangle rect, int parameter, Direction direction,
                           double gearing)
    : IControl(host, rect, parameter, BlendMethod::None), m_direction(direction), m_gearing(gearing)
{
}

void IKnobControl::HandleMouseDrag(int, int, int dx, int dy, const IModifiers& modifiers)
{
    double gearing = m_gearing;
    if (modifiers.shift || modifiers.control) {
        gearing *= 10.0;
    }
    if (m_direction == kVertical) {
        m_value += static_cast<double>(dy) / (m_rect.top - m_rect.bottom) / gearing;
    } else {
        m_value += static_cast<double>(dx) / (m_rect.right - m_rect.left) / gearing;
    }
    MarkDirty(true);
}

void IKnobControl::HandleWheel(int, int, const IModifiers& modifiers, int notches)
{
    m_value += notches * (modifiers.shift || modifiers.control ? 0.001 : 0.01);
    MarkDirty(true);
}

IKnobMultiControl::IKnobMultiControl(EditorHost* host, int x, int y, int parameter, const IBitmapStrip& strip,
                                     Direction direction, double gearing)
    : IKnobControl(host, {x, y, x + strip.FrameWidth(), y + strip.FrameHeight()}, parameter, direction,
                   gearing),
      m_strip(strip)
{
}

int IKnobMultiControl::Frame() const
{
    return FrameForValue(m_strip.frames, m_value);
}

bool IKnobMultiControl::Draw(IGraphics& graphics)
{
    graphics.DrawBitmapFrame(m_strip, m_rect, Frame(), &m_blend);
    return true;
}
