// Writing a picture of 32-bit pixels as a PNG file: 8-bit RGB (colour type 2), no alpha, no
// interlacing, libpng's default filters and compression.
#pragma once

#include <cstdint>
#include <string>

namespace tav {

// Writes `height` rows of `width` pixels, 0x00RRGGBB, top row first, to the file at `path`
// (UTF-8). The file is replaced whole or not at all (file_access.h, replaceFile). Throws
// RunTimeError naming the file: 481 for a size that is not positive or no pixels, 75 when the
// file cannot be written or the picture cannot be encoded.
void writePng(const std::string& path, int width, int height, const std::uint32_t* pixels);

}  // namespace tav
