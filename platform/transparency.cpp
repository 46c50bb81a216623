// The one transparency rule (transparency.h).
#include "transparency.h"

#include <algorithm>

namespace tav {

void composeBgraRow(const std::uint8_t* bgra, int width, COLORREF background, std::uint8_t* bgr)
{
    const BgrPixel bg = bgrOf(background);
    for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned alpha = bgra[3];
        // Read all four before writing three: `bgr` may trail `bgra` in the same row.
        const unsigned b = bgra[0], g = bgra[1], r = bgra[2];
        bgr[0] = composeChannel(b, alpha, bg.b);
        bgr[1] = composeChannel(g, alpha, bg.g);
        bgr[2] = composeChannel(r, alpha, bg.r);
    }
}

void composePremultipliedBgraRow(const std::uint8_t* bgra, int width, COLORREF background, std::uint8_t* bgr)
{
    const BgrPixel bg = bgrOf(background);
    for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned rest = 255u - bgra[3];
        bgr[0] = std::uint8_t(std::min(255u, bgra[0] + (bg.b * rest + 127) / 255));
        bgr[1] = std::uint8_t(std::min(255u, bgra[1] + (bg.g * rest + 127) / 255));
        bgr[2] = std::uint8_t(std::min(255u, bgra[2] + (bg.r * rest + 127) / 255));
    }
}

}  // namespace tav
