// The Windows text engine of the frame control: GDI fonts at 96 dots per inch, aliased, measured
// and drawn with the wide calls on a memory device context. It works on a plain view of 32-bit
// pixels, so that it needs nothing of the surface but its memory; GdiFrameText puts the
// control's text interface on it.
#pragma once

#include "controls/frame_region.h"
#include "controls/frame_text.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace tav {

// Borrowed pixels, 0x00RRGGBB (in memory blue, green, red, unused), `width` a row, rows top to
// bottom.
struct PixelView {
    int width = 0;
    int height = 0;
    std::uint32_t* pixels = nullptr;
};

// One memory device context and the fonts made so far. Single-threaded, like the window it
// serves: the measuring calls change the context's selected font.
class GdiText {
public:
    // Null when the system cannot make a memory device context.
    static std::unique_ptr<GdiText> create();
    ~GdiText();
    GdiText(const GdiText&) = delete;
    GdiText& operator=(const GdiText&) = delete;

    // The advance of the text on one line, in whole pixels (GetTextExtentPoint32W).
    int lineWidth(const FrameFont& font, std::u16string_view line) const;
    // The font's cell height, ascent plus descent (tmHeight).
    int lineHeight(const FrameFont& font) const;
    // The block DrawTextW computes for the text wrapped at word boundaries into `width`: as wide
    // as its widest line (wider than `width` when a word is), as tall as its lines.
    TextSize wrappedSize(const FrameFont& font, int width, std::u16string_view text) const;
    // DrawTextW into `rect` (clipped by it and by the pixels), laid out by the kDt layout flags,
    // in `colour` (0x00BBGGRR), with a transparent background: only glyph pixels change. False
    // when the system had no bitmap to draw in; the pixels are then as they were.
    bool draw(PixelView target, const FrameFont& font, Colour colour, const FrameRect& rect, int format,
              std::u16string_view text) const;

private:
    struct State;
    explicit GdiText(std::unique_ptr<State> state);

    std::unique_ptr<State> m_state;
};

// The font height CreateFontW is given for a size in points at 96 dots per inch: the negative
// em height -(points * 96 / 72) in whole pixels, halves to even; at least one pixel.
int gdiFontHeight(double points);

}  // namespace tav
