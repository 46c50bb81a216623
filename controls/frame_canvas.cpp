// Drawing routines of the frame control on its persistent image (see frame_canvas.h for the
// pixel rules). Every shape is rasterised here into exact pixel spans.
#include "controls/frame_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tav {
namespace {

// Pixels (x1, y1) up to, not including, (x2, y2). Lines along an axis become one span; other
// lines step along their longer axis, the shorter one rounded half up.
void plotLine(FrameCanvas& canvas, int x1, int y1, int x2, int y2, std::uint32_t rgb)
{
    if (y1 == y2) {
        if (x2 > x1)
            canvas.fillSpan(x1, y1, x2 - x1, rgb);
        else if (x2 < x1)
            canvas.fillSpan(x2 + 1, y1, x1 - x2, rgb);
        return;
    }
    if (x1 == x2) {
        if (y2 > y1)
            canvas.fillBox(x1, y1, 1, y2 - y1, rgb);
        else
            canvas.fillBox(x1, y2 + 1, 1, y1 - y2, rgb);
        return;
    }
    const std::int64_t dx = std::abs(std::int64_t(x2) - x1);
    const std::int64_t dy = std::abs(std::int64_t(y2) - y1);
    const int sx = x2 > x1 ? 1 : -1;
    const int sy = y2 > y1 ? 1 : -1;
    const std::int64_t steps = std::max(dx, dy);
    for (std::int64_t k = 0; k < steps; ++k) {
        std::int64_t x = 0;
        std::int64_t y = 0;
        if (dx >= dy) {
            x = x1 + sx * k;
            y = y1 + sy * ((2 * k * dy + dx) / (2 * dx));
        } else {
            y = y1 + sy * k;
            x = x1 + sx * ((2 * k * dx + dy) / (2 * dy));
        }
        canvas.fillSpan(int(x), int(y), 1, rgb);
    }
}

std::uint32_t rgbPixel(int red, int green, int blue)
{
    return (std::uint32_t(red) << 16) | (std::uint32_t(green) << 8) | std::uint32_t(blue);
}

}  // namespace

FrameCanvas::FrameCanvas()
{
    resize(1, 1);
}

void FrameCanvas::resize(int newWidth, int newHeight)
{
    m_width = std::max(newWidth, 1);
    m_height = std::max(newHeight, 1);
    pixels.assign(std::size_t(m_width) * std::size_t(m_height), 0);
    Cls();
}

void FrameCanvas::Cls()
{
    std::fill(pixels.begin(), pixels.end(), paintColour(backColor));
}

void FrameCanvas::fillSpan(int x, int y, int width, std::uint32_t rgb)
{
    if (y < 0 || y >= m_height)
        return;
    const int x0 = std::max(x, 0);
    const int x1 = int(std::min<std::int64_t>(std::int64_t(x) + width, m_width));
    if (x0 < x1)
        std::fill_n(pixels.begin() + std::ptrdiff_t(index(x0, y)), x1 - x0, rgb);
}

void FrameCanvas::fillBox(int x, int y, int width, int height, std::uint32_t rgb)
{
    const int y0 = std::max(y, 0);
    const int y1 = int(std::min<std::int64_t>(std::int64_t(y) + height, m_height));
    for (int row = y0; row < y1; ++row)
        fillSpan(x, row, width, rgb);
}

std::uint32_t paintColour(Colour colour)
{
    const Colour plain = TranslateColor(colour);
    return rgbPixel(redOf(plain), greenOf(plain), blueOf(plain));
}

void SetPixel(FrameCanvas& canvas, int x, int y, Colour colour)
{
    canvas.fillSpan(x, y, 1, paintColour(colour));
}

void DrawLine(FrameCanvas& canvas, int x1, int y1, int x2, int y2, Colour colour)
{
    plotLine(canvas, x1, y1, x2, y2, paintColour(colour));
}

void DrawBoxOutline(FrameCanvas& canvas, int x, int y, int width, int height, Colour colour)
{
    const std::uint32_t c = paintColour(colour);
    plotLine(canvas, x, y, x + width, y, c);
    plotLine(canvas, x + width, y, x + width, y + height, c);
    plotLine(canvas, x + width, y + height, x, y + height, c);
    plotLine(canvas, x, y + height, x, y, c);
}

void RoundRect(FrameCanvas& canvas, FrameRect rect, int cornerWidth, int cornerHeight)
{
    const std::vector<RowSpan> rows = roundRectRows(rect, cornerWidth, cornerHeight);
    if (rows.empty())
        return;
    const int top = std::min(rect.top, rect.bottom);
    const std::uint32_t pen = paintColour(canvas.foreColor);
    const std::uint32_t fill = paintColour(canvas.fillColor);
    const bool solid = canvas.fillMode == FillMode::Solid;
    const std::size_t last = rows.size() - 1;
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const RowSpan row = rows[j];
        const int y = top + int(j);
        if (j == 0 || j == last) {
            canvas.fillSpan(row.x0, y, row.x1 - row.x0 + 1, pen);
            continue;
        }
        // A pixel is inside when its four neighbours belong to the shape; the rest of the row
        // is the one-pixel outline.
        const RowSpan above = rows[j - 1];
        const RowSpan below = rows[j + 1];
        const int innerLeft = std::max({row.x0 + 1, above.x0, below.x0});
        const int innerRight = std::min({row.x1 - 1, above.x1, below.x1});
        if (innerLeft > innerRight) {
            canvas.fillSpan(row.x0, y, row.x1 - row.x0 + 1, pen);
            continue;
        }
        canvas.fillSpan(row.x0, y, innerLeft - row.x0, pen);
        canvas.fillSpan(innerRight + 1, y, row.x1 - innerRight, pen);
        if (solid)
            canvas.fillSpan(innerLeft, y, innerRight - innerLeft + 1, fill);
    }
}

void DrawRoundBox(FrameCanvas& canvas, Corners rounded, int r, Colour fill, Colour pen, FrameRect rect,
                  FillMode mode)
{
    canvas.fillColor = fill;
    canvas.foreColor = pen;
    canvas.fillMode = mode;
    const int corner = rounded == Corners::Rounded ? r : 0;
    RoundRect(canvas, rect, corner, corner);
    canvas.fillMode = FillMode::Solid;
}

void FillGradient(FrameCanvas& canvas, Colour c1, Colour c2, int x0, int y0, int a, int b, GradientAxis axis)
{
    // Channels and steps in single precision, as the control was written; the sum is rounded
    // half to even. (In single precision 236 + 11 * (-67 / 22) is exactly 202.5, giving 202,
    // the same as the exact value would.)
    const float r1 = float(redOf(c1));
    const float g1 = float(greenOf(c1));
    const float b1 = float(blueOf(c1));
    const float r2 = float(redOf(c2));
    const float g2 = float(greenOf(c2));
    const float b2 = float(blueOf(c2));
    const int n = axis == GradientAxis::Vertical ? b : a;
    if (n < 2)
        return;
    const float dr = (r2 - r1) / float(n);
    const float dg = (g2 - g1) / float(n);
    const float db = (b2 - b1) / float(n);
    for (int i = 1; i <= n - 1; ++i) {
        const float fi = float(i);
        const Colour colour = rgbColour(roundEven(r1 + dr * fi), roundEven(g1 + dg * fi), roundEven(b1 + db * fi));
        if (axis == GradientAxis::Vertical)
            plotLine(canvas, x0, y0 + i, a, y0 + i, paintColour(colour));
        else
            plotLine(canvas, x0 + i, y0, x0 + i, b, paintColour(colour));
    }
}

void FillMirrorGradient(FrameCanvas& canvas, Colour a, Colour b, FrameArea area, GradientAxis axis, double q)
{
    if (!(q > 1.0))
        q = 1.01;
    const int x = area.x;
    const int y = area.y;
    const int w = area.width;
    const int h = area.height;
    // Every conversion below rounds half to even.
    if (axis == GradientAxis::Vertical) {
        FillGradient(canvas, a, b, x, y, x + w, roundEven(h / q), axis);
        FillGradient(canvas, b, a, x, roundEven(h / q + y - 1), x + w, roundEven((q - 1) * h / q + 1), axis);
    } else {
        FillGradient(canvas, a, b, x, y, roundEven(w / q), y + h, axis);
        FillGradient(canvas, b, a, roundEven(w / q + x - 1), y, roundEven((q - 1) * w / q + 1), y + h, axis);
    }
}

void FillByMode(FrameCanvas& canvas, Colour a, Colour b, FrameArea area, std::int32_t mode, Outline outline,
                Colour outlineColour, double q)
{
    switch (mode) {
    case 0:
        FillGradient(canvas, b, a, area.x, area.y, area.x + area.width, area.height, GradientAxis::Vertical);
        break;
    case 1:
        FillGradient(canvas, b, a, area.x, area.y, area.width, area.y + area.height, GradientAxis::Horizontal);
        break;
    case 2:
        FillMirrorGradient(canvas, a, b, area, GradientAxis::Vertical, q);
        break;
    case 3:
        FillMirrorGradient(canvas, a, b, area, GradientAxis::Horizontal, q);
        break;
    default:
        break;
    }
    if (outline == Outline::Drawn)
        DrawBoxOutline(canvas, area.x, area.y, area.width, area.height, outlineColour);
}

void DrawGripper(FrameCanvas& canvas, Colour light, Colour dark, int stripHeight)
{
    // Nine dots 4 pixels apart: 18 + 16 is the width they and their gaps are centred by.
    const int x0 = roundEven((float(canvas.width()) - 18 - 16) / 2);
    const int y0 = roundEven((stripHeight - 2) / 2.0);
    for (int i = 0; i <= 8; ++i) {
        DrawBoxOutline(canvas, x0 + 4 * i + 1, y0 + 1, 1, 1, light);
        DrawBoxOutline(canvas, x0 + 4 * i, y0, 1, 1, dark);
    }
}

void DrawCornerPixels(FrameCanvas& canvas, Colour colour)
{
    const int w = canvas.width();
    const int h = canvas.height();
    SetPixel(canvas, 0, 4, colour);
    SetPixel(canvas, 4, 0, colour);
    SetPixel(canvas, w - 5, 0, colour);
    SetPixel(canvas, w - 1, 4, colour);
    SetPixel(canvas, 0, h - 5, colour);
    SetPixel(canvas, 4, h - 1, colour);
    SetPixel(canvas, w - 5, h - 1, colour);
    SetPixel(canvas, w - 1, h - 5, colour);
}

namespace {

// The picture's pixel shown at (col, row) of a w x h box: the source pixel under the centre
// of the target pixel.
std::uint32_t sampled(const FramePicture& picture, int col, int row, int width, int height)
{
    const int sx = int((std::int64_t(2 * col + 1) * picture.width) / (2 * std::int64_t(width)));
    const int sy = int((std::int64_t(2 * row + 1) * picture.height) / (2 * std::int64_t(height)));
    return picture.pixel(sx, sy);
}

// Which pixels of the w x h box at (x, y) lie on the surface.
struct Clip {
    int col0, col1, row0, row1;
};

Clip clipBox(const FrameCanvas& canvas, int x, int y, int width, int height)
{
    return {std::max(0, -x), std::min(width, canvas.width() - x), std::max(0, -y), std::min(height, canvas.height() - y)};
}

// Straight alpha over an opaque pixel, exact: (s * a + d * (255 - a) + 127) / 255.
int over(int source, int target, int alpha) { return (source * alpha + target * (255 - alpha) + 127) / 255; }

}  // namespace

void DrawPicture(FrameCanvas& canvas, int x, int y, int width, int height, const FramePicture& picture)
{
    if (width <= 0 || height <= 0 || picture.isNull())
        return;
    const Clip clip = clipBox(canvas, x, y, width, height);
    for (int row = clip.row0; row < clip.row1; ++row) {
        for (int col = clip.col0; col < clip.col1; ++col) {
            const std::uint32_t s = sampled(picture, col, row, width, height);
            const int alpha = picture.kind == FramePicture::Kind::Bitmap ? 255 : int(s >> 24);
            if (alpha == 0)
                continue;
            const std::uint32_t d = canvas.pixel(x + col, y + row);
            const auto channel = [&](int shift) {
                return over(int((s >> shift) & 0xFF), int((d >> shift) & 0xFF), alpha);
            };
            canvas.setPixel(x + col, y + row, rgbPixel(channel(16), channel(8), channel(0)));
        }
    }
}

void DrawPictureDisabled(FrameCanvas& canvas, int x, int y, int width, int height, const FramePicture& picture)
{
    if (width <= 0 || height <= 0)
        return;
    // The picture on black: a bitmap unscaled from its top-left corner, an icon scaled to the
    // box with its transparent parts left black.
    FrameCanvas rendered;
    rendered.backColor = kBlack;
    rendered.resize(width, height);
    if (!picture.isNull()) {
        if (picture.kind == FramePicture::Kind::Bitmap)
            DrawPicture(rendered, 0, 0, picture.width, picture.height, picture);
        else
            DrawPicture(rendered, 0, 0, width, height, picture);
    }
    const Clip clip = clipBox(canvas, x, y, width, height);
    for (int row = clip.row0; row < clip.row1; ++row) {
        for (int col = clip.col0; col < clip.col1; ++col) {
            // On a 24-bit surface the nearest colour is the colour itself: only true black is
            // left out.
            const std::uint32_t s = rendered.pixel(col, row);
            if (s == 0)
                continue;
            // Luma weights 0.3, 0.59, 0.11, rounded half to even.
            const int g = roundEven(0.3 * int((s >> 16) & 0xFF) + 0.59 * int((s >> 8) & 0xFF) + 0.11 * int(s & 0xFF));
            canvas.setPixel(x + col, y + row, rgbPixel(g, g, g));
        }
    }
}

void FillRegion(FrameCanvas& canvas, const FrameRegion& region, Colour colour)
{
    const std::uint32_t c = paintColour(colour);
    for (const RegionBox& box : region.boxes())
        canvas.fillBox(box.x, box.y, box.width, box.height, c);
}

}  // namespace tav
