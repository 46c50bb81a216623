// CreateDIBSection for the top-down 32-bit bitmap.
#include "controls/win32/top_down_bitmap.h"

namespace tav {

::HBITMAP createTopDownBitmap(::HDC dc, int width, int height, std::uint32_t** pixels)
{
    ::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 first in memory
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ::HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap)
            DeleteObject(bitmap);
        return nullptr;
    }
    *pixels = static_cast<std::uint32_t*>(bits);
    return bitmap;
}

}  // namespace tav
