// Orientation tags read from Exif data, and applied to a 24-bit bitmap.
//
// Exif data is a TIFF structure: a byte-order mark ("II" little-endian, "MM" big-endian), the
// number 42, the offset of the first directory; a directory is a count of 12-byte entries
// (tag, type, count, value or offset). The orientation is tag 0x0112 of the first directory,
// one SHORT held in the entry itself.
#include "orientation.h"

#include <cstring>

namespace tav {

namespace {

constexpr std::uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kShortType = 3;

struct TiffBytes {
    std::span<const std::uint8_t> data;
    bool bigEndian = false;

    bool has(std::size_t offset, std::size_t n) const { return offset <= data.size() && n <= data.size() - offset; }
    unsigned u16(std::size_t offset) const
    {
        const std::uint8_t* p = &data[offset];
        return bigEndian ? (unsigned(p[0]) << 8) | p[1] : (unsigned(p[1]) << 8) | p[0];
    }
    std::uint32_t u32(std::size_t offset) const
    {
        return bigEndian ? (std::uint32_t(u16(offset)) << 16) | u16(offset + 2)
                         : (std::uint32_t(u16(offset + 2)) << 16) | u16(offset);
    }
};

}  // namespace

int exifOrientation(std::span<const std::uint8_t> exif)
{
    if (exif.size() >= sizeof kExifHeader && std::memcmp(exif.data(), kExifHeader, sizeof kExifHeader) == 0)
        exif = exif.subspan(sizeof kExifHeader);
    TiffBytes tiff{exif};
    if (!tiff.has(0, 8))
        return 1;
    if (exif[0] == 'M' && exif[1] == 'M')
        tiff.bigEndian = true;
    else if (exif[0] != 'I' || exif[1] != 'I')
        return 1;
    if (tiff.u16(2) != 42)
        return 1;
    const std::size_t directory = tiff.u32(4);
    if (!tiff.has(directory, 2))
        return 1;
    const unsigned entries = tiff.u16(directory);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12 * std::size_t(i);
        if (!tiff.has(entry, 12))
            return 1;
        if (tiff.u16(entry) != kOrientationTag)
            continue;
        if (tiff.u16(entry + 2) != kShortType || tiff.u32(entry + 4) != 1)
            return 1;
        const unsigned value = tiff.u16(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

UprightPicture::UprightPicture(int storedWidth, int storedHeight, int orientation)
    : m_storedWidth(storedWidth)
    , m_storedHeight(storedHeight)
    , m_orientation(orientation >= 2 && orientation <= 8 ? orientation : 1)
{
    const bool swap = swapsAxes(m_orientation);
    m_bitmap = DIBSection::create(
        makeBitmapInfo(swap ? storedHeight : storedWidth, swap ? storedWidth : storedHeight, 24));
}

void UprightPicture::putStoredRows(int y, const std::uint8_t* const* rows, int count)
{
    const int w = m_storedWidth;
    const int h = m_storedHeight;
    DIBSection& out = *m_bitmap;
    if (!swapsAxes(m_orientation)) {
        // Each stored row is an upright row, forwards or backwards.
        const bool flipped = m_orientation == 3 || m_orientation == 4;
        const bool mirrored = m_orientation == 2 || m_orientation == 3;
        for (int i = 0; i < count; ++i) {
            const std::uint8_t* in = rows[i];
            std::uint8_t* p = out.row(flipped ? h - 1 - (y + i) : y + i);
            if (!mirrored) {
                std::memcpy(p, in, 3 * std::size_t(w));
                continue;
            }
            p += 3 * std::ptrdiff_t(w - 1);
            for (int x = 0; x < w; ++x, in += 3, p -= 3)
                std::memcpy(p, in, 3);
        }
        return;
    }
    // A quarter turn: stored column x is upright row x (5, 6) or w - 1 - x (7, 8), and stored
    // row y is upright column y (5, 8) or h - 1 - y (6, 7). The band's pixels of one stored
    // column lie side by side in their upright row.
    const bool rowsReversed = m_orientation == 7 || m_orientation == 8;
    const bool columnsReversed = m_orientation == 6 || m_orientation == 7;
    for (int x = 0; x < w; ++x) {
        std::uint8_t* p = out.row(rowsReversed ? w - 1 - x : x) + 3 * std::ptrdiff_t(columnsReversed ? h - 1 - y : y);
        const std::ptrdiff_t step = columnsReversed ? -3 : 3;
        for (int i = 0; i < count; ++i, p += step)
            std::memcpy(p, rows[i] + 3 * std::ptrdiff_t(x), 3);
    }
}

std::unique_ptr<DIBSection> orientUpright(const DIBSection& stored, int orientation)
{
    UprightPicture upright(stored.width(), stored.height(), orientation);
    if (!upright.bitmap())
        return nullptr;
    for (int y = 0; y < stored.height(); ++y) {
        const std::uint8_t* row = stored.row(y);
        upright.putStoredRows(y, &row, 1);
    }
    return std::move(upright.bitmap());
}

}  // namespace tav
