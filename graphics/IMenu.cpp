#include "graphics/IMenu.h"

#include <cstdio>

IMenuItem& IMenu::AddItem(const std::string& text, int position, int flags)
{
    IMenuItem item;
    item.text = text;
    item.flags = flags;
    return AddItem(item, position);
}

IMenuItem& IMenu::AddItem(const IMenuItem& item, int position)
{
    const int count = Count();
    if (position == -1 || position >= count) {
        position = count;
    } else if (position < 0) {
        position = 0;
    }
    auto at = m_items.insert(m_items.begin() + position, std::make_unique<IMenuItem>(item));
    return **at;
}

IMenuItem* IMenu::Item(int index)
{
    return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)].get() : nullptr;
}

const IMenuItem* IMenu::Item(int index) const
{
    return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)].get() : nullptr;
}

std::string IMenu::Label(int index) const
{
    const IMenuItem* item = Item(index);
    if (item == nullptr) {
        return {};
    }
    static constexpr const char* kPrefixes[] = {"", "%1d: ", "%02d: ", "%03d: "};
    if (m_numbering < 1 || m_numbering > 3) {
        return item->text;
    }
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, kPrefixes[m_numbering], index + 1);
    return prefix + item->text;
}

namespace {

IMenu* WalkNumbers(IMenu& menu, int id, int& next, int& index, int depth)
{
    const int start = next;
    next += menu.Count();
    if (id >= start && id < next) {
        index = id - start;
        return &menu;
    }
    // Menus nest only as deep as anyone builds them; a cycle stops here.
    if (depth > 16) {
        return nullptr;
    }
    for (int i = 0; i < menu.Count(); ++i) {
        if (IMenu* submenu = menu.Item(i)->submenu) {
            if (IMenu* found = WalkNumbers(*submenu, id, next, index, depth + 1)) {
                return found;
            }
        }
    }
    return nullptr;
}

}  // namespace

IMenu* IMenu::FindNumbered(IMenu& root, int id, int& index)
{
    int next = 0;
    index = -1;
    return id >= 0 ? WalkNumbers(root, id, next, index, 0) : nullptr;
}
