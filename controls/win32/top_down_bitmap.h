// The one kind of bitmap the Windows side hands pixels through: a top-down 32-bit DIB section,
// rows of exactly `width` words in the order blue, green, red, unused, which is the frame
// control's surface order (0x00RRGGBB) too.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tav {

// A width x height bitmap compatible with `dc` (null: the screen), its pixels in *pixels; null
// when the system has none to give.
::HBITMAP createTopDownBitmap(::HDC dc, int width, int height, std::uint32_t** pixels);

}  // namespace tav
