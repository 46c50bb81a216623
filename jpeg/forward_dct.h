// The forward DCT of one 8 x 8 block: the scaled floating-point factorisation of Arai, Agui
// and Nakajima, outputs left scaled by AanScale(u) * AanScale(v) for quantization to undo.
#pragma once

#include <array>

namespace tav {

// Sample (x, y) at index x + 8 * y; after the call the same index holds coefficient (u, v).
using SampleBlock = std::array<float, 64>;

// Transforms the block in place: all columns first, then all rows.
void ForwardDCT(SampleBlock& block);

// The same transform with the same roundings, written over eight lanes at once (the eight
// columns, then the eight rows of the transposed block) so that the compiler vectorises it:
// single-precision steps as float lanes, the compound steps in double-precision lanes rounded
// to float once. Gives exactly ForwardDCT's bytes; ForwardDCT stays as its scalar twin.
void ForwardDCTLanes(SampleBlock& block);

}  // namespace tav
