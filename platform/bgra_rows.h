// The last step of the decoders whose libraries hand over rows of blue, green, red and opacity
// (WebP, TIFF): the colours converted to sRGB when the file carries a colour profile, then
// composed onto the background by the one rule of transparency.h.
//
// Colours already multiplied by their opacity (TIFF's associated alpha) follow the same rule
// (transparency.h). A colour profile describes the colours themselves, so such colours are
// first divided by their opacity (rounded to nearest, halves up) when there is one to apply.
#pragma once

#include "colour_profile.h"
#include "gdi_types.h"

#include <cstdint>

namespace tav {

enum class AlphaMode {
    Straight,       // colours as they are, opacity beside them
    Premultiplied,  // colours already multiplied by their opacity
};

// One row of `width` BGRA pixels (changed on the way) to 3-byte BGR in `bgr`. `conversion` is
// null or one for SampleLayout::Bgra.
void composeDecodedRow(std::uint8_t* bgra, int width, AlphaMode mode, const ColourConversion* conversion,
    COLORREF background, std::uint8_t* bgr);

}  // namespace tav
