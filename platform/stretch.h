// The HALFTONE stretch of a picture read row by row (see stretch.cpp for the arithmetic).
#pragma once

#include "dib.h"

namespace tav {

class PictureReader;

// Scales the whole picture onto the whole of `to`, exactly as StretchBlt in HALFTONE mode with
// SRCCOPY scales a bitmap holding the picture's rows, reading each row once and in order. False
// when the sizes are out of range; a damaged picture throws the reader's error (the bitmap then
// holds part of the result).
bool StretchPicture(PictureReader& from, DIBSection& to);

}  // namespace tav
