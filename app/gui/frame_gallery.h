// A review sheet of the frame control: the main window's three frames as they are loaded, then
// every look in every theme, enabled and disabled, with and without an icon, with a short and
// an over-long caption, and a row of further settings. Rendered without showing a window.
#pragma once

#include <QImage>
#include <QString>

namespace tav {

QImage renderFrameGallery();

// Renders the gallery and writes it as a PNG file. On failure returns false and says why in
// *error.
bool saveFrameGallery(const QString& path, QString* error);

}  // namespace tav
