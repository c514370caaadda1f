#include "graphics/GraphicsCaches.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "graphics/IDrawStyle.h"
#include "graphics/NativeFont.h"
#include "graphics/PixBitmap.h"
#include "graphics/PixFont.h"

namespace {

struct BitmapEntry {
    int id;
    std::unique_ptr<PixBitmap> bitmap;
};

struct FontEntry {
    int size;
    int orientation;
    int style;
    std::string face;
    std::unique_ptr<PixCachedFont> font;
};

struct Caches {
    std::mutex bitmapMutex;
    std::vector<BitmapEntry> bitmaps;
    std::mutex fontMutex;
    std::vector<FontEntry> fonts;
};

// Destroyed with the module's static objects, at unload.
Caches& TheCaches()
{
    static Caches caches;
    return caches;
}

}  // namespace

namespace graphics_cache {

PixBitmap* FindBitmap(int id)
{
    Caches& caches = TheCaches();
    std::lock_guard<std::mutex> lock(caches.bitmapMutex);
    for (const BitmapEntry& entry : caches.bitmaps) {
        if (entry.id == id) {
            return entry.bitmap.get();
        }
    }
    return nullptr;
}

PixBitmap* InsertBitmap(int id, std::unique_ptr<PixBitmap> bitmap)
{
    Caches& caches = TheCaches();
    std::lock_guard<std::mutex> lock(caches.bitmapMutex);
    for (const BitmapEntry& entry : caches.bitmaps) {
        if (entry.id == id) {
            return entry.bitmap.get();
        }
    }
    caches.bitmaps.push_back({id, std::move(bitmap)});
    return caches.bitmaps.back().bitmap.get();
}

PixCachedFont* FontFor(const ITextStyle& style)
{
    Caches& caches = TheCaches();
    std::lock_guard<std::mutex> lock(caches.fontMutex);
    for (const FontEntry& entry : caches.fonts) {
        if (entry.size == style.size && entry.orientation == style.orientation &&
            entry.style == style.style && entry.face == style.font) {
            return entry.font.get();
        }
    }
    NativeFontRequest wanted;
    wanted.face = style.font;
    wanted.height = style.size;
    wanted.orientation = style.orientation;
    wanted.bold = style.style == ITextStyle::kBold;
    wanted.italic = style.style == ITextStyle::kItalic;
    wanted.quality = style.quality;
    NativeFontHandle native = CreateNativeFont(wanted);
    if (native == nullptr) {
        return nullptr;
    }
    auto font = std::make_unique<PixCachedFont>();
    font->AttachNativeFont(native, kFontOwnsNative | kFontPreferNative);
    caches.fonts.push_back({style.size, style.orientation, style.style, style.font, std::move(font)});
    return caches.fonts.back().font.get();
}

std::size_t BitmapCount()
{
    Caches& caches = TheCaches();
    std::lock_guard<std::mutex> lock(caches.bitmapMutex);
    return caches.bitmaps.size();
}

std::size_t FontCount()
{
    Caches& caches = TheCaches();
    std::lock_guard<std::mutex> lock(caches.fontMutex);
    return caches.fonts.size();
}

void Clear()
{
    Caches& caches = TheCaches();
    {
        std::lock_guard<std::mutex> lock(caches.fontMutex);
        caches.fonts.clear();
    }
    std::lock_guard<std::mutex> lock(caches.bitmapMutex);
    caches.bitmaps.clear();
}

}  // namespace graphics_cache
