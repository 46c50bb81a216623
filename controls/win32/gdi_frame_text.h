// The frame control's text interface on Windows: GDI measures and draws the captions
// (gdi_text.h), on the control's surface.
#pragma once

#include "controls/frame_text.h"
#include "controls/win32/gdi_text.h"

#include <memory>

namespace tav {

class GdiFrameText : public FrameText {
public:
    // Null when the system cannot make a memory device context.
    static std::unique_ptr<GdiFrameText> create();

    double lineWidth(const FrameFont& font, std::u16string_view line) const override;
    double lineHeight(const FrameFont& font) const override;
    TextSize wrappedSize(const FrameFont& font, int width, std::u16string_view text) const override;
    // A caption GDI has no bitmap for is left undrawn: a repaint has no one to tell, and the
    // next one tries again.
    void draw(FrameCanvas& canvas, const FrameFont& font, Colour colour, const FrameRect& rect, int format,
              std::u16string_view text) const override;

private:
    explicit GdiFrameText(std::unique_ptr<GdiText> text) : m_text(std::move(text)) {}

    std::unique_ptr<GdiText> m_text;
};

}  // namespace tav
