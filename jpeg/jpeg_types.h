// The records the encoder keeps per table and per component: quantization tables in their
// file form and their DCT-scaled multipliers, Huffman code specifications (BITS/HUFFVAL) with
// the per-symbol code tables derived from them, and the image components with their
// quantized coefficients. Shared by every stage of the encoder and readable by its callers.
#pragma once


#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tav {

// ceil(a / b) for positive b and non-negative a.
inline constexpr std::int64_t ceilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

// Quantized coefficients, filled by the transform or by whoever sets them.
using CoefficientArray = std::vector<std::int16_t>;

// One quantization table. Both arrays are indexed by zigzag position k (0 = DC).
struct QuantTable {
    std::array<std::int16_t, 64> Qk{};  // quantizer values as written to DQT
    // AanScale(u) * AanScale(v) / Qk(k) for the coefficient (u, v) at zigzag position k, so
    // quantizing a coefficient of the scaled transform is one multiplication.
    std::array<float, 64> FScale{};
};

// One Huffman table: the code specification of T.81 B.2.4.2 and the per-symbol codes of C.
struct HuffmanTable {
    std::array<std::uint8_t, 16> BITS{};  // BITS[L - 1] = number of codes of length L
    std::array<std::uint8_t, 256> HUFFVAL{};  // symbols by increasing code length
    // Per symbol: 2^(length - 1), the weight of the code's first bit; 0 when it has no code.
    std::array<std::int32_t, 256> EHUFSI{};
    std::array<std::int32_t, 256> EHUFCO{};  // per symbol: the code, -1 when it has none
};

// One image component (A.1.1). Ci is written to the file; Hi, Vi are the sampling factors.
struct JpegComponent {
    std::int32_t Ci = 0;
    std::int32_t Hi = 0;
    std::int32_t Vi = 0;
    std::int32_t Tqi = 0;
    // 64 values per block, blocks in raster order of the component's block grid, each block
    // in zigzag order. Empty until the image has been sampled.
    CoefficientArray Coefficients;
};

}  // namespace tav
