// Colour translation, the 50 % blend, the theme table and the half-to-even rounding.
#include "controls/frame_colours.h"

#include "controls_test_support.h"

#include <gtest/gtest.h>

#include <array>

namespace tav {
namespace {

using test::Rgb;
using test::rgbOf;

TEST(TranslateColor, PlainSystemAndUntranslatableValues)
{
    struct Row {
        const char* name;
        Colour in;
        Colour out;
    };
    const std::array<Row, 12> rows = {{
        {"plain colour unchanged", 0x00123456, 0x00123456},
        {"black", 0x00000000, 0x00000000},
        {"button face", 0x8000000F, rgbColour(212, 208, 200)},
        {"grey text", 0x80000011, rgbColour(128, 128, 128)},
        {"3D dark shadow", 0x80000015, rgbColour(64, 64, 64)},
        {"3D light", 0x80000016, rgbColour(212, 208, 200)},
        {"inactive border", 0x8000000B, rgbColour(212, 208, 200)},
        {"unassigned index 25", 0x80000019, kColourInvalid},
        {"unknown index 255", 0x800000FF, kColourInvalid},
        {"palette-relative RGB", 0x02123456, 0x00123456},
        {"palette index without a palette", 0x01000005, kColourInvalid},
        {"-1 itself", 0xFFFFFFFF, kColourInvalid},
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TranslateColor(row.in), row.out);
    }
}

TEST(BlendHalf, HalvesRoundToTheEvenNeighbour)
{
    struct Row {
        Colour a;
        Colour b;
        Rgb expected;
    };
    const std::array<Row, 5> rows = {{
        {rgbColour(0, 0, 0), rgbColour(255, 255, 255), {128, 128, 128}},  // 127.5 -> 128
        {rgbColour(1, 1, 1), rgbColour(2, 2, 2), {2, 2, 2}},              // 1.5 -> 2
        {rgbColour(2, 2, 2), rgbColour(3, 3, 3), {2, 2, 2}},              // 2.5 -> 2
        {rgbColour(3, 5, 7), rgbColour(0, 0, 0), {2, 2, 4}},              // 1.5, 2.5, 3.5
        {rgbColour(129, 169, 226), rgbColour(255, 255, 255), {192, 212, 240}},  // blue theme body
    }};
    for (const Row& row : rows) {
        EXPECT_EQ(rgbOf(BlendHalf(row.a, row.b)), row.expected);
        EXPECT_EQ(rgbOf(BlendHalf(row.b, row.a)), row.expected) << "blending is symmetric";
    }
}

TEST(BuiltInTheme, TableRowsAndSilverForEverythingElse)
{
    struct Row {
        std::int32_t theme;
        Rgb start;
        Rgb end;
        Rgb border;
    };
    const Rgb silverStart{153, 151, 180};
    const Rgb silverEnd{244, 244, 251};
    const Rgb silverBorder{75, 75, 111};
    const std::array<Row, 8> rows = {{
        {0, {129, 169, 226}, {221, 236, 254}, {0, 0, 128}},
        {1, silverStart, silverEnd, silverBorder},
        {2, {181, 197, 143}, {247, 249, 225}, {63, 93, 56}},
        {3, {194, 194, 171}, {248, 248, 242}, {145, 145, 115}},
        {4, {217, 172, 1}, {255, 239, 165}, {117, 91, 30}},
        {5, silverStart, silverEnd, silverBorder},
        {6, silverStart, silverEnd, silverBorder},
        {-1, silverStart, silverEnd, silverBorder},
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.theme);
        const ThemeBaseColors colours = builtInTheme(row.theme);
        EXPECT_EQ(rgbOf(colours.start), row.start);
        EXPECT_EQ(rgbOf(colours.end), row.end);
        EXPECT_EQ(rgbOf(colours.border), row.border);
    }
}

}  // namespace
}  // namespace tav
