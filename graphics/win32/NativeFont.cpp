// Fonts on Windows: GDI fonts, glyphs drawn with GDI into the shared glyph
// bitmap, and whole strings drawn natively with DrawTextW outside Wine.
#include <windows.h>

#include <memory>
#include <new>

#include "graphics/NativeFont.h"
#include "graphics/PixSysBitmap.h"

namespace {

// Texts up to this many UTF-16 units convert into a fixed buffer; longer ones
// into one on the heap.
constexpr int kFixedUnits = 1000;

DWORD Quality(int quality)
{
    switch (quality) {
        case 1:
            return NONANTIALIASED_QUALITY;
        case 2:
            return ANTIALIASED_QUALITY;
        case 3:
            return CLEARTYPE_QUALITY;
        default:
            return DEFAULT_QUALITY;
    }
}

// Whether text holds a valid multi-byte UTF-8 sequence (and only valid ones).
bool HasMultiByteUtf8(const char* text, int length)
{
    bool multiByte = false;
    for (int i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            multiByte = true;
            break;
        }
    }
    return multiByte && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, nullptr, 0) > 0;
}

}  // namespace

NativeFontHandle CreateNativeFont(const NativeFontRequest& wanted)
{
    if (wanted.height <= 0) {
        return nullptr;
    }
    return CreateFontA(wanted.height, 0, wanted.orientation * 10, wanted.orientation * 10,
                       wanted.bold ? FW_BOLD : FW_NORMAL, wanted.italic ? TRUE : FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, Quality(wanted.quality),
                       DEFAULT_PITCH | FF_DONTCARE, wanted.face != nullptr ? wanted.face : "");
}

void DeleteNativeFont(NativeFontHandle font)
{
    if (font != nullptr) {
        DeleteObject(static_cast<HFONT>(font));
    }
}

int NativeFontLineHeight(NativeFontHandle font)
{
    if (font == nullptr) {
        return 0;
    }
    HDC context = CreateCompatibleDC(nullptr);
    if (context == nullptr) {
        return 0;
    }
    HGDIOBJ previous = SelectObject(context, static_cast<HFONT>(font));
    TEXTMETRICW metrics{};
    const BOOL ok = GetTextMetricsW(context, &metrics);
    SelectObject(context, previous);
    DeleteDC(context);
    return ok ? static_cast<int>(metrics.tmHeight) : 0;
}

bool RenderNativeGlyph(NativeFontHandle font, PixSysBitmap& target, int x, int y, std::uint32_t character,
                       int& advance)
{
    advance = 0;
    HDC context = static_cast<HDC>(target.DrawingContext());
    if (font == nullptr || context == nullptr || target.Bits() == nullptr) {
        return false;
    }
    const wchar_t unit = static_cast<wchar_t>(character & 0xFFFF);
    HGDIOBJ previous = SelectObject(context, static_cast<HFONT>(font));
    SetTextColor(context, RGB(255, 255, 255));
    SetBkMode(context, TRANSPARENT);
    SIZE extent{};
    const BOOL measured = GetTextExtentPoint32W(context, &unit, 1, &extent);
    const BOOL drawn = TextOutW(context, x, y, &unit, 1);
    GdiFlush();
    SelectObject(context, previous);
    if (!measured || !drawn) {
        return false;
    }
    advance = extent.cx;
    return true;
}

bool NativeTextAvailable()
{
    // Once per process: Wine's text output differs from Windows', so under
    // Wine strings go through the glyph cache.
    static const bool underWine = [] {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine", 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }();
    return !underWine;
}

int DrawNativeText(NativeFontHandle font, PixBitmap& bitmap, const char* text, int length, PixRect& rect,
                   unsigned flags, const NativeTextStyle& style)
{
    HDC context = static_cast<HDC>(bitmap.DrawingContext());
    if (font == nullptr || context == nullptr || text == nullptr || length < 0) {
        return 0;
    }
    RECT area{rect.left, rect.top, rect.right, rect.bottom};
    const UINT format = (flags & 0x3FFFFFFFu) | DT_NOPREFIX;
    HGDIOBJ previous = SelectObject(context, static_cast<HFONT>(font));
    SetTextColor(context, RGB((style.colour >> 16) & 0xFF, (style.colour >> 8) & 0xFF, style.colour & 0xFF));
    SetBkMode(context, style.opaqueBackground ? OPAQUE : TRANSPARENT);
    if (style.opaqueBackground) {
        SetBkColor(context, RGB((style.background >> 16) & 0xFF, (style.background >> 8) & 0xFF,
                                style.background & 0xFF));
    }
    int height = 0;
    if (HasMultiByteUtf8(text, length)) {
        const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
        wchar_t fixed[kFixedUnits];
        std::unique_ptr<wchar_t[]> heap;
        wchar_t* wide = fixed;
        if (units >= kFixedUnits) {
            heap.reset(new (std::nothrow) wchar_t[static_cast<std::size_t>(length) + 32]);
            wide = heap.get();
        }
        const int converted =
            wide != nullptr ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, wide, units)
                            : 0;
        height = converted > 0 ? DrawTextW(context, wide, converted, &area, format)
                               : DrawTextA(context, text, length, &area, format);
    } else {
        height = DrawTextA(context, text, length, &area, format);
    }
    GdiFlush();
    SelectObject(context, previous);
    if ((flags & DT_CALCRECT) != 0) {
        rect.right = area.right;
        rect.bottom = area.bottom;
    }
    return height;
}
