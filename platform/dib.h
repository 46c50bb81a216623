// Device-independent bitmaps (DIB sections): pixel memory laid out as the platform's bitmap
// format lays it out, with a colour table for 8 bits per pixel and less.
//
// Rows are padded to 4 bytes. A positive height means bottom-up storage (the first row in
// memory is the bottom row); the descriptor keeps a signed stride and a pointer to the top
// row, so every other routine addresses rows from the top and never thinks about it again.
#pragma once

#include "gdi_types.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tav {

// Row length in bytes of a DIB row: the packed bits rounded up to whole 32-bit words.
// Returns -1 when the result does not fit a signed 32-bit value.
std::int64_t DibStride(std::int64_t width, int bitCount);

class DIBSection {
public:
    // A new bitmap with zeroed pixels as `bmi` describes it (BI_RGB, 1/4/8/16/24/32 bits per
    // pixel, width > 0, height != 0). For 8 bits and less the colour table is taken from
    // `bmi` (biClrUsed entries when set, else 2^bits). Returns null for an unusable header or
    // when the pixel memory cannot be had.
    static std::unique_ptr<DIBSection> create(const BITMAPINFO& bmi);
    // The caller's memory seen as the bitmap `bmi` describes, `rows` rows of it; not owned.
    static std::unique_ptr<DIBSection> wrap(const BITMAPINFO& bmi, void* bits, int rows);

    ~DIBSection();
    DIBSection(const DIBSection&) = delete;
    DIBSection& operator=(const DIBSection&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }  // always positive
    bool topDown() const { return m_topDown; }
    int bitCount() const { return m_bitCount; }
    int stride() const { return m_stride; }  // bytes per row, positive
    std::size_t sizeImage() const { return std::size_t(m_stride) * std::size_t(m_height); }

    // The first byte of the pixel memory, as the platform hands it out.
    std::uint8_t* bits() { return m_memory; }
    const std::uint8_t* bits() const { return m_memory; }
    // Row y counted from the top of the picture.
    std::uint8_t* row(int y) { return m_top + std::ptrdiff_t(y) * m_topStride; }
    const std::uint8_t* row(int y) const { return m_top + std::ptrdiff_t(y) * m_topStride; }

    // Colour table: 2^bits entries (or the header's biClrUsed) for 8 bits and less, else none.
    int colorCount() const { return m_colorCount; }
    RGBQUAD* colorTable() { return m_colors; }
    const RGBQUAD* colorTable() const { return m_colors; }

    // The header as the bitmap was created (height sign kept, image size filled in).
    const BITMAPINFOHEADER& header() const { return m_header; }

private:
    friend class DeviceContext;
    friend HBITMAP SelectObject(HDC, HBITMAP);
    DIBSection() = default;
    bool init(const BITMAPINFO& bmi, int rows);

    BITMAPINFOHEADER m_header{};
    int m_width = 0;
    int m_height = 0;
    int m_bitCount = 0;
    int m_stride = 0;
    bool m_topDown = false;
    std::uint8_t* m_memory = nullptr;
    std::uint8_t* m_top = nullptr;
    std::ptrdiff_t m_topStride = 0;  // signed: negative for bottom-up memory
    bool m_owned = false;
    int m_colorCount = 0;
    RGBQUAD m_colors[256]{};
    DeviceContext* m_selectedIn = nullptr;  // the context it is selected into, if any
};

// The platform's calls on bitmaps. A null handle gives the failure result.
std::unique_ptr<DIBSection> CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, unsigned usage, void** ppvBits);
// Fills a BITMAP record (width, height as created, stride, bits per pixel, memory); returns
// the number of bytes written, 0 on failure.
int GetObject(HBITMAP hbm, int cb, BITMAP* out);
// Colour-table access of the bitmap selected into `hdc`; return the number of entries copied
// (0 when the selected bitmap has no colour table).
unsigned GetDIBColorTable(HDC hdc, unsigned start, unsigned count, RGBQUAD* colors);
unsigned SetDIBColorTable(HDC hdc, unsigned start, unsigned count, const RGBQUAD* colors);

// A new bitmap with the same format, colour table and pixels; null when memory cannot be had.
std::unique_ptr<DIBSection> copyOf(const DIBSection& bmp);

// Convenience for callers that build a header by hand.
BITMAPINFO makeBitmapInfo(int width, int height, int bitCount);

}  // namespace tav
