// Helpers shared by the picture tests: a scratch folder, loading bytes through a real file,
// and reading a bitmap's pixels back without the platform's own conversion code.
#pragma once

#include "platform/dib.h"
#include "platform/picture.h"
#include "platform/run_time_error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include <unistd.h>

namespace tav::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder for one test, removed with everything in it at the end.
class ScratchDir {
public:
    ScratchDir()
    {
        static std::atomic<int> counter{0};
        m_path = std::filesystem::temp_directory_path() /
            ("tavrenix-picture-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline Bytes readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Loads the bytes through a file, as the program does.
inline std::unique_ptr<Picture> loadBytes(
    const Bytes& bytes, const std::string& name = "picture.bin", const PictureOptions& options = {})
{
    ScratchDir dir;
    writeFile(dir / name, bytes);
    return LoadPicture(dir / name, options);
}

// Expects `decode` (bytes to a decoded picture) to refuse the file with the invalid-picture
// error, its text containing `problem`; `what` names the case in a failure.
template <typename Decode>
void expectDecoderRefuses(Decode decode, std::span<const std::uint8_t> file, const std::string& what, const char* problem)
{
    try {
        decode(Bytes(file.begin(), file.end()));
        ADD_FAILURE() << what << " was accepted";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrInvalidPicture) << what;
        EXPECT_NE(std::string(e.what()).find(problem), std::string::npos) << what << ": " << e.what();
    }
}

// The error LoadPicture raises for these bytes (number 0 when it raised none).
struct LoadFailure {
    int number = 0;
    std::string message;
    std::string path;
};

inline LoadFailure loadFailure(const Bytes& bytes)
{
    ScratchDir dir;
    const auto path = dir / "damaged.pic";
    writeFile(path, bytes);
    LoadFailure failure;
    failure.path = path.string();
    try {
        LoadPicture(path);
    } catch (const RunTimeError& e) {
        failure.number = e.number();
        failure.message = e.what();
    }
    return failure;
}

// Expects the bytes to be refused as an invalid picture, the message naming the file and
// containing `problem` (when given).
#define EXPECT_INVALID_PICTURE(bytes, problem)                                                             \
    do {                                                                                                   \
        const ::tav::test::LoadFailure failure_ = ::tav::test::loadFailure(bytes);                        \
        EXPECT_EQ(failure_.number, ::tav::kErrInvalidPicture) << failure_.message;                         \
        EXPECT_EQ(failure_.message.rfind(failure_.path + ": ", 0), 0u) << failure_.message;                \
        EXPECT_NE(failure_.message.find(problem), std::string::npos) << failure_.message;                  \
    } while (0)

// Pixel (x, y from the top) as the bits hold it: an index at 1, 4, 8 bits; the 16-bit word;
// 0xRRGGBB at 24 bits; the whole little-endian word at 32 bits (the fourth byte included).
inline std::uint32_t rawPixel(const DIBSection& bmp, int x, int y)
{
    const std::uint8_t* row = bmp.row(y);
    switch (bmp.bitCount()) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    case 8: return row[x];
    case 16: return std::uint32_t(row[2 * x]) | (std::uint32_t(row[2 * x + 1]) << 8);
    case 24:
        return std::uint32_t(row[3 * x]) | (std::uint32_t(row[3 * x + 1]) << 8) |
            (std::uint32_t(row[3 * x + 2]) << 16);
    default:
        return std::uint32_t(row[4 * x]) | (std::uint32_t(row[4 * x + 1]) << 8) |
            (std::uint32_t(row[4 * x + 2]) << 16) | (std::uint32_t(row[4 * x + 3]) << 24);
    }
}

// All pixels, rows from the top.
inline std::vector<std::uint32_t> rawPixels(const DIBSection& bmp)
{
    std::vector<std::uint32_t> out;
    for (int y = 0; y < bmp.height(); ++y)
        for (int x = 0; x < bmp.width(); ++x)
            out.push_back(rawPixel(bmp, x, y));
    return out;
}

// The 24-bit picture as tightly packed BGR rows from the top, for comparing with decoders
// that write BGR.
inline Bytes bgrRows(const DIBSection& bmp)
{
    Bytes out;
    for (int y = 0; y < bmp.height(); ++y)
        out.insert(out.end(), bmp.row(y), bmp.row(y) + 3 * bmp.width());
    return out;
}

inline constexpr std::uint32_t rgb(int r, int g, int b) { return std::uint32_t(r << 16 | g << 8 | b); }

// Index (x, y) of the first difference, for a readable failure.
inline std::string firstDifference(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b, int width)
{
    if (a.size() != b.size())
        return "sizes differ: " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return "first difference at (" + std::to_string(i % std::size_t(width)) + ", " +
                std::to_string(i / std::size_t(width)) + ")";
    return "equal";
}

}  // namespace tav::test
