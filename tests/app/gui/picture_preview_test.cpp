// The preview: a 24-bit bitmap seen as a QImage (row order, channel order), and a picture file
// scaled exactly as the startup logo is scaled.
#include "../app_test_support.h"
#include "app/gui/picture_preview.h"
#include "app/logo_cutter.h"
#include "platform/run_time_error.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

COLORREF distinct(int x, int y) { return RGB(10 + 40 * x, 20 + 70 * y, 200 - 30 * x - 50 * y); }

TEST(ToQImage, KeepsEveryPixelWhereItIsInBothRowOrders)
{
    for (const int height : {3, -3}) {
        SCOPED_TRACE(height > 0 ? "bottom-up" : "top-down");
        auto bitmap = DIBSection::create(makeBitmapInfo(5, height, 24));
        ASSERT_NE(bitmap, nullptr);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                std::uint8_t* p = bitmap->row(y) + 3 * x;
                const COLORREF c = distinct(x, y);
                p[0] = GetBValue(c);
                p[1] = GetGValue(c);
                p[2] = GetRValue(c);
            }
        const QImage image = toQImage(*bitmap);
        ASSERT_EQ(image.size(), QSize(5, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const COLORREF c = distinct(x, y);
                EXPECT_EQ(image.pixel(x, y), qRgb(GetRValue(c), GetGValue(c), GetBValue(c))) << x << "," << y;
            }
    }
}

TEST(ToQImage, RefusesOtherDepths)
{
    for (const int bits : {1, 4, 8, 16, 32}) {
        auto bitmap = DIBSection::create(makeBitmapInfo(4, 4, bits));
        ASSERT_NE(bitmap, nullptr) << bits;
        EXPECT_TRUE(toQImage(*bitmap).isNull()) << bits;
    }
}

// The preview is the startup logo of the picture: flat areas stay exactly flat, and a picture
// of any shape fills all of it.
TEST(PreviewOf, IsThePictureSqueezedToTheLogo)
{
    TempDir dir;
    auto cutter = std::make_unique<LogoCutter>();
    const auto halves = [](int x, int) { return x < 50 ? RGB(255, 0, 0) : RGB(0, 0, 255); };
    for (const auto& [width, height] : {std::pair {100, 20}, std::pair {100, 900}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const fs::path path = test::writeBmp(dir, "halves.bmp", width, height, halves);
        const QImage preview = previewOf(*cutter, path);
        ASSERT_EQ(preview.size(), QSize(256, 195));
        for (const int y : {0, 97, 194}) {
            EXPECT_EQ(preview.pixel(0, y), qRgb(255, 0, 0));
            EXPECT_EQ(preview.pixel(126, y), qRgb(255, 0, 0));
            EXPECT_EQ(preview.pixel(129, y), qRgb(0, 0, 255));
            EXPECT_EQ(preview.pixel(255, y), qRgb(0, 0, 255));
        }
    }
    const QImage sample = previewOf(*cutter, fs::path(TAVRENIX_ASSETS) / "sample.jpg");
    EXPECT_EQ(sample.size(), QSize(256, 195));
}

TEST(PreviewOf, UnreadableFilesRaiseErrorsNamingThem)
{
    TempDir dir;
    std::ofstream(dir / "text.jpg") << "not a picture";
    auto cutter = std::make_unique<LogoCutter>();
    for (const char* name : {"missing.jpg", "text.jpg"}) {
        SCOPED_TRACE(name);
        try {
            previewOf(*cutter, dir / name);
            ADD_FAILURE() << "no error";
        } catch (const RunTimeError& e) {
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
            if (std::string(name) == "missing.jpg") {
                EXPECT_EQ(e.number(), kErrFileNotFound);
            }
        }
    }
}

}  // namespace
}  // namespace tav
