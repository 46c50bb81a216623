#include "tests/support/surface.h"

#include <gtest/gtest.h>

#include <random>

namespace tav {
namespace {

using test::makeSurface;
using test::Surface;

std::vector<RGBQUAD> tableFor(int bits)
{
    std::vector<RGBQUAD> table;
    if (bits == 1)
        return {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    if (bits == 4) {
        for (int i = 0; i < 16; ++i)
            table.push_back(RGBQUAD{std::uint8_t(i * 16), std::uint8_t(255 - i * 16), std::uint8_t((i % 4) * 80), 0});
        return table;
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                table.push_back(RGBQUAD{std::uint8_t(b * 51), std::uint8_t(g * 51), std::uint8_t(r * 51), 0});
    while (table.size() < 256)
        table.push_back(RGBQUAD{7, 7, 7, 0});
    return table;
}

Surface surfaceOfDepth(int width, int height, int bits)
{
    return bits <= 8 ? makeSurface(width, height, bits, tableFor(bits)) : makeSurface(width, height, bits);
}

class DepthConversion : public ::testing::TestWithParam<std::tuple<int, int>> {};

// Every pixel lands where it should, as the colour nearest to the source colour that the
// destination can show, and nothing outside the rectangle moves. Odd widths and offsets put
// sub-byte pixels in the middle of bytes; the two row orders differ.
TEST_P(DepthConversion, CopiesEveryPixelAsTheNearestColour)
{
    const auto [srcBits, dstBits] = GetParam();
    Surface src = surfaceOfDepth(7, 3, srcBits);
    Surface dst = surfaceOfDepth(11, -5, dstBits);
    std::mt19937 random(srcBits * 100 + dstBits);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            src.set(x, y, random() & 0xFFFFFF);
    const COLORREF background = dst.at(0, 0);

    ASSERT_TRUE(BitBlt(dst.hdc(), 3, 1, 7, 3, src.hdc(), 0, 0, SRCCOPY));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 11; ++x) {
            const bool inside = x >= 3 && x < 10 && y >= 1 && y < 4;
            const COLORREF expected = inside ? GetNearestColor(dst.hdc(), src.at(x - 3, y - 1)) : background;
            ASSERT_EQ(dst.at(x, y), expected) << "pixel " << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(AllPairs, DepthConversion,
    ::testing::Combine(::testing::Values(1, 4, 8, 16, 24, 32), ::testing::Values(1, 4, 8, 16, 24, 32)),
    [](const auto& info) {
        return std::to_string(std::get<0>(info.param)) + "to" + std::to_string(std::get<1>(info.param));
    });

TEST(NearestColour, LeastSquaredDistanceLowestIndexOnATie)
{
    Surface grey = makeSurface(2, 2, 8, test::greyRamp(256));
    EXPECT_EQ(GetNearestColor(grey.hdc(), RGB(10, 20, 30)), RGB(20, 20, 20));
    Surface twins = makeSurface(2, 2, 4, {RGBQUAD{0, 0, 0, 0}, RGBQUAD{9, 9, 9, 0}, RGBQUAD{9, 9, 9, 0}});
    twins.set(0, 0, RGB(9, 9, 9));
    EXPECT_EQ(twins.bmp->row(0)[0] >> 4, 1);
    // 5-bit channels widen by repeating their top bits.
    Surface hi = makeSurface(2, 2, 16);
    EXPECT_EQ(GetNearestColor(hi.hdc(), RGB(255, 128, 7)), RGB(255, 132, 0));
}

TEST(RasterOperations, CombineTheDestinationFormatsBits)
{
    struct Row {
        DWORD rop;
        int bits;
        std::uint32_t expected;  // raw pixel
    };
    // Source raw 0b1100 (index 12 / 0x0C0C0C), destination raw 0b1010 (index 10 / 0x0A0A0A).
    const Row rows[] = {
        {SRCCOPY, 8, 12}, {SRCPAINT, 8, 14}, {SRCAND, 8, 8}, {SRCINVERT, 8, 6}, {NOTSRCCOPY, 8, 243},
        {BLACKNESS, 8, 0}, {WHITENESS, 8, 255}, {SRCPAINT, 24, 0x0E0E0E}, {SRCAND, 24, 0x080808},
        {NOTSRCCOPY, 24, 0xF3F3F3}, {WHITENESS, 24, 0xFFFFFF},
    };
    for (const Row& r : rows) {
        Surface src = r.bits == 8 ? makeSurface(1, 1, 8, test::greyRamp(256)) : makeSurface(1, 1, 24);
        Surface dst = r.bits == 8 ? makeSurface(1, 1, 8, test::greyRamp(256)) : makeSurface(1, 1, 24);
        src.set(0, 0, RGB(12, 12, 12));
        dst.set(0, 0, RGB(10, 10, 10));
        ASSERT_TRUE(BitBlt(dst.hdc(), 0, 0, 1, 1, src.hdc(), 0, 0, r.rop));
        const std::uint8_t* p = dst.bmp->row(0);
        const std::uint32_t raw = r.bits == 8 ? p[0] : p[0] | (p[1] << 8) | (p[2] << 16);
        EXPECT_EQ(raw, r.expected) << std::hex << "rop " << r.rop << " at " << std::dec << r.bits << " bits";
    }
    Surface dst = makeSurface(1, 1, 24);
    EXPECT_FALSE(BitBlt(dst.hdc(), 0, 0, 1, 1, dst.hdc(), 0, 0, 0x00BB0226));  // not implemented: refused
    EXPECT_FALSE(BitBlt(dst.hdc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.hdc(), 0, 0, 1, 1, nullptr, 0, 0, WHITENESS));
}

// Colour i at (x, y) of a pattern where every pixel differs.
COLORREF patternColour(int x, int y) { return RGB(std::uint8_t(x * 10), std::uint8_t(y * 10), 99); }

TEST(BitBltClipping, RectanglesMoveTogetherAtEveryEdge)
{
    Surface src = makeSurface(6, 5, 24);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            src.set(x, y, patternColour(x, y));
    struct Row {
        const char* name;
        int x, y, cx, cy, x1, y1;
    };
    const Row rows[] = {
        {"destination left/top outside", -2, -1, 6, 5, 0, 0},
        {"destination right/bottom outside", 3, 2, 6, 5, 0, 0},
        {"source left/top outside", 0, 0, 6, 5, -2, -3},
        {"source right/bottom outside", 1, 1, 6, 5, 3, 2},
        {"larger than both", -10, -10, 50, 50, -5, -5},
    };
    for (const Row& r : rows) {
        Surface dst = makeSurface(5, 4, 24);
        ASSERT_TRUE(BitBlt(dst.hdc(), r.x, r.y, r.cx, r.cy, src.hdc(), r.x1, r.y1, SRCCOPY)) << r.name;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                const int sx = x - r.x + r.x1, sy = y - r.y + r.y1;
                const bool drawn = x >= r.x && x < r.x + r.cx && y >= r.y && y < r.y + r.cy && sx >= 0 && sx < 6 &&
                    sy >= 0 && sy < 5;
                ASSERT_EQ(dst.at(x, y), drawn ? patternColour(sx, sy) : 0u) << r.name << " at " << x << "," << y;
            }
    }
}

TEST(BitBltClipping, SubBytePixelsBesideTheRunKeepTheirBits)
{
    for (int bits : {1, 4}) {
        Surface src = makeSurface(16, 1, bits, tableFor(bits));
        Surface dst = makeSurface(16, 1, bits, tableFor(bits));
        const std::uint8_t srcFill = 0xFF, dstFill = 0x00;
        std::fill_n(src.bmp->row(0), src.bmp->stride(), srcFill);
        std::fill_n(dst.bmp->row(0), dst.bmp->stride(), dstFill);
        // Byte-aligned on both sides, ending inside a byte.
        const int perByte = 8 / bits;
        ASSERT_TRUE(BitBlt(dst.hdc(), perByte, 0, perByte + 1, 1, src.hdc(), 0, 0, SRCCOPY));
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= perByte && x < 2 * perByte + 1;
            EXPECT_EQ(dst.at(x, 0), inside ? src.at(0, 0) : GetNearestColor(dst.hdc(), dst.at(0, 0)))
                << bits << " bits, pixel " << x;
        }
    }
}

TEST(BitBltOverlap, ScrollingWithinOneBitmapReadsBeforeItWrites)
{
    Surface s = makeSurface(4, 6, 24);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x)
            s.set(x, y, patternColour(x, y));
    ASSERT_TRUE(BitBlt(s.hdc(), 1, 2, 3, 4, s.hdc(), 0, 0, SRCCOPY));
    for (int y = 2; y < 6; ++y)
        for (int x = 1; x < 4; ++x)
            ASSERT_EQ(s.at(x, y), patternColour(x - 1, y - 2)) << x << "," << y;
}

TEST(GetDIBitsTest, ConvertsIntoTheCallersFormatAndCountsScanLinesFromTheBottom)
{
    Surface src = makeSurface(3, 2, 24);
    src.set(0, 0, RGB(200, 0, 0));  // top row
    src.set(2, 1, RGB(0, 0, 200));  // bottom row
    BITMAPINFO bmi = makeBitmapInfo(3, 2, 24);
    std::vector<std::uint8_t> bits(24);  // two rows of 12 bytes
    EXPECT_EQ(GetDIBits(src.hdc(), src.bmp.get(), 0, 2, bits.data(), &bmi, DIB_RGB_COLORS), 2);
    // Bottom-up: the first row in memory is the bottom row; pixels are blue, green, red.
    EXPECT_EQ(bits[6], 200);
    EXPECT_EQ(bits[12 + 2], 200);
    // Only scan line 1 (the top row), into a one-row buffer.
    std::vector<std::uint8_t> one(12);
    EXPECT_EQ(GetDIBits(src.hdc(), src.bmp.get(), 1, 5, one.data(), &bmi, DIB_RGB_COLORS), 1);
    EXPECT_EQ(one[2], 200);

    // Into an 8-bit grey table: nearest grey.
    BITMAPINFO grey = makeBitmapInfo(3, -2, 8);
    const auto ramp = test::greyRamp(256);
    std::copy(ramp.begin(), ramp.end(), grey.bmiColors);
    std::vector<std::uint8_t> idx(8);
    EXPECT_EQ(GetDIBits(src.hdc(), src.bmp.get(), 0, 2, idx.data(), &grey, DIB_RGB_COLORS), 2);
    EXPECT_EQ(idx[0], 67);  // (200 + 0 + 0) / 3 rounded: nearest grey of (200, 0, 0)

    // Same indexed depth: indices copied and the bitmap's table handed back.
    Surface pal = makeSurface(2, 1, 4, tableFor(4));
    pal.bmp->row(0)[0] = 0x5A;
    BITMAPINFO out = makeBitmapInfo(2, 1, 4);
    std::vector<std::uint8_t> packed(4);
    EXPECT_EQ(GetDIBits(pal.hdc(), pal.bmp.get(), 0, 1, packed.data(), &out, DIB_RGB_COLORS), 1);
    EXPECT_EQ(packed[0], 0x5A);
    EXPECT_EQ(out.bmiColors[5], tableFor(4)[5]);
}

TEST(SetDIBitsToDeviceTest, BottomUpSourceRowsCountFromTheBottom)
{
    // A 2 × 3 bottom-up DIB: memory rows are bottom (10), middle (20), top (30) in red.
    BITMAPINFO bmi = makeBitmapInfo(2, 3, 24);
    std::vector<std::uint8_t> bits(24);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 2; ++x)
            bits[std::size_t(row * 8 + x * 3 + 2)] = std::uint8_t(10 * (row + 1));
    Surface dst = makeSurface(4, 4, 24);
    // Lower-left corner of the source rectangle at ySrc 1: rows middle and top.
    EXPECT_EQ(SetDIBitsToDevice(dst.hdc(), 1, 1, 2, 2, 0, 1, 0, 3, bits.data(), &bmi, DIB_RGB_COLORS), 2);
    EXPECT_EQ(dst.at(1, 1), RGB(30, 0, 0));
    EXPECT_EQ(dst.at(2, 2), RGB(20, 0, 0));
    EXPECT_EQ(dst.at(0, 0), 0u);
    EXPECT_EQ(dst.at(1, 3), 0u);
}

TEST(PixelAccess, OutsideTheBitmapIsInvalid)
{
    Surface s = makeSurface(2, 2, 24);
    EXPECT_EQ(s.at(2, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(s.hdc(), -1, 0, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(s.hdc(), 1, 1, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(s.bmp->row(1)[3], 3);  // blue first
}

}  // namespace
}  // namespace tav
