// A JPEG decoded in two parts at once gives the rows and the errors of one decode: the lower
// stream made for every possible cut decodes (by TurboJPEG, independently) to the whole file's
// rows; the row decoder split in two matches it unsplit at every scale, on damaged files too;
// files of other kinds are not split.
#include "jpeg_test_support.h"
#include "picture_test_support.h"

#include "platform/jpeg_scan_split.h"
#include "platform/picture_decoders.h"

#include <gtest/gtest.h>

#include <string>

namespace tav::test {
namespace {

// A photograph's texture: smooth light with noise on it and a few hard edges, so that blocks
// have many coefficients and the DC values travel far.
Bytes photoSamples(int width, int height, int components)
{
    Bytes s;
    std::uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 27) - 16;
            const int edge = (x * 3 + y * 2) % 97 < 30 ? 120 : 0;
            for (int c = 0; c < components; ++c) {
                const int base = (x * (c + 1) * 255 / width + y * (3 - c) * 255 / height) / 3;
                s.push_back(std::uint8_t(std::clamp(base + edge - 60 + grain * (c + 1), 0, 255)));
            }
        }
    }
    return s;
}

Bytes photoJpeg(JpegSpec spec) { return encodeJpeg(spec, photoSamples(spec.width, spec.height, spec.components)); }

std::vector<JpegSpec> splittableSpecs()
{
    std::vector<JpegSpec> specs = {
        {"420", 3, JCS_YCbCr, 2, 2},
        {"444", 3, JCS_YCbCr, 1, 1},
        {"422", 3, JCS_YCbCr, 2, 1},
        {"440", 3, JCS_YCbCr, 1, 2},
        {"411", 3, JCS_YCbCr, 4, 1},
        {"grey", 1, JCS_GRAYSCALE, 1, 1},
    };
    for (JpegSpec& s : specs) {
        s.width = 203;
        s.height = 171;
    }
    JpegSpec top{"420_q100_optimized", 3, JCS_YCbCr, 2, 2};
    top.width = 170;
    top.height = 133;
    top.quality = 100;
    top.optimize = true;
    specs.push_back(top);
    JpegSpec low = top;
    low.name = "420_q40_optimized";
    low.quality = 40;
    specs.push_back(low);
    return specs;
}

struct Outcome {
    std::string error;
    Bytes rows;
    bool split = false;
};

// Every row of the file through the row decoder, a few rows per call as the picture reader asks.
Outcome decodeRows(const Bytes& file, int targetWidth, int targetHeight, JpegSplit split)
{
    Outcome out;
    try {
        auto decoder =
            JpegRowDecoder::open(UninitialisedBytes(file.begin(), file.end()), targetWidth, targetHeight, split);
        const std::size_t rowBytes = std::size_t(decoder->width()) * 3;
        out.rows.resize(rowBytes * std::size_t(decoder->height()));
        for (int y = 0; y < decoder->height(); y += 7) {
            std::vector<std::uint8_t*> rows;
            for (int i = y; i < std::min(decoder->height(), y + 7); ++i)
                rows.push_back(&out.rows[std::size_t(i) * rowBytes]);
            decoder->read(rows.data(), int(rows.size()));
        }
        out.split = decoder->isSplit();
    } catch (const RunTimeError& e) {
        out.error = e.what();
    }
    return out;
}

class SplittableJpeg : public ::testing::TestWithParam<JpegSpec> {};

TEST_P(SplittableJpeg, EveryLowerStreamDecodesToTheWholeFilesRows)
{
    const Bytes file = photoJpeg(GetParam());
    const std::optional<JpegScanLayout> layout = splittableJpegLayout(file);
    ASSERT_TRUE(layout);
    int width = 0, height = 0;
    const Bytes whole = turboDecode(file, TJPF_BGR, 3, width, height);
    const std::size_t rowBytes = std::size_t(width) * 3;
    ASSERT_GE(layout->mcuRows, 8);
    // One parser that has gone on to the last row makes the stream of every row it passed, as a
    // parser that stopped there does.
    const std::unique_ptr<JpegScanParser> parser = JpegScanParser::create(file, *layout);
    ASSERT_TRUE(parser);
    while (parser->row() < layout->mcuRows - 1)
        ASSERT_TRUE(parser->parseRow());
    // Every cut that leaves a row below the one under the filler.
    for (int firstRow = 1; firstRow < layout->mcuRows - 1; ++firstRow) {
        SCOPED_TRACE("first MCU row " + std::to_string(firstRow));
        const std::optional<JpegLowerStream> lower = makeLowerStream(file, *layout, firstRow);
        ASSERT_TRUE(lower);
        const std::optional<JpegLowerStream> later = parser->lowerStream(firstRow);
        ASSERT_TRUE(later);
        EXPECT_TRUE(later->head == lower->head);
        EXPECT_EQ(later->tailOffset, lower->tailOffset);
        Bytes stream = lower->head;
        stream.insert(stream.end(), file.begin() + std::ptrdiff_t(lower->tailOffset), file.end());
        int lowerWidth = 0, lowerHeight = 0;
        const Bytes rows = turboDecode(stream, TJPF_BGR, 3, lowerWidth, lowerHeight);
        ASSERT_EQ(lowerWidth, width);
        ASSERT_EQ(lowerHeight, lower->height);
        ASSERT_EQ(lowerHeight, height - (firstRow - 1) * layout->mcuHeight);
        // The filler row and the one below it (whose smooth upsampling reads the filler) aside.
        const std::size_t skipped = 2 * std::size_t(layout->mcuHeight) * rowBytes;
        const std::size_t from = std::size_t(firstRow + 1) * std::size_t(layout->mcuHeight) * rowBytes;
        ASSERT_TRUE(std::equal(rows.begin() + std::ptrdiff_t(skipped), rows.end(), whole.begin() + std::ptrdiff_t(from),
            whole.end()));
    }
}

TEST_P(SplittableJpeg, SplitRowDecoderGivesTheRowsOfOneDecodeAtEveryScale)
{
    const Bytes file = photoJpeg(GetParam());
    // Targets for which the 203 x 171 or 170 x 133 pictures decode at 1, 1/2, 1/4 and 1/8.
    for (const auto& [targetWidth, targetHeight] : {std::pair{0, 0}, {45, 30}, {22, 16}, {10, 8}}) {
        SCOPED_TRACE(std::to_string(targetWidth) + " x " + std::to_string(targetHeight));
        const Outcome one = decodeRows(file, targetWidth, targetHeight, JpegSplit::Never);
        const Outcome two = decodeRows(file, targetWidth, targetHeight, JpegSplit::Always);
        EXPECT_EQ(one.error, "");
        EXPECT_EQ(two.error, "");
        EXPECT_FALSE(one.split);
        EXPECT_TRUE(two.split);
        EXPECT_TRUE(one.rows == two.rows);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SplittableJpeg, ::testing::ValuesIn(splittableSpecs()),
    [](const ::testing::TestParamInfo<JpegSpec>& info) { return std::string(info.param.name); });

TEST(JpegSplitDamage, ADamagedFileGivesTheErrorOrRowsOfOneDecode)
{
    JpegSpec spec{"420", 3, JCS_YCbCr, 2, 2};
    spec.width = 240;
    spec.height = 200;
    const Bytes file = photoJpeg(spec);
    const std::optional<JpegScanLayout> layout = splittableJpegLayout(file);
    ASSERT_TRUE(layout);
    const std::size_t data = layout->entropyStart;
    const std::size_t span = file.size() - data;

    std::vector<std::pair<std::string, Bytes>> damaged;
    for (int percent : {20, 55, 75, 90, 99}) {
        damaged.push_back({"cut at " + std::to_string(percent) + "%",
            Bytes(file.begin(), file.begin() + std::ptrdiff_t(data + span * std::size_t(percent) / 100))});
    }
    for (int percent : {30, 70, 85}) {
        const std::size_t at = data + span * std::size_t(percent) / 100;
        Bytes marker = file;
        marker[at] = 0xFF;  // a marker inside the data
        marker[at + 1] = 0xD3;
        damaged.push_back({"marker at " + std::to_string(percent) + "%", marker});
        Bytes garbage = file;
        for (std::size_t i = at; i < at + 40; ++i)
            garbage[i] = std::uint8_t(garbage[i] * 7 + 3) == 0xFF ? 0x00 : std::uint8_t(garbage[i] * 7 + 3);
        damaged.push_back({"garbage at " + std::to_string(percent) + "%", garbage});
    }
    Bytes trailing = file;
    trailing.insert(trailing.end() - 2, {0x12, 0x34});  // junk before the end-of-image marker
    damaged.push_back({"junk before the end", trailing});

    // Not damaged: only the end-of-image marker is missing, which every viewer accepts.
    const Bytes noEnd(file.begin(), file.end() - 2);
    for (const auto& [targetWidth, targetHeight] : {std::pair{0, 0}, {50, 40}})
        for (JpegSplit split : {JpegSplit::Never, JpegSplit::Always}) {
            const Outcome complete = decodeRows(file, targetWidth, targetHeight, split);
            const Outcome cut = decodeRows(noEnd, targetWidth, targetHeight, split);
            EXPECT_EQ(cut.error, "") << targetWidth;
            EXPECT_TRUE(cut.rows == complete.rows) << targetWidth;
        }

    for (const auto& [name, bytes] : damaged) {
        SCOPED_TRACE(name);
        for (const auto& [targetWidth, targetHeight] : {std::pair{0, 0}, {50, 40}}) {
            const Outcome one = decodeRows(bytes, targetWidth, targetHeight, JpegSplit::Never);
            const Outcome two = decodeRows(bytes, targetWidth, targetHeight, JpegSplit::Always);
            EXPECT_EQ(one.error, two.error);
            if (one.error.empty()) {
                EXPECT_TRUE(one.rows == two.rows);
            }
        }
    }
}

TEST(JpegSplitTakeOver, RowsAreTheSameWhicheverThreadMakesThem)
{
    // Large enough to be cut when worth it; which thread decodes the lower rows then depends on
    // which gets there first.
    JpegSpec spec{"420", 3, JCS_YCbCr, 2, 2};
    spec.width = 640;
    spec.height = 480;
    spec.quality = 95;
    const Bytes file = photoJpeg(spec);
    ASSERT_GT(file.size(), std::size_t(128) << 10);
    const Outcome one = decodeRows(file, 100, 80, JpegSplit::Never);
    ASSERT_EQ(one.error, "");
    for (int run = 0; run < 10; ++run) {
        const Outcome either = decodeRows(file, 100, 80, JpegSplit::WhenWorthIt);
        EXPECT_EQ(either.error, "");
        EXPECT_TRUE(either.rows == one.rows) << "run " << run << (either.split ? ", split" : ", not split");
    }
}

TEST(JpegSplitKinds, OtherKindsOfFileAreDecodedAsOne)
{
    const std::vector<JpegSpec> others = {
        {"progressive", 3, JCS_YCbCr, 2, 2, true},
        {"arithmetic", 3, JCS_YCbCr, 2, 2, false, true},
        {"restart_markers", 3, JCS_YCbCr, 2, 2, false, false, true, 1},
        {"cmyk", 4, JCS_CMYK, 1, 1},
        {"ycck", 4, JCS_YCCK, 2, 2},
    };
    for (JpegSpec spec : others) {
        SCOPED_TRACE(spec.name);
        spec.width = 120;
        spec.height = 100;
        const Bytes file = photoJpeg(spec);
        const Outcome one = decodeRows(file, 0, 0, JpegSplit::Never);
        const Outcome two = decodeRows(file, 0, 0, JpegSplit::Always);
        EXPECT_EQ(two.error, "");
        EXPECT_FALSE(two.split);
        EXPECT_TRUE(one.rows == two.rows);
        if (spec.components == 3) {
            EXPECT_FALSE(splittableJpegLayout(file));
        }
    }
}

}  // namespace
}  // namespace tav::test
