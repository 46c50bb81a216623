// BMP reader: every header, depth, compression and row order written by a small writer from
// a known pixel array and read back pixel for pixel; run-length streams with hand-computed
// pictures; malformed files refused with the invalid-picture error.
#include "picture_test_support.h"

#include "platform/picture_decoders.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>

namespace tav::test {
namespace {

enum class Header { Core = 12, Info = 40, V4 = 108, V5 = 124 };

constexpr int kWidth = 13;  // odd, and not a multiple of 8: partial bytes and row padding
constexpr int kHeight = 7;

struct BmpSpec {
    const char* name;
    Header header;
    int bits;
    std::uint32_t compression = BI_RGB;
    bool topDown = false;
    int colorsUsed = 0;  // written to biClrUsed; 0: the full table
    std::array<std::uint32_t, 3> masks = {};
    int expectBits = 0;   // depth of the decoded bitmap
    int gap = 0;          // bytes between the colour table and the pixels
};

void put16(Bytes& b, std::size_t at, std::uint32_t v)
{
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    put16(b, at, v);
    put16(b, at + 2, v >> 16);
}

// Channel levels that survive being cut to n bits and widened again by bit repetition,
// so the decoded colour must equal the written one exactly.
constexpr std::array<int, 5> kLevels4 = {0x00, 0x44, 0x88, 0xCC, 0xFF};
constexpr std::array<int, 5> kLevels5 = {0x00, 0x42, 0x84, 0xC6, 0xFF};
constexpr std::array<int, 5> kLevels6 = {0x00, 0x41, 0x82, 0xC3, 0xFF};
constexpr std::array<int, 5> kLevels8 = {0x00, 0x3A, 0x80, 0xC5, 0xFF};

const std::array<int, 5>& levelsFor(int bits)
{
    switch (bits) {
    case 4: return kLevels4;
    case 5: return kLevels5;
    case 6: return kLevels6;
    default: return kLevels8;
    }
}

int maskBits(std::uint32_t mask) { return std::popcount(mask); }

// The colour a bit-field test pixel shows.
std::uint32_t fieldColour(const BmpSpec& spec, int x, int y)
{
    int channel[3];
    for (int c = 0; c < 3; ++c)
        channel[c] = levelsFor(maskBits(spec.masks[std::size_t(c)]))[std::size_t((x + 2 * y + 3 * c) % 5)];
    return rgb(channel[0], channel[1], channel[2]);
}

// The pixel word holding an 8-bit channel value in a mask (top bits exact, lower bits filled
// by repetition as an encoder would).
std::uint32_t intoMask(int value, std::uint32_t mask)
{
    const int bits = maskBits(mask);
    const int low = std::countr_zero(mask);
    std::uint32_t v = 0;
    if (bits <= 8)
        v = std::uint32_t(value) >> (8 - bits);
    else
        v = (std::uint32_t(value) << (bits - 8)) | (std::uint32_t(value) >> (16 - bits));
    return (v << low) & mask;
}

RGBQUAD tableEntry(int i) { return RGBQUAD{std::uint8_t(i * 7), std::uint8_t(255 - i), std::uint8_t(i * 13 + 5), 0}; }

int tableCount(const BmpSpec& spec) { return spec.colorsUsed ? spec.colorsUsed : 1 << spec.bits; }

// The raw value written at (x, y), counted from the top.
std::uint32_t writtenPixel(const BmpSpec& spec, int x, int y)
{
    if (spec.bits <= 8)
        return std::uint32_t((x * 3 + y * 5) % tableCount(spec));
    if (spec.compression == BI_BITFIELDS) {
        const std::uint32_t c = fieldColour(spec, x, y);
        return intoMask(int(c >> 16), spec.masks[0]) | intoMask(int((c >> 8) & 255), spec.masks[1]) |
            intoMask(int(c & 255), spec.masks[2]);
    }
    switch (spec.bits) {
    case 16: return std::uint32_t(x * 1237 + y * 4567) & 0xFFFF;  // top bit too: kept as it is
    case 24: return rgb((x * 19) & 255, (y * 37) & 255, (x * y * 11) & 255);
    default: return rgb((x * 19) & 255, (y * 37) & 255, (x * y * 11) & 255) | std::uint32_t(x * 7 + y) << 24;
    }
}

// Packs rows of raw values as the file stores them, padded to 4 bytes.
Bytes packRows(int bits, int width, int height, bool topDown, const std::function<std::uint32_t(int, int)>& pixel)
{
    const std::size_t stride = std::size_t((width * bits + 31) / 32 * 4);
    Bytes out(stride * std::size_t(height), 0);
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        std::uint8_t* row = out.data() + std::size_t(r) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = pixel(x, y);
            switch (bits) {
            case 1: row[x / 8] |= std::uint8_t(v << (7 - x % 8)); break;
            case 4: row[x / 2] |= std::uint8_t(v << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = std::uint8_t(v); break;
            default:
                for (int i = 0; i < bits / 8; ++i)
                    row[std::size_t(x * bits / 8 + i)] = std::uint8_t(v >> (8 * i));
            }
        }
    }
    return out;
}

struct BmpFile {
    Header header = Header::Info;
    int width = kWidth;
    int height = kHeight;  // negative: top-down
    int bits = 8;
    std::uint32_t compression = BI_RGB;
    std::uint32_t sizeImage = 0;
    int colorsUsed = 0;
    std::vector<RGBQUAD> table;
    std::array<std::uint32_t, 3> masks = {};
    int gap = 0;
    Bytes pixels;
};

Bytes writeBmp(const BmpFile& f)
{
    const std::size_t headerSize = std::size_t(f.header);
    const bool core = f.header == Header::Core;
    const bool masksAfter = f.header == Header::Info && f.compression == BI_BITFIELDS;
    const std::size_t entry = core ? 3 : 4;
    const std::size_t tableOffset = 14 + headerSize + (masksAfter ? 12 : 0);
    const std::size_t pixelOffset = tableOffset + f.table.size() * entry + std::size_t(f.gap);
    Bytes b(pixelOffset, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, std::uint32_t(pixelOffset + f.pixels.size()));
    put32(b, 10, std::uint32_t(pixelOffset));
    put32(b, 14, std::uint32_t(headerSize));
    if (core) {
        put16(b, 18, std::uint32_t(f.width));
        put16(b, 20, std::uint32_t(f.height));
        put16(b, 22, 1);
        put16(b, 24, std::uint32_t(f.bits));
    } else {
        put32(b, 18, std::uint32_t(f.width));
        put32(b, 22, std::uint32_t(f.height));
        put16(b, 26, 1);
        put16(b, 28, std::uint32_t(f.bits));
        put32(b, 30, f.compression);
        put32(b, 34, f.sizeImage);
        put32(b, 38, 2835);
        put32(b, 42, 2835);
        put32(b, 46, std::uint32_t(f.colorsUsed));
        if (f.compression == BI_BITFIELDS)
            for (std::size_t i = 0; i < 3; ++i)
                put32(b, (masksAfter ? tableOffset - 12 : 54) + 4 * i, f.masks[i]);
    }
    for (std::size_t i = 0; i < f.table.size(); ++i) {
        std::uint8_t* e = &b[tableOffset + i * entry];
        e[0] = f.table[i].rgbBlue;
        e[1] = f.table[i].rgbGreen;
        e[2] = f.table[i].rgbRed;
        if (!core)
            e[3] = 0x77;  // reserved: must not leak into the colour table
    }
    for (std::size_t i = tableOffset + f.table.size() * entry; i < pixelOffset; ++i)
        b[i] = 0xEE;  // the gap's contents are not pixels
    b.insert(b.end(), f.pixels.begin(), f.pixels.end());
    return b;
}

BmpFile fileFor(const BmpSpec& spec)
{
    BmpFile f;
    f.header = spec.header;
    f.height = spec.topDown ? -kHeight : kHeight;
    f.bits = spec.bits;
    f.compression = spec.compression;
    f.colorsUsed = spec.colorsUsed;
    f.masks = spec.masks;
    f.gap = spec.gap;
    if (spec.bits <= 8)
        for (int i = 0; i < tableCount(spec); ++i)
            f.table.push_back(tableEntry(i));
    f.pixels =
        packRows(spec.bits, kWidth, kHeight, spec.topDown, [&](int x, int y) { return writtenPixel(spec, x, y); });
    return f;
}

class BmpVariant : public ::testing::TestWithParam<BmpSpec> {};

TEST_P(BmpVariant, DecodesPixelForPixel)
{
    const BmpSpec& spec = GetParam();
    const auto picture = loadBytes(writeBmp(fileFor(spec)), "variant.bmp");
    const DIBSection& bmp = *picture->Handle();
    ASSERT_EQ(bmp.width(), kWidth);
    ASSERT_EQ(bmp.height(), kHeight);
    ASSERT_EQ(bmp.bitCount(), spec.expectBits);

    std::vector<std::uint32_t> expected;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            expected.push_back(spec.expectBits == 24 && spec.compression == BI_BITFIELDS ? fieldColour(spec, x, y)
                                                                                         : writtenPixel(spec, x, y));
    const auto actual = rawPixels(bmp);
    EXPECT_EQ(actual, expected) << firstDifference(actual, expected, kWidth);

    if (spec.bits <= 8) {
        ASSERT_EQ(bmp.colorCount(), tableCount(spec));
        for (int i = 0; i < bmp.colorCount(); ++i)
            EXPECT_EQ(bmp.colorTable()[i], tableEntry(i)) << "entry " << i;
    }
    // Padding and the unused bits of a partial last byte are zero.
    const int usedBits = kWidth * bmp.bitCount();
    for (int y = 0; y < kHeight; ++y) {
        const std::uint8_t* row = bmp.row(y);
        if (usedBits % 8) {
            EXPECT_EQ(row[usedBits / 8] & (0xFF >> (usedBits % 8)), 0) << "row " << y;
        }
        for (int i = (usedBits + 7) / 8; i < bmp.stride(); ++i)
            EXPECT_EQ(row[i], 0) << "row " << y << " byte " << i;
    }
}

constexpr std::array<std::uint32_t, 3> kMasks555 = {0x7C00, 0x03E0, 0x001F};
constexpr std::array<std::uint32_t, 3> kMasks565 = {0xF800, 0x07E0, 0x001F};
constexpr std::array<std::uint32_t, 3> kMasks444 = {0x0F00, 0x00F0, 0x000F};
constexpr std::array<std::uint32_t, 3> kMasksBgrx = {0xFF0000, 0x00FF00, 0x0000FF};
constexpr std::array<std::uint32_t, 3> kMasksRgbx = {0x0000FF, 0x00FF00, 0xFF0000};
constexpr std::array<std::uint32_t, 3> kMasks101010 = {0x3FF00000, 0x000FFC00, 0x000003FF};

INSTANTIATE_TEST_SUITE_P(Bmp, BmpVariant,
    ::testing::Values(
        // clang-format off
        BmpSpec{"info_1bit", Header::Info, 1, BI_RGB, false, 0, {}, 1},
        BmpSpec{"info_1bit_topdown", Header::Info, 1, BI_RGB, true, 0, {}, 1},
        BmpSpec{"core_1bit", Header::Core, 1, BI_RGB, false, 0, {}, 1},
        BmpSpec{"info_4bit", Header::Info, 4, BI_RGB, false, 0, {}, 4},
        BmpSpec{"info_4bit_short_table", Header::Info, 4, BI_RGB, false, 6, {}, 4},
        BmpSpec{"core_4bit", Header::Core, 4, BI_RGB, false, 0, {}, 4},
        BmpSpec{"info_8bit", Header::Info, 8, BI_RGB, false, 0, {}, 8},
        BmpSpec{"info_8bit_short_table", Header::Info, 8, BI_RGB, false, 37, {}, 8},
        BmpSpec{"info_8bit_topdown", Header::Info, 8, BI_RGB, true, 0, {}, 8},
        BmpSpec{"core_8bit", Header::Core, 8, BI_RGB, false, 0, {}, 8},
        BmpSpec{"v5_8bit_gap_before_pixels", Header::V5, 8, BI_RGB, false, 0, {}, 8, 30},
        BmpSpec{"info_16bit", Header::Info, 16, BI_RGB, false, 0, {}, 16},
        BmpSpec{"info_16bit_topdown", Header::Info, 16, BI_RGB, true, 0, {}, 16},
        BmpSpec{"info_24bit", Header::Info, 24, BI_RGB, false, 0, {}, 24},
        BmpSpec{"info_24bit_topdown", Header::Info, 24, BI_RGB, true, 0, {}, 24},
        BmpSpec{"core_24bit", Header::Core, 24, BI_RGB, false, 0, {}, 24},
        BmpSpec{"v4_24bit", Header::V4, 24, BI_RGB, false, 0, {}, 24},
        BmpSpec{"v5_24bit_topdown", Header::V5, 24, BI_RGB, true, 0, {}, 24, 8},
        BmpSpec{"info_32bit_fourth_byte_kept", Header::Info, 32, BI_RGB, false, 0, {}, 32},
        BmpSpec{"v5_32bit_topdown", Header::V5, 32, BI_RGB, true, 0, {}, 32},
        BmpSpec{"info_bitfields_555_stays_16", Header::Info, 16, BI_BITFIELDS, false, 0, kMasks555, 16},
        BmpSpec{"info_bitfields_565", Header::Info, 16, BI_BITFIELDS, false, 0, kMasks565, 24},
        BmpSpec{"v4_bitfields_565", Header::V4, 16, BI_BITFIELDS, false, 0, kMasks565, 24},
        BmpSpec{"v4_bitfields_565_topdown", Header::V4, 16, BI_BITFIELDS, true, 0, kMasks565, 24},
        BmpSpec{"v5_bitfields_444", Header::V5, 16, BI_BITFIELDS, false, 0, kMasks444, 24},
        BmpSpec{"info_bitfields_bgrx_stays_32", Header::Info, 32, BI_BITFIELDS, false, 0, kMasksBgrx, 32},
        BmpSpec{"v4_bitfields_rgbx", Header::V4, 32, BI_BITFIELDS, false, 0, kMasksRgbx, 24},
        BmpSpec{"info_bitfields_101010", Header::Info, 32, BI_BITFIELDS, false, 0, kMasks101010, 24}
        // clang-format on
        ),
    [](const ::testing::TestParamInfo<BmpSpec>& info) { return std::string(info.param.name); });

// Bit repetition by hand: 5 bits 00001 widen to 00001000, 6 bits 000001 to 00000100,
// 10000 to 10000100 and 100000 to 10000010.
TEST(BmpBitFields, WidenByRepeatingTheTopBits)
{
    BmpFile f;
    f.width = 3;
    f.height = 1;
    f.bits = 16;
    f.compression = BI_BITFIELDS;
    f.masks = kMasks565;
    const std::uint16_t words[3] = {0x0821, 0x8410, 0xFFFF};
    f.pixels = packRows(16, 3, 1, false, [&](int x, int) { return words[x]; });
    const auto picture = loadBytes(writeBmp(f));
    const std::vector<std::uint32_t> expected = {rgb(0x08, 0x04, 0x08), rgb(0x84, 0x82, 0x84), rgb(0xFF, 0xFF, 0xFF)};
    EXPECT_EQ(rawPixels(*picture->Handle()), expected);
}

// ---------------------------------------------------------------------------------------
// Run-length encoding

Bytes rleFile(int bits, int width, int height, const Bytes& stream, std::uint32_t sizeImage)
{
    BmpFile f;
    f.width = width;
    f.height = height;
    f.bits = bits;
    f.compression = bits == 8 ? BI_RLE8 : BI_RLE4;
    f.sizeImage = sizeImage;
    for (int i = 0; i < (1 << bits); ++i)
        f.table.push_back(tableEntry(i));
    f.pixels = stream;
    return writeBmp(f);
}
Bytes rleFile(int bits, int width, int height, const Bytes& stream)
{
    return rleFile(bits, width, height, stream, std::uint32_t(stream.size()));
}

// Rows bottom-up in the stream: run, literal, end of line; literal with pad, delta to the
// next row; run, end of line; run, end of bitmap.
const Bytes kRle8Stream = {
    0x03, 0x05, 0x00, 0x04, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00,  // bottom row
    0x00, 0x03, 0x09, 0x08, 0x07, 0x00, 0x00, 0x02, 0x02, 0x01,  // literal of 3 + pad, delta (2, 1)
    0x02, 0x06, 0x00, 0x00,                                      // at x 5 of the third row
    0x01, 0x0B, 0x00, 0x01,                                      // top row, end of bitmap
};
const std::vector<std::uint32_t> kRle8Picture = {
    11, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 6, 6,   //
    9, 8, 7, 0, 0, 0, 0,   //
    5, 5, 5, 1, 2, 3, 4,   //
};

const Bytes kRle4Stream = {
    0x05, 0x12, 0x02, 0x34, 0x00, 0x00,              // bottom row: 1 2 1 2 1, 3 4
    0x00, 0x05, 0x56, 0x78, 0x9A, 0x00,              // literal 5 6 7 8 9 (+ pad)
    0x00, 0x02, 0x01, 0x01, 0x01, 0xF0, 0x00, 0x01,  // delta (1, 1), one 15, end of bitmap
};
const std::vector<std::uint32_t> kRle4Picture = {
    0, 0, 0, 0, 0, 0, 15,  //
    5, 6, 7, 8, 9, 0, 0,   //
    1, 2, 1, 2, 1, 3, 4,   //
};

TEST(BmpRle, Rle8RunsLiteralsDeltaAndEndOfBitmap)
{
    const auto picture = loadBytes(rleFile(8, 7, 4, kRle8Stream));
    const DIBSection& bmp = *picture->Handle();
    ASSERT_EQ(bmp.bitCount(), 8);
    EXPECT_EQ(rawPixels(bmp), kRle8Picture);
    EXPECT_EQ(bmp.colorCount(), 256);
    EXPECT_EQ(bmp.colorTable()[11], tableEntry(11));
}

TEST(BmpRle, Rle4RunsLiteralsDeltaAndEndOfBitmap)
{
    const auto picture = loadBytes(rleFile(4, 7, 3, kRle4Stream));
    const DIBSection& bmp = *picture->Handle();
    ASSERT_EQ(bmp.bitCount(), 4);
    EXPECT_EQ(rawPixels(bmp), kRle4Picture);
}

TEST(BmpRle, SizeImageZeroReadsToTheEndOfTheFile)
{
    const auto picture = loadBytes(rleFile(8, 7, 4, kRle8Stream, 0));
    EXPECT_EQ(rawPixels(*picture->Handle()), kRle8Picture);
}

TEST(BmpRle, StreamEndingAfterItsLastRowIsComplete)
{
    // Two full rows, each closed by an end of line, and no end-of-bitmap.
    const Bytes stream = {0x03, 0x01, 0x00, 0x00, 0x02, 0x02, 0x01, 0x03, 0x00, 0x00};
    const auto picture = loadBytes(rleFile(8, 3, 2, stream));
    const std::vector<std::uint32_t> expected = {2, 2, 3, 1, 1, 1};
    EXPECT_EQ(rawPixels(*picture->Handle()), expected);
}

struct BadRle {
    const char* name;
    int bits;
    int width;
    int height;
    Bytes stream;
    const char* problem;
};

class BmpBadRle : public ::testing::TestWithParam<BadRle> {};

TEST_P(BmpBadRle, IsRefused)
{
    const BadRle& c = GetParam();
    EXPECT_INVALID_PICTURE(rleFile(c.bits, c.width, c.height, c.stream), c.problem);
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpBadRle,
    ::testing::Values(
        // clang-format off
        BadRle{"rle8_run_past_row_end", 8, 7, 2,
            {0x08, 0x01, 0x00, 0x01},
            "past the end of a row"},
        BadRle{"rle8_run_after_delta_past_row_end", 8, 7, 2,
            {0x00, 0x02, 0x05, 0x00, 0x03, 0x01, 0x00, 0x01},
            "past the end of a row"},
        BadRle{"rle8_literal_past_row_end", 8, 4, 2,
            {0x00, 0x05, 1, 2, 3, 4, 5, 0, 0x00, 0x01},
            "past the end of a row"},
        BadRle{"rle8_delta_past_right_edge", 8, 7, 2,
            {0x00, 0x02, 0x08, 0x00, 0x00, 0x01},
            "outside the bitmap"},
        BadRle{"rle8_delta_past_top", 8, 7, 2,
            {0x00, 0x02, 0x00, 0x03, 0x00, 0x01},
            "outside the bitmap"},
        BadRle{"rle8_rows_past_top", 8, 2, 2,
            {0x02, 0x01, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x01},
            "past the last row"},
        BadRle{"rle8_ends_without_end_of_bitmap", 8, 7, 2,
            {0x03, 0x01},
            "truncated"},
        BadRle{"rle8_literal_cut_short", 8, 7, 2,
            {0x00, 0x05, 0x01, 0x02},
            "truncated"},
        BadRle{"rle8_literal_missing_pad", 8, 7, 2,
            {0x00, 0x03, 0x01, 0x02, 0x03},
            "truncated"},
        BadRle{"rle8_delta_cut_short", 8, 7, 2,
            {0x00, 0x02, 0x01},
            "truncated"},
        BadRle{"rle8_empty_stream", 8, 7, 2,
            {},
            "truncated"},
        BadRle{"rle4_run_past_row_end", 4, 5, 2,
            {0x06, 0x12, 0x00, 0x01},
            "past the end of a row"},
        BadRle{"rle4_literal_past_row_end", 4, 5, 2,
            {0x00, 0x06, 0x12, 0x34, 0x56, 0x00, 0x00, 0x01},
            "past the end of a row"},
        BadRle{"rle4_literal_cut_short", 4, 7, 2,
            {0x00, 0x07, 0x12, 0x34},
            "truncated"}
        // clang-format on
        ),
    [](const ::testing::TestParamInfo<BadRle>& info) { return std::string(info.param.name); });

TEST(BmpRle, SizeImageLargerThanTheFileIsRefused)
{
    EXPECT_INVALID_PICTURE(rleFile(8, 7, 4, kRle8Stream, std::uint32_t(kRle8Stream.size() + 1)), "truncated");
}

// ---------------------------------------------------------------------------------------
// Malformed headers

struct BadHeader {
    const char* name;
    std::function<void(BmpFile&)> change;
    const char* problem;
};

class BmpBadHeader : public ::testing::TestWithParam<BadHeader> {};

BmpFile validEightBit() { return fileFor(BmpSpec{"base", Header::Info, 8, BI_RGB, false, 0, {}, 8}); }

TEST_P(BmpBadHeader, IsRefused)
{
    BmpFile f = validEightBit();
    GetParam().change(f);
    EXPECT_INVALID_PICTURE(writeBmp(f), GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpBadHeader,
    ::testing::Values(
        BadHeader{"bit_count_2", [](BmpFile& f) { f.bits = 2; }, "bit count 2 is not supported"},
        BadHeader{"bit_count_64", [](BmpFile& f) { f.bits = 64; }, "bit count 64 is not supported"},
        BadHeader{"bit_count_0", [](BmpFile& f) { f.bits = 0; }, "bit count 0 is not supported"},
        BadHeader{"bit_count_3", [](BmpFile& f) { f.bits = 3; }, "bit count 3 is not supported"},
        BadHeader{"core_bit_count_16",
            [](BmpFile& f) {
                f.header = Header::Core;
                f.bits = 16;
                f.table.clear();
            },
            "not supported in a core header"},
        BadHeader{"jpeg_inside", [](BmpFile& f) { f.compression = 4; }, "JPEG or PNG"},
        BadHeader{"png_inside", [](BmpFile& f) { f.compression = 5; }, "JPEG or PNG"},
        BadHeader{"unknown_compression", [](BmpFile& f) { f.compression = 9; }, "unknown compression 9"},
        BadHeader{"rle8_with_4_bits", [](BmpFile& f) { f.compression = BI_RLE8, f.bits = 4; }, "RLE8"},
        BadHeader{"rle4_with_8_bits", [](BmpFile& f) { f.compression = BI_RLE4; }, "RLE4"},
        BadHeader{"rle_top_down",
            [](BmpFile& f) {
                f.compression = BI_RLE8;
                f.height = -f.height;
            },
            "top-down"},
        BadHeader{"bitfields_with_24_bits",
            [](BmpFile& f) {
                f.compression = BI_BITFIELDS;
                f.bits = 24;
                f.masks = kMasksBgrx;
            },
            "bit fields need 16 or 32"},
        BadHeader{"bitfields_overlapping",
            [](BmpFile& f) {
                f.compression = BI_BITFIELDS;
                f.bits = 16;
                f.masks = {0xF800, 0x0FE0, 0x001F};
            },
            "masks"},
        BadHeader{"bitfields_empty_mask",
            [](BmpFile& f) {
                f.compression = BI_BITFIELDS;
                f.bits = 16;
                f.masks = {0xF800, 0, 0x001F};
            },
            "masks"},
        BadHeader{"bitfields_split_mask",
            [](BmpFile& f) {
                f.compression = BI_BITFIELDS;
                f.bits = 32;
                f.masks = {0xF0000F00, 0x00FF00, 0x0000FF};
            },
            "masks"},
        BadHeader{"bitfields_wider_than_pixel",
            [](BmpFile& f) {
                f.compression = BI_BITFIELDS;
                f.bits = 16;
                f.masks = {0x1F0000, 0x07E0, 0x001F};
            },
            "masks"},
        BadHeader{"width_0", [](BmpFile& f) { f.width = 0; }, "no pixels"},
        BadHeader{"width_negative", [](BmpFile& f) { f.width = -13; }, "no pixels"},
        BadHeader{"height_0", [](BmpFile& f) { f.height = 0; }, "no pixels"},
        BadHeader{"height_minimum_int", [](BmpFile& f) { f.height = std::numeric_limits<std::int32_t>::min(); },
            "over the limit"},
        BadHeader{"width_over_the_side_limit", [](BmpFile& f) { f.width = 65536, f.height = 1; }, "over the limit"},
        // 20000 x 20000 is inside the side limit but twice the pixel limit: refused from the
        // header alone (the file holds 91 bytes of pixels; nothing of that size is allocated).
        BadHeader{"pixels_over_the_limit", [](BmpFile& f) { f.width = 20000, f.height = 20000; }, "over the limit"},
        BadHeader{"height_larger_than_the_data", [](BmpFile& f) { f.height = 8; }, "pixel data truncated"},
        BadHeader{"width_larger_than_the_data", [](BmpFile& f) { f.width = 17; }, "pixel data truncated"},
        BadHeader{"colour_table_larger_than_the_file",
            [](BmpFile& f) {
                f.bits = 8;
                f.table.resize(4);
                f.pixels.clear();
                f.colorsUsed = 200;
            },
            "colour table"}),
    [](const ::testing::TestParamInfo<BadHeader>& info) { return std::string(info.param.name); });

// Fields that the writer above always gets right, damaged in the finished bytes.
struct BadBytes {
    const char* name;
    std::function<void(Bytes&)> change;
    const char* problem;
};

class BmpBadBytes : public ::testing::TestWithParam<BadBytes> {};

TEST_P(BmpBadBytes, IsRefused)
{
    Bytes b = writeBmp(validEightBit());
    GetParam().change(b);
    EXPECT_INVALID_PICTURE(b, GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpBadBytes,
    ::testing::Values(
        BadBytes{"planes_2", [](Bytes& b) { put16(b, 26, 2); }, "plane count 2"},
        BadBytes{"header_size_20", [](Bytes& b) { put32(b, 14, 20); }, "unknown information header size 20"},
        BadBytes{"header_size_os2", [](Bytes& b) { put32(b, 14, 64); }, "OS/2"},
        BadBytes{"header_size_past_the_end", [](Bytes& b) { put32(b, 14, 124), b.resize(100); }, "information header"},
        BadBytes{"pixel_offset_inside_the_table", [](Bytes& b) { put32(b, 10, 60); }, "points into the headers"},
        BadBytes{"pixel_offset_zero", [](Bytes& b) { put32(b, 10, 0); }, "points into the headers"},
        BadBytes{"pixel_offset_past_the_end", [](Bytes& b) { put32(b, 10, 0x7FFFFFFF); }, "past the end of the file"},
        // biClrUsed of 2^30 entries for 8 bits: 4 GB of table in a file of a few hundred bytes.
        BadBytes{"colour_count_over_what_the_file_holds", [](Bytes& b) { put32(b, 46, 0x40000000); },
            "colour count 1073741824 is more than the file can hold"},
        BadBytes{"pixel_offset_leaves_too_little", [](Bytes& b) { put32(b, 10, std::uint32_t(b.size() - 10)); },
            "pixel data truncated"}),
    [](const ::testing::TestParamInfo<BadBytes>& info) { return std::string(info.param.name); });

// Every prefix of a valid file is refused: nothing is read past the data, and no part of a
// picture passes for a whole one.
TEST(BmpTruncated, EveryPrefixIsRefused)
{
    const std::vector<std::pair<const char*, Bytes>> files = {
        {"info_8bit", writeBmp(validEightBit())},
        {"core_24bit", writeBmp(fileFor(BmpSpec{"c", Header::Core, 24, BI_RGB, false, 0, {}, 24}))},
        {"v5_bitfields", writeBmp(fileFor(BmpSpec{"v", Header::V5, 16, BI_BITFIELDS, true, 0, kMasks565, 24}))},
        {"info_1bit", writeBmp(fileFor(BmpSpec{"i", Header::Info, 1, BI_RGB, false, 0, {}, 1}))},
        {"rle8", rleFile(8, 7, 4, kRle8Stream)},
        {"rle4", rleFile(4, 7, 3, kRle4Stream)},
    };
    for (const auto& [name, bytes] : files) {
        ASSERT_NO_THROW(decodeBmp(bytes)) << name;
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            try {
                decodeBmp(std::span(bytes.data(), n));
                ADD_FAILURE() << name << " cut to " << n << " bytes was accepted";
            } catch (const RunTimeError& e) {
                EXPECT_EQ(e.number(), kErrInvalidPicture) << name << " cut to " << n;
            }
        }
    }
}

}  // namespace
}  // namespace tav::test
