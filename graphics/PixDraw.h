// Blitting and filling on 32-bit bitmaps with the blend modes the editor
// uses. Integer arithmetic throughout; full-weight copies are row copies and
// the half (blit) and quarter-step (fill) weights are byte-parallel.
#pragma once

#include <cstdint>

#include "graphics/PixBitmap.h"

// A rectangle from (left, top) up to but not including (right, bottom).
struct PixRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// Mode word: the low byte is the blend operation; kPixSourceAlpha asks for
// the source pixel's alpha (blit) or scales the weight by the colour's alpha
// (fill).
enum PixMode : unsigned {
    kPixCopy = 0,
    kPixAdd = 1,
    kPixDodge = 2,
    kPixSourceAlpha = 0x10000,
};

// Copies the source rectangle (null: the whole source) to (dx, dy) of
// destination with weight alpha (0 draws nothing, 1 is full) and mode.
// Clipped to both bitmaps: a negative left or top of the rectangle moves the
// destination point, a negative dx or dy cuts the source.
void Blit(PixBitmap* destination, PixBitmap* source, int dx, int dy, const PixRect* sourceRect, float alpha,
          unsigned mode);

// Fills the rectangle x, y, w, h (clipped) with colour at weight alpha.
void FillRect(PixBitmap* bitmap, int x, int y, int w, int h, std::uint32_t colour, float alpha,
              unsigned mode);

// Fills the disc around (cx, cy) of radius r, rounded to whole pixels, span
// by span without antialiasing; each pixel is drawn once.
void FillCircle(PixBitmap* bitmap, float cx, float cy, float r, std::uint32_t colour, float alpha,
                unsigned mode);
