#include "tests/support/surface.h"

#include <gtest/gtest.h>

#include <random>

namespace tav {
namespace {

using test::makeSurface;
using test::Surface;

std::uint8_t red(COLORREF c) { return GetRValue(c); }

Surface randomSurface(int width, int height, unsigned seed)
{
    Surface s = makeSurface(width, height, 24);
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < s.bmp->sizeImage(); ++i)
        s.bmp->bits()[i] = std::uint8_t(random());
    return s;
}

Surface halftone(const Surface& src, int width, int height)
{
    Surface dst = makeSurface(width, height, 24);
    SetStretchBltMode(dst.hdc(), HALFTONE);
    EXPECT_TRUE(StretchBlt(dst.hdc(), 0, 0, width, height, src.hdc(), 0, 0, src.bmp->width(), src.bmp->height(),
        SRCCOPY));
    return dst;
}

TEST(Halftone, IntegerShrinksGiveTheExactBlockMeanRoundedHalfUp)
{
    for (int factor : {2, 4}) {
        Surface src = randomSurface(8 * factor, 4 * factor, unsigned(factor));
        Surface dst = halftone(src, 8, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                int sums[3] = {0, 0, 0};
                for (int j = 0; j < factor; ++j)
                    for (int i = 0; i < factor; ++i) {
                        const COLORREF c = src.at(x * factor + i, y * factor + j);
                        sums[0] += GetRValue(c);
                        sums[1] += GetGValue(c);
                        sums[2] += GetBValue(c);
                    }
                const int n = factor * factor;
                const COLORREF expected = RGB(std::uint8_t((sums[0] + n / 2) / n), std::uint8_t((sums[1] + n / 2) / n),
                    std::uint8_t((sums[2] + n / 2) / n));
                ASSERT_EQ(dst.at(x, y), expected) << factor << ":1 at " << x << "," << y;
            }
    }
    // The tie: the mean of 0 and 1 is one half, which rounds up.
    Surface tie = makeSurface(2, 1, 24);
    tie.set(1, 0, RGB(1, 1, 1));
    EXPECT_EQ(halftone(tie, 1, 1).at(0, 0), RGB(1, 1, 1));
}

TEST(Halftone, HandComputedFractionalWeights)
{
    // Shrinking 0, 255, 0 to two pixels: each output covers one and a half source pixels.
    Surface three = makeSurface(3, 1, 24);
    three.set(1, 0, RGB(255, 0, 0));
    Surface two = halftone(three, 2, 1);
    EXPECT_EQ(red(two.at(0, 0)), 85);  // (2·0 + 1·255) / 3
    EXPECT_EQ(red(two.at(1, 0)), 85);

    // Growing 0, 255 to four pixels: centres at -0.25, 0.25, 0.75, 1.25 of the source.
    Surface pair = makeSurface(2, 1, 24);
    pair.set(1, 0, RGB(255, 0, 0));
    Surface four = halftone(pair, 4, 1);
    const int expected[] = {0, 64, 191, 255};  // 63.75 and 191.25 rounded
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(red(four.at(x, 0)), expected[x]) << x;
}

TEST(Halftone, AFlatPictureStaysExactlyFlatAtAnyRatio)
{
    const int sizes[][4] = {{7, 5, 3, 11}, {100, 100, 256, 195}, {13, 17, 13, 5}, {640, 3, 7, 9}, {1, 1, 40, 30}};
    for (const auto& s : sizes) {
        Surface src = makeSurface(s[0], s[1], 24);
        for (int y = 0; y < s[1]; ++y)
            for (int x = 0; x < s[0]; ++x)
                src.set(x, y, RGB(37, 201, 128));
        Surface dst = halftone(src, s[2], s[3]);
        for (int y = 0; y < s[3]; ++y)
            for (int x = 0; x < s[2]; ++x)
                ASSERT_EQ(dst.at(x, y), RGB(37, 201, 128)) << s[0] << "x" << s[1] << " to " << s[2] << "x" << s[3];
    }
}

TEST(Halftone, EnlargingARampStaysMonotonicAndKeepsItsEnds)
{
    Surface ramp = makeSurface(9, 1, 24);
    for (int x = 0; x < 9; ++x)
        ramp.set(x, 0, RGB(std::uint8_t(x * 30), 0, 0));
    Surface big = halftone(ramp, 100, 3);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(red(big.at(0, y)), 0);
        EXPECT_EQ(red(big.at(99, y)), 240);
        for (int x = 1; x < 100; ++x)
            ASSERT_LE(red(big.at(x - 1, y)), red(big.at(x, y))) << x;
    }
}

TEST(Halftone, TheMeanIsKeptWithinOneLevel)
{
    Surface src = randomSurface(120, 90, 7);
    Surface dst = halftone(src, 40, 30);
    auto mean = [](const Surface& s) {
        double sum = 0;
        for (int y = 0; y < s.bmp->height(); ++y)
            for (int x = 0; x < s.bmp->width(); ++x)
                sum += GetGValue(s.at(x, y));
        return sum / (s.bmp->width() * s.bmp->height());
    };
    EXPECT_NEAR(mean(src), mean(dst), 1.0);
}

TEST(StretchMirroring, NegativeExtentsFlipTheResult)
{
    Surface src = randomSurface(9, 7, 3);
    Surface plain = halftone(src, 5, 4);
    Surface flipped = makeSurface(5, 4, 24);
    SetStretchBltMode(flipped.hdc(), HALFTONE);
    // A width of -5 at x 5 covers pixels 0 to 4, mirrored; likewise the height.
    ASSERT_TRUE(StretchBlt(flipped.hdc(), 5, 4, -5, -4, src.hdc(), 0, 0, 9, 7, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(flipped.at(x, y), plain.at(4 - x, 3 - y)) << x << "," << y;
    // Mirroring the source instead gives the same picture.
    Surface viaSource = makeSurface(5, 4, 24);
    SetStretchBltMode(viaSource.hdc(), HALFTONE);
    ASSERT_TRUE(StretchBlt(viaSource.hdc(), 0, 0, 5, 4, src.hdc(), 9, 7, -9, -7, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(viaSource.at(x, y), flipped.at(x, y));
}

TEST(StretchClipping, AVisiblePartEqualsTheSamePartOfTheWholeStretch)
{
    Surface src = randomSurface(31, 23, 11);
    Surface whole = halftone(src, 50, 40);
    Surface part = makeSurface(20, 15, 24);
    SetStretchBltMode(part.hdc(), HALFTONE);
    ASSERT_TRUE(StretchBlt(part.hdc(), -12, -9, 50, 40, src.hdc(), 0, 0, 31, 23, SRCCOPY));
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(part.at(x, y), whole.at(x + 12, y + 9));
}

TEST(ColorOnColor, TakesThePixelUnderEachOutputCentre)
{
    Surface src = makeSurface(4, 1, 24);
    for (int x = 0; x < 4; ++x)
        src.set(x, 0, RGB(std::uint8_t(x * 50), 0, 0));
    Surface dst = makeSurface(2, 1, 24);
    SetStretchBltMode(dst.hdc(), COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(dst.hdc(), 0, 0, 2, 1, src.hdc(), 0, 0, 4, 1, SRCCOPY));
    EXPECT_EQ(red(dst.at(0, 0)), 50);   // centre 1.0 of the source
    EXPECT_EQ(red(dst.at(1, 0)), 150);  // centre 3.0
    Surface big = makeSurface(8, 1, 24);
    SetStretchBltMode(big.hdc(), COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(big.hdc(), 0, 0, 8, 1, src.hdc(), 0, 0, 4, 1, SRCCOPY));
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(red(big.at(x, 0)), (x / 2) * 50);
}

TEST(StretchInto, IndexedDestinationsTakeTheNearestColourAndZeroExtentsDrawNothing)
{
    Surface src = randomSurface(6, 6, 5);
    Surface grey = makeSurface(3, 3, 8, test::greyRamp(256));
    SetStretchBltMode(grey.hdc(), HALFTONE);
    ASSERT_TRUE(StretchBlt(grey.hdc(), 0, 0, 3, 3, src.hdc(), 0, 0, 6, 6, SRCCOPY));
    Surface truth = halftone(src, 3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            ASSERT_EQ(grey.at(x, y), GetNearestColor(grey.hdc(), truth.at(x, y)));
    Surface dst = makeSurface(3, 3, 24);
    EXPECT_FALSE(StretchBlt(dst.hdc(), 0, 0, 3, 3, src.hdc(), 0, 0, 0, 6, SRCCOPY));
    EXPECT_EQ(dst.at(1, 1), 0u);
}

}  // namespace
}  // namespace tav
