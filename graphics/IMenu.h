// Popup menus: items with text, flags and an optional submenu.
#pragma once

#include <memory>
#include <string>
#include <vector>

class IMenu;

struct IMenuItem {
    enum Flags : int { kGreyed = 1, kDisabled = 2, kChecked = 4, kSeparator = 8 };

    std::string text;
    IMenu* submenu = nullptr;  // not owned: whoever builds the menu keeps it alive
    int flags = 0;
};

class IMenu {
public:
    explicit IMenu(int numbering = 0) : m_numbering(numbering) {}

    // Inserts at position: -1 or at or beyond the end appends, other
    // negative positions count as 0. Returns the item.
    IMenuItem& AddItem(const std::string& text, int position = -1, int flags = 0);
    IMenuItem& AddItem(const IMenuItem& item, int position = -1);

    int Numbering() const { return m_numbering; }
    // The text shown for the item at index: its text after the menu's
    // numbering prefix with its 1-based position ("%1d: ", "%02d: ", "%03d: "
    // for modes 1 to 3, none for 0). Separators count as positions.
    std::string Label(int index) const;
    int Count() const { return static_cast<int>(m_items.size()); }
    IMenuItem* Item(int index);
    const IMenuItem* Item(int index) const;
    // The chosen item, -1 until a choice is made.
    int Chosen() const { return m_chosen; }
    void SetChosen(int index) { m_chosen = index; }

    // Native menus number every item of a menu and its submenus from one
    // running number: a menu of n items reserves start .. start + n - 1 for
    // its own items (separators included) and moves the number on by n
    // before any of its submenus is numbered, in item order. The menu whose
    // range holds id, from root numbered from 0, with index set to the
    // item's place in it; null when no menu holds id.
    static IMenu* FindNumbered(IMenu& root, int id, int& index);

private:
    int m_numbering = 0;
    int m_chosen = -1;
    std::vector<std::unique_ptr<IMenuItem>> m_items;
};
