// PNG images held in memory (the editor's images are resources of type
// "PNG" inside the module), decoded with libpng into memory bitmaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "graphics/PixBitmap.h"

// Images whose pixels (with one row pointer per row) would need more than
// this many bytes are refused before anything is allocated for them.
inline constexpr std::size_t kMaxPngPixelBytes = std::size_t{64} << 20;

// Decodes the PNG image in data[0, size) into a new bitmap of straight-alpha
// words: palette, grey, 16-bit and low-bit-depth images and tRNS
// transparency are converted, images without alpha get alpha 255. Null for
// a bad signature, corrupt or cut data, an image too large, or failed
// allocation; nothing is left allocated then, and nothing is read outside
// data. Any thread.
std::unique_ptr<PixMemBitmap> DecodePngMemory(const std::uint8_t* data, std::size_t size);

// The module's resource of type "PNG" with integer id, decoded; null when it
// is missing, 7 bytes or shorter, or does not decode.
std::unique_ptr<PixMemBitmap> LoadPngResource(int id);
