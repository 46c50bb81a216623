// Scaling and cutting: surface sizes, which part of the picture lands in which part, the
// stretch against an independent area-averaging resize, and what a failed cut leaves behind.
#include "app/logo_cutter.h"
#include "app_test_support.h"
#include "platform/run_time_error.h"

#include <gtest/gtest.h>
#include <png.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <functional>
#include <vector>

namespace tav {
namespace {

using test::pixelAt;
using test::TempDir;
using test::writeBmp;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Four coloured quadrants: red top left, green top right, blue bottom left, yellow bottom right.
COLORREF quadrantColour(bool left, bool top) { return top ? (left ? kRed : kGreen) : (left ? kBlue : kYellow); }

test::PixelFunction quadrants(int width, int height)
{
    return [=](int x, int y) { return quadrantColour(2 * x < width, 2 * y < height); };
}

std::unique_ptr<LogoCutter> makeCutter() { return std::make_unique<LogoCutter>(); }

bool allPixels(const MemorySurface& surface, COLORREF colour)
{
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x)
            if (pixelAt(surface.bitmap(), x, y) != colour)
                return false;
    return true;
}

void expectAllBlack(const LogoCutter& cutter)
{
    EXPECT_TRUE(allPixels(cutter.logoSurface(), kBlack)) << "logo";
    for (SeasonIndex s = 0; s < kSeasonCount; ++s) {
        EXPECT_TRUE(allPixels(cutter.fullImageSurface(s), kBlack)) << "season " << s;
        for (std::size_t i = 0; i < seasonLayout(s).parts.size(); ++i)
            EXPECT_TRUE(allPixels(cutter.partSurface(s, int(i)), kBlack)) << "season " << s << " part " << i;
    }
}

// The corners of the logo carry the colours of the picture's corners.
void expectQuadrantCorners(const MemorySurface& surface)
{
    const int w = surface.width();
    const int h = surface.height();
    EXPECT_EQ(pixelAt(surface.bitmap(), 0, 0), kRed);
    EXPECT_EQ(pixelAt(surface.bitmap(), w - 1, 0), kGreen);
    EXPECT_EQ(pixelAt(surface.bitmap(), 0, h - 1), kBlue);
    EXPECT_EQ(pixelAt(surface.bitmap(), w - 1, h - 1), kYellow);
}

// The surfaces are made at their first use; asked for before any cut, each one is there, black,
// in the table's size, whichever of a season's surfaces is asked for first.
TEST(LogoCutterTest, SurfacesBeforeAnyCutAreBlackIn24BitsAndTheTableSizes)
{
    for (const bool partsFirst : {false, true}) {
        SCOPED_TRACE(partsFirst ? "parts asked for first" : "full images asked for first");
        auto cutter = makeCutter();
        EXPECT_EQ(cutter->logoSurface().width(), 256);
        EXPECT_EQ(cutter->logoSurface().height(), 195);
        EXPECT_EQ(cutter->logoSurface().bitmap().bitCount(), 24);
        for (SeasonIndex s = 0; s < kSeasonCount; ++s) {
            const SeasonLayout& season = seasonLayout(s);
            if (partsFirst) {
                EXPECT_EQ(cutter->partSurface(s, int(season.parts.size()) - 1).width(), season.parts.back().width);
            }
            EXPECT_EQ(cutter->fullImageSurface(s).width(), season.fullWidth);
            EXPECT_EQ(cutter->fullImageSurface(s).height(), season.fullHeight);
            EXPECT_EQ(cutter->fullImageSurface(s).bitmap().bitCount(), 24);
            for (std::size_t i = 0; i < season.parts.size(); ++i) {
                EXPECT_EQ(cutter->partSurface(s, int(i)).width(), season.parts[i].width);
                EXPECT_EQ(cutter->partSurface(s, int(i)).height(), season.parts[i].height);
                EXPECT_EQ(cutter->partSurface(s, int(i)).bitmap().bitCount(), 24);
            }
        }
        expectAllBlack(*cutter);
    }
}

// A surface asked for before the first cut is the one the cut draws on, and a season or part
// outside the table is refused as it always was.
TEST(LogoCutterTest, ASurfaceTakenBeforeTheFirstCutShowsTheCut)
{
    TempDir dir;
    const auto good = writeBmp(dir, "good.bmp", 40, 30, quadrants(40, 30));
    auto cutter = makeCutter();
    const MemorySurface& logo = cutter->logoSurface();
    const MemorySurface& full = cutter->fullImageSurface(2);
    const MemorySurface& lastPart = cutter->partSurface(2, 5);
    cutter->CutStartupLogo(good);
    cutter->CutLoadingScreen(2, good);
    EXPECT_EQ(&logo, &cutter->logoSurface());
    EXPECT_EQ(&full, &cutter->fullImageSurface(2));
    EXPECT_EQ(&lastPart, &cutter->partSurface(2, 5));
    expectQuadrantCorners(logo);
    expectQuadrantCorners(full);
    EXPECT_EQ(pixelAt(lastPart.bitmap(), lastPart.width() - 1, lastPart.height() - 1), kYellow);

    for (const auto& outside : std::vector<std::function<void()>>{
             [&] { cutter->fullImageSurface(SeasonIndex(-1)); },
             [&] { cutter->fullImageSurface(kSeasonCount); },
             [&] { cutter->partSurface(0, int(seasonLayout(0).parts.size())); },
             [&] { cutter->partSurface(0, -1); },
         }) {
        try {
            outside();
            ADD_FAILURE() << "no error for a surface outside the table";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrSubscriptOutOfRange);
        }
    }
}

// Surfaces are made when first needed, so running out of memory for them is raised by the cut
// that needs them, as the out-of-memory error, with nothing drawn and nothing left half made; a
// later cut with memory to spare works. The address-space limit makes the mappings fail in a
// child process; sanitizers reserve address space of their own, so they cannot run it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAV_SANITIZED_ADDRESS_SPACE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define TAV_SANITIZED_ADDRESS_SPACE 1
#endif
#endif

TEST(LogoCutterDeathTest, ACutWithoutMemoryForItsSurfacesRaisesAndALaterOneWorks)
{
#ifdef TAV_SANITIZED_ADDRESS_SPACE
    GTEST_SKIP() << "an address-space limit cannot be set under a sanitizer";
#else
    TempDir dir;
    const auto good = writeBmp(dir, "good.bmp", 40, 30, quadrants(40, 30));
    const auto child = [&] {
        auto cutter = makeCutter();
        rlimit original{};
        if (::getrlimit(RLIMIT_AS, &original) != 0)
            std::_Exit(2);
        // What the process maps now plus 1 MB: the 5.6 MB of season 2's surfaces cannot be had.
        std::ifstream statm("/proc/self/statm");
        std::size_t pages = 0;
        if (!(statm >> pages))
            std::_Exit(3);
        rlimit tight = original;
        tight.rlim_cur = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(1) << 20);
        if (::setrlimit(RLIMIT_AS, &tight) != 0)
            std::_Exit(4);
        try {
            cutter->CutLoadingScreen(2, good);
            std::_Exit(5);  // the limit did not bite
        } catch (const RunTimeError& e) {
            if (e.number() != kErrOutOfMemory || std::string(e.what()) != kNoSurfaceMemoryText)
                std::_Exit(6);
        }
        if (::setrlimit(RLIMIT_AS, &original) != 0)
            std::_Exit(7);
        cutter->CutLoadingScreen(2, good);
        const MemorySurface& full = cutter->fullImageSurface(2);
        const int right = full.width() - 1;
        const int bottom = full.height() - 1;
        if (pixelAt(full.bitmap(), 0, 0) != kRed || pixelAt(full.bitmap(), right, bottom) != kYellow)
            std::_Exit(8);
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
#endif
}

TEST(LogoCutterTest, SmallPictureForSeason2IsEnlargedAndCutIntoSixParts)
{
    TempDir dir;
    const auto picture = writeBmp(dir, "square.bmp", 100, 100, [](int, int) { return RGB(10, 200, 30); });
    auto cutter = makeCutter();
    cutter->CutLoadingScreen(2, picture);

    EXPECT_EQ(cutter->imageInfo().Width(), 100);
    EXPECT_TRUE(allPixels(cutter->fullImageSurface(2), RGB(10, 200, 30)));
    EXPECT_EQ(cutter->fullImageSurface(2).width(), 1280);
    EXPECT_EQ(cutter->fullImageSurface(2).height(), 735);
    const int sizes[6][2] = {{512, 512}, {512, 512}, {256, 512}, {512, 223}, {512, 223}, {256, 223}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE("part " + std::to_string(i + 1));
        const MemorySurface& part = cutter->partSurface(2, i);
        EXPECT_EQ(part.width(), sizes[i][0]);
        EXPECT_EQ(part.height(), sizes[i][1]);
        EXPECT_TRUE(allPixels(part, RGB(10, 200, 30)));
    }
    // Other seasons are left alone.
    EXPECT_TRUE(allPixels(cutter->fullImageSurface(3), kBlack));
    EXPECT_TRUE(allPixels(cutter->logoSurface(), kBlack));
}

// Each part is the rectangle of the full image the table names, and each part's corners show
// the quadrant of the picture they lie in.
TEST(LogoCutterTest, QuadrantsLandInTheRightParts)
{
    TempDir dir;
    constexpr int kWidth = 42;
    constexpr int kHeight = 30;
    const auto picture = writeBmp(dir, "quadrants.bmp", kWidth, kHeight, quadrants(kWidth, kHeight));
    auto cutter = makeCutter();

    for (SeasonIndex s = 0; s < kSeasonCount; ++s) {
        SCOPED_TRACE("season " + std::to_string(s));
        cutter->CutLoadingScreen(s, picture);
        const SeasonLayout& season = seasonLayout(s);
        const DIBSection& full = cutter->fullImageSurface(s).bitmap();
        expectQuadrantCorners(cutter->fullImageSurface(s));
        for (std::size_t i = 0; i < season.parts.size(); ++i) {
            SCOPED_TRACE("part " + std::to_string(i + 1));
            const PartLayout& rect = season.parts[i];
            const DIBSection& part = cutter->partSurface(s, int(i)).bitmap();
            const int xs[2] = {0, rect.width - 1};
            const int ys[2] = {0, rect.height - 1};
            for (int y : ys)
                for (int x : xs)
                    EXPECT_EQ(pixelAt(part, x, y),
                        quadrantColour(2 * (rect.x + x) < season.fullWidth, 2 * (rect.y + y) < season.fullHeight))
                        << "corner " << x << ", " << y;
            // And pixel for pixel the rectangle of the full image.
            bool same = true;
            for (int y = 0; y < rect.height && same; ++y)
                for (int x = 0; x < rect.width && same; ++x)
                    same = pixelAt(part, x, y) == pixelAt(full, rect.x + x, rect.y + y);
            EXPECT_TRUE(same);
        }
    }
    cutter->CutStartupLogo(picture);
    expectQuadrantCorners(cutter->logoSurface());
}

// Nothing is letter-boxed or cropped: a uniform picture of any shape covers the whole logo.
TEST(LogoCutterTest, StartupLogoIs256x195FromAnyAspectRatio)
{
    TempDir dir;
    const struct {
        int width, height;
    } shapes[] = {{1, 1}, {1000, 7}, {7, 1000}, {256, 195}, {333, 77}, {2, 600}};
    auto cutter = makeCutter();
    int n = 0;
    for (const auto& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.height));
        const COLORREF colour = RGB(std::uint8_t(40 + 30 * n), 120, std::uint8_t(200 - 20 * n));
        const auto picture = writeBmp(
            dir, "p" + std::to_string(n++) + ".bmp", shape.width, shape.height, [&](int, int) { return colour; });
        cutter->CutStartupLogo(picture);
        EXPECT_EQ(cutter->logoSurface().width(), 256);
        EXPECT_EQ(cutter->logoSurface().height(), 195);
        EXPECT_TRUE(allPixels(cutter->logoSurface(), colour));
    }
    // A wide quadrant picture keeps its four corners in the four corners.
    const auto wide = writeBmp(dir, "wide.bmp", 900, 40, quadrants(900, 40));
    cutter->CutStartupLogo(wide);
    expectQuadrantCorners(cutter->logoSurface());
}

// Channel c of the picture's pixel (x, y): a fixed pseudo-random pattern.
std::uint8_t noise(int x, int y, int c)
{
    std::uint32_t v = std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u ^ std::uint32_t(c) * 83492791u;
    v ^= v >> 13;
    v *= 0x5bd1e995u;
    v ^= v >> 15;
    return std::uint8_t(v);
}

// Weights of the source pixels that output pixel j of `dst` covers on an axis of `src` pixels.
std::vector<std::pair<int, double>> areaWeights(int j, int dst, int src)
{
    const double begin = double(j) * src / dst;
    const double end = double(j + 1) * src / dst;
    std::vector<std::pair<int, double>> weights;
    for (int i = int(std::floor(begin)); i < src && i < end; ++i) {
        const double overlap = std::min(end, double(i + 1)) - std::max(begin, double(i));
        if (overlap > 0)
            weights.emplace_back(i, overlap);
    }
    return weights;
}

// Every pixel of `surface` against the area average of the picture, to within the one rounding
// of the result.
void expectAreaAverage(const MemorySurface& surface, int srcWidth, int srcHeight)
{
    int bad = 0;
    for (int y = 0; y < surface.height() && bad < 5; ++y) {
        const auto wy = areaWeights(y, surface.height(), srcHeight);
        for (int x = 0; x < surface.width() && bad < 5; ++x) {
            const auto wx = areaWeights(x, surface.width(), srcWidth);
            const COLORREF got = pixelAt(surface.bitmap(), x, y);
            const std::uint8_t gotChannels[3] = {GetRValue(got), GetGValue(got), GetBValue(got)};
            for (int c = 0; c < 3; ++c) {
                double sum = 0, total = 0;
                for (const auto& [sy, fy] : wy)
                    for (const auto& [sx, fx] : wx) {
                        sum += fx * fy * noise(sx, sy, c);
                        total += fx * fy;
                    }
                const double expected = sum / total;
                if (std::abs(gotChannels[c] - expected) > 0.5 + 1e-6) {
                    ADD_FAILURE() << "pixel " << x << ", " << y << " channel " << c << ": " << int(gotChannels[c])
                                  << " against " << expected;
                    ++bad;
                }
            }
        }
    }
}

TEST(LogoCutterTest, ShrinkingMatchesAnAreaAveragingResize)
{
    TempDir dir;
    constexpr int kWidth = 1500;
    constexpr int kHeight = 900;
    const auto picture = writeBmp(dir, "noise.bmp", kWidth, kHeight,
        [](int x, int y) { return RGB(noise(x, y, 0), noise(x, y, 1), noise(x, y, 2)); });
    auto cutter = makeCutter();

    cutter->CutStartupLogo(picture);
    {
        SCOPED_TRACE("startup logo");
        expectAreaAverage(cutter->logoSurface(), kWidth, kHeight);
    }
    for (SeasonIndex s = 0; s < kSeasonCount; ++s) {
        SCOPED_TRACE("season " + std::to_string(s));
        cutter->CutLoadingScreen(s, picture);
        expectAreaAverage(cutter->fullImageSurface(s), kWidth, kHeight);
    }
}

void expectRaises(const std::function<void()>& run, int number, const std::string& inMessage)
{
    try {
        run();
        ADD_FAILURE() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), number) << e.what();
        EXPECT_NE(std::string(e.what()).find(inMessage), std::string::npos) << e.what();
    }
}

// A failed cut raises the error and leaves no pixel of the previous picture on any surface
// it fills, so no run can write the old picture under the new names.
TEST(LogoCutterTest, FailedCutsRaiseAndLeaveNothingOfThePreviousPicture)
{
    TempDir dir;
    const auto good = writeBmp(dir, "good.bmp", 40, 30, quadrants(40, 30));
    // A GIF header the reader accepts (1 x 1), followed by nothing a decoder can use.
    const auto broken = dir.write("broken.gif",
        {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 1, 2, 3, 4, 5, 6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
            0xFF});
    const auto shortBmp = dir.write("short.bmp", {'B', 'M'});
    const auto unknown = dir.write("notes.txt", std::vector<std::uint8_t>(100, 'x'));
    const auto missing = dir / "missing.jpg";

    const struct {
        const char* name;
        std::filesystem::path path;
        int error;
        std::string inMessage;
    } rows[] = {
        {"missing file", missing, kErrFileNotFound, missing.string() + ": File not found"},
        {"folder", dir.path(), kErrPathFileAccess, "Path/File access error"},
        {"undecodable picture", broken, kErrInvalidPicture, broken.string()},
        {"header cut short", shortBmp, kErrSubscriptOutOfRange, "BMP header"},
        {"unknown format", unknown, kErrInvalidPicture, unknown.string()},
    };
    auto cutter = makeCutter();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        cutter->CutStartupLogo(good);
        for (SeasonIndex s = 0; s < kSeasonCount; ++s)
            cutter->CutLoadingScreen(s, good);
        ASSERT_FALSE(allPixels(cutter->logoSurface(), kBlack));

        expectRaises([&] { cutter->CutStartupLogo(row.path); }, row.error, row.inMessage);
        for (SeasonIndex s = 0; s < kSeasonCount; ++s)
            expectRaises([&] { cutter->CutLoadingScreen(s, row.path); }, row.error, row.inMessage);
        expectAllBlack(*cutter);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(LogoCutterTest, SeasonOutsideTheTableDoesNothing)
{
    TempDir dir;
    const auto good = writeBmp(dir, "good.bmp", 40, 30, quadrants(40, 30));
    auto cutter = makeCutter();
    cutter->CutLoadingScreen(0, good);
    for (SeasonIndex s : {SeasonIndex(-1), SeasonIndex(4), SeasonIndex(32767)})
        EXPECT_NO_THROW(cutter->CutLoadingScreen(s, dir / "missing.jpg"));
    expectQuadrantCorners(cutter->fullImageSurface(0));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.jpg"));
}

// A top-down BMP: its header height is negative, so the picture's own size must be used.
std::vector<std::uint8_t> topDownBmp(int width, int height, const test::PixelFunction& colour)
{
    const int stride = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> file(54 + std::size_t(stride) * std::size_t(height), 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, std::uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(width));
    put32(22, std::uint32_t(-height));
    file[26] = 1;
    file[28] = 24;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = colour(x, y);
            std::uint8_t* p = &file[54 + std::size_t(y) * std::size_t(stride) + std::size_t(x) * 3];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    return file;
}

// A PNG, written with libpng's simplified interface.
std::filesystem::path writePng(
    const TempDir& dir, const std::string& name, int width, int height, const test::PixelFunction& colour)
{
    std::vector<std::uint8_t> rgb(std::size_t(width) * std::size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = colour(x, y);
            std::uint8_t* p = &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
            p[0] = GetRValue(c);
            p[1] = GetGValue(c);
            p[2] = GetBValue(c);
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    const auto path = dir / name;
    EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) << image.message;
    return path;
}

TEST(LogoCutterTest, HeaderSizeThatIsNotThePicturesIsReplacedByThePicturesOwn)
{
    TempDir dir;
    auto cutter = makeCutter();

    const auto topDown = dir.write("topdown.bmp", topDownBmp(40, 50, quadrants(40, 50)));
    cutter->CutStartupLogo(topDown);
    EXPECT_EQ(cutter->imageInfo().Height(), -50);
    expectQuadrantCorners(cutter->logoSurface());
    cutter->CutLoadingScreen(1, topDown);
    expectQuadrantCorners(cutter->fullImageSurface(1));

    // 32768 pixels wide: the header reader's signed 16-bit width is -32768.
    const auto wide = writePng(dir, "wide.png", 32768, 4, quadrants(32768, 4));
    cutter->CutStartupLogo(wide);
    EXPECT_EQ(cutter->imageInfo().Width(), -32768);
    expectQuadrantCorners(cutter->logoSurface());
    cutter->CutLoadingScreen(0, wide);
    expectQuadrantCorners(cutter->fullImageSurface(0));
}

}  // namespace
}  // namespace tav
