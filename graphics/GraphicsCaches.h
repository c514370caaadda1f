// The process-wide caches of decoded images and fonts, shared by every editor
// of the module and emptied when the module is unloaded (their static
// destruction). Each takes its own lock for a whole lookup or insertion.
#pragma once

#include <cstddef>
#include <memory>

class PixBitmap;
class PixCachedFont;
struct ITextStyle;

namespace graphics_cache {

// The bitmap cached under id, or null.
PixBitmap* FindBitmap(int id);
// Caches bitmap under id (the first entry wins) and returns the cached one.
PixBitmap* InsertBitmap(int id, std::unique_ptr<PixBitmap> bitmap);

// The font for style's size, orientation, style and face, made (preferring
// native drawing, owning its native font) and cached on first use; null when
// the font cannot be made.
PixCachedFont* FontFor(const ITextStyle& style);

std::size_t BitmapCount();
std::size_t FontCount();
// Destroys every cached bitmap and font.
void Clear();

}  // namespace graphics_cache
