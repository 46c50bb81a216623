// JPEG reader: files of every process and colour space encoded here with libjpeg, read by
// LoadPicture and compared byte for byte with TurboJPEG's one-call decoder; CMYK meaning
// checked on flat colours; truncated, lying and unsupported files refused.
#include "jpeg_test_support.h"
#include "picture_test_support.h"

#include "platform/picture_decoders.h"
#include "platform/jpeg_row_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <turbojpeg.h>

namespace tav::test {
namespace {

class JpegVariant : public ::testing::TestWithParam<JpegSpec> {};

TEST_P(JpegVariant, MatchesTurboJpegByteForByte)
{
    const JpegSpec& spec = GetParam();
    const Bytes jpeg = encodeJpeg(spec);
    const auto picture = loadBytes(jpeg, "variant.jpg");
    const DIBSection& bmp = *picture->Handle();
    ASSERT_EQ(bmp.width(), spec.width);
    ASSERT_EQ(bmp.height(), spec.height);
    ASSERT_EQ(bmp.bitCount(), 24);

    int width = 0, height = 0;
    Bytes expected;
    if (spec.components == 4) {
        // TurboJPEG hands out CMYK only as CMYK; its samples converted as Adobe's inverted
        // convention (or the plain one without the marker) prescribes.
        const Bytes cmyk = turboDecode(jpeg, TJPF_CMYK, 4, width, height);
        for (std::size_t i = 0; i < cmyk.size(); i += 4) {
            unsigned v[4];
            for (int c = 0; c < 4; ++c)
                v[c] = spec.adobeMarker ? cmyk[i + std::size_t(c)] : 255u - cmyk[i + std::size_t(c)];
            expected.push_back(std::uint8_t((v[2] * v[3] + 127) / 255));
            expected.push_back(std::uint8_t((v[1] * v[3] + 127) / 255));
            expected.push_back(std::uint8_t((v[0] * v[3] + 127) / 255));
        }
    } else {
        expected = turboDecode(jpeg, TJPF_BGR, 3, width, height);
    }
    ASSERT_EQ(width, spec.width);
    ASSERT_EQ(height, spec.height);
    const Bytes actual = bgrRows(bmp);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        ASSERT_EQ(actual[i], expected[i]) << "byte " << i << " (pixel " << i / 3 % std::size_t(spec.width) << ", "
                                          << i / 3 / std::size_t(spec.width) << ")";
}

INSTANTIATE_TEST_SUITE_P(Jpeg, JpegVariant,
    ::testing::Values(
        // clang-format off
        JpegSpec{"baseline_420"},
        JpegSpec{"baseline_444", 3, JCS_YCbCr, 1, 1},
        JpegSpec{"baseline_422", 3, JCS_YCbCr, 2, 1},
        JpegSpec{"baseline_440", 3, JCS_YCbCr, 1, 2},
        JpegSpec{"baseline_411", 3, JCS_YCbCr, 4, 1},
        JpegSpec{"baseline_restart_markers", 3, JCS_YCbCr, 2, 2, false, false, true, 1},
        JpegSpec{"baseline_rgb_stored", 3, JCS_RGB, 1, 1},
        JpegSpec{"baseline_one_pixel", 3, JCS_YCbCr, 2, 2, false, false, true, 0, 1, 1},
        JpegSpec{"progressive_420", 3, JCS_YCbCr, 2, 2, true},
        JpegSpec{"progressive_444", 3, JCS_YCbCr, 1, 1, true},
        JpegSpec{"arithmetic_420", 3, JCS_YCbCr, 2, 2, false, true},
        JpegSpec{"arithmetic_progressive", 3, JCS_YCbCr, 2, 2, true, true},
        JpegSpec{"greyscale", 1, JCS_GRAYSCALE, 1, 1},
        JpegSpec{"greyscale_progressive", 1, JCS_GRAYSCALE, 1, 1, true},
        JpegSpec{"cmyk_adobe", 4, JCS_CMYK, 1, 1},
        JpegSpec{"cmyk_adobe_progressive", 4, JCS_CMYK, 1, 1, true},
        JpegSpec{"ycck_adobe", 4, JCS_YCCK, 2, 2},
        JpegSpec{"cmyk_without_adobe_marker", 4, JCS_CMYK, 1, 1, false, false, false}
        // clang-format on
        ),
    [](const ::testing::TestParamInfo<JpegSpec>& info) { return std::string(info.param.name); });

// What CMYK means, on flat colours: orange (no cyan, half magenta, full yellow, no black)
// and a half black. Adobe files store every value inverted; plain files store it as it is.
TEST(JpegCmyk, AdobeAndPlainFilesGiveTheSameColours)
{
    struct Case {
        unsigned char cmyk[4];
        std::uint32_t expected;
    };
    const Case cases[] = {
        {{0, 128, 255, 0}, rgb(255, 127, 0)},
        {{0, 0, 0, 128}, rgb(127, 127, 127)},
        {{255, 255, 255, 255}, rgb(0, 0, 0)},
        {{0, 0, 0, 0}, rgb(255, 255, 255)},
    };
    for (const bool adobe : {true, false}) {
        for (const Case& c : cases) {
            JpegSpec spec{"flat", 4, JCS_CMYK, 1, 1};
            spec.adobeMarker = adobe;
            spec.width = 16;
            spec.height = 8;
            Bytes samples;
            for (int i = 0; i < spec.width * spec.height; ++i)
                for (int k = 0; k < 4; ++k)
                    samples.push_back(adobe ? std::uint8_t(255 - c.cmyk[k]) : c.cmyk[k]);
            const auto picture = loadBytes(encodeJpeg(spec, samples), "flat.jpg");
            const auto pixels = rawPixels(*picture->Handle());
            for (std::size_t i = 0; i < pixels.size(); ++i)
                ASSERT_EQ(pixels[i], c.expected)
                    << (adobe ? "Adobe" : "plain") << " CMYK " << int(c.cmyk[0]) << "," << int(c.cmyk[1]) << ","
                    << int(c.cmyk[2]) << "," << int(c.cmyk[3]) << " pixel " << i;
        }
    }
}

// Every prefix of a file that cuts into its data is refused: libjpeg would fill the missing
// part grey and only warn. A sequential Huffman file that lacks only its end-of-image marker
// (or the marker's second byte) is whole, and loads as the complete file does.
TEST(JpegTruncated, EveryPrefixIntoTheDataIsRefused)
{
    for (const JpegSpec& spec : {JpegSpec{"baseline", 3, JCS_YCbCr, 2, 2, false, false, true, 0, 16, 16},
             JpegSpec{"baseline grey", 1, JCS_GRAYSCALE, 1, 1, false, false, true, 0, 24, 8},
             JpegSpec{"progressive", 3, JCS_YCbCr, 2, 2, true, false, true, 0, 16, 16},
             JpegSpec{"arithmetic", 1, JCS_GRAYSCALE, 1, 1, false, true, true, 0, 16, 16}}) {
        const Bytes jpeg = encodeJpeg(spec);
        ASSERT_EQ(Bytes(jpeg.end() - 2, jpeg.end()), (Bytes{0xFF, 0xD9})) << spec.name;
        const auto whole = rawPixels(*decodeJpeg(jpeg).bitmap);
        const bool markerMayBeMissing = !spec.progressive && !spec.arithmetic;
        for (std::size_t n = 0; n < jpeg.size(); ++n) {
            const bool onlyTheMarkerIsMissing = n >= jpeg.size() - 2;
            try {
                const auto picture = decodeJpeg(std::span(jpeg.data(), n));
                if (markerMayBeMissing && onlyTheMarkerIsMissing)
                    EXPECT_EQ(rawPixels(*picture.bitmap), whole) << spec.name << " cut to " << n;
                else
                    ADD_FAILURE() << spec.name << " cut to " << n << " of " << jpeg.size() << " bytes was accepted";
            } catch (const RunTimeError& e) {
                EXPECT_FALSE(markerMayBeMissing && onlyTheMarkerIsMissing)
                    << spec.name << " without its end marker was refused: " << e.what();
                EXPECT_EQ(e.number(), kErrInvalidPicture) << spec.name << " cut to " << n;
            }
        }
    }
}

// Every row of the file through the row decoder, a few rows per call as the picture reader
// asks; the error's text instead when it refuses the file.
std::pair<std::string, Bytes> rowsOf(const Bytes& file, int targetWidth, int targetHeight)
{
    Bytes rows;
    try {
        auto decoder = JpegRowDecoder::open(std::vector<std::uint8_t>(file.begin(), file.end()), targetWidth, targetHeight);
        const std::size_t rowBytes = std::size_t(decoder->width()) * 3;
        rows.resize(rowBytes * std::size_t(decoder->height()));
        for (int y = 0; y < decoder->height(); y += 7) {
            std::vector<std::uint8_t*> batch;
            for (int i = y; i < std::min(decoder->height(), y + 7); ++i)
                batch.push_back(&rows[std::size_t(i) * rowBytes]);
            decoder->read(batch.data(), int(batch.size()));
        }
    } catch (const RunTimeError& e) {
        return {e.what(), {}};
    }
    return {"", rows};
}

// The row decoder holds a file to what the whole-picture decoder does: damage inside the data
// is refused, a file that lacks only its end-of-image marker gives the rows of the whole file,
// at full size and at reduced scale.
TEST(JpegRowDecoder, RefusesDamageAndReadsAFileWithoutItsEndMarker)
{
    JpegSpec spec{"420", 3, JCS_YCbCr, 2, 2};
    spec.width = 240;
    spec.height = 200;
    const Bytes file = encodeJpeg(spec);
    for (const auto& [targetWidth, targetHeight] : {std::pair{0, 0}, {50, 40}}) {
        const auto complete = rowsOf(file, targetWidth, targetHeight);
        ASSERT_EQ(complete.first, "");
        const auto noEnd = rowsOf(Bytes(file.begin(), file.end() - 2), targetWidth, targetHeight);
        EXPECT_EQ(noEnd.first, "") << targetWidth;
        EXPECT_TRUE(noEnd.second == complete.second) << targetWidth;
        for (int percent : {20, 55, 90, 99}) {
            const Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(file.size() * std::size_t(percent) / 100));
            EXPECT_NE(rowsOf(cut, targetWidth, targetHeight).first, "") << percent << "% at " << targetWidth;
        }
    }
    // Full size, the rows are the whole-picture decoder's.
    EXPECT_TRUE(rowsOf(file, 0, 0).second == bgrRows(*decodeJpeg(file).bitmap));
}

// The frame header (SOF0 for baseline, SOF2 progressive) of an encoded file.
std::size_t frameHeader(const Bytes& jpeg)
{
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2))
            return i;
    ADD_FAILURE() << "no frame header";
    return 0;
}

void setFrameSize(Bytes& jpeg, int width, int height)
{
    const std::size_t sof = frameHeader(jpeg);
    jpeg[sof + 5] = std::uint8_t(height >> 8);
    jpeg[sof + 6] = std::uint8_t(height);
    jpeg[sof + 7] = std::uint8_t(width >> 8);
    jpeg[sof + 8] = std::uint8_t(width);
}

TEST(JpegBad, HeaderClaimingMoreRowsThanTheDataHoldsIsRefused)
{
    Bytes jpeg = encodeJpeg(JpegSpec{"b"});
    setFrameSize(jpeg, 37, 64);
    EXPECT_INVALID_PICTURE(jpeg, "JPEG: Corrupt JPEG data");
}

// A few bytes per scan would otherwise cost a pass over the whole picture each: the first
// (DC) scan of a progressive file repeated past the scan limit. libjpeg itself only warns
// about the odd progression and decodes every copy.
TEST(JpegBad, EndlessScansAreRefused)
{
    const Bytes jpeg = encodeJpeg(JpegSpec{"p", 1, JCS_GRAYSCALE, 1, 1, true, false, true, 0, 16, 16});
    std::size_t first = 0;
    while (first + 1 < jpeg.size() && !(jpeg[first] == 0xFF && jpeg[first + 1] == 0xDA))
        ++first;
    std::size_t end = first + 2;  // the next marker: 0xFF followed by neither 0x00 nor a restart
    while (end + 1 < jpeg.size() && !(jpeg[end] == 0xFF && jpeg[end + 1] != 0x00 && (jpeg[end + 1] & 0xF8) != 0xD0))
        ++end;
    ASSERT_LT(end + 1, jpeg.size());
    const Bytes scan(jpeg.begin() + std::ptrdiff_t(first), jpeg.begin() + std::ptrdiff_t(end));
    Bytes bomb(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(end));
    for (int i = 0; i < 1000; ++i)
        bomb.insert(bomb.end(), scan.begin(), scan.end());
    bomb.insert(bomb.end(), jpeg.begin() + std::ptrdiff_t(end), jpeg.end());
    EXPECT_INVALID_PICTURE(bomb, "too many scans");
}

TEST(JpegBad, SizeOverTheLimitIsRefusedFromTheHeader)
{
    Bytes jpeg = encodeJpeg(JpegSpec{"b"});
    setFrameSize(jpeg, 20000, 20000);  // 400 million pixels, inside libjpeg's own limit
    EXPECT_INVALID_PICTURE(jpeg, "over the limit");
}

// A progressive, arithmetic-coded file of the largest size with 4:4:4 sampling: a DC scan
// without data (arithmetic decoding reads zeros past its end) and EOI, 111 bytes that would make
// libjpeg keep 1.2 GB of coefficients. Refused before that memory is taken.
TEST(JpegBad, WorkingMemoryOverTheLimitIsRefused)
{
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};  // SOI, DQT 0 (8-bit) ...
    jpeg.insert(jpeg.end(), 64, 0x01);  // ... all 1
    const Bytes frameAndScan = {
        0xFF, 0xCA, 0x00, 0x11, 0x08, 0x0B, 0xF4, 0xFD, 0xE8, 0x03,  // SOF10: 3060 x 65000, 3 components,
        0x01, 0x11, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00,  // each 1 x 1 with table 0
        0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00,  // SOS: DC first
        0xFF, 0xD9};  // EOI
    jpeg.insert(jpeg.end(), frameAndScan.begin(), frameAndScan.end());
    EXPECT_INVALID_PICTURE(jpeg, "JPEG: the picture needs more than 800 MB of working memory to decode");
}

TEST(JpegBad, ZeroHeightIsRefused)
{
    Bytes jpeg = encodeJpeg(JpegSpec{"b"});
    setFrameSize(jpeg, 37, 0);
    EXPECT_INVALID_PICTURE(jpeg, "JPEG: ");
}

TEST(JpegBad, TwoComponentFileIsRefused)
{
    JpegSpec spec{"two", 2, JCS_UNKNOWN, 1, 1};
    EXPECT_INVALID_PICTURE(encodeJpeg(spec), "JPEG: ");
}

TEST(JpegBad, SignatureWithoutAFileIsRefused)
{
    EXPECT_INVALID_PICTURE((Bytes{0xFF, 0xD8, 0xFF, 0xD9}), "JPEG: ");
    EXPECT_INVALID_PICTURE((Bytes{0xFF, 0xD8, 0xFF}), "JPEG: ");
}

TEST(JpegSample, TheBundledSamplePictureLoads)
{
    const auto picture = LoadPicture(std::filesystem::path(TAVRENIX_SOURCE_DIR) / "assets" / "sample.jpg");
    EXPECT_EQ(picture->width(), 800);
    EXPECT_EQ(picture->height(), 600);
    EXPECT_EQ(picture->Handle()->bitCount(), 24);
}

}  // namespace
}  // namespace tav::test
