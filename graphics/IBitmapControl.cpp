#include "graphics/IBitmapControl.h"

#include <algorithm>

#include "graphics/IGraphics.h"

namespace {

IRectangle FrameRect(int x, int y, const IBitmapStrip& strip)
{
    return {x, y, x + strip.FrameWidth(), y + strip.FrameHeight()};
}

}  // namespace

IBitmapControl::IBitmapControl(EditorHost* host, int x, int y, int parameter, const IBitmapStrip& strip,
                               BlendMethod blend)
    : IControl(host, FrameRect(x, y, strip), parameter, blend), m_strip(strip)
{
}

int IBitmapControl::Frame() const
{
    return FrameForValue(m_strip.frames, m_value);
}

bool IBitmapControl::Draw(IGraphics& graphics)
{
    graphics.DrawBitmapFrame(m_strip, m_rect, Frame(), &m_blend);
    return true;
}

void ISwitchControl::HandleMouseDown(int, int, const IModifiers&)
{
    m_value += m_strip.frames < 2 ? 1.0 : 1.0 / (m_strip.frames - 1);
    if (m_value > 1.001) {
        m_value = 0.0;
    }
    MarkDirty(true);
}

void ISwitchControl::HandleDoubleClick(int x, int y, const IModifiers& modifiers)
{
    HandleMouseDown(x, y, modifiers);
}

void IContactControl::HandleMouseUp(int, int, const IModifiers&)
{
    m_value = 0.0;
    MarkDirty(true);
}
