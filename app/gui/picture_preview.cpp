// The preview: LoadPicture, then StretchBlt in HALFTONE mode onto a 24-bit drawing surface of
// the preview's size, then the surface's rows copied into a QImage.
#include "app/gui/picture_preview.h"

#include "app/logo_cutter.h"
#include "platform/device_context.h"
#include "platform/picture.h"
#include "platform/run_time_error.h"
#include "platform/transfer.h"

#include <cstring>
#include <new>

namespace tav {
namespace {

constexpr const char* kCannotScale = ": the picture cannot be scaled for the preview";

}  // namespace

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

QImage loadPreview(const std::filesystem::path& path, QSize size)
{
    const std::unique_ptr<Picture> picture = LoadPicture(path);
    const std::unique_ptr<DeviceContext> source = CreateCompatibleDC(nullptr);
    const std::unique_ptr<DrawingSurface> target = DrawingSurface::create(size.width(), size.height());
    if (!source || !target)
        throw std::bad_alloc();
    const ScopedSelect selection(source.get(), picture->Handle());
    if (!selection.ok() || !SetStretchBltMode(target->hdc(), HALFTONE)
        || !StretchBlt(target->hdc(), 0, 0, target->width(), target->height(), source.get(), 0, 0, picture->width(),
            picture->height(), SRCCOPY))
        throw RunTimeError(kErrInvalidPicture, path.string() + kCannotScale);
    return toQImage(target->bitmap());
}

}  // namespace tav
