#include "graphics/PngImage.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <vector>

namespace {

struct PngLayout {
    int width = 2;
    int height = 2;
    int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    int bitDepth = 8;
    std::vector<png_color> palette;
    std::vector<png_byte> transparency;  // palette alpha entries
};

void Append(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// Encodes rows (already packed as the colour type and depth want) with libpng.
std::vector<std::uint8_t> Encode(const PngLayout& layout, std::vector<std::vector<std::uint8_t>> rows)
{
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "encoding failed";
        return {};
    }
    png_set_write_fn(png, &out, &Append, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(layout.width), static_cast<png_uint_32>(layout.height),
                 layout.bitDepth, layout.colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) {
        png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
    }
    if (!layout.transparency.empty()) {
        png_set_tRNS(png, info, layout.transparency.data(), static_cast<int>(layout.transparency.size()),
                     nullptr);
    }
    std::vector<png_bytep> pointers;
    for (auto& row : rows) {
        pointers.push_back(row.data());
    }
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::unique_ptr<PixMemBitmap> Decode(const std::vector<std::uint8_t>& bytes)
{
    return DecodePngMemory(bytes.data(), bytes.size());
}

TEST(PngImage, EveryColourTypeBecomesStraightAlphaWords)
{
    // 8-bit RGBA: the samples exactly.
    auto rgba = Decode(Encode({}, {{1, 2, 3, 4, 250, 251, 252, 0}, {9, 8, 7, 128, 0, 0, 0, 255}}));
    ASSERT_TRUE(rgba);
    EXPECT_EQ(rgba->Row(0)[0], 0x04010203u);
    EXPECT_EQ(rgba->Row(0)[1], 0x00FAFBFCu);
    EXPECT_EQ(rgba->Row(1)[0], 0x80090807u);
    EXPECT_EQ(rgba->Row(1)[1], 0xFF000000u);

    // RGB without tRNS: opaque.
    PngLayout rgb;
    rgb.colorType = PNG_COLOR_TYPE_RGB;
    auto opaque = Decode(Encode(rgb, {{10, 20, 30, 40, 50, 60}, {0, 0, 0, 255, 255, 255}}));
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->Row(0)[0], 0xFF0A141Eu);
    EXPECT_EQ(opaque->Row(1)[1], 0xFFFFFFFFu);

    // Palette (4-bit) with tRNS 0 on entry 1.
    PngLayout indexed;
    indexed.colorType = PNG_COLOR_TYPE_PALETTE;
    indexed.bitDepth = 4;
    indexed.palette = {{200, 100, 50}, {1, 2, 3}};
    indexed.transparency = {255, 0};
    auto palette = Decode(Encode(indexed, {{0x01}, {0x10}}));
    ASSERT_TRUE(palette);
    EXPECT_EQ(palette->Row(0)[0], 0xFFC86432u);
    EXPECT_EQ(palette->Row(0)[1], 0x00010203u) << "transparent entry";
    EXPECT_EQ(palette->Row(1)[0], 0x00010203u);

    // 16-bit RGB keeps the high byte; 2-bit grey expands to 8 bits.
    PngLayout wide = rgb;
    wide.bitDepth = 16;
    wide.width = 1;
    wide.height = 1;
    auto deep = Decode(Encode(wide, {{0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x01}}));
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->Row(0)[0], 0xFF12ABFFu);
    PngLayout grey;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    grey.bitDepth = 2;
    grey.width = 4;
    grey.height = 1;
    auto levels = Decode(Encode(grey, {{0b00011011}}));
    ASSERT_TRUE(levels);
    EXPECT_EQ(levels->Row(0)[0], 0xFF000000u);
    EXPECT_EQ(levels->Row(0)[1], 0xFF555555u);
    EXPECT_EQ(levels->Row(0)[3], 0xFFFFFFFFu);
}

TEST(PngImage, GreyWithAlphaAndInterlacedImages)
{
    PngLayout greyAlpha;
    greyAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.width = 2;
    greyAlpha.height = 1;
    auto grey = Decode(Encode(greyAlpha, {{0x40, 0x80, 0xFF, 0x00}}));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->Row(0)[0], 0x80404040u);
    EXPECT_EQ(grey->Row(0)[1], 0x00FFFFFFu);

    // An interlaced image is read whole, as its rows.
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    ASSERT_EQ(setjmp(png_jmpbuf(png)), 0);
    png_set_write_fn(png, &out, &Append, nullptr);
    png_set_IHDR(png, info, 9, 9, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_ADAM7,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<std::vector<std::uint8_t>> rows(9, std::vector<std::uint8_t>(36));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            rows[y][x * 4] = static_cast<std::uint8_t>(x);
            rows[y][x * 4 + 1] = static_cast<std::uint8_t>(y);
            rows[y][x * 4 + 3] = 255;
        }
        pointers.push_back(rows[y].data());
    }
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    auto interlaced = Decode(out);
    ASSERT_TRUE(interlaced);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(interlaced->Row(y)[x],
                      0xFF000000u | static_cast<std::uint32_t>(x) << 16 | static_cast<std::uint32_t>(y) << 8);
        }
    }
}

TEST(PngImage, BadOrCutDataGivesNothing)
{
    const std::vector<std::uint8_t> good =
        Encode({}, {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}});
    ASSERT_TRUE(Decode(good));
    EXPECT_FALSE(DecodePngMemory(good.data(), 8)) << "the signature alone";
    EXPECT_FALSE(DecodePngMemory(good.data(), 7));
    EXPECT_FALSE(DecodePngMemory(nullptr, 100));
    // Every cut from the ninth byte on fails as a whole (the end chunk is
    // not read, so only cuts inside the image data count).
    for (std::size_t size = 8; size + 12 < good.size(); ++size) {
        // An exact-size copy, so that ASan sees any read past it.
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        cut.shrink_to_fit();
        EXPECT_FALSE(Decode(cut)) << size;
    }
    std::vector<std::uint8_t> flipped = good;
    flipped[20] ^= 0x40;  // inside IHDR: its CRC no longer matches
    EXPECT_FALSE(Decode(flipped));
}

TEST(PngImage, HugeDeclaredSizesAreRefusedBeforeAllocation)
{
    // A valid header declaring 20000 x 20000 RGBA (1.6 GB) and no data.
    std::vector<std::uint8_t> header = Encode({}, {{0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}});
    // Patch IHDR width and height (bytes 16..23) and its CRC.
    for (int i = 0; i < 4; ++i) {
        header[16 + i] = static_cast<std::uint8_t>(20000u >> (24 - 8 * i));
        header[20 + i] = static_cast<std::uint8_t>(20000u >> (24 - 8 * i));
    }
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, header.data() + 12, 17));
    for (int i = 0; i < 4; ++i) {
        header[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
    EXPECT_FALSE(Decode(header));
}

TEST(PngImage, EveryPanelImageLoadsFromTheModuleWithItsSize)
{
    struct Expected {
        int id, width, height;
    };
    const Expected images[] = {{101, 1100, 512}, {102, 1100, 200}, {103, 28, 48}, {104, 32, 2080},
                               {105, 40, 2600},  {106, 24, 1560},  {107, 20, 40}, {108, 40, 200},
                               {109, 9, 42},     {110, 50, 44},    {111, 50, 44}, {112, 50, 44},
                               {113, 22, 44},    {114, 22, 44},    {115, 65, 32}, {116, 133, 166}};
    for (const Expected& image : images) {
        const std::unique_ptr<PixMemBitmap> bitmap = LoadPngResource(image.id);
        ASSERT_TRUE(bitmap) << image.id;
        EXPECT_EQ(bitmap->Width(), image.width) << image.id;
        EXPECT_EQ(bitmap->Height(), image.height) << image.id;
    }
    EXPECT_EQ(LoadPngResource(100), nullptr);
    EXPECT_EQ(LoadPngResource(117), nullptr);
    // The backgrounds are opaque; knob frames have transparent corners.
    EXPECT_EQ(LoadPngResource(101)->Row(300)[500] >> 24, 0xFFu);
    EXPECT_EQ(LoadPngResource(104)->Row(0)[0] >> 24, 0u);
}

}  // namespace
