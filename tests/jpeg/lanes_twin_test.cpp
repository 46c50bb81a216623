// The vectorised forms of the block transform and of quantization against their scalar twins:
// bit-identical results on many blocks of every kind the encoder meets (samples of real and
// extreme pictures, random floats across the whole range, exact ties of the quantizer).
#include "jpeg/bit_writer.h"
#include "jpeg/forward_dct.h"
#include "jpeg/quant_tables.h"
#include "jpeg/quantize.h"
#include "jpeg/scan_writer.h"
#include "jpeg/scan_writer_internals.h"
#include "platform/run_time_error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace tav {
namespace {

SampleBlock randomBlock(std::mt19937& random, int kind)
{
    SampleBlock block{};
    std::uniform_real_distribution<float> wide(-1024.0f, 1024.0f);
    std::uniform_int_distribution<int> byte(0, 255);
    for (float& v : block) {
        switch (kind % 4) {
        case 0:
            v = float(byte(random)) - 128.0f;
            break;  // level-shifted 8-bit samples
        case 1:
            v = float(0.299 * byte(random) + 0.587 * byte(random) + 0.114 * byte(random)) - 128.0f;
            break;
        case 2:
            v = wide(random);
            break;  // any float of the range
        default:
            v = (random() % 2) ? 127.0f : -128.0f;
            break;  // extremes
        }
    }
    return block;
}

TEST(LanesTwin, TheVectorisedTransformGivesTheScalarBitsExactly)
{
    std::mt19937 random(2024);
    for (int n = 0; n < 20000; ++n) {
        SampleBlock scalar = randomBlock(random, n);
        SampleBlock lanes = scalar;
        ForwardDCT(scalar);
        ForwardDCTLanes(lanes);
        ASSERT_EQ(std::memcmp(scalar.data(), lanes.data(), sizeof scalar), 0) << "block " << n;
    }
}

TEST(LanesTwin, TheVectorisedQuantizerGivesTheScalarValuesExactly)
{
    const ZigZagTable zigZag = buildZigZag();
    std::mt19937 random(7);
    for (int quality : {100, 90, 75, 50, 10, 1}) {
        QuantTable table;
        scaleQuantTable(baseLuminanceTable(zigZag), qualityScale(quality), table);
        ExpandQuantTable(table, zigZag, 8);
        const std::array<double, 64> scale = rasterScale(table.FScale, zigZag);
        for (int n = 0; n < 5000; ++n) {
            SampleBlock block = randomBlock(random, n);
            ForwardDCT(block);
            std::int16_t scalar[64], lanes[64];
            QuantizeBlock(block, table.FScale, zigZag, scalar);
            ASSERT_TRUE(quantizeBlockLanes(block, scale, zigZag, lanes));
            ASSERT_EQ(std::memcmp(scalar, lanes, sizeof scalar), 0) << "quality " << quality << ", block " << n;
        }
    }
}

TEST(LanesTwin, TiesGoToEvenAndOverflowIsReported)
{
    const ZigZagTable zigZag = buildZigZag();
    std::array<float, 64> fScale;
    fScale.fill(0.5f);
    const std::array<double, 64> scale = rasterScale(fScale, zigZag);
    SampleBlock block{};
    // Products of exactly n + 0.5, both signs, and values that do not fit 16 bits.
    for (std::size_t i = 0; i < 64; ++i)
        block[i] = float(int(i) * 2 + 1) * (i % 2 ? -1.0f : 1.0f);
    std::int16_t scalar[64], lanes[64];
    QuantizeBlock(block, fScale, zigZag, scalar);
    ASSERT_TRUE(quantizeBlockLanes(block, scale, zigZag, lanes));
    EXPECT_EQ(std::memcmp(scalar, lanes, sizeof scalar), 0);
    EXPECT_EQ(lanes[zigZag[2]], 2);  // 2.5 -> 2
    EXPECT_EQ(lanes[zigZag[3]], -4);  // -3.5 -> -4
    block[17] = 65536.0f;  // 32768 after scaling: one past the 16-bit range
    EXPECT_FALSE(quantizeBlockLanes(block, scale, zigZag, lanes));
    EXPECT_THROW(QuantizeBlock(block, fScale, zigZag, scalar), RunTimeError);
    block[17] = 65534.0f;  // 32767 fits
    EXPECT_TRUE(quantizeBlockLanes(block, scale, zigZag, lanes));
}

TEST(LanesTwin, TheVectorisedNonZeroMaskGivesTheScalarMask)
{
    std::mt19937 random(99);
    for (int n = 0; n < 20000; ++n) {
        std::int16_t block[64];
        // From all zeros to all set, with the extremes of the 16-bit range.
        const unsigned density = unsigned(n % 65);
        for (std::int16_t& v : block) {
            const unsigned pick = unsigned(random());
            v = pick % 64 < density ? std::int16_t(pick % 3 == 0 ? -32768
                                              : pick % 3 == 1    ? 32767
                                                                 : int(pick % 2047) - 1023)
                                    : 0;
        }
        ASSERT_EQ(nonZeroMask(block), nonZeroMaskScalar(block)) << "block " << n;
    }
}

// A segment coded in two parts at once: the second part's plain bits, appended to the first
// part's writer, must give the bytes of one writer that wrote everything (stuffing and
// alignment included), wherever the cut falls.
TEST(LanesTwin, ASegmentWrittenInTwoPartsEqualsOneWrittenWhole)
{
    std::mt19937 random(5);
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<std::pair<std::uint32_t, int>> codes(std::size_t(random() % 400));
        for (auto& [value, length] : codes) {
            length = int(random() % 28);
            value = random() % 3 ? 0xFFFFFFFFu : std::uint32_t(random());  // many 0xFF bytes
        }
        const std::size_t cut = codes.empty() ? 0 : random() % codes.size();
        OutputBuffer whole(1 << 16);
        {
            BitWriter writer(whole);
            for (const auto& [value, length] : codes)
                writer.write(value, length);
            writer.flush();
        }
        OutputBuffer first(1 << 16), second(1 << 16);
        BitWriter writer(first);
        RawBitWriter plain(second);
        for (std::size_t i = 0; i < codes.size(); ++i)
            (i < cut ? static_cast<void>(writer.write(codes[i].first, codes[i].second))
                     : static_cast<void>(plain.write(codes[i].first, codes[i].second)));
        std::uint32_t tail = 0;
        int tailBits = 0;
        plain.finish(tail, tailBits);
        writer.writeBytes(second.data(), second.position());
        writer.write(tail, tailBits);
        writer.flush();
        ASSERT_EQ(std::vector<std::uint8_t>(first.data(), first.data() + first.position()),
            std::vector<std::uint8_t>(whole.data(), whole.data() + whole.position()))
            << "trial " << trial << ", cut at " << cut;
    }
}

}  // namespace
}  // namespace tav
