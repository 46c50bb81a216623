// BMP reader: the platform's bitmap file format, read by our own code so that depths and
// colour tables come through exactly.
//
// Layout (the platform's documentation of BITMAPFILEHEADER, BITMAPCOREHEADER,
// BITMAPINFOHEADER, BITMAPV4HEADER and BITMAPV5HEADER): a 14-byte file header whose bfOffBits
// locates the pixels; an information header whose first DWORD is its size (12 core, 40 info,
// 52 and 56 the info header with masks, 108 V4, 124 V5); for BI_BITFIELDS with a 40-byte
// header three DWORD masks; a colour table of RGBTRIPLEs (core) or RGBQUADs; the pixel rows,
// each padded to 4 bytes, bottom-up unless the height is negative.
//
// What comes out: BI_RGB bitmaps keep their depth and colour table; RLE8 gives 8 bits and
// RLE4 4 bits (pixels the stream skips stay at index 0); BI_BITFIELDS gives 16 bits for the
// 5-5-5 masks, 32 bits for the 8-8-8 masks in BGRX order, else 24 bits, each channel widened
// by repeating its top bits (as 5-bit channels are widened everywhere else here). A header
// with an alpha mask (56-byte, V4 and V5) whose mask is not zero makes a 16- or 32-bit bitmap
// transparent: it gives 24 bits, composed onto the background (transparency.h). Without an
// alpha mask, the fourth byte of a 32-bit pixel is unused, as the platform treats it.
//
// Every size and offset is checked against the file before it is used: a truncated pixel
// array or a run-length stream that leaves the bitmap is refused, never read past or patched.
#include "picture_decoders.h"

#include "picture.h"
#include "run_time_error.h"
#include "transparency.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace tav {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kInfoMasksHeaderSize = 52;       // BITMAPV2INFOHEADER: + RGB masks
constexpr std::uint32_t kInfoAlphaMasksHeaderSize = 56;  // BITMAPV3INFOHEADER: + alpha mask
constexpr std::uint32_t kOs2V2HeaderSize = 64;
constexpr std::uint32_t kV4HeaderSize = 108;
constexpr std::uint32_t kV5HeaderSize = 124;
constexpr std::uint32_t kBiJpeg = 4;
constexpr std::uint32_t kBiPng = 5;

std::uint32_t le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8); }
std::uint32_t le32(const std::uint8_t* p) { return le16(p) | (le16(p + 2) << 16); }

[[noreturn]] void invalidBmp(const std::string& problem) { invalidPicture(("BMP: " + problem).c_str()); }

struct BmpLayout {
    std::int64_t width = 0;
    std::int64_t height = 0;  // always positive
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t sizeImage = 0;
    std::uint32_t masks[3] = {};  // red, green, blue for BI_BITFIELDS
    std::uint32_t alphaMask = 0;  // 0: no transparency
    int colorCount = 0;           // entries to read from the colour table
    RGBQUAD colors[256] = {};
    std::size_t pixelOffset = 0;
};

// One bit-field channel widened to 8 bits: the value's top 8 (or fewer) bits are looked up.
struct Channel {
    int shift = 0;  // of the channel's top (at most 8) bits
    std::uint32_t mask = 0;
    std::uint8_t widen[256] = {};
};

bool contiguous(std::uint32_t mask)
{
    const std::uint32_t low = mask >> std::countr_zero(mask);
    return (low & (low + 1)) == 0;
}

// Repeats the n-bit value from the top of a byte down: 5 bits abcde give abcdeabc.
std::uint8_t widenBits(std::uint32_t value, int n)
{
    std::uint32_t out = 0;
    for (int pos = 8 - n;; pos -= n) {
        out |= pos >= 0 ? value << pos : value >> -pos;
        if (pos <= 0)
            break;
    }
    return std::uint8_t(out);
}

Channel makeChannel(std::uint32_t mask)
{
    Channel c;
    const int low = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const int kept = std::min(bits, 8);
    c.shift = low + bits - kept;
    c.mask = (1u << kept) - 1;
    for (std::uint32_t v = 0; v <= c.mask; ++v)
        c.widen[v] = widenBits(v, kept);
    return c;
}

BmpLayout parseHeaders(std::span<const std::uint8_t> data)
{
    if (data.size() < kFileHeaderSize + 4)
        invalidBmp("file too short for the bitmap headers");
    if (data[0] != 'B' || data[1] != 'M')
        invalidBmp("no bitmap file signature");
    const std::uint32_t offBits = le32(&data[10]);
    const std::uint32_t headerSize = le32(&data[kFileHeaderSize]);
    switch (headerSize) {
    case kCoreHeaderSize:
    case kInfoHeaderSize:
    case kInfoMasksHeaderSize:
    case kInfoAlphaMasksHeaderSize:
    case kV4HeaderSize:
    case kV5HeaderSize: break;
    case kOs2V2HeaderSize: invalidBmp("OS/2 2.x bitmap headers are not supported");
    default: invalidBmp("unknown information header size " + std::to_string(headerSize));
    }
    if (data.size() - kFileHeaderSize < headerSize)
        invalidBmp("file truncated inside the information header");
    const std::uint8_t* h = &data[kFileHeaderSize];

    BmpLayout layout;
    std::uint32_t planes = 0;
    std::uint32_t colorsUsed = 0;
    int entrySize = 4;
    std::size_t tableOffset = kFileHeaderSize + headerSize;
    if (headerSize == kCoreHeaderSize) {
        layout.width = le16(h + 4);
        layout.height = le16(h + 6);
        planes = le16(h + 8);
        layout.bitCount = int(le16(h + 10));
        entrySize = 3;
        if (layout.bitCount != 1 && layout.bitCount != 4 && layout.bitCount != 8 && layout.bitCount != 24)
            invalidBmp("bit count " + std::to_string(layout.bitCount) + " is not supported in a core header");
    } else {
        layout.width = std::int32_t(le32(h + 4));
        const std::int64_t height = std::int32_t(le32(h + 8));
        layout.topDown = height < 0;
        layout.height = height < 0 ? -height : height;
        planes = le16(h + 12);
        layout.bitCount = int(le16(h + 14));
        layout.compression = le32(h + 16);
        layout.sizeImage = le32(h + 20);
        colorsUsed = le32(h + 32);
        if (layout.compression == BI_BITFIELDS) {
            const std::uint8_t* masks = h + kInfoHeaderSize;
            if (headerSize == kInfoHeaderSize) {
                // The masks follow the 40-byte header, before the colour table.
                if (data.size() - tableOffset < 12)
                    invalidBmp("file truncated inside the bit-field masks");
                masks = &data[tableOffset];
                tableOffset += 12;
            }
            for (int i = 0; i < 3; ++i)
                layout.masks[i] = le32(masks + 4 * i);
        }
        if (headerSize >= kInfoAlphaMasksHeaderSize)
            layout.alphaMask = le32(h + 52);
    }

    if (planes != 1)
        invalidBmp("plane count " + std::to_string(planes) + " is not 1");
    switch (layout.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: invalidBmp("bit count " + std::to_string(layout.bitCount) + " is not supported");
    }
    switch (layout.compression) {
    case BI_RGB: break;
    case BI_RLE8:
        if (layout.bitCount != 8)
            invalidBmp("RLE8 compression needs 8 bits per pixel, not " + std::to_string(layout.bitCount));
        break;
    case BI_RLE4:
        if (layout.bitCount != 4)
            invalidBmp("RLE4 compression needs 4 bits per pixel, not " + std::to_string(layout.bitCount));
        break;
    case BI_BITFIELDS: {
        if (layout.bitCount != 16 && layout.bitCount != 32)
            invalidBmp("bit fields need 16 or 32 bits per pixel, not " + std::to_string(layout.bitCount));
        const std::uint64_t range = (std::uint64_t(1) << layout.bitCount) - 1;
        std::uint32_t seen = 0;
        for (std::uint32_t mask : layout.masks) {
            if (mask == 0 || mask > range || !contiguous(mask) || (mask & seen) != 0)
                invalidBmp("bit-field masks are empty, overlapping, split or wider than the pixel");
            seen |= mask;
        }
        const std::uint32_t alpha = layout.alphaMask;
        if (alpha != 0 && (alpha > range || !contiguous(alpha) || (alpha & seen) != 0))
            invalidBmp("the alpha mask overlaps the colour masks, is split or is wider than the pixel");
        break;
    }
    case kBiJpeg:
    case kBiPng: invalidBmp("bitmaps holding JPEG or PNG data are not supported");
    default: invalidBmp("unknown compression " + std::to_string(layout.compression));
    }
    // Uncompressed pixels have their fixed layout: an alpha mask counts only for 32 bits, as the
    // fourth byte.
    if (layout.compression == BI_RGB) {
        if (layout.bitCount == 32 && layout.alphaMask == 0xFF000000) {
            layout.masks[0] = 0x00FF0000;
            layout.masks[1] = 0x0000FF00;
            layout.masks[2] = 0x000000FF;
        } else {
            layout.alphaMask = 0;
        }
    } else if (layout.compression != BI_BITFIELDS) {
        layout.alphaMask = 0;
    }
    if (layout.topDown && (layout.compression == BI_RLE8 || layout.compression == BI_RLE4))
        invalidBmp("a run-length encoded bitmap cannot be stored top-down");

    checkPictureSize(layout.width, layout.height);

    if (layout.bitCount <= 8) {
        // A colour count over what the depth can index is clamped, as the platform does, but
        // only when the file holds that many entries: a count no file of this size can hold
        // is a damaged header, not a table to cut down.
        const std::uint32_t full = 1u << layout.bitCount;
        if (colorsUsed > full && std::uint64_t(colorsUsed) * std::uint64_t(entrySize) > data.size() - tableOffset)
            invalidBmp("the header's colour count " + std::to_string(colorsUsed) + " is more than the file can hold");
        layout.colorCount = int(colorsUsed == 0 || colorsUsed > full ? full : colorsUsed);
        const std::size_t tableBytes = std::size_t(layout.colorCount) * std::size_t(entrySize);
        if (data.size() - tableOffset < tableBytes)
            invalidBmp("file truncated inside the colour table");
        for (int i = 0; i < layout.colorCount; ++i) {
            const std::uint8_t* e = &data[tableOffset + std::size_t(i) * std::size_t(entrySize)];
            layout.colors[i] = RGBQUAD{e[0], e[1], e[2], 0};
        }
        tableOffset += tableBytes;
    }
    // A colour table is optional above 8 bits and is skipped over by bfOffBits.
    if (offBits < tableOffset)
        invalidBmp("pixel data offset " + std::to_string(offBits) + " points into the headers");
    if (offBits > data.size())
        invalidBmp("pixel data offset " + std::to_string(offBits) + " is past the end of the file");
    layout.pixelOffset = offBits;
    return layout;
}

// The bitmap the file turns into: its size, bottom-up, the given depth and the file's colours.
std::unique_ptr<DIBSection> makeBitmap(const BmpLayout& layout, int bitCount)
{
    BITMAPINFO bmi = makeBitmapInfo(int(layout.width), int(layout.height), bitCount);
    if (bitCount <= 8) {
        bmi.bmiHeader.biClrUsed = std::uint32_t(layout.colorCount);
        std::copy_n(layout.colors, layout.colorCount, bmi.bmiColors);
    }
    auto bitmap = DIBSection::create(bmi);
    if (!bitmap)
        invalidBmp("not enough memory for the picture");
    return bitmap;
}

// The uncompressed pixel array: every row of it must be in the file.
const std::uint8_t* pixelArray(std::span<const std::uint8_t> data, const BmpLayout& layout, std::int64_t stride)
{
    const std::uint64_t need = std::uint64_t(stride) * std::uint64_t(layout.height);
    const std::uint64_t have = data.size() - layout.pixelOffset;
    if (need > have)
        invalidBmp("pixel data truncated: " + std::to_string(have) + " of " + std::to_string(need) + " bytes");
    return data.data() + layout.pixelOffset;
}

int pictureRow(const BmpLayout& layout, std::int64_t fileRow)
{
    return int(layout.topDown ? fileRow : layout.height - 1 - fileRow);
}

// Rows in the file's own depth: copied, with the padding and the unused low bits of a last
// partial byte left zero.
void copyRows(const std::uint8_t* pixels, std::int64_t stride, const BmpLayout& layout, DIBSection& out)
{
    const std::int64_t bits = layout.width * layout.bitCount;
    const std::size_t fullBytes = std::size_t(bits / 8);
    const int tailBits = int(bits % 8);
    const std::uint8_t tailMask = std::uint8_t(0xFF00 >> tailBits);
    for (std::int64_t r = 0; r < layout.height; ++r) {
        const std::uint8_t* src = pixels + r * stride;
        std::uint8_t* dst = out.row(pictureRow(layout, r));
        std::memcpy(dst, src, fullBytes);
        if (tailBits)
            dst[fullBytes] = src[fullBytes] & tailMask;
    }
}

// Bit-field pixels widened to 24 bits, composed onto the background when there is an alpha mask.
template <int Bytes>
void convertBitFields(
    const std::uint8_t* pixels, std::int64_t stride, const BmpLayout& layout, COLORREF background, DIBSection& out)
{
    const Channel red = makeChannel(layout.masks[0]);
    const Channel green = makeChannel(layout.masks[1]);
    const Channel blue = makeChannel(layout.masks[2]);
    const bool transparent = layout.alphaMask != 0;
    const Channel alpha = transparent ? makeChannel(layout.alphaMask) : Channel{};
    const BgrPixel bg = bgrOf(background);
    const int width = int(layout.width);
    for (std::int64_t r = 0; r < layout.height; ++r) {
        const std::uint8_t* src = pixels + r * stride;
        std::uint8_t* dst = out.row(pictureRow(layout, r));
        for (int x = 0; x < width; ++x, src += Bytes, dst += 3) {
            const std::uint32_t v = Bytes == 2 ? le16(src) : le32(src);
            const std::uint8_t b = blue.widen[(v >> blue.shift) & blue.mask];
            const std::uint8_t g = green.widen[(v >> green.shift) & green.mask];
            const std::uint8_t rd = red.widen[(v >> red.shift) & red.mask];
            if (transparent) {
                const unsigned a = alpha.widen[(v >> alpha.shift) & alpha.mask];
                dst[0] = composeChannel(b, a, bg.b);
                dst[1] = composeChannel(g, a, bg.g);
                dst[2] = composeChannel(rd, a, bg.r);
            } else {
                dst[0] = b;
                dst[1] = g;
                dst[2] = rd;
            }
        }
    }
}

// Run-length decoding into an indexed bitmap (the platform's "Bitmap Compression" rules):
// a pair (n > 0, v) repeats v n times (for RLE4 the two nibbles of v alternate); (0, 0) ends
// a line, (0, 1) the bitmap, (0, 2, dx, dy) moves the position; (0, n >= 3) is followed by n
// literal pixels padded to a 16-bit boundary. Rows run bottom-up.
template <int Bits>
void decodeRle(std::span<const std::uint8_t> stream, const BmpLayout& layout, DIBSection& out)
{
    const std::int64_t width = layout.width;
    const std::int64_t height = layout.height;
    std::int64_t x = 0;
    std::int64_t y = 0;  // file row, 0 at the bottom
    std::size_t p = 0;
    const std::size_t n = stream.size();

    auto put = [&](std::int64_t column, std::uint8_t index) {
        std::uint8_t* row = out.row(pictureRow(layout, y));
        if constexpr (Bits == 8) {
            row[column] = index;
        } else {
            std::uint8_t& byte = row[column / 2];
            byte = column % 2 ? std::uint8_t((byte & 0xF0) | index) : std::uint8_t((byte & 0x0F) | (index << 4));
        }
    };
    auto checkRun = [&](std::int64_t count) {
        if (y >= height)
            invalidBmp("run-length data continues past the last row");
        if (x + count > width)
            invalidBmp("run-length data runs past the end of a row");
    };

    for (;;) {
        if (n - p < 2) {
            // A stream that stops right after its last row has been finished is complete.
            if (p == n && y >= height)
                return;
            invalidBmp("run-length data truncated");
        }
        const std::uint8_t count = stream[p];
        const std::uint8_t value = stream[p + 1];
        p += 2;
        if (count > 0) {
            checkRun(count);
            for (int i = 0; i < count; ++i)
                put(x + i, Bits == 8 ? value : (i % 2 ? value & 0x0F : value >> 4));
            x += count;
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (n - p < 2)
                invalidBmp("run-length data truncated");
            x += stream[p];
            y += stream[p + 1];
            p += 2;
            if (x > width || y > height)
                invalidBmp("run-length delta moves outside the bitmap");
        } else {
            const std::size_t bytes = Bits == 8 ? value : (value + 1u) / 2;
            const std::size_t padded = bytes + (bytes & 1);
            if (n - p < padded)
                invalidBmp("run-length data truncated");
            checkRun(value);
            const std::uint8_t* literal = &stream[p];
            for (int i = 0; i < value; ++i)
                put(x + i, Bits == 8 ? literal[i] : (i % 2 ? literal[i / 2] & 0x0F : literal[i / 2] >> 4));
            x += value;
            p += padded;
        }
    }
}

}  // namespace

namespace {

std::unique_ptr<DIBSection> decodeBmpPixels(std::span<const std::uint8_t> data, COLORREF background)
{
    const BmpLayout layout = parseHeaders(data);

    if (layout.compression == BI_RLE8 || layout.compression == BI_RLE4) {
        // biSizeImage is required for compressed bitmaps; 0 is taken as "to the end of the file".
        std::span<const std::uint8_t> stream = data.subspan(layout.pixelOffset);
        if (layout.sizeImage != 0) {
            if (layout.sizeImage > stream.size())
                invalidBmp("run-length data truncated: " + std::to_string(stream.size()) + " of " +
                    std::to_string(layout.sizeImage) + " bytes");
            stream = stream.first(layout.sizeImage);
        }
        auto bitmap = makeBitmap(layout, layout.bitCount);
        if (layout.compression == BI_RLE8)
            decodeRle<8>(stream, layout, *bitmap);
        else
            decodeRle<4>(stream, layout, *bitmap);
        return bitmap;
    }

    const std::int64_t stride = DibStride(layout.width, layout.bitCount);
    const std::uint8_t* pixels = pixelArray(data, layout, stride);
    if (layout.compression == BI_BITFIELDS || layout.alphaMask != 0) {
        const bool plain555 = layout.bitCount == 16 && layout.masks[0] == 0x7C00 && layout.masks[1] == 0x03E0 &&
            layout.masks[2] == 0x001F;
        const bool plainBgrx = layout.bitCount == 32 && layout.masks[0] == 0xFF0000 && layout.masks[1] == 0x00FF00 &&
            layout.masks[2] == 0x0000FF;
        if ((!plain555 && !plainBgrx) || layout.alphaMask != 0) {
            auto bitmap = makeBitmap(layout, 24);
            if (layout.bitCount == 16)
                convertBitFields<2>(pixels, stride, layout, background, *bitmap);
            else
                convertBitFields<4>(pixels, stride, layout, background, *bitmap);
            return bitmap;
        }
    }
    auto bitmap = makeBitmap(layout, layout.bitCount);
    copyRows(pixels, stride, layout, *bitmap);
    return bitmap;
}

}  // namespace

std::optional<BmpRows24> plainBmpRows24(std::span<const std::uint8_t> head, std::uint64_t fileSize)
{
    if (head.size() < kFileHeaderSize + 4 || fileSize < head.size() || le32(&head[10]) > head.size())
        return std::nullopt;
    try {
        const BmpLayout layout = parseHeaders(head);
        if (layout.compression != BI_RGB || layout.bitCount != 24)
            return std::nullopt;
        const std::int64_t stride = DibStride(layout.width, 24);
        if (stride < 0 || fileSize - layout.pixelOffset < std::uint64_t(stride) * std::uint64_t(layout.height))
            return std::nullopt;
        return BmpRows24{int(layout.width), int(layout.height), layout.topDown, layout.pixelOffset,
            std::uint64_t(stride)};
    } catch (const RunTimeError&) {
        return std::nullopt;
    }
}

DecodedPicture decodeBmp(std::span<const std::uint8_t> data, const PictureOptions& options)
{
    return DecodedPicture{decodeBmpPixels(data, options.background), 1, {}};
}

}  // namespace tav
