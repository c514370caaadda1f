#include "graphics/PixBitmap.h"
#include "graphics/PixDraw.h"
#include "graphics/PixSysBitmap.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(PixMemBitmap, RowsAreAlignedAndTheBufferGrowsByAQuarter)
{
    PixMemBitmap bitmap(5, 3);
    ASSERT_NE(bitmap.Bits(), nullptr);
    EXPECT_EQ(bitmap.RowSpan(), 8) << "rows of 16-byte multiples";
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bitmap.Bits()) % 64, 0u);
    EXPECT_EQ(bitmap.Capacity(), 3u * 8 * 4);
    EXPECT_FALSE(bitmap.SetSize(5, 3)) << "unchanged";

    // Smaller fits in the buffer; larger grows it to 5/4 of what is needed.
    std::uint32_t* before = bitmap.Bits();
    EXPECT_TRUE(bitmap.SetSize(4, 2));
    EXPECT_EQ(bitmap.Bits(), before);
    EXPECT_EQ(bitmap.Capacity(), 3u * 8 * 4);
    EXPECT_TRUE(bitmap.SetSize(12, 10));
    EXPECT_EQ(bitmap.Capacity(), 10u * 12 * 4 / 4 * 5);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bitmap.Bits()) % 64, 0u);
    bitmap.Row(9)[11] = 0xFF00FF00u;  // the last pixel is inside the buffer (ASan)

    EXPECT_TRUE(bitmap.SetSize(0, 10));
    EXPECT_EQ(bitmap.Bits(), nullptr);
    EXPECT_EQ(bitmap.Capacity(), 0u);
    EXPECT_EQ(bitmap.Width(), 0);
    EXPECT_EQ(bitmap.Height(), 0) << "no buffer: the size becomes 0 x 0";
    EXPECT_EQ(PixMemBitmap(-3, 7).Bits(), nullptr);
    EXPECT_FALSE(bitmap.IsFlipped());
    EXPECT_EQ(bitmap.DrawingContext(), nullptr);
    EXPECT_EQ(bitmap.Extended(1, nullptr), 0);
}

TEST(PixSysBitmap, KeepsItsStorageWhileShrinkingAndTakesDrawing)
{
    PixSysBitmap bitmap(101, 50);
    ASSERT_NE(bitmap.Bits(), nullptr);
    EXPECT_EQ(bitmap.RowSpan(), 104);
    EXPECT_FALSE(bitmap.IsFlipped());
#if defined(_WIN32)
    EXPECT_NE(bitmap.DrawingContext(), nullptr);
#endif
    std::uint32_t* pixels = bitmap.Bits();
    EXPECT_TRUE(bitmap.SetSize(60, 20));
    EXPECT_EQ(bitmap.Bits(), pixels) << "reused";
    EXPECT_EQ(bitmap.RowSpan(), 104);
    EXPECT_FALSE(bitmap.SetSize(60, 20));
    EXPECT_TRUE(bitmap.SetSize(200, 20));
    EXPECT_EQ(bitmap.RowSpan(), 200);
    FillRect(&bitmap, 0, 0, 200, 20, 0xFF102030u, 1.0f, kPixCopy);
    EXPECT_EQ(bitmap.Row(19)[199], 0xFF102030u);
    EXPECT_FALSE(bitmap.SetSize(0, 20)) << "no pixels";
    EXPECT_EQ(bitmap.Bits(), nullptr);
    FillRect(&bitmap, 0, 0, 10, 10, 0xFFFFFFFFu, 1.0f, kPixCopy);  // does nothing
}

}  // namespace
