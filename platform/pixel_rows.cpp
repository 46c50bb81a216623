// Per-format pixel primitives. 16-bit pixels are 5-5-5 (the BI_RGB layout); a 5-bit channel
// widens to 8 bits by repeating its top bits ((v << 3) | (v >> 2)), so 31 gives 255, and
// narrows by dropping the low three bits.
#include "pixel_rows.h"

#include <cstring>

namespace tav {

namespace {

std::uint32_t expand555(std::uint32_t w)
{
    const std::uint32_t r = (w >> 10) & 31, g = (w >> 5) & 31, b = w & 31;
    return (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
}

std::uint32_t pack555(std::uint32_t rgb)
{
    return (((rgb >> 19) & 31) << 10) | (((rgb >> 11) & 31) << 5) | ((rgb >> 3) & 31);
}

// Indexed pixels of `bits` bits packed from the most significant end of each byte.
template <int Bits>
void readPacked(const std::uint8_t* row, int x, int n, std::uint32_t* out)
{
    constexpr int perByte = 8 / Bits;
    constexpr std::uint32_t mask = (1u << Bits) - 1;
    for (int i = 0; i < n; ++i) {
        const int px = x + i;
        const int shift = 8 - Bits * (px % perByte + 1);
        out[i] = (row[px / perByte] >> shift) & mask;
    }
}

template <int Bits>
void writePacked(std::uint8_t* row, int x, int n, const std::uint32_t* in)
{
    constexpr int perByte = 8 / Bits;
    constexpr std::uint32_t mask = (1u << Bits) - 1;
    for (int i = 0; i < n; ++i) {
        const int px = x + i;
        const int shift = 8 - Bits * (px % perByte + 1);
        std::uint8_t& byte = row[px / perByte];
        byte = std::uint8_t((byte & ~(mask << shift)) | ((in[i] & mask) << shift));
    }
}

}  // namespace

void readRawRow(const DIBSection& bmp, int y, int x, int n, std::uint32_t* raw)
{
    const std::uint8_t* row = bmp.row(y);
    switch (bmp.bitCount()) {
    case 1: readPacked<1>(row, x, n, raw); break;
    case 4: readPacked<4>(row, x, n, raw); break;
    case 8:
        for (int i = 0; i < n; ++i)
            raw[i] = row[x + i];
        break;
    case 16:
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* p = row + 2 * (x + i);
            raw[i] = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8);
        }
        break;
    case 24:
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* p = row + 3 * (x + i);
            raw[i] = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
        }
        break;
    default:
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* p = row + 4 * (x + i);
            raw[i] = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
        }
        break;
    }
}

void readRgbRow(const DIBSection& bmp, int y, int x, int n, std::uint32_t* rgb)
{
    readRawRow(bmp, y, x, n, rgb);
    switch (bmp.bitCount()) {
    case 1:
    case 4:
    case 8: {
        const RGBQUAD* table = bmp.colorTable();
        const int count = bmp.colorCount();
        // An index past a short colour table shows black.
        for (int i = 0; i < n; ++i)
            rgb[i] = int(rgb[i]) < count ? rgbFromQuad(table[rgb[i]]) : 0;
        break;
    }
    case 16:
        for (int i = 0; i < n; ++i)
            rgb[i] = expand555(rgb[i]);
        break;
    default: break;
    }
}

void writeRawRow(DIBSection& bmp, int y, int x, int n, const std::uint32_t* raw)
{
    std::uint8_t* row = bmp.row(y);
    switch (bmp.bitCount()) {
    case 1: writePacked<1>(row, x, n, raw); break;
    case 4: writePacked<4>(row, x, n, raw); break;
    case 8:
        for (int i = 0; i < n; ++i)
            row[x + i] = std::uint8_t(raw[i]);
        break;
    case 16:
        for (int i = 0; i < n; ++i) {
            std::uint8_t* p = row + 2 * (x + i);
            p[0] = std::uint8_t(raw[i]);
            p[1] = std::uint8_t(raw[i] >> 8);
        }
        break;
    case 24:
        for (int i = 0; i < n; ++i) {
            std::uint8_t* p = row + 3 * (x + i);
            p[0] = std::uint8_t(raw[i]);
            p[1] = std::uint8_t(raw[i] >> 8);
            p[2] = std::uint8_t(raw[i] >> 16);
        }
        break;
    default:
        for (int i = 0; i < n; ++i) {
            std::uint8_t* p = row + 4 * (x + i);
            p[0] = std::uint8_t(raw[i]);
            p[1] = std::uint8_t(raw[i] >> 8);
            p[2] = std::uint8_t(raw[i] >> 16);
            p[3] = 0;
        }
        break;
    }
}

std::uint32_t rgbFromRaw(const DIBSection& bmp, std::uint32_t raw)
{
    switch (bmp.bitCount()) {
    case 1:
    case 4:
    case 8: return int(raw) < bmp.colorCount() ? rgbFromQuad(bmp.colorTable()[raw]) : 0;
    case 16: return expand555(raw);
    default: return raw & 0xFFFFFF;
    }
}

std::uint32_t rawFromRgb(const DIBSection& bmp, std::uint32_t rgb)
{
    switch (bmp.bitCount()) {
    case 1:
    case 4:
    case 8: return std::uint32_t(nearestColorIndex(bmp.colorTable(), bmp.colorCount(), rgb));
    case 16: return pack555(rgb);
    default: return rgb & 0xFFFFFF;
    }
}

PixelEncoder::PixelEncoder(const DIBSection& bmp)
    : m_bitCount(bmp.bitCount()), m_allBits(bmp.bitCount() >= 32 ? 0xFFFFFF : (1u << bmp.bitCount()) - 1)
{
    if (m_bitCount <= 8)
        m_cache.emplace(bmp.colorTable(), bmp.colorCount());
    if (m_bitCount == 16)
        m_allBits = 0x7FFF;
    if (m_bitCount == 24)
        m_allBits = 0xFFFFFF;
}

std::uint32_t PixelEncoder::raw(std::uint32_t rgb)
{
    switch (m_bitCount) {
    case 1:
    case 4:
    case 8: return std::uint32_t(m_cache->index(rgb));
    case 16: return pack555(rgb);
    default: return rgb & 0xFFFFFF;
    }
}

void PixelEncoder::encodeRow(const std::uint32_t* rgb, int n, std::uint32_t* raw)
{
    switch (m_bitCount) {
    case 1:
    case 4:
    case 8:
        for (int i = 0; i < n; ++i)
            raw[i] = std::uint32_t(m_cache->index(rgb[i]));
        break;
    case 16:
        for (int i = 0; i < n; ++i)
            raw[i] = pack555(rgb[i]);
        break;
    default:
        if (raw != rgb)
            std::memcpy(raw, rgb, sizeof(std::uint32_t) * std::size_t(n));
        break;
    }
}

}  // namespace tav
