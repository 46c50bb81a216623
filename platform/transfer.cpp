// BitBlt, GetDIBits, SetDIBitsToDevice and single-pixel access.
//
// Clipping follows the platform: the destination rectangle is cut to the destination bitmap
// and the source rectangle to the source bitmap, the two cuts moving together so every pixel
// that is drawn comes from the same place it would have come from unclipped.
#include "transfer.h"

#include "device_context.h"
#include "dib.h"
#include "pixel_rows.h"
#include "row_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tav {

bool supportedRop(DWORD rop)
{
    switch (rop) {
    case SRCCOPY:
    case SRCPAINT:
    case SRCAND:
    case SRCINVERT:
    case NOTSRCCOPY:
    case BLACKNESS:
    case WHITENESS: return true;
    default: return false;
    }
}

bool ropUsesSource(DWORD rop) { return rop != BLACKNESS && rop != WHITENESS; }

RowWriter::RowWriter(DIBSection& dst, DWORD rop, int maxRun)
    : m_dst(dst), m_rop(rop), m_encoder(dst), m_source(std::size_t(std::max(maxRun, 0))),
      m_existing(std::size_t(std::max(maxRun, 0)))
{
}

void RowWriter::writeRgb(int y, int x, int n, const std::uint32_t* rgb)
{
    if (!ropUsesSource(m_rop)) {
        writeRaw(y, x, n, nullptr);
        return;
    }
    m_encoder.encodeRow(rgb, n, m_source.data());
    writeRaw(y, x, n, m_source.data());
}

void RowWriter::writeRaw(int y, int x, int n, const std::uint32_t* raw)
{
    const std::uint32_t ones = m_encoder.allBits();
    std::uint32_t* out = m_existing.data();
    switch (m_rop) {
    case SRCCOPY: writeRawRow(m_dst, y, x, n, raw); return;
    case BLACKNESS: std::fill_n(out, n, 0u); break;
    case WHITENESS: std::fill_n(out, n, ones); break;
    case NOTSRCCOPY:
        for (int i = 0; i < n; ++i)
            out[i] = ~raw[i] & ones;
        break;
    default:
        readRawRow(m_dst, y, x, n, out);
        if (m_rop == SRCPAINT)
            for (int i = 0; i < n; ++i)
                out[i] |= raw[i];
        else if (m_rop == SRCAND)
            for (int i = 0; i < n; ++i)
                out[i] &= raw[i];
        else
            for (int i = 0; i < n; ++i)
                out[i] ^= raw[i];
        break;
    }
    writeRawRow(m_dst, y, x, n, out);
}

namespace {

bool sameColorTables(const DIBSection& a, const DIBSection& b)
{
    return a.colorCount() == b.colorCount() && std::equal(a.colorTable(), a.colorTable() + a.colorCount(), b.colorTable());
}

// Whole bytes can be moved when the formats match and both runs start on a byte boundary.
bool byteCopyPossible(const DIBSection& dst, int dx, const DIBSection& src, int sx)
{
    if (dst.bitCount() != src.bitCount())
        return false;
    if (dst.bitCount() <= 8 && !sameColorTables(dst, src))
        return false;
    if (dst.bitCount() >= 8)
        return true;
    const int perByte = 8 / dst.bitCount();
    return dx % perByte == 0 && sx % perByte == 0;
}

}  // namespace

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop)
{
    if (!dst || !dst->bitmap() || !supportedRop(rop))
        return 0;
    const bool usesSource = ropUsesSource(rop);
    if (usesSource && (!src || !src->bitmap()))
        return 0;
    DIBSection& to = *dst->bitmap();
    if (cx <= 0 || cy <= 0)
        return 1;

    // Clip to the destination, then to the source, moving both rectangles together.
    auto clipAxis = [](int& d, int& s, int& n, int dLimit, int sLimit, bool withSource) {
        if (d < 0) { s -= d; n += d; d = 0; }
        if (withSource && s < 0) { d -= s; n += s; s = 0; }
        n = std::min(n, dLimit - d);
        if (withSource)
            n = std::min(n, sLimit - s);
    };
    const int srcW = usesSource ? src->bitmap()->width() : 0;
    const int srcH = usesSource ? src->bitmap()->height() : 0;
    clipAxis(x, x1, cx, to.width(), srcW, usesSource);
    clipAxis(y, y1, cy, to.height(), srcH, usesSource);
    if (cx <= 0 || cy <= 0)
        return 1;

    RowWriter writer(to, rop, cx);
    if (!usesSource) {
        for (int j = 0; j < cy; ++j)
            writer.writeRgb(y + j, x, cx, nullptr);
        return 1;
    }

    const DIBSection& from = *src->bitmap();
    // Within one bitmap, walk rows away from the overlap so no row is read after it is written.
    const bool upwards = &from == &to && y > y1;
    const bool byteCopy = rop == SRCCOPY && byteCopyPossible(to, x, from, x1);
    const bool rawSource = byteCopyPossible(to, 0, from, 0);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(cx));
    for (int k = 0; k < cy; ++k) {
        const int j = upwards ? cy - 1 - k : k;
        if (byteCopy) {
            const int bits = to.bitCount();
            // Whole bytes first; a sub-byte tail is written pixel by pixel so the pixels after
            // the run keep their bits.
            const int wholeBytes = int(std::size_t(cx) * bits / 8);
            std::memmove(to.row(y + j) + std::size_t(x) * bits / 8, from.row(y1 + j) + std::size_t(x1) * bits / 8,
                std::size_t(wholeBytes));
            const int done = wholeBytes * 8 / bits;
            if (done < cx) {
                readRawRow(from, y1 + j, x1 + done, cx - done, row.data());
                writeRawRow(to, y + j, x + done, cx - done, row.data());
            }
            continue;
        }
        if (rawSource) {
            readRawRow(from, y1 + j, x1, cx, row.data());
            writer.writeRaw(y + j, x, cx, row.data());
        } else {
            readRgbRow(from, y1 + j, x1, cx, row.data());
            writer.writeRgb(y + j, x, cx, row.data());
        }
    }
    return 1;
}

int GetDIBits(HDC hdc, HBITMAP hbm, unsigned start, unsigned lines, void* bits, BITMAPINFO* bmi, unsigned usage)
{
    if (!hdc || !hbm || !bmi || usage != DIB_RGB_COLORS)
        return 0;
    const DIBSection& from = *hbm;
    if (!bits) {
        // Asked only for the format: describe the bitmap.
        BITMAPINFOHEADER& h = bmi->bmiHeader;
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = from.width();
        h.biHeight = from.height();
        h.biPlanes = 1;
        h.biBitCount = std::uint16_t(from.bitCount());
        h.biCompression = BI_RGB;
        h.biSizeImage = std::uint32_t(from.sizeImage());
        return from.height();
    }
    if (start >= unsigned(from.height()) || lines == 0)
        return 0;
    lines = std::min(lines, unsigned(from.height()) - start);
    auto to = DIBSection::wrap(*bmi, bits, int(lines));
    if (!to)
        return 0;
    const int n = std::min(to->width(), from.width());
    const bool indexCopy = from.bitCount() <= 8 && from.bitCount() == to->bitCount();
    if (indexCopy) {
        std::copy_n(from.colorTable(), from.colorCount(), bmi->bmiColors);
        std::copy_n(from.colorTable(), from.colorCount(), to->colorTable());
    }
    RowWriter writer(*to, SRCCOPY, n);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(n));
    for (unsigned i = 0; i < lines; ++i) {
        const int srcRow = from.height() - 1 - int(start + i);  // scan lines count from the bottom
        const int dstRow = int(lines) - 1 - int(i);
        if (indexCopy) {
            readRawRow(from, srcRow, 0, n, row.data());
            writer.writeRaw(dstRow, 0, n, row.data());
        } else {
            readRgbRow(from, srcRow, 0, n, row.data());
            writer.writeRgb(dstRow, 0, n, row.data());
        }
    }
    return int(lines);
}

int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc, unsigned startScan,
    unsigned lines, const void* bits, const BITMAPINFO* bmi, unsigned usage)
{
    if (!hdc || !hdc->bitmap() || !bits || !bmi || usage != DIB_RGB_COLORS || lines == 0)
        return 0;
    // The caller's memory is only read.
    auto from = DIBSection::wrap(*bmi, const_cast<void*>(bits), int(lines));
    if (!from)
        return 0;
    DIBSection& to = *hdc->bitmap();
    const bool topDown = from->topDown();
    int x0 = std::max({0, xSrc, xSrc - xDest});
    int x1 = std::min({from->width(), xSrc + int(w), xSrc + to.width() - xDest});
    if (x1 <= x0)
        return 0;
    RowWriter writer(to, SRCCOPY, x1 - x0);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(x1 - x0));
    int drawn = 0;
    for (int j = 0; j < int(h); ++j) {
        const int dy = yDest + j;
        if (dy < 0 || dy >= to.height())
            continue;
        // The scan line of the whole DIB that lands on destination row dy.
        const int scan = topDown ? ySrc + j : ySrc + int(h) - 1 - j;
        const int inView = scan - int(startScan);
        if (inView < 0 || inView >= int(lines))
            continue;
        const int viewRow = topDown ? inView : int(lines) - 1 - inView;
        readRgbRow(*from, viewRow, x0, x1 - x0, row.data());
        writer.writeRgb(dy, xDest + (x0 - xSrc), x1 - x0, row.data());
        ++drawn;
    }
    return drawn;
}

COLORREF GetNearestColor(HDC hdc, COLORREF color)
{
    if (!hdc)
        return CLR_INVALID;
    const std::uint32_t rgb = rgbFromColorRef(color);
    if (!hdc->bitmap())
        return color & 0xFFFFFF;  // the 24-bit screen shows every colour
    const DIBSection& bmp = *hdc->bitmap();
    return colorRefFromRgb(rgbFromRaw(bmp, rawFromRgb(bmp, rgb)));
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    if (!hdc || !hdc->bitmap())
        return CLR_INVALID;
    const DIBSection& bmp = *hdc->bitmap();
    if (x < 0 || y < 0 || x >= bmp.width() || y >= bmp.height())
        return CLR_INVALID;
    std::uint32_t rgb;
    readRgbRow(bmp, y, x, 1, &rgb);
    return colorRefFromRgb(rgb);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    if (!hdc || !hdc->bitmap())
        return CLR_INVALID;
    DIBSection& bmp = *hdc->bitmap();
    if (x < 0 || y < 0 || x >= bmp.width() || y >= bmp.height())
        return CLR_INVALID;
    const std::uint32_t raw = rawFromRgb(bmp, rgbFromColorRef(color));
    writeRawRow(bmp, y, x, 1, &raw);
    return colorRefFromRgb(rgbFromRaw(bmp, raw));
}

}  // namespace tav
