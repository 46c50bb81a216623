// Block quantization (T.81 A.3.4): Sq(u, v) = round(S(u, v) / Q(u, v)). The division and the
// DCT's output scale are both folded into FScale, so each coefficient is one product.
#include "jpeg/quantize.h"

#include "platform/run_time_error.h"

#include <cmath>

namespace tav {

void QuantizeBlock(const SampleBlock& block, const std::array<float, 64>& fScale, const ZigZagTable& zigZag,
    std::int16_t* out)
{
    // Out-of-range values are noted and reported once after the loop; with 8-bit samples and
    // quantizers of at least 1 they stay within about +-2048 and never occur.
    bool overflow = false;
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            const auto i = std::size_t(u + 8 * v);
            const auto k = std::size_t(zigZag[i]);
            // The product of two floats is exact in double; it is rounded to the nearest
            // integer with ties to even (2.5 -> 2, -2.5 -> -2), not away from zero.
            const double q = std::nearbyint(double(fScale[k]) * double(block[i]));
            overflow |= !(q >= -32768.0 && q <= 32767.0);
            out[k] = overflow ? std::int16_t(0) : std::int16_t(q);
        }
    }
    if (overflow)
        raiseOverflow();
}

}  // namespace tav
