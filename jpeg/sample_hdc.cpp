// SampleHDC: colour conversion and subsampling of a device context's rectangle into blocks.
//
// The encoder does not read the caller's pixels itself. For each component it lets the
// platform copy (full size) or halftone-stretch (subsampled size ceil(Hi * X / Hmax) x
// ceil(Vi * Y / Vmax)) the source rectangle into a 24-bit working DIB section, pads that image
// to whole blocks by repeating its last column and then its last row (T.81 A.2.4 leaves the
// padding to the encoder; replication keeps the edge blocks smooth), and reads the bitmap
// memory block by block. The component's image sits at the bottom-left of the surface, so its
// padded area always starts at the beginning of the bottom-up bitmap memory.
// The block loop itself (colour conversion, transform, quantization) is jpeg/block_encoder.h.
#include "jpeg/cjpeg.h"

#include "jpeg/block_encoder.h"
#include "jpeg/quantize.h"
#include "platform/memory_surface.h"
#include "platform/run_time_error.h"
#include "platform/transfer.h"
#include "platform/second_core.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace tav {

namespace {

std::int64_t roundUp8(std::int64_t value) { return (value + 7) / 8 * 8; }

// Repeats the last column of the wc x hc image at row `top` up to column wc8 - 1, then its
// last row down to the surface's bottom row.
void padImage(DIBSection& surface, int top, int wc, int hc, int wc8)
{
    for (int y = top; y < top + hc; ++y) {
        std::uint8_t* row = surface.row(y);
        for (int x = wc; x < wc8; ++x)
            std::memcpy(row + kBytesPerPixel * x, row + kBytesPerPixel * (x - 1), kBytesPerPixel);
    }
    for (int y = top + hc; y < surface.height(); ++y)
        std::memcpy(surface.row(y), surface.row(y - 1), std::size_t(kBytesPerPixel) * std::size_t(wc8));
}

// Below this many blocks a second thread costs more than it saves.
constexpr std::int64_t kParallelBlocks = 2048;

// Runs work(rowBegin, rowEnd) over block rows [0, rows): the upper half on a second core when
// the component is large enough. Each block's coefficients depend on its own samples only, so
// the split cannot change a byte.
template <class Work> bool forBlockRows(int rows, std::int64_t blocks, const Work& work)
{
    if (rows < 2 || !useSecondCore(blocks >= kParallelBlocks))
        return work(0, rows);
    bool lower = true, upper = true;
    runBoth(true, [&] { lower = work(0, rows / 2); }, [&] { upper = work(rows / 2, rows); });
    return lower && upper;
}

// Every drawing of the encoder stretches in the platform's halftone mode where it has one.
void useHalftone(HDC dc)
{
    if (SetStretchBltMode(dc, HALFTONE) == 0)
        SetStretchBltMode(dc, COLORONCOLOR);
}

}  // namespace

cJpeg::SampleStatus cJpeg::SampleHDC(HDC lHDC, std::int32_t lWidth, std::int32_t lHeight, std::int32_t lSrcLeft,
    std::int32_t lSrcTop)
{
    m_precision = 8;
    m_height = lHeight;
    m_width = lWidth;

    // The working surface: the image size rounded up to whole blocks, 24 bits, bottom-up.
    // Sizes are computed in 64 bits; a rectangle that is empty or whose surface a DIB section
    // cannot hold is a surface that cannot be made, whether or not it is then needed.
    const std::int64_t surfaceWidth = roundUp8(lWidth);
    const std::int64_t surfaceHeight = roundUp8(lHeight);
    const std::int64_t stride = (kBytesPerPixel * surfaceWidth + 3) / 4 * 4;
    if (lWidth <= 0 || lHeight <= 0 || surfaceWidth > std::numeric_limits<std::int32_t>::max() ||
        surfaceHeight > std::numeric_limits<std::int32_t>::max() ||
        stride * surfaceHeight > std::int64_t(std::numeric_limits<std::int32_t>::max()))
        return SampleStatus::NoSurface;

    const int hp = int(surfaceHeight);
    // The source can be read in place when it is a 24-bit bitmap holding the whole rectangle:
    // a full-size component is then read straight from it (a copy changes nothing), and only
    // subsampled components are drawn, each on a surface of its own padded size. Otherwise
    // every component is drawn on the one working surface as the platform would.
    const DIBSection* source = lHDC ? lHDC->bitmap() : nullptr;
    const bool inPlace = source && source->bitCount() == 24 && lSrcLeft >= 0 && lSrcTop >= 0 &&
        std::int64_t(lSrcLeft) + lWidth <= source->width() && std::int64_t(lSrcTop) + lHeight <= source->height();
    // Only the other path draws on the working surface, so only it makes one: clearing a
    // surface that is never read cost more than anything else when sampling a small picture.
    std::unique_ptr<MemorySurface> surface;
    if (!inPlace) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = std::int32_t(surfaceWidth);
        info.bmiHeader.biHeight = std::int32_t(surfaceHeight);  // positive: bottom-up rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        info.bmiHeader.biSizeImage = std::uint32_t(stride * surfaceHeight);
        surface = MemorySurface::create(info);
        if (!surface)
            return SampleStatus::NoSurface;
        useHalftone(surface->hdc());
    }
    std::unique_ptr<MemorySurface> stretched;  // the subsampled image of the in-place path

    std::int64_t renderedWidth = -1;  // size of the image on the surface, none yet
    std::int64_t renderedHeight = -1;
    ComponentImage image;
    // The components take the new coefficients only once every one is made: a surface that
    // cannot be had halfway through leaves all of them as they were.
    std::vector<CoefficientArray> sampled(m_components.size());
    for (std::size_t c = 0; c < m_components.size(); ++c) {
        const JpegComponent& component = m_components[c];
        const ColourRow& colour = kColourConversion[c];

        const std::int64_t wc = ceilDiv(std::int64_t(component.Hi) * lWidth, m_hmax);
        const std::int64_t hc = ceilDiv(std::int64_t(component.Vi) * lHeight, m_vmax);
        const std::int64_t wc8 = roundUp8(wc);
        const std::int64_t hc8 = roundUp8(hc);
        CoefficientArray& coefficients = sampled[c];
        coefficients.resize(std::size_t(wc8 * hc8));

        const int top = hp - int(hc8);
        // A component of the same size as the one before reads the same pixels, padding
        // included; anything else is drawn anew. The results of the transfers are not checked:
        // what cannot be copied stays as the surface held it.
        if (wc != renderedWidth || hc != renderedHeight) {
            if (inPlace && wc == lWidth && hc == lHeight) {
                image = {source, lSrcLeft, lSrcTop, int(wc), int(hc)};
            } else if (inPlace) {
                // Drawn on a fresh surface of the padded size: the stretch and the padding
                // write every pixel the block loop reads.
                stretched.reset();
                stretched = MemorySurface::create(int(wc8), int(hc8), 24);
                if (!stretched)
                    return SampleStatus::NoSurface;
                useHalftone(stretched->hdc());
                StretchBlt(stretched->hdc(), 0, 0, int(wc), int(hc), lHDC, lSrcLeft, lSrcTop, lWidth, lHeight, SRCCOPY);
                padImage(stretched->bitmap(), 0, int(wc), int(hc), int(wc8));
                image = {&stretched->bitmap(), 0, 0, int(wc), int(hc)};
            } else {
                if (wc == lWidth && hc == lHeight)
                    BitBlt(surface->hdc(), 0, top, lWidth, lHeight, lHDC, lSrcLeft, lSrcTop, SRCCOPY);
                else
                    StretchBlt(surface->hdc(), 0, top, int(wc), int(hc), lHDC, lSrcLeft, lSrcTop, lWidth, lHeight,
                        SRCCOPY);
                padImage(surface->bitmap(), top, int(wc), int(hc), int(wc8));
                image = {&surface->bitmap(), 0, top, int(wc), int(hc)};
            }
            renderedWidth = wc;
            renderedHeight = hc;
        }
        const std::array<double, 64> scale = rasterScale(m_quantTables[std::size_t(component.Tqi)].FScale, m_zigZag);
        const int blocksAcross = int(wc8 / 8);
        const int blocksDown = int(hc8 / 8);
        const bool inRange = forBlockRows(blocksDown, std::int64_t(blocksAcross) * blocksDown, [&](int r0, int r1) {
            return encodeBlocks(image, r0, r1, blocksAcross, colour, scale, m_zigZag,
                coefficients.data() + std::size_t(r0) * std::size_t(blocksAcross) * 64);
        });
        if (!inRange)
            raiseOverflow();
    }
    for (std::size_t c = 0; c < m_components.size(); ++c) {
        m_components[c].Ci = std::int32_t(c + 1);
        m_components[c].Coefficients = std::move(sampled[c]);
    }
    // What SaveFile writes, so that a later change of Quality cannot pair these coefficients
    // with tables they were not quantized with.
    m_sampledTables = m_quantTables;
    return SampleStatus::Sampled;
}

}  // namespace tav
