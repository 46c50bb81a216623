// Transparent BMP files: a header with an alpha mask (56-byte, V4, V5) that is not zero makes
// the pixels transparent, composed onto the background; without one, the fourth byte of a
// 32-bit pixel is unused.
#include "picture_test_support.h"

#include <gtest/gtest.h>

namespace tav::test {
namespace {

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

struct Masks {
    std::uint32_t red, green, blue, alpha;
};

// A bottom-up bitmap of one row with the given header size, compression and masks.
Bytes bmpRow(std::uint32_t headerSize, int bits, std::uint32_t compression, const Masks& m, const Bytes& row)
{
    const std::size_t offset = 14 + headerSize;
    Bytes b(offset, 0);
    b[0] = 'B';
    b[1] = 'M';
    Bytes padded = row;
    padded.resize((row.size() + 3) / 4 * 4, 0);
    put32(b, 2, std::uint32_t(offset + padded.size()));
    put32(b, 10, std::uint32_t(offset));
    put32(b, 14, headerSize);
    put32(b, 18, std::uint32_t(row.size() * 8 / std::size_t(bits)));
    put32(b, 22, 1);
    b[26] = 1;
    b[28] = std::uint8_t(bits);
    put32(b, 30, compression);
    if (headerSize >= 56) {
        put32(b, 54, m.red);
        put32(b, 58, m.green);
        put32(b, 62, m.blue);
        put32(b, 66, m.alpha);
    }
    b.insert(b.end(), padded.begin(), padded.end());
    return b;
}

constexpr Masks kBgra = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};

// Blue, green, red, alpha: opaque red, transparent green, half-transparent (128) blue and
// (100, 200, 50) at alpha 51.
const Bytes kPixels = {0, 0, 255, 255, 0, 255, 0, 0, 255, 0, 0, 128, 50, 200, 100, 51};

TEST(BmpAlpha, AnAlphaMaskComposesOntoTheBackground)
{
    // On white: 255 * 127 / 255 = 127 beside the half blue's 255 * 128 / 255 + ... = 255; the
    // last pixel (100 * 51 + 255 * 204) / 255 = 224, (200 * 51 + 52020) / 255 = 244, 214.
    const std::vector<std::uint32_t> onWhite = {rgb(255, 0, 0), rgb(255, 255, 255), rgb(127, 127, 255),
        rgb(224, 244, 214)};
    // On black: the colours times their opacity.
    const std::vector<std::uint32_t> onBlack = {rgb(255, 0, 0), rgb(0, 0, 0), rgb(0, 0, 128), rgb(20, 40, 10)};
    PictureOptions black;
    black.background = RGB(0, 0, 0);
    for (std::uint32_t header : {56u, 108u, 124u}) {
        for (std::uint32_t compression : {std::uint32_t(BI_BITFIELDS), std::uint32_t(BI_RGB)}) {
            const Bytes file = bmpRow(header, 32, compression, kBgra, kPixels);
            const auto white = loadBytes(file, "alpha.bmp");
            EXPECT_EQ(white->Handle()->bitCount(), 24) << header << " " << compression;
            EXPECT_EQ(rawPixels(*white->Handle()), onWhite) << header << " " << compression;
            EXPECT_EQ(rawPixels(*loadBytes(file, "alpha.bmp", black)->Handle()), onBlack)
                << header << " " << compression;
        }
    }
}

TEST(BmpAlpha, OneBitOfAlphaAtSixteenBits)
{
    // A1R5G5B5: red 31 with alpha set, then green 31 with alpha clear.
    const Bytes row = {0x00, 0xFC, 0xE0, 0x03};
    const Bytes file = bmpRow(124, 16, BI_BITFIELDS, Masks{0x7C00, 0x03E0, 0x001F, 0x8000}, row);
    PictureOptions navy;
    navy.background = RGB(0, 0, 128);
    EXPECT_EQ(rawPixels(*loadBytes(file, "a1.bmp", navy)->Handle()),
        (std::vector<std::uint32_t>{rgb(255, 0, 0), rgb(0, 0, 128)}));
}

// The colours of a bitmap's pixels, whatever its fourth bytes hold.
std::vector<std::uint32_t> colours(const DIBSection& bitmap)
{
    std::vector<std::uint32_t> c = rawPixels(bitmap);
    for (std::uint32_t& p : c)
        p &= 0xFFFFFF;
    return c;
}

TEST(BmpAlpha, WithoutAnAlphaMaskTheFourthByteIsUnused)
{
    const Masks noAlpha = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    const std::vector<std::uint32_t> stored = {rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 255), rgb(100, 200, 50)};
    for (std::uint32_t header : {40u, 56u, 108u, 124u}) {
        const Bytes file = bmpRow(header, 32, BI_RGB, noAlpha, kPixels);
        EXPECT_EQ(colours(*loadBytes(file, "plain.bmp")->Handle()), stored) << header;
    }
    // Nor does an alpha mask count for uncompressed pixels other than the fourth byte.
    const Bytes odd = bmpRow(124, 32, BI_RGB, Masks{0, 0, 0, 0x000000FF}, kPixels);
    EXPECT_EQ(colours(*loadBytes(odd, "odd.bmp")->Handle()), stored);
}

TEST(BmpAlpha, AnAlphaMaskOverlappingTheColoursIsRefused)
{
    const Bytes file = bmpRow(124, 32, BI_BITFIELDS, Masks{0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FF0000}, kPixels);
    EXPECT_INVALID_PICTURE(file, "alpha mask");
}

}  // namespace
}  // namespace tav::test
