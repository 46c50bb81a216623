// The stored values of the main window's three frame controls. The window loads each frame
// from its bag through readProperties, as it loads any saved instance; every property the bag
// does not hold takes its read default.
#pragma once

#include "controls/property_bag.h"

#include <string>

namespace tav {

enum class MainWindowFrame { Season, LogoType, Image };

struct StoredFrame {
    std::u16string name;  // the instance's name, which the host reports as its display name
    int width = 0;        // outer size in pixels
    int height = 0;
    MemoryPropertyBag properties;
};

StoredFrame storedMainWindowFrame(MainWindowFrame which);

// The captions' font: Arial, 9.75 points, bold.
FrameFont mainWindowFrameFont();

}  // namespace tav
