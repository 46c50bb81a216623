// Orientation tags: read from Exif data, applied to the pixels for all eight values, and
// carried through the loader and the row reader from JPEG and PNG files.
#include "platform/orientation.h"

#include "jpeg_test_support.h"
#include "picture_look_support.h"
#include "platform/picture.h"
#include "platform/picture_reader.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

using test::Bytes;

TEST(ExifOrientation, ReadsTheTagInEitherByteOrderWithOrWithoutTheExifHeader)
{
    for (int value = 1; value <= 8; ++value) {
        for (bool bigEndian : {false, true}) {
            for (bool header : {false, true})
                EXPECT_EQ(exifOrientation(test::exifBlock(value, bigEndian, header)), value)
                    << value << (bigEndian ? " MM" : " II") << (header ? " with header" : "");
        }
    }
}

TEST(ExifOrientation, AnythingElseIsUpright)
{
    EXPECT_EQ(exifOrientation({}), 1);
    EXPECT_EQ(exifOrientation(test::exifBlock(0)), 1);  // no orientation entry
    EXPECT_EQ(exifOrientation(test::exifBlock(9)), 1);
    Bytes wrongType = test::exifBlock(6, false, false);
    wrongType[8 + 2 + 12 + 2] = 4;  // the orientation entry's type: LONG
    EXPECT_EQ(exifOrientation(wrongType), 1);
    Bytes notTiff = test::exifBlock(6, false, false);
    notTiff[2] = 43;
    EXPECT_EQ(exifOrientation(notTiff), 1);
    // Cut anywhere before the orientation's value is complete: never read past the end.
    const Bytes whole = test::exifBlock(6);
    for (std::size_t n = 0; n < whole.size() - 6; ++n)
        EXPECT_EQ(exifOrientation(std::span(whole.data(), n)), 1) << n;
    Bytes farOffset = test::exifBlock(6, false, false);
    farOffset[4] = 0xF0;  // the directory lies past the end
    EXPECT_EQ(exifOrientation(farOffset), 1);
}

// A picture whose every pixel is different: blue = x, green = y.
std::unique_ptr<DIBSection> numbered(int width, int height)
{
    auto bitmap = DIBSection::create(makeBitmapInfo(width, height, 24));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = bitmap->row(y) + 3 * x;
            p[0] = std::uint8_t(x);
            p[1] = std::uint8_t(y);
            p[2] = 200;
        }
    }
    return bitmap;
}

enum class Side { Top, Bottom, Left, Right };

TEST(OrientUpright, EachValuePutsTheStoredFirstRowAndColumnWhereExifSays)
{
    // Exif's table: the side the stored first row is shown along, and the side of the first column.
    const struct {
        int orientation;
        Side row;
        Side column;
    } table[] = {{1, Side::Top, Side::Left}, {2, Side::Top, Side::Right}, {3, Side::Bottom, Side::Right},
        {4, Side::Bottom, Side::Left}, {5, Side::Left, Side::Top}, {6, Side::Right, Side::Top},
        {7, Side::Right, Side::Bottom}, {8, Side::Left, Side::Bottom}};
    const int w = 5, h = 3;
    const auto stored = numbered(w, h);
    for (const auto& t : table) {
        const auto upright = orientUpright(*stored, t.orientation);
        ASSERT_TRUE(upright);
        const bool turned = t.row == Side::Left || t.row == Side::Right;
        ASSERT_EQ(upright->width(), turned ? h : w) << t.orientation;
        ASSERT_EQ(upright->height(), turned ? w : h) << t.orientation;
        for (int sy = 0; sy < h; ++sy) {
            for (int sx = 0; sx < w; ++sx) {
                // Row sy lies sy pixels in from its side, column sx lies sx in from its side.
                int ux, uy;
                if (turned) {
                    ux = t.row == Side::Left ? sy : upright->width() - 1 - sy;
                    uy = t.column == Side::Top ? sx : upright->height() - 1 - sx;
                } else {
                    uy = t.row == Side::Top ? sy : upright->height() - 1 - sy;
                    ux = t.column == Side::Left ? sx : upright->width() - 1 - sx;
                }
                const std::uint8_t* p = upright->row(uy) + 3 * ux;
                EXPECT_EQ(p[0], sx) << t.orientation << " stored " << sx << "," << sy;
                EXPECT_EQ(p[1], sy) << t.orientation << " stored " << sx << "," << sy;
            }
        }
    }
}

Bytes landscapeJpeg(int width, int height)
{
    return test::encodeJpeg(test::JpegSpec{"landscape", 3, JCS_YCbCr, 2, 2, false, false, true, 0, width, height});
}

TEST(OrientedFiles, JpegAndPngAreLoadedUprightUnlessTheOrientationIsKept)
{
    test::ScratchDir dir;
    const Bytes jpeg = landscapeJpeg(40, 24);
    test::writeFile(dir / "plain.jpg", jpeg);
    const auto stored = LoadPicture(dir / "plain.jpg");
    Bytes samples;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            samples.insert(samples.end(), {std::uint8_t(20 * x), std::uint8_t(40 * y), 77});
    const Bytes png = test::pngOf(10, 6, 3, samples);
    test::writeFile(dir / "plain.png", png);
    const auto storedPng = LoadPicture(dir / "plain.png");

    PictureOptions keep;
    keep.applyOrientation = false;
    for (int value = 1; value <= 8; ++value) {
        const std::string name = "o" + std::to_string(value);
        // An XMP block in an APP1 marker before the Exif one, as photo editors write them.
        const Bytes xmp = {'h', 't', 't', 'p', ':', '/', '/', 'n', 's', '.', 'a', 'd', 'o', 'b', 'e', 0, 'I', 'I',
            42, 0};
        test::writeFile(dir / (name + ".jpg"),
            test::withJpegSegment(test::withJpegSegment(jpeg, 0xE1, test::exifBlock(value)), 0xE1, xmp));
        test::writeFile(dir / (name + ".png"), test::withPngChunk(png, "eXIf", test::exifBlock(value, true, false)));
        const auto expected = orientUpright(*stored->Handle(), value);
        EXPECT_EQ(test::rawPixels(*LoadPicture(dir / (name + ".jpg"))->Handle()), test::rawPixels(*expected)) << value;
        EXPECT_EQ(test::rawPixels(*LoadPicture(dir / (name + ".jpg"), keep)->Handle()),
            test::rawPixels(*stored->Handle()))
            << value;
        EXPECT_EQ(test::rawPixels(*LoadPicture(dir / (name + ".png"))->Handle()),
            test::rawPixels(*orientUpright(*storedPng->Handle(), value)))
            << value;
        EXPECT_EQ(test::rawPixels(*LoadPicture(dir / (name + ".png"), keep)->Handle()),
            test::rawPixels(*storedPng->Handle()))
            << value;
    }
}

// Every row a reader hands out, packed.
Bytes readerRows(PictureReader& reader)
{
    Bytes rows;
    for (int y = 0; y < reader.height(); ++y)
        rows.insert(rows.end(), reader.row(y), reader.row(y) + 3 * reader.width());
    return rows;
}

TEST(OrientedFiles, TheRowReaderScalesAJpegForItsUprightSizeThenTurnsIt)
{
    test::ScratchDir dir;
    // Stored 64 x 32, shown 32 x 64. For an upright target of 8 x 16 the stored picture is
    // compared with 16 x 8: halved, it still keeps twice that on both axes.
    const Bytes jpeg = landscapeJpeg(64, 32);
    test::writeFile(dir / "o6.jpg", test::withJpegSegment(jpeg, 0xE1, test::exifBlock(6)));
    const auto reader = PictureReader::open(dir / "o6.jpg", 8, 16, JpegScaling::Reduced);
    EXPECT_EQ(reader->denominator(), 2);
    ASSERT_EQ(reader->width(), 16);
    ASSERT_EQ(reader->height(), 32);

    test::writeFile(dir / "plain.jpg", jpeg);
    const auto plain = PictureReader::open(dir / "plain.jpg", 16, 8, JpegScaling::Reduced);
    ASSERT_EQ(plain->denominator(), 2);
    const Bytes storedRows = readerRows(*plain);
    auto stored = DIBSection::create(makeBitmapInfo(plain->width(), plain->height(), 24));
    for (int y = 0; y < stored->height(); ++y)
        std::memcpy(stored->row(y), &storedRows[std::size_t(y) * 3 * std::size_t(plain->width())],
            3 * std::size_t(plain->width()));
    EXPECT_EQ(readerRows(*reader), test::bgrRows(*orientUpright(*stored, 6)));

    PictureOptions keep;
    keep.applyOrientation = false;
    const auto kept = PictureReader::open(dir / "o6.jpg", 16, 8, JpegScaling::Reduced, keep);
    EXPECT_EQ(kept->width(), 32);
    EXPECT_EQ(readerRows(*kept), storedRows);
}

}  // namespace
}  // namespace tav
