// Colour translation, the 50 % blend and the theme table of the frame control.
//
// The system palette is the classic one the window is drawn in ("Windows Standard" of the
// desktop the program was written for), fixed so that every machine paints the same pixels.
#include "controls/frame_colours.h"

#include <array>
#include <optional>

namespace tav {
namespace {

constexpr std::optional<Colour> rgbOpt(int r, int g, int b) { return rgbColour(r, g, b); }

// Indexes 0 to 30; 25 has never been assigned, so it is as unknown as anything above 30.
constexpr std::array<std::optional<Colour>, 31> kClassicSystemColours = {
    rgbOpt(212, 208, 200),  //  0 scroll bar
    rgbOpt(58, 110, 165),   //  1 desktop
    rgbOpt(10, 36, 106),    //  2 active caption
    rgbOpt(128, 128, 128),  //  3 inactive caption
    rgbOpt(212, 208, 200),  //  4 menu
    rgbOpt(255, 255, 255),  //  5 window
    rgbOpt(0, 0, 0),        //  6 window frame
    rgbOpt(0, 0, 0),        //  7 menu text
    rgbOpt(0, 0, 0),        //  8 window text
    rgbOpt(255, 255, 255),  //  9 caption text
    rgbOpt(212, 208, 200),  // 10 active border
    rgbOpt(212, 208, 200),  // 11 inactive border
    rgbOpt(128, 128, 128),  // 12 application workspace
    rgbOpt(10, 36, 106),    // 13 highlight
    rgbOpt(255, 255, 255),  // 14 highlight text
    rgbOpt(212, 208, 200),  // 15 button face
    rgbOpt(128, 128, 128),  // 16 button shadow
    rgbOpt(128, 128, 128),  // 17 grey text
    rgbOpt(0, 0, 0),        // 18 button text
    rgbOpt(212, 208, 200),  // 19 inactive caption text
    rgbOpt(255, 255, 255),  // 20 button highlight
    rgbOpt(64, 64, 64),     // 21 3D dark shadow
    rgbOpt(212, 208, 200),  // 22 3D light
    rgbOpt(0, 0, 0),        // 23 tool-tip text
    rgbOpt(255, 255, 225),  // 24 tool-tip background
    std::nullopt,           // 25 unassigned
    rgbOpt(0, 0, 128),      // 26 hot-tracked item
    rgbOpt(166, 202, 240),  // 27 gradient of the active caption
    rgbOpt(192, 192, 192),  // 28 gradient of the inactive caption
    rgbOpt(10, 36, 106),    // 29 menu highlight
    rgbOpt(212, 208, 200),  // 30 menu bar
};

// Red, green, blue of the theme table; start is the darker end of each gradient.
constexpr std::array<ThemeBaseColors, 5> kBuiltInThemes = {{
    {rgbColour(129, 169, 226), rgbColour(221, 236, 254), rgbColour(0, 0, 128)},     // 0 blue
    {rgbColour(153, 151, 180), rgbColour(244, 244, 251), rgbColour(75, 75, 111)},   // 1 silver
    {rgbColour(181, 197, 143), rgbColour(247, 249, 225), rgbColour(63, 93, 56)},    // 2 olive
    {rgbColour(194, 194, 171), rgbColour(248, 248, 242), rgbColour(145, 145, 115)}, // 3 stone
    {rgbColour(217, 172, 1), rgbColour(255, 239, 165), rgbColour(117, 91, 30)},     // 4 gold
}};

constexpr std::int32_t kThemeSilver = 1;

}  // namespace

Colour TranslateColor(Colour colour)
{
    if (colour & kSystemColourFlag) {
        const unsigned index = colour & 0xFF;
        if (index < kClassicSystemColours.size() && kClassicSystemColours[index])
            return *kClassicSystemColours[index];
        return kColourInvalid;
    }
    switch (colour >> 24) {
    case 0x00:
        return colour;
    case 0x02:  // palette-relative RGB; with no palette selected it is the RGB itself
        return colour & 0xFFFFFF;
    default:  // palette indexes and undefined high bytes cannot be translated without a palette
        return kColourInvalid;
    }
}

Colour BlendHalf(Colour a, Colour b)
{
    // (x + y) / 2 is exact in double; lrint takes a .5 to the even neighbour.
    const auto half = [](int x, int y) { return roundEven((x + y) / 2.0); };
    return rgbColour(half(redOf(a), redOf(b)), half(greenOf(a), greenOf(b)), half(blueOf(a), blueOf(b)));
}

ThemeBaseColors builtInTheme(std::int32_t theme)
{
    if (theme >= 0 && theme < std::int32_t(kBuiltInThemes.size()))
        return kBuiltInThemes[std::size_t(theme)];
    return kBuiltInThemes[kThemeSilver];
}

}  // namespace tav
