// One level of a popup menu drawn by the editor's own pixel layer and fonts,
// for window systems without native menus: the rows' layout (numbered
// labels, separators, check marks, submenu arrows, greyed items), the
// highlighted row, hit testing and keyboard movement. The window system half
// puts the picture in a window of its own and feeds it the pointer and keys.
#pragma once

#include <string>
#include <vector>

#include "graphics/IDrawStyle.h"
#include "graphics/IMenu.h"
#include "graphics/IRectangle.h"

class PixBitmap;

class PopupMenuView {
public:
    explicit PopupMenuView(IMenu& menu);

    IMenu& Menu() const { return *m_menu; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The row of item index in menu pixels; empty for an invalid index.
    IRectangle ItemRect(int index) const;
    // The item under (x, y) in menu pixels, separators included; -1 outside.
    int ItemAt(int x, int y) const;
    // Whether the item can be chosen or opened: not a separator, not greyed
    // or disabled.
    bool Selectable(int index) const;
    // The submenu of a selectable item, else null.
    IMenu* SubmenuOf(int index) const;

    int Highlighted() const { return m_highlighted; }
    // Highlights index (-1: none); true when that changed the picture.
    bool SetHighlighted(int index);
    // Moves the highlight to the next selectable item in direction step (+1
    // down, -1 up), wrapping around; stays when none is selectable.
    void MoveHighlight(int step);

    // Draws the whole menu at the top-left of bitmap (clipped to it).
    void Draw(PixBitmap& bitmap);

private:
    struct Row {
        int top = 0;
        int height = 0;
        std::string label;
    };

    IMenu* m_menu;
    std::vector<Row> m_rows;
    ITextStyle m_text;
    int m_width = 0;
    int m_height = 0;
    int m_highlighted = -1;
};
