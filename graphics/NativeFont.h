// The operating system's fonts behind one interface: Windows fonts drawn by
// GDI, elsewhere the faces carried inside the module ("Arial" is Liberation
// Sans, "Verdana" DejaVu Sans) rendered with FreeType. The glyph cache
// (PixFont.h) renders characters through it; on Windows whole strings can
// also be drawn natively.
#pragma once

#include <cstdint>

#include "graphics/PixDraw.h"

class PixBitmap;
class PixSysBitmap;

// A Windows font handle, or a FreeType face at a pixel size; null is none.
using NativeFontHandle = void*;

struct NativeFontRequest {
    const char* face = "";  // family name
    int height = 0;         // cell height in pixels
    int orientation = 0;    // degrees
    bool bold = false;
    bool italic = false;
    int quality = 0;  // 0 default, 1 not antialiased, 2 antialiased, 3 ClearType
};

// Null when the font cannot be made (an unknown face away from Windows
// falls back to "Arial").
NativeFontHandle CreateNativeFont(const NativeFontRequest& wanted);
void DeleteNativeFont(NativeFontHandle font);

// Text height of the font in pixels (its cell height).
int NativeFontLineHeight(NativeFontHandle font);

// Draws character (a UTF-16 code unit or code point below 0x10000) white on
// the black target with the top-left of its cell at (x, y), and gives its
// advance; false when the font or target cannot draw.
bool RenderNativeGlyph(NativeFontHandle font, PixSysBitmap& target, int x, int y, std::uint32_t character,
                       int& advance);

// Whether whole strings may be drawn natively: on Windows outside Wine (the
// registry key "Software\Wine" is probed once per process); never elsewhere.
bool NativeTextAvailable();

struct NativeTextStyle {
    std::uint32_t colour = 0;       // red, green, blue used
    bool opaqueBackground = false;  // background mode 2
    std::uint32_t background = 0xFFFFFFFFu;
};

// Draws text[0, length) (UTF-8 when it holds a valid multi-byte sequence,
// else bytes as they are) into the bitmap's drawing context with Windows
// text flags; with the measure flag, rect receives the size instead. Returns
// the text height, or 0 when nothing could be drawn (no context, not
// Windows).
int DrawNativeText(NativeFontHandle font, PixBitmap& bitmap, const char* text, int length, PixRect& rect,
                   unsigned flags, const NativeTextStyle& style);
