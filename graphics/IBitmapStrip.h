// An image of one or more frames, stacked top to bottom (or left to right),
// from the bitmap cache.
#pragma once

class PixBitmap;

struct IBitmapStrip {
    PixBitmap* bitmap = nullptr;  // owned by the bitmap cache; null when missing
    int width = 0;                // the whole image
    int height = 0;
    int frames = 1;
    bool horizontal = false;

    // Size of one frame.
    int FrameWidth() const { return horizontal && frames > 0 ? width / frames : width; }
    int FrameHeight() const { return !horizontal && frames > 0 ? height / frames : height; }
};

// The frame (1..frames) a control shows for a normalized value.
inline int FrameForValue(int frames, double value)
{
    if (frames < 2) {
        return 1;
    }
    const int frame = static_cast<int>((frames - 1) * value + 0.5) + 1;
    return frame < 1 ? 1 : (frame > frames ? frames : frame);
}

struct IModifiers {
    bool left = false;
    bool right = false;
    bool shift = false;
    bool control = false;
    bool alt = false;
};
