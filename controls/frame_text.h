// Text on the frame control's surface: the caption font, and the one interface through which
// the control measures and draws its caption. Everything else the control draws is its own
// pixels; glyphs come from the platform's text engine (Qt on Linux, GDI on Windows).
#pragma once

#include "controls/frame_colours.h"

#include <string>
#include <string_view>

namespace tav {

struct FrameCanvas;
struct FrameRect;

// A font as the control stores it: the attributes its host's font object has.
struct FrameFont {
    std::u16string name = u"MS Sans Serif";
    double points = 8.25;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    friend bool operator==(const FrameFont&, const FrameFont&) = default;
};

struct TextSize {
    double width = 0.0;
    double height = 0.0;
};

// Text-drawing flags of the caption (the platform's values).
inline constexpr int kDtLeft = 0x0;
inline constexpr int kDtCenter = 0x1;
inline constexpr int kDtRight = 0x2;
inline constexpr int kDtVCenter = 0x4;
inline constexpr int kDtWordBreak = 0x10;
inline constexpr int kDtSingleLine = 0x20;
inline constexpr int kDtCalcRect = 0x400;

// Measuring and drawing text at 96 dots per inch, aliased, on whole-pixel advances, as the
// classic desktop drew small captions. Lines are separated by '\n'.
class FrameText {
public:
    virtual ~FrameText() = default;

    // The advance of one line of text.
    virtual double lineWidth(const FrameFont& font, std::u16string_view line) const = 0;
    // The height of one line.
    virtual double lineHeight(const FrameFont& font) const = 0;
    // The block the text takes when it is wrapped at word boundaries into `width`.
    virtual TextSize wrappedSize(const FrameFont& font, int width, std::u16string_view text) const = 0;
    // Draws the text in `colour` into `rect`, clipped by it, laid out by the kDt flags: left,
    // centred or right; on a single line, at the top or centred vertically; otherwise from the
    // top, wrapped at word boundaries when kDtWordBreak is set. Only glyph pixels change.
    virtual void draw(FrameCanvas& canvas, const FrameFont& font, Colour colour, const FrameRect& rect, int format,
                      std::u16string_view text) const = 0;
};

}  // namespace tav
