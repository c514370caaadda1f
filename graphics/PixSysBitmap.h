// The bitmap the editor draws into and copies to its window. On Windows a
// 32-bit top-down device-independent section selected into a memory device
// context (so native text can be drawn into it); elsewhere 64-byte aligned
// memory with the same interface, which the window system half copies out.
// Rows span the allocated width, (width + 3) & ~3 pixels when last grown; the
// storage is kept while the bitmap shrinks.
#pragma once

#include <memory>

#include "graphics/PixBitmap.h"

class PixSysBitmap final : public PixBitmap {
public:
    PixSysBitmap(int width = 0, int height = 0);
    ~PixSysBitmap() override;
    PixSysBitmap(const PixSysBitmap&) = delete;
    PixSysBitmap& operator=(const PixSysBitmap&) = delete;

    std::uint32_t* Bits() override { return m_pixels; }
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    int RowSpan() const override { return m_allocatedWidth; }
    bool SetSize(int width, int height) override;
    // The memory device context on Windows; null elsewhere.
    void* DrawingContext() override;

private:
    // Operating-system storage (win32/ and posix/ halves).
    struct Native;
    // Whether the device context exists (always, away from Windows).
    bool HasContext() const;
    // Makes pixels of the allocated size (none when that fails), and frees
    // them.
    void Allocate();
    void Free();

    std::unique_ptr<Native> m_native;
    int m_width = 0;
    int m_height = 0;
    int m_allocatedWidth = 0;
    int m_allocatedHeight = 0;
    std::uint32_t* m_pixels = nullptr;
};
