#include "graphics/ITextControl.h"

#include "graphics/IGraphics.h"

ITextControl::ITextControl(EditorHost* host, IRectangle rect, const ITextStyle& style,
                           const std::string& text)
    : IControl(host, rect, -1, BlendMethod::None), m_text(text)
{
    m_textStyle = style;
}

bool ITextControl::Draw(IGraphics& graphics)
{
    if (m_text.empty()) {
        return true;
    }
    return graphics.DrawText(m_textStyle, m_text.c_str(), m_rect);
}

void ITextControl::SetTextFromPlug(const std::string& text)
{
    if (text != m_text) {
        MarkDirty(false);
        m_text = text;
    }
}
