// The preview of a chosen picture: the file decoded by the platform's picture loader and
// scaled, without keeping its aspect ratio, onto a bitmap of the preview's size by the same
// HALFTONE stretch the startup logo is made with, so the preview shows what the logo will look
// like.
#pragma once

#include "platform/dib.h"

#include <QImage>
#include <QSize>

#include <filesystem>

namespace tav {

// Throws RunTimeError when the picture cannot be read (the loader's message names the file and
// the problem) and std::bad_alloc when its pixels do not fit in memory.
QImage loadPreview(const std::filesystem::path& path, QSize size);

// The pixels of a 24-bit bitmap as an image of its own (BGR888); a null image for any other
// depth.
QImage toQImage(const DIBSection& bitmap);

}  // namespace tav
