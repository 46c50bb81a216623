// One rule for every format's transparency: a pixel of opacity a (0 transparent, 255 opaque) is
// composed onto the background, exactly in integers and rounded to nearest:
//   out = (colour * a + background * (255 - a) + 127) / 255
// (a quotient of 255 never has a fraction of exactly one half).
#pragma once

#include "gdi_types.h"

#include <cstdint>

namespace tav {

inline std::uint8_t composeChannel(unsigned colour, unsigned alpha, unsigned background)
{
    return std::uint8_t((colour * alpha + background * (255 - alpha) + 127) / 255);
}

// `width` pixels of blue, green, red, alpha composed onto `background` as blue, green, red.
// `bgr` may be `bgra` (the rows are read ahead of where they are written).
void composeBgraRow(const std::uint8_t* bgra, int width, COLORREF background, std::uint8_t* bgr);

// The same for colours already multiplied by their opacity (TIFF's associated alpha): with
// c = colour * a / 255 the rule is c + background * (255 - a) / 255, of which only the second
// term needs rounding. A colour above its opacity (not a valid premultiplied sample) gives 255.
void composePremultipliedBgraRow(const std::uint8_t* bgra, int width, COLORREF background, std::uint8_t* bgr);

// The background as one 3-byte pixel: blue, green, red.
struct BgrPixel {
    std::uint8_t b, g, r;
};
inline BgrPixel bgrOf(COLORREF c) { return {GetBValue(c), GetGValue(c), GetRValue(c)}; }

}  // namespace tav
