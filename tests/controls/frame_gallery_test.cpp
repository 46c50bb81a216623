// The gallery sheet: its frames are the controls' own surfaces, copied through their window
// shapes, with the sheet showing outside a shape.
#include "app/frame_gallery.h"

#include "app/main_window_frames.h"
#include "controls/jc_frames.h"
#include "controls/qt/qt_frame_text.h"

#include "controls_test_support.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

TEST(FrameGallery, ShowsTheMainWindowFramesAsTheyAreLoaded)
{
    const FrameCanvas gallery = renderFrameGallery(qtFrameText());
    EXPECT_GT(gallery.width(), 1000);
    EXPECT_GT(gallery.height(), 4000);

    // The first frame sits under the sheet's title and the section's heading.
    constexpr int kMargin = 16;
    constexpr int kLabelHeight = 18;
    const int top = kMargin + kLabelHeight * 2 + kLabelHeight + 4 + kLabelHeight;
    const StoredFrame stored = storedMainWindowFrame(MainWindowFrame::Season);
    const FixedAmbient ambient(systemColourRef(kColorBtnFace), stored.name, mainWindowFrameFont());
    jcFrames frame(qtFrameText());
    frame.setAmbient(&ambient);
    frame.resize(stored.width, stored.height);
    MemoryPropertyBag bag = stored.properties;
    frame.readProperties(bag);
    int differing = 0;
    for (int y = 0; y < stored.height; ++y)
        for (int x = 0; x < stored.width; ++x)
            differing += gallery.pixel(kMargin + x, top + y) != frame.surface().pixel(x, y);
    EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace tav
