// The GDI text engine of the frame control: that drawing changes glyph pixels only, to exactly
// the text colour and only inside the rectangle; that the layout flags place the text; and that
// measuring agrees with drawing. Run under Wine, whose fonts here come from the system
// (Arial is stood in for by Liberation Sans), so positions are compared with each other and
// with the engine's own measurements rather than pinned.
#include "controls/win32/gdi_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tav {
namespace {

const FrameFont kArialBold{u"Arial", 9.75, true};
const FrameFont kArialLarge{u"Arial", 27.75, true};
// 0x00BBGGRR; drawn as the pixel 0x00RRGGBB below. Red and blue differ, so a swap shows.
constexpr Colour kTextColour = rgbColour(0x12, 0x34, 0xEF);
constexpr std::uint32_t kTextPixel = 0x1234EF;

struct Ink {
    int left = std::numeric_limits<int>::max();
    int top = std::numeric_limits<int>::max();
    int right = -1;  // inclusive
    int bottom = -1;
    int count = 0;
    bool empty() const { return count == 0; }
};

// A surface of varied pixels, none of them the text colour (green is never 0x34), so that a
// pixel moved, recoloured or blended by the drawing shows.
struct Canvas {
    Canvas(int w, int h) : width(w), height(h)
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels.push_back(std::uint32_t((x * 29 + y * 7) & 0xFF) << 16 | std::uint32_t(0x80 | ((x + y) & 0x7F)) << 8 |
                    std::uint32_t((x * 3 + y * 41) & 0xFF));
        original = pixels;
    }
    PixelView view() { return {width, height, pixels.data()}; }
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    std::uint32_t was(int x, int y) const { return original[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }

    // The box of the pixels that changed.
    Ink ink() const
    {
        Ink ink;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y) != was(x, y)) {
                    ink.left = std::min(ink.left, x);
                    ink.right = std::max(ink.right, x);
                    ink.top = std::min(ink.top, y);
                    ink.bottom = std::max(ink.bottom, y);
                    ++ink.count;
                }
        return ink;
    }

    // Every changed pixel is the text colour and lies inside `rect`; counts what is not.
    int strayPixels(const FrameRect& rect) const
    {
        int stray = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y) != was(x, y) &&
                    (at(x, y) != kTextPixel || x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom))
                    ++stray;
        return stray;
    }

    int width;
    int height;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint32_t> original;
};

class GdiTextTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(text, nullptr); }

    // The ink of `line` drawn alone into `rect` on a fresh canvas.
    Ink inkOf(const FrameFont& font, const FrameRect& rect, int format, std::u16string_view line, int w = 200, int h = 80)
    {
        Canvas canvas(w, h);
        EXPECT_TRUE(text->draw(canvas.view(), font, kTextColour, rect, format, line));
        EXPECT_EQ(canvas.strayPixels(rect), 0);
        return canvas.ink();
    }

    std::unique_ptr<GdiText> text = GdiText::create();
};

TEST_F(GdiTextTest, OnlyGlyphPixelsChangeToExactlyTheTextColourInsideTheRectangle)
{
    struct Row {
        const char* name;
        FrameFont font;
        int format;
        std::u16string text;
    };
    const Row rows[] = {
        {"bold, one line", kArialBold, kDtSingleLine | kDtVCenter, u"1) Please Choose a Season"},
        {"large, centred", kArialLarge, kDtCenter | kDtSingleLine, u"Tavrenix"},
        {"italic, underlined, struck out, wrapped", FrameFont{u"Arial", 12, false, true, true, true}, kDtWordBreak,
            u"Select a image from your disk, then make the logo"},
        {"the default face", FrameFont{}, kDtRight, u"Season 5 ( 1.05c or similar )"},
    };
    const FrameRect rect{9, 7, 151, 63};
    for (const Row& row : rows) {
        Canvas canvas(160, 70);
        ASSERT_TRUE(text->draw(canvas.view(), row.font, kTextColour, rect, row.format, row.text)) << row.name;
        const Ink ink = canvas.ink();
        EXPECT_GT(ink.count, 40) << row.name;
        EXPECT_EQ(canvas.strayPixels(rect), 0) << row.name;
    }
}

TEST_F(GdiTextTest, PartsOfTheRectangleOffThePixelsAreLeftOut)
{
    struct Row {
        const char* name;
        FrameRect rect;
    };
    const Row rows[] = {
        {"over the top-left corner", {-30, -6, 50, 14}},
        {"over the bottom-right corner", {40, 30, 130, 60}},
        {"wider than the pixels", {-100, 5, 300, 30}},
    };
    for (const Row& row : rows) {
        Canvas canvas(80, 40);
        ASSERT_TRUE(text->draw(canvas.view(), kArialLarge, kTextColour, row.rect, kDtCenter | kDtSingleLine | kDtVCenter,
            u"Make my logo now!"))
            << row.name;
        EXPECT_GT(canvas.ink().count, 0) << row.name;
        EXPECT_EQ(canvas.strayPixels(row.rect), 0) << row.name;
    }
}

TEST_F(GdiTextTest, NothingChangesForARectangleOffThePixelsOrEmpty)
{
    const FrameRect rects[] = {{100, 0, 150, 20}, {0, -30, 50, -2}, {10, 10, 10, 30}, {10, 10, 60, 10}, {30, 5, 20, 25}};
    for (const FrameRect& rect : rects) {
        Canvas canvas(80, 40);
        EXPECT_TRUE(text->draw(canvas.view(), kArialBold, kTextColour, rect, kDtLeft, u"Tavrenix"));
        EXPECT_TRUE(canvas.ink().empty()) << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
    }
}

TEST_F(GdiTextTest, TextLongerThanItsRectangleIsClippedByIt)
{
    const FrameRect rect{20, 10, 70, 30};
    const Ink ink = inkOf(kArialBold, rect, kDtSingleLine, u"All logos are auto-resized to the right size");
    ASSERT_FALSE(ink.empty());
    // The line would run far beyond the rectangle; it is cut at its right edge.
    EXPECT_GE(ink.right, rect.right - 3);
    EXPECT_LT(ink.right, rect.right);
}

TEST_F(GdiTextTest, LeftCentredAndRightPlaceTheLineInTheRectangle)
{
    const FrameRect rect{10, 10, 190, 50};
    const std::u16string line = u"Tavrenix";
    const Ink left = inkOf(kArialLarge, rect, kDtSingleLine | kDtLeft, line);
    const Ink centre = inkOf(kArialLarge, rect, kDtSingleLine | kDtCenter, line);
    const Ink right = inkOf(kArialLarge, rect, kDtSingleLine | kDtRight, line);
    ASSERT_FALSE(left.empty() || centre.empty() || right.empty());
    // The glyphs' side bearings keep the ink a pixel or two inside the advance.
    EXPECT_LE(left.left - rect.left, 3);
    EXPECT_LE(rect.right - 1 - right.right, 3);
    const int spare = (rect.right - rect.left) - text->lineWidth(kArialLarge, line);
    ASSERT_GT(spare, 20);
    // The same ink, moved by the spare width and by half of it (GDI halves towards zero).
    EXPECT_EQ(right.left - left.left, spare);
    EXPECT_NEAR(centre.left - left.left, spare / 2, 1);
    EXPECT_EQ(centre.right - centre.left, left.right - left.left);
}

TEST_F(GdiTextTest, ASingleLineIsCentredVerticallyOnlyWhenAsked)
{
    const FrameRect rect{5, 4, 195, 74};
    const std::u16string line = u"Season 6 ( EN MODO TEST )";
    const Ink top = inkOf(kArialBold, rect, kDtSingleLine, line);
    const Ink centred = inkOf(kArialBold, rect, kDtSingleLine | kDtVCenter, line);
    // Without the single-line flag vertical centring does not apply.
    const Ink multiLine = inkOf(kArialBold, rect, kDtVCenter, line);
    ASSERT_FALSE(top.empty() || centred.empty() || multiLine.empty());
    EXPECT_LE(top.top - rect.top, text->lineHeight(kArialBold) / 2);
    const int shift = ((rect.bottom - rect.top) - text->lineHeight(kArialBold)) / 2;
    EXPECT_NEAR(centred.top - top.top, shift, 1);
    EXPECT_EQ(multiLine.top, top.top);
}

TEST_F(GdiTextTest, WordBreaksWrapTheTextIntoTheWidth)
{
    const std::u16string sentence = u"All logos are auto-resized to the right size for the logo.";
    const int height = text->lineHeight(kArialBold);
    ASSERT_GT(height, 8);

    const TextSize wrapped = text->wrappedSize(kArialBold, 120, sentence);
    EXPECT_LE(wrapped.width, 120.0);
    EXPECT_GE(wrapped.height, 3.0 * height);
    EXPECT_EQ(std::fmod(wrapped.height, double(height)), 0.0);

    // Where it fits, the block is the line itself.
    const TextSize oneLine = text->wrappedSize(kArialBold, 1000, sentence);
    EXPECT_EQ(oneLine.width, double(text->lineWidth(kArialBold, sentence)));
    EXPECT_EQ(oneLine.height, double(height));

    // A word wider than the width widens the block.
    const TextSize word = text->wrappedSize(kArialBold, 5, u"Tavrenix");
    EXPECT_EQ(word.width, double(text->lineWidth(kArialBold, u"Tavrenix")));

    // Drawn with word breaks into the block it measured, it takes the block's lines; without,
    // it stays on one line.
    const FrameRect block{0, 0, 120, int(wrapped.height)};
    const Ink drawnWrapped = inkOf(kArialBold, block, kDtWordBreak, sentence);
    const Ink drawnCut = inkOf(kArialBold, block, kDtLeft, sentence);
    EXPECT_GT(drawnWrapped.bottom - drawnWrapped.top, 2 * height);
    EXPECT_LT(drawnCut.bottom - drawnCut.top, height);
}

TEST_F(GdiTextTest, WidthsGrowWithTheTextTheSizeAndTheWeight)
{
    EXPECT_EQ(text->lineWidth(kArialBold, u""), 0);
    const int t = text->lineWidth(kArialBold, u"T");
    const int ta = text->lineWidth(kArialBold, u"Ta");
    const int word = text->lineWidth(kArialBold, u"Tavrenix");
    EXPECT_GT(t, 0);
    EXPECT_LT(t, ta);
    EXPECT_LT(ta, word);
    EXPECT_GT(text->lineWidth(kArialLarge, u"Tavrenix"), 2 * word);
    FrameFont regular = kArialLarge;
    regular.bold = false;
    EXPECT_LT(text->lineWidth(regular, u"Tavrenix"), text->lineWidth(kArialLarge, u"Tavrenix"));
    EXPECT_GT(text->lineHeight(kArialLarge), 2 * text->lineHeight(kArialBold));
}

TEST_F(GdiTextTest, EachFontKeepsAllItsAttributesWhenSeveralAreInUse)
{
    // Fonts are made once and kept: one engine asked for them in turn must measure and draw
    // each as an engine that only ever saw that font.
    std::vector<FrameFont> fonts = {kArialBold, kArialLarge, FrameFont{u"Liberation Mono", 9.75, true}};
    FrameFont regular = kArialLarge;
    regular.bold = false;
    FrameFont italic = regular;
    italic.italic = true;
    FrameFont underlined = regular;
    underlined.underline = true;
    FrameFont struck = regular;
    struck.strikethrough = true;
    fonts.insert(fonts.end(), {regular, italic, underlined, struck, kArialBold});

    const std::u16string line = u"Wavy Tavrenix";
    const FrameRect rect{0, 0, 300, 60};
    std::vector<int> widths;
    std::vector<std::vector<std::uint32_t>> drawings;
    for (const FrameFont& font : fonts) {
        Canvas canvas(300, 60);
        ASSERT_TRUE(text->draw(canvas.view(), font, kTextColour, rect, kDtSingleLine, line));
        widths.push_back(text->lineWidth(font, line));
        drawings.push_back(canvas.pixels);
    }
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        const auto alone = GdiText::create();
        Canvas canvas(300, 60);
        ASSERT_TRUE(alone->draw(canvas.view(), fonts[i], kTextColour, rect, kDtSingleLine, line));
        EXPECT_EQ(widths[i], alone->lineWidth(fonts[i], line)) << "font " << i;
        EXPECT_TRUE(drawings[i] == canvas.pixels) << "font " << i;
    }
    // And the attributes show: each of these draws differently from the plain font.
    for (std::size_t i : {4u, 5u, 6u})
        EXPECT_FALSE(drawings[i] == drawings[3]) << "font " << i;
}

TEST_F(GdiTextTest, AmpersandsAreText)
{
    // No prefix processing: "&&" is two ampersands, not one, in drawing and in measuring.
    const std::u16string line = u"&&&&&&&&";
    const int advance = text->lineWidth(kArialLarge, line);
    const Ink ink = inkOf(kArialLarge, FrameRect{0, 0, 300, 60}, kDtSingleLine, line, 300, 60);
    ASSERT_FALSE(ink.empty());
    EXPECT_GT(ink.right - ink.left + 1, advance - 8);
    EXPECT_EQ(text->wrappedSize(kArialLarge, 1000, line).width, double(advance));
}

TEST(GdiFontHeight, PointsBecomeTheNegativeEmHeightAt96DotsPerInchHalvesToEven)
{
    struct Row {
        double points;
        int height;
    };
    const Row rows[] = {
        {8.25, -11}, {9.75, -13}, {27.75, -37}, {12.0, -16}, {10.0, -13},  // 13.33
        {9.375, -12},                                                      // 12.5: to even, down
        {10.125, -14},                                                     // 13.5: to even, up
        {0.0, -1}, {-8.0, -1}, {std::nan(""), -1}, {1e9, -16384},
    };
    for (const Row& row : rows)
        EXPECT_EQ(gdiFontHeight(row.points), row.height) << row.points;
}

}  // namespace
}  // namespace tav
