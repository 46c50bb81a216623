// Scaling and cutting onto the drawing surfaces.
//
// Two faults of the plain algorithm are avoided here:
//  - A picture the loader cannot decode used to leave the previous picture on the surfaces, so
//    a run could write the wrong picture under the new one's names. A cut that fails now blanks
//    every surface it fills and raises the failure to the caller; one that succeeds writes
//    every pixel, so nothing of an earlier picture is left either way.
//  - The header's size was the source rectangle of the stretch. Its 16-bit readers make a
//    top-down BMP's height and a PNG's width of 32768 or more negative, and a header of an
//    unknown format gives 0, so the stretch drew nothing or a mirrored image. The whole decoded
//    picture is the source of the stretch, whatever its header says.
#include "app/logo_cutter.h"
#include "platform/program_environment.h"

#include "platform/file_access.h"
#include "platform/picture_reader.h"
#include "platform/run_time_error.h"
#include "platform/stretch.h"
#include "platform/transfer.h"

#include <cstring>
#include <optional>
#include <string>

namespace tav {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCannotScale = "the picture could not be scaled";
constexpr const char* kCannotCut = "the picture could not be cut into its parts";

[[noreturn]] void cutFailed(const fs::path& path, const char* problem)
{
    throw RunTimeError(kErrInvalidPicture, utf8(path) + ": " + problem);
}

}  // namespace

namespace {

// An off-screen 24-bit surface, black.
std::unique_ptr<MemorySurface> makeSurface(int width, int height)
{
    std::unique_ptr<MemorySurface> surface = MemorySurface::create(width, height, 24);
    if (!surface)
        throw RunTimeError(kErrOutOfMemory, kNoSurfaceMemoryText);
    return surface;
}

void blacken(MemorySurface& surface) { std::memset(surface.bitmap().bits(), 0, surface.bitmap().sizeImage()); }

}  // namespace

MemorySurface& LogoCutter::logo() const
{
    if (!m_logo) {
        const StartupLogoLayout& layout = startupLogoLayout();
        m_logo = makeSurface(layout.width, layout.height);
    }
    return *m_logo;
}

LogoCutter::SeasonSurfaces& LogoCutter::seasonSurfaces(SeasonIndex season) const
{
    if (!isSeason(season))
        raiseSubscriptOutOfRange();
    SeasonSurfaces& surfaces = m_seasons[std::size_t(season)];
    if (surfaces.fullImage)
        return surfaces;
    // All of the season or none, so a season's surfaces are either all there or all made again.
    const SeasonLayout& layout = seasonLayout(season);
    SeasonSurfaces made;
    made.fullImage = makeSurface(layout.fullWidth, layout.fullHeight);
    for (const PartLayout& part : layout.parts)
        made.parts.push_back(makeSurface(part.width, part.height));
    surfaces = std::move(made);
    return surfaces;
}

const MemorySurface& LogoCutter::fullImageSurface(SeasonIndex season) const
{
    return *seasonSurfaces(season).fullImage;
}

const MemorySurface& LogoCutter::partSurface(SeasonIndex season, int part) const
{
    const auto& parts = seasonSurfaces(season).parts;
    if (part < 0 || std::size_t(part) >= parts.size())
        raiseSubscriptOutOfRange();
    return *parts[std::size_t(part)];
}

void LogoCutter::scaleOnto(MemorySurface& target, const fs::path& path)
{
    // Opened once: the header and the pixels are read from the same file, even if another
    // takes its name meanwhile. The header's errors (a missing file above all) reach the caller
    // as they are, with the file named.
    m_warnings.clear();
    std::optional<InputFile> file;
    try {
        file.emplace(path);
        m_imageInfo.ReadImageInfo(*file);
    } catch (const RunTimeError& e) {
        throw RunTimeError(e.number(), utf8(path) + ": " + describeReadError(e, m_imageInfo));
    }

    // The whole decoded picture is the source rectangle, whatever the header said (see the top
    // of this file). Rows are decoded as the stretch needs them and dropped after it.
    const std::unique_ptr<PictureReader> reader =
        PictureReader::open(std::move(*file), target.width(), target.height(), m_jpegScaling, m_pictureOptions);
    m_warnings = reader->warnings();
    // The surface keeps the platform's halftone mode, as the stretch it stands for sets it.
    if (!SetStretchBltMode(target.hdc(), HALFTONE) || !StretchPicture(*reader, target.bitmap()))
        cutFailed(path, kCannotScale);
}

void LogoCutter::CutStartupLogo(const fs::path& path)
{
    MemorySurface& target = logo();
    // A cut that succeeds writes every pixel, so the surface is cleared only when one fails.
    try {
        scaleOnto(target, path);
    } catch (...) {
        blacken(target);
        throw;
    }
}

void LogoCutter::CutLoadingScreen(SeasonIndex season, const fs::path& path)
{
    if (!isSeason(season))
        return;
    const SeasonLayout& layout = seasonLayout(season);
    SeasonSurfaces& surfaces = seasonSurfaces(season);
    MemorySurface& full = *surfaces.fullImage;
    auto& parts = surfaces.parts;
    const auto clearAll = [&] {
        blacken(full);
        for (auto& part : parts)
            blacken(*part);
    };

    // The stretch writes every pixel of the full image and the parts tile it, so a cut that
    // succeeds overwrites everything; the surfaces are cleared only when one fails.
    try {
        scaleOnto(full, path);
        for (std::size_t i = 0; i < layout.parts.size(); ++i) {
            const PartLayout& rect = layout.parts[i];
            if (!BitBlt(parts[i]->hdc(), 0, 0, rect.width, rect.height, full.hdc(), rect.x, rect.y, SRCCOPY))
                cutFailed(path, kCannotCut);
        }
    } catch (...) {
        clearAll();
        throw;
    }
}

}  // namespace tav
