// WebP reader: lossy and lossless files with and without alpha, written here with libwebp's
// encoder, read back to the expected colours composed onto white and onto another background;
// an animation's first frame on its canvas; the EXIF orientation and the ICC profile of
// extended files put together chunk by chunk; cut, damaged and oversized files refused.
#include "picture_look_support.h"
#include "picture_test_support.h"

#include "platform/colour_profile.h"
#include "platform/picture_decoders.h"

#include <gtest/gtest.h>

#include <webp/decode.h>
#include <webp/encode.h>

#include <cstring>
#include <string>

namespace tav::test {
namespace {

constexpr int kWidth = 13;
constexpr int kHeight = 11;

// Opacities that cover the ends and the rounding: 0, 255, one step from each, and a half.
constexpr std::uint8_t kAlphas[] = {255, 0, 128, 51, 1, 254};

// An asymmetric RGBA pattern: every pixel differs from its mirror images.
Bytes pattern(int width, int height, bool alpha, int seed = 0)
{
    Bytes rgba;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            rgba.push_back(std::uint8_t((x * 37 + y * 11 + seed) % 256));
            rgba.push_back(std::uint8_t((x * 7 + y * 53 + 90 + seed) % 256));
            rgba.push_back(std::uint8_t((x * y * 3 + 30 + seed) % 256));
            rgba.push_back(alpha ? kAlphas[(x + 2 * y) % 6] : 255);
        }
    }
    return rgba;
}

Bytes encode(const Bytes& rgba, int width, int height, bool lossless)
{
    std::uint8_t* out = nullptr;
    const std::size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &out)
                                      : WebPEncodeRGBA(rgba.data(), width, height, width * 4, 90, &out);
    Bytes file(out, out + size);
    WebPFree(out);
    EXPECT_GT(size, 0u);
    return file;
}

// The rule of transparency.h, as the tests expect it: (c * a + bg * (255 - a) + 127) / 255.
std::uint32_t composed(const std::uint8_t* rgba, COLORREF background)
{
    const unsigned a = rgba[3];
    const auto channel = [&](unsigned c, unsigned bg) { return int((c * a + bg * (255 - a) + 127) / 255); };
    return rgb(channel(rgba[0], GetRValue(background)), channel(rgba[1], GetGValue(background)),
        channel(rgba[2], GetBValue(background)));
}

std::vector<std::uint32_t> composedAll(const Bytes& rgba, COLORREF background)
{
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < rgba.size(); i += 4)
        out.push_back(composed(&rgba[i], background));
    return out;
}

// What libwebp's one-call decoder gives for the file, as RGBA.
Bytes referenceRgba(const Bytes& file)
{
    int width = 0, height = 0;
    std::uint8_t* rgba = WebPDecodeRGBA(file.data(), file.size(), &width, &height);
    EXPECT_NE(rgba, nullptr);
    Bytes out(rgba, rgba + std::size_t(width) * std::size_t(height) * 4);
    WebPFree(rgba);
    return out;
}

DecodedPicture decode(const Bytes& file, COLORREF background = RGB(255, 255, 255))
{
    return decodeWebp(file, PictureOptions{true, background});
}

// --- the container, chunk by chunk (RIFF: little-endian sizes, chunks padded to even sizes)

void putLe(Bytes& b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

Bytes chunk(const char* fourcc, const Bytes& payload)
{
    Bytes out(fourcc, fourcc + 4);
    putLe(out, std::uint32_t(payload.size()), 4);
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2)
        out.push_back(0);
    return out;
}

Bytes riff(const std::vector<Bytes>& chunks)
{
    Bytes body = {'W', 'E', 'B', 'P'};
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes out = {'R', 'I', 'F', 'F'};
    putLe(out, std::uint32_t(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

constexpr std::uint8_t kAnimationFlag = 0x02, kExifFlag = 0x08, kAlphaFlag = 0x10, kIccFlag = 0x20;

Bytes vp8x(std::uint8_t flags, int width, int height)
{
    Bytes payload = {flags, 0, 0, 0};
    putLe(payload, std::uint32_t(width - 1), 3);
    putLe(payload, std::uint32_t(height - 1), 3);
    return chunk("VP8X", payload);
}

// The image chunk of a lossless still: the file libwebp writes without its RIFF header.
Bytes losslessChunk(const Bytes& rgba, int width, int height)
{
    const Bytes file = encode(rgba, width, height, true);
    return Bytes(file.begin() + 12, file.end());
}

Bytes animationFrame(int x, int y, int width, int height, const Bytes& rgba)
{
    Bytes payload;
    putLe(payload, std::uint32_t(x / 2), 3);
    putLe(payload, std::uint32_t(y / 2), 3);
    putLe(payload, std::uint32_t(width - 1), 3);
    putLe(payload, std::uint32_t(height - 1), 3);
    putLe(payload, 100, 3);  // duration, ms
    payload.push_back(0);     // blend with alpha, no disposal
    const Bytes image = losslessChunk(rgba, width, height);
    payload.insert(payload.end(), image.begin(), image.end());
    return chunk("ANMF", payload);
}

// An Exif block with one orientation tag (little-endian TIFF structure).
Bytes exifWithOrientation(int orientation)
{
    Bytes exif = {'I', 'I', 42, 0};
    putLe(exif, 8, 4);
    putLe(exif, 1, 2);
    putLe(exif, 0x0112, 2);
    putLe(exif, 3, 2);  // SHORT
    putLe(exif, 1, 4);
    putLe(exif, std::uint32_t(orientation), 4);
    putLe(exif, 0, 4);
    return exif;
}

// --- still pictures

struct WebpCase {
    const char* name;
    bool lossless;
    bool alpha;
    COLORREF background;
};

class WebpStill : public ::testing::TestWithParam<WebpCase> {};

TEST_P(WebpStill, DecodesToTheComposedColours)
{
    const WebpCase& c = GetParam();
    const Bytes rgba = pattern(kWidth, kHeight, c.alpha);
    const Bytes file = encode(rgba, kWidth, kHeight, c.lossless);
    const DecodedPicture picture = decode(file, c.background);
    ASSERT_TRUE(picture.bitmap);
    const DIBSection& bmp = *picture.bitmap;
    ASSERT_EQ(bmp.width(), kWidth);
    ASSERT_EQ(bmp.height(), kHeight);
    ASSERT_EQ(bmp.bitCount(), 24);
    EXPECT_EQ(picture.orientation, 1);
    EXPECT_TRUE(picture.warnings.empty());
    // Lossless keeps every sample, so the colours are the pattern's own; lossy ones are
    // libwebp's decode of the file.
    const auto expected = composedAll(c.lossless ? rgba : referenceRgba(file), c.background);
    const auto actual = rawPixels(bmp);
    EXPECT_EQ(actual, expected) << firstDifference(actual, expected, kWidth);
}

INSTANTIATE_TEST_SUITE_P(Webp, WebpStill,
    ::testing::Values(
        // clang-format off
        WebpCase{"lossless", true, false, RGB(255, 255, 255)},
        WebpCase{"lossless_alpha_on_white", true, true, RGB(255, 255, 255)},
        WebpCase{"lossless_alpha_on_teal", true, true, RGB(20, 140, 150)},
        WebpCase{"lossy", false, false, RGB(255, 255, 255)},
        WebpCase{"lossy_alpha_on_white", false, true, RGB(255, 255, 255)},
        WebpCase{"lossy_alpha_on_maroon", false, true, RGB(128, 0, 3)}
        // clang-format on
        ),
    [](const ::testing::TestParamInfo<WebpCase>& info) { return std::string(info.param.name); });

// The rule worked by hand for a few pixels: (c * a + bg * (255 - a) + 127) / 255.
TEST(WebpAlpha, ComposedByHand)
{
    const Bytes rgba = {
        0, 0, 0, 128,        // (1270, 2540, 3810) + 127 over 255: 5.48, 10.46, 15.44
        100, 200, 50, 51,    // (7140, 14280, 8670) + 127 over 255: 28.498, 56.498, 34.498
        255, 255, 255, 0,    // transparent: the background
        9, 250, 77, 255,     // opaque: as it is
    };
    const DecodedPicture picture = decode(encode(rgba, 4, 1, true), RGB(10, 20, 30));
    const std::vector<std::uint32_t> expected = {rgb(5, 10, 15), rgb(28, 56, 34), rgb(10, 20, 30), rgb(9, 250, 77)};
    EXPECT_EQ(rawPixels(*picture.bitmap), expected);
}

TEST(WebpLoad, IsRecognisedBySignature)
{
    const Bytes rgba = pattern(kWidth, kHeight, false);
    const auto picture = loadBytes(encode(rgba, kWidth, kHeight, true), "picture.jpg");
    const auto actual = rawPixels(*picture->Handle());
    EXPECT_EQ(actual, composedAll(rgba, RGB(255, 255, 255)));
}

// --- animation

// A 9 x 7 canvas whose first frame (5 x 3 at 2, 2) covers part of it; the second covers all of
// it in other colours. The ANIM chunk's background colour (opaque red) is only a hint.
Bytes animation(const Bytes& first, const Bytes& second)
{
    Bytes anim;
    putLe(anim, 0xFFFF0000u, 4);  // background: blue, green, red, alpha = 0, 0, 255, 255
    putLe(anim, 0, 2);            // loop for ever
    return riff({vp8x(kAnimationFlag | kAlphaFlag, 9, 7), chunk("ANIM", anim), animationFrame(2, 2, 5, 3, first),
        animationFrame(0, 0, 9, 7, second)});
}

TEST(WebpAnimation, FirstFrameOnItsCanvasOverTheBackground)
{
    const Bytes first = pattern(5, 3, true);
    const Bytes second = pattern(9, 7, false, 100);
    for (const COLORREF background : {RGB(255, 255, 255), RGB(40, 50, 60)}) {
        const DecodedPicture picture = decode(animation(first, second), background);
        ASSERT_TRUE(picture.bitmap);
        ASSERT_EQ(picture.bitmap->width(), 9);
        ASSERT_EQ(picture.bitmap->height(), 7);
        std::vector<std::uint32_t> expected;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x)
                expected.push_back(x >= 2 && x < 7 && y >= 2 && y < 5
                        ? composed(&first[std::size_t(((y - 2) * 5 + x - 2) * 4)], background)
                        : rgb(GetRValue(background), GetGValue(background), GetBValue(background)));
        const auto actual = rawPixels(*picture.bitmap);
        EXPECT_EQ(actual, expected) << firstDifference(actual, expected, 9);
    }
}

// --- metadata

TEST(WebpMetadata, ExifOrientationIsReportedAndNotApplied)
{
    const Bytes rgba = pattern(5, 3, false);
    const Bytes file = riff({vp8x(kExifFlag, 5, 3), losslessChunk(rgba, 5, 3), chunk("EXIF", exifWithOrientation(6))});
    const DecodedPicture picture = decode(file);
    EXPECT_EQ(picture.orientation, 6);
    ASSERT_EQ(picture.bitmap->width(), 5);
    ASSERT_EQ(picture.bitmap->height(), 3);
    EXPECT_EQ(rawPixels(*picture.bitmap), composedAll(rgba, RGB(255, 255, 255)));
}

std::vector<std::uint32_t> converted(const std::vector<std::uint8_t>& profile, const Bytes& rgba)
{
    std::string warning;
    const auto conversion = ColourConversion::toSrgb(profile, SampleLayout::Bgr, warning);
    EXPECT_TRUE(conversion) << warning;
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; conversion && i < rgba.size(); i += 4) {
        std::uint8_t bgr[3] = {rgba[i + 2], rgba[i + 1], rgba[i]};
        conversion->convert(bgr, bgr, 1);
        out.push_back(rgb(bgr[2], bgr[1], bgr[0]));
    }
    return out;
}

TEST(WebpMetadata, IccProfileConvertsTheColours)
{
    const Bytes rgba = pattern(kWidth, kHeight, false);
    const std::vector<std::uint8_t> profile = rgbProfile(kSrgbPrimaries, 1.0);
    ASSERT_FALSE(profile.empty());
    const Bytes file =
        riff({vp8x(kIccFlag, kWidth, kHeight), chunk("ICCP", profile), losslessChunk(rgba, kWidth, kHeight)});
    const DecodedPicture picture = decode(file);
    EXPECT_TRUE(picture.warnings.empty());
    const auto expected = converted(profile, rgba);
    EXPECT_NE(expected, composedAll(rgba, RGB(255, 255, 255)));  // the profile does move the colours
    EXPECT_EQ(rawPixels(*picture.bitmap), expected);
}

TEST(WebpMetadata, DamagedIccProfileIsPassedOverWithAWarning)
{
    const Bytes rgba = pattern(kWidth, kHeight, false);
    const Bytes file = riff(
        {vp8x(kIccFlag, kWidth, kHeight), chunk("ICCP", Bytes(100, 0x5A)), losslessChunk(rgba, kWidth, kHeight)});
    const DecodedPicture picture = decode(file);
    EXPECT_FALSE(picture.warnings.empty());
    EXPECT_EQ(rawPixels(*picture.bitmap), composedAll(rgba, RGB(255, 255, 255)));
}

// --- refusals

void expectRefused(std::span<const std::uint8_t> file, const std::string& what, const char* problem = "WebP: ")
{
    expectDecoderRefuses([](const Bytes& bytes) { return decode(bytes); }, file, what, problem);
}

TEST(WebpBad, EveryCutIsRefused)
{
    const Bytes rgba = pattern(kWidth, kHeight, true);
    for (const bool lossless : {true, false}) {
        const Bytes file = encode(rgba, kWidth, kHeight, lossless);
        for (std::size_t n = 0; n < file.size(); ++n)
            expectRefused(std::span(file.data(), n), (lossless ? "lossless cut to " : "lossy cut to ") +
                    std::to_string(n) + " of " + std::to_string(file.size()));
    }
    const Bytes anim = animation(pattern(5, 3, true), pattern(9, 7, false));
    for (std::size_t n = 0; n < anim.size(); ++n)
        expectRefused(std::span(anim.data(), n), "animation cut to " + std::to_string(n));
}

TEST(WebpBad, DamagedImageDataIsRefused)
{
    Bytes file = encode(pattern(kWidth, kHeight, false), kWidth, kHeight, true);
    for (std::size_t i = 25; i < file.size(); ++i)
        file[i] = std::uint8_t(i * 151 + 7);
    expectRefused(file, "damaged lossless data");
    expectRefused(riff({chunk("VP8 ", Bytes(40, 0xA5))}), "garbage lossy chunk");
    expectRefused(riff({chunk("JUNK", Bytes(8, 1))}), "no image chunk");
}

TEST(WebpBad, SizesOverTheLimitsAreRefusedFromTheHeader)
{
    // A lossless header claiming 16384 x 16384: 14 bits each of width - 1 and height - 1 after
    // the signature byte at offset 20.
    Bytes file = encode(pattern(2, 2, false), 2, 2, true);
    const std::uint32_t bits = 16383u | (16383u << 14) | (std::uint32_t(file[24]) >> 4 << 28);
    for (int i = 0; i < 4; ++i)
        file[std::size_t(21 + i)] = std::uint8_t(bits >> (8 * i));
    expectRefused(file, "16384 x 16384 still", "over the limit");
    // An animation on a 16383 x 16383 canvas with a 1 x 1 frame.
    Bytes anim;
    putLe(anim, 0, 4);
    putLe(anim, 0, 2);
    expectRefused(riff({vp8x(kAnimationFlag, 16383, 16383), chunk("ANIM", anim),
                      animationFrame(0, 0, 1, 1, pattern(1, 1, false))}),
        "16383 x 16383 canvas", "over the limit");
}

}  // namespace
}  // namespace tav::test
