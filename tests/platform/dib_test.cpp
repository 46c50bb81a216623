#include "tests/support/surface.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tav {
namespace {

TEST(DibStride, RowsArePaddedToWholeWords)
{
    struct Row {
        int width, bits, stride;
    };
    const Row rows[] = {
        {1, 1, 4}, {32, 1, 4}, {33, 1, 8}, {8, 4, 4}, {9, 4, 8}, {1, 8, 4}, {4, 8, 4}, {5, 8, 8}, {1, 16, 4},
        {2, 16, 4}, {3, 16, 8}, {1, 24, 4}, {2, 24, 8}, {3, 24, 12}, {4, 24, 12}, {5, 24, 16}, {3, 32, 12},
    };
    for (const Row& r : rows)
        EXPECT_EQ(DibStride(r.width, r.bits), r.stride) << r.width << " px at " << r.bits << " bits";
    EXPECT_EQ(DibStride(std::int64_t(1) << 40, 24), -1);
}

TEST(DIBSectionTest, BottomUpMemoryStartsWithTheBottomRow)
{
    auto up = DIBSection::create(makeBitmapInfo(3, 4, 24));
    auto down = DIBSection::create(makeBitmapInfo(3, -4, 24));
    ASSERT_TRUE(up && down);
    EXPECT_EQ(up->row(3), up->bits());
    EXPECT_EQ(up->row(0), up->bits() + 3 * up->stride());
    EXPECT_EQ(down->row(0), down->bits());
    EXPECT_EQ(down->height(), 4);
    EXPECT_TRUE(down->topDown());
    EXPECT_EQ(up->header().biSizeImage, 48u);
    EXPECT_EQ(down->header().biHeight, -4);
}

TEST(DIBSectionTest, UnusableHeadersAreRefused)
{
    void* bits = reinterpret_cast<void*>(1);
    BITMAPINFO bad[] = {makeBitmapInfo(0, 4, 24), makeBitmapInfo(4, 0, 24), makeBitmapInfo(-4, 4, 24),
        makeBitmapInfo(4, 4, 2), makeBitmapInfo(4, 4, 0), makeBitmapInfo(70000, 70000, 32)};
    for (BITMAPINFO& bmi : bad) {
        EXPECT_EQ(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    BITMAPINFO rle = makeBitmapInfo(4, 4, 8);
    rle.bmiHeader.biCompression = BI_RLE8;
    EXPECT_EQ(CreateDIBSection(nullptr, &rle, DIB_RGB_COLORS, &bits), nullptr);
}

TEST(DIBSectionTest, NewPixelsAreZeroAndThePointerIsHandedOut)
{
    BITMAPINFO bmi = makeBitmapInfo(5, 3, 24);
    void* bits = nullptr;
    auto dib = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits);
    ASSERT_TRUE(dib);
    EXPECT_EQ(bits, dib->bits());
    for (std::size_t i = 0; i < dib->sizeImage(); ++i)
        ASSERT_EQ(dib->bits()[i], 0);
    BITMAP info{};
    EXPECT_EQ(GetObject(dib.get(), sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 5);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_EQ(info.bmBitsPixel, 24);
    EXPECT_EQ(info.bmWidthBytes, 16);
    EXPECT_EQ(GetObject(nullptr, sizeof info, &info), 0);
}

// Pixels of every size are zeroed, writable to the last byte, and each bitmap's own.
TEST(DIBSectionTest, PixelsOfEverySizeAreZeroedAndWritableToTheEnd)
{
    // 24-bit rows of 4100 bytes, from one row to some megabytes.
    for (const int rows : {1, 1023, 1024, 1025, 1536 + 1}) {
        SCOPED_TRACE(rows);
        auto a = DIBSection::create(makeBitmapInfo(4096 / 3 + 1, rows, 24));
        auto b = DIBSection::create(makeBitmapInfo(4096 / 3 + 1, rows, 24));
        ASSERT_TRUE(a && b);
        ASSERT_EQ(a->stride(), 4100);
        const std::size_t n = a->sizeImage();
        EXPECT_TRUE(std::all_of(a->bits(), a->bits() + n, [](std::uint8_t v) { return v == 0; }));
        std::fill(a->bits(), a->bits() + n, std::uint8_t(0xA5));
        EXPECT_EQ(a->bits()[n - 1], 0xA5);
        EXPECT_EQ(b->bits()[0], 0);
        EXPECT_EQ(b->bits()[n - 1], 0);
    }
}

TEST(ColorTable, CountsFollowTheDepthOrTheShortTable)
{
    auto full = test::makeSurface(4, 4, 4);
    auto shortTable = test::makeSurface(4, 4, 8, test::greyRamp(16));
    auto trueColour = test::makeSurface(4, 4, 24);
    RGBQUAD table[256];
    EXPECT_EQ(GetDIBColorTable(full.hdc(), 0, 256, table), 16u);
    EXPECT_EQ(GetDIBColorTable(shortTable.hdc(), 0, 256, table), 16u);
    EXPECT_EQ(table[15], (RGBQUAD{255, 255, 255, 0}));
    EXPECT_EQ(GetDIBColorTable(shortTable.hdc(), 10, 256, table), 6u);
    EXPECT_EQ(GetDIBColorTable(trueColour.hdc(), 0, 256, table), 0u);

    const RGBQUAD red{0, 0, 255, 0};
    EXPECT_EQ(SetDIBColorTable(full.hdc(), 15, 4, &red), 1u);
    EXPECT_EQ(full.bmp->colorTable()[15], red);
    EXPECT_EQ(SetDIBColorTable(trueColour.hdc(), 0, 1, &red), 0u);
}

TEST(DeviceContextTest, SelectingHandsBackThePreviousBitmap)
{
    auto dc = CreateCompatibleDC(nullptr);
    auto a = DIBSection::create(makeBitmapInfo(2, 2, 24));
    auto b = DIBSection::create(makeBitmapInfo(2, 2, 8));
    EXPECT_EQ(dc->bitmap(), stockBitmap());
    EXPECT_EQ(SelectObject(dc.get(), a.get()), stockBitmap());
    EXPECT_EQ(SelectObject(dc.get(), b.get()), a.get());

    // One bitmap, one context at a time; the screen holds none.
    auto other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other.get(), b.get()), nullptr);
    auto screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_TRUE(screen);
    EXPECT_EQ(SelectObject(screen.get(), a.get()), nullptr);
    EXPECT_EQ(CreateDCA("PRINTER", nullptr, nullptr, nullptr), nullptr);
    EXPECT_TRUE(GetDC(GetDesktopWindow()));

    // A bitmap that ends while selected leaves the stock bitmap behind, never a dangling one.
    b.reset();
    EXPECT_EQ(dc->bitmap(), stockBitmap());
}

TEST(DeviceContextTest, StretchModeReturnsThePreviousMode)
{
    auto dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetStretchBltMode(dc.get(), HALFTONE), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(dc.get(), COLORONCOLOR), HALFTONE);
    EXPECT_EQ(SetStretchBltMode(dc.get(), 99), 0);
    EXPECT_EQ(GetStretchBltMode(dc.get()), COLORONCOLOR);
    EXPECT_EQ(SetStretchBltMode(nullptr, HALFTONE), 0);
}

}  // namespace
}  // namespace tav
