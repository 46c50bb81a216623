// The picture object a frame control shows beside its caption.
#pragma once

#include <QImage>

#include <memory>

namespace tav {

struct FramePicture {
    // A bitmap is drawn opaque; an icon keeps the transparency of its alpha channel.
    enum class Kind { Bitmap, Icon };

    Kind kind = Kind::Icon;
    QImage image;
};

// Pictures are handed over and stored by reference, as the host's picture objects are.
using PictureRef = std::shared_ptr<const FramePicture>;

}  // namespace tav
