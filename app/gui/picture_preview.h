// The preview of a chosen picture: the picture cut as the startup logo, by the logo run's own
// cutter, so the preview is the logo as it will be written (256 x 195, the aspect ratio not
// kept), and a 24-bit bitmap seen as a QImage.
#pragma once

#include "app/logo_cutter.h"
#include "platform/dib.h"

#include <QImage>

#include <filesystem>

namespace tav {

// The startup logo of the picture at `path`, made on the cutter's logo surface. Throws
// RunTimeError when the picture cannot be read (the message names the file and the problem)
// and std::bad_alloc when memory runs out.
QImage previewOf(LogoCutter& cutter, const std::filesystem::path& path);

// The pixels of a 24-bit bitmap as an image of its own (BGR888); a null image for any other
// depth.
QImage toQImage(const DIBSection& bitmap);

}  // namespace tav
