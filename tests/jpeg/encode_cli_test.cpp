// tavrenix-cli encode: the stream written equals the encoder's own for the same settings, an
// existing OUT is refused untouched, refused settings print the encoder's message, and every
// failure exits non-zero without writing OUT.
#include "jpeg/cjpeg.h"
#include "platform/picture.h"
#include "test_source.h"
#include "tests/support/cli_under_test.h"
#include "tests/support/fixed_texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#ifdef TAVRENIX_CLI

namespace tav {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct CliRun {
    int status = -1;
    std::string errors;
};

CliRun runCli(const std::string& arguments, const fs::path& dir)
{
    const fs::path errorFile = dir / "stderr.txt";
    const std::string command = test::cliUnderTest(TAVRENIX_CLI) + " " + arguments + " 2>" + errorFile.string();
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errorFile);
    run.errors = test::printedAsOnLinux(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    return run;
}

Bytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class EncodeCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
            ("tavrenix_cli_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        SavePicture(m_source.bitmap(), m_dir / "in.bmp");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string in() const { return (m_dir / "in.bmp").string(); }
    std::string out(const char* name) const { return (m_dir / name).string(); }

    static test::Rgb pixel(int x, int y)
    {
        return {std::uint8_t(x * 9 + y), std::uint8_t(200 - y * 5), std::uint8_t(x * y)};
    }
    test::SourcePicture m_source{29, 19, pixel};
    fs::path m_dir;
};

TEST_F(EncodeCli, WritesTheEncodersStream)
{
    const struct Row {
        const char* name;
        const char* options;
        int quality;
        std::array<int, 6> factors;
        const char* comment;
    } rows[] = {
        {"defaults", "", 75, {2, 2, 1, 1, 1, 1}, nullptr},
        {"quality 100 grey", "--quality 100 --grey", 100, {1, 1, 0, 0, 0, 0}, nullptr},
        {"sampling and comment", "--quality 30 --sampling 1x2,1x1,1x1 --comment 'made by a test'", 30,
            {1, 2, 1, 1, 1, 1}, "made by a test"},
        // Sixteen luminance blocks to an MCU: two scans, so the picture is sampled whole.
        {"several scans", "--quality 90 --sampling 4x4,1x1,1x1", 90, {4, 4, 1, 1, 1, 1}, nullptr},
    };
    for (const Row& row : rows) {
        const std::string file = out(row.name) + ".jpg";
        const CliRun run = runCli(std::string("encode ") + row.options + " " + in() + " '" + file + "'", m_dir);
        ASSERT_EQ(run.status, 0) << row.name << ": " << run.errors;
        EXPECT_EQ(run.errors, "") << row.name;

        cJpeg jpeg;
        jpeg.Quality(row.quality);
        const auto& f = row.factors;
        jpeg.SetSamplingFrequencies(f[0], f[1], f[2], f[3], f[4], f[5]);
        if (row.comment)
            jpeg.Comment(row.comment);
        ASSERT_EQ(jpeg.SampleHDC(m_source.hdc(), 29, 19, 0, 0), cJpeg::SampleStatus::Sampled);
        EXPECT_EQ(readFile(file), jpeg.assembleStream()) << row.name;
    }
}

TEST_F(EncodeCli, RefusesAnExistingOutput)
{
    const std::string file = out("existing.jpg");
    std::ofstream(file) << "old";
    const CliRun run = runCli("encode " + in() + " " + file, m_dir);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.errors.rfind("tavrenix-cli: error: " + file + ": not written:", 0), 0u) << run.errors;
    EXPECT_EQ(readFile(file), (Bytes{'o', 'l', 'd'}));
}

TEST_F(EncodeCli, FailuresExitNonZeroAndWriteNothing)
{
    const struct Row {
        const char* name;
        std::string arguments;
        std::string message;  // expected on standard error
    } rows[] = {
        {"sampling value", "--sampling 5x1,1x1,1x1 " + in(),
            "tavrenix-cli: error: " + std::string(fixed::kInvalidSamplingValue) + "\n"},
        {"comment length", "--comment " + std::string(65534, 'x') + " " + in(),
            "tavrenix-cli: error: " + std::string(fixed::kIllegalCommentLength) + "\n"},
        {"comment character", "--comment '\xCE\xB1' " + in(), "not written: Overflow"},
        {"quality", "--quality 101 " + in(), "--quality"},
        {"sampling format", "--sampling 2x2 " + in(), "--sampling"},
        {"missing picture", out("missing.bmp"), "File not found"},
    };
    for (const Row& row : rows) {
        if (row.arguments.size() > 32000 && test::cliUnderTestIsWindows())
            continue;  // longer than any Windows command line
        const std::string file = out("refused.jpg");
        const CliRun run = runCli("encode " + row.arguments + " " + file, m_dir);
        EXPECT_NE(run.status, 0) << row.name;
        EXPECT_NE(run.errors.find(row.message), std::string::npos) << row.name << ": " << run.errors;
        EXPECT_FALSE(fs::exists(file)) << row.name;
    }
}

}  // namespace
}  // namespace tav

#endif
