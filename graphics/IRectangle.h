// A rectangle in editor pixels; right and bottom are exclusive. All four
// values zero is the empty rectangle.
#pragma once

struct IRectangle {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const IRectangle&) const = default;

    // Empty when either is empty or they do not meet; rectangles that touch
    // on this one's right or bottom edge count as meeting.
    IRectangle Intersect(const IRectangle& other) const;
    IRectangle Union(const IRectangle& other) const;
    // Whether a control with this rectangle is drawn for redraw rectangle
    // area: both non-empty and overlapping (touching edges included).
    bool Meets(const IRectangle& area) const;
};
