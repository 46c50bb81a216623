// Regions as rows of pixel spans: the rounded rectangle from its rows, the polygon by scanning
// each row's sample line, intersection row by row.
#include "controls/frame_region.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tav {

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

FrameRegion FrameRegion::rectangle(int x, int y, int width, int height)
{
    FrameRegion region;
    if (width <= 0 || height <= 0)
        return region;
    region.m_top = y;
    region.m_rows.assign(std::size_t(height), Row{Span{x, x + width}});
    return region;
}

FrameRegion FrameRegion::roundRect(FrameRect rect, int cornerWidth, int cornerHeight)
{
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
    const FrameRect shape{rect.left, rect.top, rect.right - 1, rect.bottom - 1};
    FrameRegion region;
    region.m_top = shape.top;
    for (const RowSpan& row : roundRectRows(shape, cornerWidth, cornerHeight))
        region.m_rows.push_back(Row{Span{row.x0, row.x1 + 1}});
    region.trim();
    return region;
}

FrameRegion FrameRegion::polygon(const std::vector<FramePoint>& points)
{
    FrameRegion region;
    if (points.size() < 3)
        return region;
    int top = points.front().y;
    int bottom = top;
    for (const FramePoint& p : points) {
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    region.m_top = top;
    std::vector<std::int64_t> crossings;
    for (int y = top; y < bottom; ++y) {
        // Where each edge crosses the line through the pixels' top-left corners, taken up to
        // the next whole pixel: an edge spans its upper end's row, not its lower end's.
        crossings.clear();
        for (std::size_t i = 0; i < points.size(); ++i) {
            const FramePoint a = points[i];
            const FramePoint b = points[(i + 1) % points.size()];
            if (a.y == b.y)
                continue;
            const FramePoint upper = a.y < b.y ? a : b;
            const FramePoint lower = a.y < b.y ? b : a;
            if (y < upper.y || y >= lower.y)
                continue;
            // x = upper.x + (y - upper.y) * dx / dy, rounded up, in exact integers.
            const std::int64_t num = std::int64_t(y - upper.y) * (lower.x - upper.x);
            const std::int64_t den = lower.y - upper.y;
            std::int64_t q = num / den;
            if (num % den != 0 && num > 0)
                ++q;
            crossings.push_back(upper.x + q);
        }
        std::sort(crossings.begin(), crossings.end());
        Row row;
        for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
            if (crossings[k] >= crossings[k + 1])
                continue;
            // Spans that touch are one span.
            if (!row.empty() && row.back().x1 == crossings[k])
                row.back().x1 = int(crossings[k + 1]);
            else
                row.push_back(Span{int(crossings[k]), int(crossings[k + 1])});
        }
        region.m_rows.push_back(std::move(row));
    }
    region.trim();
    return region;
}

FrameRegion FrameRegion::intersected(const FrameRegion& other) const
{
    FrameRegion result;
    if (isEmpty() || other.isEmpty())
        return result;
    const int top = std::max(m_top, other.m_top);
    const int bottom = std::min(m_top + int(m_rows.size()), other.m_top + int(other.m_rows.size()));
    result.m_top = top;
    for (int y = top; y < bottom; ++y) {
        const Row& a = *rowAt(y);
        const Row& b = *other.rowAt(y);
        Row row;
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < a.size() && j < b.size()) {
            const int x0 = std::max(a[i].x0, b[j].x0);
            const int x1 = std::min(a[i].x1, b[j].x1);
            if (x0 < x1)
                row.push_back(Span{x0, x1});
            if (a[i].x1 < b[j].x1)
                ++i;
            else
                ++j;
        }
        result.m_rows.push_back(std::move(row));
    }
    result.trim();
    return result;
}

FrameRegion FrameRegion::translated(int dx, int dy) const
{
    FrameRegion result = *this;
    result.m_top += dy;
    for (Row& row : result.m_rows) {
        for (Span& span : row) {
            span.x0 += dx;
            span.x1 += dx;
        }
    }
    return result;
}

bool FrameRegion::contains(int x, int y) const
{
    const Row* row = rowAt(y);
    if (!row)
        return false;
    return std::any_of(row->begin(), row->end(), [x](const Span& s) { return x >= s.x0 && x < s.x1; });
}

std::vector<RegionBox> FrameRegion::boxes() const
{
    std::vector<RegionBox> result;
    std::size_t j = 0;
    while (j < m_rows.size()) {
        std::size_t k = j + 1;
        while (k < m_rows.size() && m_rows[k] == m_rows[j])
            ++k;
        for (const Span& span : m_rows[j])
            result.push_back(RegionBox{span.x0, m_top + int(j), span.x1 - span.x0, int(k - j)});
        j = k;
    }
    return result;
}

void FrameRegion::trim()
{
    std::size_t first = 0;
    while (first < m_rows.size() && m_rows[first].empty())
        ++first;
    std::size_t last = m_rows.size();
    while (last > first && m_rows[last - 1].empty())
        --last;
    m_rows = std::vector<Row>(m_rows.begin() + std::ptrdiff_t(first), m_rows.begin() + std::ptrdiff_t(last));
    m_top += int(first);
    if (m_rows.empty())
        m_top = 0;
}

const FrameRegion::Row* FrameRegion::rowAt(int y) const
{
    if (y < m_top || y >= m_top + int(m_rows.size()))
        return nullptr;
    return &m_rows[std::size_t(y - m_top)];
}

}  // namespace tav
