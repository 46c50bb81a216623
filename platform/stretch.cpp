// StretchBlt, the same bytes on every machine.
//
// HALFTONE: each output channel is a weighted sum of source pixels divided by the sum of the
// weights, in exact integers, rounded once, half up. A source pixel's weight is the product
// of its weights on the two axes:
//  - on an axis that shrinks or keeps its size (d <= s), the exact overlap of the source pixel
//    [i, i + 1) with the output pixel [o·s/d, (o + 1)·s/d), counted in units of 1/d;
//  - on an axis that grows, linear interpolation between the two source pixel centres around
//    the output centre (o + 0.5)·s/d − 0.5, clamped to the edge pixels, in units of 1/(2d).
// So an integer shrink gives the exact mean of each block and a flat picture stays flat. The
// horizontal sums are kept whole (64 bits) into the vertical pass: nothing is rounded between
// the axes.
// COLORONCOLOR (and the two monochrome modes): the source pixel under the output centre.
//
// Negative extents mirror; source pixels outside the source bitmap read as its nearest edge.
#include "device_context.h"
#include "dib.h"
#include "pixel_rows.h"
#include "row_writer.h"
#include "transfer.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace tav {

namespace {

// The weights of one axis for a range of output positions, in destination order.
struct AxisWeights {
    std::vector<int> first;          // first source index (relative to the source origin)
    std::vector<int> count;          // number of source pixels
    std::vector<std::size_t> offset; // into weight
    std::vector<std::uint32_t> weight;
    std::uint64_t total = 0;         // every output position's weights sum to this
    int maxCount = 0;
};

// Output positions dBegin .. dEnd - 1 of an axis scaled from s to d pixels; `mirror` reverses the
// output order.
AxisWeights halftoneAxis(std::int64_t s, std::int64_t d, int dBegin, int dEnd, bool mirror)
{
    AxisWeights a;
    a.total = std::uint64_t(d <= s ? s : 2 * d);
    for (int j = dBegin; j < dEnd; ++j) {
        const std::int64_t o = mirror ? d - 1 - j : j;
        a.offset.push_back(a.weight.size());
        if (d <= s) {
            const std::int64_t lo = o * s, hi = (o + 1) * s;  // the output pixel, in units of 1/d
            const std::int64_t i0 = lo / d, i1 = (hi + d - 1) / d;
            for (std::int64_t i = i0; i < i1; ++i)
                a.weight.push_back(std::uint32_t(std::min((i + 1) * d, hi) - std::max(i * d, lo)));
            a.first.push_back(int(i0));
            a.count.push_back(int(i1 - i0));
        } else {
            // Output centre (2o + 1)·s/(2d) − 1/2, in units of 1/(2d) from the first source centre.
            const std::int64_t n = (2 * o + 1) * s - d;
            const std::int64_t i0 = n <= 0 ? 0 : n / (2 * d);
            const std::int64_t f = n <= 0 ? 0 : n % (2 * d);
            if (i0 >= s - 1 || f == 0) {
                a.first.push_back(int(std::min(i0, s - 1)));
                a.count.push_back(1);
                a.weight.push_back(std::uint32_t(2 * d));
            } else {
                a.first.push_back(int(i0));
                a.count.push_back(2);
                a.weight.push_back(std::uint32_t(2 * d - f));
                a.weight.push_back(std::uint32_t(f));
            }
        }
        a.maxCount = std::max(a.maxCount, a.count.back());
    }
    return a;
}

// Source index under the centre of output position j.
std::vector<int> nearestAxis(std::int64_t s, std::int64_t d, int dBegin, int dEnd, bool mirror)
{
    std::vector<int> index;
    for (int j = dBegin; j < dEnd; ++j) {
        const std::int64_t o = mirror ? d - 1 - j : j;
        index.push_back(int(std::min((2 * o + 1) * s / (2 * d), s - 1)));
    }
    return index;
}

int clampTo(std::int64_t v, int limit) { return int(std::clamp<std::int64_t>(v, 0, limit - 1)); }

struct Extent {
    int dst0, dstN;  // destination start and size, normalised
    int src0, srcN;
    bool mirror;
    int visible0, visible1;  // visible destination positions, relative to dst0
};

bool normalise(int dst, int dn, int src, int sn, int dLimit, Extent& e)
{
    e.mirror = (dn < 0) != (sn < 0);
    e.dst0 = dn < 0 ? dst + dn : dst;
    e.dstN = dn < 0 ? -dn : dn;
    e.src0 = sn < 0 ? src + sn : src;
    e.srcN = sn < 0 ? -sn : sn;
    e.visible0 = std::max(0, -e.dst0);
    e.visible1 = int(std::min<std::int64_t>(e.dstN, std::int64_t(dLimit) - e.dst0));
    return e.dstN > 0 && e.srcN > 0 && e.visible0 < e.visible1;
}

void stretchNearest(const DIBSection& from, const Extent& ex, const Extent& ey, RowWriter& writer)
{
    const std::vector<int> xs = nearestAxis(ex.srcN, ex.dstN, ex.visible0, ex.visible1, ex.mirror);
    const std::vector<int> ys = nearestAxis(ey.srcN, ey.dstN, ey.visible0, ey.visible1, ey.mirror);
    std::vector<std::uint32_t> srcRow(std::size_t(from.width()));
    std::vector<std::uint32_t> out(xs.size());
    int loadedRow = -1;
    for (std::size_t k = 0; k < ys.size(); ++k) {
        const int sy = clampTo(std::int64_t(ey.src0) + ys[k], from.height());
        if (sy != loadedRow) {
            readRgbRow(from, sy, 0, from.width(), srcRow.data());
            loadedRow = sy;
        }
        for (std::size_t i = 0; i < xs.size(); ++i)
            out[i] = srcRow[std::size_t(clampTo(std::int64_t(ex.src0) + xs[i], from.width()))];
        writer.writeRgb(ey.dst0 + ey.visible0 + int(k), ex.dst0 + ex.visible0, int(out.size()), out.data());
    }
}

bool stretchHalftone(const DIBSection& from, const Extent& ex, const Extent& ey, RowWriter& writer)
{
    const AxisWeights ax = halftoneAxis(ex.srcN, ex.dstN, ex.visible0, ex.visible1, ex.mirror);
    const AxisWeights ay = halftoneAxis(ey.srcN, ey.dstN, ey.visible0, ey.visible1, ey.mirror);
    const std::uint64_t total = ax.total * ay.total;
    // Every sum must fit 64 bits with room for the rounding: 255 · total · 2 + total.
    if (ax.total > std::numeric_limits<std::uint64_t>::max() / ay.total ||
        total > std::numeric_limits<std::uint64_t>::max() / 1024)
        return false;

    const int outW = ex.visible1 - ex.visible0;
    // Source columns the visible outputs read, clamped to the bitmap.
    int colLo = std::numeric_limits<int>::max(), colHi = std::numeric_limits<int>::min();
    for (int i = 0; i < outW; ++i) {
        colLo = std::min(colLo, ax.first[std::size_t(i)]);
        colHi = std::max(colHi, ax.first[std::size_t(i)] + ax.count[std::size_t(i)] - 1);
    }
    std::vector<std::uint32_t> srcCols(static_cast<std::size_t>(colHi - colLo + 1));
    std::vector<std::uint32_t> srcRow(std::size_t(from.width()));

    // Horizontal sums of recently used source rows, in a ring that a whole output row's window
    // fits in; windows only move down, so a row is never needed again once pushed out.
    const int ring = ay.maxCount + 1;
    std::vector<std::uint64_t> sums(std::size_t(ring) * std::size_t(outW) * 3);
    std::vector<std::int64_t> ringRow(std::size_t(ring), std::numeric_limits<std::int64_t>::min());
    auto horizontal = [&](std::int64_t r) -> const std::uint64_t* {
        const std::size_t slot = std::size_t(((r % ring) + ring) % ring);
        std::uint64_t* h = &sums[slot * std::size_t(outW) * 3];
        if (ringRow[slot] == r)
            return h;
        ringRow[slot] = r;
        readRgbRow(from, clampTo(std::int64_t(ey.src0) + r, from.height()), 0, from.width(), srcRow.data());
        for (int c = colLo; c <= colHi; ++c)
            srcCols[std::size_t(c - colLo)] = srcRow[std::size_t(clampTo(std::int64_t(ex.src0) + c, from.width()))];
        for (int i = 0; i < outW; ++i) {
            std::uint64_t red = 0, green = 0, blue = 0;
            const std::uint32_t* w = &ax.weight[ax.offset[std::size_t(i)]];
            const std::uint32_t* p = &srcCols[std::size_t(ax.first[std::size_t(i)] - colLo)];
            for (int k = 0; k < ax.count[std::size_t(i)]; ++k) {
                red += std::uint64_t(w[k]) * ((p[k] >> 16) & 0xFF);
                green += std::uint64_t(w[k]) * ((p[k] >> 8) & 0xFF);
                blue += std::uint64_t(w[k]) * (p[k] & 0xFF);
            }
            h[3 * i] = red;
            h[3 * i + 1] = green;
            h[3 * i + 2] = blue;
        }
        return h;
    };

    std::vector<std::uint64_t> acc(std::size_t(outW) * 3);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(outW));
    const int outH = ey.visible1 - ey.visible0;
    for (int j = 0; j < outH; ++j) {
        std::fill(acc.begin(), acc.end(), 0);
        const std::uint32_t* w = &ay.weight[ay.offset[std::size_t(j)]];
        for (int k = 0; k < ay.count[std::size_t(j)]; ++k) {
            const std::uint64_t* h = horizontal(std::int64_t(ay.first[std::size_t(j)]) + k);
            for (std::size_t v = 0; v < acc.size(); ++v)
                acc[v] += w[k] * h[v];
        }
        // Rounded once, half up: floor(acc / total + 1/2).
        for (int i = 0; i < outW; ++i) {
            const std::uint64_t r = (2 * acc[3 * i] + total) / (2 * total);
            const std::uint64_t g = (2 * acc[3 * i + 1] + total) / (2 * total);
            const std::uint64_t b = (2 * acc[3 * i + 2] + total) / (2 * total);
            out[std::size_t(i)] = std::uint32_t((r << 16) | (g << 8) | b);
        }
        writer.writeRgb(ey.dst0 + ey.visible0 + j, ex.dst0 + ex.visible0, outW, out.data());
    }
    return true;
}

}  // namespace

BOOL StretchBlt(HDC dst, int xDst, int yDst, int wDst, int hDst, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
    DWORD rop)
{
    if (!dst || !dst->bitmap() || !supportedRop(rop))
        return 0;
    if (!ropUsesSource(rop))
        return BitBlt(dst, std::min(xDst, xDst + wDst), std::min(yDst, yDst + hDst), std::abs(wDst), std::abs(hDst),
            nullptr, 0, 0, rop);
    if (!src || !src->bitmap())
        return 0;
    DIBSection& to = *dst->bitmap();
    // Reading and writing one bitmap at once needs a copy of the source.
    const std::unique_ptr<DIBSection> copy = &to == src->bitmap() ? copyOf(to) : nullptr;
    if (&to == src->bitmap() && !copy)
        return 0;
    const DIBSection& from = copy ? *copy : *src->bitmap();
    Extent ex{}, ey{};
    const bool visibleX = normalise(xDst, wDst, xSrc, wSrc, to.width(), ex);
    const bool visibleY = normalise(yDst, hDst, ySrc, hSrc, to.height(), ey);
    if (ex.dstN == 0 || ex.srcN == 0 || ey.dstN == 0 || ey.srcN == 0)
        return 0;
    if (!visibleX || !visibleY)
        return 1;
    // Same size without mirroring is a plain copy in every mode.
    const bool inside = ex.src0 >= 0 && ey.src0 >= 0 && std::int64_t(ex.src0) + ex.srcN <= from.width() &&
        std::int64_t(ey.src0) + ey.srcN <= from.height();
    if (ex.dstN == ex.srcN && ey.dstN == ey.srcN && !ex.mirror && !ey.mirror && inside && !copy)
        return BitBlt(dst, ex.dst0, ey.dst0, ex.dstN, ey.dstN, src, ex.src0, ey.src0, rop);

    RowWriter writer(to, rop, ex.visible1 - ex.visible0);
    if (dst->stretchMode() == HALFTONE)
        return stretchHalftone(from, ex, ey, writer) ? 1 : 0;
    stretchNearest(from, ex, ey, writer);
    return 1;
}

}  // namespace tav
