// Forward DCT and block quantization: exact results for flat blocks, closeness to the
// textbook DCT, the rounding regime of the transform, and the ties of quantization.
#include "jpeg/forward_dct.h"

#include "jpeg/cjpeg.h"
#include "jpeg/quantize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace tav {
namespace {

SampleBlock flat(float value)
{
    SampleBlock block;
    block.fill(value);
    return block;
}

std::array<float, 64> quality100Multipliers()
{
    cJpeg jpeg;
    jpeg.Quality(100);
    return jpeg.quantTable(0).FScale;
}

TEST(ForwardDct, FlatBlockHasOnlyDc)
{
    for (float value : {127.0f, -128.0f, 0.0f, 0.5f, 3.25f, -77.125f, 99.0f}) {
        SampleBlock block = flat(value);
        ForwardDCT(block);
        EXPECT_EQ(block[0], 64.0f * value) << value;
        for (std::size_t i = 1; i < 64; ++i)
            EXPECT_EQ(block[i], 0.0f) << value << " at " << i;
    }
}

TEST(ForwardDct, IsTheScaledTextbookTransform)
{
    // Output (u, v) times AanScale(u) * AanScale(v) is F(u, v) of T.81 A.3.3.
    std::mt19937 random(3);
    for (int trial = 0; trial < 50; ++trial) {
        SampleBlock block;
        for (float& s : block)
            s = float(int(random() % 256) - 128);
        const SampleBlock samples = block;
        ForwardDCT(block);
        for (int v = 0; v < 8; ++v) {
            for (int u = 0; u < 8; ++u) {
                double sum = 0;
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        sum += samples[std::size_t(x + 8 * y)] * std::cos((2 * x + 1) * u * std::numbers::pi / 16) *
                            std::cos((2 * y + 1) * v * std::numbers::pi / 16);
                const double cu = u == 0 ? (1.0 / std::numbers::sqrt2) : 1.0;
                const double cv = v == 0 ? (1.0 / std::numbers::sqrt2) : 1.0;
                const double expected = 0.25 * cu * cv * sum;
                const double got =
                    block[std::size_t(u + 8 * v)] * kAanScale[std::size_t(u)] * kAanScale[std::size_t(v)];
                ASSERT_NEAR(got, expected, 2e-3) << "u " << u << " v " << v;
            }
        }
    }
}

TEST(ForwardDct, RoundsEveryTemporaryToSinglePrecisionColumnsFirst)
{
    // Y samples of random pixels. Computed by an independent implementation of the transform
    // (every assignment rounded to single precision, columns first); keeping the temporaries
    // in double, or transforming rows first, makes coefficient (6, 5) come out as 16.
    const SampleBlock samples = {
        0x1.c73336p+4f, -0x1.5dd2f2p+5f, -0x1.325604p+5f, 0x1.be49bcp+5f,  //
        0x1.38e148p+6f, -0x1.76c8b4p+5f, 0x1.9b24dep+5f, 0x1.e89376p+2f,  //
        0x1.d32f1ep+4f, 0x1.124bc8p+5f, -0x1.3f5a1cp+5f, -0x1.18cbc6p+6f,  //
        0x1.4e45a4p+2f, 0x1.58937ap+2f, 0x1.5da5e4p+4f, -0x1.55624ep+5f,  //
        0x1.0da1cap+4f, 0x1.22d0e6p+6f, -0x1.cd22d2p+4f, -0x1.553f7ap+3f,  //
        0x1.09e45ap+6f, -0x1.29147ap+6f, -0x1.68c49ap+3f, -0x1.0d45a2p+6f,  //
        0x1.100d5p+6f, 0x1.38354p+6f, 0x1.199fbep+6f, -0x1.909168p+5f,  //
        0x1.bb47bp+4f, -0x1.3b418ap+5f, -0x1.a1ba5cp+2f, 0x1.9d999ap+4f,  //
        -0x1.a253f8p+5f, -0x1.f147a6p+2f, 0x1.c4d502p+3f, -0x1.3f9894p+6f,  //
        -0x1.a8374cp+5f, -0x1.c6b958p+6f, -0x1.43d6f6p+1f, 0x1.1e429p+6f,  //
        0x1.4c395ap+4f, -0x1.6e8624p+6f, -0x1.ba6042p+5f, -0x1.bc9fbcp+4f,  //
        -0x1.773d7p+5f, 0x1.c05812p+5f, 0x1.97f3b8p+4f, -0x1.ae6664p+4f,  //
        -0x1.02ed9p+5f, 0x1.c13f7ep+3f, 0x1.563b66p+5f, -0x1.2cccccp+6f,  //
        0x1.2cda1ep+6f, -0x1.55c6a8p+5f, -0x1.a7ced8p+4f, -0x1.4ed90ep-1f,  //
        -0x1.48cacp+5f, -0x1.c8b22cp+5f, -0x1.f54dd2p+5f, 0x1.d3439ap+2f,  //
        0x1.30a1ccp+5f, -0x1.8f851ep+6f, 0x1.304bc6p+6f, 0x1.7b5c2ap+5f,  //
    };
    // Quantized at quality 100, natural order (u + 8 v).
    const std::array<int, 64> expected = {
        -42, -5, 58, 6, 40, -31, -87, 128, 55, 83, -10, 56, 3, -2, -36, -21,  //
        14, -77, -69, 43, 68, 48, -63, 10, -31, -72, 1, 17, 2, 61, 80, -31,  //
        30, -46, 40, -107, 62, 27, -27, 29, 82, 71, -55, 0, 17, -46, 17, 41,  //
        -10, -34, -41, 46, 57, 89, -37, -47, -45, 6, -23, -83, 24, -53, -54, 39,  //
    };
    SampleBlock block = samples;
    ForwardDCT(block);
    std::array<std::int16_t, 64> out{};
    const ZigZagTable zz = buildZigZag();
    QuantizeBlock(block, quality100Multipliers(), zz, out.data());
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_EQ(out[std::size_t(zz[i])], expected[i]) << "u " << i % 8 << " v " << i / 8;
}

TEST(QuantizeBlock, WhiteAndBlackBlocksAtQuality100)
{
    const ZigZagTable zz = buildZigZag();
    const struct {
        float sample;
        int dc;
    } rows[] = {{127.0f, 1016}, {-128.0f, -1024}, {0.0f, 0}};
    for (const auto& row : rows) {
        SampleBlock block = flat(row.sample);
        ForwardDCT(block);
        std::array<std::int16_t, 64> out{};
        out.fill(99);
        QuantizeBlock(block, quality100Multipliers(), zz, out.data());
        EXPECT_EQ(out[0], row.dc);
        for (std::size_t k = 1; k < 64; ++k)
            EXPECT_EQ(out[k], 0) << k;
    }
}

TEST(QuantizeBlock, DcIsTheSampleSumOverEightHalvesToEven)
{
    const ZigZagTable zz = buildZigZag();
    const struct {
        float corner;  // one sample set, the rest 0
        int dc;
    } rows[] = {{4.0f, 0}, {12.0f, 2}, {-4.0f, 0}, {-12.0f, -2}, {20.0f, 2}, {5.0f, 1}, {3.0f, 0}};
    for (const auto& row : rows) {
        SampleBlock block = flat(0.0f);
        block[0] = row.corner;
        ForwardDCT(block);
        std::array<std::int16_t, 64> out{};
        QuantizeBlock(block, quality100Multipliers(), zz, out.data());
        EXPECT_EQ(out[0], row.dc) << row.corner;
    }
}

TEST(QuantizeBlock, TiesGoToEvenAndValuesLandInZigZagOrder)
{
    const ZigZagTable zz = buildZigZag();
    std::array<float, 64> multipliers;
    multipliers.fill(0.5f);
    SampleBlock block = flat(0.0f);
    block[0] = 5.0f;  // 2.5 -> 2
    block[1] = -5.0f;  // (1, 0): -2.5 -> -2
    block[8] = 7.0f;  // (0, 1): 3.5 -> 4
    block[63] = -7.0f;  // (7, 7): -3.5 -> -4
    block[2 + 8] = 3.0f;  // (2, 1): 1.5 -> 2
    std::array<std::int16_t, 64> out{};
    QuantizeBlock(block, multipliers, zz, out.data());
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], -2);
    EXPECT_EQ(out[2], 4);
    EXPECT_EQ(out[63], -4);
    EXPECT_EQ(out[std::size_t(zz[2 + 8])], 2);
    EXPECT_EQ(zz[2 + 8], 7);
}

TEST(QuantizeBlock, ValuesBeyondSixteenBitsRaiseOverflow)
{
    const ZigZagTable zz = buildZigZag();
    std::array<float, 64> multipliers;
    multipliers.fill(1.0f);
    for (float value : {32768.0f, -32769.0f, 1e30f}) {
        SampleBlock block = flat(0.0f);
        block[9] = value;
        std::array<std::int16_t, 64> out{};
        try {
            QuantizeBlock(block, multipliers, zz, out.data());
            ADD_FAILURE() << value;
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrOverflow);
        }
    }
    SampleBlock edge = flat(0.0f);
    edge[0] = 32767.0f;
    edge[1] = -32768.0f;
    std::array<std::int16_t, 64> out{};
    QuantizeBlock(edge, multipliers, zz, out.data());
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32768);
}

}  // namespace
}  // namespace tav
