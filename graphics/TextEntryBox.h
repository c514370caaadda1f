// The text entry drawn inside the panel by the editor's own pixel layer, for
// window systems without a native edit control: UTF-8 text with a caret,
// the whole text selected at the start, a limit in characters and the
// character filter of the parameter being typed (digits and signs for whole
// numbers and enumerations, a point too for continuous values, anything for
// names). Enter commits, Escape cancels; the window system half feeds it keys
// and decides what a click means.
#pragma once

#include <string>

#include "graphics/IDrawStyle.h"
#include "graphics/IRectangle.h"

class Parameter;
class PixBitmap;

class TextEntryBox {
public:
    enum class Filter { Any, WholeNumber, Number };
    enum class Key { Enter, Escape, Backspace, Delete, Left, Right, Home, End };
    enum class Outcome { Editing, Commit, Cancel };

    // The filter for typing a value of record; Any without one (a name).
    static Filter FilterFor(const Parameter* record);

    // rect is the control's entry area; the box covers it plus one pixel to
    // the right and below. limit counts characters (at least 1).
    TextEntryBox(const ITextStyle& style, const IRectangle& rect, const char* text, int limit, Filter filter);

    Outcome Press(Key key);
    // Inserts the characters of UTF-8 text that pass the filter and the
    // limit at the caret (replacing a selection); false when any was refused.
    bool Type(const char* text);

    const std::string& Text() const { return m_text; }
    bool Selected() const { return m_selected; }
    // Caret position in bytes of Text().
    std::size_t Caret() const { return m_caret; }
    IRectangle Rect() const { return m_rect; }
    // Shows or hides the caret (blinking); true when that changed.
    bool SetCaretShown(bool shown);
    bool CaretShown() const { return m_caretShown; }

    // Draws the box into bitmap at Rect().
    void Draw(PixBitmap& bitmap);

private:
    bool Accepts(char32_t character) const;
    int Characters() const;

    ITextStyle m_style;
    IRectangle m_rect;
    std::string m_text;
    int m_limit;
    Filter m_filter;
    std::size_t m_caret = 0;
    bool m_selected = true;
    bool m_caretShown = true;
};
