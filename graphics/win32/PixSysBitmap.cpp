// System bitmap as a device-independent section in a memory device context,
// so that GDI can draw text into the same pixels.
#include <windows.h>

#include "graphics/PixSysBitmap.h"

struct PixSysBitmap::Native {
    HDC context = nullptr;
    HBITMAP section = nullptr;
    HGDIOBJ replaced = nullptr;  // what the section replaced in the context
};

PixSysBitmap::PixSysBitmap(int width, int height) : m_native(std::make_unique<Native>())
{
    m_native->context = CreateCompatibleDC(nullptr);
    SetSize(width, height);
}

PixSysBitmap::~PixSysBitmap()
{
    Free();
    if (m_native->context != nullptr) {
        DeleteDC(m_native->context);
    }
}

void* PixSysBitmap::DrawingContext()
{
    return m_native->context;
}

bool PixSysBitmap::HasContext() const
{
    return m_native->context != nullptr;
}

void PixSysBitmap::Allocate()
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = m_allocatedWidth;
    // Negative: rows top-down.
    info.bmiHeader.biHeight = IsFlipped() ? m_allocatedHeight : -m_allocatedHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(m_native->context, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr) {
        if (section != nullptr) {
            DeleteObject(section);
        }
        return;
    }
    m_native->section = section;
    m_native->replaced = SelectObject(m_native->context, section);
    m_pixels = static_cast<std::uint32_t*>(bits);
}

void PixSysBitmap::Free()
{
    if (m_native->section != nullptr) {
        SelectObject(m_native->context, m_native->replaced);
        DeleteObject(m_native->section);
        m_native->section = nullptr;
        m_native->replaced = nullptr;
    }
    m_pixels = nullptr;
}
