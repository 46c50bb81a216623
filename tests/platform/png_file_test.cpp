// The PNG writer: what it writes reads back through libpng pixel for pixel as 8-bit RGB, and a
// file it cannot write is refused by name with nothing left behind.
#include "picture_test_support.h"
#include "platform/png_file.h"
#include "platform/program_environment.h"
#include "platform/run_time_error.h"
#include "tests/support/png_pixels.h"

#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::readFile;
using test::ScratchDir;
using test::writeFile;

struct Decoded {
    int bitDepth = 0;
    int colourType = -1;
    test::PngPixels read;
};

Decoded decode(const Bytes& file)
{
    Decoded d;
    // IHDR comes first, right after the 8-byte signature and its length and type.
    if (file.size() >= 33) {
        d.bitDepth = file[24];
        d.colourType = file[25];
    }
    d.read = test::readPngPixels(file);
    return d;
}

// An odd-sized picture without symmetry whose three channels follow different rules, so that
// swapped channels, mirrored rows or a shifted row show.
std::vector<std::uint32_t> pattern(int width, int height)
{
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(std::uint32_t((x * 37 + y * 11) & 0xFF) << 16 | std::uint32_t((y * 53 + 7) & 0xFF) << 8 |
                std::uint32_t((x * 5 + y * 91 + 128) & 0xFF));
    return pixels;
}

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(utf8(entry.path().filename()));
    return names;
}

std::pair<int, std::string> writeError(const fs::path& path, int width, int height, const std::uint32_t* pixels)
{
    try {
        writePng(utf8(path), width, height, pixels);
        return {0, ""};
    } catch (const RunTimeError& e) {
        return {e.number(), e.what()};
    }
}

TEST(WritePng, ReadsBackPixelForPixelAsEightBitRgb)
{
    struct Row {
        const char* name;
        int width;
        int height;
    };
    const Row rows[] = {{"one pixel", 1, 1}, {"odd 7 x 5", 7, 5}, {"one column", 1, 9}, {"wide", 613, 211}};
    ScratchDir dir;
    for (const Row& row : rows) {
        const std::vector<std::uint32_t> pixels = pattern(row.width, row.height);
        const fs::path path = dir / (std::string(row.name) + ".png");
        writePng(utf8(path), row.width, row.height, pixels.data());
        const Decoded d = decode(readFile(path));
        EXPECT_EQ(d.bitDepth, 8) << row.name;
        EXPECT_EQ(d.colourType, PNG_COLOR_TYPE_RGB) << row.name;
        EXPECT_EQ(d.read.width, row.width) << row.name;
        EXPECT_EQ(d.read.height, row.height) << row.name;
        EXPECT_EQ(d.read.pixels, pixels) << row.name;
    }
}

TEST(WritePng, TheUnusedHighByteDoesNotReachTheFile)
{
    ScratchDir dir;
    const std::vector<std::uint32_t> pixels = {0xFF102030, 0x80405060, 0x00708090};
    writePng(utf8(dir / "x.png"), 3, 1, pixels.data());
    EXPECT_EQ(test::readPngPixels(readFile(dir / "x.png")).pixels, (std::vector<std::uint32_t>{0x102030, 0x405060, 0x708090}));
}

TEST(WritePng, ReplacesAnOlderFileWholeAndLeavesNoTemporaryFile)
{
    ScratchDir dir;
    const fs::path path = dir / "shot.png";
    writeFile(path, Bytes(100000, 0xAB));
    const std::vector<std::uint32_t> pixels = pattern(4, 3);
    writePng(utf8(path), 4, 3, pixels.data());
    EXPECT_EQ(test::readPngPixels(readFile(path)).pixels, pixels);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"shot.png"});
}

TEST(WritePng, AFileThatCannotBeWrittenIsRefusedByName)
{
    ScratchDir dir;
    const std::vector<std::uint32_t> pixels = pattern(2, 2);
    fs::create_directory(dir / "folder.png");
    struct Row {
        const char* name;
        fs::path path;
    };
    const Row rows[] = {
        {"missing folder", dir / "no such folder" / "shot.png"},
        {"a folder of that name", dir / "folder.png"},
    };
    for (const Row& row : rows) {
        const auto [number, message] = writeError(row.path, 2, 2, pixels.data());
        EXPECT_EQ(number, kErrPathFileAccess) << row.name;
        EXPECT_EQ(message.rfind(utf8(row.path) + ": ", 0), 0u) << row.name << ": " << message;
    }
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"folder.png"});
}

TEST(WritePng, ASizeWithNoPixelsIsRefusedAndTheOlderFileKept)
{
    ScratchDir dir;
    const fs::path path = dir / "shot.png";
    const Bytes older = {1, 2, 3};
    writeFile(path, older);
    const std::vector<std::uint32_t> pixels = pattern(2, 2);
    struct Row {
        const char* name;
        int width;
        int height;
        const std::uint32_t* pixels;
    };
    const Row rows[] = {
        {"no width", 0, 2, pixels.data()},
        {"negative height", 2, -1, pixels.data()},
        {"no pixels", 2, 2, nullptr},
    };
    for (const Row& row : rows) {
        const auto [number, message] = writeError(path, row.width, row.height, row.pixels);
        EXPECT_EQ(number, kErrInvalidPicture) << row.name;
        EXPECT_EQ(message.rfind(utf8(path) + ": ", 0), 0u) << row.name << ": " << message;
    }
    EXPECT_EQ(readFile(path), older);
}

TEST(WritePng, AWidthLibpngRefusesIsAnErrorNamingTheFile)
{
    // libpng's default limit is a million pixels a row; one more is refused while encoding.
    ScratchDir dir;
    const int width = 1'000'001;
    const std::vector<std::uint32_t> pixels(std::size_t(width), 0x123456);
    const fs::path path = dir / "wide.png";
    const auto [number, message] = writeError(path, width, 1, pixels.data());
    EXPECT_EQ(number, kErrPathFileAccess);
    EXPECT_EQ(message.rfind(utf8(path) + ": cannot be written as a PNG picture (", 0), 0u) << message;
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace tav
