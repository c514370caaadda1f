#include "graphics/PixSysBitmap.h"

// Construction, destruction, the drawing context and the storage are the
// operating system's (win32/ and posix/ halves).

bool PixSysBitmap::SetSize(int width, int height)
{
    if (!HasContext()) {
        m_width = m_height = 0;
        return false;
    }
    if (width == m_width && height == m_height) {
        return false;
    }
    m_width = width;
    m_height = height;
    if (width > 0 && height > 0 && m_allocatedWidth >= width && m_allocatedHeight >= height && m_pixels) {
        return true;
    }
    m_allocatedWidth = width > 0 ? (width + 3) & ~3 : 0;
    m_allocatedHeight = height > 0 ? height : 0;
    Free();
    if (m_allocatedWidth < 1 || m_allocatedHeight < 1) {
        return false;
    }
    Allocate();
    return true;
}
