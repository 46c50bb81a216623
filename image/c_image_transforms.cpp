// cImage transforms: grey, resample, mirror and quarter turns. Each makes a new buffer and does
// its pixel work in one transfer of the graphics interface from this buffer's context into the
// new one (BitBlt, StretchBlt or PlgBlt); there is no filter or interpolation of our own.
//
// Mirror and Rotate give PlgBlt the upper-left, upper-right and lower-left corners of the
// destination parallelogram. A source position (x, y) of the W x H rectangle lands at
// P0 + (x / W)(P1 - P0) + (y / H)(P2 - P0), so the corner tables below read as
//   vertical mirror    (x, H - y)
//   horizontal mirror  (W - x, y)
//   90 degrees         (y, W - x)      a quarter turn counter-clockwise on screen
//   180 degrees        (W - x, H - y)
//   270 degrees        (H - y, x)      a quarter turn clockwise on screen
// and in whole pixels source pixel (x, y) of a 90-degree turn becomes (y, W - 1 - x).
#include "image/c_image.h"

#include "platform/transfer.h"

namespace tav {

std::unique_ptr<cImage> cImage::sameDepthResult(std::int32_t width, std::int32_t height) const
{
    auto result = std::make_unique<cImage>();
    // A refused size leaves the result empty and the transfer into it goes nowhere; the empty
    // buffer is still the answer.
    result->Create(width, height, BitCount());
    // Create gave an indexed result the grey table; it carries the source's colours instead.
    if (BitCount() != 24)
        result->CopyPalletHDC(hDC());
    return result;
}

std::unique_ptr<cImage> cImage::Greyscale() const
{
    auto result = std::make_unique<cImage>();
    // The 8-bit grey table does the work: BitBlt maps every colour to its nearest entry.
    result->Create(Width(), Height(), 8);
    BitBlt(result->hDC(), 0, 0, Width(), rowCount(), hDC(), 0, 0, SRCCOPY);
    return result;
}

std::unique_ptr<cImage> cImage::Resample(std::int32_t lWidth, std::int32_t lHeight) const
{
    std::unique_ptr<cImage> result = sameDepthResult(lWidth, lHeight);
    if (lWidth == Width() && lHeight == Height()) {
        // Nothing to scale: a stretch would only re-match colours, a copy keeps every index.
        BitBlt(result->hDC(), 0, 0, Width(), rowCount(), hDC(), 0, 0, SRCCOPY);
        return result;
    }
    if (SetStretchBltMode(result->hDC(), HALFTONE) == 0)
        SetStretchBltMode(result->hDC(), COLORONCOLOR);
    // Extents as rows and columns: a negative height here would mirror, not choose row order.
    StretchBlt(result->hDC(), 0, 0, result->Width(), result->rowCount(), hDC(), 0, 0, Width(), rowCount(), SRCCOPY);
    return result;
}

std::unique_ptr<cImage> cImage::Mirror(bool Vertical) const
{
    const std::int32_t w = Width();
    const std::int32_t h = rowCount();
    std::unique_ptr<cImage> result = sameDepthResult(Width(), Height());
    const POINT topBottom[3] = {{0, h}, {w, h}, {0, 0}};
    const POINT leftRight[3] = {{w, 0}, {0, 0}, {w, h}};
    PlgBlt(result->hDC(), Vertical ? topBottom : leftRight, hDC(), 0, 0, w, h, nullptr, 0, 0);
    return result;
}

std::unique_ptr<cImage> cImage::Rotate(std::int32_t Degrees) const
{
    // The remainder keeps the sign of Degrees; a negative one is brought into 0..359.
    std::int32_t d = Degrees % 360;
    if (d < 0)
        d += 360;

    const std::int32_t w = Width();
    const std::int32_t h = rowCount();
    POINT corners[3];
    std::int32_t resultWidth = 0;
    std::int32_t resultRows = 0;
    switch (d) {
    case 90:
        corners[0] = {0, w};
        corners[1] = {0, 0};
        corners[2] = {h, w};
        resultWidth = h;
        resultRows = w;
        break;
    case 180:
        corners[0] = {w, h};
        corners[1] = {0, h};
        corners[2] = {w, 0};
        resultWidth = w;
        resultRows = h;
        break;
    case 270:
        corners[0] = {h, 0};
        corners[1] = {h, w};
        corners[2] = {0, 0};
        resultWidth = h;
        resultRows = w;
        break;
    default: return nullptr;  // only quarter turns are made
    }
    // The result keeps the source's row order.
    std::unique_ptr<cImage> result = sameDepthResult(resultWidth, Height() < 0 ? -resultRows : resultRows);
    PlgBlt(result->hDC(), corners, hDC(), 0, 0, w, h, nullptr, 0, 0);
    return result;
}

}  // namespace tav
