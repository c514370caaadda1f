#include "graphics/PopupMenuView.h"

#include <algorithm>

#include "graphics/GraphicsCaches.h"
#include "graphics/PixBitmap.h"
#include "graphics/PixFont.h"

namespace {

constexpr int kRowHeight = 20;
constexpr int kSeparatorHeight = 9;
constexpr int kBorder = 1;
constexpr int kLeftMargin = 24;   // room for the check mark
constexpr int kRightMargin = 28;  // room for the submenu arrow
constexpr int kMinWidth = 80;
constexpr int kMaxWidth = 640;

constexpr std::uint32_t kBackground = 0xFFF2F2F2u;
constexpr std::uint32_t kFrame = 0xFF7A7A7Au;
constexpr std::uint32_t kHighlight = 0xFF3874D8u;
constexpr std::uint32_t kText = 0xFF000000u;
constexpr std::uint32_t kHighlightText = 0xFFFFFFFFu;
constexpr std::uint32_t kGreyedText = 0xFF8C8C8Cu;
constexpr std::uint32_t kSeparator = 0xFFC4C4C4u;

void Fill(PixBitmap& bitmap, int x, int y, int w, int h, std::uint32_t colour)
{
    FillRect(&bitmap, x, y, w, h, colour, 1.0f, kPixCopy);
}

void DrawCheckMark(PixBitmap& bitmap, int x, int y, std::uint32_t colour)
{
    for (int i = 0; i < 3; ++i) {
        Fill(bitmap, x + i, y + 4 + i, 2, 2, colour);
    }
    for (int i = 0; i < 6; ++i) {
        Fill(bitmap, x + 3 + i, y + 5 - i, 2, 2, colour);
    }
}

void DrawArrow(PixBitmap& bitmap, int x, int centreY, std::uint32_t colour)
{
    for (int i = 0; i < 4; ++i) {
        Fill(bitmap, x + i, centreY - 3 + i, 1, 7 - 2 * i, colour);
    }
}

}  // namespace

PopupMenuView::PopupMenuView(IMenu& menu) : m_menu(&menu), m_text("Arial", 13, IColour{255, 0, 0, 0})
{
    m_text.align = ITextStyle::kNear;
    PixCachedFont* font = graphics_cache::FontFor(m_text);
    int widest = 0;
    int y = kBorder + 2;
    for (int i = 0; i < menu.Count(); ++i) {
        Row row;
        row.top = y;
        if ((menu.Item(i)->flags & IMenuItem::kSeparator) != 0) {
            row.height = kSeparatorHeight;
        } else {
            row.height = kRowHeight;
            row.label = menu.Label(i);
            PixRect size{0, 0, 0, 0};
            if (font != nullptr) {
                font->DrawString(nullptr, row.label.c_str(), -1, size, kTextMeasure | kTextSingleLine);
            } else {
                size.right = static_cast<int>(row.label.size()) * 7;
            }
            widest = std::max(widest, size.Width());
        }
        y += row.height;
        m_rows.push_back(row);
    }
    m_width = std::clamp(widest + kLeftMargin + kRightMargin, kMinWidth, kMaxWidth) + 2 * kBorder;
    m_height = y + 2 + kBorder;
}

IRectangle PopupMenuView::ItemRect(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_rows.size())) {
        return {};
    }
    const Row& row = m_rows[static_cast<std::size_t>(index)];
    return {kBorder, row.top, m_width - kBorder, row.top + row.height};
}

int PopupMenuView::ItemAt(int x, int y) const
{
    if (x < kBorder || x >= m_width - kBorder) {
        return -1;
    }
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (y >= m_rows[i].top && y < m_rows[i].top + m_rows[i].height) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool PopupMenuView::Selectable(int index) const
{
    const IMenuItem* item = m_menu->Item(index);
    return item != nullptr &&
           (item->flags & (IMenuItem::kSeparator | IMenuItem::kGreyed | IMenuItem::kDisabled)) == 0;
}

IMenu* PopupMenuView::SubmenuOf(int index) const
{
    return Selectable(index) ? m_menu->Item(index)->submenu : nullptr;
}

bool PopupMenuView::SetHighlighted(int index)
{
    if (index < -1 || index >= m_menu->Count()) {
        index = -1;
    }
    const bool changed = index != m_highlighted;
    m_highlighted = index;
    return changed;
}

void PopupMenuView::MoveHighlight(int step)
{
    const int count = m_menu->Count();
    if (count == 0) {
        return;
    }
    int index = m_highlighted;
    if (index < 0) {
        index = step > 0 ? -1 : count;
    }
    for (int tried = 0; tried < count; ++tried) {
        index = ((index + step) % count + count) % count;
        if (Selectable(index)) {
            m_highlighted = index;
            return;
        }
    }
}

void PopupMenuView::Draw(PixBitmap& bitmap)
{
    Fill(bitmap, 0, 0, m_width, m_height, kFrame);
    Fill(bitmap, kBorder, kBorder, m_width - 2 * kBorder, m_height - 2 * kBorder, kBackground);
    PixCachedFont* font = graphics_cache::FontFor(m_text);
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        const Row& row = m_rows[static_cast<std::size_t>(i)];
        const IMenuItem* item = m_menu->Item(i);
        if ((item->flags & IMenuItem::kSeparator) != 0) {
            Fill(bitmap, kBorder + 4, row.top + row.height / 2, m_width - 2 * kBorder - 8, 1, kSeparator);
            continue;
        }
        const bool greyed = (item->flags & (IMenuItem::kGreyed | IMenuItem::kDisabled)) != 0;
        const bool lit = i == m_highlighted && !greyed;
        if (lit) {
            Fill(bitmap, kBorder + 2, row.top, m_width - 2 * kBorder - 4, row.height, kHighlight);
        }
        const std::uint32_t colour = greyed ? kGreyedText : lit ? kHighlightText : kText;
        if ((item->flags & IMenuItem::kChecked) != 0) {
            DrawCheckMark(bitmap, kBorder + 8, row.top + 6, colour);
        }
        if (item->submenu != nullptr) {
            DrawArrow(bitmap, m_width - kBorder - 14, row.top + row.height / 2, colour);
        }
        if (font != nullptr) {
            font->SetTextColour(colour);
            PixRect box{kBorder + kLeftMargin, row.top, m_width - kBorder - kRightMargin + 12,
                        row.top + row.height};
            font->DrawString(&bitmap, row.label.c_str(), -1, box, kTextSingleLine | kTextVCentre);
        }
    }
}
