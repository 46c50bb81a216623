// clsImage reads a file's first 4 KB, and more (64 KB, 1 MB, ... or up to the byte asked for)
// only when a header lies further in: a JPEG frame header behind large metadata segments, a TIFF
// directory far into the file, the last bytes of a file just past a boundary. Each must read as
// if the whole file had been loaded at once, wherever a boundary cuts the header.
#include "image/cls_image.h"
#include "platform/run_time_error.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
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

// SOF0 of width x height (three components, 4:2:0), a margin, then EOI.
void appendFrameAndEnd(Bytes& b, unsigned width, unsigned height)
{
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
    appendFrameAndEnd(b, width, height);
    return b;
}

// SOI, APP1 segments filling the bytes up to `frameAt`, SOF0 of width x height there, EOI.
Bytes jpegWithFrameAt(std::size_t frameAt, unsigned width, unsigned height)
{
    Bytes b{0xFF, 0xD8};
    while (b.size() < frameAt) {
        // A segment is its marker, its length and at least nothing more; never leave a gap
        // smaller than the least segment.
        std::size_t left = frameAt - b.size();
        std::size_t take = std::min<std::size_t>(left, 60000);
        if (left - take > 0 && left - take < 4)
            take -= 4;
        be16(b, 0xFFE1);
        be16(b, unsigned(take - 2));
        b.insert(b.end(), take - 4, 0x20);
    }
    appendFrameAndEnd(b, width, height);
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

// The frame header at every position around the boundaries of what is read at a time, so that
// a boundary falls before, inside and after each of its fields.
TEST_F(FarHeaders, AJpegFrameHeaderAcrossAReadBoundaryIsReadWhole)
{
    for (const std::size_t boundary : {std::size_t(4096), std::size_t(65536), std::size_t(1) << 20}) {
        for (std::size_t back = 0; back <= 10; ++back) {
            SCOPED_TRACE("frame header " + std::to_string(back) + " bytes before " + std::to_string(boundary));
            const unsigned width = 1000 + unsigned(back);
            const Bytes file = jpegWithFrameAt(boundary - back, width, 700);
            ASSERT_EQ(file[boundary - back], 0xFF);
            ASSERT_EQ(file[boundary - back + 1], 0xC0);
            clsImage info;
            info.ReadImageInfo(write(file));
            EXPECT_EQ(info.ImageType(), kImageJpeg);
            EXPECT_EQ(info.Width(), std::int32_t(width));
            EXPECT_EQ(info.Height(), 700);
            EXPECT_EQ(info.Depth(), 24);
            EXPECT_EQ(info.FileSize(), std::int32_t(file.size()));
        }
    }
}

// Files of about the first read's length: the trailing zero byte is there exactly when the
// whole file is, so a search that runs to the end fails alike for all of them, and a header
// that is the whole file is read alike.
TEST_F(FarHeaders, FilesAroundTheFirstReadsLengthReadAsWholeFiles)
{
    for (const std::size_t length : {4094u, 4095u, 4096u, 4097u, 4098u, 65536u, 65537u}) {
        SCOPED_TRACE(std::to_string(length) + " bytes");
        clsImage unknown;
        unknown.ReadImageInfo(write(Bytes(length, 'x')));
        EXPECT_EQ(unknown.ImageType(), kImageUnknown);
        EXPECT_EQ(unknown.FileSize(), std::int32_t(length));

        // A BMP header with the pixel rows of a file of this length.
        Bytes bmp{'B', 'M'};
        le32(bmp, std::uint32_t(length));
        le32(bmp, 0);
        le32(bmp, 54);
        le32(bmp, 40);
        le32(bmp, 33);
        le32(bmp, 0xFFFFFFF9);  // -7: top-down
        le16(bmp, 1);
        le16(bmp, 8);
        bmp.resize(length, 0x11);
        clsImage info;
        info.ReadImageInfo(write(bmp));
        EXPECT_EQ(info.ImageType(), kImageBmp);
        EXPECT_EQ(info.Width(), 33);
        EXPECT_EQ(info.Height(), -7);
        EXPECT_EQ(info.Depth(), 8);
    }
}

TEST_F(FarHeaders, ATiffDirectoryFarIntoTheFileIsRead)
{
    // II*\0, the directory at `directory`: width, height and 3 x 8 bits per sample stored 100
    // bytes behind it. Before the first boundary, past it, and past the second one.
    for (const std::uint32_t directory : {4090u, 100000u, 1500000u}) {
        SCOPED_TRACE("directory at " + std::to_string(directory));
        Bytes b{'I', 'I', 42, 0};
        le32(b, directory);
        b.resize(directory, 0);
        le16(b, 3);
        const auto entry = [&](unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
            le16(b, tag);
            le16(b, type);
            le32(b, count);
            le32(b, value);
        };
        entry(256, 4, 1, 5000);  // ImageWidth, LONG
        entry(257, 4, 1, 7000);  // ImageLength, LONG
        entry(258, 3, 3, directory + 100);  // BitsPerSample, 3 SHORTs 100 bytes on
        le32(b, 0);
        b.resize(directory + 100, 0);
        le16(b, 8);
        le16(b, 8);
        le16(b, 8);
        b.resize(directory + 200, 0);
        clsImage info;
        info.ReadImageInfo(write(b));
        EXPECT_EQ(info.ImageType(), kImageTiff);
        EXPECT_EQ(info.Width(), 5000);
        EXPECT_EQ(info.Height(), 7000);
        EXPECT_EQ(info.Depth(), 24);
    }
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

    // A JPEG whose frame header is cut off past the first reads: the search reaches the end of
    // the file and finds nothing, as it did with the whole file in memory.
    for (const std::size_t cutAt : {std::size_t(5000), std::size_t(120010), std::size_t(1100000)}) {
        SCOPED_TRACE("cut at " + std::to_string(cutAt));
        Bytes cut = jpegWithFrameAt(cutAt + 20, 10, 10);
        cut.resize(cutAt);
        clsImage unknown;
        unknown.ReadImageInfo(write(cut));
        EXPECT_EQ(unknown.ImageType(), kImageUnknown);
        EXPECT_EQ(unknown.Width(), 0);
        EXPECT_EQ(unknown.FileSize(), std::int32_t(cutAt));
    }
}

}  // namespace
}  // namespace tav
