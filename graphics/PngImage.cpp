#include "graphics/PngImage.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Resources.h"

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Everything the decoder creates, owned outside the function that sets the
// error jump, so that a jump leaves nothing indeterminate behind.
struct Decoding {
    const std::uint8_t* next = nullptr;
    std::size_t remaining = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::unique_ptr<PixMemBitmap> bitmap;
    std::vector<png_bytep> rows;

    ~Decoding() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
};

// Reading past the end supplies zero bytes, which libpng reports as corrupt
// data.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* source = static_cast<Decoding*>(png_get_io_ptr(png));
    std::memset(out, 0, length);
    const std::size_t count = length < source->remaining ? length : source->remaining;
    if (count > 0) {
        std::memcpy(out, source->next, count);
        source->next += count;
        source->remaining -= count;
    }
}

[[noreturn]] void OnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Reads the header, sets the transformations, makes the bitmap and reads the
// image into it as bytes alpha, red, green, blue per pixel. False on any
// libpng error or when the bitmap cannot be made.
bool ReadImage(Decoding& d)
{
    if (setjmp(png_jmpbuf(d.png)) != 0) {
        return false;
    }
    png_set_read_fn(d.png, &d, &ReadFromMemory);
    png_read_info(d.png, d.info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    png_get_IHDR(d.png, d.info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    // The pixels and the row pointers count against the limit.
    if (width == 0 || height == 0 ||
        (std::uint64_t{width} * 4 + sizeof(png_bytep)) * height > kMaxPngPixelBytes) {
        return false;
    }
    bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(d.png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
        png_set_expand_gray_1_2_4_to_8(d.png);
    }
    if (png_get_valid(d.png, d.info, PNG_INFO_tRNS) != 0) {
        png_set_tRNS_to_alpha(d.png);
        alpha = true;
    }
    if (bitDepth == 16) {
        png_set_strip_16(d.png);
    }
    if (bitDepth < 8) {
        png_set_packing(d.png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(d.png);
    }
    if (!alpha) {
        png_set_filler(d.png, 0xFF, PNG_FILLER_BEFORE);
    } else {
        png_set_swap_alpha(d.png);
    }
    // Interlaced images are read whole as well.
    png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);
    if (png_get_rowbytes(d.png, d.info) != std::size_t{width} * 4) {
        return false;
    }

    d.bitmap.reset(new (std::nothrow) PixMemBitmap(static_cast<int>(width), static_cast<int>(height)));
    if (!d.bitmap || d.bitmap->Bits() == nullptr || d.bitmap->Width() != static_cast<int>(width) ||
        d.bitmap->Height() != static_cast<int>(height)) {
        return false;
    }
    d.rows.resize(height);
    for (int y = 0; y < static_cast<int>(height); ++y) {
        d.rows[static_cast<std::size_t>(y)] = reinterpret_cast<png_bytep>(d.bitmap->Row(y));
    }
    png_read_image(d.png, d.rows.data());
    return true;
}

}  // namespace

std::unique_ptr<PixMemBitmap> DecodePngMemory(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size < sizeof kSignature ||
        std::memcmp(data, kSignature, sizeof kSignature) != 0) {
        return nullptr;
    }
    try {
        Decoding d;
        d.next = data;
        d.remaining = size;
        d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnError, &OnWarning);
        if (d.png == nullptr) {
            return nullptr;
        }
        d.info = png_create_info_struct(d.png);
        if (d.info == nullptr) {
            return nullptr;
        }
        if (!ReadImage(d)) {
            return nullptr;
        }
        // Bytes alpha, red, green, blue become the word a << 24 | r << 16 |
        // g << 8 | b, in place.
        PixMemBitmap& bitmap = *d.bitmap;
        for (int y = 0; y < bitmap.Height(); ++y) {
            std::uint32_t* row = bitmap.Row(y);
            for (int x = 0; x < bitmap.Width(); ++x) {
                std::uint8_t bytes[4];
                std::memcpy(bytes, &row[x], 4);
                row[x] = std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                         std::uint32_t{bytes[2]} << 8 | bytes[3];
            }
        }
        return std::move(d.bitmap);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<PixMemBitmap> LoadPngResource(int id)
{
    const std::span<const std::uint8_t> bytes = FindModuleResource("PNG", id);
    if (bytes.size() <= 7) {
        return nullptr;
    }
    return DecodePngMemory(bytes.data(), bytes.size());
}
