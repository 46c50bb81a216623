// Quantization of one transformed block into 16-bit coefficients in zigzag order.
#pragma once

#include "jpeg/forward_dct.h"
#include "jpeg/quant_tables.h"

#include <cstdint>

namespace tav {

// Writes the 64 quantized values of `block` to out[0..63] in zigzag order. `fScale` are the
// multipliers of a QuantTable (zigzag order). Raises error 6 (overflow) when a value does not
// fit 16 bits.
void QuantizeBlock(const SampleBlock& block, const std::array<float, 64>& fScale, const ZigZagTable& zigZag,
    std::int16_t* out);

// The multipliers of a QuantTable in the order of the block (index u + 8 * v), for the form below.
std::array<double, 64> rasterScale(const std::array<float, 64>& fScale, const ZigZagTable& zigZag);

// QuantizeBlock written so that the compiler vectorises the products and the rounding; the same
// values. Returns false, with nothing meaningful in `out`, when a value does not fit 16 bits
// (the caller raises the overflow).
bool quantizeBlockLanes(const SampleBlock& block, const std::array<double, 64>& scale, const ZigZagTable& zigZag,
    std::int16_t* out);

}  // namespace tav
