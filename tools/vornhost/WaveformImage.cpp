#include "tools/vornhost/WaveformImage.h"

#include <png.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Bound on the pictures read and written, 8192 x 8192 pixels.
constexpr int kMaxImageSide = 8192;

struct Colour {
    unsigned char r, g, b;
};
constexpr Colour kBackground{0, 0, 0};
constexpr Colour kAxis{64, 64, 64};
constexpr Colour kPeak{40, 110, 170};
constexpr Colour kRms{120, 200, 255};
constexpr Colour kClipped{255, 60, 40};

}  // namespace

RgbImage::RgbImage(int w, int h, unsigned char r, unsigned char g, unsigned char b)
    : width(std::max(w, 0)), height(std::max(h, 0))
{
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (std::size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = r;
        pixels[i + 1] = g;
        pixels[i + 2] = b;
    }
}

void RgbImage::Set(int x, int y, unsigned char r, unsigned char g, unsigned char b)
{
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return;
    }
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    pixels[at] = r;
    pixels[at + 1] = g;
    pixels[at + 2] = b;
}

bool ScanAudioFile(const std::string& path, int columns, WaveformColumns& result, std::string& error)
{
    result = WaveformColumns{};
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = "cannot read " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    constexpr int kMaxChannels = 64;
    if (info.channels <= 0 || info.channels > kMaxChannels || info.frames <= 0 || info.samplerate <= 0 ||
        columns <= 0 || columns > kMaxImageSide) {
        sf_close(file);
        error = path + ": no audio to draw";
        return false;
    }
    const auto channelCount = static_cast<std::size_t>(info.channels);
    const auto columnCount = static_cast<std::size_t>(columns);
    result.seconds = static_cast<double>(info.frames) / info.samplerate;
    result.channels.assign(channelCount, std::vector<WaveformColumn>(columnCount));
    std::vector<double> squares(channelCount * columnCount, 0.0);
    std::vector<std::int64_t> counts(columnCount, 0);

    constexpr sf_count_t kChunkFrames = 4096;
    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames) * channelCount);
    sf_count_t frame = 0;
    sf_count_t read = 0;
    while (frame < info.frames && (read = sf_readf_float(file, chunk.data(), kChunkFrames)) > 0) {
        for (sf_count_t i = 0; i < read && frame < info.frames; ++i, ++frame) {
            const auto column = static_cast<std::size_t>(frame * columns / info.frames);
            const bool first = counts[column]++ == 0;
            for (std::size_t c = 0; c < channelCount; ++c) {
                const float sample = chunk[static_cast<std::size_t>(i) * channelCount + c];
                WaveformColumn& cell = result.channels[c][column];
                cell.min = first ? sample : std::min(cell.min, sample);
                cell.max = first ? sample : std::max(cell.max, sample);
                squares[c * columnCount + column] += static_cast<double>(sample) * sample;
            }
        }
    }
    sf_close(file);
    for (std::size_t c = 0; c < channelCount; ++c) {
        for (std::size_t x = 0; x < columnCount; ++x) {
            if (counts[x] > 0) {
                result.channels[c][x].rms = static_cast<float>(
                    std::sqrt(squares[c * columnCount + x] / static_cast<double>(counts[x])));
            }
        }
    }
    return true;
}

RgbImage DrawWaveform(const WaveformColumns& columns, int width, int channelHeight, int left)
{
    const int channelCount = static_cast<int>(columns.channels.size());
    channelHeight = std::clamp(channelHeight, 8, kMaxImageSide / std::max(channelCount, 1));
    RgbImage image(std::clamp(width, 1, kMaxImageSide), channelHeight * channelCount, kBackground.r,
                   kBackground.g, kBackground.b);
    const int half = channelHeight / 2 - 2;
    auto row = [&](int centre, float value) {
        return centre -
               static_cast<int>(std::lround(std::clamp(value, -1.0f, 1.0f) * static_cast<float>(half)));
    };
    auto vertical = [&](int x, int from, int to, Colour colour) {
        for (int y = std::min(from, to); y <= std::max(from, to); ++y) {
            image.Set(x, y, colour.r, colour.g, colour.b);
        }
    };
    for (int c = 0; c < channelCount; ++c) {
        const int centre = c * channelHeight + channelHeight / 2;
        const std::vector<WaveformColumn>& cells = columns.channels[static_cast<std::size_t>(c)];
        for (int x = 0; x < image.width; ++x) {
            image.Set(x, centre, kAxis.r, kAxis.g, kAxis.b);
            image.Set(x, c * channelHeight, kAxis.r, kAxis.g, kAxis.b);  // separates the channels
        }
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const WaveformColumn& cell = cells[i];
            const int x = left + static_cast<int>(i);
            const bool clipped = cell.max >= 1.0f || cell.min <= -1.0f;
            vertical(x, row(centre, cell.min), row(centre, cell.max), clipped ? kClipped : kPeak);
            vertical(x, row(centre, -cell.rms), row(centre, cell.rms), kRms);
        }
    }
    return image;
}

RgbImage StackVertically(const RgbImage& top, const RgbImage& bottom)
{
    RgbImage image(std::max(top.width, bottom.width), top.height + bottom.height, kBackground.r,
                   kBackground.g, kBackground.b);
    auto copy = [&image](const RgbImage& part, int y0) {
        const auto rowBytes = static_cast<std::size_t>(part.width) * 3;
        for (int y = 0; y < part.height; ++y) {
            std::memcpy(
                &image.pixels[(static_cast<std::size_t>(y0 + y) * static_cast<std::size_t>(image.width)) * 3],
                &part.pixels[static_cast<std::size_t>(y) * rowBytes], rowBytes);
        }
    };
    copy(top, 0);
    copy(bottom, top.height);
    return image;
}

bool ReadPng(const std::string& path, RgbImage& image, std::string& error)
{
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = "cannot read " + path + ": " + png.message;
        return false;
    }
    if (png.width == 0 || png.height == 0 || png.width > kMaxImageSide || png.height > kMaxImageSide) {
        png_image_free(&png);
        error = path + ": image size out of range";
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    RgbImage result(static_cast<int>(png.width), static_cast<int>(png.height), 0, 0, 0);
    if (!png_image_finish_read(&png, nullptr, result.pixels.data(), 0, nullptr)) {
        error = "cannot decode " + path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    image = std::move(result);
    return true;
}

bool WritePng(const std::string& path, const RgbImage& image, std::string& error)
{
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    if (image.width <= 0 || image.height <= 0 ||
        !png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
        error = "cannot write " + path + (png.message[0] ? std::string(": ") + png.message : std::string());
        return false;
    }
    return true;
}
