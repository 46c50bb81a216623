// Colour conversion and composition of decoded BGRA rows; see bgra_rows.h for the arithmetic.
#include "bgra_rows.h"

#include "transparency.h"

#include <algorithm>

namespace tav {

namespace {

// c * 255 / a, rounded to nearest, halves up; a colour above its opacity gives 255.
void unpremultiply(std::uint8_t* bgra, int width)
{
    for (int x = 0; x < width; ++x, bgra += 4) {
        const unsigned a = bgra[3];
        for (int i = 0; i < 3; ++i)
            bgra[i] = a == 0 ? 0 : std::uint8_t(std::min(255u, (bgra[i] * 255u + a / 2) / a));
    }
}

}  // namespace

void composeDecodedRow(std::uint8_t* bgra, int width, AlphaMode mode, const ColourConversion* conversion,
    COLORREF background, std::uint8_t* bgr)
{
    if (!conversion) {
        if (mode == AlphaMode::Premultiplied)
            composePremultipliedBgraRow(bgra, width, background, bgr);
        else
            composeBgraRow(bgra, width, background, bgr);
        return;
    }
    if (mode == AlphaMode::Premultiplied)
        unpremultiply(bgra, width);
    conversion->convert(bgra, bgra, width);
    composeBgraRow(bgra, width, background, bgr);
}

}  // namespace tav
