// Golden streams: whole files for fixed pictures across qualities, sampling factors and a
// comment, pinned by their size and FNV-1a hash. The expected values were computed by a
// separate implementation of the same arithmetic, not by this encoder:
// tests/jpeg/reference/make_golden.py prints these rows (it needs kCreditText as its own
// constant). A mismatch writes the stream to artifacts/jpeg/ for inspection.
#include "jpeg/cjpeg.h"
#include "test_source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tav {
namespace {

// The test picture: a little structure and a little hash noise in every channel.
test::Rgb goldenPixel(int x, int y)
{
    const auto ux = std::uint32_t(x);
    const auto uy = std::uint32_t(y);
    const std::uint32_t h = (ux * 2654435761u) ^ (uy * 40503u) ^ (ux * uy * 97u);
    return {std::uint8_t((x * 5 + y * 3 + int(h >> 27)) & 255), std::uint8_t((255 - 4 * y + int((h >> 20) & 15)) & 255),
        std::uint8_t((x * y + int((h >> 12) & 63)) & 255)};
}

std::uint64_t fnv1a(const std::vector<std::uint8_t>& bytes)
{
    std::uint64_t h = 14695981039346656037ULL;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ULL;
    }
    return h;
}

struct Golden {
    const char* name;
    int width;
    int height;
    int quality;
    std::array<int, 6> factors;
    const char* comment;
    std::uint64_t hash;
    std::size_t size;
};

class GoldenStream : public ::testing::TestWithParam<Golden> { };

TEST_P(GoldenStream, MatchesTheIndependentImplementation)
{
    const Golden& g = GetParam();
    test::SourcePicture source(g.width, g.height, goldenPixel);
    cJpeg jpeg;
    jpeg.Quality(g.quality);
    const auto& f = g.factors;
    jpeg.SetSamplingFrequencies(f[0], f[1], f[2], f[3], f[4], f[5]);
    if (g.comment)
        jpeg.Comment(g.comment);
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), g.width, g.height, 0, 0), cJpeg::SampleStatus::Sampled);
    const std::vector<std::uint8_t> stream = jpeg.assembleStream();
    const bool same = stream.size() == g.size && fnv1a(stream) == g.hash;
    EXPECT_TRUE(same) << g.name << ": " << stream.size() << " bytes, hash 0x" << std::hex << fnv1a(stream);
    if (!same) {
        const std::filesystem::path dir = std::filesystem::path("artifacts") / "jpeg";
        std::filesystem::create_directories(dir);
        std::ofstream(dir / (std::string(g.name) + ".actual.jpg"), std::ios::binary)
            .write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, GoldenStream,
    ::testing::Values(Golden{"q100_default", 37, 23, 100, {2, 2, 1, 1, 1, 1}, nullptr, 0xD6AE4DE8E856C5CBULL, 1791u},
        Golden{"q75_2x1", 37, 23, 75, {2, 1, 1, 1, 1, 1}, nullptr, 0x16E7B59CD7F14BD5ULL, 856u},
        Golden{"q50_grey", 64, 40, 50, {1, 1, 0, 0, 0, 0}, nullptr, 0x3947443BFB0560E4ULL, 687u},
        Golden{"q30_4x4", 29, 41, 30, {4, 4, 1, 1, 1, 1}, nullptr, 0x01D233A26AA02B05ULL, 583u},
        Golden{"q90_all2x2", 33, 35, 90, {2, 2, 2, 2, 2, 2}, nullptr, 0x594F49775E47C4D3ULL, 1840u},
        Golden{"q10_3x3_comment", 50, 17, 10, {3, 3, 1, 1, 1, 1}, "Tavrenix", 0x0173796F3F4088FCULL, 497u},
        Golden{"q100_1x2", 31, 9, 100, {1, 2, 1, 1, 1, 1}, nullptr, 0xEFB48951E618E877ULL, 1132u},
        Golden{"q1_1x1", 20, 20, 1, {1, 1, 1, 1, 1, 1}, nullptr, 0x01A4EEE310C7174AULL, 398u}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tav
