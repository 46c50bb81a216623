// DIB sections: creation from a BITMAPINFO, the row-stride rule and colour-table access.
#include "dib.h"

#include "device_context.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tav {

namespace {

bool supportedBitCount(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

std::int64_t DibStride(std::int64_t width, int bitCount)
{
    if (width < 0 || bitCount <= 0)
        return -1;
    const std::int64_t stride = (width * bitCount + 31) / 32 * 4;
    return stride > std::numeric_limits<std::int32_t>::max() ? -1 : stride;
}

bool DIBSection::init(const BITMAPINFO& bmi, int rows)
{
    const BITMAPINFOHEADER& h = bmi.bmiHeader;
    if (h.biCompression != BI_RGB || !supportedBitCount(h.biBitCount) || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == std::numeric_limits<std::int32_t>::min())
        return false;
    const std::int64_t stride = DibStride(h.biWidth, h.biBitCount);
    const std::int64_t height = h.biHeight < 0 ? -std::int64_t(h.biHeight) : h.biHeight;
    // The image size must fit the header's 32-bit field.
    if (stride < 0 || stride * height > std::numeric_limits<std::int32_t>::max())
        return false;
    if (rows < 0)
        rows = int(height);

    m_header = h;
    m_header.biSize = sizeof(BITMAPINFOHEADER);
    m_header.biHeight = h.biHeight < 0 ? -rows : rows;
    m_header.biSizeImage = std::uint32_t(stride * rows);
    m_width = h.biWidth;
    m_height = rows;
    m_bitCount = h.biBitCount;
    m_stride = int(stride);
    m_topDown = h.biHeight < 0;
    if (m_bitCount <= 8) {
        const int full = 1 << m_bitCount;
        m_colorCount = h.biClrUsed > 0 && h.biClrUsed < std::uint32_t(full) ? int(h.biClrUsed) : full;
        std::copy_n(bmi.bmiColors, m_colorCount, m_colors);
        m_header.biClrUsed = std::uint32_t(m_colorCount);
    } else {
        m_header.biClrUsed = 0;
    }
    return true;
}

std::unique_ptr<DIBSection> DIBSection::create(const BITMAPINFO& bmi)
{
    std::unique_ptr<DIBSection> dib(new DIBSection);
    if (!dib->init(bmi, -1))
        return nullptr;
    // The platform hands out zeroed pixel memory.
    dib->m_memory = static_cast<std::uint8_t*>(std::calloc(std::max<std::size_t>(dib->sizeImage(), 1), 1));
    if (!dib->m_memory)
        return nullptr;
    dib->m_owned = true;
    dib->m_top = dib->m_topDown ? dib->m_memory : dib->m_memory + std::ptrdiff_t(dib->m_height - 1) * dib->m_stride;
    dib->m_topStride = dib->m_topDown ? dib->m_stride : -std::ptrdiff_t(dib->m_stride);
    return dib;
}

std::unique_ptr<DIBSection> DIBSection::wrap(const BITMAPINFO& bmi, void* bits, int rows)
{
    if (!bits || rows <= 0)
        return nullptr;
    std::unique_ptr<DIBSection> dib(new DIBSection);
    if (!dib->init(bmi, rows))
        return nullptr;
    dib->m_memory = static_cast<std::uint8_t*>(bits);
    dib->m_top = dib->m_topDown ? dib->m_memory : dib->m_memory + std::ptrdiff_t(dib->m_height - 1) * dib->m_stride;
    dib->m_topStride = dib->m_topDown ? dib->m_stride : -std::ptrdiff_t(dib->m_stride);
    return dib;
}

DIBSection::~DIBSection()
{
    // A bitmap destroyed while selected leaves its context holding the stock bitmap, never a
    // dangling one.
    if (m_selectedIn)
        SelectObject(m_selectedIn, stockBitmap());
    if (m_owned)
        std::free(m_memory);
}

std::unique_ptr<DIBSection> CreateDIBSection(HDC, const BITMAPINFO* pbmi, unsigned usage, void** ppvBits)
{
    if (ppvBits)
        *ppvBits = nullptr;
    if (!pbmi || usage != DIB_RGB_COLORS)
        return nullptr;
    auto dib = DIBSection::create(*pbmi);
    if (dib && ppvBits)
        *ppvBits = dib->bits();
    return dib;
}

int GetObject(HBITMAP hbm, int cb, BITMAP* out)
{
    if (!hbm || !out || cb < int(sizeof(BITMAP)))
        return 0;
    *out = BITMAP{};
    out->bmWidth = hbm->width();
    out->bmHeight = hbm->height();
    out->bmWidthBytes = hbm->stride();
    out->bmPlanes = 1;
    out->bmBitsPixel = std::uint16_t(hbm->bitCount());
    out->bmBits = hbm->bits();
    return int(sizeof(BITMAP));
}

unsigned GetDIBColorTable(HDC hdc, unsigned start, unsigned count, RGBQUAD* colors)
{
    if (!hdc || !hdc->bitmap() || !colors)
        return 0;
    const DIBSection& bmp = *hdc->bitmap();
    if (start >= unsigned(bmp.colorCount()))
        return 0;
    const unsigned n = std::min(count, unsigned(bmp.colorCount()) - start);
    std::copy_n(bmp.colorTable() + start, n, colors);
    return n;
}

unsigned SetDIBColorTable(HDC hdc, unsigned start, unsigned count, const RGBQUAD* colors)
{
    if (!hdc || !hdc->bitmap() || !colors)
        return 0;
    DIBSection& bmp = *hdc->bitmap();
    if (start >= unsigned(bmp.colorCount()))
        return 0;
    const unsigned n = std::min(count, unsigned(bmp.colorCount()) - start);
    std::copy_n(colors, n, bmp.colorTable() + start);
    return n;
}

std::unique_ptr<DIBSection> copyOf(const DIBSection& bmp)
{
    BITMAPINFO bmi{};
    bmi.bmiHeader = bmp.header();
    std::copy_n(bmp.colorTable(), bmp.colorCount(), bmi.bmiColors);
    auto copy = DIBSection::create(bmi);
    if (copy)
        std::memcpy(copy->bits(), bmp.bits(), bmp.sizeImage());
    return copy;
}

BITMAPINFO makeBitmapInfo(int width, int height, int bitCount)
{
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = std::uint16_t(bitCount);
    bmi.bmiHeader.biCompression = BI_RGB;
    return bmi;
}

}  // namespace tav
