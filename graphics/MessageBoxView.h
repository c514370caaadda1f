// A message box drawn inside the panel by the editor's own pixel layer, for
// window systems without native ones: the panel dimmed behind a box with the
// caption, an icon for errors, questions and information, the text (broken
// into lines that fit) and OK or Yes and No buttons. The answers are the
// Windows message-box results, so callers see no difference.
#pragma once

#include <string>
#include <vector>

#include "core/MessageBoxCodes.h"
#include "graphics/IDrawStyle.h"
#include "graphics/IRectangle.h"

class PixBitmap;

class MessageBoxView : public MessageBoxCodes {
public:
    // Laid out centred in a panel of width x height.
    MessageBoxView(const char* text, const char* caption, int type, int width, int height);

    IRectangle Rect() const { return m_box; }
    // The answer of the button under (x, y) in panel pixels; 0 for none.
    int ButtonAt(int x, int y) const;
    // The answer a key gives, 0 for none: Enter and space the first button,
    // Escape the last (No, or OK), Y and N their buttons.
    int AnswerForKey(char32_t key) const;
    // What Escape or closing the box answers.
    int CancelAnswer() const { return m_buttons.back().answer; }
    const std::vector<std::string>& Lines() const { return m_lines; }

    // Dims the panel in bitmap and draws the box over it.
    void Draw(PixBitmap& bitmap);

    static constexpr char32_t kEnterKey = '\r';
    static constexpr char32_t kEscapeKey = 0x1B;

private:
    struct Button {
        IRectangle rect;
        const char* label;
        int answer;
    };

    ITextStyle m_text;
    ITextStyle m_caption;
    std::string m_captionText;
    std::vector<std::string> m_lines;
    std::vector<Button> m_buttons;
    IRectangle m_box;
    int m_icon = 0;  // kError, kQuestion, kInformation or 0
};
