// Quantization tables: the zigzag sequence, the example tables of T.81 Annex K, the scale
// constants of the AAN transform, quality scaling and the expansion of a table into the
// multipliers that quantization uses.
#pragma once

#include "jpeg/jpeg_types.h"

#include <array>
#include <cstdint>

namespace tav {

// ZigZag[u + 8 * v] is the zigzag position (T.81 Figure A.6) of coefficient (u, v), u the
// horizontal and v the vertical frequency.
using ZigZagTable = std::array<std::int32_t, 64>;
using AanScaleTable = std::array<double, 8>;

ZigZagTable buildZigZag();

// Tables K.1 (luminance) and K.2 (chrominance) in zigzag order.
std::array<std::int16_t, 64> baseLuminanceTable(const ZigZagTable& zigZag);
std::array<std::int16_t, 64> baseChrominanceTable(const ZigZagTable& zigZag);

// The scale factors of the AAN transform's outputs, to the precision the encoder has always
// used (15 significant digits); see the definition for the exact expressions.
inline constexpr AanScaleTable kAanScale = {
    0.353553390593273, 0.25489778955208, 0.270598050073098, 0.300672443467523,  //
    0.353553390593273, 0.449988111568207, 0.653281482438186, 1.28145772387074,  //
};

inline constexpr int kMinQuality = 1;
inline constexpr int kMaxQuality = 100;

// Percentage by which the base tables are scaled at quality q (1 to 100).
int qualityScale(int quality);

// Qk(k) = base(k) * scale / 100 rounded to the nearest integer, clamped to 1..255.
void scaleQuantTable(const std::array<std::int16_t, 64>& base, int scale, QuantTable& table);

// Checks Qk (1 to 255, or 65535 at precision 12) and fills FScale. Raises "Bad Quantization
// Table" at the first bad entry; entries handled before it keep their new multiplier.
void ExpandQuantTable(QuantTable& table, const ZigZagTable& zigZag, int precision);

}  // namespace tav
