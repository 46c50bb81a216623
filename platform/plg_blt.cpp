// PlgBlt: the source rectangle mapped onto a parallelogram.
//
// The corners are upper-left P0, upper-right P1 and lower-left P2; a source position (u, v)
// inside the w × h rectangle lands at P0 + (u/w)·(P1 − P0) + (v/h)·(P2 − P0). Each destination
// pixel whose centre lies inside the parallelogram takes the source pixel under the inverse
// image of that centre. The inverse is solved exactly in 64-bit integers (coordinates doubled
// so that centres are whole), so mirrors and quarter turns move every pixel exactly.
#include "device_context.h"
#include "dib.h"
#include "pixel_rows.h"
#include "row_writer.h"
#include "transfer.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <vector>

namespace tav {

namespace {

// floor(a / b) for b > 0.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

BOOL PlgBlt(HDC dst, const POINT points[3], HDC src, int xSrc, int ySrc, int width, int height, HBITMAP mask, int, int)
{
    if (!dst || !dst->bitmap() || !src || !src->bitmap() || !points || mask || width <= 0 || height <= 0)
        return 0;
    DIBSection& to = *dst->bitmap();
    const std::unique_ptr<DIBSection> copy = &to == src->bitmap() ? copyOf(to) : nullptr;
    if (&to == src->bitmap() && !copy)
        return 0;
    const DIBSection& from = copy ? *copy : *src->bitmap();

    // Coordinates beyond 2^24 could overflow the exact inverse below; no bitmap is that large.
    for (int i = 0; i < 3; ++i)
        if (std::abs(points[i].x) > (1 << 24) || std::abs(points[i].y) > (1 << 24))
            return 0;
    const std::int64_t ax = std::int64_t(points[1].x) - points[0].x, ay = std::int64_t(points[1].y) - points[0].y;
    const std::int64_t bx = std::int64_t(points[2].x) - points[0].x, by = std::int64_t(points[2].y) - points[0].y;
    std::int64_t det = ax * by - ay * bx;
    if (det == 0)
        return 0;  // a degenerate parallelogram covers no pixel centre
    const std::int64_t sign = det < 0 ? -1 : 1;
    det *= sign;

    // Bounding box of the parallelogram, clipped to the destination.
    const std::int64_t xs[4] = {points[0].x, points[1].x, points[2].x, std::int64_t(points[1].x) + bx};
    const std::int64_t ys[4] = {points[0].y, points[1].y, points[2].y, std::int64_t(points[1].y) + by};
    const int x0 = int(std::max<std::int64_t>(0, *std::min_element(xs, xs + 4)));
    const int x1 = int(std::min<std::int64_t>(to.width(), *std::max_element(xs, xs + 4)));
    const int y0 = int(std::max<std::int64_t>(0, *std::min_element(ys, ys + 4)));
    const int y1 = int(std::min<std::int64_t>(to.height(), *std::max_element(ys, ys + 4)));
    if (x0 >= x1 || y0 >= y1)
        return 1;

    // The source rectangle as colours, read once (pixels outside the bitmap read as its edge).
    std::vector<std::uint32_t> source(std::size_t(width) * std::size_t(height));
    std::vector<std::uint32_t> line(std::size_t(from.width()));
    for (int v = 0; v < height; ++v) {
        readRgbRow(from, std::clamp(ySrc + v, 0, from.height() - 1), 0, from.width(), line.data());
        for (int u = 0; u < width; ++u)
            source[std::size_t(v) * std::size_t(width) + std::size_t(u)] =
                line[std::size_t(std::clamp(xSrc + u, 0, from.width() - 1))];
    }

    RowWriter writer(to, SRCCOPY, x1 - x0);
    std::vector<std::uint32_t> run(static_cast<std::size_t>(x1 - x0));
    for (int y = y0; y < y1; ++y) {
        int runStart = -1, runLength = 0;
        auto flush = [&] {
            if (runLength > 0)
                writer.writeRgb(y, runStart, runLength, run.data());
            runStart = -1;
            runLength = 0;
        };
        for (int x = x0; x < x1; ++x) {
            // Doubled offset of the pixel centre from P0; q = s·a + t·b with s, t in [0, 1).
            const std::int64_t qx = 2 * std::int64_t(x) + 1 - 2 * std::int64_t(points[0].x);
            const std::int64_t qy = 2 * std::int64_t(y) + 1 - 2 * std::int64_t(points[0].y);
            const std::int64_t sNum = (qx * by - qy * bx) * sign;  // s = sNum / (2·det)
            const std::int64_t tNum = (ax * qy - ay * qx) * sign;
            if (sNum < 0 || sNum >= 2 * det || tNum < 0 || tNum >= 2 * det) {
                flush();
                continue;
            }
            const std::int64_t u = floorDiv(sNum * width, 2 * det);
            const std::int64_t v = floorDiv(tNum * height, 2 * det);
            if (runStart < 0)
                runStart = x;
            run[std::size_t(runLength++)] = source[std::size_t(v) * std::size_t(width) + std::size_t(u)];
        }
        flush();
    }
    return 1;
}

}  // namespace tav
