// The stored values of the main window's three frame controls. The window loads each frame
// from its bag through readProperties, as it loads any saved instance; every property the bag
// does not hold takes its read default.
#pragma once

#include "controls/property_bag.h"

#include <QSize>
#include <QString>

namespace tav {

enum class MainWindowFrame { Season, LogoType, Image };

struct StoredFrame {
    QString name;  // the instance's name, which the host reports as its display name
    QSize size;    // outer size in pixels
    MemoryPropertyBag properties;
};

StoredFrame storedMainWindowFrame(MainWindowFrame which);

// The captions' font: Arial, 9.75 points, bold.
QFont mainWindowFrameFont();

}  // namespace tav
