#include "app/jpeg_export.h"
#include "platform/program_environment.h"

#include "app/production_table.h"
#include "image/c_image.h"
#include "jpeg/cjpeg.h"
#include "platform/picture.h"
#include "platform/run_time_error.h"

#include <memory>
#include <string>

namespace tav {

namespace {

[[noreturn]] void exportFailed(const std::filesystem::path& jpegPath, const std::string& why)
{
    throw RunTimeError(kErrPathFileAccess, utf8(jpegPath) + ": " + why);
}

}  // namespace

void ExportJpeg(const MemorySurface& surface, const std::filesystem::path& jpegPath,
    const std::filesystem::path& applicationFolder)
{
    // The encoder never replaces a file, so a stale intermediate of the same name would be
    // wrapped instead of this surface: remove it first.
    std::error_code ec;
    std::filesystem::remove(jpegPath, ec);
    if (std::filesystem::exists(jpegPath, ec))
        exportFailed(jpegPath, "an older file of this name cannot be removed");

    auto jpeg = std::make_unique<cJpeg>();
    jpeg->Quality(kExportQuality);
    jpeg->Comment(std::string(kExportComment));
    cJpeg::SampleStatus sampled = cJpeg::SampleStatus::NoSurface;
    if (surface.bitmap().bitCount() == 24) {
        // A pixel buffer loaded from a scratch bitmap of a 24-bit surface holds exactly the
        // surface's pixels, so the encoder samples the surface itself: the same JPEG without
        // writing the bitmap, reading it back and copying the pixels twice.
        sampled = jpeg->SampleHDC(surface.hdc(), surface.width(), surface.height(), 0, 0);
    } else {
        const std::filesystem::path scratch = pathIn(applicationFolder, kScratchBitmapName);
        SavePicture(surface.bitmap(), scratch);
        std::unique_ptr<Picture> picture = LoadPicture(scratch);
        auto image = std::make_unique<cImage>();
        if (!image->CopyStdPicture(*picture))
            exportFailed(jpegPath, "the surface cannot be copied into a pixel buffer");
        picture.reset();
        sampled = jpeg->SampleHDC(image->hDC(), image->Width(), image->Height(), 0, 0);
    }
    if (sampled != cJpeg::SampleStatus::Sampled)
        exportFailed(jpegPath, "not enough memory to sample the picture");
    switch (jpeg->SaveFile(jpegPath)) {
    case cJpeg::SaveStatus::Written: return;
    case cJpeg::SaveStatus::NoFileName: exportFailed(jpegPath, "no file name");
    case cJpeg::SaveStatus::FileExists: exportFailed(jpegPath, "a file of this name appeared during the export");
    }
}

}  // namespace tav
