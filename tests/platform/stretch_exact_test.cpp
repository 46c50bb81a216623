// The fast HALFTONE stretch (rows summed first, batches, two threads, a reciprocal for the final
// division) against its scalar twin: a direct transcription of the definition, one output pixel
// at a time, summing every weighted source pixel in 64 bits and dividing once. Many sizes
// (shrinking, growing, mixed, 1-pixel sides), source formats, mirroring, clipping and sources
// reaching past the bitmap must give exactly the same bytes. The picture reader's stretch must
// equal StretchBlt from the loaded bitmap for every kind of file it reads.
#include "platform/picture.h"
#include "platform/second_core.h"
#include "platform/picture_decoders.h"
#include "platform/jpeg_row_decoder.h"
#include "platform/picture_reader.h"
#include "platform/pixel_rows.h"
#include "platform/run_time_error.h"
#include "platform/stretch.h"
#include "tests/support/surface.h"

#include <gtest/gtest.h>

#include <turbojpeg.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace tav {
namespace {

using test::makeSurface;
using test::Surface;

struct Tap {
    std::int64_t index;
    std::uint64_t weight;
};

// The weights of output position o of an axis scaled from s to d pixels (DESIGN.md): exact
// overlap in units of 1/d when shrinking or keeping the size, linear interpolation between the
// two nearest source centres in units of 1/(2d) when growing.
std::vector<Tap> axisTaps(std::int64_t s, std::int64_t d, std::int64_t o, std::uint64_t& total)
{
    std::vector<Tap> taps;
    if (d <= s) {
        total = std::uint64_t(s);
        for (std::int64_t i = o * s / d; i < s && i * d < (o + 1) * s; ++i) {
            const std::int64_t lo = std::max(i * d, o * s), hi = std::min((i + 1) * d, (o + 1) * s);
            if (hi > lo)
                taps.push_back({i, std::uint64_t(hi - lo)});
        }
        return taps;
    }
    total = std::uint64_t(2 * d);
    const std::int64_t centre = (2 * o + 1) * s - d;  // units of 1/(2d) from source centre 0
    if (centre <= 0)
        return {{0, total}};
    const std::int64_t i = centre / (2 * d), f = centre % (2 * d);
    if (i >= s - 1)
        return {{s - 1, total}};
    if (f == 0)
        return {{i, total}};
    return {{i, std::uint64_t(2 * d - f)}, {i + 1, std::uint64_t(f)}};
}

// StretchBlt(HALFTONE, SRCCOPY) by the definition, into a new 24-bit bitmap of the whole
// destination size; negative extents mirror, pixels outside the source read as its nearest edge.
std::vector<std::uint32_t> reference(const DIBSection& from, int dstW, int dstH, int xs, int ys, int ws, int hs)
{
    const bool mirrorX = (dstW < 0) != (ws < 0), mirrorY = (dstH < 0) != (hs < 0);
    const int dw = std::abs(dstW), dh = std::abs(dstH), sw = std::abs(ws), sh = std::abs(hs);
    const int sx0 = ws < 0 ? xs + ws : xs, sy0 = hs < 0 ? ys + hs : ys;
    std::vector<std::uint32_t> rgb(std::size_t(from.width()) * std::size_t(from.height()));
    for (int y = 0; y < from.height(); ++y)
        readRgbRow(from, y, 0, from.width(), &rgb[std::size_t(y) * std::size_t(from.width())]);
    const auto pixel = [&](std::int64_t x, std::int64_t y) {
        x = std::clamp<std::int64_t>(x, 0, from.width() - 1);
        y = std::clamp<std::int64_t>(y, 0, from.height() - 1);
        return rgb[std::size_t(y) * std::size_t(from.width()) + std::size_t(x)];
    };
    std::vector<std::uint32_t> out(std::size_t(dw) * std::size_t(dh));
    for (int Y = 0; Y < dh; ++Y) {
        std::uint64_t ty = 0;
        const auto tapsY = axisTaps(sh, dh, mirrorY ? dh - 1 - Y : Y, ty);
        for (int X = 0; X < dw; ++X) {
            std::uint64_t tx = 0;
            const auto tapsX = axisTaps(sw, dw, mirrorX ? dw - 1 - X : X, tx);
            std::uint64_t sum[3] = {0, 0, 0};
            for (const Tap& a : tapsY)
                for (const Tap& b : tapsX) {
                    const std::uint32_t p = pixel(sx0 + b.index, sy0 + a.index);
                    for (int c = 0; c < 3; ++c)
                        sum[c] += a.weight * b.weight * ((p >> (8 * c)) & 0xFF);
                }
            const std::uint64_t total = tx * ty;
            std::uint32_t value = 0;
            for (int c = 0; c < 3; ++c)
                value |= std::uint32_t((2 * sum[c] + total) / (2 * total)) << (8 * c);
            out[std::size_t(Y) * std::size_t(dw) + std::size_t(X)] = value;
        }
    }
    return out;
}

std::vector<std::uint32_t> pixelsOf(const DIBSection& bmp)
{
    std::vector<std::uint32_t> rgb(std::size_t(bmp.width()) * std::size_t(bmp.height()));
    for (int y = 0; y < bmp.height(); ++y)
        readRgbRow(bmp, y, 0, bmp.width(), &rgb[std::size_t(y) * std::size_t(bmp.width())]);
    return rgb;
}

Surface randomSurface(int width, int height, int bits, unsigned seed)
{
    Surface s = makeSurface(width, height, bits, bits <= 8 ? test::greyRamp(1 << bits) : std::vector<RGBQUAD>{});
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < s.bmp->sizeImage(); ++i)
        s.bmp->bits()[i] = std::uint8_t(random());
    return s;
}

struct Case {
    int srcW, srcH, bits;
    int dstW, dstH;  // negative: mirrored
    int xs, ys, ws, hs;  // source rectangle; may reach past the bitmap
};

TEST(HalftoneExact, EqualsTheDefinitionPixelForPixel)
{
    const Case cases[] = {
        {37, 23, 24, 11, 7, 0, 0, 37, 23},  // shrink, fractional
        {40, 40, 24, 20, 10, 0, 0, 40, 40},  // integer shrinks
        {13, 9, 24, 64, 31, 0, 0, 13, 9},  // growth
        {50, 7, 24, 17, 29, 0, 0, 50, 7},  // shrink one way, grow the other
        {1, 1, 24, 5, 3, 0, 0, 1, 1},  // a single pixel
        {29, 31, 24, 1, 1, 0, 0, 29, 31},  // to a single pixel
        {33, 21, 24, -19, 12, 0, 0, 33, 21},  // mirrored across
        {33, 21, 24, 19, -12, 0, 0, 33, 21},  // mirrored down
        {33, 21, 24, 19, 12, 33, 0, -33, 21},  // mirrored by the source extent
        {30, 20, 24, 25, 17, -5, -3, 40, 26},  // the source rectangle reaches past every edge
        {30, 20, 24, 25, 17, 4, 3, 20, 12},  // a rectangle inside
        {41, 27, 8, 23, 15, 0, 0, 41, 27},  // indexed source
        {41, 27, 4, 50, 33, 0, 0, 41, 27},  // 4-bit source, grown
        {41, 27, 16, 23, 15, 0, 0, 41, 27},  // 5-5-5 source
        {41, 27, 32, 23, 15, 0, 0, 41, 27},  // 32-bit source
        {900, 700, 24, 333, 251, 0, 0, 900, 700},  // large enough for two threads
        {700, 500, 24, 1280, 768, 0, 0, 700, 500},  // large growth, two threads
        {900, 700, 8, 331, 257, -7, 3, 905, 690},  // two threads, converted rows, clamped edges
        {1280, 768, 24, 640, 384, 0, 0, 1280, 768},  // the encoder's chroma of a loading screen
    };
    for (const SecondCore policy : {SecondCore::Off, SecondCore::Forced})
    for (const Case& c : cases) {
        const ScopedSecondCorePolicy cores(policy);
        const Surface src = randomSurface(c.srcW, c.srcH, c.bits, unsigned(c.srcW * 31 + c.dstW));
        const int dw = std::abs(c.dstW), dh = std::abs(c.dstH);
        const Surface dst = makeSurface(dw, dh, 24);
        SetStretchBltMode(dst.hdc(), HALFTONE);
        // A negative destination extent starts at the far edge.
        const int x0 = c.dstW < 0 ? dw : 0, y0 = c.dstH < 0 ? dh : 0;
        ASSERT_TRUE(StretchBlt(dst.hdc(), x0, y0, c.dstW, c.dstH, src.hdc(), c.xs, c.ys, c.ws, c.hs, SRCCOPY));
        EXPECT_EQ(pixelsOf(*dst.bmp), reference(*src.bmp, c.dstW, c.dstH, c.xs, c.ys, c.ws, c.hs))
            << c.srcW << "x" << c.srcH << "@" << c.bits << " -> " << c.dstW << "x" << c.dstH << " second core "
            << (policy == SecondCore::Forced ? "forced" : "off");
    }
}

TEST(HalftoneExact, OtherDestinationFormatsTakeTheSameColoursConverted)
{
    const Surface src = randomSurface(300, 200, 24, 7);
    const std::vector<std::uint32_t> expected = reference(*src.bmp, 170, 90, 0, 0, 300, 200);
    for (int bits : {16, 32}) {
        const Surface dst = makeSurface(170, 90, bits);
        SetStretchBltMode(dst.hdc(), HALFTONE);
        ASSERT_TRUE(StretchBlt(dst.hdc(), 0, 0, 170, 90, src.hdc(), 0, 0, 300, 200, SRCCOPY));
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 170; ++x) {
                const COLORREF want = colorRefFromRgb(expected[std::size_t(y) * 170 + std::size_t(x)]);
                ASSERT_EQ(dst.at(x, y), GetNearestColor(dst.hdc(), want)) << bits << " bits at " << x << "," << y;
            }
    }
}

class PictureFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
            ("tavrenix_stretch_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const auto path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }

    std::filesystem::path jpeg(const std::string& name, int width, int height, int samp)
    {
        std::vector<std::uint8_t> rgb(std::size_t(width) * std::size_t(height) * 3);
        std::mt19937 random{unsigned(width)};
        for (std::size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = std::uint8_t((i / 3 % std::size_t(width)) * 255 / std::size_t(width) + random() % 40);
        tjhandle tj = tjInitCompress();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        EXPECT_EQ(tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, samp, 90, 0), 0);
        tjDestroy(tj);
        const auto path = write(name, std::vector<std::uint8_t>(out, out + size));
        tjFree(out);
        return path;
    }

    std::filesystem::path m_dir;
};

// The reader's stretch against StretchBlt from the bitmap LoadPicture makes of the same file.
void expectSameAsStretchBlt(const std::filesystem::path& path, int dstW, int dstH)
{
    const std::unique_ptr<Picture> picture = LoadPicture(path);
    const auto pictureSurface = MemorySurface::borrow(picture->Handle());
    const HDC pictureDc = pictureSurface->hdc();
    const Surface expected = makeSurface(dstW, dstH, 24);
    SetStretchBltMode(expected.hdc(), HALFTONE);
    ASSERT_TRUE(StretchBlt(
        expected.hdc(), 0, 0, dstW, dstH, pictureDc, 0, 0, picture->width(), picture->height(), SRCCOPY));

    const std::unique_ptr<PictureReader> reader = PictureReader::open(path);
    EXPECT_EQ(reader->width(), picture->width());
    EXPECT_EQ(reader->height(), picture->height());
    const Surface actual = makeSurface(dstW, dstH, 24);
    ASSERT_TRUE(StretchPicture(*reader, *actual.bmp));
    EXPECT_EQ(pixelsOf(*actual.bmp), pixelsOf(*expected.bmp)) << path.filename() << " -> " << dstW << "x" << dstH;
}

TEST_F(PictureFiles, ReadingRowByRowScalesLikeTheLoadedBitmap)
{
    const Surface bmp24 = randomSurface(1001, 613, 24, 3);
    const auto bottomUp = m_dir / "bottom_up.bmp";
    SavePicture(*bmp24.bmp, bottomUp);
    const Surface bmp8 = randomSurface(333, 211, 8, 4);
    const auto indexed = m_dir / "from_indexed.bmp";
    SavePicture(*bmp8.bmp, indexed);  // saved as 24 bits
    for (const auto& [path, w, h] : std::vector<std::tuple<std::filesystem::path, int, int>>{{bottomUp, 256, 195},
             {bottomUp, 1280, 768}, {indexed, 640, 256}, {jpeg("a.jpg", 1500, 900, TJSAMP_420), 512, 223},
             {jpeg("b.jpg", 301, 199, TJSAMP_444), 800, 478}, {jpeg("c.jpg", 640, 480, TJSAMP_GRAY), 256, 195},
             // Enough work for two threads: one decodes the next rows while the other scales.
             {jpeg("d.jpg", 1500, 900, TJSAMP_420), 1280, 768}})
        expectSameAsStretchBlt(path, w, h);
}

TEST_F(PictureFiles, ATopDownBmpIsReadInPlaceToo)
{
    // A top-down 24-bit BMP: the header's height is negative.
    const Surface src = randomSurface(97, 61, 24, 9);
    const auto path = m_dir / "top_down.bmp";
    SavePicture(*src.bmp, path);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    const std::int32_t height = -61;
    std::memcpy(&bytes[22], &height, 4);
    // Reverse the row order to keep the same picture.
    const std::size_t stride = (97 * 3 + 3) / 4 * 4;
    std::vector<char> rows(bytes.begin() + 54, bytes.end());
    for (int y = 0; y < 61; ++y)
        std::copy_n(&rows[std::size_t(60 - y) * stride], stride, &bytes[54 + std::size_t(y) * stride]);
    file.seekp(0);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    file.close();
    expectSameAsStretchBlt(path, 40, 30);
    expectSameAsStretchBlt(path, 200, 100);
}

TEST(ReducedScale, DenominatorKeepsAtLeastTwiceTheTargetOnBothAxes)
{
    struct Row {
        std::int64_t w, h, tw, th;
        int denominator;
    };
    const Row rows[] = {
        {6000, 4000, 1280, 768, 2},  // 3000 x 2000; a quarter (1500) would be under twice 1280
        {1920, 1080, 256, 195, 2},  // 960 x 540; a quarter (480) is under 512
        {2048, 1560, 256, 195, 4},  // 512 x 390
        {5120, 3072, 1280, 768, 2},  // exactly twice at a half
        {5118, 3072, 1280, 768, 1},  // a half is 2559 wide, under twice 1280
        {5120, 3070, 1280, 768, 1},  // a half is 1535 high, under twice 768
        {4096, 4096, 256, 195, 8},  // 512 x 512
        {4089, 3113, 256, 195, 8},  // 512 x 390 after rounding up
        {4088, 3113, 256, 195, 4},  // 511 wide at an eighth
        {640, 480, 0, 0, 1},  // no target
    };
    for (const Row& r : rows)
        EXPECT_EQ(reducedScaleDenominator(r.w, r.h, r.tw, r.th), r.denominator) << r.w << "x" << r.h;
}

TEST_F(PictureFiles, AReducedJpegIsDecodedAtTheChosenScale)
{
    const auto path = jpeg("big.jpg", 2600, 1560, TJSAMP_420);
    const auto reader = PictureReader::open(path, 640, 384, JpegScaling::Reduced);
    EXPECT_EQ(reader->denominator(), 2);
    EXPECT_EQ(reader->width(), 1300);
    EXPECT_EQ(reader->height(), 780);
    // libjpeg's own scaled decode of the same file, row for row.
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    tjhandle tj = tjInitDecompress();
    std::vector<unsigned char> bgr(1300 * 780 * 3);
    ASSERT_EQ(tjDecompress2(tj, bytes.data(), bytes.size(), bgr.data(), 1300, 0, 780, TJPF_BGR, 0), 0);
    tjDestroy(tj);
    reader->keepRows(1);
    for (int y = 0; y < 780; ++y)
        ASSERT_EQ(std::memcmp(reader->row(y), &bgr[std::size_t(y) * 1300 * 3], 1300 * 3), 0) << "row " << y;
    // Full scale when asked, or when the picture is not twice the target.
    EXPECT_EQ(PictureReader::open(path, 640, 384, JpegScaling::Full)->width(), 2600);
    EXPECT_EQ(PictureReader::open(path, 651, 384, JpegScaling::Reduced)->width(), 2600);
}

TEST_F(PictureFiles, DamageFoundInTheMiddleIsRaisedWithTheFileNamed)
{
    const auto whole = jpeg("whole.jpg", 640, 480, TJSAMP_420);
    std::ifstream in(whole, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    bytes.resize(bytes.size() / 2);
    const auto cut = write("cut.jpg", bytes);
    // Scaled on one thread, and on two (the damage met while the other thread scales rows).
    for (const auto& [w, h] : {std::pair(100, 100), std::pair(1600, 1200)}) {
        const auto reader = PictureReader::open(cut);
        const Surface dst = makeSurface(w, h, 24);
        try {
            StretchPicture(*reader, *dst.bmp);
            FAIL() << "a truncated JPEG was read to its end";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrInvalidPicture);
            EXPECT_NE(std::string(e.what()).find(cut.string() + ": JPEG: "), std::string::npos) << e.what();
        }
    }
    // Missing files and folders are refused as LoadPicture refuses them.
    for (const auto& [path, number] :
        std::vector<std::pair<std::filesystem::path, int>>{{m_dir / "none.jpg", kErrFileNotFound}, {m_dir, 75}}) {
        try {
            PictureReader::open(path);
            FAIL() << path;
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), number) << path;
        }
    }
}

}  // namespace
}  // namespace tav
