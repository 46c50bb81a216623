// clsImage reads only a file's first 64 KB unless a header lies further in: a JPEG frame header
// behind large metadata segments, a TIFF directory far into the file, the last bytes of a file
// just past the boundary. Each must read as if the whole file had been loaded at once.
#include "image/cls_image.h"
#include "platform/run_time_error.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace tav {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void be16(Bytes& b, unsigned v)
{
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}
void le16(Bytes& b, unsigned v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void le32(Bytes& b, std::uint32_t v)
{
    le16(b, v & 0xFFFF);
    le16(b, v >> 16);
}

// SOI, `segments` APP1 segments of `segmentBytes` each, then SOF0 of width x height, EOI.
Bytes jpegBehindMetadata(int segments, unsigned segmentBytes, unsigned width, unsigned height)
{
    Bytes b{0xFF, 0xD8};
    for (int i = 0; i < segments; ++i) {
        be16(b, 0xFFE1);
        be16(b, segmentBytes);
        b.insert(b.end(), segmentBytes - 2, std::uint8_t(0x20 + i));
    }
    be16(b, 0xFFC0);
    be16(b, 17);
    b.push_back(8);
    be16(b, height);
    be16(b, width);
    b.push_back(3);
    for (int c = 1; c <= 3; ++c) {
        b.push_back(std::uint8_t(c));
        b.push_back(c == 1 ? 0x22 : 0x11);
        b.push_back(c == 1 ? 0 : 1);
    }
    b.insert(b.end(), 64, 0);  // room for the search's tail margin
    be16(b, 0xFFD9);
    return b;
}

class FarHeaders : public ::testing::Test {
protected:
    fs::path write(const Bytes& bytes)
    {
        const fs::path path = fs::temp_directory_path() /
            ("tavrenix_far_" + std::to_string(::getpid()) + "_" + std::to_string(m_count++) + ".bin");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        m_files.push_back(path);
        return path;
    }
    void TearDown() override
    {
        for (const fs::path& p : m_files)
            fs::remove(p);
    }

    int m_count = 0;
    std::vector<fs::path> m_files;
};

TEST_F(FarHeaders, AJpegFrameHeaderFarBehindMetadataIsFound)
{
    for (const auto& [segments, size] : std::vector<std::pair<int, unsigned>>{{3, 60000}, {1, 65530}, {2, 32770}}) {
        const Bytes file = jpegBehindMetadata(segments, size, 4000 + unsigned(segments), 3000);
        clsImage info;
        info.ReadImageInfo(write(file));
        EXPECT_EQ(info.ImageType(), kImageJpeg) << segments << " x " << size;
        EXPECT_EQ(info.Width(), 4000 + segments);
        EXPECT_EQ(info.Height(), 3000);
        EXPECT_EQ(info.FileSize(), std::int32_t(file.size()));
    }
}

TEST_F(FarHeaders, ATiffDirectoryFarIntoTheFileIsRead)
{
    // II*\0, the directory at 100000: width, height and 3 x 8 bits per sample stored elsewhere.
    Bytes b{'I', 'I', 42, 0};
    le32(b, 100000);
    b.resize(100000, 0);
    le16(b, 3);
    const auto entry = [&](unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
        le16(b, tag);
        le16(b, type);
        le32(b, count);
        le32(b, value);
    };
    entry(256, 4, 1, 5000);  // ImageWidth, LONG
    entry(257, 4, 1, 7000);  // ImageLength, LONG
    entry(258, 3, 3, 100100);  // BitsPerSample, 3 SHORTs at 100100
    le32(b, 0);
    b.resize(100100, 0);
    le16(b, 8);
    le16(b, 8);
    le16(b, 8);
    b.resize(100200, 0);
    clsImage info;
    info.ReadImageInfo(write(b));
    EXPECT_EQ(info.ImageType(), kImageTiff);
    EXPECT_EQ(info.Width(), 5000);
    EXPECT_EQ(info.Height(), 7000);
    EXPECT_EQ(info.Depth(), 24);
}

TEST_F(FarHeaders, ALargeBmpIsReadFromItsFirstBytesAndAFileCutAtTheSearchStillFailsAsBefore)
{
    // A 24-bit BMP of 300 x 300 (270 KB): its header is all the reader needs.
    Bytes bmp{'B', 'M'};
    const std::uint32_t stride = 900, image = stride * 300;
    le32(bmp, 54 + image);
    le32(bmp, 0);
    le32(bmp, 54);
    le32(bmp, 40);
    le32(bmp, 300);
    le32(bmp, 300);
    le16(bmp, 1);
    le16(bmp, 24);
    bmp.resize(54 + image, 0x5A);
    clsImage info;
    info.ReadImageInfo(write(bmp));
    EXPECT_EQ(info.ImageType(), kImageBmp);
    EXPECT_EQ(info.Width(), 300);
    EXPECT_EQ(info.Height(), 300);
    EXPECT_EQ(info.FileSize(), std::int32_t(bmp.size()));

    // A JPEG whose frame header is cut off past the first 64 KB: the search reaches the end of
    // the file and finds nothing, as it did with the whole file in memory.
    Bytes cut = jpegBehindMetadata(2, 60000, 10, 10);
    cut.resize(120010);
    clsImage unknown;
    unknown.ReadImageInfo(write(cut));
    EXPECT_EQ(unknown.ImageType(), kImageUnknown);
    EXPECT_EQ(unknown.Width(), 0);
}

}  // namespace
}  // namespace tav
