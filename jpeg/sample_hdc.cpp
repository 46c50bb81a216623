// SampleHDC: colour conversion and subsampling of a device context's rectangle into blocks.
//
// The encoder does not read the caller's pixels itself. For each component it lets the
// platform copy (full size) or halftone-stretch (subsampled size ceil(Hi * X / Hmax) x
// ceil(Vi * Y / Vmax)) the source rectangle into a 24-bit working DIB section, pads that image
// to whole blocks by repeating its last column and then its last row (T.81 A.2.4 leaves the
// padding to the encoder; replication keeps the edge blocks smooth), and reads the bitmap
// memory block by block. The component's image sits at the bottom-left of the surface, so its
// padded area always starts at the beginning of the bottom-up bitmap memory.
//
// Colour conversion is that of JFIF 1.02 (after CCIR 601), level-shifted by -128 (T.81
// A.3.1); for Cb and Cr the +128 of the colour transform and the level shift cancel.
#include "jpeg/cjpeg.h"

#include "jpeg/forward_dct.h"
#include "jpeg/quantize.h"
#include "platform/device_context.h"
#include "platform/dib.h"
#include "platform/transfer.h"

#include <cstring>
#include <limits>

namespace tav {

namespace {

// The conversion constants are single-precision values (the float nearest 0.299, and so on),
// promoted to double for the arithmetic; the products and sums below are formed in double and
// the sample is stored as a float.
struct ColourRow {
    float red;
    float green;
    float blue;
    float added;
};
constexpr ColourRow kColourConversion[3] = {
    {0.299f, 0.587f, 0.114f, -128.0f},  // Y
    {-0.16874f, -0.33126f, 0.5f, 0.0f},  // Cb
    {0.5f, -0.41869f, -0.08131f, 0.0f},  // Cr
};

constexpr int kBytesPerPixel = 3;  // blue, green, red

std::int64_t roundUp8(std::int64_t value) { return (value + 7) / 8 * 8; }
std::int64_t ceilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

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

// Converts, transforms and quantizes every block of the wc8 x hc8 area at row `top`.
void encodeBlocks(const DIBSection& surface, int top, int wc8, int hc8, const ColourRow& colour,
    const QuantTable& table, const ZigZagTable& zigZag, std::int16_t* coefficients)
{
    const double kR = colour.red;
    const double kG = colour.green;
    const double kB = colour.blue;
    const double added = colour.added;
    SampleBlock block;
    std::int16_t* out = coefficients;
    for (int r = 0; r < hc8 / 8; ++r) {
        for (int b = 0; b < wc8 / 8; ++b) {
            for (int j = 0; j < 8; ++j) {
                const std::uint8_t* pixel = surface.row(top + 8 * r + j) + kBytesPerPixel * 8 * b;
                for (int i = 0; i < 8; ++i, pixel += kBytesPerPixel) {
                    const double sum =
                        ((double(pixel[2]) * kR + double(pixel[1]) * kG) + double(pixel[0]) * kB) + added;
                    block[std::size_t(i + 8 * j)] = float(sum);
                }
            }
            ForwardDCT(block);
            QuantizeBlock(block, table.FScale, zigZag, out);
            out += 64;
        }
    }
}

}  // namespace

cJpeg::SampleStatus cJpeg::SampleHDC(HDC lHDC, std::int32_t lWidth, std::int32_t lHeight, std::int32_t lSrcLeft,
    std::int32_t lSrcTop)
{
    m_precision = 8;
    m_height = lHeight;
    m_width = lWidth;

    // The working surface: the image size rounded up to whole blocks, 24 bits, bottom-up.
    // Sizes are computed in 64 bits; a rectangle that is empty or whose surface the header
    // cannot describe is a surface that cannot be made.
    const std::int64_t surfaceWidth = roundUp8(lWidth);
    const std::int64_t surfaceHeight = roundUp8(lHeight);
    const std::int64_t stride = (kBytesPerPixel * surfaceWidth + 3) / 4 * 4;
    if (lWidth <= 0 || lHeight <= 0 || surfaceWidth > std::numeric_limits<std::int32_t>::max() ||
        surfaceHeight > std::numeric_limits<std::int32_t>::max() ||
        stride * surfaceHeight > std::int64_t(std::numeric_limits<std::uint32_t>::max()))
        return SampleStatus::NoSurface;

    std::unique_ptr<DeviceContext> memoryDc = CreateCompatibleDC(nullptr);
    if (!memoryDc)
        return SampleStatus::NoSurface;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = std::int32_t(surfaceWidth);
    info.bmiHeader.biHeight = std::int32_t(surfaceHeight);  // positive: bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = std::uint32_t(stride * surfaceHeight);
    void* bits = nullptr;
    std::unique_ptr<DIBSection> surface = CreateDIBSection(memoryDc.get(), &info, DIB_RGB_COLORS, &bits);
    if (!surface)
        return SampleStatus::NoSurface;
    const ScopedSelect selected(memoryDc.get(), surface.get());
    if (!selected.ok())
        return SampleStatus::NoSurface;
    if (SetStretchBltMode(memoryDc.get(), HALFTONE) == 0)
        SetStretchBltMode(memoryDc.get(), COLORONCOLOR);

    const int hp = int(surfaceHeight);
    std::int64_t renderedWidth = -1;  // size of the image on the surface, none yet
    std::int64_t renderedHeight = -1;
    for (std::size_t c = 0; c < m_components.size(); ++c) {
        JpegComponent& component = m_components[c];
        const ColourRow& colour = kColourConversion[c];
        component.Ci = std::int32_t(c + 1);

        const std::int64_t wc = ceilDiv(std::int64_t(component.Hi) * lWidth, m_hmax);
        const std::int64_t hc = ceilDiv(std::int64_t(component.Vi) * lHeight, m_vmax);
        const std::int64_t wc8 = roundUp8(wc);
        const std::int64_t hc8 = roundUp8(hc);
        component.Coefficients.assign(std::size_t(wc8 * hc8), 0);

        const int top = hp - int(hc8);
        // A component of the same size as the one before reads the same pixels, padding
        // included; anything else is drawn anew. The results of the transfers are not checked:
        // what cannot be copied stays as the surface held it.
        if (wc != renderedWidth || hc != renderedHeight) {
            if (wc == lWidth && hc == lHeight)
                BitBlt(memoryDc.get(), 0, top, lWidth, lHeight, lHDC, lSrcLeft, lSrcTop, SRCCOPY);
            else
                StretchBlt(memoryDc.get(), 0, top, int(wc), int(hc), lHDC, lSrcLeft, lSrcTop, lWidth, lHeight, SRCCOPY);
            padImage(*surface, top, int(wc), int(hc), int(wc8));
            renderedWidth = wc;
            renderedHeight = hc;
        }
        encodeBlocks(*surface, top, int(wc8), int(hc8), colour, m_quantTables[std::size_t(component.Tqi)], m_zigZag,
            component.Coefficients.data());
    }
    return SampleStatus::Sampled;
}

}  // namespace tav
