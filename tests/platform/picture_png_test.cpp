// PNG reader: files of every colour type and depth, with tRNS, alpha and Adam7 interlace,
// written here with libpng from known samples and read back to the expected 24-bit colours
// (alpha composed on white); truncated, lying and oversized files refused.
#include "picture_test_support.h"

#include "platform/picture_decoders.h"

#include <gtest/gtest.h>

#include <png.h>

#include <csetjmp>

namespace tav::test {
namespace {

struct PngSpec {
    const char* name;
    int colorType;
    int bitDepth;
    bool interlace = false;
    bool trns = false;
    int width = 13;
    int height = 11;
};

// A picture as the file stores it: samples per channel (palette indices for palette
// files), with its palette and tRNS.
struct PngImage {
    PngSpec spec;
    int channels = 0;
    std::vector<std::uint16_t> samples;
    std::vector<png_color> palette;
    std::vector<png_byte> trnsAlpha;
    png_color_16 trnsColor{};
};

int channelsOf(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    default: return 4;
    }
}

bool hasAlpha(int colorType) { return colorType & PNG_COLOR_MASK_ALPHA; }

PngImage makeImage(const PngSpec& spec)
{
    PngImage img;
    img.spec = spec;
    img.channels = channelsOf(spec.colorType);
    const int maxSample = (1 << spec.bitDepth) - 1;
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            for (int c = 0; c < img.channels; ++c) {
                const unsigned seed = ((unsigned(x * 37 + y * 101 + c * 59 + x * y * 7) * 2654435761u) >> 16) & 0xFFFF;
                std::uint16_t v = std::uint16_t(seed >> (16 - spec.bitDepth));
                if (spec.colorType == PNG_COLOR_TYPE_PALETTE)
                    v = std::uint16_t(seed % std::min(1 << spec.bitDepth, 40));
                if (hasAlpha(spec.colorType) && c == img.channels - 1) {
                    // Fully transparent and fully opaque pixels beside partial ones.
                    if (x % 5 == 0)
                        v = 0;
                    if (x % 5 == 1)
                        v = std::uint16_t(maxSample);
                }
                img.samples.push_back(v);
            }
        }
    }
    if (spec.colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < std::min(1 << spec.bitDepth, 40); ++i)
            img.palette.push_back(png_color{png_byte(i * 6), png_byte(250 - i * 5), png_byte(i * i % 256)});
        if (spec.trns)
            img.trnsAlpha = {0, 128, 255, 51, 200};
    } else if (spec.trns) {
        // The first pixel's value is the transparent one.
        img.trnsColor.gray = img.samples[0];
        img.trnsColor.red = img.samples[0];
        if (img.channels == 3) {
            img.trnsColor.green = img.samples[1];
            img.trnsColor.blue = img.samples[2];
        }
    }
    return img;
}

// One sample to 8 bits as libpng's expansion gives it: low depths scaled to the full range
// (1 bit * 255, 2 bits * 85, 4 bits * 17), 16 bits cut to their high byte.
unsigned to8(unsigned v, int depth)
{
    if (depth == 16)
        return v >> 8;
    return v * 255 / ((1u << depth) - 1);
}

std::uint8_t onWhite(unsigned c, unsigned a) { return std::uint8_t((c * a + 255 * (255 - a) + 127) / 255); }

std::vector<std::uint32_t> expectedColours(const PngImage& img)
{
    const PngSpec& s = img.spec;
    std::vector<std::uint32_t> out;
    for (int i = 0; i < s.width * s.height; ++i) {
        const std::uint16_t* p = &img.samples[std::size_t(i * img.channels)];
        unsigned r = 0, g = 0, b = 0, a = 255;
        switch (s.colorType) {
        case PNG_COLOR_TYPE_PALETTE:
            r = img.palette[p[0]].red;
            g = img.palette[p[0]].green;
            b = img.palette[p[0]].blue;
            if (p[0] < img.trnsAlpha.size())
                a = img.trnsAlpha[p[0]];
            break;
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            r = g = b = to8(p[0], s.bitDepth);
            if (s.colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
                a = to8(p[1], s.bitDepth);
            if (s.trns && p[0] == img.trnsColor.gray)
                a = 0;
            break;
        default:
            r = to8(p[0], s.bitDepth);
            g = to8(p[1], s.bitDepth);
            b = to8(p[2], s.bitDepth);
            if (s.colorType == PNG_COLOR_TYPE_RGB_ALPHA)
                a = to8(p[3], s.bitDepth);
            if (s.trns && p[0] == img.trnsColor.red && p[1] == img.trnsColor.green && p[2] == img.trnsColor.blue)
                a = 0;
        }
        out.push_back(rgb(onWhite(r, a), onWhite(g, a), onWhite(b, a)));
    }
    return out;
}

// Packed file rows: sub-byte samples from the most significant bits, 16 bits big-endian.
std::vector<Bytes> packRows(const PngImage& img)
{
    const PngSpec& s = img.spec;
    std::vector<Bytes> rows;
    for (int y = 0; y < s.height; ++y) {
        const int perRow = s.width * img.channels;
        Bytes row(std::size_t((perRow * s.bitDepth + 7) / 8), 0);
        for (int i = 0; i < perRow; ++i) {
            const unsigned v = img.samples[std::size_t(y * perRow + i)];
            if (s.bitDepth == 16) {
                row[std::size_t(2 * i)] = std::uint8_t(v >> 8);
                row[std::size_t(2 * i + 1)] = std::uint8_t(v);
            } else if (s.bitDepth == 8) {
                row[std::size_t(i)] = std::uint8_t(v);
            } else {
                const int bit = i * s.bitDepth;
                row[std::size_t(bit / 8)] |= std::uint8_t(v << (8 - s.bitDepth - bit % 8));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void flushNothing(png_structp) {}

// libpng longjmps on error: this function holds no object with a destructor.
bool writePngRaw(const PngImage& img, png_bytepp rows, Bytes* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendBytes, flushNothing);
    const PngSpec& s = img.spec;
    png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.bitDepth, s.colorType,
        s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!img.palette.empty())
        png_set_PLTE(png, info, img.palette.data(), int(img.palette.size()));
    if (!img.trnsAlpha.empty())
        png_set_tRNS(png, info, img.trnsAlpha.data(), int(img.trnsAlpha.size()), nullptr);
    else if (s.trns)
        png_set_tRNS(png, info, nullptr, 0, &img.trnsColor);
    png_write_info(png, info);
    png_write_image(png, rows);  // handles the interlace passes itself
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

Bytes writePng(const PngImage& img)
{
    std::vector<Bytes> rows = packRows(img);
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows)
        pointers.push_back(row.data());
    Bytes out;
    EXPECT_TRUE(writePngRaw(img, pointers.data(), &out)) << img.spec.name;
    return out;
}

class PngVariant : public ::testing::TestWithParam<PngSpec> {};

TEST_P(PngVariant, DecodesToTheExpectedColours)
{
    const PngImage img = makeImage(GetParam());
    const auto picture = loadBytes(writePng(img), "variant.png");
    const DIBSection& bmp = *picture->Handle();
    ASSERT_EQ(bmp.width(), img.spec.width);
    ASSERT_EQ(bmp.height(), img.spec.height);
    ASSERT_EQ(bmp.bitCount(), 24);
    const auto expected = expectedColours(img);
    const auto actual = rawPixels(bmp);
    EXPECT_EQ(actual, expected) << firstDifference(actual, expected, img.spec.width);
}

INSTANTIATE_TEST_SUITE_P(Png, PngVariant,
    ::testing::Values(
        // clang-format off
        PngSpec{"palette_1bit", PNG_COLOR_TYPE_PALETTE, 1},
        PngSpec{"palette_2bit", PNG_COLOR_TYPE_PALETTE, 2},
        PngSpec{"palette_4bit_trns", PNG_COLOR_TYPE_PALETTE, 4, false, true},
        PngSpec{"palette_8bit", PNG_COLOR_TYPE_PALETTE, 8},
        PngSpec{"palette_8bit_trns", PNG_COLOR_TYPE_PALETTE, 8, false, true},
        PngSpec{"palette_8bit_trns_interlaced", PNG_COLOR_TYPE_PALETTE, 8, true, true},
        PngSpec{"grey_1bit", PNG_COLOR_TYPE_GRAY, 1},
        PngSpec{"grey_2bit", PNG_COLOR_TYPE_GRAY, 2},
        PngSpec{"grey_4bit", PNG_COLOR_TYPE_GRAY, 4},
        PngSpec{"grey_8bit", PNG_COLOR_TYPE_GRAY, 8},
        PngSpec{"grey_8bit_trns", PNG_COLOR_TYPE_GRAY, 8, false, true},
        PngSpec{"grey_16bit", PNG_COLOR_TYPE_GRAY, 16},
        PngSpec{"grey_16bit_trns_interlaced", PNG_COLOR_TYPE_GRAY, 16, true, true},
        PngSpec{"grey_alpha_8bit", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        PngSpec{"grey_alpha_16bit", PNG_COLOR_TYPE_GRAY_ALPHA, 16},
        PngSpec{"rgb_8bit", PNG_COLOR_TYPE_RGB, 8},
        PngSpec{"rgb_8bit_trns", PNG_COLOR_TYPE_RGB, 8, false, true},
        PngSpec{"rgb_8bit_interlaced", PNG_COLOR_TYPE_RGB, 8, true},
        PngSpec{"rgb_16bit", PNG_COLOR_TYPE_RGB, 16},
        PngSpec{"rgb_16bit_trns", PNG_COLOR_TYPE_RGB, 16, false, true},
        PngSpec{"rgba_8bit", PNG_COLOR_TYPE_RGB_ALPHA, 8},
        PngSpec{"rgba_8bit_interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, true},
        PngSpec{"rgba_16bit", PNG_COLOR_TYPE_RGB_ALPHA, 16},
        PngSpec{"rgba_16bit_interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 16, true},
        PngSpec{"rgba_one_pixel_interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, true, false, 1, 1}
        // clang-format on
        ),
    [](const ::testing::TestParamInfo<PngSpec>& info) { return std::string(info.param.name); });

// Composition on white and on navy, computed by hand: out = (c * a + bg * (255 - a)) / 255, rounded.
// 16-bit samples keep their high byte (0x80FF gives 0x80, not the rounded 0x81).
TEST(PngAlpha, ComposedOnTheBackgroundRoundedToNearest)
{
    PngImage img;
    img.spec = PngSpec{"hand", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, 6, 1};
    img.channels = 4;
    img.samples = {
        0x0000, 0x0000, 0x0000, 0x8000,  // black, alpha 128: 32512 / 255 = 127.498
        0x6400, 0xC800, 0x3200, 0x3300,  // (100, 200, 50), alpha 51: 224.498, 244.498, 214.498
        0xFFFF, 0xFFFF, 0xFFFF, 0x0000,  // transparent white
        0x0A00, 0x1400, 0x1E00, 0xFFFF,  // opaque (10, 20, 30)
        0x0000, 0x0000, 0x0000, 0x01FF,  // alpha 1 (high byte): 64897 / 255 = 254.498
        0x80FF, 0x80FF, 0x80FF, 0xFFFF,  // opaque, the low byte dropped
    };
    const auto picture = loadBytes(writePng(img));
    const std::vector<std::uint32_t> expected = {rgb(127, 127, 127), rgb(224, 244, 214), rgb(255, 255, 255),
        rgb(10, 20, 30), rgb(254, 254, 254), rgb(0x80, 0x80, 0x80)};
    EXPECT_EQ(rawPixels(*picture->Handle()), expected);

    // On navy (0, 0, 128): blue 128 * 127 / 255 = 63.75 under the half-transparent black,
    // (50 * 51 + 128 * 204) / 255 = 112.4 under the second pixel, 128 * 254 / 255 = 127.498.
    PictureOptions onNavy;
    onNavy.background = RGB(0, 0, 128);
    const std::vector<std::uint32_t> expectedOnNavy = {rgb(0, 0, 64), rgb(20, 40, 112), rgb(0, 0, 128),
        rgb(10, 20, 30), rgb(0, 0, 127), rgb(0x80, 0x80, 0x80)};
    EXPECT_EQ(rawPixels(*loadBytes(writePng(img), "picture.png", onNavy)->Handle()), expectedOnNavy);
}

TEST(PngTruncated, EveryPrefixIsRefused)
{
    for (const PngSpec& spec : {PngSpec{"plain", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, 7, 5},
             PngSpec{"interlaced", PNG_COLOR_TYPE_PALETTE, 4, true, true, 7, 5}}) {
        const Bytes png = writePng(makeImage(spec));
        ASSERT_NO_THROW(decodePng(png)) << spec.name;
        for (std::size_t n = 0; n < png.size(); ++n) {
            try {
                decodePng(std::span(png.data(), n));
                ADD_FAILURE() << spec.name << " cut to " << n << " of " << png.size() << " bytes was accepted";
            } catch (const RunTimeError& e) {
                EXPECT_EQ(e.number(), kErrInvalidPicture) << spec.name << " cut to " << n;
            }
        }
    }
}

// CRC-32 of PNG chunks (ISO 3309, polynomial 0xEDB88320, reflected).
std::uint32_t crc32(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

void putBe32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + std::size_t(i)] = std::uint8_t(v >> (24 - 8 * i));
}

// Rewrites the IHDR size and its CRC, so only the lie remains.
Bytes withHeaderSize(Bytes png, std::uint32_t width, std::uint32_t height)
{
    putBe32(png, 16, width);
    putBe32(png, 20, height);
    putBe32(png, 29, crc32(&png[12], 17));
    return png;
}

Bytes smallPng() { return writePng(makeImage(PngSpec{"small", PNG_COLOR_TYPE_RGB, 8, false, false, 7, 5})); }

TEST(PngBad, HeaderClaimingMoreRowsThanTheDataHoldsIsRefused)
{
    EXPECT_INVALID_PICTURE(withHeaderSize(smallPng(), 7, 50), "PNG: ");
}

TEST(PngBad, HeaderClaimingWiderRowsIsRefused)
{
    EXPECT_INVALID_PICTURE(withHeaderSize(smallPng(), 70, 5), "PNG: ");
}

TEST(PngBad, SizesOverTheLimitsAreRefusedFromTheHeader)
{
    EXPECT_INVALID_PICTURE(withHeaderSize(smallPng(), 70000, 5), "PNG: ");
    EXPECT_INVALID_PICTURE(withHeaderSize(smallPng(), 20000, 20000), "over the limit");
}

TEST(PngBad, ZeroWidthIsRefused)
{
    EXPECT_INVALID_PICTURE(withHeaderSize(smallPng(), 0, 5), "PNG: ");
}

TEST(PngBad, DamagedImageDataIsRefused)
{
    Bytes png = smallPng();
    // The first IDAT chunk follows IHDR (33 bytes from the start): damage its data, keep
    // the CRC right, so zlib itself must notice.
    ASSERT_EQ(std::string(png.begin() + 37, png.begin() + 41), "IDAT");
    const std::uint32_t length = std::uint32_t(png[33]) << 24 | std::uint32_t(png[34]) << 16 |
        std::uint32_t(png[35]) << 8 | png[36];
    for (std::size_t i = 43; i < 41 + length; ++i)
        png[i] = 0xFF;
    putBe32(png, 41 + length, crc32(&png[37], 4 + length));
    EXPECT_INVALID_PICTURE(png, "PNG: ");
}

TEST(PngBad, ImageDataCrcErrorIsRefused)
{
    Bytes png = smallPng();
    png[45] ^= 0x01;
    EXPECT_INVALID_PICTURE(png, "PNG: ");
}

}  // namespace
}  // namespace tav::test
