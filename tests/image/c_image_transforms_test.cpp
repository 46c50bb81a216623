// cImage transforms: where every pixel goes after each mirror and turn at every depth, where
// the four corners of a 40 x 30 buffer end up, the angles Rotate accepts, the colour tables the
// results carry, the grey conversion, resampling with and without stretching, and the source
// left exactly as it was.
#include "c_image_test_support.h"

#include "image/c_image.h"
#include "platform/device_context.h"
#include "platform/run_time_error.h"
#include "platform/transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace tav {
namespace {

using test::colorTableOf;
using test::distinctPalette;
using test::patternImage;
using test::Snapshot;

constexpr int kW = 40;
constexpr int kH = 30;
constexpr int kDepths[] = {1, 4, 8, 24};

// A transform as the tests drive it, with where it sends source pixel (x, y) of a w x h source.
struct Move {
    const char* name;
    std::function<std::unique_ptr<cImage>(const cImage&)> run;
    bool swapsSides;  // result is h x w
    std::function<std::pair<int, int>(int x, int y, int w, int h)> where;
};

const std::vector<Move>& moves()
{
    static const std::vector<Move> all = {
        {"MirrorVertical", [](const cImage& s) { return s.Mirror(true); }, false,
            [](int x, int y, int, int h) { return std::pair{x, h - 1 - y}; }},
        {"MirrorHorizontal", [](const cImage& s) { return s.Mirror(false); }, false,
            [](int x, int y, int w, int) { return std::pair{w - 1 - x, y}; }},
        {"Rotate90", [](const cImage& s) { return s.Rotate(90); }, true,
            [](int x, int y, int w, int) { return std::pair{y, w - 1 - x}; }},
        {"Rotate180", [](const cImage& s) { return s.Rotate(180); }, false,
            [](int x, int y, int w, int h) { return std::pair{w - 1 - x, h - 1 - y}; }},
        {"Rotate270", [](const cImage& s) { return s.Rotate(270); }, true,
            [](int x, int y, int, int h) { return std::pair{h - 1 - y, x}; }},
        {"ResampleSameSize", [](const cImage& s) { return s.Resample(s.Width(), s.Height()); }, false,
            [](int x, int y, int, int) { return std::pair{x, y}; }},
    };
    return all;
}

// Every source pixel must arrive at its image under the transform, at every depth and in both
// row orders, with the depth and the colour table unchanged.
TEST(CImageTransforms, EveryPixelLandsWhereTheCornerPointsSendIt)
{
    for (const int bits : kDepths) {
        for (const int sign : {1, -1}) {
            const cImage source = patternImage(kW, sign * kH, bits);
            for (const Move& move : moves()) {
                SCOPED_TRACE(std::string(move.name) + " at " + std::to_string(bits) + " bits" +
                    (sign < 0 ? ", top-down" : ""));
                const std::unique_ptr<cImage> result = move.run(source);
                ASSERT_NE(result, nullptr);
                ASSERT_NE(result->hDC(), nullptr);
                EXPECT_EQ(result->Width(), move.swapsSides ? kH : kW);
                EXPECT_EQ(result->Height(), sign * (move.swapsSides ? kW : kH));
                EXPECT_EQ(result->BitCount(), bits);
                EXPECT_EQ(colorTableOf(result->hDC()), colorTableOf(source.hDC()));
                int wrong = 0;
                for (int y = 0; y < kH; ++y)
                    for (int x = 0; x < kW; ++x) {
                        const auto [tx, ty] = move.where(x, y, kW, kH);
                        if (GetPixel(result->hDC(), tx, ty) != GetPixel(source.hDC(), x, y) && wrong++ < 3)
                            ADD_FAILURE() << "source (" << x << ", " << y << ") should be at (" << tx << ", " << ty
                                          << ")";
                    }
                EXPECT_EQ(wrong, 0);
            }
        }
    }
}

enum Corner { TopLeft, TopRight, BottomLeft, BottomRight };

std::pair<int, int> cornerAt(Corner c, int w, int h)
{
    return {c == TopRight || c == BottomRight ? w - 1 : 0, c == BottomLeft || c == BottomRight ? h - 1 : 0};
}

// The corners of a 40 x 30 buffer, one at a time marked in the one colour the rest does not
// have, and where each must end up. Written out by hand rather than derived from the maps above.
TEST(CImageTransforms, CornersOfA40By30BufferEndUpWhereExpected)
{
    struct Row {
        const char* move;
        Corner to[4];  // where TopLeft, TopRight, BottomLeft, BottomRight go
    };
    const Row rows[] = {
        {"MirrorVertical", {BottomLeft, BottomRight, TopLeft, TopRight}},
        {"MirrorHorizontal", {TopRight, TopLeft, BottomRight, BottomLeft}},
        {"Rotate90", {BottomLeft, TopLeft, BottomRight, TopRight}},
        {"Rotate180", {BottomRight, BottomLeft, TopRight, TopLeft}},
        {"Rotate270", {TopRight, BottomRight, TopLeft, BottomLeft}},
        {"ResampleSameSize", {TopLeft, TopRight, BottomLeft, BottomRight}},
    };
    for (const int bits : kDepths) {
        // Two colours every depth can show exactly: the first two entries of the colour table.
        const std::vector<RGBQUAD> palette = test::paletteFor(bits);
        const COLORREF background = bits == 24 ? RGB(10, 20, 30) : test::colorOf(palette[0]);
        const COLORREF mark = bits == 24 ? RGB(250, 40, 90) : test::colorOf(palette[1]);
        for (const Row& row : rows) {
            const Move& move = *std::find_if(moves().begin(), moves().end(),
                [&](const Move& m) { return std::string(m.name) == row.move; });
            for (const Corner from : {TopLeft, TopRight, BottomLeft, BottomRight}) {
                SCOPED_TRACE(std::string(row.move) + " at " + std::to_string(bits) + " bits, corner " +
                    std::to_string(int(from)));
                cImage source;
                ASSERT_TRUE(source.Create(kW, kH, std::int16_t(bits)));
                if (!palette.empty())
                    SetDIBColorTable(source.hDC(), 0, unsigned(palette.size()), palette.data());
                for (int y = 0; y < kH; ++y)
                    for (int x = 0; x < kW; ++x)
                        SetPixel(source.hDC(), x, y, background);
                const auto [sx, sy] = cornerAt(from, kW, kH);
                SetPixel(source.hDC(), sx, sy, mark);

                const std::unique_ptr<cImage> result = move.run(source);
                ASSERT_NE(result, nullptr);
                const auto [ex, ey] = cornerAt(row.to[from], result->Width(), result->Height());
                EXPECT_EQ(GetPixel(result->hDC(), ex, ey), mark);
                int marks = 0;
                for (int y = 0; y < result->Height(); ++y)
                    for (int x = 0; x < result->Width(); ++x)
                        marks += GetPixel(result->hDC(), x, y) == mark;
                EXPECT_EQ(marks, 1);
            }
        }
    }
}

TEST(CImageTransforms, RotateReducesTheAngleAndTurnsOnlyQuarterTurns)
{
    const cImage source = patternImage(kW, kH, 24);
    const struct {
        std::int32_t degrees;
        std::int32_t as;
    } equivalent[] = {{450, 90}, {-90, 270}, {-180, 180}, {-270, 90}, {810, 90}, {630, 270}, {-450, 270}};
    for (const auto& row : equivalent) {
        SCOPED_TRACE(row.degrees);
        const auto turned = source.Rotate(row.degrees);
        const auto reference = source.Rotate(row.as);
        ASSERT_NE(turned, nullptr);
        ASSERT_NE(reference, nullptr);
        EXPECT_EQ(Snapshot(*turned), Snapshot(*reference));
    }
    for (const std::int32_t degrees : {0, 360, -360, 720, 45, 100, 1, 89, 91, 269, 359, -1,
             std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
        SCOPED_TRACE(degrees);
        EXPECT_EQ(source.Rotate(degrees), nullptr);
    }
}

// An 8-bit table of the source's own is carried by every transform but Greyscale, which
// gives the grey ramp; a 1- or 4-bit source still gives an 8-bit grey result.
TEST(CImageTransforms, ColourTablesKeptOrReplaced)
{
    const cImage source = patternImage(kW, kH, 8);
    const std::vector<RGBQUAD> own = distinctPalette(256);
    ASSERT_EQ(colorTableOf(source.hDC()), own);
    EXPECT_EQ(colorTableOf(source.Resample(kW, kH)->hDC()), own);
    EXPECT_EQ(colorTableOf(source.Resample(20, 15)->hDC()), own);
    EXPECT_EQ(colorTableOf(source.Resample(57, 44)->hDC()), own);
    EXPECT_EQ(colorTableOf(source.Mirror(true)->hDC()), own);
    EXPECT_EQ(colorTableOf(source.Mirror(false)->hDC()), own);
    EXPECT_EQ(colorTableOf(source.Rotate(90)->hDC()), own);

    for (const int bits : kDepths) {
        SCOPED_TRACE(bits);
        const auto grey = patternImage(kW, kH, bits).Greyscale();
        EXPECT_EQ(grey->BitCount(), 8);
        EXPECT_EQ(grey->Width(), kW);
        EXPECT_EQ(grey->Height(), kH);
        const std::vector<RGBQUAD> table = colorTableOf(grey->hDC());
        ASSERT_EQ(table.size(), 256u);
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(table[std::size_t(i)], (RGBQUAD{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0}));
    }
}

// Greyscale maps each colour to the nearest grey (least squared distance, lower grey on a tie):
// greys stay exactly what they were, and pure red, whose distance to grey g is
// (255 - g)^2 + 2 g^2, lands on 85.
TEST(CImageTransforms, GreyscaleTakesTheNearestGrey)
{
    cImage source;
    ASSERT_TRUE(source.Create(6, 2, 24));
    const COLORREF colours[6] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(128, 128, 128), RGB(37, 37, 37),
        RGB(255, 0, 0), RGB(10, 20, 33)};
    const int expected[6] = {0, 255, 128, 37, 85, 21};
    for (int x = 0; x < 6; ++x) {
        SetPixel(source.hDC(), x, 0, colours[x]);
        SetPixel(source.hDC(), x, 1, colours[5 - x]);
    }
    const auto grey = source.Greyscale();
    for (int x = 0; x < 6; ++x) {
        SCOPED_TRACE(x);
        const auto g = std::uint8_t(expected[x]);
        EXPECT_EQ(GetPixel(grey->hDC(), x, 0), RGB(g, g, g));
        // The buffer's bytes are the grey levels themselves; row 0 of a bottom-up bitmap is last in memory.
        EXPECT_EQ(grey->DIBitsPtr()[std::size_t(grey->BytesPerScanLine()) + std::size_t(x)], g);
        const auto g2 = std::uint8_t(expected[5 - x]);
        EXPECT_EQ(GetPixel(grey->hDC(), x, 1), RGB(g2, g2, g2));
    }
}

// At its own size Resample copies indices; a stretch would re-match colours and, with two
// entries of the same colour, move pixels to the lower one. The stretch mode is not touched.
TEST(CImageTransforms, ResampleToTheSameSizeCopiesWithoutStretching)
{
    std::vector<RGBQUAD> palette = distinctPalette(256);
    palette[200] = palette[3];
    cImage source;
    ASSERT_TRUE(source.Create(8, 4, 8));
    SetDIBColorTable(source.hDC(), 0, 256, palette.data());
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 8; ++x)
            source.DIBitsPtr()[row * source.BytesPerScanLine() + x] = std::uint8_t(x % 2 ? 200 : 3 + row);

    const auto same = source.Resample(8, 4);
    EXPECT_EQ(Snapshot(*same), Snapshot(source));
    EXPECT_EQ(GetStretchBltMode(same->hDC()), BLACKONWHITE);

    const auto wider = source.Resample(16, 4);
    EXPECT_EQ(GetStretchBltMode(wider->hDC()), HALFTONE);
}

// A stretch asks for halftone: halving alternate black and white columns gives their mean,
// 127.5 rounded half up, where nearest-pixel sampling would give black or white.
TEST(CImageTransforms, ResampleStretchesWithHalftoneAveraging)
{
    cImage source;
    ASSERT_TRUE(source.Create(kW, kH, 24));
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            SetPixel(source.hDC(), x, y, x % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
    const auto half = source.Resample(20, 15);
    ASSERT_EQ(half->Width(), 20);
    ASSERT_EQ(half->Height(), 15);
    EXPECT_EQ(half->BitCount(), 24);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(GetPixel(half->hDC(), x, y), RGB(128, 128, 128)) << x << ", " << y;
}

// The source's size, depth, pixel bytes and colour table after every transform, every depth.
TEST(CImageTransforms, SourceIsLeftUntouched)
{
    for (const int bits : kDepths) {
        SCOPED_TRACE(bits);
        const cImage source = patternImage(kW, kH, bits);
        const Snapshot before(source);
        const std::function<std::unique_ptr<cImage>()> calls[] = {
            [&] { return source.Greyscale(); },
            [&] { return source.Resample(kW, kH); },
            [&] { return source.Resample(17, 53); },
            [&] { return source.Mirror(true); },
            [&] { return source.Mirror(false); },
            [&] { return source.Rotate(90); },
            [&] { return source.Rotate(180); },
            [&] { return source.Rotate(270); },
        };
        for (std::size_t i = 0; i < std::size(calls); ++i) {
            SCOPED_TRACE(i);
            const auto result = calls[i]();
            ASSERT_NE(result, nullptr);
            EXPECT_NE(result->hDC(), source.hDC());
            EXPECT_NE(result->DIBitsPtr(), source.DIBitsPtr());
            EXPECT_EQ(Snapshot(source), before);
        }
    }
}

// A result whose Create fails is returned empty, never null (only Rotate returns no object).
TEST(CImageTransforms, FailedResultsAreEmptyBuffers)
{
    const cImage empty;
    const std::unique_ptr<cImage> results[] = {
        empty.Greyscale(), empty.Resample(10, 10), empty.Mirror(true), empty.Mirror(false), empty.Rotate(90),
        patternImage(kW, kH, 8).Resample(0, 10), patternImage(kW, kH, 24).Resample(10, 0)};
    for (const auto& result : results) {
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->hDC(), nullptr);
        EXPECT_EQ(result->DIBitsPtr(), nullptr);
        EXPECT_EQ(result->Width(), 0);
        EXPECT_EQ(result->Height(), 0);
        EXPECT_EQ(result->BitCount(), 0);
    }

    // A size beyond 32-bit arithmetic is the overflow error, as in Create.
    const cImage source = patternImage(kW, kH, 24);
    try {
        source.Resample(1 << 30, 1);
        ADD_FAILURE() << "no overflow raised";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrOverflow);
    }
}

}  // namespace
}  // namespace tav
