#include "graphics/IMenu.h"

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
