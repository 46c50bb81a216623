#include "tests/support/surface.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

using test::makeSurface;
using test::Surface;

// A 6 × 5 "F" in two colours: asymmetric on both axes, so every turn and flip shows.
constexpr const char* kF[5] = {"######", "#.....", "####..", "#.....", "#....."};
constexpr COLORREF kInk = RGB(200, 30, 30);
constexpr COLORREF kPaper = RGB(240, 240, 200);

Surface letterF(int bits)
{
    Surface s = bits <= 8 ? makeSurface(6, 5, bits, {RGBQUAD{200, 240, 240, 0}, RGBQUAD{30, 30, 200, 0}})
                          : makeSurface(6, 5, bits);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            s.set(x, y, kF[y][x] == '#' ? kInk : kPaper);
    return s;
}

struct Turn {
    const char* name;
    POINT points[3];  // in terms of W = 6, H = 5
    int width, height;
    int (*mapX)(int x, int y);  // where source pixel (x, y) lands
    int (*mapY)(int x, int y);
};

const Turn kTurns[] = {
    {"mirror vertical", {{0, 5}, {6, 5}, {0, 0}}, 6, 5, [](int x, int) { return x; }, [](int, int y) { return 4 - y; }},
    {"mirror horizontal", {{6, 0}, {0, 0}, {6, 5}}, 6, 5, [](int x, int) { return 5 - x; }, [](int, int y) { return y; }},
    {"quarter turn", {{0, 6}, {0, 0}, {5, 6}}, 5, 6, [](int, int y) { return y; }, [](int x, int) { return 5 - x; }},
    {"half turn", {{6, 5}, {0, 5}, {6, 0}}, 6, 5, [](int x, int) { return 5 - x; }, [](int, int y) { return 4 - y; }},
    {"three quarter turn", {{5, 0}, {5, 6}, {0, 0}}, 5, 6, [](int, int y) { return 4 - y; }, [](int x, int) { return x; }},
    {"identity", {{0, 0}, {6, 0}, {0, 5}}, 6, 5, [](int x, int) { return x; }, [](int, int y) { return y; }},
};

TEST(PlgBltTest, MirrorsAndQuarterTurnsMoveEveryPixelExactly)
{
    for (int bits : {1, 8, 24}) {
        Surface src = letterF(bits);
        for (const Turn& t : kTurns) {
            Surface dst = bits <= 8 ? makeSurface(t.width, t.height, bits, {RGBQUAD{200, 240, 240, 0}, RGBQUAD{30, 30, 200, 0}})
                                    : makeSurface(t.width, t.height, bits);
            ASSERT_TRUE(PlgBlt(dst.hdc(), t.points, src.hdc(), 0, 0, 6, 5, nullptr, 0, 0)) << t.name;
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 6; ++x)
                    ASSERT_EQ(dst.at(t.mapX(x, y), t.mapY(x, y)), src.at(x, y))
                        << t.name << " at " << bits << " bits, source " << x << "," << y;
        }
    }
}

TEST(PlgBltTest, PixelsOutsideTheParallelogramAreLeftAlone)
{
    Surface src = letterF(24);
    Surface dst = makeSurface(10, 10, 24);
    const POINT points[3] = {{2, 3}, {8, 3}, {2, 8}};
    ASSERT_TRUE(PlgBlt(dst.hdc(), points, src.hdc(), 0, 0, 6, 5, nullptr, 0, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 8 && y >= 3 && y < 8;
            ASSERT_EQ(dst.at(x, y), inside ? src.at(x - 2, y - 3) : 0u) << x << "," << y;
        }
    // Degenerate corners and masks are refused.
    const POINT flat[3] = {{0, 0}, {6, 0}, {12, 0}};
    EXPECT_FALSE(PlgBlt(dst.hdc(), flat, src.hdc(), 0, 0, 6, 5, nullptr, 0, 0));
    EXPECT_FALSE(PlgBlt(dst.hdc(), points, src.hdc(), 0, 0, 6, 5, src.bmp.get(), 0, 0));
}

TEST(PlgBltTest, DoublingTheParallelogramDoublesEachPixel)
{
    Surface src = letterF(24);
    Surface dst = makeSurface(12, 10, 24);
    const POINT points[3] = {{0, 0}, {12, 0}, {0, 10}};
    ASSERT_TRUE(PlgBlt(dst.hdc(), points, src.hdc(), 0, 0, 6, 5, nullptr, 0, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(dst.at(x, y), src.at(x / 2, y / 2));
}

}  // namespace
}  // namespace tav
