// The streamed encoder against the encoder that samples the whole picture: the same stream for
// every size, sampling and quality it takes on, and what it leaves on disk when it cannot.
#include "jpeg/streamed_encoder.h"

#include "platform/memory_surface.h"
#include "platform/picture.h"
#include "platform/run_time_error.h"
#include "platform/second_core.h"
#include "test_source.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tav {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Sampling {
    const char* name;
    std::array<int, 6> factors;  // H1 V1 H2 V2 H3 V3; all chroma 0 for grey
};

// One component; every factor the same; chroma subsampled each way; chroma of two sizes (two
// drawn images); a luminance smaller than the largest factors (no full-size component); the
// most blocks one MCU may hold.
const Sampling kOneScan[] = {
    {"default", {2, 2, 1, 1, 1, 1}},
    {"grey", {1, 1, 0, 0, 0, 0}},
    {"full", {1, 1, 1, 1, 1, 1}},
    {"2x1", {2, 1, 1, 1, 1, 1}},
    {"1x2", {1, 2, 1, 1, 1, 1}},
    {"two chroma sizes", {2, 2, 2, 1, 1, 1}},
    {"no full-size component", {2, 1, 1, 2, 1, 1}},
    {"ten blocks", {4, 2, 1, 1, 1, 1}},
};

class StreamedEncoder : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("tavrenix-streamed-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static test::Rgb pixel(int x, int y)
    {
        return {std::uint8_t(x * 7 + y * 3), std::uint8_t(200 - y * 5 + x % 13), std::uint8_t((x * y) ^ (x + 3 * y))};
    }

    static void configure(cJpeg& jpeg, const Sampling& sampling, int quality)
    {
        const auto& f = sampling.factors;
        jpeg.Quality(quality);
        jpeg.SetSamplingFrequencies(f[0], f[1], f[2], f[3], f[4], f[5]);
    }

    static Bytes readFile(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // The picture saved as a BMP, and the stream the whole-picture encoder makes of it.
    fs::path writeBmp(const test::SourcePicture& source, const std::string& name) const
    {
        const fs::path path = m_dir / name;
        SavePicture(source.bitmap(), path);
        return path;
    }

    fs::path m_dir;
};

TEST_F(StreamedEncoder, WritesTheStreamOfTheWholePictureEncoder)
{
    // The last sizes take several groups of bands, made on one core and on two.
    const std::pair<int, int> sizes[] = {{1, 1}, {7, 5}, {8, 8}, {17, 9}, {33, 31}, {64, 48}, {129, 67}, {90, 300}};
    for (const SecondCore policy : {SecondCore::Off, SecondCore::Forced})
    for (const auto& [width, height] : sizes) {
        const ScopedSecondCorePolicy cores(policy);
        const test::SourcePicture source(width, height, pixel);
        const fs::path bmp = writeBmp(source, "in.bmp");
        const PictureOpener open = [&] { return PictureReader::open(bmp); };
        for (const Sampling& sampling : kOneScan) {
            for (const int quality : {100, 75, 30}) {
                const std::string label = std::to_string(width) + "x" + std::to_string(height) + " " + sampling.name +
                    " q" + std::to_string(quality) + (policy == SecondCore::Forced ? " two cores" : " one core");
                cJpeg whole;
                configure(whole, sampling, quality);
                whole.Comment("a comment");
                ASSERT_EQ(whole.SampleHDC(source.hdc(), width, height, 0, 0), cJpeg::SampleStatus::Sampled) << label;
                const Bytes expected = whole.assembleStream();

                cJpeg settings;
                configure(settings, sampling, quality);
                settings.Comment("a comment");
                const fs::path out = m_dir / "out.jpg";
                fs::remove(out);
                ASSERT_EQ(encodeStreamed(settings, open, out), cJpeg::SaveStatus::Written) << label;
                EXPECT_EQ(readFile(out), expected) << label;
            }
        }
    }
}

TEST_F(StreamedEncoder, ReadsAJpegPictureRowByRowToo)
{
    const test::SourcePicture source(150, 90, pixel);
    cJpeg first;
    first.Quality(90);
    ASSERT_EQ(first.SampleHDC(source.hdc(), 150, 90, 0, 0), cJpeg::SampleStatus::Sampled);
    const fs::path jpeg = m_dir / "in.jpg";
    ASSERT_EQ(first.SaveFile(jpeg), cJpeg::SaveStatus::Written);

    // What the whole-picture encoder makes of the decoded picture.
    const std::unique_ptr<Picture> picture = LoadPicture(jpeg);
    const auto surface = MemorySurface::borrow(picture->Handle());
    cJpeg whole;
    whole.Quality(100);
    ASSERT_EQ(whole.SampleHDC(surface->hdc(), 150, 90, 0, 0), cJpeg::SampleStatus::Sampled);

    cJpeg settings;
    settings.Quality(100);
    const fs::path out = m_dir / "out.jpg";
    ASSERT_EQ(encodeStreamed(settings, [&] { return PictureReader::open(jpeg); }, out), cJpeg::SaveStatus::Written);
    EXPECT_EQ(readFile(out), whole.assembleStream());
}

TEST_F(StreamedEncoder, LeavesOtherFilesAndSeveralScansAlone)
{
    const test::SourcePicture source(40, 24, pixel);
    const fs::path bmp = writeBmp(source, "in.bmp");
    int opened = 0;
    const PictureOpener open = [&] {
        ++opened;
        return PictureReader::open(bmp);
    };
    cJpeg settings;

    // An existing file is never replaced; no name is no file.
    const fs::path existing = m_dir / "existing.jpg";
    std::ofstream(existing) << "keep";
    EXPECT_EQ(encodeStreamed(settings, open, existing), cJpeg::SaveStatus::FileExists);
    EXPECT_EQ(readFile(existing), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(encodeStreamed(settings, open, ""), cJpeg::SaveStatus::NoFileName);

    // Sixteen luminance blocks to an MCU make two scans: left to the whole-picture encoder,
    // with nothing written.
    settings.SetSamplingFrequencies(4, 4, 1, 1, 1, 1);
    const fs::path out = m_dir / "out.jpg";
    opened = 0;
    EXPECT_EQ(encodeStreamed(settings, open, out), std::nullopt);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_LE(opened, 1);
}

TEST_F(StreamedEncoder, AFailureWhileWritingRemovesThePartialFile)
{
    // The picture reads well while the tables are made and turns out cut short when it is read
    // again to be written: the file begun is taken away.
    const test::SourcePicture source(300, 200, pixel);
    const fs::path bmp = writeBmp(source, "in.bmp");
    const fs::path cut = m_dir / "cut.bmp";
    fs::copy_file(bmp, cut);
    fs::resize_file(cut, fs::file_size(bmp) / 2);
    for (const SecondCore policy : {SecondCore::Off, SecondCore::Forced}) {
        const ScopedSecondCorePolicy cores(policy);
        int opened = 0;
        const PictureOpener open = [&] { return PictureReader::open(++opened >= 4 ? cut : bmp); };
        cJpeg settings;
        const fs::path out = m_dir / "out.jpg";
        try {
            encodeStreamed(settings, open, out);
            ADD_FAILURE() << "a picture cut short was written";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrInvalidPicture) << e.what();
        }
        EXPECT_EQ(opened, 4);
        EXPECT_FALSE(fs::exists(out));
    }
}

}  // namespace
}  // namespace tav
