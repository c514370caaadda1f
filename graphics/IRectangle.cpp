#include "graphics/IRectangle.h"

#include <algorithm>

IRectangle IRectangle::Intersect(const IRectangle& other) const
{
    if (Empty() || other.Empty() ||
        !(right >= other.left && left < other.right && bottom >= other.top && top < other.bottom)) {
        return {};
    }
    return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
            std::min(bottom, other.bottom)};
}

IRectangle IRectangle::Union(const IRectangle& other) const
{
    if (Empty()) {
        return other;
    }
    if (other.Empty()) {
        return *this;
    }
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
}

bool IRectangle::Meets(const IRectangle& area) const
{
    return !Empty() && !area.Empty() && area.right >= left && area.left < right && area.bottom >= top &&
           area.top < bottom;
}
