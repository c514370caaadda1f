#include "graphics/PixBitmap.h"

#include <new>

namespace {

constexpr std::size_t kAlignment = 64;

}  // namespace

std::intptr_t PixBitmap::Extended(int, void*)
{
    return 0;
}

PixMemBitmap::PixMemBitmap(int width, int height)
{
    SetSize(width, height);
}

std::uint32_t* PixMemBitmap::Bits()
{
    if (!m_buffer) {
        return nullptr;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(m_buffer.get());
    const std::uintptr_t aligned = (start + kAlignment - 1) & ~std::uintptr_t{kAlignment - 1};
    return reinterpret_cast<std::uint32_t*>(m_buffer.get() + (aligned - start));
}

std::unique_ptr<std::uint8_t[]> PixMemBitmap::Allocate(std::size_t bytes)
{
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes + kAlignment - 1]);
}

bool PixMemBitmap::SetSize(int width, int height)
{
    if (width == m_width && height == m_height) {
        return false;
    }
    m_width = width;
    m_height = height;
    const std::size_t needed =
        width > 0 && height > 0 ? static_cast<std::size_t>(height) * static_cast<std::size_t>(RowSpan()) * 4
                                : 0;
    if (needed == 0) {
        m_buffer.reset();
        m_capacity = 0;
    } else if (!m_buffer) {
        m_buffer = Allocate(needed);
        m_capacity = m_buffer ? needed : 0;
    } else if (m_capacity < needed) {
        const std::size_t grown = needed / 4 * 5;
        std::unique_ptr<std::uint8_t[]> buffer = Allocate(grown);
        if (buffer) {
            m_capacity = grown;
        } else {
            m_buffer.reset();
            buffer = Allocate(needed);
            m_capacity = buffer ? needed : 0;
        }
        m_buffer = std::move(buffer);
    }
    if (!m_buffer) {
        m_width = 0;
        m_height = 0;
    }
    return true;
}
