#include "memory_surface.h"

namespace tav {

std::unique_ptr<MemorySurface> MemorySurface::create(const BITMAPINFO& info, HDC compatible)
{
    std::unique_ptr<MemorySurface> surface(new MemorySurface);
    surface->m_owned = DIBSection::create(info);
    if (!surface->m_owned || !surface->select(surface->m_owned.get(), compatible))
        return nullptr;
    return surface;
}

std::unique_ptr<MemorySurface> MemorySurface::create(int width, int height, int bitCount)
{
    return create(makeBitmapInfo(width, height, bitCount));
}

std::unique_ptr<MemorySurface> MemorySurface::borrow(HBITMAP bitmap, HDC compatible)
{
    std::unique_ptr<MemorySurface> surface(new MemorySurface);
    if (!bitmap || !surface->select(bitmap, compatible))
        return nullptr;
    return surface;
}

bool MemorySurface::select(HBITMAP bitmap, HDC compatible)
{
    m_dc = CreateCompatibleDC(compatible);
    m_previous = m_dc ? SelectObject(m_dc.get(), bitmap) : nullptr;
    if (!m_previous)
        return false;
    m_bitmap = bitmap;
    return true;
}

MemorySurface::~MemorySurface()
{
    if (m_previous)
        SelectObject(m_dc.get(), m_previous);
}

}  // namespace tav
