// tavrenix-cli's container commands and names outside ASCII, through the real program: what
// wrap and unwrap write and refuse, and a picture and folders named in other scripts giving the
// very bytes of ASCII names (on Windows the names reach the program as UTF-16).
#include "app/ozj_container.h"
#include "app_test_support.h"
#include "cli_runner.h"

#include <gtest/gtest.h>

#include <set>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::runCli;
using test::slurp;
using test::TempDir;

COLORREF gradient(int x, int y) { return RGB(x * 3 % 256, y * 5 % 256, (x + y) % 256); }

std::set<std::string> namesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(CliContainerTest, WrapAndUnwrapGiveBackTheJpegAndRefuseWhatIsNone)
{
    TempDir dir;
    const fs::path bmp = test::writeBmp(dir, "in.bmp", 64, 48, gradient);
    const fs::path jpeg = dir / "in.jpg";
    ASSERT_EQ(runCli(dir, {"encode", bmp.string(), jpeg.string()}).status, 0);
    const std::string jpegBytes = slurp(jpeg);

    const fs::path ozj = dir / "in.ozj";
    const CliRun wrapped = runCli(dir, {"wrap", jpeg.string(), ozj.string()});
    ASSERT_EQ(wrapped.status, 0) << wrapped.err;
    const std::string ozjBytes = slurp(ozj);
    ASSERT_EQ(ozjBytes.size(), jpegBytes.size() + 24);
    EXPECT_EQ(ozjBytes.substr(24), jpegBytes);

    const fs::path back = dir / "back.jpg";
    ASSERT_EQ(runCli(dir, {"unwrap", ozj.string(), back.string()}).status, 0);
    EXPECT_EQ(slurp(back), jpegBytes);

    // A BMP is no JPEG to wrap, a JPEG no container to unwrap: refused, nothing written.
    const CliRun notJpeg = runCli(dir, {"wrap", bmp.string(), (dir / "bmp.ozj").string()});
    EXPECT_EQ(notJpeg.status, 1);
    EXPECT_NE(notJpeg.err.find("not a JPEG file"), std::string::npos) << notJpeg.err;
    const CliRun notOzj = runCli(dir, {"unwrap", jpeg.string(), (dir / "jpeg.jpg").string()});
    EXPECT_EQ(notOzj.status, 1);
    EXPECT_FALSE(fs::exists(dir / "bmp.ozj"));
    EXPECT_FALSE(fs::exists(dir / "jpeg.jpg"));
}

TEST(CliContainerTest, NamesInOtherScriptsGiveTheBytesOfAsciiNames)
{
    TempDir dir;
    const fs::path plain = test::writeBmp(dir, "photo.bmp", 700, 500, gradient);
    const fs::path named = dir / "Ñandú 写真";
    fs::create_directories(named / "partes ü");
    fs::create_directories(dir / "parts");
    fs::copy_file(plain, named / "foto ñ.bmp");

    ASSERT_EQ(runCli(dir, {"make", "--season", "3", "--loading-screen", (dir / "parts").string(), "--work-dir",
                              dir.path().string(), plain.string()})
                  .status,
        0);
    const CliRun run = runCli(dir, {"make", "--season", "3", "--loading-screen", (named / "partes ü").string(),
                                       "--work-dir", named.string(), (named / "foto ñ.bmp").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find((named / "partes ü").string()), std::string::npos) << run.out;
    const std::set<std::string> parts = namesIn(dir / "parts");
    ASSERT_EQ(parts.size(), 6u);
    EXPECT_EQ(namesIn(named / "partes ü"), parts);
    for (const std::string& part : parts)
        EXPECT_EQ(slurp(named / "partes ü" / part), slurp(dir / "parts" / part)) << part;

    ASSERT_EQ(runCli(dir, {"make", "--season", "0", "--startup-logo", (dir / "logo.ozj").string(), "--work-dir",
                              dir.path().string(), plain.string()})
                  .status,
        0);
    ASSERT_EQ(runCli(dir, {"make", "--season", "0", "--startup-logo", (named / "Intró.ozj").string(), "--work-dir",
                              named.string(), (named / "foto ñ.bmp").string()})
                  .status,
        0);
    EXPECT_EQ(slurp(named / "Intró.ozj"), slurp(dir / "logo.ozj"));

    const CliRun info = runCli(dir, {"info", (named / "foto ñ.bmp").string()});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("foto ñ.bmp: BMP"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace tav
