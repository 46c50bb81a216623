// A PNG file's pixels as libpng's own reader gives them, for checking what the program wrote or
// built in without its own decoder.
#pragma once

#include <png.h>

#include <cstdint>
#include <vector>

namespace tav::test {

struct PngPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom; empty when unreadable
};

inline PngPixels readPngPixels(const std::vector<std::uint8_t>& file)
{
    PngPixels read;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (file.empty() || !png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return read;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return read;
    read.width = int(image.width);
    read.height = int(image.height);
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        read.pixels.push_back(std::uint32_t(rgb[i]) << 16 | std::uint32_t(rgb[i + 1]) << 8 | rgb[i + 2]);
    return read;
}

}  // namespace tav::test
