// Colours of a picture that carries an ICC profile, converted to sRGB (what the encoder and the
// game take every picture to be) with Little CMS, perceptual intent.
//
// A picture without a profile, and one whose profile is sRGB or so near it that no colour would
// move by more than one level, keeps its exact bytes: no conversion is made for it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tav {

// The samples a decoder hands over, one row at a time.
enum class SampleLayout {
    Bgr,           // 3 bytes a pixel, blue first; grey pictures as three equal bytes
    Bgra,          // the same and a fourth byte, the opacity, which is kept as it is
    Cmyk,          // 4 bytes a pixel, 0 = no ink
    InvertedCmyk,  // 4 bytes a pixel, 255 = no ink (Adobe's CMYK JPEG files)
};

// CMYK samples read without a profile, rounded to nearest: R = (255 - C) * (255 - K) / 255 and
// so on (for inverted samples, R = C * K / 255).
void plainCmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted);

class ColourConversion {
public:
    // The conversion of `layout` samples described by `profile` (a whole ICC profile) to sRGB.
    // Null when none is needed, and null with `warning` set when the profile cannot be used
    // (damaged, or for a colour space the samples are not in): the picture is then shown as if
    // it had none.
    static std::unique_ptr<ColourConversion> toSrgb(
        std::span<const std::uint8_t> profile, SampleLayout layout, std::string& warning);
    ~ColourConversion();
    ColourConversion(const ColourConversion&) = delete;
    ColourConversion& operator=(const ColourConversion&) = delete;

    SampleLayout layout() const { return m_layout; }
    // `width` pixels of `in` (in the layout) to 3-byte BGR in `out`, or for Bgra to BGRA with
    // the opacity of `in`; `in` may be `out` for Bgr and Bgra.
    void convert(const std::uint8_t* in, std::uint8_t* out, int width) const;

private:
    ColourConversion(void* context, void* transform, SampleLayout layout);
    // The colours alone: to 3-byte BGR whatever the layout.
    void convertColours(const std::uint8_t* in, std::uint8_t* bgr, int width) const;

    // A cmsContext and the cmsHTRANSFORM made in it, kept out of this header.
    void* m_context;
    void* m_transform;  // null for a grey profile, whose 256 levels are in m_grey
    SampleLayout m_layout;
    std::vector<std::uint8_t> m_grey;  // BGR of each grey level
    mutable std::vector<std::uint8_t> m_row;  // the colours of a Bgra row, before its opacity joins them
};

}  // namespace tav
