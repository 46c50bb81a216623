// Orientation tags (Exif, TIFF): how the stored pixels are turned to stand upright.
//
// The eight values as Exif defines them, by where the stored first row and first column end
// up: 1 top, left (as stored); 2 top, right (mirrored); 3 bottom, right (turned 180 degrees);
// 4 bottom, left (flipped); 5 left, top (transposed); 6 right, top (turned 90 degrees
// clockwise); 7 right, bottom (transverse); 8 left, bottom (turned 90 degrees anticlockwise).
#pragma once

#include "dib.h"

#include <cstdint>
#include <memory>
#include <span>

namespace tav {

// The orientation tag of Exif data: the TIFF structure of an Exif block, with or without the
// "Exif\0\0" that precedes it in a JPEG APP1 marker. 1 when there is none, or it is damaged or
// not one of the eight values. Never reads outside `exif`.
int exifOrientation(std::span<const std::uint8_t> exif);

// True for the orientations that swap the width and the height (5 to 8).
inline bool swapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

// The upright picture of a stored one, filled a stored row at a time, so that the stored
// picture never has to be held whole beside it.
class UprightPicture {
public:
    // A 24-bit bitmap for the stored size turned by `orientation` (any value outside 2 to 8
    // keeps it as stored); its bitmap() is null when the memory cannot be had.
    UprightPicture(int storedWidth, int storedHeight, int orientation);
    std::unique_ptr<DIBSection>& bitmap() { return m_bitmap; }
    // Stored rows y .. y + count - 1 (0 at the top), storedWidth pixels of 3 bytes each. A
    // band of rows at once lets a quarter turn write runs of pixels rather than single ones.
    void putStoredRows(int y, const std::uint8_t* const* rows, int count);

private:
    std::unique_ptr<DIBSection> m_bitmap;
    int m_storedWidth;
    int m_storedHeight;
    int m_orientation;
};

// The 24-bit `stored` turned upright; null when the memory cannot be had.
std::unique_ptr<DIBSection> orientUpright(const DIBSection& stored, int orientation);

}  // namespace tav
