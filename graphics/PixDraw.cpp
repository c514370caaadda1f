#include "graphics/PixDraw.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kHalfMask = 0x7F7F7F7Fu;
constexpr std::uint32_t kQuarterMask = 0x3F3F3F3Fu;

int Channel(std::uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & 0xFF);
}

std::uint32_t Pack(int a, int r, int g, int b)
{
    return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(r) << 16 |
           static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
}

// The integer weight of a float weight, at most 256.
int Weight(float alpha)
{
    return std::min(static_cast<int>(alpha * 256.0f), 256);
}

// d moved towards s by weight w (1..255): s + (d - s) * (256 - w) / 256 per
// channel, alpha included.
std::uint32_t CopyWeighted(std::uint32_t d, std::uint32_t s, int w)
{
    int out[4];
    for (int i = 0; i < 4; ++i) {
        const int sc = Channel(s, 8 * i);
        out[i] = sc + (Channel(d, 8 * i) - sc) * (256 - w) / 256;
    }
    return Pack(out[3], out[2], out[1], out[0]);
}

std::uint32_t CopySourceAlpha(std::uint32_t d, std::uint32_t s, int w)
{
    const int a = Channel(s, 24);
    if (a == 0) {
        return d;
    }
    const int da = Channel(d, 24);
    int out[3];
    if (w >= 256) {
        if (a == 255) {
            return s | 0xFF000000u;
        }
        for (int i = 0; i < 3; ++i) {
            const int sc = Channel(s, 8 * i);
            out[i] = sc + (Channel(d, 8 * i) - sc) * (255 - a) / 256;
        }
        return Pack(std::min(255, a + da), out[2], out[1], out[0]);
    }
    const int l = w * (a + 1) / 256;
    for (int i = 0; i < 3; ++i) {
        const int sc = Channel(s, 8 * i);
        out[i] = sc + (Channel(d, 8 * i) - sc) * (256 - l) / 256;
    }
    return Pack(std::min(255, l + da), out[2], out[1], out[0]);
}

std::uint32_t Add(std::uint32_t d, std::uint32_t s, int w, bool sourceAlpha)
{
    const int a = Channel(s, 24);
    if (sourceAlpha && a == 0) {
        return d;
    }
    const int f = sourceAlpha ? w * (a + 1) / 256 : w;
    int out[3];
    for (int i = 0; i < 3; ++i) {
        out[i] = std::min(255, Channel(d, 8 * i) + f * Channel(s, 8 * i) / 256);
    }
    return Pack(std::min(255, Channel(d, 24) + a * f / 256), out[2], out[1], out[0]);
}

std::uint32_t Dodge(std::uint32_t d, std::uint32_t s, int w, bool sourceAlpha)
{
    const int e = sourceAlpha ? w * (Channel(s, 24) + 1) / 256 : w;
    int out[4];
    for (int i = 0; i < 4; ++i) {
        const int k = Channel(s, 8 * i) * e / 256;
        const int dc = Channel(d, 8 * i);
        out[i] = std::min(255, k > 254 ? dc * 256 : dc * 256 / (256 - k));
    }
    return Pack(out[3], out[2], out[1], out[0]);
}

// One pixel of a blend other than the row-parallel copies.
std::uint32_t Blend(std::uint32_t d, std::uint32_t s, int w, unsigned mode)
{
    const bool sourceAlpha = (mode & kPixSourceAlpha) != 0;
    switch (mode & 0xFF) {
        case kPixCopy:
            return sourceAlpha ? CopySourceAlpha(d, s, w) : CopyWeighted(d, s, w);
        case kPixAdd:
            return Add(d, s, w, sourceAlpha);
        case kPixDodge:
            return Dodge(d, s, w, sourceAlpha);
        default:
            // Modes nothing here uses draw nothing.
            return d;
    }
}

bool HasPixels(PixBitmap* bitmap)
{
    return bitmap != nullptr && bitmap->Bits() != nullptr && bitmap->Width() > 0 && bitmap->Height() > 0;
}

// Row y of bitmap, top-down whatever the storage order.
std::uint32_t* RowOf(PixBitmap* bitmap, int y)
{
    return bitmap->IsFlipped() ? bitmap->Row(bitmap->Height() - 1 - y) : bitmap->Row(y);
}

void FillSpan(std::uint32_t* row, int count, std::uint32_t colour, int w, unsigned mode)
{
    if ((mode & 0xFF) != kPixCopy) {
        for (int i = 0; i < count; ++i) {
            row[i] = Blend(row[i], colour, w, mode);
        }
        return;
    }
    switch (w) {
        case 256:
            std::fill_n(row, count, colour);
            return;
        case 128:
            for (int i = 0; i < count; ++i) {
                row[i] = ((colour >> 1) & kHalfMask) + ((row[i] >> 1) & kHalfMask);
            }
            return;
        case 64:
            for (int i = 0; i < count; ++i) {
                row[i] = ((row[i] >> 1) & kHalfMask) + ((row[i] >> 2) & kQuarterMask) +
                         ((colour >> 2) & kQuarterMask);
            }
            return;
        case 192:
            for (int i = 0; i < count; ++i) {
                row[i] = ((colour >> 2) & kQuarterMask) + ((colour >> 1) & kHalfMask) +
                         ((row[i] >> 2) & kQuarterMask);
            }
            return;
        default:
            break;
    }
    const int colourChannels[3] = {Channel(colour, 0), Channel(colour, 8), Channel(colour, 16)};
    for (int i = 0; i < count; ++i) {
        const std::uint32_t d = row[i];
        int out[3];
        for (int c = 0; c < 3; ++c) {
            out[c] = (Channel(d, 8 * c) - colourChannels[c]) * (256 - w) / 256 + colourChannels[c];
        }
        const int a = w + (Channel(d, 24) - w) * (256 - w) / 256;
        row[i] = Pack(a, out[2], out[1], out[0]);
    }
}

// The fill weight, with the colour's alpha applied under kPixSourceAlpha; 0
// draws nothing.
int FillWeight(std::uint32_t colour, float alpha, unsigned mode)
{
    if ((mode & kPixSourceAlpha) != 0) {
        alpha *= static_cast<float>(colour >> 24) / 255.0f;
    }
    return alpha > 0.0f ? Weight(alpha) : 0;
}

}  // namespace

void Blit(PixBitmap* destination, PixBitmap* source, int dx, int dy, const PixRect* sourceRect, float alpha,
          unsigned mode)
{
    if (!HasPixels(destination) || !HasPixels(source) || !(alpha > 0.0f)) {
        return;
    }
    PixRect window{0, 0, source->Width(), source->Height()};
    if (sourceRect != nullptr) {
        window = *sourceRect;
        window.right = std::min(window.right, source->Width());
        window.bottom = std::min(window.bottom, source->Height());
        if (window.left < 0) {
            dx -= window.left;
            window.left = 0;
        }
        if (window.top < 0) {
            dy -= window.top;
            window.top = 0;
        }
    }
    if (dx < 0) {
        window.left -= dx;
        dx = 0;
    }
    if (dy < 0) {
        window.top -= dy;
        dy = 0;
    }
    if (window.Width() <= 0 || window.Height() <= 0 || dx >= destination->Width() ||
        dy >= destination->Height()) {
        return;
    }
    const int width = std::min(window.Width(), destination->Width() - dx);
    const int height = std::min(window.Height(), destination->Height() - dy);
    const int w = Weight(alpha);
    if (w < 1) {
        return;
    }
    for (int y = 0; y < height; ++y) {
        std::uint32_t* d = RowOf(destination, dy + y) + dx;
        const std::uint32_t* s = RowOf(source, window.top + y) + window.left;
        if (mode == kPixCopy && w == 256) {
            std::memmove(d, s, static_cast<std::size_t>(width) * sizeof(std::uint32_t));
        } else if (mode == kPixCopy && alpha == 0.5f) {
            for (int x = 0; x < width; ++x) {
                d[x] = ((d[x] >> 1) & kHalfMask) + ((s[x] >> 1) & kHalfMask);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                d[x] = Blend(d[x], s[x], w, mode);
            }
        }
    }
}

void FillRect(PixBitmap* bitmap, int x, int y, int w, int h, std::uint32_t colour, float alpha, unsigned mode)
{
    const int weight = FillWeight(colour, alpha, mode);
    if (weight < 1 || !HasPixels(bitmap) || w <= 0 || h <= 0) {
        return;
    }
    if (x < 0) {
        w += x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        y = 0;
    }
    w = std::min(w, bitmap->Width() - x);
    h = std::min(h, bitmap->Height() - y);
    if (w <= 0 || h <= 0) {
        return;
    }
    for (int row = y; row < y + h; ++row) {
        FillSpan(RowOf(bitmap, row) + x, w, colour, weight, mode);
    }
}

void FillCircle(PixBitmap* bitmap, float cx, float cy, float r, std::uint32_t colour, float alpha,
                unsigned mode)
{
    const int weight = FillWeight(colour, alpha, mode);
    if (weight < 1 || !HasPixels(bitmap) || r < 0.0f) {
        return;
    }
    const int x0 = static_cast<int>(cx + 0.5f);
    const int y0 = static_cast<int>(cy + 0.5f);
    const int radius = static_cast<int>(r + 0.5f);
    const int width = bitmap->Width();
    const int height = bitmap->Height();
    if (x0 + radius < -2 || x0 - radius > width + 2 || y0 + radius < -2 || y0 - radius > height + 2) {
        return;
    }
    // Midpoint circle: the half width of every row from the centre, so that
    // each row is filled exactly once.
    std::vector<int> half(static_cast<std::size_t>(radius) + 1, 0);
    int px = radius;
    int py = 0;
    int error = 1 - radius;
    while (px >= py) {
        half[static_cast<std::size_t>(py)] = std::max(half[static_cast<std::size_t>(py)], px);
        half[static_cast<std::size_t>(px)] = std::max(half[static_cast<std::size_t>(px)], py);
        ++py;
        if (error < 0) {
            error += 2 * py + 1;
        } else {
            --px;
            error += 2 * (py - px) + 1;
        }
    }
    auto span = [&](int row, int halfWidth) {
        if (row < 0 || row >= height) {
            return;
        }
        const int left = std::max(x0 - halfWidth, 0);
        const int right = std::min(x0 + halfWidth, width - 1);
        if (right >= left) {
            FillSpan(RowOf(bitmap, row) + left, right - left + 1, colour, weight, mode);
        }
    };
    span(y0, half[0]);
    for (int dy = 1; dy <= radius; ++dy) {
        span(y0 - dy, half[static_cast<std::size_t>(dy)]);
        span(y0 + dy, half[static_cast<std::size_t>(dy)]);
    }
}
