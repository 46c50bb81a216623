// Source pictures for the encoder tests: a 24-bit DIB section filled by a pixel function and
// selected into a memory context, as a caller hands the encoder its device context.
#pragma once

#include "platform/device_context.h"
#include "platform/dib.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace tav::test {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

class SourcePicture {
public:
    SourcePicture(int width, int height, const std::function<Rgb(int x, int y)>& pixel)
        : m_dc(CreateCompatibleDC(nullptr))
    {
        const BITMAPINFO info = makeBitmapInfo(width, height, 24);
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc.get(), &info, DIB_RGB_COLORS, &bits);
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = m_bitmap->row(y);
            for (int x = 0; x < width; ++x) {
                const Rgb p = pixel(x, y);
                row[3 * x] = p.b;
                row[3 * x + 1] = p.g;
                row[3 * x + 2] = p.r;
            }
        }
        m_previous = SelectObject(m_dc.get(), m_bitmap.get());
    }
    ~SourcePicture()
    {
        if (m_previous)
            SelectObject(m_dc.get(), m_previous);
    }

    HDC hdc() const { return m_dc.get(); }
    const DIBSection& bitmap() const { return *m_bitmap; }
    Rgb at(int x, int y) const
    {
        const std::uint8_t* p = m_bitmap->row(y) + 3 * x;
        return {p[2], p[1], p[0]};
    }

private:
    std::unique_ptr<DeviceContext> m_dc;
    std::unique_ptr<DIBSection> m_bitmap;
    HBITMAP m_previous = nullptr;
};

}  // namespace tav::test
