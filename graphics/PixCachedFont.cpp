#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "graphics/PixFont.h"
#include "graphics/PixSysBitmap.h"

namespace {

// The coverage store grows in steps of this many bytes.
constexpr std::size_t kCoverageStep = 65536;
constexpr int kMinGlyphBitmap = 256;

// Shared by every font while at least one exists; used on the editor's
// window thread only.
int g_liveFonts = 0;
std::unique_ptr<PixSysBitmap> g_glyphBitmap;

// Grows the shared glyph bitmap to at least size x size pixels.
PixSysBitmap& GlyphBitmap(int size)
{
    if (!g_glyphBitmap) {
        g_glyphBitmap = std::make_unique<PixSysBitmap>();
    }
    if (g_glyphBitmap->Width() < size || g_glyphBitmap->Height() < size) {
        const int side = std::max({size, g_glyphBitmap->Width(), g_glyphBitmap->Height()});
        g_glyphBitmap->SetSize(side, side);
    }
    return *g_glyphBitmap;
}

int Channel(std::uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & 0xFF);
}

bool IsLineBreak(std::uint32_t character)
{
    return character == '\n' || character == '\r';
}

}  // namespace

std::uint32_t DecodeGlyphCharacter(const unsigned char* text, std::size_t remaining, int& consumed)
{
    if (remaining == 0) {
        consumed = 0;
        return 0;
    }
    const unsigned lead = text[0];
    auto continuation = [&](std::size_t i) { return i < remaining && (text[i] & 0xC0) == 0x80; };
    if (lead >= 0xC2 && lead <= 0xDF && continuation(1)) {
        consumed = 2;
        return (lead & 0x1Fu) << 6 | (text[1] & 0x3Fu);
    }
    if (lead >= 0xE0 && lead <= 0xEF && continuation(1) && continuation(2)) {
        consumed = 3;
        return (lead << 12 | (text[1] & 0x3Fu) << 6 | (text[2] & 0x3Fu)) & 0xFFFFu;
    }
    if (lead >= 0xF0 && lead <= 0xF4 && continuation(1) && continuation(2) && continuation(3)) {
        consumed = 4;
        return 0x20;
    }
    consumed = 1;
    return lead;
}

PixCachedFont::PixCachedFont()
{
    ++g_liveFonts;
}

PixCachedFont::~PixCachedFont()
{
    if ((m_flags & kFontOwnsNative) != 0 && m_native != nullptr) {
        DeleteNativeFont(m_native);
    }
    if (--g_liveFonts == 0) {
        g_glyphBitmap.reset();
    }
}

void PixCachedFont::AttachNativeFont(NativeFontHandle font, unsigned flags)
{
    if ((m_flags & kFontOwnsNative) != 0 && m_native != nullptr && font != m_native) {
        DeleteNativeFont(m_native);
    }
    m_flags = flags;
    m_native = font;
    m_lineHeight = 0;
    if (font != nullptr) {
        GlyphBitmap(kMinGlyphBitmap);
        m_lineHeight = std::max(NativeFontLineHeight(font), 0);
    }
    ClearGlyphs();
    if (font != nullptr && (flags & kFontPrerenderAscii) != 0) {
        for (std::uint32_t c = 0; c < 128; ++c) {
            Render(m_ascii[c], c);
        }
    }
}

std::uint32_t PixCachedFont::SetTextColour(std::uint32_t colour)
{
    return std::exchange(m_textColour, colour);
}

std::uint32_t PixCachedFont::SetBackgroundColour(std::uint32_t colour)
{
    return std::exchange(m_backgroundColour, colour);
}

std::uint32_t PixCachedFont::SetEffectColour(std::uint32_t colour)
{
    return std::exchange(m_effectColour, colour);
}

int PixCachedFont::SetBackgroundMode(int mode)
{
    return std::exchange(m_backgroundMode, mode);
}

void PixCachedFont::SetCombineMode(unsigned mode, float alpha)
{
    m_combineMode = mode;
    m_combineAlpha = alpha;
    m_weight = ComposeWeight(0);
}

void PixCachedFont::ClearGlyphs()
{
    std::fill(std::begin(m_ascii), std::end(m_ascii), Glyph{});
    m_extended.clear();
    m_coverage.clear();
}

PixCachedFont::Glyph* PixCachedFont::Find(std::uint32_t character)
{
    if (character < 128) {
        return &m_ascii[character];
    }
    auto at = std::lower_bound(
        m_extended.begin(), m_extended.end(), character,
        [](const Glyph& g, std::uint32_t c) { return static_cast<std::uint32_t>(g.character) < c; });
    if (at == m_extended.end() || static_cast<std::uint32_t>(at->character) != character) {
        Glyph glyph;
        glyph.character = static_cast<std::int32_t>(character);
        at = m_extended.insert(at, glyph);
    }
    return &*at;
}

void PixCachedFont::Render(Glyph& glyph, std::uint32_t character)
{
    glyph.character = static_cast<std::int32_t>(character);
    glyph.coverage = -1;
    if (m_native == nullptr || m_lineHeight <= 0) {
        return;
    }
    const int margin = m_lineHeight < 16 ? 2 : m_lineHeight / 16 + 2;
    const int side = 2 * m_lineHeight + 8;
    PixSysBitmap& target = GlyphBitmap(side);
    if (target.Bits() == nullptr) {
        return;
    }
    FillRect(&target, 0, 0, side, side, 0xFF000000u, 1.0f, kPixCopy);
    int advance = 0;
    if (!RenderNativeGlyph(m_native, target, margin, margin, character, advance) || advance <= 0) {
        return;
    }
    const int width = std::min(advance + 2 * margin, target.Width());
    const int height = std::min(m_lineHeight + 2 * margin, target.Height());
    const std::size_t offset = m_coverage.size();
    const std::size_t needed = offset + static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (needed > m_coverage.capacity()) {
        m_coverage.reserve((needed + kCoverageStep - 1) / kCoverageStep * kCoverageStep);
    }
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = target.Row(y);
        for (int x = 0; x < width; ++x) {
            m_coverage.push_back(static_cast<std::uint8_t>(row[x] & 0xFF));
        }
    }
    glyph.coverage = static_cast<std::int32_t>(offset) + 1;
    glyph.width = width;
    glyph.height = height;
    glyph.advance = advance;
    glyph.offset = -margin;
}

int PixCachedFont::Advance(std::uint32_t character)
{
    Glyph* glyph = Find(character);
    if (glyph->coverage == 0) {
        Render(*glyph, character);
    }
    return glyph->coverage > 0 ? glyph->advance : 0;
}

bool PixCachedFont::DrawGlyph(PixBitmap* bitmap, std::uint32_t character, int x, int y, const PixRect& clip)
{
    Glyph* found = Find(character);
    if (found->coverage == 0) {
        Render(*found, character);
    }
    const Glyph glyph = *found;
    if (glyph.coverage <= 0 || bitmap == nullptr || bitmap->Bits() == nullptr) {
        return false;
    }
    const int left = x + glyph.offset;
    const int top = y + glyph.offset;
    const int x0 = std::max({left, clip.left, 0});
    const int y0 = std::max({top, clip.top, 0});
    const int x1 = std::min({left + glyph.width, clip.right, bitmap->Width()});
    const int y1 = std::min({top + glyph.height, clip.bottom, bitmap->Height()});
    if (x1 <= x0 || y1 <= y0) {
        return true;
    }
    if (m_backgroundMode == kBackgroundOpaque) {
        FillRect(bitmap, x0, y0, x1 - x0, y1 - y0, m_backgroundColour, 1.0f, kPixCopy);
    }
    const int t[3] = {Channel(m_textColour, 0), Channel(m_textColour, 8), Channel(m_textColour, 16)};
    const int w = m_weight;
    const std::uint8_t* coverage = m_coverage.data() + (glyph.coverage - 1);
    for (int py = y0; py < y1; ++py) {
        std::uint32_t* row = bitmap->Row(py);
        const std::uint8_t* cells = coverage + static_cast<std::ptrdiff_t>(py - top) * glyph.width;
        for (int px = x0; px < x1; ++px) {
            const int v = cells[px - left];
            if (v == 0) {
                continue;
            }
            const std::uint32_t d = row[px];
            // How much of the destination stays, out of 256.
            const int keep = w >= 256 ? 255 - v : 256 - std::min(256, w * v / 256);
            int out[3];
            for (int c = 0; c < 3; ++c) {
                out[c] = (Channel(d, 8 * c) - t[c]) * keep / 256 + t[c];
            }
            const int a = 255 + (Channel(d, 24) - 255) * keep / 256;
            row[px] = static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(out[2]) << 16 |
                      static_cast<std::uint32_t>(out[1]) << 8 | static_cast<std::uint32_t>(out[0]);
        }
    }
    return true;
}

int PixCachedFont::LineWidth(const unsigned char* text, std::size_t length)
{
    int width = 0;
    for (std::size_t i = 0; i < length;) {
        int consumed = 0;
        const std::uint32_t character = DecodeGlyphCharacter(text + i, length - i, consumed);
        i += static_cast<std::size_t>(consumed);
        if (!IsLineBreak(character)) {
            width += Advance(character);
        }
    }
    return width;
}

int PixCachedFont::ComposeWeight(unsigned flags) const
{
    float weight = m_combineAlpha;
    if ((flags & kTextUseColourAlpha) != 0) {
        weight *= static_cast<float>(m_textColour >> 24) / 255.0f;
    }
    return weight > 0.0f ? std::min(static_cast<int>(weight * 256.0f), 256) : 0;
}

int PixCachedFont::DrawString(PixBitmap* bitmap, const char* text, int length, PixRect& rect, unsigned flags)
{
    const bool measure = (flags & kTextMeasure) != 0;
    if (text == nullptr || (bitmap == nullptr && !measure)) {
        return 0;
    }
    const std::size_t size = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
    const bool effects = (m_flags & kFontEffectBits) != 0;
    if (bitmap != nullptr && bitmap->DrawingContext() != nullptr && m_native != nullptr &&
        NativeTextAvailable() &&
        (((m_flags & kFontPreferNative) != 0 && (flags & kTextNoNative) == 0 &&
          (flags & kTextUseColourAlpha) == 0 && !effects &&
          (m_lineSpacing == 0 || (flags & kTextSingleLine) != 0)) ||
         m_lineHeight >= 256)) {
        NativeTextStyle style;
        style.colour = m_textColour;
        style.opaqueBackground = m_backgroundMode == kBackgroundOpaque;
        style.background = m_backgroundColour;
        return DrawNativeText(m_native, *bitmap, text, static_cast<int>(size), rect, flags, style);
    }

    // The glyph cache: lines end at line feeds unless the text is one line.
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const bool singleLine = (flags & kTextSingleLine) != 0;
    struct Line {
        std::size_t begin;
        std::size_t end;
        int width;
    };
    std::vector<Line> lines;
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || (!singleLine && bytes[i] == '\n')) {
            lines.push_back({begin, i, LineWidth(bytes + begin, i - begin)});
            begin = i + 1;
        }
    }
    int widest = 0;
    for (const Line& line : lines) {
        widest = std::max(widest, line.width);
    }
    const int height = static_cast<int>(lines.size()) * m_lineHeight;
    if (measure) {
        rect.right = rect.left + widest;
        rect.bottom = rect.top + height;
        return height;
    }
    const int weight = ComposeWeight(flags);
    if (weight < 1 || bitmap->Bits() == nullptr) {
        return height;
    }
    const int savedWeight = std::exchange(m_weight, weight);
    int y = rect.top;
    if (singleLine && (flags & kTextVCentre) != 0) {
        y = rect.top + (rect.Height() - m_lineHeight) / 2;
    } else if (singleLine && (flags & kTextBottom) != 0) {
        y = rect.bottom - m_lineHeight;
    }
    const PixRect clip = (flags & kTextNoClip) != 0 ? PixRect{0, 0, bitmap->Width(), bitmap->Height()} : rect;
    for (const Line& line : lines) {
        int x = rect.left;
        if ((flags & kTextCentre) != 0) {
            x = rect.left + (rect.Width() - line.width) / 2;
        } else if ((flags & kTextRight) != 0) {
            x = rect.right - line.width;
        }
        for (std::size_t i = line.begin; i < line.end;) {
            int consumed = 0;
            const std::uint32_t character = DecodeGlyphCharacter(bytes + i, line.end - i, consumed);
            i += static_cast<std::size_t>(consumed);
            if (IsLineBreak(character)) {
                continue;
            }
            DrawGlyph(bitmap, character, x, y, clip);
            x += Advance(character);
        }
        y += m_lineHeight;
    }
    m_weight = savedWeight;
    return height;
}
