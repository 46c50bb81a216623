// The forward DCT of one 8 x 8 block: the scaled floating-point factorisation of Arai, Agui
// and Nakajima, outputs left scaled by AanScale(u) * AanScale(v) for quantization to undo.
#pragma once

#include <array>

namespace tav {

// Sample (x, y) at index x + 8 * y; after the call the same index holds coefficient (u, v).
using SampleBlock = std::array<float, 64>;

// Transforms the block in place: all columns first, then all rows.
void ForwardDCT(SampleBlock& block);

}  // namespace tav
