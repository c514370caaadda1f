#include "graphics/PixFont.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics/PixSysBitmap.h"

namespace {

TEST(GlyphCharacters, Utf8DecodingRules)
{
    auto decode = [](std::string bytes, int& consumed) {
        return DecodeGlyphCharacter(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                    consumed);
    };
    int consumed = 0;
    EXPECT_EQ(decode("\xF0\x9F\x98\x80", consumed), 0x20u) << "four bytes give a space";
    EXPECT_EQ(consumed, 4);
    EXPECT_EQ(decode("\xC0\x80", consumed), 0xC0u) << "an overlong lead is its own byte";
    EXPECT_EQ(consumed, 1);
    EXPECT_EQ(decode("\xC3\xA9", consumed), 0xE9u);
    EXPECT_EQ(consumed, 2);
    EXPECT_EQ(decode("\xE4\xB8\xAD", consumed), 0x4E2Du);
    EXPECT_EQ(consumed, 3);
    EXPECT_EQ(decode("\xE4\xB8", consumed), 0xE4u) << "cut short";
    EXPECT_EQ(consumed, 1);
    EXPECT_EQ(decode("\xF5\x80\x80\x80", consumed), 0xF5u);
    EXPECT_EQ(decode("A", consumed), 'A');
    EXPECT_EQ(DecodeGlyphCharacter(nullptr, 0, consumed), 0u);
    EXPECT_EQ(consumed, 0);
}

// A cached font over a native face of the given height that draws through
// the glyph cache (as it does under Wine and away from Windows).
struct CachedFace {
    explicit CachedFace(const char* face, int height)
    {
        NativeFontRequest wanted;
        wanted.face = face;
        wanted.height = height;
        font.AttachNativeFont(CreateNativeFont(wanted), kFontOwnsNative);
    }
    PixCachedFont font;
};

int Ink(PixBitmap& bitmap, const PixRect& area)
{
    int ink = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            ink += (bitmap.Row(y)[x] & 0xFF) != 0 ? 1 : 0;
        }
    }
    return ink;
}

TEST(PixCachedFont, MeasuresDrawsAndClipsThroughTheGlyphCache)
{
    CachedFace verdana("Verdana", 12);
    PixCachedFont& font = verdana.font;
    ASSERT_NE(font.NativeFont(), nullptr);
    // The cell height asked for; GDI under Wine rounds the pixel size of
    // the face and may come out a pixel short.
    const int lineHeight = font.LineHeight();
    EXPECT_NEAR(lineHeight, 12, 1);

    PixRect measured{10, 20, 10, 20};
    EXPECT_EQ(font.DrawString(nullptr, "VORN 42", -1, measured, kTextMeasure | kTextSingleLine), lineHeight);
    const int width = measured.Width();
    EXPECT_GT(width, 30);
    EXPECT_LT(width, 70);
    EXPECT_EQ(measured.Height(), lineHeight);
    EXPECT_EQ(width, font.Advance('V') + font.Advance('O') + font.Advance('R') + font.Advance('N') +
                         font.Advance(' ') + font.Advance('4') + font.Advance('2'));

    PixSysBitmap bitmap(200, 40);
    FillRect(&bitmap, 0, 0, 200, 40, 0xFF000000u, 1.0f, kPixCopy);
    font.SetTextColour(0xFFFFFFFFu);
    PixRect box{50, 5, 150, 35};
    font.DrawString(&bitmap, "VORN 42", -1, box, kTextCentre | kTextVCentre | kTextSingleLine);
    EXPECT_GT(Ink(bitmap, box), 40);
    EXPECT_EQ(Ink(bitmap, {0, 0, 50, 40}) + Ink(bitmap, {150, 0, 200, 40}), 0) << "clipped to the box";
    // Centred: about as much room left of the ink as right of it.
    int first = 200;
    int last = -1;
    for (int x = 0; x < 200; ++x) {
        if (Ink(bitmap, {x, 0, x + 1, 40}) > 0) {
            first = std::min(first, x);
            last = x;
        }
    }
    EXPECT_NEAR((first - 50) - (149 - last), 0, 4);

    // Rendered once: drawing again adds no coverage.
    const std::size_t stored = font.CoverageSize();
    font.DrawString(&bitmap, "NOR", 3, box, kTextSingleLine);
    EXPECT_EQ(font.CoverageSize(), stored);
}

TEST(PixCachedFont, FullCoverageTakesTheTextColourAndWeightsScaleIt)
{
    CachedFace arial("Arial", 40);
    PixCachedFont& font = arial.font;
    ASSERT_NE(font.NativeFont(), nullptr);
    PixSysBitmap bitmap(60, 60);
    FillRect(&bitmap, 0, 0, 60, 60, 0xFFFFFFFFu, 1.0f, kPixCopy);
    font.SetTextColour(0xFF2040C0u);
    PixRect box{0, 0, 60, 60};
    font.DrawString(&bitmap, "I", 1, box, kTextSingleLine);
    int solid = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            solid += bitmap.Row(y)[x] == 0xFF2040C0u ? 1 : 0;
        }
    }
    EXPECT_GT(solid, 40) << "the stem of an I is fully covered";

    // Half weight moves fully covered pixels only half way; colour alpha 0
    // under the colour-alpha flag draws nothing.
    FillRect(&bitmap, 0, 0, 60, 60, 0xFFFFFFFFu, 1.0f, kPixCopy);
    font.SetCombineMode(kPixCopy, 0.5f);
    font.DrawString(&bitmap, "I", 1, box, kTextSingleLine);
    int darkest = 255;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            darkest = std::min(darkest, static_cast<int>((bitmap.Row(y)[x] >> 16) & 0xFF));
        }
    }
    EXPECT_NEAR(darkest, (0x20 + 0xFF) / 2, 2);
    font.SetCombineMode(kPixCopy, 1.0f);
    FillRect(&bitmap, 0, 0, 60, 60, 0xFFFFFFFFu, 1.0f, kPixCopy);
    font.SetTextColour(0x002040C0u);
    font.DrawString(&bitmap, "I", 1, box, kTextSingleLine | kTextUseColourAlpha);
    EXPECT_EQ(Ink(bitmap, box), 60 * 60) << "white everywhere: nothing drawn";

    // An opaque background fills the glyph cells.
    font.SetTextColour(0xFF000000u);
    font.SetBackgroundColour(0xFF00FF00u);
    font.SetBackgroundMode(kBackgroundOpaque);
    font.DrawString(&bitmap, "I", 1, box, kTextSingleLine);
    EXPECT_EQ(bitmap.Row(1)[1], 0xFF00FF00u);
}

TEST(PixCachedFont, LinesAlignmentAndCharactersBeyondAscii)
{
    CachedFace arial("Arial", 15);
    PixCachedFont& font = arial.font;
    ASSERT_NE(font.NativeFont(), nullptr);
    const int line = font.LineHeight();

    // Line feeds break lines unless the text is one line; the widest line
    // sets the width.
    PixRect two{0, 0, 0, 0};
    EXPECT_EQ(font.DrawString(nullptr, "AB\r\nABCD", -1, two, kTextMeasure), 2 * line);
    EXPECT_EQ(two.Width(), font.Advance('A') + font.Advance('B') + font.Advance('C') + font.Advance('D'));
    PixRect one{0, 0, 0, 0};
    EXPECT_EQ(font.DrawString(nullptr, "AB\nCD", -1, one, kTextMeasure | kTextSingleLine), line);

    // Right and bottom alignment put the ink against the box's far edges.
    PixSysBitmap bitmap(120, 60);
    FillRect(&bitmap, 0, 0, 120, 60, 0xFF000000u, 1.0f, kPixCopy);
    font.SetTextColour(0xFFFFFFFFu);
    PixRect box{10, 5, 110, 55};
    font.DrawString(&bitmap, "HH", 2, box, kTextRight | kTextBottom | kTextSingleLine);
    EXPECT_GT(Ink(bitmap, {80, 40, 110, 55}), 10);
    EXPECT_EQ(Ink(bitmap, {10, 5, 70, 40}), 0);

    // Characters beyond ASCII live in the sorted list: asked in any order,
    // each is rendered once and keeps its advance.
    const std::uint32_t extended[] = {0x4E2D, 0xE9, 0x20AC, 0xE9, 0xFC, 0x20AC};
    int first[3] = {font.Advance(0x20AC), font.Advance(0xE9), font.Advance(0xFC)};
    for (std::uint32_t c : extended) {
        font.Advance(c);
    }
    const std::size_t stored = font.CoverageSize();
    for (std::uint32_t c : extended) {
        font.Advance(c);
    }
    EXPECT_EQ(font.CoverageSize(), stored);
    EXPECT_EQ(font.Advance(0x20AC), first[0]);
    EXPECT_EQ(font.Advance(0xE9), first[1]);
    EXPECT_EQ(font.Advance(0xFC), first[2]);
    EXPECT_GT(first[1], 0);
    const std::size_t settled = font.CoverageSize();
    font.DrawString(&bitmap, "\xC3\xA9\xE2\x82\xAC\xC3\xBC", -1, box, kTextSingleLine);
    EXPECT_EQ(font.CoverageSize(), settled) << "nothing rendered twice";
}

TEST(PixCachedFont, WithoutANativeFontNothingIsDrawn)
{
    PixCachedFont font;
    PixSysBitmap bitmap(20, 20);
    PixRect box{0, 0, 20, 20};
    EXPECT_EQ(font.DrawString(&bitmap, "abc", 3, box, 0), 0);
    EXPECT_FALSE(font.DrawGlyph(&bitmap, 'a', 0, 0, box));
    EXPECT_EQ(font.DrawString(nullptr, "abc", 3, box, 0), 0);
    NativeFontRequest bad;
    bad.face = "Arial";
    bad.height = 0;
    EXPECT_EQ(CreateNativeFont(bad), nullptr);
}

TEST(NativeText, LongMultiByteTextStaysInsideItsBuffers)
{
    // 1500 two-byte characters: more UTF-16 units than the fixed buffer of
    // the native path holds.
    std::string text;
    for (int i = 0; i < 1500; ++i) {
        text += "\xC3\xA9";
    }
    NativeFontRequest wanted;
    wanted.face = "Arial";
    wanted.height = 12;
    NativeFontHandle font = CreateNativeFont(wanted);
    ASSERT_NE(font, nullptr);
    PixSysBitmap bitmap(64, 16);
    PixRect rect{0, 0, 64, 16};
    NativeTextStyle style;
    const int height = DrawNativeText(font, bitmap, text.data(), static_cast<int>(text.size()), rect,
                                      kTextSingleLine, style);
#if defined(_WIN32)
    EXPECT_GT(height, 0);
#else
    EXPECT_EQ(height, 0) << "strings are drawn through the glyph cache here";
#endif
    DeleteNativeFont(font);
}

// The same faces give the same advances on Linux (FreeType over the embedded
// fonts) and under Wine (GDI over the faces installed in the Wine prefix), so
// text is laid out alike on every target. Pixels are not compared: the two
// rasterisers hint and apply gamma differently, and GDI rounds DejaVu Sans's
// cell at 12 pixels to 11.
TEST(NativeText, BundledFacesAdvanceAlikeOnEveryTarget)
{
    struct Expected {
        const char* face;
        int height;
        int total;
    };
    for (const Expected& e : {Expected{"Arial", 12, 133}, Expected{"Arial", 15, 158},
                              Expected{"Verdana", 12, 130}, Expected{"Verdana", 15, 172}}) {
        CachedFace cached(e.face, e.height);
        int total = 0;
        for (const char c : std::string("VORN Bank A 0123456789")) {
            total += cached.font.Advance(static_cast<unsigned char>(c));
        }
        EXPECT_EQ(total, e.total) << e.face << " " << e.height;
        EXPECT_NEAR(cached.font.LineHeight(), e.height, 1) << e.face << " " << e.height;
    }
}

}  // namespace
