// SampleHDC: the working surface, the per-component render (copy or stretch, reuse), the
// padding, the reading order of the bottom-up bitmap, the colour conversion and the failure
// return.
#include "jpeg/cjpeg.h"
#include "jpeg/cjpeg_internals.h"

#include "test_source.h"

#include <gtest/gtest.h>

#include <fstream>
#include <new>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace tav {
namespace {

using test::Rgb;
using test::SourcePicture;
using Coefficients = CoefficientArray;

// Samples the whole source with the given factors (H2 = ... = 0 for grey) at quality 100.
cJpeg sampled(const SourcePicture& source, int width, int height, std::array<int, 6> f = {1, 1, 1, 1, 1, 1})
{
    cJpeg jpeg;
    jpeg.Quality(100);
    jpeg.SetSamplingFrequencies(f[0], f[1], f[2], f[3], f[4], f[5]);
    EXPECT_EQ(jpeg.SampleHDC(source.hdc(), width, height, 0, 0), cJpeg::SampleStatus::Sampled);
    return jpeg;
}

TEST(SampleHdc, ComponentSizesOfTheDefaultSampling)
{
    SourcePicture source(100, 50, [](int x, int y) { return Rgb{std::uint8_t(x), std::uint8_t(y), 9}; });
    cJpeg jpeg;
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 100, 50, 0, 0), cJpeg::SampleStatus::Sampled);
    EXPECT_EQ(cJpegInternals::precision(jpeg), 8);
    EXPECT_EQ(cJpegInternals::imageWidth(jpeg), 100);
    EXPECT_EQ(cJpegInternals::imageHeight(jpeg), 50);
    const auto& c = jpeg.components();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].Coefficients.size(), 104u * 56u);  // copied, 13 x 7 blocks
    EXPECT_EQ(c[1].Coefficients.size(), 56u * 32u);  // stretched to 50 x 25, 7 x 4 blocks
    EXPECT_EQ(c[2].Coefficients.size(), 56u * 32u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(c[std::size_t(i)].Ci, i + 1);
}

TEST(SampleHdc, OnePixelFillsOneBlockPerComponent)
{
    SourcePicture white(1, 1, [](int, int) { return Rgb{255, 255, 255}; });
    cJpeg jpeg;
    jpeg.Quality(100);
    ASSERT_EQ(jpeg.SampleHDC(white.hdc(), 1, 1, 0, 0), cJpeg::SampleStatus::Sampled);
    const auto& c = jpeg.components();
    Coefficients y(64, 0);
    y[0] = 1016;  // Y sample 127 everywhere
    EXPECT_EQ(c[0].Coefficients, y);
    EXPECT_EQ(c[1].Coefficients, Coefficients(64, 0));
    EXPECT_EQ(c[2].Coefficients, Coefficients(64, 0));

    SourcePicture black(1, 1, [](int, int) { return Rgb{0, 0, 0}; });
    const cJpeg grey = sampled(black, 1, 1, {1, 1, 0, 0, 0, 0});
    ASSERT_EQ(grey.components().size(), 1u);
    Coefficients dark(64, 0);
    dark[0] = -1024;
    EXPECT_EQ(grey.components()[0].Coefficients, dark);
}

TEST(SampleHdc, ColourConstantsAreSinglePrecision)
{
    // Y coefficients of this block at quality 100, computed by an independent implementation
    // with the float nearest 0.299, 0.587 and 0.114; with the double literals coefficient
    // (4, 0) comes out one lower.
    const Rgb pixels[64] = {
        {81, 111, 3}, {168, 138, 83}, {97, 90, 116}, {2, 188, 66},  //
        {73, 219, 32}, {136, 64, 139}, {190, 249, 62}, {87, 193, 158},  //
        {68, 119, 133}, {10, 246, 122}, {16, 17, 156}, {50, 179, 91},  //
        {117, 125, 9}, {16, 224, 65}, {200, 87, 174}, {38, 60, 105},  //
        {114, 179, 188}, {81, 1, 226}, {175, 228, 32}, {22, 159, 186},  //
        {226, 75, 179}, {110, 218, 146}, {83, 140, 112}, {176, 223, 54},  //
        {192, 231, 14}, {88, 183, 218}, {172, 197, 50}, {26, 82, 8},  //
        {26, 165, 151}, {11, 31, 10}, {120, 223, 40}, {89, 12, 150},  //
        {169, 138, 4}, {132, 189, 234}, {83, 223, 103}, {37, 94, 55},  //
        {37, 142, 1}, {126, 3, 251}, {238, 143, 221}, {236, 108, 117},  //
        {243, 15, 97}, {221, 171, 15}, {143, 153, 13}, {104, 200, 146},  //
        {221, 143, 112}, {222, 104, 112}, {243, 221, 249}, {189, 114, 52},  //
        {16, 236, 115}, {20, 33, 35}, {248, 87, 75}, {245, 235, 226},  //
        {136, 5, 231}, {215, 250, 73}, {56, 37, 131}, {181, 2, 75},  //
        {206, 154, 237}, {77, 233, 28}, {44, 240, 206}, {48, 232, 31},  //
        {217, 206, 215}, {3, 221, 152}, {18, 124, 168}, {73, 153, 16},  //
    };
    const std::array<int, 64> expected = {
        37, 22, -6, 19, -28, 48, -27, 34, -56, -62, 72, 0, -19, -22, -70, 29,  //
        15, -32, -90, 47, 54, -21, 11, -87, -1, -77, 9, -31, -45, 14, -111, -28,  //
        11, 59, 81, -42, -21, -50, -78, 123, -18, 10, -25, -1, 31, 75, 72, 7,  //
        108, -79, 10, -44, 6, -36, 0, 72, 6, -46, 7, -38, 32, 15, 125, -34,  //
    };
    SourcePicture source(8, 8, [&](int x, int y) { return pixels[x + 8 * y]; });
    const cJpeg jpeg = sampled(source, 8, 8);
    const auto& zz = jpeg.zigZag();
    const Coefficients& y = jpeg.components()[0].Coefficients;
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_EQ(y[std::size_t(zz[i])], expected[i]) << "u " << i % 8 << " v " << i / 8;
}

TEST(SampleHdc, BlocksAreReadTopDownInRasterOrder)
{
    // 16 x 16 grey: only the top-left block white, and in the top-right block only its top
    // row. Blocks are in raster order from the top; inside a block row 0 is the top.
    SourcePicture source(16, 16, [](int x, int y) {
        const bool white = (x < 8 && y < 8) || (x >= 8 && y == 0);
        return white ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
    });
    const cJpeg jpeg = sampled(source, 16, 16, {1, 1, 0, 0, 0, 0});
    const Coefficients& c = jpeg.components()[0].Coefficients;
    ASSERT_EQ(c.size(), 4u * 64u);
    EXPECT_EQ(c[0], 1016);
    EXPECT_EQ(c[2 * 64], -1024);
    EXPECT_EQ(c[3 * 64], -1024);
    // Top row bright: vertical frequency 1 (zigzag 2) positive, horizontal (zigzag 1) zero.
    EXPECT_EQ(c[64 + 0], -1024 + 255);  // the row's 8 samples of 255 add 8 * 255 / 8
    EXPECT_GT(c[64 + 2], 0);
    EXPECT_EQ(c[64 + 1], 0);
}

TEST(SampleHdc, PadsByRepeatingTheLastColumnAndRow)
{
    // A 13 x 11 picture gives the same coefficients as the 16 x 16 picture that repeats its
    // column 12 and row 10 by hand.
    const auto pixel = [](int x, int y) {
        return Rgb{std::uint8_t(x * 19 + y), std::uint8_t(255 - 7 * y), std::uint8_t((x * y * 5) % 256)};
    };
    SourcePicture small(13, 11, pixel);
    SourcePicture padded(16, 16, [&](int x, int y) { return pixel(std::min(x, 12), std::min(y, 10)); });
    const cJpeg a = sampled(small, 13, 11);
    const cJpeg b = sampled(padded, 16, 16);
    for (std::size_t c = 0; c < 3; ++c)
        EXPECT_EQ(a.components()[c].Coefficients, b.components()[c].Coefficients) << c;
}

TEST(SampleHdc, SubsampledComponentsAreStretchedThenPadded)
{
    // Width 8 with factors 2 and 1: Cb is stretched to 4 columns even though both pad to 8.
    // Left half red, right half blue: the halftone shrink gives 2 red and 2 blue columns,
    // padding repeats the blue one. That is the picture with 2 red and 6 blue columns,
    // sampled at full size.
    SourcePicture halves(8, 8, [](int x, int) { return x < 4 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; });
    SourcePicture expected(8, 8, [](int x, int) { return x < 2 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; });
    const cJpeg a = sampled(halves, 8, 8, {2, 1, 1, 1, 1, 1});
    const cJpeg b = sampled(expected, 8, 8, {1, 1, 1, 1, 1, 1});
    ASSERT_EQ(a.components()[1].Coefficients.size(), 64u);
    EXPECT_EQ(a.components()[1].Coefficients, b.components()[1].Coefficients);
    EXPECT_EQ(a.components()[2].Coefficients, b.components()[2].Coefficients);
    // Y is copied at full size.
    EXPECT_EQ(sampled(halves, 8, 8).components()[0].Coefficients, a.components()[0].Coefficients);
}

TEST(SampleHdc, SourceRectangleIsTakenAtItsOrigin)
{
    const auto pixel = [](int x, int y) { return Rgb{std::uint8_t(x * 9), std::uint8_t(y * 13), std::uint8_t(x ^ y)}; };
    SourcePicture big(30, 20, pixel);
    SourcePicture part(11, 9, [&](int x, int y) { return pixel(x + 5, y + 7); });
    cJpeg a;
    ASSERT_EQ(a.SampleHDC(big.hdc(), 11, 9, 5, 7), cJpeg::SampleStatus::Sampled);
    cJpeg b;
    ASSERT_EQ(b.SampleHDC(part.hdc(), 11, 9, 0, 0), cJpeg::SampleStatus::Sampled);
    for (std::size_t c = 0; c < 3; ++c)
        EXPECT_EQ(a.components()[c].Coefficients, b.components()[c].Coefficients) << c;
    EXPECT_EQ(a.assembleStream(), b.assembleStream());
}

TEST(SampleHdc, NoSurfaceLeavesTheComponentsAndSaveRefusesTheMismatch)
{
    SourcePicture source(10, 10, [](int x, int y) { return Rgb{std::uint8_t(x * 20), std::uint8_t(y * 20), 0}; });
    cJpeg jpeg;
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 10, 10, 0, 0), cJpeg::SampleStatus::Sampled);
    const Coefficients before = jpeg.components()[0].Coefficients;
    for (auto [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-8, 10}, std::pair{0x7FFFFFFF, 0x7FFFFFFF}}) {
        EXPECT_EQ(jpeg.SampleHDC(source.hdc(), w, h, 0, 0), cJpeg::SampleStatus::NoSurface) << w << " x " << h;
        EXPECT_EQ(jpeg.components()[0].Coefficients, before);
        EXPECT_EQ(cJpegInternals::imageWidth(jpeg), w);  // stored before the surface is made
        // The coefficients belong to the 10 x 10 picture, not to the size now stored: saving
        // them under that size would write a broken file.
        try {
            jpeg.assembleStream();
            ADD_FAILURE() << "no error after a failed sampling of " << w << " x " << h;
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrSubscriptOutOfRange);
        }
    }
}

// The 24-bit source is read in place for the full-size component; the subsampled ones need a
// surface of their own. When that cannot be had, the full-size component sampled just before
// must not have replaced its coefficients. The address-space limit makes the mapping fail in a
// child process; sanitizers reserve address space of their own, so they cannot run it.
#if defined(__SANITIZE_ADDRESS__)
#define TAV_SANITIZED_ADDRESS_SPACE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define TAV_SANITIZED_ADDRESS_SPACE 1
#endif
#endif

TEST(SampleHdcDeathTest, ASurfaceThatCannotBeHadHalfwayTouchesNoComponent)
{
#ifdef TAV_SANITIZED_ADDRESS_SPACE
    GTEST_SKIP() << "an address-space limit cannot be set under a sanitizer";
#else
    const auto child = [] {
        SourcePicture small(10, 10, [](int x, int y) { return Rgb{std::uint8_t(x * 20), std::uint8_t(y * 20), 7}; });
        const int side = 4000;
        SourcePicture big(side, side, [](int x, int y) { return Rgb{std::uint8_t(x), std::uint8_t(y), 99}; });
        cJpeg jpeg;
        if (jpeg.SampleHDC(small.hdc(), 10, 10, 0, 0) != cJpeg::SampleStatus::Sampled)
            std::_Exit(2);
        std::vector<Coefficients> before;
        for (const JpegComponent& c : jpeg.components())
            before.push_back(c.Coefficients);
        const std::vector<std::uint8_t> stream = jpeg.assembleStream();
        // Room for what is mapped now, Y's 32 MB of coefficients, a helper thread's 8 MB stack
        // and Cb's 8 MB of coefficients; not for the 12 MB surface of the subsampled components.
        std::ifstream statm("/proc/self/statm");
        std::size_t pages = 0;
        if (!(statm >> pages))
            std::_Exit(3);
        rlimit limit{};
        if (::getrlimit(RLIMIT_AS, &limit) != 0)
            std::_Exit(4);
        limit.rlim_cur = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(50) << 20);
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            std::_Exit(5);
        cJpeg::SampleStatus status = cJpeg::SampleStatus::Sampled;
        try {
            status = jpeg.SampleHDC(big.hdc(), side, side, 0, 0);
        } catch (const std::bad_alloc&) {
            std::_Exit(6);  // the limit fell on the coefficients, not on the surface
        }
        if (status != cJpeg::SampleStatus::NoSurface)
            std::_Exit(7);  // the limit did not bite
        for (std::size_t c = 0; c < before.size(); ++c)
            if (jpeg.components()[c].Coefficients != before[c])
                std::_Exit(8);
        // The size stored is the new one, and saving refuses coefficients that do not fit it.
        if (cJpegInternals::imageWidth(jpeg) != side)
            std::_Exit(9);
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
#endif
}

// SampleHDC quantizes with the tables of the quality current then; a Quality set afterwards
// must not put other tables into the file than those the coefficients were made with.
TEST(SampleHdc, AQualityChangedAfterSamplingDoesNotChangeTheFile)
{
    SourcePicture source(40, 24, [](int x, int y) { return Rgb{std::uint8_t(x * 6), std::uint8_t(y * 10), 50}; });
    for (const auto& [sampledAt, changedTo] : {std::pair{50, 100}, std::pair{100, 10}, std::pair{75, 76}}) {
        cJpeg unchanged;
        unchanged.Quality(sampledAt);
        ASSERT_EQ(unchanged.SampleHDC(source.hdc(), 40, 24, 0, 0), cJpeg::SampleStatus::Sampled);
        cJpeg changed;
        changed.Quality(sampledAt);
        ASSERT_EQ(changed.SampleHDC(source.hdc(), 40, 24, 0, 0), cJpeg::SampleStatus::Sampled);
        changed.Quality(changedTo);
        EXPECT_EQ(changed.Quality(), changedTo);
        EXPECT_EQ(changed.assembleStream(), unchanged.assembleStream()) << sampledAt << " then " << changedTo;
        // Sampled again, the new quality holds.
        cJpeg fresh;
        fresh.Quality(changedTo);
        ASSERT_EQ(fresh.SampleHDC(source.hdc(), 40, 24, 0, 0), cJpeg::SampleStatus::Sampled);
        ASSERT_EQ(changed.SampleHDC(source.hdc(), 40, 24, 0, 0), cJpeg::SampleStatus::Sampled);
        EXPECT_EQ(changed.assembleStream(), fresh.assembleStream()) << changedTo;
    }
}

}  // namespace
}  // namespace tav
