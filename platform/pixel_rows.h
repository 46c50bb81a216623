// Per-format pixel primitives: reading a run of pixels of one row as colours or as raw pixel
// values, writing raw values back, and mapping a colour to the raw value of a format.
//
// Colours here are 0x00RRGGBB (the byte order of a 24-bit pixel read as a little-endian
// word). Raw values are what the pixel's bits hold: a colour-table index at 1, 4 and 8 bits,
// the 5-5-5 word at 16, 0x00RRGGBB at 24 and 32. Sub-byte pixels are packed from the most
// significant bits of each byte. The format is decided once per call, not per pixel.
#pragma once

#include "colour_match.h"
#include "dib.h"

#include <cstdint>
#include <optional>

namespace tav {

inline constexpr std::uint32_t rgbFromQuad(const RGBQUAD& q)
{
    return (std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
}
inline constexpr COLORREF colorRefFromRgb(std::uint32_t rgb)
{
    return RGB(std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb));
}
inline constexpr std::uint32_t rgbFromColorRef(COLORREF c)
{
    return (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

// Pixels x .. x + n - 1 of row y (from the top); the run must lie inside the bitmap.
void readRgbRow(const DIBSection& bmp, int y, int x, int n, std::uint32_t* rgb);
void readRawRow(const DIBSection& bmp, int y, int x, int n, std::uint32_t* raw);
void writeRawRow(DIBSection& bmp, int y, int x, int n, const std::uint32_t* raw);

// The colour a raw value of `bmp`'s format shows.
std::uint32_t rgbFromRaw(const DIBSection& bmp, std::uint32_t raw);

// The raw value of `bmp`'s format nearest to a colour (no cache: for single pixels).
std::uint32_t rawFromRgb(const DIBSection& bmp, std::uint32_t rgb);

// Maps colours to raw values of one bitmap's format (nearest colour for indexed formats).
class PixelEncoder {
public:
    explicit PixelEncoder(const DIBSection& bmp);
    std::uint32_t raw(std::uint32_t rgb);
    void encodeRow(const std::uint32_t* rgb, int n, std::uint32_t* raw);
    // All bits of one pixel set, for WHITENESS and NOTSRCCOPY.
    std::uint32_t allBits() const { return m_allBits; }

private:
    int m_bitCount;
    std::uint32_t m_allBits;
    std::optional<NearestColorCache> m_cache;
};

}  // namespace tav
