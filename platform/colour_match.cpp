// Nearest-colour matching, with a direct-mapped cache keyed by the 24-bit colour.
#include "colour_match.h"

namespace tav {

int nearestColorIndex(const RGBQUAD* table, int count, std::uint32_t rgb)
{
    const int r = int((rgb >> 16) & 0xFF), g = int((rgb >> 8) & 0xFF), b = int(rgb & 0xFF);
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < count; ++i) {
        const int dr = table[i].rgbRed - r, dg = table[i].rgbGreen - g, db = table[i].rgbBlue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {  // strict: the lowest index wins a tie
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

namespace {
constexpr std::uint32_t kCacheSlots = 4096;
constexpr std::uint32_t kFilled = 0x01000000;
}  // namespace

NearestColorCache::NearestColorCache(const RGBQUAD* table, int count)
    : m_table(table), m_count(count), m_keys(kCacheSlots, 0), m_values(kCacheSlots, 0)
{
}

int NearestColorCache::index(std::uint32_t rgb)
{
    const std::uint32_t slot = ((rgb * 2654435761u) >> 20) & (kCacheSlots - 1);
    if (m_keys[slot] == (rgb | kFilled))
        return m_values[slot];
    const int i = nearestColorIndex(m_table, m_count, rgb);
    m_keys[slot] = rgb | kFilled;
    m_values[slot] = std::uint8_t(i);
    return i;
}

}  // namespace tav
