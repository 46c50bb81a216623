// The picture object a frame control shows beside its caption.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace tav {

struct FramePicture {
    // A bitmap is drawn opaque; an icon keeps the transparency of its alpha channel.
    enum class Kind { Bitmap, Icon };

    Kind kind = Kind::Icon;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // rows top to bottom, 0xAARRGGBB, alpha not premultiplied

    bool isNull() const { return width <= 0 || height <= 0; }
    std::uint32_t pixel(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// Pictures are handed over and stored by reference, as the host's picture objects are.
using PictureRef = std::shared_ptr<const FramePicture>;

}  // namespace tav
