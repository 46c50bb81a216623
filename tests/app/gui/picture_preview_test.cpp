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

// The preview shows what the startup logo will be: the same pixels as the logo surface.
TEST(LoadPreview, ShowsTheStartupLogosPixels)
{
    TempDir dir;
    const fs::path sample = fs::path(TAVRENIX_ASSETS) / "sample.jpg";
    const fs::path odd = test::writeBmp(dir, "odd.bmp", 333, 97, distinct);
    auto cutter = LogoCutter::create();
    ASSERT_NE(cutter, nullptr);
    for (const fs::path& path : {sample, odd}) {
        SCOPED_TRACE(path.filename().string());
        const QImage preview = loadPreview(path, QSize(256, 195));
        ASSERT_EQ(preview.size(), QSize(256, 195));
        cutter->CutStartupLogo(path);
        const QImage logo = toQImage(cutter->logoSurface().bitmap());
        EXPECT_EQ(preview, logo);
    }
}

TEST(LoadPreview, UnreadableFilesRaiseTheLoadersErrors)
{
    TempDir dir;
    std::ofstream(dir / "text.jpg") << "not a picture";
    struct Row {
        const char* name;
        int number;
    };
    for (const Row row : {Row {"missing.jpg", kErrFileNotFound}, Row {"text.jpg", kErrInvalidPicture}}) {
        SCOPED_TRACE(row.name);
        try {
            loadPreview(dir / row.name, QSize(256, 195));
            ADD_FAILURE() << "no error";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), row.number);
            EXPECT_NE(std::string(e.what()).find(row.name), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace tav
