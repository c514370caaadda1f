// 32-bit bitmaps: one word per pixel, alpha << 24 | red << 16 | green << 8 |
// blue (in memory blue, green, red, alpha), straight alpha.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class PixBitmap {
public:
    virtual ~PixBitmap() = default;

    // The first pixel word, or null when there is no storage.
    virtual std::uint32_t* Bits() = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Pixel words from one row to the next.
    virtual int RowSpan() const = 0;
    // Whether rows are stored bottom-up.
    virtual bool IsFlipped() const { return false; }
    // True when storage or size changed.
    virtual bool SetSize(int width, int height) = 0;
    // The native drawing context of the bitmap, or null.
    virtual void* DrawingContext() { return nullptr; }
    // Extension query; answers 0 for every id.
    virtual std::intptr_t Extended(int id, void* data);

    std::uint32_t* Row(int y) { return Bits() + static_cast<std::ptrdiff_t>(y) * RowSpan(); }
};

// A bitmap in heap memory. Rows span (width + 3) & ~3 pixels (multiples of
// 16 bytes) and the first pixel is 64-byte aligned. The buffer grows by a
// quarter beyond what is needed, so that a bitmap resized often does not
// reallocate each time.
class PixMemBitmap final : public PixBitmap {
public:
    // A size of 0 or less in either direction allocates nothing.
    PixMemBitmap(int width = 0, int height = 0);

    std::uint32_t* Bits() override;
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    int RowSpan() const override { return (m_width + 3) & ~3; }
    bool SetSize(int width, int height) override;
    // Buffer capacity in bytes (without the alignment slack).
    std::size_t Capacity() const { return m_capacity; }

private:
    // Allocates bytes plus the alignment slack; null when that fails.
    static std::unique_ptr<std::uint8_t[]> Allocate(std::size_t bytes);

    int m_width = 0;
    int m_height = 0;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_capacity = 0;
};
