// The frame control's tests, run here too: their frames draw their captions with GDI.
#include "controls/win32/gdi_frame_text.h"
#include "tests/controls/controls_test_support.h"

#include <stdexcept>

const tav::FrameText& tav::test::frameText()
{
    static const std::unique_ptr<GdiFrameText> text = GdiFrameText::create();
    if (!text)
        throw std::runtime_error("no memory device context for the frames' text");
    return *text;
}
