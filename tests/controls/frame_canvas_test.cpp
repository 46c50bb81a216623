// The drawing routines on a small canvas, probed pixel by pixel.
#include "controls/frame_canvas.h"

#include "controls_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <utility>

namespace tav {
namespace {

using test::gradientStep;
using test::pixelAt;
using test::Rgb;
using test::rgbOf;

constexpr Colour kPaper = 0x00FFFFFF;
constexpr Colour kInk = 0x00000000;
const Rgb kPaperRgb{255, 255, 255};
const Rgb kInkRgb{0, 0, 0};

FrameCanvas paperCanvas(int width, int height)
{
    FrameCanvas canvas;
    canvas.backColor = kPaper;
    canvas.resize(width, height);
    return canvas;
}

std::set<std::pair<int, int>> inkedPixels(const FrameCanvas& canvas)
{
    std::set<std::pair<int, int>> inked;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (pixelAt(canvas, x, y) != kPaperRgb)
                inked.insert({x, y});
    return inked;
}

TEST(DrawLine, NeverIncludesTheEndPoint)
{
    using Pixels = std::set<std::pair<int, int>>;
    struct Row {
        const char* name;
        int x1, y1, x2, y2;
        Pixels expected;
    };
    const std::array<Row, 7> rows = {{
        {"left to right", 1, 2, 5, 2, {{1, 2}, {2, 2}, {3, 2}, {4, 2}}},
        {"right to left", 5, 2, 1, 2, {{5, 2}, {4, 2}, {3, 2}, {2, 2}}},
        {"downwards", 3, 0, 3, 3, {{3, 0}, {3, 1}, {3, 2}}},
        {"upwards", 3, 3, 3, 0, {{3, 3}, {3, 2}, {3, 1}}},
        {"diagonal", 0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {"steep slant", 2, 6, 4, 0, {{2, 6}, {2, 5}, {3, 4}, {3, 3}, {3, 2}, {4, 1}}},
        {"a single point draws nothing", 2, 2, 2, 2, {}},
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FrameCanvas canvas = paperCanvas(8, 8);
        DrawLine(canvas, row.x1, row.y1, row.x2, row.y2, kInk);
        EXPECT_EQ(inkedPixels(canvas), row.expected);
    }
}

TEST(DrawBoxOutline, ClosesTheBoxIncludingItsFarEdges)
{
    FrameCanvas canvas = paperCanvas(8, 8);
    DrawBoxOutline(canvas, 1, 1, 3, 2, kInk);
    std::set<std::pair<int, int>> expected;
    for (int x = 1; x <= 4; ++x) {
        expected.insert({x, 1});
        expected.insert({x, 3});
    }
    expected.insert({1, 2});
    expected.insert({4, 2});
    EXPECT_EQ(inkedPixels(canvas), expected);

    // A 1 x 1 box lights a 2 x 2 square: the gripper's dots.
    FrameCanvas dot = paperCanvas(4, 4);
    DrawBoxOutline(dot, 1, 1, 1, 1, kInk);
    EXPECT_EQ(inkedPixels(dot), (std::set<std::pair<int, int>>{{1, 1}, {2, 1}, {1, 2}, {2, 2}}));
}

TEST(DrawRoundBox, SquareBoxExcludesRightAndBottomAndFillsUnlessHollow)
{
    FrameCanvas canvas = paperCanvas(10, 10);
    const Colour fill = rgbColour(10, 200, 30);
    DrawRoundBox(canvas, Corners::Square, 10, fill, kInk, FrameRect{1, 2, 7, 8}, FillMode::Solid);
    for (int x = 1; x <= 6; ++x) {
        EXPECT_EQ(pixelAt(canvas, x, 2), kInkRgb) << x;
        EXPECT_EQ(pixelAt(canvas, x, 7), kInkRgb) << x;
        EXPECT_EQ(pixelAt(canvas, x, 8), kPaperRgb) << x;
    }
    for (int y = 2; y <= 7; ++y) {
        EXPECT_EQ(pixelAt(canvas, 1, y), kInkRgb) << y;
        EXPECT_EQ(pixelAt(canvas, 6, y), kInkRgb) << y;
        EXPECT_EQ(pixelAt(canvas, 7, y), kPaperRgb) << y;
    }
    EXPECT_EQ(pixelAt(canvas, 3, 4), rgbOf(fill));

    // Hollow keeps the inside and leaves the fill mode solid.
    canvas.Cls();
    DrawRoundBox(canvas, Corners::Square, 0, fill, kInk, FrameRect{1, 1, 8, 8}, FillMode::Hollow);
    EXPECT_EQ(pixelAt(canvas, 1, 1), kInkRgb);
    EXPECT_EQ(pixelAt(canvas, 4, 4), kPaperRgb);
    EXPECT_EQ(canvas.fillMode, FillMode::Solid);
}

TEST(DrawRoundBox, RoundedCornersAreSymmetricAndOpen)
{
    FrameCanvas canvas = paperCanvas(40, 30);
    DrawRoundBox(canvas, Corners::Rounded, 10, kPaper, kInk, FrameRect{2, 3, 35, 27}, FillMode::Solid);
    // The corners themselves stay clear, the middle of every edge is drawn.
    EXPECT_EQ(pixelAt(canvas, 2, 3), kPaperRgb);
    EXPECT_EQ(pixelAt(canvas, 34, 26), kPaperRgb);
    EXPECT_EQ(pixelAt(canvas, 18, 3), kInkRgb);
    EXPECT_EQ(pixelAt(canvas, 2, 15), kInkRgb);
    EXPECT_EQ(pixelAt(canvas, 34, 15), kInkRgb);
    EXPECT_EQ(pixelAt(canvas, 18, 26), kInkRgb);
    // Mirror symmetry across both axes of the box (x 2..34, y 3..26).
    for (int y = 3; y <= 26; ++y)
        for (int x = 2; x <= 34; ++x) {
            EXPECT_EQ(pixelAt(canvas, x, y), pixelAt(canvas, 2 + 34 - x, y)) << x << "," << y;
            EXPECT_EQ(pixelAt(canvas, x, y), pixelAt(canvas, x, 3 + 26 - y)) << x << "," << y;
        }
    // Nothing is drawn outside the box.
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (x < 2 || x > 34 || y < 3 || y > 26) {
                EXPECT_EQ(pixelAt(canvas, x, y), kPaperRgb) << x << "," << y;
            }
        }
    }
}

TEST(FillGradient, SkipsLineZeroAndNeverDrawsTheEndColour)
{
    const Rgb c1{221, 236, 254};
    const Rgb c2{129, 169, 226};
    FrameCanvas canvas = paperCanvas(12, 30);
    FillGradient(canvas, rgbColour(c1.r, c1.g, c1.b), rgbColour(c2.r, c2.g, c2.b), 2, 3, 10, 22,
                 GradientAxis::Vertical);
    EXPECT_EQ(pixelAt(canvas, 5, 3), kPaperRgb) << "row 0 keeps what was under it";
    for (int i = 1; i <= 21; ++i) {
        SCOPED_TRACE(i);
        const Rgb expected = gradientStep(c1, c2, i, 22);
        EXPECT_EQ(pixelAt(canvas, 2, 3 + i), expected);
        EXPECT_EQ(pixelAt(canvas, 9, 3 + i), expected);
        EXPECT_EQ(pixelAt(canvas, 10, 3 + i), kPaperRgb) << "a is the absolute end, excluded";
        EXPECT_EQ(pixelAt(canvas, 1, 3 + i), kPaperRgb);
        EXPECT_NE(pixelAt(canvas, 5, 3 + i), c2);
    }
    EXPECT_EQ(pixelAt(canvas, 5, 3 + 22), kPaperRgb);
    // Step 11 of 22 in green is exactly 202.5, which goes to 202.
    EXPECT_EQ(pixelAt(canvas, 5, 3 + 11).g, 202);
}

TEST(FillGradient, HorizontalDrawsColumnsDownToTheAbsoluteBottom)
{
    FrameCanvas canvas = paperCanvas(12, 10);
    FillGradient(canvas, rgbColour(0, 0, 0), rgbColour(200, 100, 40), 1, 2, 4, 7, GradientAxis::Horizontal);
    EXPECT_EQ(inkedPixels(canvas).size(), 3u * 5u) << "columns 2..4, rows 2..6";
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(pixelAt(canvas, 1 + i, 2), gradientStep({0, 0, 0}, {200, 100, 40}, i, 4));
        EXPECT_EQ(pixelAt(canvas, 1 + i, 6), gradientStep({0, 0, 0}, {200, 100, 40}, i, 4));
        EXPECT_EQ(pixelAt(canvas, 1 + i, 7), kPaperRgb);
    }
}

TEST(FillGradient, FewerThanTwoLinesDrawNothing)
{
    for (int n : {1, 0, -3}) {
        FrameCanvas canvas = paperCanvas(8, 8);
        FillGradient(canvas, kInk, kInk, 0, 0, 8, n, GradientAxis::Vertical);
        FillGradient(canvas, kInk, kInk, 0, 0, n, 8, GradientAxis::Horizontal);
        EXPECT_TRUE(inkedPixels(canvas).empty()) << n;
    }
}

TEST(FillMirrorGradient, ThreePixelStripDrawsOnlyItsSecondHalf)
{
    // round(3 / 2.01) = 1 line for A -> B (nothing), then B -> A from row 0 over
    // round(1.01 * 3 / 2.01 + 1) = 3 lines: rows 1 and 2.
    const Rgb a{0, 0, 0};
    const Rgb b{240, 120, 60};
    FrameCanvas canvas = paperCanvas(6, 5);
    FillMirrorGradient(canvas, kInk, rgbColour(b.r, b.g, b.b), FrameArea{0, 0, 6, 3}, GradientAxis::Vertical, 2.01);
    EXPECT_EQ(pixelAt(canvas, 2, 0), kPaperRgb);
    EXPECT_EQ(pixelAt(canvas, 2, 1), gradientStep(b, a, 1, 3));
    EXPECT_EQ(pixelAt(canvas, 2, 2), gradientStep(b, a, 2, 3));
    EXPECT_EQ(pixelAt(canvas, 2, 3), kPaperRgb);
}

TEST(FillMirrorGradient, RatioNotAboveOneIsTakenAsOnePointZeroOne)
{
    FrameCanvas withOne = paperCanvas(4, 24);
    FrameCanvas with101 = paperCanvas(4, 24);
    FillMirrorGradient(withOne, kInk, rgbColour(200, 0, 0), FrameArea{0, 0, 4, 20}, GradientAxis::Vertical, 1.0);
    FillMirrorGradient(with101, kInk, rgbColour(200, 0, 0), FrameArea{0, 0, 4, 20}, GradientAxis::Vertical, 1.01);
    EXPECT_EQ(withOne.pixels, with101.pixels);
    EXPECT_FALSE(inkedPixels(withOne).empty());
}

TEST(FillByMode, LinearModesStartFromBMirrorModesFromA)
{
    const Colour a = rgbColour(0, 0, 0);
    const Colour b = rgbColour(200, 200, 200);
    struct Row {
        std::int32_t mode;
        Rgb firstDrawn;  // colour at line 1 of the area
        int x;
        int y;
    };
    const std::array<Row, 4> rows = {{
        {0, gradientStep({200, 200, 200}, {0, 0, 0}, 1, 20), 5, 1},
        {1, gradientStep({200, 200, 200}, {0, 0, 0}, 1, 20), 1, 5},
        {2, gradientStep({0, 0, 0}, {200, 200, 200}, 1, 10), 5, 1},   // round(20 / 2.01) = 10
        {3, gradientStep({0, 0, 0}, {200, 200, 200}, 1, 10), 1, 5},
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        FrameCanvas canvas = paperCanvas(24, 24);
        FillByMode(canvas, a, b, FrameArea{0, 0, 20, 20}, row.mode, Outline::None, kInk, 2.01);
        EXPECT_EQ(pixelAt(canvas, row.x, row.y), row.firstDrawn);
    }
}

TEST(FillByMode, UnknownModeDrawsOnlyTheOutline)
{
    FrameCanvas canvas = paperCanvas(12, 12);
    FillByMode(canvas, kInk, kInk, FrameArea{1, 1, 5, 5}, 7, Outline::Drawn, rgbColour(0, 0, 255), 2.01);
    EXPECT_EQ(pixelAt(canvas, 1, 1), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixelAt(canvas, 6, 6), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixelAt(canvas, 3, 3), kPaperRgb);
    EXPECT_EQ(inkedPixels(canvas).size(), 20u);
}

TEST(DrawGripper, NineDarkDotsWithALightSquareBelowRight)
{
    FrameCanvas canvas = paperCanvas(100, 6);
    const Colour light = rgbColour(250, 250, 250);
    const Colour dark = rgbColour(20, 30, 40);
    DrawGripper(canvas, light, dark, 6);
    const int x0 = 33;  // round((100 - 34) / 2)
    const int y0 = 2;   // round((6 - 2) / 2)
    for (int i = 0; i <= 8; ++i) {
        SCOPED_TRACE(i);
        const int x = x0 + 4 * i;
        EXPECT_EQ(pixelAt(canvas, x, y0), rgbOf(dark));
        EXPECT_EQ(pixelAt(canvas, x + 1, y0 + 1), rgbOf(dark));
        EXPECT_EQ(pixelAt(canvas, x + 2, y0 + 1), rgbOf(light));
        EXPECT_EQ(pixelAt(canvas, x + 2, y0 + 2), rgbOf(light));
        EXPECT_EQ(pixelAt(canvas, x + 1, y0 + 2), rgbOf(light));
        EXPECT_EQ(pixelAt(canvas, x + 3, y0), kPaperRgb);
    }
    EXPECT_EQ(pixelAt(canvas, x0 - 1, y0), kPaperRgb);
    EXPECT_EQ(pixelAt(canvas, x0 + 36, y0), kPaperRgb);
}

TEST(DrawCornerPixels, EightPixelsNearTheCorners)
{
    FrameCanvas canvas = paperCanvas(20, 12);
    DrawCornerPixels(canvas, kInk);
    EXPECT_EQ(inkedPixels(canvas), (std::set<std::pair<int, int>>{
                                       {0, 4}, {4, 0}, {15, 0}, {19, 4}, {0, 7}, {4, 11}, {15, 11}, {19, 7}}));
}

TEST(DrawPicture, ScalesByTheSourcePixelUnderEachCentreAndComposesIconsByAlpha)
{
    FramePicture picture;
    picture.width = 2;
    picture.height = 2;
    // Red, half-transparent blue; fully transparent, opaque green.
    picture.pixels = {0xFFFF0000, 0x800000FF, 0x00123456, 0xFF00FF00};
    FrameCanvas canvas = paperCanvas(6, 6);
    DrawPicture(canvas, 1, 1, 4, 4, picture);
    EXPECT_EQ(pixelAt(canvas, 1, 1), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixelAt(canvas, 2, 2), (Rgb{255, 0, 0}));
    // 255 * 127 / 255 for the channels the blue lacks, (255 * 128 + 255 * 127 + 127) / 255 for blue.
    EXPECT_EQ(pixelAt(canvas, 3, 1), (Rgb{127, 127, 255}));
    EXPECT_EQ(pixelAt(canvas, 1, 4), kPaperRgb) << "transparent";
    EXPECT_EQ(pixelAt(canvas, 4, 4), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(canvas, 5, 5), kPaperRgb) << "outside the box";

    // A bitmap ignores alpha; a box partly off the surface draws its visible part.
    picture.kind = FramePicture::Kind::Bitmap;
    DrawPicture(canvas, -2, 0, 4, 4, picture);
    EXPECT_EQ(pixelAt(canvas, 1, 0), (Rgb{0, 0, 255})) << "drawn opaque";
    EXPECT_EQ(pixelAt(canvas, 0, 2), (Rgb{0, 255, 0}));
}

TEST(DrawPictureDisabled, GreysThePictureAndKeepsItsBlackParts)
{
    FrameCanvas canvas = paperCanvas(10, 10);
    canvas.backColor = rgbColour(10, 20, 30);
    canvas.Cls();
    FramePicture icon = *test::solidPicture(4, 4, 0x00000000, FramePicture::Kind::Icon);
    icon.pixels[0] = 0xFFFF0000;  // 76.5 -> 76
    icon.pixels[1] = 0xFFFFFFFF;  // 255
    icon.pixels[2] = 0xFF000000;  // opaque black is left out too
    icon.pixels[3] = 0xFF000005;  // 0.55 -> 1
    DrawPictureDisabled(canvas, 2, 3, 4, 4, icon);
    EXPECT_EQ(pixelAt(canvas, 2, 3), (Rgb{76, 76, 76}));
    EXPECT_EQ(pixelAt(canvas, 3, 3), (Rgb{255, 255, 255}));
    EXPECT_EQ(pixelAt(canvas, 4, 3), (Rgb{10, 20, 30}));
    EXPECT_EQ(pixelAt(canvas, 5, 3), (Rgb{1, 1, 1}));
    EXPECT_EQ(pixelAt(canvas, 2, 4), (Rgb{10, 20, 30})) << "transparent";
}

TEST(DrawPictureDisabled, IconsAreScaledBitmapsCopiedFromTheirCorner)
{
    // A 4 x 4 picture whose top-left 2 x 2 quarter is white and the rest grey 100.
    FramePicture image = *test::solidPicture(4, 4, 0xFF646464, FramePicture::Kind::Icon);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            image.pixels[std::size_t(y * 4 + x)] = 0xFFFFFFFF;
    FramePicture bitmap = image;
    bitmap.kind = FramePicture::Kind::Bitmap;
    FrameCanvas asIcon = paperCanvas(4, 4);
    FrameCanvas asBitmap = paperCanvas(4, 4);
    asIcon.backColor = asBitmap.backColor = rgbColour(0, 0, 90);
    asIcon.Cls();
    asBitmap.Cls();
    DrawPictureDisabled(asIcon, 0, 0, 2, 2, image);
    DrawPictureDisabled(asBitmap, 0, 0, 2, 2, bitmap);
    EXPECT_EQ(pixelAt(asIcon, 1, 1), (Rgb{100, 100, 100})) << "scaled: the grey part shows";
    EXPECT_EQ(pixelAt(asBitmap, 1, 1), (Rgb{255, 255, 255})) << "unscaled: only the white quarter";
    EXPECT_EQ(pixelAt(asBitmap, 2, 2), (Rgb{0, 0, 90})) << "outside the box nothing changes";
}

TEST(RoundRect, DrawnShapeMatchesTheRegionOfTheNextLargerRectangle)
{
    // Windows shape themselves with the region of (0, 0, w, h) and outline (0, 0, w - 1, h - 1).
    FrameCanvas canvas = paperCanvas(30, 20);
    canvas.foreColor = kInk;
    canvas.fillColor = kInk;
    canvas.fillMode = FillMode::Solid;
    RoundRect(canvas, FrameRect{0, 0, 29, 19}, 9, 9);
    const FrameRegion region = FrameRegion::roundRect(FrameRect{0, 0, 30, 20}, 9, 9);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            EXPECT_EQ(pixelAt(canvas, x, y) == kInkRgb, region.contains(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace tav
