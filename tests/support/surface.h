// A memory context with a DIB section selected, for tests of anything that draws or reads pixels.
#pragma once

#include "platform/device_context.h"
#include "platform/dib.h"
#include "platform/memory_surface.h"
#include "platform/transfer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tav::test {

struct Surface {
    std::unique_ptr<DeviceContext> dc;
    std::unique_ptr<DIBSection> bmp;

    HDC hdc() const { return dc.get(); }
    COLORREF at(int x, int y) const { return GetPixel(dc.get(), x, y); }
    void set(int x, int y, COLORREF c) { SetPixel(dc.get(), x, y, c); }
};

// `height` negative makes a top-down bitmap; `colors` fills the colour table.
inline Surface makeSurface(int width, int height, int bits, const std::vector<RGBQUAD>& colors = {})
{
    BITMAPINFO bmi = makeBitmapInfo(width, height, bits);
    for (std::size_t i = 0; i < colors.size() && i < 256; ++i)
        bmi.bmiColors[i] = colors[i];
    if (!colors.empty())
        bmi.bmiHeader.biClrUsed = std::uint32_t(colors.size());
    Surface s{CreateCompatibleDC(nullptr), DIBSection::create(bmi)};
    SelectObject(s.dc.get(), s.bmp.get());
    return s;
}

inline std::vector<RGBQUAD> greyRamp(int count)
{
    std::vector<RGBQUAD> table;
    for (int i = 0; i < count; ++i) {
        const auto v = std::uint8_t(i * 255 / (count - 1));
        table.push_back(RGBQUAD{v, v, v, 0});
    }
    return table;
}

}  // namespace tav::test
