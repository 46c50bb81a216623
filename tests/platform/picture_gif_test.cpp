// GIF reader: files written here with giflib's encoder; the first image composed on a
// transparent screen shown on the background, white or another (offset, clipping,
// transparency, interlace, local colours), later frames ignored; truncated and lying files
// refused.
#include "picture_test_support.h"

#include "platform/picture_decoders.h"

#include <gtest/gtest.h>

#include <gif_lib.h>

namespace tav::test {
namespace {

constexpr std::uint32_t kWhite = rgb(255, 255, 255);
constexpr std::uint32_t kTeal = rgb(0, 128, 128);

struct GifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlace = false;
    std::vector<GifColorType> localColors;  // empty: the global table
    int transparent = NO_TRANSPARENT_COLOR;
    bool plainTextAfterControl = false;  // a plain text block between the control block and the image
    std::vector<std::uint8_t> pixels;    // rows from the top
};

const std::vector<GifColorType> kGlobalColors = {{200, 0, 0}, {0, 150, 0}, {0, 0, 250}, {90, 30, 60}};
const std::vector<GifColorType> kLocalColors = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12},
    {13, 14, 15}, {16, 17, 18}, {19, 20, 21}, {22, 23, 24}};

int appendBytes(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using MapPtr = std::unique_ptr<ColorMapObject, MapDeleter>;

MapPtr makeMap(const std::vector<GifColorType>& colors)
{
    return MapPtr(colors.empty() ? nullptr : GifMakeMapObject(int(colors.size()), colors.data()));
}

Bytes writeGif(int screenWidth, int screenHeight, const std::vector<GifColorType>& globalColors,
    const std::vector<GifFrame>& frames)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    EXPECT_NE(gif, nullptr);
    EGifSetGifVersion(gif, true);
    const MapPtr global = makeMap(globalColors);
    EXPECT_EQ(EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, global.get()), GIF_OK);
    for (const GifFrame& frame : frames) {
        if (frame.transparent != NO_TRANSPARENT_COLOR) {
            GraphicsControlBlock control{};
            control.TransparentColor = frame.transparent;
            GifByteType extension[4];
            const std::size_t length = EGifGCBToExtension(&control, extension);
            EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension), GIF_OK);
        }
        if (frame.plainTextAfterControl) {
            const GifByteType text[12] = {0, 0, 0, 0, 8, 8, 8, 8, 1, 0, 'h', 'i'};
            EXPECT_EQ(EGifPutExtension(gif, PLAINTEXT_EXT_FUNC_CODE, 12, text), GIF_OK);
        }
        const MapPtr local = makeMap(frame.localColors);
        if (!local && gif->Image.ColorMap) {
            // giflib forgets the previous image's local table when the next image has none.
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        EXPECT_EQ(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlace, local.get()),
            GIF_OK);
        // Interlaced rows go out in the order of the four passes.
        std::vector<int> order;
        if (frame.interlace) {
            for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < frame.height; y += step)
                    order.push_back(y);
        } else {
            for (int y = 0; y < frame.height; ++y)
                order.push_back(y);
        }
        for (int y : order) {
            std::vector<GifPixelType> line(frame.pixels.begin() + std::ptrdiff_t(y * frame.width),
                frame.pixels.begin() + std::ptrdiff_t((y + 1) * frame.width));
            EXPECT_EQ(EGifPutLine(gif, line.data(), frame.width), GIF_OK);
        }
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    return out;
}

GifFrame patternFrame(int left, int top, int width, int height, int colors)
{
    GifFrame f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            f.pixels.push_back(std::uint8_t((x + 3 * y + x * y) % colors));
    return f;
}

std::uint32_t colourOf(const GifColorType& c) { return rgb(c.Red, c.Green, c.Blue); }

// The expected screen: the background, with the frame's opaque pixels drawn where they land.
std::vector<std::uint32_t> composed(int screenWidth, int screenHeight, const GifFrame& frame,
    const std::vector<GifColorType>& colors, int transparent, std::uint32_t background = kWhite)
{
    std::vector<std::uint32_t> screen(std::size_t(screenWidth * screenHeight), background);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const int sx = frame.left + x, sy = frame.top + y;
            const int index = frame.pixels[std::size_t(y * frame.width + x)];
            if (sx < screenWidth && sy < screenHeight && index != transparent)
                screen[std::size_t(sy * screenWidth + sx)] = colourOf(colors[std::size_t(index)]);
        }
    }
    return screen;
}

struct GifCase {
    const char* name;
    int screenWidth;
    int screenHeight;
    GifFrame frame;
    int transparentDrawn;  // the index that must show white, or -1
};

class GifVariant : public ::testing::TestWithParam<GifCase> {};

TEST_P(GifVariant, FirstImageComposedOnTheBackground)
{
    const GifCase& c = GetParam();
    // A second frame covering the whole screen must never show.
    GifFrame later = patternFrame(0, 0, c.screenWidth, c.screenHeight, 4);
    std::fill(later.pixels.begin(), later.pixels.end(), std::uint8_t(1));
    const Bytes gif = writeGif(c.screenWidth, c.screenHeight, kGlobalColors, {c.frame, later});

    const auto picture = loadBytes(gif, "variant.gif");
    const DIBSection& bmp = *picture->Handle();
    ASSERT_EQ(bmp.width(), c.screenWidth);
    ASSERT_EQ(bmp.height(), c.screenHeight);
    ASSERT_EQ(bmp.bitCount(), 24);
    const auto& colors = c.frame.localColors.empty() ? kGlobalColors : c.frame.localColors;
    const auto expected = composed(c.screenWidth, c.screenHeight, c.frame, colors, c.transparentDrawn);
    const auto actual = rawPixels(bmp);
    EXPECT_EQ(actual, expected) << firstDifference(actual, expected, c.screenWidth);

    PictureOptions onTeal;
    onTeal.background = RGB(0, 128, 128);
    const auto expectedOnTeal = composed(c.screenWidth, c.screenHeight, c.frame, colors, c.transparentDrawn, kTeal);
    const auto actualOnTeal = rawPixels(*loadBytes(gif, "variant.gif", onTeal)->Handle());
    EXPECT_EQ(actualOnTeal, expectedOnTeal) << firstDifference(actualOnTeal, expectedOnTeal, c.screenWidth);
}

GifCase withFrame(const char* name, int sw, int sh, GifFrame frame, int transparentDrawn)
{
    return GifCase{name, sw, sh, std::move(frame), transparentDrawn};
}

GifFrame transparentFrame(GifFrame f, int index)
{
    f.transparent = index;
    return f;
}
GifFrame interlacedFrame(GifFrame f)
{
    f.interlace = true;
    return f;
}
GifFrame localFrame(GifFrame f)
{
    f.localColors = kLocalColors;
    return f;
}
GifFrame plainTextFrame(GifFrame f)
{
    f.plainTextAfterControl = true;
    return f;
}

INSTANTIATE_TEST_SUITE_P(Gif, GifVariant,
    ::testing::Values(withFrame("full_screen", 11, 9, patternFrame(0, 0, 11, 9, 4), -1),
        withFrame("frame_smaller_than_screen", 11, 9, patternFrame(3, 2, 5, 4, 4), -1),
        withFrame("transparent_index", 11, 9, transparentFrame(patternFrame(3, 2, 5, 4, 4), 2), 2),
        withFrame("transparent_index_full_screen", 6, 5, transparentFrame(patternFrame(0, 0, 6, 5, 4), 0), 0),
        // 11 rows: every pass of the interlace has rows, the last pass one short.
        withFrame("interlaced", 7, 11, interlacedFrame(patternFrame(0, 0, 7, 11, 4)), -1),
        withFrame("interlaced_transparent_offset", 9, 14,
            interlacedFrame(transparentFrame(patternFrame(1, 2, 7, 11, 4), 3)), 3),
        withFrame("local_colour_table", 11, 9, localFrame(patternFrame(2, 1, 6, 7, 8)), -1),
        withFrame("frame_clipped_by_the_screen", 8, 6, patternFrame(5, 3, 6, 5, 4), -1),
        withFrame("frame_entirely_outside", 8, 6, patternFrame(9, 7, 3, 3, 4), -1),
        withFrame("control_block_spent_on_plain_text", 11, 9,
            plainTextFrame(transparentFrame(patternFrame(3, 2, 5, 4, 4), 2)), -1)),
    [](const ::testing::TestParamInfo<GifCase>& info) { return std::string(info.param.name); });

Bytes smallGif() { return writeGif(11, 9, kGlobalColors, {transparentFrame(patternFrame(3, 2, 5, 4, 4), 2)}); }

// Every prefix that cuts into the first image is refused. Only the trailer byte after the
// image may be missing: nothing after the first image is read.
TEST(GifTruncated, EveryPrefixCuttingTheImageIsRefused)
{
    for (const bool interlaced : {false, true}) {
        GifFrame frame = patternFrame(0, 0, 9, 10, 4);
        frame.interlace = interlaced;
        const Bytes gif = writeGif(9, 10, kGlobalColors, {frame});
        ASSERT_EQ(gif.back(), 0x3B);  // the trailer
        EXPECT_NO_THROW(decodeGif(std::span(gif.data(), gif.size() - 1)));
        for (std::size_t n = 0; n + 1 < gif.size(); ++n) {
            try {
                decodeGif(std::span(gif.data(), n));
                ADD_FAILURE() << "cut to " << n << " of " << gif.size() << " bytes was accepted";
            } catch (const RunTimeError& e) {
                EXPECT_EQ(e.number(), kErrInvalidPicture) << "cut to " << n;
            }
        }
    }
}

// Offset of the first image descriptor (after the header, the 12-byte global table and the
// 8-byte control extension of smallGif()).
std::size_t imageDescriptor(const Bytes& gif)
{
    std::size_t i = 13 + 3 * kGlobalColors.size();
    while (i < gif.size() && gif[i] == 0x21) {  // skip extensions: label, then sub-blocks
        i += 2;
        while (i < gif.size() && gif[i] != 0)
            i += std::size_t(gif[i]) + 1;
        ++i;
    }
    EXPECT_EQ(gif.at(i), 0x2C);
    return i;
}

TEST(GifBad, ImageClaimingMoreRowsThanItsDataIsRefused)
{
    Bytes gif = smallGif();
    const std::size_t d = imageDescriptor(gif);
    gif[d + 7] = 7;  // height 4 -> 7 (inside the 9-row screen)
    EXPECT_INVALID_PICTURE(gif, "GIF: ");
}

TEST(GifBad, ScreenOverTheLimitIsRefusedBeforeAllocating)
{
    Bytes gif = smallGif();
    gif[6] = gif[7] = gif[8] = gif[9] = 0xFF;  // 65535 x 65535: over the pixel limit
    EXPECT_INVALID_PICTURE(gif, "over the limit");
}

TEST(GifBad, ImageOverTheLimitIsRefusedBeforeDecoding)
{
    Bytes gif = smallGif();
    const std::size_t d = imageDescriptor(gif);
    gif[d + 5] = gif[d + 6] = gif[d + 7] = gif[d + 8] = 0xFF;  // 65535 x 65535 on an 11 x 9 screen
    EXPECT_INVALID_PICTURE(gif, "over the limit");
}

TEST(GifBad, EmptyScreenIsRefused)
{
    Bytes gif = smallGif();
    gif[6] = gif[7] = 0;
    EXPECT_INVALID_PICTURE(gif, "no pixels");
}

TEST(GifBad, FileWithoutImageIsRefused)
{
    EXPECT_INVALID_PICTURE(writeGif(4, 4, kGlobalColors, {}), "no image");
}

TEST(GifBad, ImageWithoutAnyColourTableIsRefused)
{
    // giflib will not write such a file: drop the global table from a good one.
    Bytes gif = smallGif();
    ASSERT_EQ(gif[10] & 0x87, 0x81);  // a global table of 4 entries
    gif[10] &= 0x7F;
    gif.erase(gif.begin() + 13, gif.begin() + 13 + 3 * 4);
    EXPECT_INVALID_PICTURE(gif, "no colour table");
}

TEST(GifBad, UnknownRecordIsRefused)
{
    Bytes gif = smallGif();
    gif[imageDescriptor(gif)] = 0x40;
    EXPECT_INVALID_PICTURE(gif, "GIF: ");
}

}  // namespace
}  // namespace tav::test
