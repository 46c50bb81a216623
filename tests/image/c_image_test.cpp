// cImage, the buffer: strides and their overflow, refused depths and sizes, grey tables, row
// order, re-creation, the depths CopyStdPicture and CopyHDC choose and the colour tables they
// carry or replace, CopyPalletHDC, and PaintHDC with each raster operation.
#include "c_image_test_support.h"

#include "image/c_image.h"
#include "platform/device_context.h"
#include "platform/dib.h"
#include "platform/picture.h"
#include "platform/run_time_error.h"
#include "platform/transfer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tav {
namespace {

using test::colorOf;
using test::colorTableOf;
using test::distinctPalette;
using test::patternColor;
using test::patternImage;

void expectEmpty(const cImage& image)
{
    EXPECT_EQ(image.hDC(), nullptr);
    EXPECT_EQ(image.DIBitsPtr(), nullptr);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_EQ(image.BitCount(), 0);
    EXPECT_EQ(image.BytesPerScanLine(), 0);
}

std::vector<RGBQUAD> greyRamp(int bits)
{
    std::vector<RGBQUAD> table;
    const int n = (1 << bits) - 1;
    for (int i = 0; i <= n; ++i) {
        const auto v = std::uint8_t(i * 255 / n);
        table.push_back(RGBQUAD{v, v, v, 0});
    }
    return table;
}

// Compares every pixel of `image` with the pattern of a picture of `bits` and `palette`.
void expectPattern(const cImage& image, int bits, const std::vector<RGBQUAD>& palette, int dx = 0, int dy = 0)
{
    int wrong = 0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            if (GetPixel(image.hDC(), x, y) != patternColor(x + dx, y + dy, bits, palette) && wrong++ < 3)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
    EXPECT_EQ(wrong, 0);
}

TEST(CImage, FreshBufferIsEmpty)
{
    const cImage image;
    expectEmpty(image);
}

// The stride matches the platform's own row length, and row 0 of the picture sits where that
// stride puts it: the last row in memory for a positive height.
TEST(CImage, BytesPerScanLine)
{
    const struct {
        int bits, width, stride;
    } rows[] = {{24, 1, 4}, {24, 2, 8}, {24, 3, 12}, {24, 4, 12}, {24, 5, 16}, {24, 85, 256}, {8, 1, 4}, {8, 2, 4},
        {8, 3, 4}, {8, 4, 4}, {8, 5, 8}, {4, 1, 4}, {4, 8, 4}, {4, 9, 8}, {4, 17, 12}, {1, 1, 4}, {1, 32, 4},
        {1, 33, 8}, {1, 64, 8}, {1, 65, 12}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.bits) + " bits, width " + std::to_string(row.width));
        cImage image;
        ASSERT_TRUE(image.Create(row.width, 3, std::int16_t(row.bits)));
        EXPECT_EQ(image.BytesPerScanLine(), row.stride);
        EXPECT_EQ(image.hDC()->bitmap()->stride(), row.stride);

        // The first byte of the top row, written through the context, read through the pointer.
        SetPixel(image.hDC(), 0, 0, RGB(255, 255, 255));
        const std::uint8_t top = image.DIBitsPtr()[2 * row.stride];
        EXPECT_EQ(top & 0x80, 0x80);
        EXPECT_EQ(image.DIBitsPtr()[0], 0);
    }
}

// Stride and image size are 32-bit and checked at every step; an overflow raises error 6 and
// leaves the buffer empty, even one that held a picture.
TEST(CImage, OverflowInStrideOrImageSizeRaisesOverflow)
{
    const struct {
        const char* why;
        std::int32_t width, height;
        std::int16_t bits;
    } rows[] = {
        {"8-bit width + 3", std::numeric_limits<std::int32_t>::max(), 1, 8},
        {"24-bit width x 3", 715827883, 1, 24},
        {"24-bit width x 3 + 3", 715827882, 1, 24},
        {"negative width x 3", -715827883, 1, 24},
        {"1-bit width - 1", std::numeric_limits<std::int32_t>::min(), 1, 1},
        {"4-bit width - 1", std::numeric_limits<std::int32_t>::min(), 1, 4},
        {"image size", 100000, 100000, 24},
        {"image size of a top-down bitmap", 100000, -100000, 24},
        {"image size at 1 bit", 1 << 20, 1 << 17, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        cImage image;
        ASSERT_TRUE(image.Create(4, 4, 24));
        try {
            image.Create(row.width, row.height, row.bits);
            ADD_FAILURE() << "no overflow raised";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrOverflow);
            EXPECT_STREQ(e.what(), kMsgOverflow);
        }
        expectEmpty(image);
    }
}

// Only 1, 4, 8 and 24 bits are made; a refusal (of the depth, or of the size by the platform)
// empties even a buffer that held a picture.
TEST(CImage, CreateRefusesOtherDepthsAndUnusableSizes)
{
    const struct {
        std::int32_t width, height;
        std::int16_t bits;
    } rows[] = {{10, 10, 0}, {10, 10, 2}, {10, 10, 3}, {10, 10, 15}, {10, 10, 16}, {10, 10, 32}, {10, 10, -8},
        {10, 10, 256 + 8}, {0, 10, 24}, {10, 0, 8}, {-5, 10, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(
            std::to_string(row.width) + " x " + std::to_string(row.height) + " at " + std::to_string(row.bits));
        cImage image;
        ASSERT_TRUE(image.Create(7, 5, 8));
        EXPECT_FALSE(image.Create(row.width, row.height, row.bits));
        expectEmpty(image);
    }
}

TEST(CImage, CreateGivesIndexedDepthsAGreyRamp)
{
    for (const int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        cImage image;
        ASSERT_TRUE(image.Create(3, 3, std::int16_t(bits)));
        const std::vector<RGBQUAD> table = colorTableOf(image.hDC());
        ASSERT_EQ(table.size(), std::size_t(1) << bits);
        for (std::size_t i = 0; i < table.size(); ++i) {
            const int level = bits == 1 ? int(i) * 255 : bits == 4 ? int(i) * 17 : int(i);
            EXPECT_EQ(table[i], (RGBQUAD{std::uint8_t(level), std::uint8_t(level), std::uint8_t(level), 0})) << i;
        }
    }
    cImage image;
    ASSERT_TRUE(image.Create(3, 3, 24));
    EXPECT_TRUE(colorTableOf(image.hDC()).empty());
}

// The header's height chooses the row order: positive puts the top row last in memory,
// negative first. 24-bit pixels are blue, green, red.
TEST(CImage, HeightSignChoosesRowOrder)
{
    for (const int sign : {1, -1}) {
        SCOPED_TRACE(sign);
        cImage image;
        ASSERT_TRUE(image.Create(3, sign * 4, 24));
        EXPECT_EQ(image.Width(), 3);
        EXPECT_EQ(image.Height(), sign * 4);
        EXPECT_EQ(image.BitCount(), 24);
        BITMAP info{};
        ASSERT_NE(GetObject(image.hDC()->bitmap(), sizeof(BITMAP), &info), 0);
        EXPECT_EQ(info.bmBits, image.DIBitsPtr());
        EXPECT_EQ(image.hDC()->bitmap()->header().biSizeImage, 12u * 4u);

        SetPixel(image.hDC(), 0, 0, RGB(10, 20, 30));
        const std::uint8_t* top = image.DIBitsPtr() + (sign > 0 ? 3 * 12 : 0);
        EXPECT_EQ(top[0], 30);
        EXPECT_EQ(top[1], 20);
        EXPECT_EQ(top[2], 10);
    }
}

// A second Create frees the first bitmap and context and starts afresh: new size, new depth,
// new zeroed pixels, the grey table again. (Leaks and dangling selections show in the
// sanitizer build.)
TEST(CImage, SecondCreateReplacesTheFirst)
{
    cImage image = patternImage(10, 10, 8);
    ASSERT_TRUE(image.Create(20, 5, 4));
    EXPECT_EQ(image.Width(), 20);
    EXPECT_EQ(image.Height(), 5);
    EXPECT_EQ(image.BitCount(), 4);
    EXPECT_EQ(image.hDC()->bitmap()->width(), 20);
    EXPECT_EQ(image.hDC()->bitmap()->bitCount(), 4);
    EXPECT_EQ(colorTableOf(image.hDC()), greyRamp(4));
    for (int i = 0; i < image.BytesPerScanLine() * 5; ++i)
        ASSERT_EQ(image.DIBitsPtr()[i], 0) << i;
}

TEST(CImage, MovingHandsTheBitmapOver)
{
    cImage first = patternImage(6, 4, 24);
    const HDC dc = first.hDC();
    cImage second(std::move(first));
    expectEmpty(first);
    EXPECT_EQ(second.hDC(), dc);
    expectPattern(second, 24, {});

    cImage third = patternImage(2, 2, 8);
    third = std::move(second);
    expectEmpty(second);
    EXPECT_EQ(third.hDC(), dc);
    EXPECT_EQ(third.Width(), 6);
}

// Automatic depth: the picture's own, 16 becoming 24 and 32 refused; the chosen depth is
// written back and an indexed picture's colour table comes along.
TEST(CImage, CopyStdPictureChoosesTheDepthAutomatically)
{
    const struct {
        int pictureBits;
        std::int16_t expected;
    } rows[] = {{1, 1}, {4, 4}, {8, 8}, {16, 24}, {24, 24}};
    for (const auto& row : rows) {
        for (const int sign : {1, -1}) {
            SCOPED_TRACE(std::to_string(row.pictureBits) + (sign < 0 ? " bits, top-down" : " bits"));
            const std::vector<RGBQUAD> palette = test::paletteFor(row.pictureBits);
            const Picture picture(test::patternBitmap(13, sign * 7, row.pictureBits, palette));
            cImage image;
            std::int16_t bits = 0;
            ASSERT_TRUE(image.CopyStdPicture(picture, bits));
            EXPECT_EQ(bits, row.expected);
            EXPECT_EQ(image.BitCount(), row.expected);
            EXPECT_EQ(image.Width(), 13);
            EXPECT_EQ(image.Height(), 7);
            EXPECT_EQ(colorTableOf(image.hDC()), palette);
            expectPattern(image, row.pictureBits, palette);
        }
    }

    const Picture deep(test::patternBitmap(5, 5, 32, {}));
    cImage image = patternImage(3, 3, 8);
    std::int16_t bits = 0;
    EXPECT_FALSE(image.CopyStdPicture(deep, bits));
    EXPECT_EQ(bits, 32);
    expectEmpty(image);

    // A handle that is no bitmap gives depth 0: refused.
    const Picture nothing(nullptr);
    bits = 0;
    EXPECT_FALSE(image.CopyStdPicture(nothing, bits));
    EXPECT_EQ(bits, 0);
    expectEmpty(image);

    // Without the argument the depth is automatic too.
    const Picture sixteen(test::patternBitmap(4, 4, 16, {}));
    ASSERT_TRUE(image.CopyStdPicture(sixteen));
    EXPECT_EQ(image.BitCount(), 24);
}

// A picture with fewer colours than its depth allows brings those; the rest of the table stays
// the grey ramp Create made.
TEST(CImage, CopyStdPictureCarriesAShortColourTable)
{
    const std::vector<RGBQUAD> palette = distinctPalette(3);
    const Picture picture(test::patternBitmap(9, 4, 4, palette));
    cImage image;
    ASSERT_TRUE(image.CopyStdPicture(picture));
    std::vector<RGBQUAD> expected = greyRamp(4);
    std::copy(palette.begin(), palette.end(), expected.begin());
    EXPECT_EQ(colorTableOf(image.hDC()), expected);
    expectPattern(image, 4, palette);
}

// A depth given explicitly: colours are matched to that depth's grey table, except when the
// picture already has the depth, where its indices come with the table they index.
TEST(CImage, CopyStdPictureAtAGivenDepth)
{
    const std::vector<RGBQUAD> palette = distinctPalette(256);
    const Picture indexed(test::patternBitmap(11, 6, 8, palette));

    cImage image;
    std::int16_t bits = 8;
    ASSERT_TRUE(image.CopyStdPicture(indexed, bits));
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(colorTableOf(image.hDC()), palette);
    expectPattern(image, 8, palette);

    bits = 24;
    ASSERT_TRUE(image.CopyStdPicture(indexed, bits));
    EXPECT_EQ(image.BitCount(), 24);
    expectPattern(image, 8, palette);

    // Down to 4 bits: the grey ramp is kept and every pixel is one of its greys.
    bits = 4;
    ASSERT_TRUE(image.CopyStdPicture(indexed, bits));
    EXPECT_EQ(colorTableOf(image.hDC()), greyRamp(4));

    // A 24-bit picture of greys at 8 bits keeps each grey exactly.
    auto greys = DIBSection::create(makeBitmapInfo(16, 16, 24));
    {
        const auto surface = MemorySurface::borrow(greys.get());
        for (int i = 0; i < 256; ++i)
            SetPixel(surface->hdc(), i % 16, i / 16, RGB(std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)));
    }
    const Picture greyPicture(std::move(greys));
    bits = 8;
    ASSERT_TRUE(image.CopyStdPicture(greyPicture, bits));
    EXPECT_EQ(colorTableOf(image.hDC()), greyRamp(8));
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(image.DIBitsPtr()[(15 - i / 16) * image.BytesPerScanLine() + i % 16], i);
}

// The picture's bitmap is borrowed: it is free to be selected elsewhere after the copy, and a
// bitmap that is selected elsewhere cannot be copied (that is no success).
TEST(CImage, CopyStdPictureBorrowsThePictureBitmap)
{
    const Picture picture(test::patternBitmap(5, 5, 24, {}));
    cImage image;
    ASSERT_TRUE(image.CopyStdPicture(picture));
    ASSERT_TRUE(image.CopyStdPicture(picture));

    {
        const auto elsewhere = MemorySurface::borrow(picture.Handle());
        ASSERT_TRUE(elsewhere);
        EXPECT_FALSE(image.CopyStdPicture(picture));
    }
    EXPECT_TRUE(image.CopyStdPicture(picture));
    expectPattern(image, 24, {});
}

// Automatic depth from the size of the source's colour table, the table carried with it.
TEST(CImage, CopyHDCChoosesTheDepthFromTheColourTable)
{
    const struct {
        int sourceBits;
        int colours;
        std::int16_t expected;
    } rows[] = {{1, 2, 1}, {4, 16, 4}, {4, 3, 4}, {8, 2, 1}, {8, 16, 4}, {8, 17, 8}, {8, 256, 8}, {16, 0, 24},
        {24, 0, 24}, {32, 0, 24}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.sourceBits) + " bits, " + std::to_string(row.colours) + " colours");
        const std::vector<RGBQUAD> palette = distinctPalette(row.colours);
        const test::Surface source = test::patternSurface(12, 9, row.sourceBits, palette);
        cImage image;
        ASSERT_TRUE(image.CopyHDC(source.hdc(), 12, 9));
        EXPECT_EQ(image.BitCount(), row.expected);
        std::vector<RGBQUAD> expectedTable = row.expected == 24 ? std::vector<RGBQUAD>{} : greyRamp(row.expected);
        std::copy(palette.begin(), palette.end(), expectedTable.begin());
        EXPECT_EQ(colorTableOf(image.hDC()), expectedTable);
        expectPattern(image, row.sourceBits, palette);
    }
}

TEST(CImage, CopyHDCTakesTheRectangleAtTheSourceOrigin)
{
    const test::Surface source = test::patternSurface(30, 20, 24, {});
    cImage image;
    ASSERT_TRUE(image.CopyHDC(source.hdc(), 9, 7, 0, 11, 5));
    EXPECT_EQ(image.Width(), 9);
    EXPECT_EQ(image.Height(), 7);
    expectPattern(image, 24, {}, 11, 5);

    // A depth given explicitly replaces the source's table with the grey ramp.
    const std::vector<RGBQUAD> palette = distinctPalette(256);
    const test::Surface indexed = test::patternSurface(8, 8, 8, palette);
    ASSERT_TRUE(image.CopyHDC(indexed.hdc(), 8, 8, 8));
    EXPECT_EQ(colorTableOf(image.hDC()), greyRamp(8));
}

// Copying a rectangle of the buffer's own context crops it; the old bitmap is the source and
// must live until the copy is done.
TEST(CImage, CopyHDCFromItsOwnContextCrops)
{
    cImage image = patternImage(20, 16, 8);
    ASSERT_TRUE(image.CopyHDC(image.hDC(), 10, 8, 0, 5, 3));
    EXPECT_EQ(image.Width(), 10);
    EXPECT_EQ(image.Height(), 8);
    EXPECT_EQ(image.BitCount(), 8);
    EXPECT_EQ(colorTableOf(image.hDC()), distinctPalette(256));
    expectPattern(image, 8, distinctPalette(256), 5, 3);
}

// A copy that moved nothing is not reported as done.
TEST(CImage, CopyHDCFromNothingFails)
{
    cImage image;
    EXPECT_FALSE(image.CopyHDC(nullptr, 4, 4));
    const auto screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_FALSE(image.CopyHDC(screen.get(), 4, 4));
    EXPECT_FALSE(image.CopyHDC(nullptr, 4, 4, 16));
    expectEmpty(image);
}

TEST(CImage, CopyPalletHDC)
{
    const struct {
        const char* what;
        int bufferBits;
        int sourceBits;
        bool copied;
        int entries;  // taken from the source
    } rows[] = {
        {"same depth", 8, 8, true, 256},
        {"smaller source table", 8, 4, true, 16},
        {"larger source table", 4, 8, true, 16},
        {"into a 1-bit buffer", 1, 8, true, 2},
        {"into a 24-bit buffer", 24, 8, false, 0},
        {"from a 24-bit source", 8, 24, false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<RGBQUAD> palette = test::paletteFor(row.sourceBits);
        const test::Surface source = test::patternSurface(4, 4, row.sourceBits, palette);
        cImage image;
        ASSERT_TRUE(image.Create(4, 4, std::int16_t(row.bufferBits)));
        EXPECT_EQ(image.CopyPalletHDC(source.hdc()), row.copied);
        std::vector<RGBQUAD> expected = row.bufferBits == 24 ? std::vector<RGBQUAD>{} : greyRamp(row.bufferBits);
        std::copy_n(palette.begin(), row.entries, expected.begin());
        EXPECT_EQ(colorTableOf(image.hDC()), expected);
    }
    cImage empty;
    EXPECT_FALSE(empty.CopyPalletHDC(test::patternSurface(4, 4, 8, distinctPalette(256)).hdc()));
}

// PaintHDC with every raster operation onto a 24-bit surface that already holds a colour:
// the painted rectangle is the function of both, everything outside is untouched.
TEST(CImage, PaintHDCWithRasterOperations)
{
    const COLORREF src = RGB(0x5A, 0xC3, 0x0F);
    const COLORREF dst = RGB(0x33, 0x66, 0xF0);
    const struct {
        const char* name;
        DWORD rop;
        COLORREF expected;
    } rows[] = {
        {"SRCCOPY", SRCCOPY, src},
        {"SRCPAINT", SRCPAINT, src | dst},
        {"SRCAND", SRCAND, src & dst},
        {"SRCINVERT", SRCINVERT, src ^ dst},
        {"NOTSRCCOPY", NOTSRCCOPY, ~src & 0xFFFFFF},
        {"BLACKNESS", BLACKNESS, 0},
        {"WHITENESS", WHITENESS, 0xFFFFFF},
    };
    cImage image;
    ASSERT_TRUE(image.Create(3, 2, 24));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            SetPixel(image.hDC(), x, y, src);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::Surface target = test::patternSurface(8, 6, 24, {});
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x)
                SetPixel(target.hdc(), x, y, dst);
        image.PaintHDC(target.hdc(), 4, 3, row.rop);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool inside = x >= 4 && x < 7 && y >= 3 && y < 5;
                EXPECT_EQ(target.at(x, y), inside ? row.expected : dst) << x << ", " << y;
            }
    }
}

// Without the optional arguments: at (0, 0), SRCCOPY. An empty buffer paints nothing.
TEST(CImage, PaintHDCDefaults)
{
    const cImage image = patternImage(5, 4, 24);
    test::Surface target = test::patternSurface(7, 7, 24, {});
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x)
            SetPixel(target.hdc(), x, y, RGB(1, 2, 3));
    const auto expectPaintedOnce = [&] {
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(target.at(x, y), x < 5 && y < 4 ? patternColor(x, y, 24, {}) : RGB(1, 2, 3))
                    << x << ", " << y;
    };
    image.PaintHDC(target.hdc());
    expectPaintedOnce();
    cImage().PaintHDC(target.hdc());
    expectPaintedOnce();
}

}  // namespace
}  // namespace tav
