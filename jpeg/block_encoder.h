// The block loop of the encoder: colour conversion of a component's pixels, forward DCT and
// quantization of its blocks. Shared by SampleHDC, which keeps every coefficient, and the
// streamed encoder, which makes a band of block rows at a time.
//
// Colour conversion is that of JFIF 1.02 (after CCIR 601), level-shifted by -128 (T.81
// A.3.1); for Cb and Cr the +128 of the colour transform and the level shift cancel.
#pragma once

#include "jpeg/forward_dct.h"
#include "jpeg/quant_tables.h"
#include "platform/dib.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tav {

// The conversion constants are single-precision values (the float nearest 0.299, and so on),
// promoted to double for the arithmetic; the products and sums are formed in double and the
// sample is stored as a float.
struct ColourRow {
    float red;
    float green;
    float blue;
    float added;
};
inline constexpr ColourRow kColourConversion[3] = {
    {0.299f, 0.587f, 0.114f, -128.0f},  // Y
    {-0.16874f, -0.33126f, 0.5f, 0.0f},  // Cb
    {0.5f, -0.41869f, -0.08131f, 0.0f},  // Cr
};

inline constexpr int kBytesPerPixel = 3;  // blue, green, red

// A component's image as the block loop reads it: a wc x hc rectangle of 24-bit rows whose
// padding to whole blocks is the last column and the last row repeated, so reading an index
// past the image gives the last one. The rows come from a bitmap, or from a band of rows held
// by the caller (row y at bandRows[y - bandFirst]).
struct ComponentImage {
    const DIBSection* bitmap = nullptr;
    int left = 0;
    int top = 0;
    int wc = 0;
    int hc = 0;
    const std::uint8_t* const* bandRows = nullptr;
    int bandFirst = 0;

    const std::uint8_t* row(int y) const
    {
        const int inside = std::min(y, hc - 1);
        if (bandRows)
            return bandRows[inside - bandFirst];
        return bitmap->row(top + inside) + kBytesPerPixel * left;
    }
};

// Converts, transforms and quantizes the blocks of block rows [rowBegin, rowEnd) of a component
// whose block grid is blocksAcross wide; the coefficients of block row rowBegin go to `out`,
// each following row right after. False when a coefficient did not fit 16 bits.
bool encodeBlocks(const ComponentImage& image, int rowBegin, int rowEnd, int blocksAcross, const ColourRow& colour,
    const std::array<double, 64>& scale, const ZigZagTable& zigZag, std::int16_t* out);

}  // namespace tav
