// Fonts away from Windows: the faces carried inside the module (resource
// type "FONT": "Arial" is Liberation Sans, "Verdana" DejaVu Sans), rendered
// with FreeType, so text looks the same on every machine and no font lookup
// runs inside the host's process. Strings are always drawn through the glyph
// cache.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <span>

#include "graphics/NativeFont.h"
#include "graphics/PixSysBitmap.h"
#include "platform/Resources.h"

namespace {

struct FreeTypeFont {
    FT_Face face = nullptr;
    int height = 0;
    int ascender = 0;
    bool bold = false;
    bool mono = false;
};

// The library and face creation are shared by every font; fonts may be made
// from more than one thread (an editor per instance). The library lives while
// a face does, so unloading the module after the font cache is emptied
// leaves nothing behind.
std::mutex g_mutex;
FT_Library g_library = nullptr;
int g_faces = 0;

bool SameName(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

}  // namespace

NativeFontHandle CreateNativeFont(const NativeFontRequest& wanted)
{
    if (wanted.height <= 0 || wanted.height > 4096) {
        return nullptr;
    }
    const char* resource = wanted.face != nullptr && SameName(wanted.face, "Verdana") ? "Verdana" : "Arial";
    const std::span<const std::uint8_t> bytes = FindModuleResource("FONT", resource);
    if (bytes.empty()) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_library == nullptr && FT_Init_FreeType(&g_library) != 0) {
        g_library = nullptr;
        return nullptr;
    }
    auto* font = new (std::nothrow) FreeTypeFont;
    if (font == nullptr) {
        return nullptr;
    }
    if (FT_New_Memory_Face(g_library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &font->face) !=
        0) {
        delete font;
        if (g_faces == 0) {
            FT_Done_FreeType(g_library);
            g_library = nullptr;
        }
        return nullptr;
    }
    ++g_faces;
    // The cell height (ascender plus descender) is the requested height, as
    // a Windows font of positive height has it.
    FT_Size_RequestRec request{};
    request.type = FT_SIZE_REQUEST_TYPE_CELL;
    request.height = static_cast<FT_Long>(wanted.height) * 64;
    if (FT_Request_Size(font->face, &request) != 0) {
        FT_Done_Face(font->face);
        delete font;
        if (--g_faces == 0) {
            FT_Done_FreeType(g_library);
            g_library = nullptr;
        }
        return nullptr;
    }
    if (wanted.italic) {
        // A slant like the Windows synthetic italic.
        FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
        FT_Set_Transform(font->face, &shear, nullptr);
    }
    font->height = wanted.height;
    font->ascender = static_cast<int>((font->face->size->metrics.ascender + 32) >> 6);
    font->bold = wanted.bold;
    font->mono = wanted.quality == 1;
    return font;
}

void DeleteNativeFont(NativeFontHandle handle)
{
    auto* font = static_cast<FreeTypeFont*>(handle);
    if (font == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    FT_Done_Face(font->face);
    delete font;
    if (--g_faces == 0) {
        FT_Done_FreeType(g_library);
        g_library = nullptr;
    }
}

int NativeFontLineHeight(NativeFontHandle handle)
{
    const auto* font = static_cast<const FreeTypeFont*>(handle);
    return font != nullptr ? font->height : 0;
}

bool RenderNativeGlyph(NativeFontHandle handle, PixSysBitmap& target, int x, int y, std::uint32_t character,
                       int& advance)
{
    auto* font = static_cast<FreeTypeFont*>(handle);
    advance = 0;
    if (font == nullptr || target.Bits() == nullptr) {
        return false;
    }
    const FT_Int32 load = FT_LOAD_DEFAULT | (font->mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Char(font->face, character, load) != 0) {
        return false;
    }
    FT_GlyphSlot slot = font->face->glyph;
    if (font->bold) {
        FT_GlyphSlot_Embolden(slot);
    }
    if (FT_Render_Glyph(slot, font->mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) {
        return false;
    }
    advance = static_cast<int>((slot->advance.x + 32) >> 6);
    const FT_Bitmap& glyph = slot->bitmap;
    const int left = x + slot->bitmap_left;
    const int top = y + font->ascender - slot->bitmap_top;
    for (unsigned row = 0; row < glyph.rows; ++row) {
        const int py = top + static_cast<int>(row);
        if (py < 0 || py >= target.Height()) {
            continue;
        }
        const unsigned char* source = glyph.buffer + static_cast<std::ptrdiff_t>(row) * glyph.pitch;
        std::uint32_t* destination = target.Row(py);
        for (unsigned column = 0; column < glyph.width; ++column) {
            const int px = left + static_cast<int>(column);
            if (px < 0 || px >= target.Width()) {
                continue;
            }
            unsigned v = glyph.pixel_mode == FT_PIXEL_MODE_MONO
                             ? ((source[column >> 3] >> (7 - (column & 7))) & 1u) * 255u
                             : source[column];
            v = std::max(v, destination[px] & 0xFFu);
            destination[px] = 0xFF000000u | v << 16 | v << 8 | v;
        }
    }
    return true;
}

bool NativeTextAvailable()
{
    return false;
}

int DrawNativeText(NativeFontHandle, PixBitmap&, const char*, int, PixRect&, unsigned, const NativeTextStyle&)
{
    return 0;
}
