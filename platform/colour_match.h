// Nearest-colour matching into a colour table: least squared RGB distance, lowest index on a
// tie. A blit that maps many pixels keeps a small cache so repeated colours cost one look-up.
#pragma once

#include "gdi_types.h"

#include <cstdint>
#include <vector>

namespace tav {

// `rgb` is 0x00RRGGBB.
int nearestColorIndex(const RGBQUAD* table, int count, std::uint32_t rgb);

class NearestColorCache {
public:
    NearestColorCache(const RGBQUAD* table, int count);
    int index(std::uint32_t rgb);

private:
    const RGBQUAD* m_table;
    int m_count;
    std::vector<std::uint32_t> m_keys;  // rgb | 0x01000000 marks a filled slot
    std::vector<std::uint8_t> m_values;
};

}  // namespace tav
