// TIFF reader: files written here with libtiff from known samples (strips and tiles,
// interleaved and planar, 1 to 16 bits, grey, palette, RGB, CMYK, with and without alpha,
// several codecs) read back to the expected colours; the orientation reported and the stored
// rows kept; colour profiles applied; cut, damaged and oversized files refused.
#include "picture_look_support.h"
#include "picture_test_support.h"

#include "platform/colour_profile.h"
#include "platform/picture_decoders.h"

#include <gtest/gtest.h>

#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tav::test {
namespace {

enum class Alpha { None, Straight, Premultiplied };

struct TiffCase {
    const char* name;
    std::uint16_t photometric;
    std::uint16_t bits;
    Alpha alpha = Alpha::None;
    bool tiled = false;
    bool planar = false;
    std::uint16_t compression = COMPRESSION_NONE;
    COLORREF background = RGB(255, 255, 255);
    int width = 37;  // odd, and not a whole number of 16-pixel tiles or 4-row strips
    int height = 21;
};

struct TiffImage {
    TiffCase spec;
    int colours = 0;  // samples of a pixel without the alpha
    int samples = 0;
    std::vector<std::uint16_t> values;  // pixel after pixel, row after row, samples interleaved
    std::vector<std::uint16_t> palette[3];
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    std::vector<std::uint8_t> profile;
};

int coloursOf(std::uint16_t photometric)
{
    switch (photometric) {
    case PHOTOMETRIC_RGB: return 3;
    case PHOTOMETRIC_SEPARATED: return 4;
    default: return 1;
    }
}

// Opacities that cover the ends and the rounding: 0, 255, one step from each, a half, another.
constexpr std::uint8_t kAlphas[] = {255, 0, 128, 51, 1, 254, 77};

// An 8-bit level for each sample, widened to the depth (16 bits: the level twice, so that
// every 16-to-8-bit rule libtiff has gives the level back); colours premultiplied when asked.
TiffImage makeImage(const TiffCase& spec)
{
    TiffImage img;
    img.spec = spec;
    img.colours = coloursOf(spec.photometric);
    img.samples = img.colours + (spec.alpha == Alpha::None ? 0 : 1);
    const unsigned maxValue = (1u << spec.bits) - 1;
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            const unsigned alpha = kAlphas[(x + 3 * y) % 7];
            for (int s = 0; s < img.samples; ++s) {
                unsigned level = ((unsigned(x * 37 + y * 101 + s * 59 + x * y * 7) * 2654435761u) >> 24) & 0xFF;
                if (s == img.colours)
                    level = alpha;
                else if (spec.alpha == Alpha::Premultiplied)
                    level = (level * alpha + 127) / 255;
                const unsigned value = spec.bits == 16 ? level * 257 : level >> (8 - std::min<int>(spec.bits, 8));
                const bool index = spec.photometric == PHOTOMETRIC_PALETTE;
                img.values.push_back(std::uint16_t(index ? value % (maxValue + 1) : value));
            }
        }
    }
    if (spec.photometric == PHOTOMETRIC_PALETTE) {
        for (unsigned i = 0; i <= maxValue; ++i) {
            img.palette[0].push_back(std::uint16_t(((i * 73 + 10) % 256) * 257));
            img.palette[1].push_back(std::uint16_t(((i * 151 + 200) % 256) * 257));
            img.palette[2].push_back(std::uint16_t(((i * 29 + 90) % 256) * 257));
        }
    }
    return img;
}

// Samples [x, x + count) of row y packed as libtiff takes them: every sample of a pixel, or
// only sample `plane` when planar; sub-byte samples from the most significant bit; pixels
// outside the picture (a tile's edge) are zero.
void packRun(const TiffImage& img, int y, int x, int count, int plane, Bytes& out)
{
    const int bits = img.spec.bits;
    std::uint32_t acc = 0;
    int pending = 0;
    const auto emit = [&](unsigned value) {
        if (bits == 16) {
            const std::uint16_t v = std::uint16_t(value);
            const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
            out.insert(out.end(), p, p + 2);  // the machine's order: libtiff swaps as the file needs
            return;
        }
        acc = (acc << bits) | value;
        pending += bits;
        if (pending == 8) {
            out.push_back(std::uint8_t(acc));
            acc = 0;
            pending = 0;
        }
    };
    for (int i = x; i < x + count; ++i) {
        for (int s = 0; s < img.samples; ++s) {
            if (plane >= 0 && s != plane)
                continue;
            const bool inside = i < img.spec.width && y < img.spec.height;
            emit(inside ? img.values[std::size_t((y * img.spec.width + i) * img.samples + s)] : 0);
        }
    }
    if (pending)
        out.push_back(std::uint8_t(acc << (8 - pending)));
}

constexpr int kTileSide = 16;
constexpr int kRowsPerStrip = 4;

// The file, written by libtiff; `mode` "w" (classic, little-endian here), "wb" (big-endian) or
// "w8" (BigTIFF).
Bytes writeTiff(const TiffImage& img, const char* mode = "w")
{
    const TiffCase& c = img.spec;
    ScratchDir dir;
    const auto path = dir / "picture.tif";
    TIFF* tif = TIFFOpen(path.string().c_str(), mode);
    EXPECT_NE(tif, nullptr);
    if (!tif)
        return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(c.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(c.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, c.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(img.samples));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, c.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, c.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, c.compression);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, img.orientation);
    if (c.alpha != Alpha::None) {
        const std::uint16_t kind = c.alpha == Alpha::Straight ? EXTRASAMPLE_UNASSALPHA : EXTRASAMPLE_ASSOCALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, std::uint16_t(1), &kind);
    }
    if (c.photometric == PHOTOMETRIC_PALETTE)
        TIFFSetField(tif, TIFFTAG_COLORMAP, img.palette[0].data(), img.palette[1].data(), img.palette[2].data());
    if (!img.profile.empty())
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, std::uint32_t(img.profile.size()), img.profile.data());
    const int planes = c.planar ? img.samples : 1;
    bool ok = true;
    if (c.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, std::uint32_t(kTileSide));
        TIFFSetField(tif, TIFFTAG_TILELENGTH, std::uint32_t(kTileSide));
        for (int p = 0; p < planes; ++p)
            for (int y = 0; y < c.height; y += kTileSide)
                for (int x = 0; x < c.width; x += kTileSide) {
                    Bytes tile;
                    for (int r = 0; r < kTileSide; ++r)
                        packRun(img, y + r, x, kTileSide, c.planar ? p : -1, tile);
                    const auto plane = std::uint16_t(p);
                    ok = ok && TIFFWriteTile(tif, tile.data(), std::uint32_t(x), std::uint32_t(y), 0, plane) > 0;
                }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, std::uint32_t(kRowsPerStrip));
        for (int p = 0; p < planes; ++p)
            for (int y = 0; y < c.height; ++y) {
                Bytes row;
                packRun(img, y, 0, c.width, c.planar ? p : -1, row);
                ok = ok && TIFFWriteScanline(tif, row.data(), std::uint32_t(y), std::uint16_t(p)) == 1;
            }
    }
    TIFFClose(tif);
    EXPECT_TRUE(ok) << c.name;
    return readFile(path);
}

unsigned level(const TiffImage& img, int x, int y, int s)
{
    const unsigned v = img.values[std::size_t((y * img.spec.width + x) * img.samples + s)];
    return img.spec.bits == 16 ? v >> 8 : v * 255 / ((1u << img.spec.bits) - 1);
}

// The rule of transparency.h for straight colours, and its form for premultiplied ones.
unsigned straight(unsigned c, unsigned a, unsigned bg) { return (c * a + bg * (255 - a) + 127) / 255; }
unsigned premultiplied(unsigned c, unsigned a, unsigned bg) { return std::min(255u, c + (bg * (255 - a) + 127) / 255); }

std::uint32_t naiveCmyk(unsigned c, unsigned m, unsigned y, unsigned k)
{
    return rgb(int(((255 - c) * (255 - k) + 127) / 255), int(((255 - m) * (255 - k) + 127) / 255),
        int(((255 - y) * (255 - k) + 127) / 255));
}

// The colours before transparency, 0xRRGGBB.
std::uint32_t colourOf(const TiffImage& img, int x, int y)
{
    switch (img.spec.photometric) {
    case PHOTOMETRIC_MINISBLACK: {
        const int v = int(level(img, x, y, 0));
        return rgb(v, v, v);
    }
    case PHOTOMETRIC_MINISWHITE: {
        const int v = 255 - int(level(img, x, y, 0));
        return rgb(v, v, v);
    }
    case PHOTOMETRIC_PALETTE: {
        const std::size_t i = img.values[std::size_t((y * img.spec.width + x) * img.samples)];
        return rgb(img.palette[0][i] >> 8, img.palette[1][i] >> 8, img.palette[2][i] >> 8);
    }
    case PHOTOMETRIC_SEPARATED:
        return naiveCmyk(level(img, x, y, 0), level(img, x, y, 1), level(img, x, y, 2), level(img, x, y, 3));
    default: return rgb(int(level(img, x, y, 0)), int(level(img, x, y, 1)), int(level(img, x, y, 2)));
    }
}

std::uint32_t composedOf(const TiffImage& img, int x, int y, std::uint32_t colour)
{
    if (img.spec.alpha == Alpha::None)
        return colour;
    const unsigned a = level(img, x, y, img.colours);
    const COLORREF bg = img.spec.background;
    const auto rule = img.spec.alpha == Alpha::Straight ? straight : premultiplied;
    return rgb(int(rule(colour >> 16, a, GetRValue(bg))), int(rule((colour >> 8) & 0xFF, a, GetGValue(bg))),
        int(rule(colour & 0xFF, a, GetBValue(bg))));
}

std::vector<std::uint32_t> expectedColours(const TiffImage& img)
{
    std::vector<std::uint32_t> out;
    for (int y = 0; y < img.spec.height; ++y)
        for (int x = 0; x < img.spec.width; ++x)
            out.push_back(composedOf(img, x, y, colourOf(img, x, y)));
    return out;
}

DecodedPicture decode(const Bytes& file, COLORREF background = RGB(255, 255, 255))
{
    return decodeTiff(file, PictureOptions{true, background});
}

class TiffVariant : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffVariant, DecodesToTheExpectedColours)
{
    const TiffImage img = makeImage(GetParam());
    const DecodedPicture picture = decode(writeTiff(img), img.spec.background);
    ASSERT_TRUE(picture.bitmap);
    const DIBSection& bmp = *picture.bitmap;
    ASSERT_EQ(bmp.width(), img.spec.width);
    ASSERT_EQ(bmp.height(), img.spec.height);
    ASSERT_EQ(bmp.bitCount(), 24);
    EXPECT_EQ(picture.orientation, 1);
    EXPECT_TRUE(picture.warnings.empty());
    const auto expected = expectedColours(img);
    const auto actual = rawPixels(bmp);
    EXPECT_EQ(actual, expected) << firstDifference(actual, expected, img.spec.width);
}

constexpr COLORREF kOlive = RGB(128, 120, 7);
constexpr COLORREF kWhite = RGB(255, 255, 255);
// Short names for the table below.
constexpr std::uint16_t kGrey = PHOTOMETRIC_MINISBLACK, kWhiteGrey = PHOTOMETRIC_MINISWHITE, kRgb = PHOTOMETRIC_RGB,
                        kPalette = PHOTOMETRIC_PALETTE, kCmyk = PHOTOMETRIC_SEPARATED;
constexpr std::uint16_t kNone = COMPRESSION_NONE, kLzw = COMPRESSION_LZW, kPackBits = COMPRESSION_PACKBITS,
                        kDeflate = COMPRESSION_ADOBE_DEFLATE;

INSTANTIATE_TEST_SUITE_P(Tiff, TiffVariant,
    ::testing::Values(
        // clang-format off
        TiffCase{"grey_1bit", kGrey, 1},
        TiffCase{"grey_2bit_min_is_white", kWhiteGrey, 2},
        TiffCase{"grey_4bit_tiled", kGrey, 4, Alpha::None, true},
        TiffCase{"grey_8bit_packbits", kGrey, 8, Alpha::None, false, false, kPackBits},
        TiffCase{"grey_8bit_min_is_white_tiled", kWhiteGrey, 8, Alpha::None, true},
        TiffCase{"grey_16bit", kGrey, 16},
        TiffCase{"grey_alpha_8bit_on_olive", kGrey, 8, Alpha::Straight, false, false, kNone, kOlive},
        TiffCase{"palette_1bit", kPalette, 1},
        TiffCase{"palette_4bit", kPalette, 4},
        TiffCase{"palette_8bit_tiled_lzw", kPalette, 8, Alpha::None, true, false, kLzw},
        TiffCase{"rgb_8bit", kRgb, 8},
        TiffCase{"rgb_8bit_planar", kRgb, 8, Alpha::None, false, true},
        TiffCase{"rgb_8bit_tiled_deflate", kRgb, 8, Alpha::None, true, false, kDeflate},
        TiffCase{"rgb_8bit_lzw", kRgb, 8, Alpha::None, false, false, kLzw},
        TiffCase{"rgb_16bit", kRgb, 16},
        TiffCase{"rgb_16bit_tiled_planar", kRgb, 16, Alpha::None, true, true},
        TiffCase{"rgba_8bit_unassociated_on_white", kRgb, 8, Alpha::Straight},
        TiffCase{"rgba_8bit_unassociated_on_olive", kRgb, 8, Alpha::Straight, false, false, kNone, kOlive},
        TiffCase{"rgba_8bit_unassociated_planar", kRgb, 8, Alpha::Straight, false, true, kNone, kOlive},
        TiffCase{"rgba_8bit_associated_on_white", kRgb, 8, Alpha::Premultiplied},
        TiffCase{"rgba_8bit_associated_tiled_on_olive", kRgb, 8, Alpha::Premultiplied, true, false, kNone, kOlive},
        TiffCase{"rgba_16bit_unassociated_on_olive", kRgb, 16, Alpha::Straight, false, false, kNone, kOlive},
        TiffCase{"cmyk_8bit", kCmyk, 8},
        TiffCase{"cmyk_8bit_tiled_deflate", kCmyk, 8, Alpha::None, true, false, kDeflate},
        TiffCase{"cmyk_alpha_8bit_on_olive", kCmyk, 8, Alpha::Straight, false, false, kNone, kOlive},
        TiffCase{"rgb_one_pixel_tiled", kRgb, 8, Alpha::None, true, false, kNone, kWhite, 1, 1}
        // clang-format on
        ),
    [](const ::testing::TestParamInfo<TiffCase>& info) { return std::string(info.param.name); });

// Both rules worked by hand on (10, 20, 30).
TEST(TiffAlpha, ComposedByHand)
{
    TiffImage img = makeImage(TiffCase{"hand", PHOTOMETRIC_RGB, 8, Alpha::Premultiplied, false, false,
        COMPRESSION_NONE, RGB(10, 20, 30), 4, 1});
    img.values = {
        64, 32, 0, 128,      // + (1270, 2540, 3810) + 127 over 255 = 5.48, 10.46, 15.44
        200, 100, 50, 255,   // opaque: as it is
        0, 0, 0, 0,          // transparent: + 2677 / 255 = 10.498 and so on
        255, 255, 255, 10,   // a colour over its opacity: clamped
    };
    EXPECT_EQ(rawPixels(*decode(writeTiff(img), RGB(10, 20, 30)).bitmap),
        (std::vector<std::uint32_t>{rgb(69, 42, 15), rgb(200, 100, 50), rgb(10, 20, 30), rgb(255, 255, 255)}));

    img.spec.alpha = Alpha::Straight;
    img.values = {
        0, 0, 0, 128,        // (1270, 2540, 3810) + 127 over 255 = 5.48, 10.46, 15.44
        100, 200, 50, 51,    // (7140, 14280, 8670) + 127 over 255 = 28.498, 56.498, 34.498
        255, 255, 255, 0,    // transparent: the background
        9, 250, 77, 255,     // opaque: as it is
    };
    EXPECT_EQ(rawPixels(*decode(writeTiff(img), RGB(10, 20, 30)).bitmap),
        (std::vector<std::uint32_t>{rgb(5, 10, 15), rgb(28, 56, 34), rgb(10, 20, 30), rgb(9, 250, 77)}));
}

// Cyan, magenta, yellow and black each alone and mixed, worked by hand.
TEST(TiffCmyk, NaiveConversionRoundsToNearest)
{
    TiffImage img = makeImage(TiffCase{"hand", PHOTOMETRIC_SEPARATED, 8, Alpha::None, false, false,
        COMPRESSION_NONE, RGB(255, 255, 255), 4, 1});
    img.values = {
        0, 0, 0, 0,          // no ink: white
        255, 0, 0, 0,        // full cyan: no red
        100, 0, 200, 51,     // 155 * 204 = 31620 -> 124.0; 255 * 204 -> 204; 55 * 204 = 11220 -> 44.0
        1, 2, 3, 128,        // 254 * 127 = 32258 -> 126.5 (126.502); 253 * 127 -> 126.0; 252 * 127 -> 125.5 (125.506)
    };
    EXPECT_EQ(rawPixels(*decode(writeTiff(img)).bitmap),
        (std::vector<std::uint32_t>{rgb(255, 255, 255), rgb(0, 255, 255), rgb(124, 204, 44), rgb(127, 126, 126)}));
}

// The stored rows, unturned, whatever the tag says; the tag is reported.
TEST(TiffOrientation, ReportedAndNotApplied)
{
    TiffImage img = makeImage(TiffCase{"oriented", PHOTOMETRIC_RGB, 8, Alpha::None, false, false,
        COMPRESSION_NONE, RGB(255, 255, 255), 5, 3});
    for (std::uint16_t orientation = 1; orientation <= 8; ++orientation) {
        img.orientation = orientation;
        for (const bool tiled : {false, true}) {
            img.spec.tiled = tiled;
            const DecodedPicture picture = decode(writeTiff(img));
            EXPECT_EQ(picture.orientation, orientation);
            ASSERT_EQ(picture.bitmap->width(), 5);
            ASSERT_EQ(picture.bitmap->height(), 3);
            EXPECT_EQ(rawPixels(*picture.bitmap), expectedColours(img)) << "orientation " << orientation;
        }
    }
}

// JPEG in TIFF (YCbCr, 2 x 2 subsampled): libtiff's own whole-picture RGBA read, top row first,
// is the reference.
TEST(TiffJpeg, MatchesLibtiffsOwnRgbaRead)
{
    const TiffImage img = makeImage(TiffCase{"jpeg", PHOTOMETRIC_RGB, 8});
    ScratchDir dir;
    const auto path = dir / "jpeg.tif";
    TIFF* tif = TIFFOpen(path.string().c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(img.spec.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(img.spec.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, std::uint16_t(8));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(3));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, std::uint32_t(16));
    for (int y = 0; y < img.spec.height; ++y) {
        Bytes row;
        packRun(img, y, 0, img.spec.width, -1, row);
        ASSERT_EQ(TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0), 1);
    }
    TIFFClose(tif);

    tif = TIFFOpen(path.string().c_str(), "r");
    ASSERT_NE(tif, nullptr);
    std::vector<std::uint32_t> raster(std::size_t(img.spec.width * img.spec.height));
    ASSERT_EQ(TIFFReadRGBAImageOriented(tif, std::uint32_t(img.spec.width), std::uint32_t(img.spec.height),
                  raster.data(), ORIENTATION_TOPLEFT, 1),
        1);
    TIFFClose(tif);
    std::vector<std::uint32_t> expected;
    for (const std::uint32_t abgr : raster)
        expected.push_back(rgb(int(TIFFGetR(abgr)), int(TIFFGetG(abgr)), int(TIFFGetB(abgr))));

    const DecodedPicture picture = decode(readFile(path));
    const auto actual = rawPixels(*picture.bitmap);
    EXPECT_EQ(actual, expected) << firstDifference(actual, expected, img.spec.width);
    EXPECT_NE(actual, expectedColours(img));  // lossy: the reference is not merely the input
}

TEST(TiffLoad, EveryByteOrderAndBigTiffIsRecognisedBySignature)
{
    const TiffImage img = makeImage(TiffCase{"load", PHOTOMETRIC_RGB, 8});
    for (const char* mode : {"wl", "wb", "w8", "wb8"}) {
        const auto picture = loadBytes(writeTiff(img, mode), "picture.png");
        EXPECT_EQ(rawPixels(*picture->Handle()), expectedColours(img)) << mode;
    }
}

// --- colour profiles

// The colours of `img` (RGB or CMYK samples) as the conversion of `profile` gives them.
std::vector<std::uint32_t> converted(
    const TiffImage& img, const std::vector<std::uint8_t>& profile, SampleLayout layout)
{
    std::string warning;
    const auto conversion = ColourConversion::toSrgb(profile, layout, warning);
    EXPECT_TRUE(conversion) << warning;
    std::vector<std::uint32_t> out;
    for (int y = 0; conversion && y < img.spec.height; ++y) {
        for (int x = 0; x < img.spec.width; ++x) {
            std::uint8_t in[4];
            for (int s = 0; s < img.colours; ++s)
                in[layout == SampleLayout::Bgr ? 2 - s : s] = std::uint8_t(level(img, x, y, s));
            std::uint8_t bgr[3];
            conversion->convert(in, bgr, 1);
            out.push_back(composedOf(img, x, y, rgb(bgr[2], bgr[1], bgr[0])));
        }
    }
    return out;
}

TEST(TiffProfile, RgbColoursAreConvertedBeforeTheAlphaIsComposed)
{
    for (const Alpha alpha : {Alpha::None, Alpha::Straight}) {
        TiffImage img =
            makeImage(TiffCase{"rgb_icc", PHOTOMETRIC_RGB, 8, alpha, false, false, COMPRESSION_NONE, kOlive});
        img.profile = rgbProfile(kSrgbPrimaries, 1.0);
        ASSERT_FALSE(img.profile.empty());
        const DecodedPicture picture = decode(writeTiff(img), kOlive);
        EXPECT_TRUE(picture.warnings.empty());
        const auto expected = converted(img, img.profile, SampleLayout::Bgr);
        EXPECT_NE(expected, expectedColours(img));  // the profile does move the colours
        EXPECT_EQ(rawPixels(*picture.bitmap), expected);
    }
}

TEST(TiffProfile, CmykInksAreConvertedByTheProfile)
{
    for (const bool tiled : {false, true}) {
        TiffImage img = makeImage(TiffCase{"cmyk_icc", PHOTOMETRIC_SEPARATED, 8, Alpha::None, tiled});
        img.profile = cmykProfile();
        ASSERT_FALSE(img.profile.empty());
        const DecodedPicture picture = decode(writeTiff(img));
        EXPECT_TRUE(picture.warnings.empty());
        const auto expected = converted(img, img.profile, SampleLayout::Cmyk);
        EXPECT_NE(expected, expectedColours(img));
        EXPECT_EQ(rawPixels(*picture.bitmap), expected);
    }
}

TEST(TiffProfile, PlanarCmykIsShownNaivelyWithAWarning)
{
    TiffImage img = makeImage(TiffCase{"cmyk_planar_icc", PHOTOMETRIC_SEPARATED, 8, Alpha::None, false, true});
    img.profile = cmykProfile();
    const DecodedPicture picture = decode(writeTiff(img));
    ASSERT_EQ(picture.warnings.size(), 1u);
    EXPECT_NE(picture.warnings[0].find("profile"), std::string::npos) << picture.warnings[0];
    // libtiff's own naive conversion truncates where ours rounds: within one level.
    const auto expected = expectedColours(img);
    const auto actual = rawPixels(*picture.bitmap);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        for (int shift : {0, 8, 16})
            EXPECT_LE(std::abs(int((actual[i] >> shift) & 0xFF) - int((expected[i] >> shift) & 0xFF)), 1) << i;
}

TEST(TiffProfile, DamagedProfileIsPassedOverWithAWarning)
{
    TiffImage img = makeImage(TiffCase{"rgb_bad_icc", PHOTOMETRIC_RGB, 8});
    img.profile.assign(100, 0x5A);
    const DecodedPicture picture = decode(writeTiff(img));
    EXPECT_FALSE(picture.warnings.empty());
    EXPECT_EQ(rawPixels(*picture.bitmap), expectedColours(img));
}

// --- refusals

void expectRefused(std::span<const std::uint8_t> file, const std::string& what, const char* problem = "TIFF: ")
{
    expectDecoderRefuses([](const Bytes& bytes) { return decode(bytes); }, file, what, problem);
}

TEST(TiffBad, EveryCutIsRefused)
{
    for (const TiffCase& c : {TiffCase{"strips", PHOTOMETRIC_RGB, 8, Alpha::None, false, false,
                                  COMPRESSION_ADOBE_DEFLATE, RGB(255, 255, 255), 13, 11},
             TiffCase{"tiles", PHOTOMETRIC_SEPARATED, 8, Alpha::None, true, false, COMPRESSION_NONE,
                 RGB(255, 255, 255), 20, 5}}) {
        const Bytes file = writeTiff(makeImage(c));
        ASSERT_NO_THROW(decode(file)) << c.name;
        for (std::size_t n = 0; n < file.size(); ++n)
            expectRefused(std::span(file.data(), n), std::string(c.name) + " cut to " + std::to_string(n));
    }
}

// The value of a SHORT or LONG tag of the first directory of a little-endian classic file,
// rewritten as a LONG.
Bytes withTag(Bytes file, std::uint16_t tag, std::uint32_t value)
{
    const auto le = [&](std::size_t at, int n) {
        std::uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = v << 8 | file[at + std::size_t(i)];
        return v;
    };
    const std::size_t ifd = le(4, 4);
    for (std::size_t i = 0, n = le(ifd, 2); i < n; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        if (le(entry, 2) != tag)
            continue;
        const std::uint8_t patch[] = {4, 0, 1, 0, 0, 0, std::uint8_t(value), std::uint8_t(value >> 8),
            std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
        std::memcpy(&file[entry + 2], patch, sizeof patch);
        return file;
    }
    ADD_FAILURE() << "no tag " << tag;
    return file;
}

TEST(TiffBad, SizesOverTheLimitsAreRefusedFromTheHeader)
{
    const Bytes file = writeTiff(makeImage(TiffCase{"small", PHOTOMETRIC_RGB, 8}));
    expectRefused(withTag(file, TIFFTAG_IMAGEWIDTH, 70000), "70000 wide", "over the limit");
    expectRefused(withTag(withTag(file, TIFFTAG_IMAGEWIDTH, 20000), TIFFTAG_IMAGELENGTH, 20000), "20000 x 20000",
        "over the limit");
    expectRefused(withTag(file, TIFFTAG_IMAGEWIDTH, 0), "no width");
}

TEST(TiffBad, GarbageAndDamagedDataAreRefused)
{
    Bytes garbage = {'I', 'I', 42, 0, 8, 0, 0, 0};
    for (int i = 0; i < 200; ++i)
        garbage.push_back(std::uint8_t(i * 97 + 13));
    expectRefused(garbage, "garbage after the header");
    expectRefused(Bytes{'M', 'M', 0, 42, 0xFF, 0xFF, 0xFF, 0xF0}, "directory past the end");

    // Deflate data overwritten: the codec's own check fails.
    Bytes file = writeTiff(makeImage(TiffCase{"deflate", PHOTOMETRIC_RGB, 8, Alpha::None, false, false,
        COMPRESSION_ADOBE_DEFLATE}));
    for (std::size_t i = 8; i < 60; ++i)
        file[i] = std::uint8_t(i * 31);
    expectRefused(file, "damaged deflate data");
}

}  // namespace
}  // namespace tav::test
