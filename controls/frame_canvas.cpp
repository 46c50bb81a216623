// Drawing routines of the frame control on its persistent image (see frame_canvas.h for the
// pixel rules). Shapes are rasterised here and handed to QPainter as exact pixel rectangles,
// so the result does not depend on the paint engine's anti-aliasing or end-point conventions.
#include "controls/frame_canvas.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tav {
namespace {

// 96 dots per inch in dots per metre (96 / 0.0254 = 3779.5...), the resolution the window's
// point sizes were laid out for.
constexpr int kDotsPerMetre96 = 3780;

// A painter that replaces pixels: no blending, no anti-aliasing.
class PixelPainter {
public:
    explicit PixelPainter(QImage& image) : m_painter(&image)
    {
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    }

    void fill(int x, int y, int width, int height, const QColor& colour)
    {
        if (width > 0 && height > 0)
            m_painter.fillRect(QRect(x, y, width, height), colour);
    }

    // Pixels (x1, y1) up to, not including, (x2, y2). Lines along an axis become one rectangle;
    // other lines step along their longer axis, the shorter one rounded half up.
    void line(int x1, int y1, int x2, int y2, const QColor& colour)
    {
        if (y1 == y2) {
            if (x2 > x1)
                fill(x1, y1, x2 - x1, 1, colour);
            else if (x2 < x1)
                fill(x2 + 1, y1, x1 - x2, 1, colour);
            return;
        }
        if (x1 == x2) {
            if (y2 > y1)
                fill(x1, y1, 1, y2 - y1, colour);
            else
                fill(x1, y2 + 1, 1, y1 - y2, colour);
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
            fill(int(x), int(y), 1, 1, colour);
        }
    }

    QPainter& painter() { return m_painter; }

private:
    QPainter m_painter;
};

}  // namespace

FrameCanvas::FrameCanvas()
{
    resize(1, 1);
}

void FrameCanvas::resize(int newWidth, int newHeight)
{
    image = QImage(std::max(newWidth, 1), std::max(newHeight, 1), QImage::Format_RGB32);
    image.setDotsPerMeterX(kDotsPerMetre96);
    image.setDotsPerMeterY(kDotsPerMetre96);
    Cls();
}

void FrameCanvas::Cls()
{
    image.fill(paintColour(backColor));
}

QColor paintColour(Colour colour)
{
    const Colour plain = TranslateColor(colour);
    return QColor(redOf(plain), greenOf(plain), blueOf(plain));
}

void SetPixel(FrameCanvas& canvas, int x, int y, Colour colour)
{
    PixelPainter(canvas.image).fill(x, y, 1, 1, paintColour(colour));
}

void DrawLine(FrameCanvas& canvas, int x1, int y1, int x2, int y2, Colour colour)
{
    PixelPainter(canvas.image).line(x1, y1, x2, y2, paintColour(colour));
}

void DrawBoxOutline(FrameCanvas& canvas, int x, int y, int width, int height, Colour colour)
{
    PixelPainter p(canvas.image);
    const QColor c = paintColour(colour);
    p.line(x, y, x + width, y, c);
    p.line(x + width, y, x + width, y + height, c);
    p.line(x + width, y + height, x, y + height, c);
    p.line(x, y + height, x, y, c);
}

std::vector<RowSpan> roundRectRows(FrameRect rect, int cornerWidth, int cornerHeight)
{
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    std::vector<RowSpan> rows;
    if (width <= 0 || height <= 0)
        return rows;
    rows.assign(std::size_t(height), RowSpan{rect.left, rect.right - 1});
    const int cw = std::min(std::abs(cornerWidth), width);
    const int ch = std::min(std::abs(cornerHeight), height);
    if (cw < 2 || ch < 2)
        return rows;

    // Corner ellipse with semi-axes a, b; a row's inset is where its pixel centres enter the
    // ellipse. Computing one side and mirroring it keeps the shape symmetric.
    const double a = cw / 2.0;
    const double b = ch / 2.0;
    for (int j = 0; j < height; ++j) {
        const double yc = j + 0.5;
        double dy = 0.0;
        if (yc < b)
            dy = b - yc;
        else if (yc > height - b)
            dy = yc - (height - b);
        if (dy <= 0.0)
            continue;
        const double t = dy / b;
        const double dx = a * std::sqrt(std::max(0.0, 1.0 - t * t));
        int inset = int(std::ceil(a - dx - 0.5));
        inset = std::clamp(inset, 0, (width - 1) / 2);
        rows[std::size_t(j)] = RowSpan{rect.left + inset, rect.right - 1 - inset};
    }
    return rows;
}

void RoundRect(FrameCanvas& canvas, FrameRect rect, int cornerWidth, int cornerHeight)
{
    const std::vector<RowSpan> rows = roundRectRows(rect, cornerWidth, cornerHeight);
    if (rows.empty())
        return;
    const int top = std::min(rect.top, rect.bottom);
    const QColor pen = paintColour(canvas.foreColor);
    const QColor fill = paintColour(canvas.fillColor);
    const bool solid = canvas.fillMode == FillMode::Solid;
    PixelPainter p(canvas.image);
    const std::size_t last = rows.size() - 1;
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const RowSpan row = rows[j];
        const int y = top + int(j);
        if (j == 0 || j == last) {
            p.fill(row.x0, y, row.x1 - row.x0 + 1, 1, pen);
            continue;
        }
        // A pixel is inside when its four neighbours belong to the shape; the rest of the row
        // is the one-pixel outline.
        const RowSpan above = rows[j - 1];
        const RowSpan below = rows[j + 1];
        const int innerLeft = std::max({row.x0 + 1, above.x0, below.x0});
        const int innerRight = std::min({row.x1 - 1, above.x1, below.x1});
        if (innerLeft > innerRight) {
            p.fill(row.x0, y, row.x1 - row.x0 + 1, 1, pen);
            continue;
        }
        p.fill(row.x0, y, innerLeft - row.x0, 1, pen);
        p.fill(innerRight + 1, y, row.x1 - innerRight, 1, pen);
        if (solid)
            p.fill(innerLeft, y, innerRight - innerLeft + 1, 1, fill);
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
    PixelPainter p(canvas.image);
    for (int i = 1; i <= n - 1; ++i) {
        const float fi = float(i);
        const Colour colour = rgbColour(roundEven(r1 + dr * fi), roundEven(g1 + dg * fi), roundEven(b1 + db * fi));
        if (axis == GradientAxis::Vertical)
            p.line(x0, y0 + i, a, y0 + i, paintColour(colour));
        else
            p.line(x0 + i, y0, x0 + i, b, paintColour(colour));
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

void DrawPictureDisabled(FrameCanvas& canvas, int x, int y, int width, int height, const FramePicture& picture)
{
    if (width <= 0 || height <= 0)
        return;
    // The picture on black: a bitmap unscaled from its top-left corner, an icon scaled to the
    // box with its transparent parts left black.
    QImage rendered(width, height, QImage::Format_RGB32);
    rendered.fill(Qt::black);
    if (!picture.image.isNull()) {
        QPainter p(&rendered);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        if (picture.kind == FramePicture::Kind::Bitmap)
            p.drawImage(0, 0, picture.image);
        else
            p.drawImage(QRect(0, 0, width, height), picture.image);
    }
    // What lies under the box; parts outside the surface come back black and are never written.
    QImage result = canvas.image.copy(x, y, width, height).convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < height; ++row) {
        const auto* source = reinterpret_cast<const QRgb*>(rendered.constScanLine(row));
        auto* target = reinterpret_cast<QRgb*>(result.scanLine(row));
        for (int col = 0; col < width; ++col) {
            // On a 24-bit surface the nearest colour is the colour itself: only true black is
            // left out.
            const QRgb s = source[col];
            if ((s & 0xFFFFFF) == 0)
                continue;
            // Luma weights 0.3, 0.59, 0.11, rounded half to even.
            const int g = roundEven(0.3 * qRed(s) + 0.59 * qGreen(s) + 0.11 * qBlue(s));
            target[col] = qRgb(g, g, g);
        }
    }
    PixelPainter p(canvas.image);
    p.painter().drawImage(x, y, result);
}

QRegion RoundRectRegion(FrameRect rect, int cornerWidth, int cornerHeight)
{
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
    // The region stops one pixel short of the right and bottom edges, so it matches the
    // rounded rectangle drawn over (left, top, right - 1, bottom - 1).
    const FrameRect shape{rect.left, rect.top, rect.right - 1, rect.bottom - 1};
    const std::vector<RowSpan> rows = roundRectRows(shape, cornerWidth, cornerHeight);
    QRegion region;
    std::size_t j = 0;
    while (j < rows.size()) {
        // Rows with the same span become one rectangle.
        std::size_t k = j + 1;
        while (k < rows.size() && rows[k].x0 == rows[j].x0 && rows[k].x1 == rows[j].x1)
            ++k;
        region += QRect(rows[j].x0, shape.top + int(j), rows[j].x1 - rows[j].x0 + 1, int(k - j));
        j = k;
    }
    return region;
}

QRegion PolygonRegion(const QPolygon& points)
{
    return QRegion(points, Qt::OddEvenFill);
}

void FillRegion(FrameCanvas& canvas, const QRegion& region, Colour colour)
{
    PixelPainter p(canvas.image);
    const QColor c = paintColour(colour);
    for (const QRect& r : region)
        p.fill(r.x(), r.y(), r.width(), r.height(), c);
}

}  // namespace tav
