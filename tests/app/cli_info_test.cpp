// The real tavrenix-cli binary: info lines, errors for unreadable files, help and version.
#include "app_test_support.h"
#include "cli_runner.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tav {
namespace {

using test::CliRun;
using test::runCli;
using test::TempDir;

std::vector<std::uint8_t> gifHeader(unsigned width, unsigned height)
{
    return {'G', 'I', 'F', '8', '9', 'a', std::uint8_t(width), std::uint8_t(width >> 8), std::uint8_t(height),
        std::uint8_t(height >> 8), 0xF7, 0, 0, ';'};
}

std::vector<std::uint8_t> jpegHeader(unsigned width, unsigned height)
{
    std::vector<std::uint8_t> j = {0xFF, 0xD8, 0xFF, 0xC2, 0, 17, 8, std::uint8_t(height >> 8), std::uint8_t(height),
        std::uint8_t(width >> 8), std::uint8_t(width), 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    j.insert(j.end(), 12, 0);
    j.push_back(0xFF);
    j.push_back(0xD9);
    return j;
}

TEST(CliInfoTest, OneLinePerFile)
{
    TempDir dir;
    const auto gif = dir.write("a.gif", gifHeader(300, 200));
    const auto jpg = dir.write("b.jpg", jpegHeader(640, 480));
    const auto bmp = test::writeBmp(dir, "c.bmp", 5, 3, [](int, int) { return 0; });
    const auto txt = dir.write("d.txt", std::vector<std::uint8_t>(20, 'z'));
    const auto bmpSize = std::filesystem::file_size(bmp);

    const CliRun run = runCli(dir, {"info", gif.string(), jpg.string(), bmp.string(), txt.string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
        gif.string() + ": GIF, ImageType 1, 300 x 200, depth 8, 14 bytes\n" + jpg.string() +
            ": JPEG, ImageType 2, 640 x 480, depth 24, 35 bytes\n" + bmp.string() +
            ": BMP, ImageType 4, 5 x 3, depth 24, " + std::to_string(bmpSize) + " bytes\n" + txt.string() +
            ": unknown, ImageType 0, 0 x 0, depth 0, 20 bytes\n");
}

// Files that cannot be read are named on standard error, the others still reported, and the
// exit status says that not everything was read.
TEST(CliInfoTest, UnreadableFilesAreReportedAndTheRestStillExamined)
{
    TempDir dir;
    const auto gif = dir.write("a.gif", gifHeader(1, 1));
    const auto missing = dir / "missing.png";
    const auto tiny = dir.write("tiny", {'B', 'M'});
    const auto cut = dir.write("cut.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0});

    const CliRun run =
        runCli(dir, {"info", missing.string(), gif.string(), dir.path().string(), tiny.string(), cut.string()});
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, gif.string() + ": GIF, ImageType 1, 1 x 1, depth 8, 14 bytes\n");
    EXPECT_EQ(run.err,
        "tavrenix-cli: error: " + missing.string() + ": File not found\n" +
            "tavrenix-cli: error: " + dir.path().string() + ": Path/File access error: is a folder, not a file\n" +
            "tavrenix-cli: error: " + tiny.string() +
            ": Subscript out of range: the file ends inside its BMP header\n" + "tavrenix-cli: error: " + cut.string() +
            ": Subscript out of range: the file ends inside its GIF header\n");
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(CliInfoTest, HelpVersionAndUsageErrors)
{
    TempDir dir;
    const CliRun version = runCli(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("tavrenix-cli ") + TAVRENIX_VERSION + "\n");

    const CliRun help = runCli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("info"), std::string::npos);
    EXPECT_EQ(help.err, "");

    const CliRun infoHelp = runCli(dir, {"info", "--help"});
    EXPECT_EQ(infoHelp.status, 0);
    EXPECT_NE(infoHelp.out.find("PICTURE"), std::string::npos);
    EXPECT_NE(infoHelp.out.find("6 TIFF"), std::string::npos);

    for (const std::vector<std::string>& args :
        {std::vector<std::string>{}, {"info"}, {"frobnicate"}, {"info", "--no-such-option", "x"}}) {
        const CliRun bad = runCli(dir, args);
        EXPECT_EQ(bad.status, 2) << bad.err;
        EXPECT_EQ(bad.err.rfind("tavrenix-cli: error: ", 0), 0u) << bad.err;
        EXPECT_EQ(bad.out, "");
    }
}

}  // namespace
}  // namespace tav
