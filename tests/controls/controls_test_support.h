// Pixel probes for the frame control's tests.
#pragma once

#include "controls/frame_canvas.h"
#include "controls/frame_colours.h"
#include "controls/frame_picture.h"
#include "controls/frame_text.h"

#include <cstdint>
#include <memory>
#include <string>

#include <cmath>
#include <ostream>

namespace tav::test {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Rgb& c)
    {
        return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
    }
};

inline Rgb pixelAt(const FrameCanvas& canvas, int x, int y)
{
    const std::uint32_t p = canvas.pixel(x, y);
    return {int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
}

// The platform's text engine, which the frames of these tests draw their captions with: Qt's
// on Linux, GDI's on Windows.
const FrameText& frameText();

// ASCII text for test traces.
inline std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// A picture of one colour (0xAARRGGBB).
inline PictureRef solidPicture(int width, int height, std::uint32_t argb, FramePicture::Kind kind)
{
    auto picture = std::make_shared<FramePicture>();
    picture->kind = kind;
    picture->width = width;
    picture->height = height;
    picture->pixels.assign(std::size_t(width) * std::size_t(height), argb);
    return picture;
}

inline Rgb rgbOf(Colour c) { return {redOf(c), greenOf(c), blueOf(c)}; }

// The colour step i of n from c1 towards c2, computed exactly and rounded half to even.
inline Rgb gradientStep(Rgb c1, Rgb c2, int i, int n)
{
    const auto channel = [&](int a, int b) { return int(std::nearbyint(a + (b - a) * double(i) / n)); };
    return {channel(c1.r, c2.r), channel(c1.g, c2.g), channel(c1.b, c2.b)};
}

}  // namespace tav::test
