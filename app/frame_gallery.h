// A review sheet of the frame control: the main window's three frames as they are loaded, then
// every look in every theme, enabled and disabled, with and without an icon, with a short and
// an over-long caption, and a row of further settings. Rendered without showing a window, in
// plain pixels, with the text engine of the platform.
#pragma once

#include "controls/frame_canvas.h"
#include "controls/frame_text.h"

namespace tav {

FrameCanvas renderFrameGallery(const FrameText& text);

}  // namespace tav
