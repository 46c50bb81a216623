// Colour profiles: pictures shown in sRGB whatever profile they carry, the exact bytes kept
// when there is none or it is sRGB, and a profile that cannot be used passed over with a
// warning. The profiles are made with Little CMS; their effect is known without it (primaries
// exchanged, a linear tone curve), so the decoders are held to colours worked out here.
#include "platform/colour_profile.h"

#include "jpeg_test_support.h"
#include "picture_look_support.h"
#include "platform/picture.h"
#include "platform/picture_reader.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

using test::Bytes;

struct Loaded {
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
    std::vector<std::string> warnings;
};

Loaded load(const Bytes& file, const PictureOptions& options = {})
{
    test::ScratchDir dir;
    test::writeFile(dir / "picture", file);
    const auto picture = LoadPicture(dir / "picture", options);
    return {test::rawPixels(*picture->Handle()), picture->warnings()};
}

std::uint32_t swapRedBlue(std::uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

int channelDistance(std::uint32_t a, std::uint32_t b)
{
    int worst = 0;
    for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return worst;
}

int worstDistance(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b)
{
    EXPECT_EQ(a.size(), b.size());
    int worst = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, channelDistance(a[i], b[i]));
    return worst;
}

Bytes colourJpeg() { return test::encodeJpeg(test::JpegSpec{"colour", 3, JCS_YCbCr, 1, 1}); }

TEST(ColourProfiles, NoProfileAndTheSrgbProfileKeepTheExactBytes)
{
    const Bytes jpeg = colourJpeg();
    const Loaded plain = load(jpeg);
    const Loaded srgb = load(test::withIccProfile(jpeg, test::profileBytes(cmsCreate_sRGBProfile())));
    EXPECT_EQ(srgb.pixels, plain.pixels);
    EXPECT_TRUE(srgb.warnings.empty());
    // sRGB described afresh (its primaries and curve, stored as a file stores them).
    EXPECT_EQ(load(test::withIccProfile(jpeg, test::rgbProfile(test::kSrgbPrimaries, 0))).pixels, plain.pixels);
    std::string warning;
    EXPECT_EQ(ColourConversion::toSrgb(test::profileBytes(cmsCreate_sRGBProfile()), SampleLayout::Bgr, warning),
        nullptr);
    EXPECT_TRUE(warning.empty());
}

TEST(ColourProfiles, AnRgbProfileIsConvertedFromEveryCarrier)
{
    // Red and blue exchanged: what the file stores as blue is shown red.
    const Bytes swapped = test::rgbProfile(test::kSwappedPrimaries, 0);
    const Bytes jpeg = colourJpeg();
    std::vector<std::uint32_t> expected = load(jpeg).pixels;
    for (std::uint32_t& p : expected)
        p = swapRedBlue(p);
    // One APP2 marker, and the profile split over three.
    EXPECT_LE(worstDistance(load(test::withIccProfile(jpeg, swapped)).pixels, expected), 1);
    EXPECT_LE(worstDistance(load(test::withIccProfile(jpeg, swapped, swapped.size() / 3 + 1)).pixels, expected), 1);

    Bytes samples;
    for (int i = 0; i < 64; ++i)
        samples.insert(samples.end(), {std::uint8_t(i * 4), std::uint8_t(255 - i * 3), std::uint8_t(i * i % 256)});
    const Bytes png = test::pngOf(8, 8, 3, samples);
    std::vector<std::uint32_t> pngExpected = load(png).pixels;
    for (std::uint32_t& p : pngExpected)
        p = swapRedBlue(p);
    const Bytes profiledPng = test::withPngChunk(png, "iCCP", test::iccpChunkData(swapped));
    EXPECT_LE(worstDistance(load(profiledPng).pixels, pngExpected), 1);
}

TEST(ColourProfiles, ALinearProfileIsEncodedWithTheSrgbCurve)
{
    Bytes samples;
    std::vector<std::uint32_t> expected;
    for (int v = 0; v < 256; v += 5) {
        samples.insert(samples.end(), {std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)});
        const auto e = std::uint32_t(std::lround(255 * test::srgbEncoded(v / 255.0)));
        expected.push_back(e << 16 | e << 8 | e);
    }
    const int n = int(expected.size());
    const Bytes png = test::pngOf(n, 1, 3, samples);
    const Bytes linear = test::rgbProfile(test::kSrgbPrimaries, 1.0);
    EXPECT_LE(worstDistance(load(test::withPngChunk(png, "iCCP", test::iccpChunkData(linear))).pixels, expected), 1);

    // A grey profile on a grey JPEG: the same curve on the one channel.
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.0);
    const Bytes grey = test::profileBytes(cmsCreateGrayProfile(&white, curve));
    cmsFreeToneCurve(curve);
    Bytes levels;
    for (int v = 0; v < 256; v += 5)
        levels.push_back(std::uint8_t(v));
    test::JpegSpec spec{"grey", 1, JCS_GRAYSCALE, 1, 1};
    spec.width = n;
    spec.height = 1;
    spec.quality = 100;
    const Bytes jpeg = test::encodeJpeg(spec, levels);
    std::vector<std::uint32_t> greyExpected;
    for (std::uint32_t stored : load(jpeg).pixels) {
        const auto e = std::uint32_t(std::lround(255 * test::srgbEncoded((stored & 0xFF) / 255.0)));
        greyExpected.push_back(e << 16 | e << 8 | e);
    }
    EXPECT_LE(worstDistance(load(test::withIccProfile(jpeg, grey)).pixels, greyExpected), 1);
}

// A CMYK profile that shows each CMYK value as its plain reading with red and blue exchanged
// (a table of 17 points an axis, so interpolated between them).
Bytes swappingCmykProfile()
{
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 17, 4, 3, nullptr);
    cmsStageSampleCLut16bit(
        table,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
            const double k = 1 - in[3] / 65535.0;
            // Plain reading: R = (1 - C)(1 - K); then red and blue exchanged.
            const double rgb[3] = {(1 - in[2] / 65535.0) * k, (1 - in[1] / 65535.0) * k, (1 - in[0] / 65535.0) * k};
            cmsCIELab l;
            cmsDoTransform(static_cast<cmsHTRANSFORM>(cargo), rgb, &l, 1);
            cmsFloat2LabEncoded(out, &l);
            return TRUE;
        },
        toLab, 0);
    // The stored form wants curves on both sides of the table: identities here.
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(pipeline, cmsAT_END, table);
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsPipelineFree(pipeline);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return test::profileBytes(profile);
}

TEST(ColourProfiles, ACmykProfileReadsPlainAndInvertedSamples)
{
    const Bytes profile = swappingCmykProfile();
    for (bool adobe : {true, false}) {
        test::JpegSpec spec{adobe ? "Adobe CMYK" : "plain CMYK", 4, JCS_CMYK, 1, 1};
        spec.adobeMarker = adobe;
        spec.quality = 100;
        const Bytes jpeg = test::encodeJpeg(spec);
        std::vector<std::uint32_t> expected = load(jpeg).pixels;
        for (std::uint32_t& p : expected)
            p = swapRedBlue(p);
        const Loaded converted = load(test::withIccProfile(jpeg, profile));
        // The table's interpolation of the products costs up to a dozen levels (as much with
        // Little CMS's unoptimised transform); the wrong reading of the samples, or none, costs
        // over a hundred.
        EXPECT_LE(worstDistance(converted.pixels, expected), 16) << spec.name;
        EXPECT_TRUE(converted.warnings.empty()) << spec.name;
    }
}

TEST(ColourProfiles, AProfileThatCannotBeUsedIsPassedOverWithAWarning)
{
    const Bytes jpeg = colourJpeg();
    const Loaded plain = load(jpeg);
    Bytes garbage(300, 0x5A);
    const Bytes cmyk = swappingCmykProfile();
    for (const Bytes& file : {test::withIccProfile(jpeg, garbage), test::withIccProfile(jpeg, cmyk),
             // A marker that says it is the first of two, and no second.
             test::withJpegSegment(jpeg, 0xE2, Bytes{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 2,
                                                   9})}) {
        const Loaded loaded = load(file);
        EXPECT_EQ(loaded.pixels, plain.pixels);
        ASSERT_EQ(loaded.warnings.size(), 1u);
        EXPECT_NE(loaded.warnings[0].find("colour profile"), std::string::npos) << loaded.warnings[0];
    }
    // libpng finds a damaged profile itself and drops it.
    const Bytes png = test::pngOf(2, 2, 3, Bytes(12, 99));
    const Loaded damagedPng = load(test::withPngChunk(png, "iCCP", test::iccpChunkData(garbage)));
    EXPECT_EQ(damagedPng.pixels, load(png).pixels);
    EXPECT_EQ(damagedPng.warnings.size(), 1u);
}

TEST(ColourProfiles, TransparentPixelsAreConvertedThenComposedOntoTheBackground)
{
    // Blue, half transparent, under the exchanging profile: red, half over the background.
    const Bytes png = test::pngOf(1, 1, 4, Bytes{0, 0, 255, 128});
    const Bytes profile = test::rgbProfile(test::kSwappedPrimaries, 0);
    const Bytes file = test::withPngChunk(png, "iCCP", test::iccpChunkData(profile));
    PictureOptions onBlack;
    onBlack.background = RGB(0, 0, 0);
    const std::uint32_t red = 255 * 128 / 255;  // 128 of 255 of full red over black
    EXPECT_LE(channelDistance(load(file, onBlack).pixels.at(0), red << 16), 1);
    const std::uint32_t overWhite = 0xFF0000 | (127u << 8) | 127u;  // red, and half of white's green and blue
    EXPECT_LE(channelDistance(load(file).pixels.at(0), overWhite), 1);
}

TEST(ColourProfiles, TheRowReaderConvertsAsTheLoaderDoes)
{
    const Bytes swapped = test::rgbProfile(test::kSwappedPrimaries, 0);
    test::JpegSpec spec{"large", 3, JCS_YCbCr, 2, 2};
    spec.width = 96;
    spec.height = 64;
    const Bytes file = test::withIccProfile(test::encodeJpeg(spec), swapped);
    test::ScratchDir dir;
    test::writeFile(dir / "p.jpg", file);
    const auto reader = PictureReader::open(dir / "p.jpg");
    const auto picture = LoadPicture(dir / "p.jpg");
    Bytes rows;
    for (int y = 0; y < reader->height(); ++y)
        rows.insert(rows.end(), reader->row(y), reader->row(y) + 3 * reader->width());
    EXPECT_EQ(rows, test::bgrRows(*picture->Handle()));
}

}  // namespace
}  // namespace tav
