// Memory-backed system bitmap: the window system half copies it to the
// window.
#include <new>

#include "graphics/PixSysBitmap.h"

struct PixSysBitmap::Native {
    std::unique_ptr<std::uint8_t[]> buffer;
};

namespace {

constexpr std::size_t kAlignment = 64;

}  // namespace

PixSysBitmap::PixSysBitmap(int width, int height) : m_native(std::make_unique<Native>())
{
    SetSize(width, height);
}

PixSysBitmap::~PixSysBitmap() = default;

void* PixSysBitmap::DrawingContext()
{
    return nullptr;
}

bool PixSysBitmap::HasContext() const
{
    return true;
}

void PixSysBitmap::Allocate()
{
    const std::size_t bytes =
        static_cast<std::size_t>(m_allocatedWidth) * static_cast<std::size_t>(m_allocatedHeight) * 4;
    m_native->buffer.reset(new (std::nothrow) std::uint8_t[bytes + kAlignment - 1]);
    if (!m_native->buffer) {
        return;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(m_native->buffer.get());
    const std::uintptr_t aligned = (start + kAlignment - 1) & ~std::uintptr_t{kAlignment - 1};
    m_pixels = reinterpret_cast<std::uint32_t*>(m_native->buffer.get() + (aligned - start));
}

void PixSysBitmap::Free()
{
    m_native->buffer.reset();
    m_pixels = nullptr;
}
