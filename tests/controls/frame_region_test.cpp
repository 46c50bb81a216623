// Regions in plain pixels, held against Qt's own region code where both describe the same
// shape: the platform's polygon rule (Qt's comes from the same X11 scan converter the
// platform's does) and intersection.
#include "controls/frame_region.h"

#include <QPolygon>
#include <QRegion>

#include <gtest/gtest.h>

#include <random>

namespace tav {
namespace {

QRegion toQRegion(const FrameRegion& region)
{
    QRegion result;
    for (const RegionBox& box : region.boxes())
        result += QRect(box.x, box.y, box.width, box.height);
    return result;
}

QPolygon toQPolygon(const std::vector<FramePoint>& points)
{
    QPolygon polygon;
    for (const FramePoint& p : points)
        polygon << QPoint(p.x, p.y);
    return polygon;
}

TEST(FrameRegion, TabPolygonsCoverWhatQtsEvenOddRegionCovers)
{
    // The two tab shapes for every tab size a frame can have.
    for (int w = 20; w <= 140; w += 7) {
        for (int h = 8; h <= 30; h += 3) {
            const int slant = int(std::lrint(w + h / 2.0));
            for (const std::vector<FramePoint>& points :
                 {std::vector<FramePoint>{{0, 0}, {0, h}, {w, h}, {slant, 0}},
                  std::vector<FramePoint>{{6, 0}, {6, h}, {slant, h}, {w, 0}}}) {
                SCOPED_TRACE(testing::Message() << w << " x " << h << " from x " << points[0].x);
                EXPECT_EQ(toQRegion(FrameRegion::polygon(points)), QRegion(toQPolygon(points), Qt::OddEvenFill));
            }
        }
    }
}

TEST(FrameRegion, RandomPolygonsAndIntersectionsMatchQt)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(-5, 40);
    std::uniform_int_distribution<int> corners(3, 7);
    for (int round = 0; round < 300; ++round) {
        std::vector<FramePoint> a(std::size_t(corners(random)));
        std::vector<FramePoint> b(std::size_t(corners(random)));
        for (FramePoint& p : a)
            p = {coordinate(random), coordinate(random)};
        for (FramePoint& p : b)
            p = {coordinate(random), coordinate(random)};
        SCOPED_TRACE(round);
        const QRegion qa(toQPolygon(a), Qt::OddEvenFill);
        const QRegion qb(toQPolygon(b), Qt::OddEvenFill);
        ASSERT_EQ(toQRegion(FrameRegion::polygon(a)), qa);
        EXPECT_EQ(toQRegion(FrameRegion::polygon(a).intersected(FrameRegion::polygon(b))), qa & qb);
    }
}

TEST(FrameRegion, RoundRectStopsShortOfTheRightAndBottomEdges)
{
    EXPECT_EQ(FrameRegion::roundRect(FrameRect{0, 0, 20, 10}, 0, 0), FrameRegion::rectangle(0, 0, 19, 9));

    const FrameRegion rounded = FrameRegion::roundRect(FrameRect{0, 0, 20, 10}, 9, 9);
    EXPECT_FALSE(rounded.contains(0, 0));
    EXPECT_FALSE(rounded.contains(18, 8));
    EXPECT_FALSE(rounded.contains(19, 5));
    EXPECT_FALSE(rounded.contains(10, 9));
    EXPECT_TRUE(rounded.contains(10, 0));
    EXPECT_TRUE(rounded.contains(0, 5));
    EXPECT_TRUE(rounded.contains(18, 4));
    EXPECT_TRUE(rounded.contains(10, 8));
}

TEST(FrameRegion, BoxesJoinEqualRowsAndMoveWithTheRegion)
{
    const FrameRegion square = FrameRegion::rectangle(2, 3, 4, 5);
    EXPECT_EQ(square.boxes(), (std::vector<RegionBox>{{2, 3, 4, 5}}));
    EXPECT_EQ(square.translated(10, -3).boxes(), (std::vector<RegionBox>{{12, 0, 4, 5}}));
    EXPECT_TRUE(square.intersected(FrameRegion::rectangle(6, 3, 4, 5)).isEmpty()) << "edges that only touch";
    EXPECT_TRUE(FrameRegion::rectangle(0, 0, 0, 5).isEmpty());
    EXPECT_TRUE(FrameRegion::polygon({{0, 0}, {5, 5}}).isEmpty()) << "two points enclose nothing";
}

}  // namespace
}  // namespace tav
