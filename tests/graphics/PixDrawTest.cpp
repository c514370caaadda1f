#include "graphics/PixDraw.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

PixMemBitmap Filled(int w, int h, std::uint32_t colour)
{
    PixMemBitmap bitmap(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bitmap.Row(y)[x] = colour;
        }
    }
    return bitmap;
}

// A source whose pixel (x, y) is x | y << 8 | 0xFF000000.
PixMemBitmap Ramp(int w, int h)
{
    PixMemBitmap bitmap(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bitmap.Row(y)[x] =
                0xFF000000u | static_cast<std::uint32_t>(x) | static_cast<std::uint32_t>(y) << 8;
        }
    }
    return bitmap;
}

TEST(PixDraw, BlitClipsAtEveryEdge)
{
    PixMemBitmap source = Ramp(20, 4);
    PixMemBitmap destination = Filled(8, 8, 0);
    Blit(&destination, &source, -10, 2, nullptr, 1.0f, kPixCopy);
    EXPECT_EQ(destination.Row(2)[0], 0xFF00000Au) << "column 10 of the source at column 0";
    EXPECT_EQ(destination.Row(5)[7], 0xFF000311u);
    EXPECT_EQ(destination.Row(6)[0], 0u) << "the source has 4 rows";
    EXPECT_EQ(destination.Row(1)[0], 0u);

    // A rectangle with a negative left moves the destination point instead.
    PixMemBitmap moved = Filled(8, 8, 0);
    const PixRect rect{-3, 1, 2, 3};
    Blit(&moved, &source, 0, 0, &rect, 1.0f, kPixCopy);
    EXPECT_EQ(moved.Row(0)[2], 0u);
    EXPECT_EQ(moved.Row(0)[3], 0xFF000100u);
    EXPECT_EQ(moved.Row(1)[4], 0xFF000201u);
    EXPECT_EQ(moved.Row(0)[5], 0u) << "the rectangle ends at column 2";

    // Nothing lands outside, nothing happens at alpha 0 or off the bitmap.
    PixMemBitmap untouched = Filled(8, 8, 7);
    Blit(&untouched, &source, 8, 0, nullptr, 1.0f, kPixCopy);
    Blit(&untouched, &source, 0, 0, nullptr, 0.0f, kPixCopy);
    Blit(&untouched, nullptr, 0, 0, nullptr, 1.0f, kPixCopy);
    const PixRect empty{5, 0, 5, 4};
    Blit(&untouched, &source, 0, 0, &empty, 1.0f, kPixCopy);
    EXPECT_EQ(untouched.Row(0)[0], 7u);
    Blit(&untouched, &source, 6, 6, nullptr, 1.0f, kPixCopy);
    EXPECT_EQ(untouched.Row(7)[7], 0xFF000101u);
}

TEST(PixDraw, BlitBlendsByTheFormulas)
{
    PixMemBitmap source = Filled(1, 1, 0x80FF4010u);
    auto blit = [&](std::uint32_t under, float alpha, unsigned mode) {
        PixMemBitmap d = Filled(1, 1, under);
        Blit(&d, &source, 0, 0, nullptr, alpha, mode);
        return d.Row(0)[0];
    };
    // Half weight: the byte-wise average, alpha included.
    EXPECT_EQ(blit(0x00204060u, 0.5f, kPixCopy), 0x408F4038u);
    // Weight 64: s + (d - s) * 192 / 256 per channel, truncated towards 0.
    EXPECT_EQ(blit(0x00204060u, 0.25f, kPixCopy), 0x2058404Cu);
    // Source alpha: 0 leaves the pixel, 255 replaces it.
    PixMemBitmap clear = Filled(1, 1, 0x00FFFFFFu);
    PixMemBitmap d = Filled(1, 1, 0x12345678u);
    Blit(&d, &clear, 0, 0, nullptr, 1.0f, kPixCopy | kPixSourceAlpha);
    EXPECT_EQ(d.Row(0)[0], 0x12345678u);
    PixMemBitmap solid = Filled(1, 1, 0xFF010203u);
    Blit(&d, &solid, 0, 0, nullptr, 1.0f, kPixCopy | kPixSourceAlpha);
    EXPECT_EQ(d.Row(0)[0], 0xFF010203u);
    // Source alpha 0x80 over 0x10204060 at full weight: colour moves by
    // (255 - 128) / 256, alpha adds up.
    EXPECT_EQ(blit(0x10204060u, 1.0f, kPixCopy | kPixSourceAlpha), 0x90914037u);
    // Add and dodge with source alpha (f = e = 129).
    EXPECT_EQ(blit(0x10204060u, 1.0f, kPixAdd | kPixSourceAlpha), 0x50A06068u);
    EXPECT_EQ(blit(0x10204060u, 1.0f, kPixDodge | kPixSourceAlpha), 0x15404963u);
}

TEST(PixDraw, FillRectWeightsAndClipping)
{
    PixMemBitmap bitmap = Filled(4, 4, 0x80808080u);
    FillRect(&bitmap, -2, -2, 4, 3, 0xFF000000u, 1.0f, kPixCopy);
    EXPECT_EQ(bitmap.Row(0)[1], 0xFF000000u);
    EXPECT_EQ(bitmap.Row(1)[2], 0x80808080u) << "the rectangle was shortened by the negative corner";
    FillRect(&bitmap, 0, 0, 4, 4, 0x00FFFFFFu, 1.0f, kPixCopy | kPixSourceAlpha);
    EXPECT_EQ(bitmap.Row(3)[3], 0x80808080u) << "a transparent colour under source alpha draws nothing";
    FillRect(&bitmap, 3, 3, 100, 100, 0xFFFFFFFFu, 0.5f, kPixCopy);
    EXPECT_EQ(bitmap.Row(3)[3], 0xBFBFBFBFu);
    auto fill = [](std::uint32_t under, std::uint32_t colour, float alpha) {
        PixMemBitmap one = Filled(1, 1, under);
        FillRect(&one, 0, 0, 1, 1, colour, alpha, kPixCopy);
        return one.Row(0)[0];
    };
    EXPECT_EQ(fill(0x00000000u, 0xFCFCFCFCu, 0.25f), 0x3F3F3F3Fu);
    EXPECT_EQ(fill(0x00000000u, 0xFCFCFCFCu, 0.75f), 0xBDBDBDBDu);
    // Other weights move the colour towards the fill and alpha towards w.
    EXPECT_EQ(fill(0xFF000000u, 0x00FF8000u, 0.1f), 0xE8190D00u);
}

TEST(PixDraw, FillCircleDrawsEachPixelOnceAndClips)
{
    PixMemBitmap bitmap = Filled(21, 21, 0);
    FillCircle(&bitmap, 10.0f, 10.0f, 6.0f, 0xFFFFFFFFu, 0.5f, kPixCopy);
    int drawn = 0;
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 21; ++x) {
            const std::uint32_t p = bitmap.Row(y)[x];
            ASSERT_TRUE(p == 0 || p == 0x7F7F7F7Fu) << x << "," << y << ": drawn twice";
            drawn += p != 0 ? 1 : 0;
            EXPECT_EQ(p, bitmap.Row(20 - y)[x]) << "symmetric";
            EXPECT_EQ(p, bitmap.Row(x)[y]) << "symmetric";
        }
    }
    EXPECT_EQ(bitmap.Row(10)[4], 0x7F7F7F7Fu);
    EXPECT_EQ(bitmap.Row(10)[3], 0u);
    EXPECT_NEAR(drawn, 3.14159 * 6.5 * 6.5, 12.0);
    // Across the border and far outside: clipped, nothing out of bounds.
    FillCircle(&bitmap, -3.0f, 19.6f, 9.0f, 0xFF0000FFu, 1.0f, kPixCopy);
    EXPECT_EQ(bitmap.Row(20)[0], 0xFF0000FFu);
    PixMemBitmap far = Filled(4, 4, 5);
    FillCircle(&far, -20.0f, 2.0f, 17.0f, 0xFFFFFFFFu, 1.0f, kPixCopy);
    FillCircle(&far, 2.0f, 2.0f, -1.0f, 0xFFFFFFFFu, 1.0f, kPixCopy);
    EXPECT_EQ(far.Row(2)[0], 5u);
    FillCircle(&far, 1.0f, 1.0f, 0.0f, 0xFFFFFFFFu, 1.0f, kPixCopy);
    EXPECT_EQ(far.Row(1)[1], 0xFFFFFFFFu) << "radius 0 is one pixel";
    EXPECT_EQ(far.Row(1)[2], 5u);
}

}  // namespace
