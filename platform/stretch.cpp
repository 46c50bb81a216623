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
#include "stretch.h"

#include "device_context.h"
#include "dib.h"
#include "picture_reader.h"
#include "pixel_rows.h"
#include "row_writer.h"
#include "transfer.h"
#include "second_core.h"
#include "vector_clones.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <numeric>
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
    // Reserved: growing them took some hundred allocations.
    const auto positions = std::size_t(std::max(0, dEnd - dBegin));
    a.first.reserve(positions);
    a.count.reserve(positions);
    a.offset.reserve(positions);
    a.weight.reserve(positions * std::size_t(d <= s ? (s + d - 1) / d + 1 : 2));
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
    // Every weight and the total share the factor gcd(s, d) (2 for shrink by a half, 80 for
    // 6000 to 1280): divided out, the sums and the divisor shrink by it and the quotient, a
    // ratio of the two, stays exactly the same. Small sums take narrower, faster arithmetic.
    std::uint64_t common = a.total;
    for (std::uint32_t w : a.weight)
        common = std::gcd(common, std::uint64_t(w));
    if (common > 1) {
        a.total /= common;
        for (std::uint32_t& w : a.weight)
            w = std::uint32_t(w / common);
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

// Where the HALFTONE core gets its source rows: row r (relative to the source origin; it may lie
// outside the bitmap) as 3-byte pixels (blue, green, red) of the source columns colLo .. colHi.
// Called from one thread at a time, in the order the core needs the rows.
using RowFetch = std::function<const std::uint8_t*(std::int64_t r)>;

// Output rows are made in batches: every source row a batch needs is gathered, then the batch
// is made, by one thread or by two that each make a share of its columns.
constexpr int kBatchRows = 32;
// Below this many weighted source pixels a second thread costs more than it saves (one is
// started for the stretch, or for every batch of a source in memory).
constexpr std::int64_t kParallelWork = 2'000'000;

// How the source rows are had: from memory (cheap) or streamed from a decoder (the costly part
// of the work, so one thread decodes the next batch while the other makes this one).
enum class Source { InMemory, Streamed };

// Source rows spanned by the widest run of `batches` consecutive batches: how many rows a
// streamed source must keep.
int batchSpan(const AxisWeights& ay, int batches = 1)
{
    int span = 1;
    const int rows = int(ay.first.size());
    for (int j0 = 0; j0 < rows; j0 += kBatchRows) {
        int lo = std::numeric_limits<int>::max(), hi = std::numeric_limits<int>::min();
        for (int j = j0; j < std::min(rows, j0 + batches * kBatchRows); ++j) {
            lo = std::min(lo, ay.first[std::size_t(j)]);
            hi = std::max(hi, ay.first[std::size_t(j)] + ay.count[std::size_t(j)] - 1);
        }
        span = std::max(span, hi - lo + 1);
    }
    return span;
}

// floor(n / d) for the final rounding. One division per channel per pixel is the slowest step
// of the whole stretch, so the quotient (at most 255) is estimated with a double reciprocal and
// then corrected in integers, which makes it exact whatever the estimate's error.
// For divisors up to 2^28 (every size the program meets, once the weights are reduced) the
// quotient is the high half of n times ceil(2^64 / d): with e = that multiplier times d minus
// 2^64 (0 <= e < d) the estimate exceeds n / d by n * e / (d * 2^64), less than 1 / d as long as
// n < 2^64 / d, and n is at most 511 / 2 times d. So it never reaches the next integer.
struct ExactDivider {
    explicit ExactDivider(std::uint64_t divisor)
        : d(divisor)
        , reciprocal(1.0 / double(divisor))
        , multiplier(divisor <= kMaxMultiplyDivisor ? std::uint64_t(~std::uint64_t(0) / divisor) + 1 : 0)
    {
    }
    std::uint64_t operator()(std::uint64_t n) const
    {
        if (multiplier != 0)
            return std::uint64_t((unsigned __int128)n * multiplier >> 64);
        std::uint64_t q = std::min<std::uint64_t>(std::uint64_t(double(n) * reciprocal), 256);
        while (q > 0 && q * d > n)
            --q;
        while ((q + 1) * d <= n)
            ++q;
        return q;
    }
    static constexpr std::uint64_t kMaxMultiplyDivisor = std::uint64_t(1) << 28;
    std::uint64_t d;
    double reciprocal;
    std::uint64_t multiplier;  // 0: use the reciprocal and correct
};

// The exact HALFTONE arithmetic for visible output columns [0, outW) and rows [0, outH): first
// the vertical sums of the source rows each output row covers (whole numbers of `Vertical`, wide
// enough for the largest), then the horizontal sums of those (64 bits), rounded once, half up.
// The order of the two sums does not change the exact result; summing rows first lets the inner
// loop run over whole contiguous rows.
template <class Vertical> class HalftoneCore {
public:
    HalftoneCore(const AxisWeights& ax, const AxisWeights& ay, int colLo, DIBSection& to, DWORD rop, int dstX, int dstY)
        : m_ax(ax)
        , m_ay(ay)
        , m_colLo(colLo)
        , m_to(to)
        , m_rop(rop)
        , m_dstX(dstX)
        , m_dstY(dstY)
        , m_divide(2 * ax.total * ay.total)
        , m_total(ax.total * ay.total)
        , m_direct(to.bitCount() == 24 && rop == SRCCOPY)
        , m_rows(ay.weight.size())
    {
    }

    void run(const RowFetch& fetch, Source source)
    {
        const int outW = int(m_ax.first.size());
        const int outH = int(m_ay.first.size());
        std::int64_t work = 0;
        for (int c : m_ax.count)
            work += c;
        work *= std::int64_t(m_ay.weight.size());
        // Sub-byte pixels of two column ranges can share a byte; indexed formats match colours
        // through a cache that one thread owns.
        const bool parallel = outW >= 2 && m_to.bitCount() >= 16 && useSecondCore(work >= kParallelWork);
        // A streamed source: the helper decodes while this thread makes whole batches.
        const bool pipelined = parallel && source == Source::Streamed;
        const int parts = parallel && !pipelined ? 2 : 1;
        for (int p = 0; p < parts; ++p)
            m_parts.push_back(makePart(outW * p / parts, outW * (p + 1) / parts));

        const auto batchEnd = [&](std::int64_t b) { return std::min(outH, int(b + 1) * kBatchRows); };
        const std::int64_t batches = (outH + kBatchRows - 1) / kBatchRows;
        if (pipelined) {
            // The helper gathers the next batch while this thread makes one; the source keeps
            // the rows of two batches, and each batch's rows have entries of their own in m_rows.
            runPipelined(true, batches, 2, [&](std::int64_t b) { gather(fetch, int(b) * kBatchRows, batchEnd(b)); },
                [&](std::int64_t b) { make(m_parts[0], int(b) * kBatchRows, batchEnd(b)); });
            return;
        }
        for (std::int64_t b = 0; b < batches; ++b) {
            const int j0 = int(b) * kBatchRows, j1 = batchEnd(b);
            gather(fetch, j0, j1);
            if (parts == 2)
                runBoth(true, [&] { make(m_parts[0], j0, j1); }, [&] { make(m_parts[1], j0, j1); });
            else
                make(m_parts[0], j0, j1);
        }
    }

private:
    // One thread's share: output columns [i0, i1) and the source columns they read.
    struct Part {
        int i0 = 0, i1 = 0;
        int c0 = 0;  // first source column read, relative to colLo
        std::vector<Vertical> vertical;  // 3 per source column
        std::vector<std::uint32_t> rgb;  // output colours for the row writer
        std::unique_ptr<RowWriter> writer;
    };

    Part makePart(int i0, int i1)
    {
        Part part;
        part.i0 = i0;
        part.i1 = i1;
        int lo = std::numeric_limits<int>::max(), hi = std::numeric_limits<int>::min();
        for (int i = i0; i < i1; ++i) {
            lo = std::min(lo, m_ax.first[std::size_t(i)]);
            hi = std::max(hi, m_ax.first[std::size_t(i)] + m_ax.count[std::size_t(i)] - 1);
        }
        part.c0 = lo - m_colLo;
        part.vertical.resize(std::size_t(hi - lo + 1) * 3);
        if (!m_direct) {
            part.rgb.resize(std::size_t(i1 - i0));
            part.writer = std::make_unique<RowWriter>(m_to, m_rop, i1 - i0);
        }
        return part;
    }

    // Asks for the source rows of output rows [j0, j1), in order.
    void gather(const RowFetch& fetch, int j0, int j1)
    {
        for (int j = j0; j < j1; ++j) {
            const std::size_t at = m_ay.offset[std::size_t(j)];
            for (int k = 0; k < m_ay.count[std::size_t(j)]; ++k)
                m_rows[at + std::size_t(k)] = fetch(std::int64_t(m_ay.first[std::size_t(j)]) + k);
        }
    }

    TAV_VECTOR_CLONES void make(Part& part, int j0, int j1)
    {
        const std::size_t n = part.vertical.size();
        Vertical* v = part.vertical.data();
        for (int j = j0; j < j1; ++j) {
            const std::size_t at = m_ay.offset[std::size_t(j)];
            const int taps = m_ay.count[std::size_t(j)];
            // Vertical sums over whole rows: contiguous, so the compiler vectorises them.
            {
                const Vertical w = m_ay.weight[at];
                const std::uint8_t* p = m_rows[at] + 3 * std::size_t(part.c0);
                for (std::size_t x = 0; x < n; ++x)
                    v[x] = w * Vertical(p[x]);
            }
            for (int k = 1; k < taps; ++k) {
                const Vertical w = m_ay.weight[at + std::size_t(k)];
                const std::uint8_t* p = m_rows[at + std::size_t(k)] + 3 * std::size_t(part.c0);
                for (std::size_t x = 0; x < n; ++x)
                    v[x] += w * Vertical(p[x]);
            }
            // Horizontal sums, rounded once, half up: floor(sum / total + 1/2).
            std::uint8_t* direct = m_direct ? m_to.row(m_dstY + j) + 3 * std::size_t(m_dstX) : nullptr;
            for (int i = part.i0; i < part.i1; ++i) {
                const std::uint32_t* w = &m_ax.weight[m_ax.offset[std::size_t(i)]];
                const Vertical* s = v + 3 * std::size_t(m_ax.first[std::size_t(i)] - m_colLo - part.c0);
                std::uint64_t b = 0, g = 0, r = 0;
                for (int k = 0; k < m_ax.count[std::size_t(i)]; ++k, s += 3) {
                    b += std::uint64_t(w[k]) * s[0];
                    g += std::uint64_t(w[k]) * s[1];
                    r += std::uint64_t(w[k]) * s[2];
                }
                const std::uint64_t qb = m_divide(2 * b + m_total);
                const std::uint64_t qg = m_divide(2 * g + m_total);
                const std::uint64_t qr = m_divide(2 * r + m_total);
                if (direct) {
                    std::uint8_t* o = direct + 3 * std::size_t(i);
                    o[0] = std::uint8_t(qb);
                    o[1] = std::uint8_t(qg);
                    o[2] = std::uint8_t(qr);
                } else {
                    part.rgb[std::size_t(i - part.i0)] = std::uint32_t((qr << 16) | (qg << 8) | qb);
                }
            }
            if (!direct)
                part.writer->writeRgb(m_dstY + j, m_dstX + part.i0, part.i1 - part.i0, part.rgb.data());
        }
    }

    const AxisWeights& m_ax;
    const AxisWeights& m_ay;
    int m_colLo;
    DIBSection& m_to;
    DWORD m_rop;
    int m_dstX, m_dstY;
    ExactDivider m_divide;
    std::uint64_t m_total;
    bool m_direct;
    std::vector<const std::uint8_t*> m_rows;  // per vertical tap, the source row it weighs
    std::vector<Part> m_parts;
};

// Runs the core with vertical sums of 16 bits when they cannot overflow (the reduced weights of
// an axis summing to at most 257), of 32 bits up to 16843009 (every size the program meets),
// else of 64 bits. False when the sums would not fit 64 bits.
bool halftone(const AxisWeights& ax, const AxisWeights& ay, int colLo, const RowFetch& fetch, DIBSection& to,
    DWORD rop, int dstX, int dstY, Source source = Source::InMemory)
{
    // Every sum must fit 64 bits with room for the rounding: 255 · total · 2 + total.
    if (ax.total > std::numeric_limits<std::uint64_t>::max() / ay.total ||
        ax.total * ay.total > std::numeric_limits<std::uint64_t>::max() / 1024)
        return false;
    if (ay.total <= std::numeric_limits<std::uint16_t>::max() / 255)
        HalftoneCore<std::uint16_t>(ax, ay, colLo, to, rop, dstX, dstY).run(fetch, source);
    else if (ay.total <= std::numeric_limits<std::uint32_t>::max() / 255)
        HalftoneCore<std::uint32_t>(ax, ay, colLo, to, rop, dstX, dstY).run(fetch, source);
    else
        HalftoneCore<std::uint64_t>(ax, ay, colLo, to, rop, dstX, dstY).run(fetch, source);
    return true;
}

bool stretchHalftone(const DIBSection& from, const Extent& ex, const Extent& ey, DIBSection& to, DWORD rop)
{
    const AxisWeights ax = halftoneAxis(ex.srcN, ex.dstN, ex.visible0, ex.visible1, ex.mirror);
    const AxisWeights ay = halftoneAxis(ey.srcN, ey.dstN, ey.visible0, ey.visible1, ey.mirror);
    if (ax.total == 0 || ay.total == 0)
        return false;

    const int outW = ex.visible1 - ex.visible0;
    // Source columns the visible outputs read.
    int colLo = std::numeric_limits<int>::max(), colHi = std::numeric_limits<int>::min();
    for (int i = 0; i < outW; ++i) {
        colLo = std::min(colLo, ax.first[std::size_t(i)]);
        colHi = std::max(colHi, ax.first[std::size_t(i)] + ax.count[std::size_t(i)] - 1);
    }
    const bool columnsInside = std::int64_t(ex.src0) + colLo >= 0 && std::int64_t(ex.src0) + colHi < from.width();
    RowFetch fetch;
    std::vector<std::uint8_t> cache;
    std::vector<std::int64_t> cached;
    std::vector<std::uint32_t> srcRow;
    if (from.bitCount() == 24 && columnsInside) {
        // In place: the rows of the bitmap itself.
        fetch = [&](std::int64_t r) {
            return from.row(clampTo(std::int64_t(ey.src0) + r, from.height())) +
                3 * std::size_t(std::int64_t(ex.src0) + colLo);
        };
    } else {
        // Other formats, and columns past the bitmap's edge (read as the nearest edge pixel):
        // converted rows, in slots that no two rows of one batch share.
        const int slots = batchSpan(ay);
        const std::size_t bytes = std::size_t(colHi - colLo + 1) * 3;
        cache.resize(std::size_t(slots) * bytes);
        cached.assign(std::size_t(slots), std::numeric_limits<std::int64_t>::min());
        srcRow.resize(std::size_t(from.width()));
        fetch = [&, slots, bytes](std::int64_t r) -> const std::uint8_t* {
            const auto slot = std::size_t(((r % slots) + slots) % slots);
            std::uint8_t* out = &cache[slot * bytes];
            if (cached[slot] == r)
                return out;
            cached[slot] = r;
            readRgbRow(from, clampTo(std::int64_t(ey.src0) + r, from.height()), 0, from.width(), srcRow.data());
            for (int c = colLo; c <= colHi; ++c, out += 3) {
                const std::uint32_t rgb = srcRow[std::size_t(clampTo(std::int64_t(ex.src0) + c, from.width()))];
                out[0] = std::uint8_t(rgb);
                out[1] = std::uint8_t(rgb >> 8);
                out[2] = std::uint8_t(rgb >> 16);
            }
            return &cache[slot * bytes];
        };
    }
    return halftone(ax, ay, colLo, fetch, to, rop, ex.dst0 + ex.visible0, ey.dst0 + ey.visible0);
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

    if (dst->stretchMode() == HALFTONE)
        return stretchHalftone(from, ex, ey, to, rop) ? 1 : 0;
    RowWriter writer(to, rop, ex.visible1 - ex.visible0);
    stretchNearest(from, ex, ey, writer);
    return 1;
}

bool StretchPicture(PictureReader& from, DIBSection& to)
{
    if (from.width() <= 0 || from.height() <= 0)
        return false;
    const AxisWeights ax = halftoneAxis(from.width(), to.width(), 0, to.width(), false);
    const AxisWeights ay = halftoneAxis(from.height(), to.height(), 0, to.height(), false);
    // The rows of the batch being made and of the next one, gathered meanwhile.
    from.keepRows(batchSpan(ay, 2));
    // Whole picture onto whole bitmap: every column read lies inside the picture, from column 0.
    const RowFetch fetch = [&](std::int64_t r) { return from.row(int(r)); };
    return halftone(ax, ay, 0, fetch, to, SRCCOPY, 0, 0, Source::Streamed);
}

}  // namespace tav
