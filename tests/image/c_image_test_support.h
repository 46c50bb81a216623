// Helpers for the cImage tests: bitmaps in contexts of their own, non-grey colour tables and a
// hashed pixel pattern that no mirror or turn maps onto itself.
#pragma once

#include "image/c_image.h"
#include "platform/device_context.h"
#include "platform/dib.h"
#include "platform/memory_surface.h"
#include "platform/transfer.h"
#include "tests/support/surface.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tav::test {

// Every entry distinct (the blue byte alone is a bijection of the index) and not a grey ramp,
// so a table that was kept can be told from one that was replaced.
inline std::vector<RGBQUAD> distinctPalette(int count)
{
    std::vector<RGBQUAD> table;
    for (int i = 0; i < count; ++i)
        table.push_back(RGBQUAD{std::uint8_t(i * 37 + 11), std::uint8_t(i * 91 + 7), std::uint8_t(i * 53 + 200), 0});
    return table;
}

inline std::vector<RGBQUAD> colorTableOf(HDC hdc)
{
    std::vector<RGBQUAD> table(256);
    table.resize(GetDIBColorTable(hdc, 0, 256, table.data()));
    return table;
}

inline COLORREF colorOf(const RGBQUAD& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

// A well-mixed 32-bit value per pixel position.
inline std::uint32_t pixelHash(int x, int y)
{
    std::uint32_t h = std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u ^ 0x9E3779B9u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// The pattern colour of (x, y) for a bitmap of `bits` whose table is `palette` (unused at 16
// bits and more). 16-bit pictures get only 0 and 255 per channel, which 5 bits keep exactly.
inline COLORREF patternColor(int x, int y, int bits, const std::vector<RGBQUAD>& palette)
{
    const std::uint32_t h = pixelHash(x, y);
    if (bits <= 8)
        return colorOf(palette[h % palette.size()]);
    if (bits == 16)
        return RGB((h & 1) ? 255 : 0, (h & 2) ? 255 : 0, (h & 4) ? 255 : 0);
    return RGB(std::uint8_t(h), std::uint8_t(h >> 8), std::uint8_t(h >> 16));
}

inline void fillPattern(HDC hdc, int width, int rows, int bits, const std::vector<RGBQUAD>& palette)
{
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(hdc, x, y, patternColor(x, y, bits, palette));
}

// A bitmap of any platform depth with `palette` as its colour table (biClrUsed set to its
// size), filled with the pattern. `height` negative makes it top-down.
inline std::unique_ptr<DIBSection> patternBitmap(int width, int height, int bits, const std::vector<RGBQUAD>& palette)
{
    BITMAPINFO bmi = makeBitmapInfo(width, height, bits);
    for (std::size_t i = 0; i < palette.size() && i < 256; ++i)
        bmi.bmiColors[i] = palette[i];
    if (bits <= 8)
        bmi.bmiHeader.biClrUsed = std::uint32_t(palette.size());
    auto bmp = DIBSection::create(bmi);
    const auto surface = MemorySurface::borrow(bmp.get());
    fillPattern(surface->hdc(), width, height < 0 ? -height : height, bits, palette);
    return bmp;
}

inline Surface patternSurface(int width, int height, int bits, const std::vector<RGBQUAD>& palette)
{
    Surface s{CreateCompatibleDC(nullptr), patternBitmap(width, height, bits, palette)};
    SelectObject(s.dc.get(), s.bmp.get());
    return s;
}

// The colour table a source of `bits` gets in these tests: distinct colours for indexed depths.
inline std::vector<RGBQUAD> paletteFor(int bits)
{
    return bits <= 8 ? distinctPalette(1 << bits) : std::vector<RGBQUAD>{};
}

// A cImage of the given size and depth with a distinct colour table and the pattern.
inline cImage patternImage(int width, int height, int bits)
{
    cImage image;
    image.Create(width, height, std::int16_t(bits));
    const std::vector<RGBQUAD> palette = paletteFor(bits);
    if (!palette.empty())
        SetDIBColorTable(image.hDC(), 0, unsigned(palette.size()), palette.data());
    fillPattern(image.hDC(), width, height < 0 ? -height : height, bits, palette);
    return image;
}

// Everything a transform must leave alone: size, depth, pixel bytes and colour table.
struct Snapshot {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int16_t bitCount = 0;
    std::vector<std::uint8_t> bytes;
    std::vector<RGBQUAD> colors;

    explicit Snapshot(const cImage& image)
        : width(image.Width()), height(image.Height()), bitCount(image.BitCount()), colors(colorTableOf(image.hDC()))
    {
        const std::size_t size = std::size_t(image.BytesPerScanLine()) * std::size_t(height < 0 ? -height : height);
        bytes.assign(image.DIBitsPtr(), image.DIBitsPtr() + size);
    }
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

}  // namespace tav::test
