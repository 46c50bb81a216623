// Block quantization (T.81 A.3.4): Sq(u, v) = round(S(u, v) / Q(u, v)). The division and the
// DCT's output scale are both folded into FScale, so each coefficient is one product.
#include "jpeg/quantize.h"

#include "platform/run_time_error.h"
#include "platform/vector_clones.h"

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

std::array<double, 64> rasterScale(const std::array<float, 64>& fScale, const ZigZagTable& zigZag)
{
    std::array<double, 64> scale{};
    for (std::size_t i = 0; i < 64; ++i)
        scale[i] = double(fScale[std::size_t(zigZag[i])]);
    return scale;
}

TAV_VECTOR_CLONES bool quantizeBlockLanes(const SampleBlock& block, const std::array<double, 64>& scale,
    const ZigZagTable& zigZag, std::int16_t* out)
{
    // Adding and taking away 1.5 * 2^52 rounds a double of magnitude below 2^51 to the nearest
    // integer, ties to even, under the default rounding mode: the sum lies where the spacing
    // of doubles is exactly 1. It is std::nearbyint without a library call, so it vectorises.
    constexpr double kRound = 6755399441055744.0;
    // Values are clamped a little past the 16-bit range (a NaN to its bottom) so that the
    // conversion to integers is defined, and checked as integers: both steps vectorise.
    constexpr double kBelow = -40000.0, kAbove = 40000.0;
    std::int32_t q[64];
    for (std::size_t i = 0; i < 64; ++i) {
        const double product = scale[i] * double(block[i]);  // exact: two floats
        const double rounded = (product + kRound) - kRound;
        const double low = kBelow < rounded ? rounded : kBelow;
        q[i] = std::int32_t(kAbove < low ? kAbove : low);
    }
    std::int32_t outside = 0;
    for (std::size_t i = 0; i < 64; ++i)
        outside |= std::int32_t(q[i] < -32768) | std::int32_t(q[i] > 32767);
    // A product too large for the rounding trick is far outside 16 bits as well.
    if (outside)
        return false;
    for (std::size_t i = 0; i < 64; ++i)
        out[zigZag[i]] = std::int16_t(q[i]);
    return true;
}

}  // namespace tav
