// The stream layout and SaveFile: exact bytes of small images, segment layouts, buffer sizing,
// and the file handling (no file unless the stream is complete, never over an existing file).
#include "jpeg/file_writer.h"

#include "jpeg/cjpeg.h"
#include "jpeg/errors.h"
#include "jpeg/scan_writer.h"
#include "test_source.h"
#include "tests/support/fixed_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace tav {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

void append(Bytes& out, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        out.push_back(std::uint8_t(b));
}
void appendRepeated(Bytes& out, int byte, int count) { out.insert(out.end(), std::size_t(count), std::uint8_t(byte)); }

Bytes creditSegment()
{
    Bytes out;
    const std::size_t n = std::strlen(kCreditText);
    append(out, {0xFF, 0xFE, int((n + 2) >> 8), int((n + 2) & 0xFF)});
    out.insert(out.end(), kCreditText, kCreditText + n);
    return out;
}

Bytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Position of the first occurrence of `needle`, or -1.
std::ptrdiff_t find(const Bytes& haystack, const Bytes& needle)
{
    const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
    return it == haystack.end() ? -1 : it - haystack.begin();
}

test::Rgb white(int, int) { return {255, 255, 255}; }

class TempDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
            ("tavrenix_jpeg_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_dir, ignored);
    }
    fs::path m_dir;
};

TEST(JpegStream, OneWhitePixelAtQuality100IsExact)
{
    test::SourcePicture source(1, 1, white);
    cJpeg jpeg;
    jpeg.Quality(100);
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 1, 1, 0, 0), cJpeg::SampleStatus::Sampled);

    Bytes expected;
    append(expected, {0xFF, 0xD8});
    append(expected,
        {0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00});
    const Bytes credit = creditSegment();
    expected.insert(expected.end(), credit.begin(), credit.end());
    append(expected, {0xFF, 0xDB, 0x00, 0x43, 0x00});
    appendRepeated(expected, 0x01, 64);
    append(expected, {0xFF, 0xDB, 0x00, 0x43, 0x01});
    appendRepeated(expected, 0x01, 64);
    append(expected,
        {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x01, 0x00, 0x01, 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
            0x01});
    append(expected, {0xFF, 0xC4, 0x00, 0x15, 0x00, 0x01, 0x01});
    appendRepeated(expected, 0x00, 14);
    append(expected, {0x00, 0x0A});
    for (int classAndId : {0x10, 0x01, 0x11}) {
        append(expected, {0xFF, 0xC4, 0x00, 0x14, classAndId, 0x01});
        appendRepeated(expected, 0x00, 15);
        append(expected, {0x00});
    }
    append(expected, {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00});
    append(expected, {0xBF, 0x80, 0x01});
    append(expected, {0xFF, 0xD9});

    EXPECT_EQ(jpeg.assembleStream(), expected);
}

TEST(JpegStream, CreditTextHasThreeLinesStartingWithTheEncoderName)
{
    const std::string credit = kCreditText;
    EXPECT_EQ(credit.rfind("JPEG Encoder Class\r\n", 0), 0u);
    EXPECT_EQ(std::count(credit.begin(), credit.end(), '\n'), 2);
    EXPECT_EQ(std::count(credit.begin(), credit.end(), '\r'), 2);
    EXPECT_NE(credit.back(), '\n');
}

TEST(JpegStream, CallersCommentComesBetweenApp0AndTheCredit)
{
    test::SourcePicture source(3, 2, white);
    cJpeg jpeg;
    jpeg.Comment("abc");
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 3, 2, 0, 0), cJpeg::SampleStatus::Sampled);
    const Bytes stream = jpeg.assembleStream();
    const Bytes comment = {0xFF, 0xFE, 0x00, 0x05, 0x61, 0x62, 0x63};
    EXPECT_EQ(find(stream, comment), 2 + 18);
    EXPECT_EQ(find(stream, creditSegment()), 2 + 18 + 7);
}

TEST(JpegStream, CommentIsWrittenInCodePage1252)
{
    test::SourcePicture source(1, 1, white);
    cJpeg jpeg;
    jpeg.Comment("caf\xC3\xA9 \xE2\x82\xAC");  // "café €"
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 1, 1, 0, 0), cJpeg::SampleStatus::Sampled);
    const Bytes comment = {0xFF, 0xFE, 0x00, 0x08, 'c', 'a', 'f', 0xE9, ' ', 0x80};
    EXPECT_EQ(find(jpeg.assembleStream(), comment), 2 + 18);
}

TEST(JpegStream, GreyImageHasOneTableOfEachKind)
{
    test::SourcePicture source(9, 9, [](int x, int y) {
        return test::Rgb{std::uint8_t(x * 20), std::uint8_t(y * 20), 7};
    });
    cJpeg jpeg;
    jpeg.SetSamplingFrequencies(1, 1, 0, 0, 0, 0);
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 9, 9, 0, 0), cJpeg::SampleStatus::Sampled);
    const Bytes stream = jpeg.assembleStream();

    const auto count = [&](std::uint8_t marker) {
        int n = 0;
        for (std::size_t i = 0; i + 1 < stream.size(); ++i)
            n += stream[i] == 0xFF && stream[i + 1] == marker;
        return n;
    };
    EXPECT_EQ(count(0xDB), 1);
    EXPECT_EQ(count(0xC4), 2);
    EXPECT_EQ(count(0xDA), 1);
    const Bytes sof = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x09, 0x00, 0x09, 0x01, 0x01, 0x11, 0x00};
    EXPECT_NE(find(stream, sof), -1);
    const Bytes sos = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
    EXPECT_NE(find(stream, sos), -1);
}

TEST(JpegStream, SamplingFourByFourCodesChromaInASecondScan)
{
    test::SourcePicture source(40, 24, [](int x, int y) {
        return test::Rgb{std::uint8_t(x * 6), 90, std::uint8_t(y * 9)};
    });
    cJpeg jpeg;
    jpeg.SetSamplingFrequencies(4, 4, 1, 1, 1, 1);
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 40, 24, 0, 0), cJpeg::SampleStatus::Sampled);
    const Bytes stream = jpeg.assembleStream();
    const Bytes firstScan = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
    const Bytes secondScan = {0xFF, 0xDA, 0x00, 0x0A, 0x02, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00};
    const std::ptrdiff_t first = find(stream, firstScan);
    ASSERT_NE(first, -1);
    EXPECT_GT(find(stream, secondScan), first);
}

TEST(JpegSegments, Dqt)
{
    OutputBuffer out(200);
    QuantTable table;
    for (std::size_t k = 0; k < 64; ++k)
        table.Qk[k] = std::int16_t(k + 1);
    WriteDQT(out, 0, table, 1, 8);
    ASSERT_EQ(out.position(), 69u);
    const Bytes bytes(out.data(), out.data() + 69);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 5), (Bytes{0xFF, 0xDB, 0x00, 0x43, 0x01}));
    EXPECT_EQ(bytes[5], 1);
    EXPECT_EQ(bytes[68], 64);

    // A 16-bit table: refused at precision 8, written two bytes an entry at precision 12.
    table.Qk[10] = 300;
    OutputBuffer refused(200);
    try {
        WriteDQT(refused, 0, table, 0, 8);
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), 1);
        EXPECT_EQ(std::string_view(e.what()), fixed::kIllegalQuantPrecision);
    }
    OutputBuffer wide(200);
    WriteDQT(wide, 0, table, 0, 12);
    ASSERT_EQ(wide.position(), 4u + 1 + 128);
    EXPECT_EQ(wide.data()[3], 131);
    EXPECT_EQ(wide.data()[4], 0x10);
    EXPECT_EQ(wide.data()[5 + 2 * 10], 0x01);
    EXPECT_EQ(wide.data()[5 + 2 * 10 + 1], 0x2C);
}

TEST(JpegSegments, DhtListsBitsAndTheUsedSymbolsOnly)
{
    HuffmanTable table;
    table.BITS[1] = 2;
    table.BITS[2] = 1;
    table.HUFFVAL[0] = 3;
    table.HUFFVAL[1] = 4;
    table.HUFFVAL[2] = 0x11;
    table.HUFFVAL[3] = 0x99;  // not part of the table
    OutputBuffer out(100);
    out.put(0xAA);
    WriteDHT(out, 1, table, 1, 1);
    const Bytes expected = {0xAA, 0xFF, 0xC4, 0x00, 0x16, 0x11, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 4,
        0x11};
    EXPECT_EQ(Bytes(out.data(), out.data() + out.position()), expected);
}

TEST(JpegSegments, SofRefusesSidesAbove65535)
{
    std::vector<JpegComponent> components(1);
    components[0] = {1, 1, 1, 0, {}};
    for (auto [w, h] : {std::pair{65536, 1}, std::pair{1, 65536}}) {
        OutputBuffer out(100);
        try {
            WriteSOF(out, 0xC0, 8, w, h, components);
            FAIL() << "no error for " << w << " x " << h;
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrOverflow);
        }
    }
    OutputBuffer out(100);
    WriteSOF(out, 0xC0, 8, 65535, 65535, components);
    EXPECT_EQ(out.position(), 13u);
}

TEST(JpegSegments, App0NeedsEighteenBytesOfRoom)
{
    OutputBuffer small(17);
    try {
        WriteAPP0(small);
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrSubscriptOutOfRange);
    }
    EXPECT_EQ(small.position(), 0u);
}

TEST(JpegBufferSize, RuleRoundsHalvesToEven)
{
    // Last index round(E * 1.3 + 1000 + C); the buffer holds one byte more.
    EXPECT_EQ(estimatedBufferSize(3, 0), 1005u);  // 1003.9 -> 1004
    EXPECT_EQ(estimatedBufferSize(5, 0), 1007u);  // 1006.5 -> 1006
    EXPECT_EQ(estimatedBufferSize(15, 0), 1021u);  // 1019.5 -> 1020
    EXPECT_EQ(estimatedBufferSize(0, 7), 1008u);
}

// Coefficients that code as 15 one-bits after every 1-bit code: half the entropy-coded bytes
// are 0xFF and need a stuffed 0x00, more than the old sizing rule leaves room for.
TEST(JpegBufferSize, StuffingCannotOverflowTheBuffer)
{
    JpegComponent grey{1, 1, 1, 0, {}};
    const int side = 64;
    grey.Coefficients.assign(std::size_t(side * side), 32767);
    for (std::size_t i = 0; i < grey.Coefficients.size(); i += 64)
        grey.Coefficients[i] = 0;
    const ScanComponent list[1] = {{&grey, 0, 0}};
    const ScanGeometry geometry{side, side, 1, 1};
    HuffmanTableSet dc;
    HuffmanTableSet ac;
    const std::int64_t estimate = OptimizeTables(list, 0, 0, geometry, 8, dc, ac);

    // What the scan alone needs exceeds the old rule's whole buffer.
    OutputBuffer unbounded(std::size_t(4 * estimate));
    WriteScans(list, 0, 0, geometry, dc, ac, unbounded);
    EXPECT_GT(unbounded.position(), estimatedBufferSize(estimate, 0));
    EXPECT_LE(unbounded.position(), guaranteedBufferSize(estimate, 0, std::strlen(kCreditText), 1));
}

TEST_F(TempDir, SavedFileIsTheAssembledStream)
{
    test::SourcePicture source(30, 17, [](int x, int y) {
        return test::Rgb{std::uint8_t(x * 8), std::uint8_t(y * 15), 200};
    });
    cJpeg jpeg;
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 30, 17, 0, 0), cJpeg::SampleStatus::Sampled);
    EXPECT_EQ(jpeg.SaveFile(m_dir / "a.jpg"), cJpeg::SaveStatus::Written);
    EXPECT_EQ(jpeg.SaveFile(m_dir / "b.jpg"), cJpeg::SaveStatus::Written);
    const Bytes a = readFile(m_dir / "a.jpg");
    EXPECT_EQ(a, readFile(m_dir / "b.jpg"));
    EXPECT_EQ(a, jpeg.assembleStream());
    ASSERT_GE(a.size(), 4u);
    EXPECT_EQ(a[a.size() - 2], 0xFF);
    EXPECT_EQ(a[a.size() - 1], 0xD9);
}

TEST_F(TempDir, SaveFileRefusesAnEmptyNameAndExistingFiles)
{
    test::SourcePicture source(4, 4, white);
    cJpeg jpeg;
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 4, 4, 0, 0), cJpeg::SampleStatus::Sampled);
    EXPECT_EQ(jpeg.SaveFile(""), cJpeg::SaveStatus::NoFileName);

    const fs::path existing = m_dir / "existing.jpg";
    std::ofstream(existing) << "keep me";
    fs::permissions(existing, fs::perms::owner_read);  // read-only counts as well
    EXPECT_EQ(jpeg.SaveFile(existing), cJpeg::SaveStatus::FileExists);
    fs::permissions(existing, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(existing), (Bytes{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));

    const fs::path hidden = m_dir / ".hidden";
    std::ofstream(hidden) << "x";
    EXPECT_EQ(jpeg.SaveFile(hidden), cJpeg::SaveStatus::FileExists);

    // A dangling link is not written through.
    const fs::path link = m_dir / "link.jpg";
    fs::create_symlink(m_dir / "nowhere.jpg", link);
    EXPECT_EQ(jpeg.SaveFile(link), cJpeg::SaveStatus::FileExists);
    EXPECT_FALSE(fs::exists(m_dir / "nowhere.jpg"));
}

TEST_F(TempDir, FailedSavesLeaveNoFile)
{
    const auto expectError = [&](cJpeg& jpeg, const fs::path& path, int number) {
        try {
            jpeg.SaveFile(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), number) << path << ": " << e.what();
        }
        EXPECT_FALSE(fs::exists(path)) << path;
    };

    cJpeg fresh;  // never sampled
    expectError(fresh, m_dir / "fresh.jpg", kErrSubscriptOutOfRange);

    test::SourcePicture wide(65536, 1, white);
    cJpeg tooWide;
    tooWide.SetSamplingFrequencies(1, 1, 0, 0, 0, 0);
    ASSERT_EQ(tooWide.SampleHDC(wide.hdc(), 65536, 1, 0, 0), cJpeg::SampleStatus::Sampled);
    expectError(tooWide, m_dir / "wide.jpg", kErrOverflow);

    test::SourcePicture small(2, 2, white);
    cJpeg greek;
    greek.Comment("\xCE\xB1");  // Greek alpha: no single byte in code page 1252
    ASSERT_EQ(greek.SampleHDC(small.hdc(), 2, 2, 0, 0), cJpeg::SampleStatus::Sampled);
    expectError(greek, m_dir / "alpha.jpg", kErrOverflow);

    // A folder of that name is not an existing file; creating the file fails.
    fs::create_directory(m_dir / "folder.jpg");
    cJpeg good;
    ASSERT_EQ(good.SampleHDC(small.hdc(), 2, 2, 0, 0), cJpeg::SampleStatus::Sampled);
    try {
        good.SaveFile(m_dir / "folder.jpg");
        ADD_FAILURE() << "no error for a folder";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrPathFileAccess);
    }
    EXPECT_TRUE(fs::is_directory(m_dir / "folder.jpg"));

    // An unwritable folder: error 75, nothing left behind.
    if (::geteuid() != 0) {
        fs::create_directory(m_dir / "locked");
        fs::permissions(m_dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        expectError(good, m_dir / "locked" / "x.jpg", kErrPathFileAccess);
    }
}

}  // namespace
}  // namespace tav
