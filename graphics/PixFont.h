// Fonts that draw text into bitmaps. PixCachedFont keeps every character it
// has drawn as 8-bit coverage (rendered once through the native font) and
// composes it into bitmaps in the text colour; on Windows outside Wine, a
// font that prefers native drawing hands whole strings to GDI instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/NativeFont.h"
#include "graphics/PixDraw.h"

// Text drawing flags: the Windows text-drawing flags, plus the extension bit
// kTextUseColourAlpha.
enum TextFlags : unsigned {
    kTextLeft = 0x0,
    kTextCentre = 0x1,
    kTextRight = 0x2,
    kTextVCentre = 0x4,
    kTextBottom = 0x8,
    kTextWordBreak = 0x10,
    kTextSingleLine = 0x20,
    kTextNoClip = 0x100,
    kTextMeasure = 0x400,  // measure only: the rectangle receives the size
    kTextNoPrefix = 0x800,
    kTextUseColourAlpha = 0x40000000,
    kTextNoNative = 0x80000000,
};

// Font flags.
enum FontFlags : unsigned {
    kFontPrerenderAscii = 0x4,  // render glyphs 0..127 when a native font is attached
    kFontOwnsNative = 0x200,    // the font deletes its native font
    kFontPreferNative = 0x400,  // draw strings natively where that is possible
    kFontEffectBits = 0x1F7,    // any of these keeps text in the glyph cache
};

enum BackgroundMode : int { kBackgroundTransparent = 1, kBackgroundOpaque = 2 };

// One character of UTF-8 text as the glyph cache reads it: two- and
// three-byte sequences give their 16-bit value, four-byte sequences a space,
// anything else the byte itself. consumed receives 1 to 4 (0 for no text).
std::uint32_t DecodeGlyphCharacter(const unsigned char* text, std::size_t remaining, int& consumed);

class PixFont {
public:
    virtual ~PixFont() = default;
    virtual void AttachNativeFont(NativeFontHandle font, unsigned flags) = 0;
    virtual std::uint32_t SetTextColour(std::uint32_t colour) = 0;
    virtual std::uint32_t SetBackgroundColour(std::uint32_t colour) = 0;
    virtual std::uint32_t SetEffectColour(std::uint32_t colour) = 0;
    virtual int SetBackgroundMode(int mode) = 0;
    virtual void SetCombineMode(unsigned mode, float alpha) = 0;
    // Draws text[0, length) into rect of bitmap with TextFlags; returns the
    // height of the text. With kTextMeasure nothing is drawn and rect
    // receives the text's size (rect.left and rect.top kept).
    virtual int DrawString(PixBitmap* bitmap, const char* text, int length, PixRect& rect,
                           unsigned flags) = 0;
    virtual std::uint32_t TextColour() const = 0;
    virtual NativeFontHandle NativeFont() const = 0;
    virtual int LineHeight() const = 0;
};

class PixCachedFont final : public PixFont {
public:
    PixCachedFont();
    ~PixCachedFont() override;
    PixCachedFont(const PixCachedFont&) = delete;
    PixCachedFont& operator=(const PixCachedFont&) = delete;

    void AttachNativeFont(NativeFontHandle font, unsigned flags) override;
    std::uint32_t SetTextColour(std::uint32_t colour) override;
    std::uint32_t SetBackgroundColour(std::uint32_t colour) override;
    std::uint32_t SetEffectColour(std::uint32_t colour) override;
    int SetBackgroundMode(int mode) override;
    void SetCombineMode(unsigned mode, float alpha) override;
    int DrawString(PixBitmap* bitmap, const char* text, int length, PixRect& rect, unsigned flags) override;
    std::uint32_t TextColour() const override { return m_textColour; }
    NativeFontHandle NativeFont() const override { return m_native; }
    int LineHeight() const override { return m_lineHeight; }

    // Puts character's glyph into bitmap with its cell's top-left at (x, y),
    // clipped to clip; renders it first when needed. False for a character
    // without a glyph.
    bool DrawGlyph(PixBitmap* bitmap, std::uint32_t character, int x, int y, const PixRect& clip);

    // Advance of character in pixels (rendering it when needed).
    int Advance(std::uint32_t character);
    // Bytes of coverage stored so far.
    std::size_t CoverageSize() const { return m_coverage.size(); }

private:
    struct Glyph {
        std::int32_t coverage = 0;  // offset in the coverage store + 1; 0 not rendered, -1 empty
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::int32_t advance = 0;
        std::int32_t character = 0;
        std::int32_t offset = 0;  // where the cell starts relative to the pen
    };
    static_assert(sizeof(Glyph) == 24);

    Glyph* Find(std::uint32_t character);
    // Renders the glyph of character into its record (an empty record when it
    // has no size).
    void Render(Glyph& glyph, std::uint32_t character);
    void ClearGlyphs();
    // Width in pixels of one line of text (no line breaks inside).
    int LineWidth(const unsigned char* text, std::size_t length);
    // The weight glyphs are composed with, 1..256 (0: nothing is drawn).
    int ComposeWeight(unsigned flags) const;

    std::uint32_t m_textColour = 0;
    std::uint32_t m_backgroundColour = 0xFFFFFFFFu;
    std::uint32_t m_effectColour = 0xFFFFFFFFu;
    int m_backgroundMode = kBackgroundTransparent;
    unsigned m_combineMode = kPixCopy;
    float m_combineAlpha = 1.0f;
    unsigned m_flags = 0;
    int m_lineHeight = 0;
    int m_lineSpacing = 0;
    int m_weight = 256;  // glyph weight for the current draw
    Glyph m_ascii[128] = {};
    std::vector<Glyph> m_extended;  // sorted by character
    std::vector<std::uint8_t> m_coverage;
    NativeFontHandle m_native = nullptr;
};
