// The encoder object: defaults, the validation of its settings and what survives a refusal.
#include "jpeg/cjpeg.h"
#include "jpeg/cjpeg_internals.h"

#include "jpeg/errors.h"
#include "test_source.h"
#include "tests/support/fixed_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tav {
namespace {

struct Factors {
    int h;
    int v;
    int tq;
    friend bool operator==(const Factors&, const Factors&) = default;
};

std::vector<Factors> factorsOf(const cJpeg& jpeg)
{
    std::vector<Factors> out;
    for (const JpegComponent& c : jpeg.components())
        out.push_back({c.Hi, c.Vi, c.Tqi});
    return out;
}

void PrintTo(const Factors& f, std::ostream* os) { *os << f.h << "x" << f.v << "/" << f.tq; }

void expectEncoderError(const std::function<void()>& call, std::string_view message)
{
    try {
        call();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), 1);
        EXPECT_EQ(std::string_view(e.what()), message);
    }
}

TEST(Encoder, Defaults)
{
    const cJpeg jpeg;
    EXPECT_EQ(jpeg.Quality(), 75);
    EXPECT_EQ(jpeg.Comment(), "");
    EXPECT_EQ(cJpegInternals::precision(jpeg), 0);
    EXPECT_EQ(cJpegInternals::imageWidth(jpeg), 0);
    EXPECT_EQ(cJpegInternals::imageHeight(jpeg), 0);
    EXPECT_EQ(factorsOf(jpeg), (std::vector<Factors>{{2, 2, 0}, {1, 1, 1}, {1, 1, 1}}));
    EXPECT_EQ(jpeg.hmax(), 2);
    EXPECT_EQ(jpeg.vmax(), 2);
    for (const JpegComponent& c : jpeg.components())
        EXPECT_TRUE(c.Coefficients.empty());
    EXPECT_EQ(jpeg.quantTable(0).Qk[0], 8);  // quality 75 tables are built
}

TEST(Encoder, SamplingFactors)
{
    const struct Row {
        const char* name;
        std::array<int, 6> args;
        std::vector<Factors> components;
        int hmax;
        int vmax;
    } rows[] = {
        {"grey 1x1", {1, 1, 0, 0, 0, 0}, {{1, 1, 0}}, 1, 1},
        {"grey ignores H1 V1", {3, 2, 0, 0, 0, 0}, {{1, 1, 0}}, 1, 1},
        {"4x4", {4, 4, 1, 1, 1, 1}, {{4, 4, 0}, {1, 1, 1}, {1, 1, 1}}, 4, 4},
        {"maxima over all", {1, 3, 2, 1, 1, 4}, {{1, 3, 0}, {2, 1, 1}, {1, 4, 1}}, 2, 4},
    };
    for (const Row& row : rows) {
        cJpeg jpeg;
        const auto& a = row.args;
        jpeg.SetSamplingFrequencies(a[0], a[1], a[2], a[3], a[4], a[5]);
        EXPECT_EQ(factorsOf(jpeg), row.components) << row.name;
        EXPECT_EQ(jpeg.hmax(), row.hmax) << row.name;
        EXPECT_EQ(jpeg.vmax(), row.vmax) << row.name;
    }
}

TEST(Encoder, InvalidSamplingFactorsKeepTheComponents)
{
    const std::array<int, 6> refused[] = {
        {2, 2, 0, 1, 1, 1},  // H2 is 0 while not all four are
        {5, 1, 1, 1, 1, 1},
        {1, 5, 1, 1, 1, 1},
        {1, 1, 5, 1, 1, 1},
        {1, 1, 1, 5, 1, 1},
        {1, 1, 1, 1, 5, 1},
        {1, 1, 1, 1, 1, 5},
        {0, 1, 0, 0, 0, 0},  // H1 and V1 are checked for grey too
        {5, 1, 0, 0, 0, 0},
        {-1, 1, 1, 1, 1, 1},
    };
    for (const auto& a : refused) {
        cJpeg jpeg;
        jpeg.SetSamplingFrequencies(3, 1, 1, 2, 1, 1);
        expectEncoderError([&] { jpeg.SetSamplingFrequencies(a[0], a[1], a[2], a[3], a[4], a[5]); },
            fixed::kInvalidSamplingValue);
        EXPECT_EQ(factorsOf(jpeg), (std::vector<Factors>{{3, 1, 0}, {1, 2, 1}, {1, 1, 1}}));
        EXPECT_EQ(jpeg.hmax(), 3);
        EXPECT_EQ(jpeg.vmax(), 2);
    }
}

TEST(Encoder, CommentLength)
{
    cJpeg jpeg;
    jpeg.Comment("kept");
    const std::string longest(65533, 'c');
    jpeg.Comment(longest);
    EXPECT_EQ(jpeg.Comment(), longest);
    expectEncoderError([&] { jpeg.Comment(std::string(65534, 'c')); }, fixed::kIllegalCommentLength);
    EXPECT_EQ(jpeg.Comment(), longest);

    // Characters, not bytes: 65533 two-byte characters are allowed.
    std::string accented;
    for (int i = 0; i < 65533; ++i)
        accented += "\xC3\xA9";
    EXPECT_NO_THROW(jpeg.Comment(accented));
    expectEncoderError([&] { jpeg.Comment(accented + "\xC3\xA9"); }, fixed::kIllegalCommentLength);
}

TEST(Encoder, LongestCommentIsWritten)
{
    test::SourcePicture source(2, 2, [](int, int) { return test::Rgb{1, 2, 3}; });
    cJpeg jpeg;
    jpeg.Comment(std::string(65533, 'z'));
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 2, 2, 0, 0), cJpeg::SampleStatus::Sampled);
    const std::vector<std::uint8_t> stream = jpeg.assembleStream();
    ASSERT_GT(stream.size(), 20u + 65537u);
    EXPECT_EQ(stream[20], 0xFF);
    EXPECT_EQ(stream[21], 0xFE);
    EXPECT_EQ(stream[22], 0xFF);  // length 65535
    EXPECT_EQ(stream[23], 0xFF);
    EXPECT_EQ(stream[24 + 65532], 'z');
    EXPECT_EQ(stream[24 + 65533], 0xFF);  // the credit segment follows
    EXPECT_EQ(stream[24 + 65534], 0xFE);
}

TEST(Encoder, NewSamplingFactorsDiscardTheCoefficients)
{
    test::SourcePicture source(16, 16, [](int x, int y) {
        return test::Rgb{std::uint8_t(x * 16), std::uint8_t(y * 16), 0};
    });
    cJpeg jpeg;
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 16, 16, 0, 0), cJpeg::SampleStatus::Sampled);
    EXPECT_NO_THROW(jpeg.assembleStream());
    jpeg.SetSamplingFrequencies(1, 1, 1, 1, 1, 1);
    for (const JpegComponent& c : jpeg.components())
        EXPECT_TRUE(c.Coefficients.empty());
    try {
        jpeg.assembleStream();
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrSubscriptOutOfRange);
    }
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 16, 16, 0, 0), cJpeg::SampleStatus::Sampled);
    EXPECT_NO_THROW(jpeg.assembleStream());
}

}  // namespace
}  // namespace tav
