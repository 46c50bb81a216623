// GdiFrameText: the text interface handed to GdiText, with the surface's pixels as its view.
#include "controls/win32/gdi_frame_text.h"

#include "controls/frame_canvas.h"

namespace tav {

std::unique_ptr<GdiFrameText> GdiFrameText::create()
{
    std::unique_ptr<GdiText> text = GdiText::create();
    if (!text)
        return nullptr;
    return std::unique_ptr<GdiFrameText>(new GdiFrameText(std::move(text)));
}

double GdiFrameText::lineWidth(const FrameFont& font, std::u16string_view line) const
{
    return m_text->lineWidth(font, line);
}

double GdiFrameText::lineHeight(const FrameFont& font) const { return m_text->lineHeight(font); }

TextSize GdiFrameText::wrappedSize(const FrameFont& font, int width, std::u16string_view text) const
{
    return m_text->wrappedSize(font, width, text);
}

void GdiFrameText::draw(FrameCanvas& canvas, const FrameFont& font, Colour colour, const FrameRect& rect, int format,
                        std::u16string_view text) const
{
    m_text->draw(PixelView{canvas.width(), canvas.height(), canvas.pixels.data()}, font, colour, rect, format, text);
}

}  // namespace tav
