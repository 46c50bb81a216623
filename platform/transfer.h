// Pixel transfers between device contexts, exact and the same on every machine:
// BitBlt (with the common raster operations, converting between any two formats),
// StretchBlt (HALFTONE: exact area/linear weights in integers; COLORONCOLOR: nearest pixel),
// PlgBlt (a rectangle onto a parallelogram), and the DIB row transfers GetDIBits and
// SetDIBitsToDevice. Every transfer is clipped to the destination bitmap and reads only
// inside the source bitmap.
#pragma once

#include "gdi_types.h"

namespace tav {

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop);

// Negative extents mirror, as on the platform: a rectangle of width -w at x covers the
// pixels x - w to x - 1, flipped.
BOOL StretchBlt(HDC dst, int xDst, int yDst, int wDst, int hDst, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
    DWORD rop);

// Maps the source rectangle onto the parallelogram whose upper-left, upper-right and
// lower-left corners are `points`; each destination pixel whose centre falls inside takes
// the source pixel under its centre. Exact for mirrors and quarter turns. Masks are not
// supported (the mask must be null).
BOOL PlgBlt(HDC dst, const POINT points[3], HDC src, int xSrc, int ySrc, int width, int height, HBITMAP mask,
    int xMask, int yMask);

// Copies scan lines [start, start + lines) of `hbm` (counted from the bottom) into `bits`,
// laid out as `bmi` describes, converting formats. With the same indexed depth the indices are
// copied and the bitmap's colour table is written into `bmi`. Returns the lines copied.
int GetDIBits(HDC hdc, HBITMAP hbm, unsigned start, unsigned lines, void* bits, BITMAPINFO* bmi, unsigned usage);

// Draws the rectangle (xSrc, ySrc, w × h) of the DIB in `bits` into `hdc` at (xDest, yDest).
// As on the platform, ySrc of a bottom-up DIB is counted from its bottom row; `bits` holds
// scan lines [startScan, startScan + lines). Returns the number of lines drawn.
int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc, unsigned startScan,
    unsigned lines, const void* bits, const BITMAPINFO* bmi, unsigned usage);

// Nearest colour the selected bitmap can show: least squared RGB distance, lowest index on a
// tie, for indexed bitmaps; 16 bits keep 5 bits a channel.
COLORREF GetNearestColor(HDC hdc, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);

}  // namespace tav
