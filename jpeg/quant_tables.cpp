// Quantization tables and quality scaling.
//
// The base tables are the examples of T.81 Annex K (Tables K.1 and K.2), scaled by the
// usual quality percentage (below 50: 5000 / q; from 50: 200 - 2q). Every real-to-integer
// step rounds to the nearest integer with ties to the even neighbour (std::nearbyint under
// the default rounding mode), which is what the file format's producers of this encoder
// have always done; "add 0.5 and truncate" would give different tables.
//
// The multipliers fold the output scale of the AAN forward DCT into the quantizer: the
// transform delivers F(u, v) / (AanScale(u) * AanScale(v)), so multiplying by
// AanScale(u) * AanScale(v) / Qk gives F(u, v) / Qk directly.
#include "jpeg/quant_tables.h"

#include "jpeg/errors.h"

#include <algorithm>
#include <cmath>

namespace tav {

namespace {

// Table K.1, rows of the block top to bottom (natural order).
constexpr std::array<std::int16_t, 64> kLuminanceK1 = {
    16, 11, 10, 16, 24, 40, 51, 61,  //
    12, 12, 14, 19, 26, 58, 60, 55,  //
    14, 13, 16, 24, 40, 57, 69, 56,  //
    14, 17, 22, 29, 51, 87, 80, 62,  //
    18, 22, 37, 56, 68, 109, 103, 77,  //
    24, 35, 55, 64, 81, 104, 113, 92,  //
    49, 64, 78, 87, 103, 121, 120, 101,  //
    72, 92, 95, 98, 112, 100, 103, 99,  //
};

// Table K.2, natural order.
constexpr std::array<std::int16_t, 64> kChrominanceK2 = {
    17, 18, 24, 47, 99, 99, 99, 99,  //
    18, 21, 26, 66, 99, 99, 99, 99,  //
    24, 26, 56, 99, 99, 99, 99, 99,  //
    47, 66, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
};

std::array<std::int16_t, 64> toZigZagOrder(const std::array<std::int16_t, 64>& natural, const ZigZagTable& zigZag)
{
    std::array<std::int16_t, 64> out{};
    for (int i = 0; i < 64; ++i)
        out[std::size_t(zigZag[std::size_t(i)])] = natural[std::size_t(i)];
    return out;
}

}  // namespace

ZigZagTable buildZigZag()
{
    // Walk the anti-diagonals from (0, 0), alternating up-right and down-left. A step that
    // would leave the block goes one position right (top or bottom edge) or one position down
    // (left or right edge) instead and turns the walk round. The edges are tested in the
    // order right, bottom, left, top, which settles the two corners (7, 0) and (0, 7).
    ZigZagTable table{};
    int u = 0;
    int v = 0;
    int du = 1;  // direction: (1, -1) up-right or (-1, 1) down-left
    for (int k = 0; k < 64; ++k) {
        table[std::size_t(u + 8 * v)] = k;
        const int nu = u + du;
        const int nv = v - du;
        if (nu > 7) {
            ++v;
            du = -du;
        } else if (nv > 7) {
            ++u;
            du = -du;
        } else if (nu < 0) {
            ++v;
            du = -du;
        } else if (nv < 0) {
            ++u;
            du = -du;
        } else {
            u = nu;
            v = nv;
        }
    }
    return table;
}

std::array<std::int16_t, 64> baseLuminanceTable(const ZigZagTable& zigZag)
{
    return toZigZagOrder(kLuminanceK1, zigZag);
}

std::array<std::int16_t, 64> baseChrominanceTable(const ZigZagTable& zigZag)
{
    return toZigZagOrder(kChrominanceK2, zigZag);
}

int qualityScale(int quality)
{
    // Below 50 the real quotient rounds halves to even (q = 30: 166.67 -> 167).
    if (quality < 50)
        return int(std::nearbyint(5000.0 / double(quality)));
    return 200 - 2 * quality;
}

void scaleQuantTable(const std::array<std::int16_t, 64>& base, int scale, QuantTable& table)
{
    for (std::size_t k = 0; k < 64; ++k) {
        // (base * S + 50) / 100 as a real quotient, then rounded halves to even: the + 50
        // does not make this a round-half-up, ties of the sum go to the even neighbour
        // (quality 75: 16 -> 8.5 -> 8; quality 50: 11 -> 11.5 -> 12).
        const double t = (double(base[k]) * double(scale) + 50.0) / 100.0;
        const double rounded = std::clamp(std::nearbyint(t), 1.0, 255.0);
        table.Qk[k] = std::int16_t(rounded);
    }
}

void ExpandQuantTable(QuantTable& table, const ZigZagTable& zigZag, int precision)
{
    const int limit = precision == 12 ? 65535 : 255;
    for (int u = 0; u < 8; ++u) {
        for (int v = 0; v < 8; ++v) {
            const auto k = std::size_t(zigZag[std::size_t(u + 8 * v)]);
            const int q = table.Qk[k];
            if (q < 1 || q > limit)
                raiseEncoderError(kMsgBadQuantizationTable);
            // Product and quotient in double, the result kept in single precision.
            table.FScale[k] = float(kAanScale[std::size_t(u)] * kAanScale[std::size_t(v)] / double(q));
        }
    }
}

}  // namespace tav
