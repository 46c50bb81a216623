// The preview: the cutter's startup logo, its rows copied into a QImage.
#include "app/gui/picture_preview.h"

#include <cstring>
#include <new>

namespace tav {

QImage toQImage(const DIBSection& bitmap)
{
    if (bitmap.bitCount() != 24)
        return {};
    // The bitmap's rows are blue, green, red; BGR888 keeps them as they are.
    QImage image(bitmap.width(), bitmap.height(), QImage::Format_BGR888);
    if (image.isNull())
        throw std::bad_alloc();
    const std::size_t rowBytes = std::size_t(bitmap.width()) * 3;
    for (int y = 0; y < bitmap.height(); ++y)
        std::memcpy(image.scanLine(y), bitmap.row(y), rowBytes);
    return image;
}

QImage previewOf(LogoCutter& cutter, const std::filesystem::path& path)
{
    cutter.CutStartupLogo(path);
    return toQImage(cutter.logoSurface().bitmap());
}

}  // namespace tav
