// Rectangles and regions of the frame control, in surface pixels: the shapes a window is cut
// to and a fill is limited by. A region is kept as its rows, each a list of pixel spans, so
// that it converts to whatever rectangles a toolkit's own region is made of.
#pragma once

#include <vector>

namespace tav {

// (left, top, right, bottom) as the platform's rectangle calls take it.
struct FrameRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const FrameRect&, const FrameRect&) = default;
};

struct FramePoint {
    int x = 0;
    int y = 0;
};

// Inclusive horizontal extent [x0, x1] of one row of a rounded rectangle.
struct RowSpan {
    int x0 = 0;
    int x1 = -1;
    friend bool operator==(const RowSpan&, const RowSpan&) = default;
};

// The rows top..bottom-1 of the rounded rectangle covering left..right-1 with a corner
// ellipse of cornerWidth x cornerHeight (clamped to the rectangle): a pixel belongs to it when
// its centre lies inside the shape. Empty when the rectangle is.
std::vector<RowSpan> roundRectRows(FrameRect rect, int cornerWidth, int cornerHeight);

// A pixel rectangle (x, y, width, height) of a region.
struct RegionBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const RegionBox&, const RegionBox&) = default;
};

class FrameRegion {
public:
    FrameRegion() = default;

    static FrameRegion rectangle(int x, int y, int width, int height);
    // The platform's rounded-rectangle region: it leaves out the right and bottom edges, so it
    // matches the rounded rectangle drawn over (left, top, right - 1, bottom - 1).
    static FrameRegion roundRect(FrameRect rect, int cornerWidth, int cornerHeight);
    // A polygon filled by the alternate (even-odd) rule: a pixel is inside when its top-left
    // corner is, points on a left or top edge counting as inside, on a right or bottom edge
    // as outside.
    static FrameRegion polygon(const std::vector<FramePoint>& points);

    FrameRegion intersected(const FrameRegion& other) const;
    FrameRegion translated(int dx, int dy) const;

    bool isEmpty() const { return m_rows.empty(); }
    bool contains(int x, int y) const;
    // Non-overlapping rectangles covering the region, top to bottom; rows with the same spans
    // become one rectangle.
    std::vector<RegionBox> boxes() const;

    friend bool operator==(const FrameRegion&, const FrameRegion&) = default;

private:
    // Half-open spans [x0, x1) of one row, sorted and apart.
    struct Span {
        int x0 = 0;
        int x1 = 0;
        friend bool operator==(const Span&, const Span&) = default;
    };
    using Row = std::vector<Span>;

    // Drops empty rows at both ends.
    void trim();
    const Row* rowAt(int y) const;

    int m_top = 0;
    std::vector<Row> m_rows;  // rows m_top, m_top + 1, ...
};

}  // namespace tav
