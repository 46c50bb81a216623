// The drawing surface: what its context holds while it lives, and what it leaves behind.
#include "platform/memory_surface.h"

#include "platform/transfer.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

TEST(MemorySurfaceTest, AMadeSurfaceDrawsOnItsOwnZeroedBitmap)
{
    BITMAPINFO info = makeBitmapInfo(5, 3, 8);
    info.bmiColors[7] = RGBQUAD{10, 20, 30, 0};
    info.bmiHeader.biClrUsed = 8;
    const auto surface = MemorySurface::create(info);
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface->hdc()->bitmap(), &surface->bitmap());
    EXPECT_EQ(surface->width(), 5);
    EXPECT_EQ(surface->height(), 3);
    EXPECT_EQ(surface->bitmap().colorTable()[7], info.bmiColors[7]);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(surface->bitmap().row(y)[x], 0);

    EXPECT_FALSE(MemorySurface::create(0, 3, 24));
    EXPECT_FALSE(MemorySurface::create(3, 3, 2));
}

TEST(MemorySurfaceTest, ABorrowedBitmapIsHeldOnlyWhileTheSurfaceLives)
{
    const auto bitmap = DIBSection::create(makeBitmapInfo(4, 4, 24));
    {
        const auto borrowed = MemorySurface::borrow(bitmap.get());
        ASSERT_TRUE(borrowed);
        EXPECT_EQ(&borrowed->bitmap(), bitmap.get());
        SetPixel(borrowed->hdc(), 1, 2, RGB(9, 8, 7));
        // One bitmap, one context at a time.
        EXPECT_FALSE(MemorySurface::borrow(bitmap.get()));
    }
    // Handed back whole, and free to be lent again.
    const auto again = MemorySurface::borrow(bitmap.get());
    ASSERT_TRUE(again);
    EXPECT_EQ(GetPixel(again->hdc(), 1, 2), RGB(9, 8, 7));
    EXPECT_FALSE(MemorySurface::borrow(nullptr));
}

}  // namespace
}  // namespace tav
