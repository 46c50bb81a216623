// cImage, the buffer itself: creation with its grey colour tables, the row-stride rule, the
// copies in from pictures and device contexts, the colour-table copy and painting out.
//
// Every pixel moves through the graphics interface (BitBlt, GetDIBits); the buffer only decides
// the depth, the colour table and which call is made with which arguments. Format conversion
// and colour matching are the platform's.
#include "image/c_image.h"

#include "platform/picture.h"
#include "platform/run_time_error.h"
#include "platform/transfer.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace tav {

namespace {

constexpr const char* kDisplayDriver = "DISPLAY";

// The row and size arithmetic is 32-bit and checked at every step, so a width near the limit
// raises overflow instead of wrapping into a small, wrong stride.
std::int64_t checked32(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        raiseOverflow();
    return value;
}

// The packed row rounded up to whole 32-bit words. Division truncates toward zero, so width 0
// at 1 or 4 bits still gives one word; an empty buffer (depth 0) falls under the 24-bit rule
// and gives 0.
std::int32_t strideFor(std::int32_t width, int bitCount)
{
    const std::int64_t w = width;
    std::int64_t packed = 0;
    switch (bitCount) {
    case 1: packed = checked32(checked32(w - 1) / 8 + 4); break;
    case 4: packed = checked32(checked32(w - 1) / 2 + 4); break;
    case 8: packed = checked32(w + 3); break;
    default: packed = checked32(checked32(w * 3) + 3); break;
    }
    return std::int32_t(packed & ~std::int64_t(3));
}

// The depth that holds a colour table of `count` entries; no table means 24 bits.
std::int16_t depthForColorCount(unsigned count)
{
    if (count >= 1 && count <= 2)
        return 1;
    if (count >= 3 && count <= 16)
        return 4;
    if (count >= 17 && count <= 256)
        return 8;
    return 24;
}

}  // namespace

cImage::~cImage() { Destroy(); }

cImage::cImage(cImage&& other) noexcept
    : m_surface(std::move(other.m_surface)), m_info(other.m_info)
{
    other.m_info.bmiHeader = BITMAPINFOHEADER{};
}

cImage& cImage::operator=(cImage&& other) noexcept
{
    if (this != &other) {
        Destroy();
        m_surface = std::move(other.m_surface);
        m_info = other.m_info;
        other.m_info.bmiHeader = BITMAPINFOHEADER{};
    }
    return *this;
}

std::int32_t cImage::BytesPerScanLine() const { return strideFor(Width(), BitCount()); }

std::int32_t cImage::rowCount() const
{
    const std::int64_t rows = std::abs(std::int64_t(Height()));
    return std::int32_t(std::min<std::int64_t>(rows, std::numeric_limits<std::int32_t>::max()));
}

void cImage::Destroy()
{
    m_surface.reset();
    // An empty buffer reports no size or depth: a header left behind would describe pixels
    // that no longer exist. The colour tables are left as they are.
    m_info.bmiHeader = BITMAPINFOHEADER{};
}

bool cImage::Create(std::int32_t lWidth, std::int32_t lHeight, std::int16_t iBitCount)
{
    Destroy();

    // Indexed bitmaps get a context made from an explicit screen context, 24-bit ones a context
    // compatible with the screen directly; other depths are refused.
    std::unique_ptr<DeviceContext> screen;
    if (iBitCount == 1 || iBitCount == 4 || iBitCount == 8) {
        screen = CreateDCA(kDisplayDriver, nullptr, nullptr, nullptr);
        if (!screen)
            return false;
    } else if (iBitCount != 24) {
        return false;
    }

    // Sizes first: an overflow leaves the buffer empty.
    const std::int64_t stride = strideFor(lWidth, iBitCount);
    const std::int64_t sizeImage = checked32(stride * std::abs(std::int64_t(lHeight)));

    BITMAPINFOHEADER& header = m_info.bmiHeader;
    header = BITMAPINFOHEADER{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = lWidth;
    header.biHeight = lHeight;  // the sign chooses the row order and is kept
    header.biPlanes = 1;
    header.biBitCount = std::uint16_t(iBitCount);
    header.biCompression = BI_RGB;
    header.biSizeImage = std::uint32_t(sizeImage);

    if (iBitCount != 24) {
        // Grey ramp from black to white: entry i is i * 255 / n, which divides exactly for all
        // three depths (0 and 255; steps of 17; i itself), so no rounding is involved.
        const int n = (1 << iBitCount) - 1;
        for (int i = 0; i <= n; ++i) {
            const auto level = std::uint8_t(i * 255 / n);
            m_info.bmiColors[i] = RGBQUAD{level, level, level, 0};
        }
    }

    m_surface = MemorySurface::create(m_info, screen.get());
    if (!m_surface) {
        header = BITMAPINFOHEADER{};
        return false;
    }
    return true;
}

bool cImage::CopyStdPicture(const Picture& TheStdPicture)
{
    std::int16_t automatic = 0;
    return CopyStdPicture(TheStdPicture, automatic);
}

bool cImage::CopyStdPicture(const Picture& TheStdPicture, std::int16_t& iBitCount)
{
    const HBITMAP picture = TheStdPicture.Handle();
    BITMAP info{};  // stays all zero when the handle is not a bitmap
    GetObject(picture, sizeof(BITMAP), &info);

    if (iBitCount == 0) {
        // 16-bit pictures are widened: the buffer has no 16-bit form. 32 is refused by Create.
        iBitCount = std::int16_t(info.bmBitsPixel);
        if (iBitCount == 16)
            iBitCount = 24;
    }
    if (!Create(info.bmWidth, info.bmHeight, iBitCount))
        return false;

    std::unique_ptr<DeviceContext> screen =
        iBitCount == 24 ? GetDC(GetDesktopWindow()) : CreateDCA(kDisplayDriver, nullptr, nullptr, nullptr);
    if (!screen)
        return false;
    // The picture's bitmap is borrowed for the copy. A bitmap selected elsewhere cannot be
    // borrowed; copying a context's stock bitmap instead would be a false success.
    const std::unique_ptr<MemorySurface> borrowed = MemorySurface::borrow(picture, screen.get());
    screen.reset();
    if (!borrowed)
        return false;
    const HDC memory = borrowed->hdc();

    if (iBitCount == 24)
        return BitBlt(hDC(), 0, 0, Width(), rowCount(), memory, 0, 0, SRCCOPY) != 0;

    // At the picture's own depth GetDIBits copies indices, not colours, so the table they index
    // must come along; that is always the case in automatic mode, and also when the caller
    // asked for the depth the picture already has (the grey table would misread the indices).
    // At any other depth the colours are matched to the grey table Create made.
    if (info.bmBitsPixel == iBitCount) {
        const unsigned read = GetDIBColorTable(memory, 0, 1u << iBitCount, m_scratchColors);
        if (read > 0)
            SetDIBColorTable(hDC(), 0, read, m_scratchColors);
    }
    const int lines = GetDIBits(memory, picture, 0, unsigned(info.bmHeight), DIBitsPtr(), &m_info, DIB_RGB_COLORS);
    return lines == info.bmHeight;
}

bool cImage::CopyHDC(HDC lHDC, std::int32_t lWidth, std::int32_t lHeight, std::int16_t iBitCount,
    std::int32_t lSrcLeft, std::int32_t lSrcTop)
{
    // Copying out of our own context: re-creating the buffer would delete the source, so the
    // current bitmap is kept alive as the source until the copy is done.
    cImage self;
    if (lHDC && lHDC == hDC())
        self = std::move(*this);

    unsigned colors = 0;
    if (iBitCount == 0) {
        colors = GetDIBColorTable(lHDC, 0, 256, m_scratchColors);
        iBitCount = depthForColorCount(colors);
    }
    if (!Create(lWidth, lHeight, iBitCount))
        return false;
    if (colors > 0)
        SetDIBColorTable(hDC(), 0, colors, m_scratchColors);
    return BitBlt(hDC(), 0, 0, lWidth, rowCount(), lHDC, lSrcLeft, lSrcTop, SRCCOPY) != 0;
}

bool cImage::CopyPalletHDC(HDC lHDC)
{
    // 2^BitCount entries, never more than a colour table holds.
    const int depth = BitCount();
    const unsigned wanted = depth >= 0 && depth < 8 ? 1u << depth : 256u;
    const unsigned read = GetDIBColorTable(lHDC, 0, wanted, m_scratchColors);
    if (read == 0)
        return false;
    return SetDIBColorTable(hDC(), 0, read, m_scratchColors) == read;
}

void cImage::PaintHDC(HDC lHDC, std::int32_t lDestLeft, std::int32_t lDestTop, DWORD eRop) const
{
    BitBlt(lHDC, lDestLeft, lDestTop, Width(), rowCount(), hDC(), 0, 0, eRop);
}

}  // namespace tav
