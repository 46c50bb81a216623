// Picture loading and saving around the decoders: format recognition, size limits, the
// errors for missing, unreadable and unknown files, and the 24-bit BMP that SavePicture
// writes (layout, exact pixels from every depth, no half-written file on failure).
#include "picture_test_support.h"

#include "platform/picture_decoders.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace tav::test {
namespace {

struct SniffCase {
    const char* name;
    Bytes head;
    PictureFormat format;
};

class Sniff : public ::testing::TestWithParam<SniffCase> {};

TEST_P(Sniff, RecognisesTheSignature) { EXPECT_EQ(sniffPictureFormat(GetParam().head), GetParam().format); }

INSTANTIATE_TEST_SUITE_P(Picture, Sniff,
    ::testing::Values(SniffCase{"bmp", {'B', 'M', 0, 0}, PictureFormat::Bmp},
        SniffCase{"gif87a", {'G', 'I', 'F', '8', '7', 'a'}, PictureFormat::Gif},
        SniffCase{"gif89a", {'G', 'I', 'F', '8', '9', 'a', 1}, PictureFormat::Gif},
        SniffCase{"gif_unknown_version", {'G', 'I', 'F', '8', '8', 'a'}, PictureFormat::Unknown},
        SniffCase{"jpeg", {0xFF, 0xD8, 0xFF, 0xE0}, PictureFormat::Jpeg},
        SniffCase{"jpeg_without_marker", {0xFF, 0xD8, 0x00}, PictureFormat::Unknown},
        SniffCase{"png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, PictureFormat::Png},
        SniffCase{"png_cut_short", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A}, PictureFormat::Unknown},
        SniffCase{"png_line_ends_mangled", {0x89, 'P', 'N', 'G', 0x0A, 0x1A, 0x0A, 0x00}, PictureFormat::Unknown},
        SniffCase{"one_byte", {'B'}, PictureFormat::Unknown}, SniffCase{"empty", {}, PictureFormat::Unknown},
        SniffCase{"text", {'h', 'e', 'l', 'l', 'o'}, PictureFormat::Unknown}),
    [](const ::testing::TestParamInfo<SniffCase>& info) { return std::string(info.param.name); });

TEST(PictureSize, LimitsAreInclusive)
{
    struct Case {
        std::int64_t width, height;
        bool accepted;
    };
    const Case cases[] = {
        {1, 1, true},
        {65535, 3051, true},   // 199,947,285 pixels
        {65535, 3052, false},  // 200,012,820 pixels
        {14142, 14142, true},  // 199,996,164 pixels
        {14143, 14143, false}, // 200,024,449 pixels
        {65535, 1, true},
        {65536, 1, false},
        {1, 65536, false},
        {0, 5, false},
        {5, 0, false},
        {-1, 5, false},
        {5, -1, false},
        {std::int64_t(1) << 40, std::int64_t(1) << 40, false},
    };
    for (const Case& c : cases) {
        bool accepted = true;
        try {
            checkPictureSize(c.width, c.height);
        } catch (const RunTimeError& e) {
            accepted = false;
            EXPECT_EQ(e.number(), kErrInvalidPicture);
        }
        EXPECT_EQ(accepted, c.accepted) << c.width << " x " << c.height;
    }
}

TEST(LoadPictureErrors, MissingFileIsFileNotFound)
{
    ScratchDir dir;
    const auto path = dir / "nothing-here.jpg";
    try {
        LoadPicture(path);
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrFileNotFound);
        EXPECT_EQ(std::string(e.what()), path.string() + ": File not found");
    }
}

TEST(LoadPictureErrors, FolderIsPathFileAccessError)
{
    ScratchDir dir;
    try {
        LoadPicture(dir.path());
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrPathFileAccess);
        EXPECT_EQ(std::string(e.what()), dir.path().string() + ": Path/File access error: is a folder, not a file");
    }
}

TEST(LoadPictureErrors, DeviceIsPathFileAccessError)
{
    try {
        LoadPicture("/dev/zero");
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrPathFileAccess);
    }
}

TEST(LoadPictureErrors, EmptyAndUnknownFilesAreInvalidPictures)
{
    EXPECT_INVALID_PICTURE(Bytes{}, "empty file");
    EXPECT_INVALID_PICTURE((Bytes{'h', 'e', 'l', 'l', 'o'}),
        "not a picture Tavrenix reads (JPEG, PNG, GIF, BMP, WebP and TIFF)");
    // Signatures alone, with nothing behind them.
    EXPECT_INVALID_PICTURE((Bytes{'B', 'M'}), "BMP: ");
    EXPECT_INVALID_PICTURE((Bytes{'G', 'I', 'F', '8', '9', 'a'}), "GIF: ");
    EXPECT_INVALID_PICTURE((Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}), "PNG: ");
}

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes fileType(std::string_view majorBrand, std::string_view compatible)
{
    Bytes b = {0, 0, 0, std::uint8_t(16 + compatible.size()), 'f', 't', 'y', 'p'};
    b.insert(b.end(), majorBrand.begin(), majorBrand.end());
    b.insert(b.end(), {0, 0, 0, 0});
    b.insert(b.end(), compatible.begin(), compatible.end());
    b.insert(b.end(), {0, 0, 0, 8, 'm', 'e', 't', 'a'});
    return b;
}

TEST(LoadPictureErrors, PicturesInFormatsNotReadAreRefusedByName)
{
    const struct {
        const char* name;
        Bytes bytes;
        const char* what;
    } cases[] = {
        {"photo.heic", fileType("heic", "mif1heic"), "a HEIC picture"},
        {"burst.heic", fileType("mif1", "mif1heic"), "a HEIC picture"},
        {"photo.avif", fileType("avif", "mif1avifmiaf"), "an AVIF picture"},
        {"sequence.avif", fileType("mif1", "mif1avis"), "an AVIF picture"},
        {"photo.jxl", Bytes{0xFF, 0x0A, 0xFA, 0x12}, "a JPEG XL picture"},
        {"boxed.jxl", Bytes{0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A, 0, 0}, "a JPEG XL picture"},
        {"scan.jp2", Bytes{0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A, 0, 0}, "a JPEG 2000 picture"},
        {"scan.j2k", Bytes{0xFF, 0x4F, 0xFF, 0x51, 0, 0x2F}, "a JPEG 2000 picture"},
        {"layers.psd", text(std::string_view("8BPS\0\1\0\0\0\0\0\0", 12)), "a Photoshop (PSD) picture"},
        {"favicon.ico", Bytes{0, 0, 1, 0, 1, 0, 16, 16, 0, 0}, "an icon (ICO) picture"},
        {"pointer.cur", Bytes{0, 0, 2, 0, 1, 0, 32, 32, 0, 0}, "a cursor (CUR) picture"},
        {"logo.svg",
            text("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- drawn -->\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>"),
            "an SVG drawing"},
        {"bare.svg", text("  <svg width=\"10\" height=\"10\"></svg>"), "an SVG drawing"},
        {"leaflet.pdf", text("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n"), "a PDF document"},
        {"old.pcx", Bytes{0x0A, 5, 1, 8, 0, 0, 0, 0}, "a PCX picture"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        writeFile(dir / c.name, c.bytes);
        try {
            LoadPicture(dir / c.name);
            ADD_FAILURE() << c.name << " was read";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrInvalidPicture) << c.name;
            EXPECT_EQ(std::string(e.what()),
                (dir / c.name).string() + " is " + c.what + "; Tavrenix reads JPEG, PNG, GIF, BMP, WebP and TIFF");
        }
    }
    // Text that is no drawing, and a box of another kind, are just not pictures.
    EXPECT_INVALID_PICTURE(text("<html><body>no drawing here</body></html>"), "not a picture Tavrenix reads");
    EXPECT_INVALID_PICTURE(fileType("isom", "isomavc1"), "not a picture Tavrenix reads");
}

// ---------------------------------------------------------------------------------------
// SavePicture

constexpr int kW = 7;  // 21 bytes of 24-bit pixels: three bytes of padding in every row
constexpr int kH = 5;

std::uint32_t le32(const Bytes& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
        std::uint32_t(b[at + 3]) << 24;
}
std::uint32_t le16(const Bytes& b, std::size_t at) { return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8; }

// 5-bit levels whose widening to 8 bits (bit repetition) is known: 0, 8, 16, 24, 31.
constexpr std::array<std::uint32_t, 5> kFive = {0, 8, 16, 24, 31};
constexpr std::array<std::uint32_t, 5> kEight = {0x00, 0x42, 0x84, 0xC6, 0xFF};

struct Source {
    std::unique_ptr<DIBSection> bmp;
    std::vector<std::uint32_t> colours;  // what each pixel shows, rows from the top
};

// A bitmap of the given depth holding an asymmetric pattern, and the colours it shows.
Source makeSource(int bits, bool topDown)
{
    BITMAPINFO bmi = makeBitmapInfo(kW, topDown ? -kH : kH, bits);
    const int tableSize = bits <= 8 ? (bits == 8 ? 50 : 1 << bits) : 0;
    for (int i = 0; i < tableSize; ++i)
        bmi.bmiColors[i] = RGBQUAD{std::uint8_t(i * 5), std::uint8_t(255 - i * 3), std::uint8_t(i * 11), 0};
    bmi.bmiHeader.biClrUsed = std::uint32_t(tableSize);
    Source s{DIBSection::create(bmi), {}};
    for (int y = 0; y < kH; ++y) {
        std::uint8_t* row = s.bmp->row(y);
        for (int x = 0; x < kW; ++x) {
            const int seed = x * 3 + y * 7 + x * y;
            if (bits <= 8) {
                const int index = seed % tableSize;
                if (bits == 1)
                    row[x / 8] |= std::uint8_t(index << (7 - x % 8));
                else if (bits == 4)
                    row[x / 2] |= std::uint8_t(index << (x % 2 ? 0 : 4));
                else
                    row[x] = std::uint8_t(index);
                const RGBQUAD& q = bmi.bmiColors[index];
                s.colours.push_back(rgb(q.rgbRed, q.rgbGreen, q.rgbBlue));
            } else if (bits == 16) {
                const std::size_t r = std::size_t(seed % 5), g = std::size_t((seed + 1) % 5), b = std::size_t(x % 5);
                const std::uint32_t word = kFive[r] << 10 | kFive[g] << 5 | kFive[b];
                row[2 * x] = std::uint8_t(word);
                row[2 * x + 1] = std::uint8_t(word >> 8);
                s.colours.push_back(rgb(int(kEight[r]), int(kEight[g]), int(kEight[b])));
            } else {
                const int r = (seed * 29) & 255, g = (y * 61) & 255, b = (x * 37 + 3) & 255;
                std::uint8_t* p = row + x * (bits / 8);
                p[0] = std::uint8_t(b);
                p[1] = std::uint8_t(g);
                p[2] = std::uint8_t(r);
                if (bits == 32)
                    p[3] = 0xA5;  // not a colour: ignored
                s.colours.push_back(rgb(r, g, b));
            }
        }
    }
    return s;
}

struct SaveCase {
    int bits;
    bool topDown;
};

class SaveRoundTrip : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveRoundTrip, LoadGivesTheSameColours)
{
    const Source source = makeSource(GetParam().bits, GetParam().topDown);
    ScratchDir dir;
    const auto path = dir / "scratch.dnk";
    SavePicture(*source.bmp, path);
    const auto loaded = LoadPicture(path);
    const DIBSection& bmp = *loaded->Handle();
    ASSERT_EQ(bmp.width(), kW);
    ASSERT_EQ(bmp.height(), kH);
    ASSERT_EQ(bmp.bitCount(), 24);
    const auto actual = rawPixels(bmp);
    EXPECT_EQ(actual, source.colours) << firstDifference(actual, source.colours, kW);
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Picture, SaveRoundTrip,
    ::testing::Values(SaveCase{1, false}, SaveCase{4, false}, SaveCase{8, false}, SaveCase{8, true},
        SaveCase{16, false}, SaveCase{24, false}, SaveCase{24, true}, SaveCase{32, false}, SaveCase{32, true}),
    [](const ::testing::TestParamInfo<SaveCase>& info) {
        return std::to_string(info.param.bits) + "bit" + (info.param.topDown ? "_topdown" : "");
    });

TEST(SavePictureFile, IsABottomUp24BitBmpWithZeroPadding)
{
    const Source source = makeSource(24, true);
    ScratchDir dir;
    SavePicture(*source.bmp, dir / "out.bmp");
    const Bytes b = readFile(dir / "out.bmp");
    const std::size_t stride = 24;  // 7 * 3 = 21, padded to 24
    ASSERT_EQ(b.size(), 54 + stride * kH);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), b.size());      // bfSize
    EXPECT_EQ(le32(b, 6), 0u);            // reserved
    EXPECT_EQ(le32(b, 10), 54u);          // bfOffBits
    EXPECT_EQ(le32(b, 14), 40u);          // biSize
    EXPECT_EQ(le32(b, 18), std::uint32_t(kW));
    EXPECT_EQ(le32(b, 22), std::uint32_t(kH));  // positive: bottom-up
    EXPECT_EQ(le16(b, 26), 1u);           // planes
    EXPECT_EQ(le16(b, 28), 24u);          // bits
    EXPECT_EQ(le32(b, 30), BI_RGB);
    EXPECT_EQ(le32(b, 34), stride * kH);  // biSizeImage
    EXPECT_EQ(le32(b, 46), 0u);           // no colour table
    for (int fileRow = 0; fileRow < kH; ++fileRow) {
        const std::size_t at = 54 + std::size_t(fileRow) * stride;
        const int y = kH - 1 - fileRow;  // the first row in the file is the bottom one
        for (int x = 0; x < kW; ++x) {
            const std::uint32_t c = source.colours[std::size_t(y * kW + x)];
            EXPECT_EQ(rgb(b[at + 3 * x + 2], b[at + 3 * x + 1], b[at + 3 * x]), c) << x << ", " << y;
        }
        for (std::size_t i = 21; i < stride; ++i)
            EXPECT_EQ(b[at + i], 0) << "padding of file row " << fileRow;
    }
}

TEST(SavePictureFile, ReplacesAnExistingFileWhole)
{
    ScratchDir dir;
    const auto path = dir / "scratch.dnk";
    writeFile(path, Bytes(5000, 0x55));
    const Source source = makeSource(8, false);
    SavePicture(*source.bmp, path);
    EXPECT_EQ(std::filesystem::file_size(path), 54u + 24u * kH);
    EXPECT_EQ(rawPixels(*LoadPicture(path)->Handle()), source.colours);
}

TEST(SavePictureFile, UnwritablePlacesFailWithNothingLeftBehind)
{
    ScratchDir dir;
    const Source source = makeSource(24, false);
    std::filesystem::create_directory(dir / "taken");
    const std::filesystem::path targets[] = {dir / "no-such-folder" / "out.bmp", dir / "taken"};
    for (const auto& target : targets) {
        try {
            SavePicture(*source.bmp, target);
            ADD_FAILURE() << target << ": no error";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrPathFileAccess) << target;
            EXPECT_EQ(std::string(e.what()).rfind(target.string() + ": ", 0), 0u) << e.what();
        }
    }
    // Only the folder that was in the way remains: no temporary or partial file.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"taken"});
    EXPECT_TRUE(std::filesystem::is_empty(dir / "taken"));
}

}  // namespace
}  // namespace tav::test
