// Colours of the frame control: the 0x00BBGGRR colour value, translation of system-colour
// references through the classic fixed system palette, the theme table, the 50 % blend, and
// the half-to-even rounding that every real-to-integer conversion of the control uses.
//
// No Qt here: these are plain values and tables, shared by the drawing routines, the control
// and the tests.
#pragma once

#include <cmath>
#include <cstdint>

namespace tav {

// 0x00BBGGRR, red in the low byte. A value with the high bit set is a system-colour reference
// whose low byte is the system colour index. Persisted as the same 32 bits, signed.
using Colour = std::uint32_t;

// What a failed translation stores (-1 as a signed 32-bit value).
inline constexpr Colour kColourInvalid = 0xFFFFFFFF;
inline constexpr Colour kSystemColourFlag = 0x80000000;

// System colour indexes the control uses by name.
inline constexpr int kColorInactiveBorder = 11;
inline constexpr int kColorBtnFace = 15;
inline constexpr int kColorGrayText = 17;
inline constexpr int kColor3DDkShadow = 21;
inline constexpr int kColor3DLight = 22;

constexpr Colour systemColourRef(int index) { return kSystemColourFlag | Colour(index & 0xFF); }

constexpr Colour rgbColour(int red, int green, int blue)
{
    return Colour(red & 0xFF) | (Colour(green & 0xFF) << 8) | (Colour(blue & 0xFF) << 16);
}

// Channels as the control takes a colour apart: red = v AND 255, green = (v \ 256) AND 255,
// blue = (v AND 0xFF0000) / 65536. The high byte is ignored.
constexpr int redOf(Colour c) { return int(c & 0xFF); }
constexpr int greenOf(Colour c) { return int((c >> 8) & 0xFF); }
constexpr int blueOf(Colour c) { return int((c & 0xFF0000) >> 16); }

inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;

// Real to integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4): std::lrint under the
// default rounding mode (FE_TONEAREST), which the program never changes.
inline int roundEven(double v) { return int(std::lrint(v)); }
inline int roundEven(float v) { return int(std::lrintf(v)); }

// The plain colour for a system-colour reference or a plain colour. System colours come from
// the classic fixed palette (button face 212, 208, 200; grey text 128, 128, 128; ...). An index
// the palette does not know, and a value whose high byte is neither 0, 0x02 (palette-relative
// RGB, which without a palette is its RGB) nor a system reference, yields kColourInvalid.
Colour TranslateColor(Colour colour);

// Per channel (a + b) / 2, the half rounded to even: black and white give 128, 1 and 2 give 2,
// 2 and 3 give 2.
Colour BlendHalf(Colour a, Colour b);

struct ThemeBaseColors {
    Colour start = 0;   // the darker end of the gradient
    Colour end = 0;     // the lighter end
    Colour border = 0;
};

// The built-in themes 0 (blue) to 4 (gold); every other value, the custom theme 5 included,
// gives the silver row. The custom theme's colours come from the control's own properties.
ThemeBaseColors builtInTheme(std::int32_t theme);

}  // namespace tav
