// cImage: the program's pixel buffer. One device-independent bitmap of 1, 4, 8 or 24 bits per
// pixel, kept selected into a memory device context of its own, so that any drawing-surface
// routine (the JPEG encoder's sampling, BitBlt, StretchBlt, PlgBlt) can read or write it, and
// its pixel memory can be read directly as well.
//
// Pixels arrive by copying a loaded picture (CopyStdPicture) or a rectangle of any device
// context (CopyHDC), leave by painting into a device context (PaintHDC), and the transforms
// (Greyscale, Resample, Mirror, Rotate) each build a new buffer from this one with one transfer
// of the graphics interface; none of them touches pixel memory itself.
//
// Ownership: the buffer owns its context and DIB section and frees both when it is emptied
// (a new Create, or a copy that re-creates it) or destroyed. Handles handed in are borrowed for
// the call only; the handle returned by hDC() stays the buffer's and is invalid after its next
// Create or its destruction.
//
// Failures: every refusal is a false result and, where Create failed, an empty buffer whose
// properties all read 0. The one exception is the run-time overflow error (6), raised when the
// row stride or the image size does not fit 32 bits.
#pragma once

#include "platform/memory_surface.h"
#include "platform/gdi_types.h"

#include <cstdint>
#include <memory>

namespace tav {

class Picture;

class cImage {
public:
    cImage() = default;
    ~cImage();
    cImage(const cImage&) = delete;
    cImage& operator=(const cImage&) = delete;
    // Moving hands the context and bitmap over; the moved-from buffer is empty.
    cImage(cImage&& other) noexcept;
    cImage& operator=(cImage&& other) noexcept;

    // Size and depth as the bitmap header holds them; all 0 while the buffer is empty. A
    // negative height is a top-down bitmap (the first row in memory is the top row).
    std::int32_t Width() const { return m_info.bmiHeader.biWidth; }
    std::int32_t Height() const { return m_info.bmiHeader.biHeight; }
    std::int16_t BitCount() const { return std::int16_t(m_info.bmiHeader.biBitCount); }
    // The buffer's memory device context (null while empty); owned by the buffer.
    HDC hDC() const { return m_surface ? m_surface->hdc() : nullptr; }
    // The first byte of the pixel memory as the platform handed it out (null while empty). With
    // a positive Height that is the bottom row of the picture.
    std::uint8_t* DIBitsPtr() const { return m_surface ? m_surface->bitmap().bits() : nullptr; }
    // Bytes per row, a multiple of 4, from Width and BitCount. Raises overflow (6) when the
    // stride does not fit 32 bits.
    std::int32_t BytesPerScanLine() const;

    // Empties the buffer, then makes a lWidth x lHeight bitmap of iBitCount bits (1, 4, 8 or
    // 24; anything else is refused). Indexed depths start with a grey colour table from black to
    // white. False, with the buffer empty, when the depth is refused or the platform refuses the
    // context or the bitmap.
    bool Create(std::int32_t lWidth, std::int32_t lHeight, std::int16_t iBitCount);

    // Makes the buffer the size of the picture's bitmap and copies the picture into it. With
    // iBitCount 0 (automatic) the depth is the picture's own, 16 becoming 24, and is written
    // back; an indexed picture's colour table comes along. A depth given explicitly maps the
    // picture's colours to the grey table of that depth, unless the picture already has that
    // depth, in which case its indices and colour table are kept together. False when the depth
    // is refused (32 bits, or 0 for a picture without a bitmap), or when the copy could not be
    // made (the buffer may then be created with its pixels unset).
    bool CopyStdPicture(const Picture& TheStdPicture, std::int16_t& iBitCount);
    bool CopyStdPicture(const Picture& TheStdPicture);

    // Makes the buffer lWidth x lHeight and copies that rectangle of lHDC, from (lSrcLeft,
    // lSrcTop), into it. With iBitCount 0 the depth follows the size of the colour table of the
    // bitmap in lHDC (2 entries: 1 bit, up to 16: 4 bits, up to 256: 8 bits, none: 24 bits) and
    // that table is carried over. lHDC may be this buffer's own context (a crop of itself).
    bool CopyHDC(HDC lHDC, std::int32_t lWidth, std::int32_t lHeight, std::int16_t iBitCount = 0,
        std::int32_t lSrcLeft = 0, std::int32_t lSrcTop = 0);

    // Copies the colour table of the bitmap selected in lHDC (up to 2^BitCount entries) into
    // this buffer's bitmap. True when at least one entry was read and all of them were written.
    bool CopyPalletHDC(HDC lHDC);

    // Paints the whole buffer into lHDC at (lDestLeft, lDestTop) with the raster operation eRop.
    void PaintHDC(HDC lHDC, std::int32_t lDestLeft = 0, std::int32_t lDestTop = 0, DWORD eRop = SRCCOPY) const;

    // Transforms: each returns a new buffer and leaves this one as it is. The result is never
    // null, but it is empty when its Create failed (an empty source, a refused size).

    // 8 bits per pixel with the grey colour table; every pixel the nearest grey.
    std::unique_ptr<cImage> Greyscale() const;
    // The same depth and colour table at lWidth x lHeight, stretched with halftone averaging
    // (nearest pixel where halftone is unavailable); at the buffer's own size a plain copy.
    // Raises overflow (6), as Create does, for a size whose stride or image size overflows.
    std::unique_ptr<cImage> Resample(std::int32_t lWidth, std::int32_t lHeight) const;
    // The same depth, size and colour table, top and bottom swapped when Vertical is true, left
    // and right swapped otherwise.
    std::unique_ptr<cImage> Mirror(bool Vertical) const;
    // Turned by Degrees reduced into 0..359: 90 a quarter turn counter-clockwise, 180 a half
    // turn, 270 a quarter turn clockwise (width and height swap for 90 and 270). Null for any
    // other angle, 0 and 360 included.
    std::unique_ptr<cImage> Rotate(std::int32_t Degrees) const;

private:
    void Destroy();
    // The number of rows, whatever the row order.
    std::int32_t rowCount() const;
    // The result of a transform, created at the given size with this buffer's depth and
    // colour table.
    std::unique_ptr<cImage> sameDepthResult(std::int32_t width, std::int32_t height) const;

    std::unique_ptr<MemorySurface> m_surface;
    // Header and colour table as one BITMAPINFO: the description the bitmap is made from.
    BITMAPINFO m_info{};
    // Receives a colour table read from another context before it is written into ours.
    RGBQUAD m_scratchColors[256]{};
};

}  // namespace tav
