// A memory context with one bitmap selected into it: what the program draws on and reads from.
// Made at a size and depth with a zeroed bitmap of its own, or lent an existing bitmap for as
// long as it lives. The bitmap leaves the context before either ends.
#pragma once

#include "device_context.h"
#include "dib.h"

#include <memory>

namespace tav {

class MemorySurface {
public:
    // A bitmap of the header's size, depth and colour table, zeroed, in a context compatible
    // with `compatible` (null: the screen). Null when either cannot be had.
    static std::unique_ptr<MemorySurface> create(const BITMAPINFO& info, HDC compatible = nullptr);
    static std::unique_ptr<MemorySurface> create(int width, int height, int bitCount);
    // A context holding `bitmap`, which stays the caller's and must outlive the surface. Null
    // when the bitmap is selected in another context.
    static std::unique_ptr<MemorySurface> borrow(HBITMAP bitmap, HDC compatible = nullptr);

    ~MemorySurface();
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;

    HDC hdc() const { return m_dc.get(); }
    const DIBSection& bitmap() const { return *m_bitmap; }
    DIBSection& bitmap() { return *m_bitmap; }
    int width() const { return m_bitmap->width(); }
    int height() const { return m_bitmap->height(); }

private:
    MemorySurface() = default;
    bool select(HBITMAP bitmap, HDC compatible);

    std::unique_ptr<DeviceContext> m_dc;
    std::unique_ptr<DIBSection> m_owned;  // null when the bitmap is borrowed
    DIBSection* m_bitmap = nullptr;
    HBITMAP m_previous = nullptr;
};

}  // namespace tav
