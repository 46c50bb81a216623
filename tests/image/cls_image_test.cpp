// clsImage against hand-made headers of every format: what each reports, where a short file
// fails, and how a missing or unreadable path is reported.
#include "image/cls_image.h"
#include "platform/run_time_error.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tav {
namespace {

namespace fs = std::filesystem;

// Byte builder for the test headers.
struct Bytes {
    std::vector<std::uint8_t> v;

    Bytes& u8(unsigned x)
    {
        v.push_back(std::uint8_t(x));
        return *this;
    }
    Bytes& le16(unsigned x) { return u8(x & 0xFF).u8((x >> 8) & 0xFF); }
    Bytes& be16(unsigned x) { return u8((x >> 8) & 0xFF).u8(x & 0xFF); }
    Bytes& le32(std::uint32_t x) { return le16(x & 0xFFFF).le16(x >> 16); }
    Bytes& be32(std::uint32_t x) { return be16(x >> 16).be16(x & 0xFFFF); }
    Bytes& str(const std::string& s)
    {
        v.insert(v.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& fill(std::size_t n, std::uint8_t x = 0)
    {
        v.insert(v.end(), n, x);
        return *this;
    }
    Bytes& cut(std::size_t n)
    {
        v.resize(n);
        return *this;
    }
};

Bytes gif(unsigned width, unsigned height, unsigned packed)
{
    Bytes g;
    g.str("GIF89a").le16(width).le16(height).u8(packed).u8(0).u8(0);
    // Two-entry global colour table, then one 1 x 1 image.
    g.fill(3, 0).fill(3, 255);
    g.u8(',').le16(0).le16(0).le16(1).le16(1).u8(0).u8(2).u8(2).u8(0x4C).u8(0x01).u8(0).u8(';');
    return g;
}

Bytes bmp(std::int32_t width, std::int32_t height, unsigned bits)
{
    Bytes b;
    b.str("BM").le32(54).le32(0).le32(54);
    b.le32(40).le32(std::uint32_t(width)).le32(std::uint32_t(height)).le16(1).le16(bits).le32(0).le32(0);
    b.le32(0).le32(0).le32(0).le32(0);
    return b;
}

Bytes png(std::uint32_t width, std::uint32_t height, unsigned bitDepth, unsigned colourType)
{
    Bytes p;
    p.u8(0x89).str("PNG\r\n").u8(0x1A).u8('\n');
    p.be32(13).str("IHDR").be32(width).be32(height).u8(bitDepth).u8(colourType).u8(0).u8(0).u8(0).be32(0);
    p.be32(0).str("IEND").be32(0xAE426082);
    return p;
}

Bytes pcx(unsigned xMin, unsigned yMin, unsigned xMax, unsigned yMax, unsigned bits, unsigned planes)
{
    Bytes p;
    p.u8(10).u8(5).u8(1).u8(bits).le16(xMin).le16(yMin).le16(xMax).le16(yMax);
    p.fill(65 - p.v.size()).u8(planes).fill(128 - 66);
    return p;
}

struct TiffEntry {
    unsigned tag, type;
    std::uint32_t count, value;
};

// A TIFF with one image directory at offset 8, followed by `extra` bytes (for values kept
// outside the entries). A SHORT value sits in the first two bytes of the value field.
Bytes tiff(bool little, const std::vector<TiffEntry>& entries, const Bytes& extra = {})
{
    Bytes t;
    auto w16 = [&](unsigned x) { little ? t.le16(x) : t.be16(x); };
    auto w32 = [&](std::uint32_t x) { little ? t.le32(x) : t.be32(x); };
    t.str(little ? "II" : "MM");
    w16(42);
    w32(8);
    w16(unsigned(entries.size()));
    for (const TiffEntry& e : entries) {
        w16(e.tag);
        w16(e.type);
        w32(e.count);
        if (e.type == 3 && e.count == 1) {
            w16(e.value);
            w16(0);
        } else if (e.type == 1 && e.count == 1) {
            t.u8(e.value).fill(3);
        } else {
            w32(e.value);
        }
    }
    w32(0);
    t.v.insert(t.v.end(), extra.v.begin(), extra.v.end());
    return t;
}

// Offset of the first byte after a directory of n entries at offset 8.
std::uint32_t afterDirectory(std::size_t n) { return std::uint32_t(8 + 2 + 12 * n + 4); }

Bytes jpegFrame(unsigned marker, unsigned width, unsigned height, unsigned components)
{
    Bytes j;
    j.be16(0xFF00 | marker).be16(8 + 3 * components).u8(8).be16(height).be16(width).u8(components);
    for (unsigned c = 0; c < components; ++c)
        j.u8(c + 1).u8(0x11).u8(0);
    return j;
}

Bytes jpeg(unsigned marker, unsigned width, unsigned height, unsigned components, const Bytes& beforeFrame = {})
{
    Bytes j;
    j.be16(0xFFD8).be16(0xFFE0).be16(16).str("JFIF").u8(0).u8(1).u8(1).u8(0).be16(1).be16(1).u8(0).u8(0);
    j.v.insert(j.v.end(), beforeFrame.v.begin(), beforeFrame.v.end());
    Bytes frame = jpegFrame(marker, width, height, components);
    j.v.insert(j.v.end(), frame.v.begin(), frame.v.end());
    j.be16(0xFFDA).be16(8).u8(1).u8(1).u8(0).u8(0).u8(63).u8(0).fill(16, 0x55).be16(0xFFD9);
    return j;
}

class TempDir {
public:
    TempDir()
    {
        m_path = fs::temp_directory_path() /
            ("tavrenix_image_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempDir() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }

    fs::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        const fs::path p = m_path / name;
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }

private:
    fs::path m_path;
};

struct Expected {
    std::int32_t type, width, height;
    unsigned depth;
};

struct HeaderCase {
    const char* name;
    Bytes file;
    Expected expected;
    std::optional<int> error;  // run-time error number ReadImageInfo raises, if any
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

std::vector<HeaderCase> headerCases()
{
    Bytes junk;
    junk.str("not a picture at all, just a few words of text that mean nothing\n");
    Bytes prefixed;
    prefixed.str("garbage ahead of the picture");
    Bytes jpegAfterJunk = jpeg(0xC0, 320, 200, 3);
    prefixed.v.insert(prefixed.v.end(), jpegAfterJunk.v.begin(), jpegAfterJunk.v.end());
    // An application segment of 40000 bytes whose content looks like a frame header: the walk
    // must skip it by its unsigned length, never look inside it, and never step backwards.
    Bytes bigApp;
    bigApp.be16(0xFFE1).be16(40000);
    for (int i = 0; i < 39998 / 10; ++i)
        bigApp.be16(0xFFC0).be16(0x0011).u8(8).be16(0x0101).be16(0x0202).u8(1);
    bigApp.cut(2 + 40000);
    const std::uint32_t after3 = afterDirectory(3);

    return {
        // GIF: logical screen size and the global table's bits per entry.
        {"Gif1x1TwoColours", gif(1, 1, 0x80), {1, 1, 1, 1}, {}},
        {"Gif256Colours", gif(320, 200, 0xF7), {1, 320, 200, 8}, {}},
        {"GifWideIsNegative", gif(40000, 10, 0x80), {1, -25536, 10, 1}, {}},
        // Ten bytes: offset 10 is the zero byte after the file, so it still reads.
        {"GifTenBytes", Bytes(gif(7, 9, 0x81)).cut(10), {1, 7, 9, 1}, {}},
        {"GifNineBytesKeepsWhatWasRead", Bytes(gif(7, 0x0309, 0x81)).cut(9), {1, 7, 9, 0}, 9},
        // BMP: low halves of width and height, bits per pixel.
        {"Bmp24", bmp(640, 480, 24), {4, 640, 480, 24}, {}},
        {"BmpTopDown", bmp(20, -50, 24), {4, 20, -50, 24}, {}},
        {"Bmp8", bmp(3, 2, 8), {4, 3, 2, 8}, {}},
        {"BmpWidthLowHalf", bmp(70000, 1, 1), {4, 70000 - 65536, 1, 1}, {}},
        {"BmpTooShort", Bytes(bmp(640, 480, 24)).cut(27), {4, 640, 480, 0}, 9},
        // PNG: depth from colour type and bit depth.
        {"PngGrey16", png(5, 6, 16, 0), {3, 5, 6, 16}, {}},
        {"PngTruecolour8", png(640, 480, 8, 2), {3, 640, 480, 24}, {}},
        {"PngPalette4", png(5, 6, 4, 3), {3, 5, 6, 8}, {}},
        {"PngGreyAlpha8", png(5, 6, 8, 4), {3, 5, 6, 16}, {}},
        {"PngTruecolourAlpha8", png(5, 6, 8, 6), {3, 5, 6, 32}, {}},
        {"PngTruecolourAlpha16", png(5, 6, 16, 6), {3, 5, 6, 64}, {}},
        {"PngColourType5", png(5, 6, 8, 5), {0, 0, 0, 0}, {}},
        {"PngWideIsNegative", png(32768, 3, 8, 2), {3, -32768, 3, 24}, {}},
        {"PngWidthLowHalf", png(0x10005, 3, 8, 2), {3, 5, 3, 24}, {}},
        {"PngDepthOverflow", png(5, 6, 128, 2), {3, 0, 0, 0}, 6},
        {"PngTooShort", Bytes(png(5, 6, 8, 2)).cut(24), {3, 0, 0, 0}, 9},
        // PCX: inclusive window, bits per plane times planes kept to 8 bits.
        {"Pcx640x480", pcx(0, 0, 639, 479, 8, 1), {5, 640, 480, 8}, {}},
        {"PcxOffsetWindow", pcx(10, 20, 19, 24, 1, 4), {5, 10, 5, 4}, {}},
        {"PcxDepthLowBits", pcx(0, 0, 0, 0, 16, 32), {5, 1, 1, 0}, {}},
        {"PcxByteTenWins", Bytes().u8(10).str("GIF").fill(70, 0), {5, 1, 1, 0}, {}},
        {"PcxTooShort", Bytes(pcx(0, 0, 639, 479, 8, 1)).cut(64), {5, 640, 480, 0}, 9},
        // TIFF, both byte orders.
        {"TiffLittle", tiff(true, {{256, 3, 1, 800}, {257, 4, 1, 600}, {258, 3, 1, 8}}), {6, 800, 600, 8}, {}},
        {"TiffBig", tiff(false, {{256, 3, 1, 800}, {257, 4, 1, 600}, {258, 3, 1, 8}}), {6, 800, 600, 8}, {}},
        {"TiffByteValues", tiff(true, {{256, 1, 1, 200}, {257, 1, 1, 100}, {258, 1, 1, 1}}), {6, 200, 100, 1}, {}},
        {"TiffNoBitsPerSample", tiff(true, {{256, 3, 1, 800}, {257, 3, 1, 600}}), {0, 0, 0, 0}, {}},
        {"TiffRationalWidth", tiff(true, {{256, 5, 1, 800}, {257, 3, 1, 600}, {258, 3, 1, 8}}), {0, 0, 0, 0}, {}},
        {"TiffShortWidthIsSigned", tiff(true, {{256, 3, 1, 40000}, {257, 3, 1, 6}, {258, 3, 1, 8}}), {0, 0, 0, 0}, {}},
        {"TiffDepthOverflow", tiff(true, {{256, 3, 1, 8}, {257, 3, 1, 6}, {258, 3, 1, 300}}), {0, 8, 6, 0}, 6},
        {"TiffRgbLittle",
            tiff(true, {{256, 3, 1, 8}, {257, 3, 1, 6}, {258, 3, 3, after3}}, Bytes().le16(8).le16(8).le16(8)),
            {6, 8, 6, 24}, {}},
        {"TiffRgbBig",
            tiff(false, {{256, 4, 1, 8}, {257, 4, 1, 6}, {258, 3, 3, after3}}, Bytes().be16(8).be16(8).be16(8)),
            {6, 8, 6, 24}, {}},
        {"TiffRgbaLongs",
            tiff(true, {{256, 3, 1, 8}, {257, 3, 1, 6}, {258, 4, 4, after3}},
                Bytes().le32(16).le32(16).le32(16).le32(16)),
            {6, 8, 6, 64}, {}},
        // Two SHORTs fit the value field and sit in it.
        {"TiffTwoShortsInline", tiff(false, {{256, 3, 1, 8}, {257, 3, 1, 6}, {258, 3, 2, 0x00080008}}), {6, 8, 6, 16},
            {}},
        {"TiffRgbBytesInline", tiff(true, {{256, 3, 1, 8}, {257, 3, 1, 6}, {258, 1, 3, 0x00040404}}), {6, 8, 6, 12},
            {}},
        {"TiffRgbValuesOutsideFile",
            tiff(true, {{256, 3, 1, 8}, {257, 3, 1, 6}, {258, 3, 3, after3 + 2}}, Bytes().le16(8).le16(8)),
            {0, 0, 0, 0}, {}},
        {"TiffRgbSumOverflow",
            tiff(true, {{256, 3, 1, 8}, {257, 3, 1, 6}, {258, 3, 3, after3}}, Bytes().le16(128).le16(128).le16(8)),
            {0, 8, 6, 0}, 6},
        {"TiffDirectoryOutsideFile", Bytes().str("II*").u8(0).le32(5000).fill(8), {0, 0, 0, 0}, 9},
        // JPEG: start-of-image search and marker walk.
        {"JpegBaseline", jpeg(0xC0, 640, 480, 3), {2, 640, 480, 24}, {}},
        {"JpegExtended", jpeg(0xC1, 17, 9, 1), {2, 17, 9, 8}, {}},
        {"JpegProgressive", jpeg(0xC2, 640, 480, 3), {2, 640, 480, 24}, {}},
        {"JpegLossless", jpeg(0xC3, 4, 4, 4), {2, 4, 4, 32}, {}},
        {"JpegArithmeticOnly", jpeg(0xC9, 640, 480, 3), {0, 0, 0, 0}, {}},
        {"JpegAfterOtherBytes", prefixed, {2, 320, 200, 24}, {}},
        {"JpegBigApplicationSegment", jpeg(0xC0, 1024, 768, 3, bigApp), {2, 1024, 768, 24}, {}},
        {"JpegComponentOverflow", jpeg(0xC0, 1, 1, 32), {2, 1, 1, 0}, 6},
        // Anything else.
        {"Text", junk, {0, 0, 0, 0}, {}},
        {"ThreeBytes", Bytes().str("abc"), {0, 0, 0, 0}, {}},
        {"TwoBytes", Bytes().str("ab"), {0, 0, 0, 0}, 9},
        {"OneByte", Bytes().u8(0xFF), {0, 0, 0, 0}, 9},
        {"Empty", Bytes(), {0, 0, 0, 0}, 9},
        // Two bytes that match a signature: recognised, then the first header read fails.
        {"TwoBytesBm", Bytes().str("BM"), {4, 0, 0, 0}, 9},
    };
}

class HeaderTest : public ::testing::TestWithParam<HeaderCase> { };

TEST_P(HeaderTest, ReportsWhatTheHeaderSays)
{
    const HeaderCase& c = GetParam();
    TempDir dir;
    const fs::path file = dir.write("picture", c.file.v);

    clsImage info;
    std::optional<int> raised;
    try {
        info.ReadImageInfo(file);
    } catch (const RunTimeError& e) {
        raised = e.number();
    }
    EXPECT_EQ(raised, c.error);
    EXPECT_EQ(info.ImageType(), c.expected.type);
    EXPECT_EQ(info.Width(), c.expected.width);
    EXPECT_EQ(info.Height(), c.expected.height);
    EXPECT_EQ(unsigned(info.Depth()), c.expected.depth);
    EXPECT_EQ(info.FileSize(), std::int32_t(c.file.v.size()));
}

INSTANTIATE_TEST_SUITE_P(Formats, HeaderTest, ::testing::ValuesIn(headerCases()),
    [](const ::testing::TestParamInfo<HeaderCase>& i) { return std::string(i.param.name); });

TEST(ClsImageTest, AllPropertiesAreZeroBeforeTheFirstCall)
{
    const clsImage info;
    EXPECT_EQ(info.Width(), 0);
    EXPECT_EQ(info.Height(), 0);
    EXPECT_EQ(info.Depth(), 0);
    EXPECT_EQ(info.ImageType(), 0);
    EXPECT_EQ(info.FileSize(), 0);
}

TEST(ClsImageTest, EachCallReplacesWhatTheLastOneFound)
{
    TempDir dir;
    const fs::path text = dir.write("text", Bytes().str("nothing to see here, move along please").v);
    const fs::path gifFile = dir.write("gif", gif(3, 4, 0x82).v);
    const fs::path bmpFile = dir.write("bmp", bmp(640, 480, 24).v);

    clsImage info;
    info.ReadImageInfo(text);
    EXPECT_EQ(info.ImageType(), 0);
    info.ReadImageInfo(gifFile);
    EXPECT_EQ(info.ImageType(), 1);
    EXPECT_EQ(info.Width(), 3);
    EXPECT_EQ(info.Height(), 4);
    EXPECT_EQ(info.Depth(), 3);
    EXPECT_EQ(info.FileSize(), std::int32_t(gif(3, 4, 0x82).v.size()));

    info.ReadImageInfo(bmpFile);
    info.ReadImageInfo(text);
    EXPECT_EQ(info.ImageType(), 0);
    EXPECT_EQ(info.Width(), 0);
    EXPECT_EQ(info.Height(), 0);
    EXPECT_EQ(info.Depth(), 0);
    EXPECT_EQ(info.FileSize(), 38);
}

// A missing file is reported, not created; a path that is no readable file is the access
// error; either way nothing of the previous call remains.
TEST(ClsImageTest, MissingAndUnopenablePaths)
{
    TempDir dir;
    const fs::path bmpFile = dir.write("bmp", bmp(640, 480, 24).v);
    struct Row {
        const char* name;
        fs::path path;
        int error;
    };
    const fs::path fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const Row rows[] = {
        {"missing file", dir.path() / "missing.jpg", kErrFileNotFound},
        {"missing folder", dir.path() / "no_such_folder" / "a.jpg", kErrFileNotFound},
        {"file used as folder", bmpFile / "a.jpg", kErrFileNotFound},
        {"folder", dir.path(), kErrPathFileAccess},
        {"named pipe", fifo, kErrPathFileAccess},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        clsImage info;
        info.ReadImageInfo(bmpFile);
        try {
            info.ReadImageInfo(r.path);
            ADD_FAILURE() << "no error";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), r.error);
        }
        EXPECT_FALSE(r.error == kErrFileNotFound && fs::exists(r.path));
        EXPECT_EQ(info.ImageType(), 0);
        EXPECT_EQ(info.Width(), 0);
        EXPECT_EQ(info.Height(), 0);
        EXPECT_EQ(info.Depth(), 0);
        EXPECT_EQ(info.FileSize(), 0);
    }
    EXPECT_FALSE(fs::exists(dir.path() / "no_such_folder"));
}

TEST(ClsImageTest, UnreadableFileIsTheAccessError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not apply to root";
    TempDir dir;
    const fs::path file = dir.write("locked", gif(1, 1, 0x80).v);
    fs::permissions(file, fs::perms::none);
    clsImage info;
    try {
        info.ReadImageInfo(file);
        ADD_FAILURE() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrPathFileAccess);
    }
    EXPECT_EQ(info.FileSize(), 0);
}

// FileSize is 32-bit: a longer file is the overflow error, not a wrong size.
TEST(ClsImageTest, FileLongerThanFileSizeCanHoldOverflows)
{
    TempDir dir;
    const fs::path file = dir.write("huge", gif(1, 1, 0x80).v);
    std::error_code ec;
    fs::resize_file(file, std::uintmax_t(1) << 31, ec);  // sparse where the file system allows
    if (ec)
        GTEST_SKIP() << "cannot make a 2 GiB file here: " << ec.message();
    clsImage info;
    try {
        info.ReadImageInfo(file);
        ADD_FAILURE() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrOverflow);
    }
    EXPECT_EQ(info.FileSize(), 0);
}

TEST(ClsImageTest, FormatNames)
{
    EXPECT_EQ(imageTypeName(kImageUnknown), "unknown");
    EXPECT_EQ(imageTypeName(kImageGif), "GIF");
    EXPECT_EQ(imageTypeName(kImageJpeg), "JPEG");
    EXPECT_EQ(imageTypeName(kImagePng), "PNG");
    EXPECT_EQ(imageTypeName(kImageBmp), "BMP");
    EXPECT_EQ(imageTypeName(kImagePcx), "PCX");
    EXPECT_EQ(imageTypeName(kImageTiff), "TIFF");
    EXPECT_EQ(imageTypeName(7), "unknown");
    EXPECT_EQ(imageTypeName(-1), "unknown");
}

// What the user is told about each kind of failure.
TEST(ClsImageTest, DescribedErrors)
{
    TempDir dir;
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* text;
    } rows[] = {
        {"two bytes", Bytes().str("ab").v, "Subscript out of range: the file is too short to be a picture"},
        {"short GIF", Bytes(gif(1, 1, 0x80)).cut(8).v, "Subscript out of range: the file ends inside its GIF header"},
        {"TIFF directory outside", Bytes().str("II*").u8(0).le32(5000).fill(8).v,
            "Subscript out of range: the header points past the end of the file"},
        {"PNG depth", png(5, 6, 128, 2).v, "Overflow: the colour depth in the header does not fit in 8 bits"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        clsImage info;
        try {
            info.ReadImageInfo(dir.write("file", row.bytes));
            ADD_FAILURE() << "no error";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(describeReadError(e, info), row.text);
        }
    }
    clsImage info;
    try {
        info.ReadImageInfo(dir.path());
        ADD_FAILURE() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(describeReadError(e, info), "Path/File access error: is a folder, not a file");
    }
}

}  // namespace
}  // namespace tav
