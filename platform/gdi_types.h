// Records, constants and handle types of the 2D graphics interface that the program was
// written against, with their field names and values kept so that calling code reads like
// the calls it stands in for. Byte layouts follow the platform's bitmap file format.
#pragma once

#include <cstdint>

namespace tav {

using COLORREF = std::uint32_t;  // 0x00BBGGRR
using DWORD = std::uint32_t;
using BOOL = int;

constexpr COLORREF RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr std::uint8_t GetRValue(COLORREF c) { return std::uint8_t(c); }
constexpr std::uint8_t GetGValue(COLORREF c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t GetBValue(COLORREF c) { return std::uint8_t(c >> 16); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

struct RGBQUAD {
    std::uint8_t rgbBlue = 0;
    std::uint8_t rgbGreen = 0;
    std::uint8_t rgbRed = 0;
    std::uint8_t rgbReserved = 0;
    friend bool operator==(const RGBQUAD&, const RGBQUAD&) = default;
};

struct BITMAPINFOHEADER {
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;  // positive: bottom-up rows; negative: top-down
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};

// What GetObject reports of a bitmap.
struct BITMAP {
    std::int32_t bmType = 0;
    std::int32_t bmWidth = 0;
    std::int32_t bmHeight = 0;
    std::int32_t bmWidthBytes = 0;
    std::uint16_t bmPlanes = 0;
    std::uint16_t bmBitsPixel = 0;
    void* bmBits = nullptr;
};

struct POINT {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint32_t BI_RLE8 = 1;
inline constexpr std::uint32_t BI_RLE4 = 2;
inline constexpr std::uint32_t BI_BITFIELDS = 3;
inline constexpr unsigned DIB_RGB_COLORS = 0;

// Raster operations: the bitwise function of source (S) and destination (D) pixel bits.
inline constexpr DWORD SRCCOPY = 0x00CC0020;     // S
inline constexpr DWORD SRCPAINT = 0x00EE0086;    // S | D
inline constexpr DWORD SRCAND = 0x008800C6;      // S & D
inline constexpr DWORD SRCINVERT = 0x00660046;   // S ^ D
inline constexpr DWORD NOTSRCCOPY = 0x00330008;  // ~S
inline constexpr DWORD BLACKNESS = 0x00000042;   // all bits 0
inline constexpr DWORD WHITENESS = 0x00FF0062;   // all bits 1

// Stretch modes.
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;

class DeviceContext;
class DIBSection;
// Borrowed handles. Owners are std::unique_ptr<DeviceContext> and std::unique_ptr<DIBSection>.
using HDC = DeviceContext*;
using HBITMAP = DIBSection*;

}  // namespace tav
