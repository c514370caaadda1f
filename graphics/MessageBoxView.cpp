#include "graphics/MessageBoxView.h"

#include <algorithm>

#include "graphics/GraphicsCaches.h"
#include "graphics/PixBitmap.h"
#include "graphics/PixFont.h"

namespace {

constexpr int kMargin = 12;
constexpr int kTitleHeight = 22;
constexpr int kButtonWidth = 76;
constexpr int kButtonHeight = 24;
constexpr int kButtonGap = 10;
constexpr int kIconSize = 32;

constexpr std::uint32_t kBackground = 0xFFF4F4F4u;
constexpr std::uint32_t kTitle = 0xFF3A3A3Au;
constexpr std::uint32_t kFrame = 0xFF202020u;
constexpr std::uint32_t kButtonFace = 0xFFE1E1E1u;
constexpr std::uint32_t kButtonFrame = 0xFF7A7A7Au;
constexpr std::uint32_t kDefaultFrame = 0xFF3874D8u;

int WidthOf(PixCachedFont* font, const std::string& text)
{
    if (font == nullptr) {
        return static_cast<int>(text.size()) * 7;
    }
    PixRect size{0, 0, 0, 0};
    font->DrawString(nullptr, text.c_str(), -1, size, kTextMeasure | kTextSingleLine);
    return size.Width();
}

// The lines of text, each paragraph broken at blanks (or anywhere, for a
// long path) so that no line is wider than limit.
std::vector<std::string> BreakLines(PixCachedFont* font, const std::string& text, int limit)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string rest = text.substr(start, end - start);
        while (WidthOf(font, rest) > limit && rest.size() > 1) {
            // The longest head that fits, ending at a blank when there is one.
            std::size_t cut = rest.size() - 1;
            while (cut > 1 && WidthOf(font, rest.substr(0, cut)) > limit) {
                --cut;
            }
            while (cut < rest.size() && (static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80) {
                --cut;  // never inside a UTF-8 sequence
            }
            const std::size_t blank = rest.rfind(' ', cut);
            const std::size_t at = blank != std::string::npos && blank > 0 ? blank : cut;
            lines.push_back(rest.substr(0, at));
            rest = rest.substr(at + (blank != std::string::npos && blank > 0 ? 1 : 0));
        }
        lines.push_back(rest);
        start = end + 1;
    }
    return lines;
}

void Frame(PixBitmap& bitmap, const IRectangle& r, std::uint32_t colour)
{
    FillRect(&bitmap, r.left, r.top, r.Width(), 1, colour, 1.0f, kPixCopy);
    FillRect(&bitmap, r.left, r.bottom - 1, r.Width(), 1, colour, 1.0f, kPixCopy);
    FillRect(&bitmap, r.left, r.top, 1, r.Height(), colour, 1.0f, kPixCopy);
    FillRect(&bitmap, r.right - 1, r.top, 1, r.Height(), colour, 1.0f, kPixCopy);
}

}  // namespace

MessageBoxView::MessageBoxView(const char* text, const char* caption, int type, int width, int height)
    : m_text("Arial", 13, IColour{255, 0, 0, 0}, ITextStyle::kNormal, ITextStyle::kNear),
      m_caption("Arial", 13, IColour{255, 255, 255, 255}, ITextStyle::kBold, ITextStyle::kNear),
      m_captionText(caption != nullptr ? caption : "")
{
    m_icon = (type & kError) != 0         ? kError
             : (type & kQuestion) != 0    ? kQuestion
             : (type & kInformation) != 0 ? kInformation
                                          : 0;
    if ((type & 0xF) == kYesNo) {
        m_buttons = {{{}, "Yes", kAnswerYes}, {{}, "No", kAnswerNo}};
    } else {
        m_buttons = {{{}, "OK", kAnswerOk}};
    }
    PixCachedFont* font = graphics_cache::FontFor(m_text);
    const int iconRoom = m_icon != 0 ? kIconSize + kMargin : 0;
    const int widest = std::max(120, width - 16 - 2 * kMargin - iconRoom);
    m_lines = BreakLines(font, text != nullptr ? text : "", widest);
    int textWidth = WidthOf(graphics_cache::FontFor(m_caption), m_captionText) - iconRoom;
    for (const std::string& line : m_lines) {
        textWidth = std::max(textWidth, WidthOf(font, line));
    }
    const int lineHeight = font != nullptr ? font->LineHeight() : 15;
    const int buttonsWidth = static_cast<int>(m_buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    const int boxWidth = std::min(width, std::max(textWidth + iconRoom, buttonsWidth) + 2 * kMargin);
    const int textHeight =
        std::max(static_cast<int>(m_lines.size()) * lineHeight, m_icon != 0 ? kIconSize : 0);
    const int boxHeight =
        std::min(height, kTitleHeight + kMargin + textHeight + kMargin + kButtonHeight + kMargin);
    const int left = (width - boxWidth) / 2;
    const int top = (height - boxHeight) / 2;
    m_box = {left, top, left + boxWidth, top + boxHeight};
    int x = m_box.right - kMargin - buttonsWidth;
    for (Button& button : m_buttons) {
        button.rect = {x, m_box.bottom - kMargin - kButtonHeight, x + kButtonWidth, m_box.bottom - kMargin};
        x += kButtonWidth + kButtonGap;
    }
}

int MessageBoxView::ButtonAt(int x, int y) const
{
    for (const Button& button : m_buttons) {
        const IRectangle& r = button.rect;
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            return button.answer;
        }
    }
    return 0;
}

int MessageBoxView::AnswerForKey(char32_t key) const
{
    if (key == kEnterKey || key == ' ') {
        return m_buttons.front().answer;
    }
    if (key == kEscapeKey) {
        return CancelAnswer();
    }
    for (const Button& button : m_buttons) {
        if (key == static_cast<char32_t>(button.label[0]) ||
            key == static_cast<char32_t>(button.label[0] | 0x20)) {
            return button.answer;
        }
    }
    return 0;
}

void MessageBoxView::Draw(PixBitmap& bitmap)
{
    FillRect(&bitmap, 0, 0, bitmap.Width(), bitmap.Height(), 0xFF000000u, 0.4f, kPixCopy);
    const IRectangle& b = m_box;
    FillRect(&bitmap, b.left, b.top, b.Width(), b.Height(), kBackground, 1.0f, kPixCopy);
    FillRect(&bitmap, b.left, b.top, b.Width(), kTitleHeight, kTitle, 1.0f, kPixCopy);
    Frame(bitmap, b, kFrame);
    if (PixCachedFont* font = graphics_cache::FontFor(m_caption)) {
        font->SetTextColour(0xFFFFFFFFu);
        PixRect box{b.left + 8, b.top, b.right - 8, b.top + kTitleHeight};
        font->DrawString(&bitmap, m_captionText.c_str(), -1, box, kTextSingleLine | kTextVCentre);
    }
    int textLeft = b.left + kMargin;
    const int textTop = b.top + kTitleHeight + kMargin;
    if (m_icon != 0) {
        const std::uint32_t colour = m_icon == kError ? 0xFFD83B3Bu : 0xFF3874D8u;
        const float r = kIconSize / 2.0f;
        FillCircle(&bitmap, static_cast<float>(textLeft) + r, static_cast<float>(textTop) + r, r, colour,
                   1.0f, kPixCopy);
        ITextStyle mark("Arial", 22, IColour{255, 255, 255, 255}, ITextStyle::kBold);
        if (PixCachedFont* font = graphics_cache::FontFor(mark)) {
            font->SetTextColour(0xFFFFFFFFu);
            PixRect box{textLeft, textTop, textLeft + kIconSize, textTop + kIconSize};
            const char* glyph = m_icon == kError ? "!" : m_icon == kQuestion ? "?" : "i";
            font->DrawString(&bitmap, glyph, -1, box, kTextSingleLine | kTextCentre | kTextVCentre);
        }
        textLeft += kIconSize + kMargin;
    }
    PixCachedFont* font = graphics_cache::FontFor(m_text);
    if (font != nullptr) {
        font->SetTextColour(0xFF000000u);
        int y = textTop;
        for (const std::string& line : m_lines) {
            PixRect box{textLeft, y, b.right - kMargin, y + font->LineHeight()};
            if (box.bottom > b.bottom - kMargin - kButtonHeight) {
                break;  // a box as tall as the panel shows what fits
            }
            font->DrawString(&bitmap, line.c_str(), -1, box, kTextSingleLine);
            y += font->LineHeight();
        }
    }
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        const IRectangle& r = m_buttons[i].rect;
        FillRect(&bitmap, r.left, r.top, r.Width(), r.Height(), kButtonFace, 1.0f, kPixCopy);
        Frame(bitmap, r, i == 0 ? kDefaultFrame : kButtonFrame);
        if (font != nullptr) {
            PixRect box{r.left, r.top, r.right, r.bottom};
            font->DrawString(&bitmap, m_buttons[i].label, -1, box,
                             kTextSingleLine | kTextCentre | kTextVCentre);
        }
    }
}
