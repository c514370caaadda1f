// A line of text in a rectangle, set by the plug-in side (value and name
// displays, the version text).
#pragma once

#include <string>

#include "graphics/IControl.h"

class ITextControl : public IControl {
public:
    ITextControl(EditorHost* host, IRectangle rect, const ITextStyle& style, const std::string& text = "");

    bool Draw(IGraphics& graphics) override;
    // Replaces the text and marks the control dirty when it differs.
    void SetTextFromPlug(const std::string& text);
    const std::string& Text() const { return m_text; }

protected:
    std::string m_text;
};
