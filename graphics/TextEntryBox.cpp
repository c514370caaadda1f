#include "graphics/TextEntryBox.h"

#include <algorithm>
#include <cstring>

#include "core/Parameter.h"
#include "graphics/GraphicsCaches.h"
#include "graphics/PixBitmap.h"
#include "graphics/PixFont.h"

namespace {

constexpr std::uint32_t kSelection = 0xFF3874D8u;
constexpr std::uint32_t kSelectedText = 0xFFFFFFFFu;

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Width of text[0, length) in font; a rough guess without a font.
int WidthOf(PixCachedFont* font, const std::string& text, std::size_t length)
{
    if (length == 0) {
        return 0;
    }
    if (font == nullptr) {
        return static_cast<int>(length) * 7;
    }
    PixRect size{0, 0, 0, 0};
    font->DrawString(nullptr, text.c_str(), static_cast<int>(length), size, kTextMeasure | kTextSingleLine);
    return size.Width();
}

}  // namespace

TextEntryBox::Filter TextEntryBox::FilterFor(const Parameter* record)
{
    if (record == nullptr) {
        return Filter::Any;
    }
    switch (record->Kind()) {
        case ParameterKind::Integer:
        case ParameterKind::Enumerated:
            return Filter::WholeNumber;
        case ParameterKind::Continuous:
            return Filter::Number;
        default:
            return Filter::Any;
    }
}

TextEntryBox::TextEntryBox(const ITextStyle& style, const IRectangle& rect, const char* text, int limit,
                           Filter filter)
    : m_style(style),
      m_rect{rect.left, rect.top, rect.right + 1, rect.bottom + 1},
      m_limit(std::max(limit, 1)),
      m_filter(filter)
{
    m_style.cachedFont = nullptr;
    // The initial text is shown as given, cut to the limit.
    const std::string initial = text != nullptr ? text : "";
    int characters = 0;
    std::size_t end = 0;
    for (; end < initial.size(); ++end) {
        if (!IsContinuation(static_cast<unsigned char>(initial[end])) && ++characters > m_limit) {
            break;
        }
    }
    m_text = initial.substr(0, end);
    m_caret = m_text.size();
}

int TextEntryBox::Characters() const
{
    return static_cast<int>(std::count_if(
        m_text.begin(), m_text.end(), [](char c) { return !IsContinuation(static_cast<unsigned char>(c)); }));
}

bool TextEntryBox::Accepts(char32_t character) const
{
    if (character < 0x20 || character == 0x7F) {
        return false;
    }
    switch (m_filter) {
        case Filter::WholeNumber:
            return (character >= '0' && character <= '9') || character == '+' || character == '-';
        case Filter::Number:
            return (character >= '0' && character <= '9') || character == '+' || character == '-' ||
                   character == '.';
        default:
            return true;
    }
}

TextEntryBox::Outcome TextEntryBox::Press(Key key)
{
    auto previous = [this](std::size_t at) {
        while (at > 0 && IsContinuation(static_cast<unsigned char>(m_text[--at]))) {
        }
        return at;
    };
    auto next = [this](std::size_t at) {
        while (at < m_text.size() && IsContinuation(static_cast<unsigned char>(m_text[++at]))) {
        }
        return std::min(at, m_text.size());
    };
    switch (key) {
        case Key::Enter:
            return Outcome::Commit;
        case Key::Escape:
            return Outcome::Cancel;
        case Key::Backspace:
        case Key::Delete:
            if (m_selected) {
                m_text.clear();
                m_caret = 0;
            } else if (key == Key::Backspace && m_caret > 0) {
                const std::size_t from = previous(m_caret);
                m_text.erase(from, m_caret - from);
                m_caret = from;
            } else if (key == Key::Delete && m_caret < m_text.size()) {
                m_text.erase(m_caret, next(m_caret) - m_caret);
            }
            break;
        case Key::Left:
            m_caret = m_selected ? 0 : previous(m_caret);
            break;
        case Key::Right:
            m_caret = m_selected ? m_text.size() : next(m_caret);
            break;
        case Key::Home:
            m_caret = 0;
            break;
        case Key::End:
            m_caret = m_text.size();
            break;
    }
    m_selected = false;
    m_caretShown = true;
    return Outcome::Editing;
}

bool TextEntryBox::Type(const char* text)
{
    if (text == nullptr) {
        return true;
    }
    if (m_selected) {
        m_text.clear();
        m_caret = 0;
        m_selected = false;
    }
    bool all = true;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const std::size_t size = std::strlen(text);
    for (std::size_t i = 0; i < size;) {
        int consumed = 0;
        const std::uint32_t character = DecodeGlyphCharacter(bytes + i, size - i, consumed);
        consumed = std::max(consumed, 1);
        // Only whole, valid sequences go in; a stray byte is refused.
        const bool valid = consumed > 1 || bytes[i] < 0x80;
        if (valid && Accepts(character) && Characters() < m_limit) {
            m_text.insert(m_caret, text + i, static_cast<std::size_t>(consumed));
            m_caret += static_cast<std::size_t>(consumed);
        } else {
            all = false;
        }
        i += static_cast<std::size_t>(consumed);
    }
    m_caretShown = true;
    return all;
}

bool TextEntryBox::SetCaretShown(bool shown)
{
    const bool changed = shown != m_caretShown;
    m_caretShown = shown;
    return changed;
}

void TextEntryBox::Draw(PixBitmap& bitmap)
{
    const IRectangle& r = m_rect;
    FillRect(&bitmap, r.left, r.top, r.Width(), r.Height(), m_style.entryBackground.Packed() | 0xFF000000u,
             1.0f, kPixCopy);
    PixCachedFont* font = graphics_cache::FontFor(m_style);
    const int width = WidthOf(font, m_text, m_text.size());
    const int lineHeight = font != nullptr ? font->LineHeight() : m_style.size;
    int x = r.left + 1;
    if (m_style.align == ITextStyle::kCentre) {
        x = r.left + (r.Width() - width) / 2;
    } else if (m_style.align == ITextStyle::kFar) {
        x = r.right - 2 - width;
    }
    const int y = r.top + std::max(0, (r.Height() - lineHeight) / 2);
    std::uint32_t colour = m_style.entryText.Packed() | 0xFF000000u;
    if (m_selected && !m_text.empty()) {
        FillRect(&bitmap, x, y, width, std::min(lineHeight, r.Height()), kSelection, 1.0f, kPixCopy);
        colour = kSelectedText;
    }
    if (font != nullptr && !m_text.empty()) {
        font->SetTextColour(colour);
        PixRect box{x, y, x + width + 1, y + lineHeight};
        font->DrawString(&bitmap, m_text.c_str(), -1, box, kTextSingleLine);
    }
    if (m_caretShown && !m_selected) {
        const int caretX = std::clamp(x + WidthOf(font, m_text, m_caret), r.left, r.right - 1);
        FillRect(&bitmap, caretX, y, 1, std::min(lineHeight, r.Height()),
                 m_style.entryText.Packed() | 0xFF000000u, 1.0f, kPixCopy);
    }
}
