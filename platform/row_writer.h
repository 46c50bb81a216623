// The last step shared by every transfer: a row of source colours is mapped to the
// destination's format, combined with the destination's bits under the raster operation and
// written. Raster operations work on the destination format's bits, as on the platform.
#pragma once

#include "dib.h"
#include "pixel_rows.h"

#include <cstdint>
#include <vector>

namespace tav {

// True for the raster operations the transfers implement.
bool supportedRop(DWORD rop);
// True when the operation reads its source.
bool ropUsesSource(DWORD rop);

class RowWriter {
public:
    // `maxRun` is the longest run a single write may have.
    RowWriter(DIBSection& dst, DWORD rop, int maxRun);
    // Writes colours (0x00RRGGBB) at x .. x + n - 1 of row y.
    void writeRgb(int y, int x, int n, const std::uint32_t* rgb);
    // Writes raw values already in the destination's format.
    void writeRaw(int y, int x, int n, const std::uint32_t* raw);

private:
    DIBSection& m_dst;
    DWORD m_rop;
    PixelEncoder m_encoder;
    std::vector<std::uint32_t> m_source;
    std::vector<std::uint32_t> m_existing;
};

}  // namespace tav
