// The scaling and cutting of a picture into the images of the production table: the drawing
// surfaces they are drawn on, and the two operations that fill them.
//
// The picture's size is read from its header first (so a missing or broken file is reported
// by the header reader as before), then the picture is decoded and scaled without keeping its
// aspect ratio by a HALFTONE stretch of the whole picture onto the full-size surface; the parts
// are bit-block copies of its rectangles, in table order. The picture is decoded row by row
// straight into the stretch, never held whole.
#pragma once

#include "app/production_table.h"
#include "image/cls_image.h"
#include "platform/memory_surface.h"
#include "platform/picture_reader.h"

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tav {

// The text of the out-of-memory error (7) that LogoCutter raises when the memory for a drawing
// surface cannot be had.
inline constexpr const char* kNoSurfaceMemoryText = "not enough memory for the drawing surfaces";

// Owns the surfaces of the rows of the production table and the image-information reader.
// Kept by the logo run; each cut overwrites the surfaces it fills. A run uses the logo or the
// surfaces of one season (at most 6 MB of the 15 MB of them all), so each surface is made,
// black, at its first use: the logo at the first startup-logo cut, a season's full image and
// parts together at the first loading-screen cut of that season, or at the first access to one
// of them. A surface that cannot be had raises RunTimeError 7 (kNoSurfaceMemoryText) from that
// cut or accessor, before anything is read or drawn.
class LogoCutter {
public:
    LogoCutter() = default;

    // Scales the picture at `path` onto the logo surface (the startup logo, whatever the
    // season). Throws RunTimeError when the picture cannot be read: the header reader's
    // errors (53 missing file, 75 unreadable path, 9 short header, 6 depth overflow) and the
    // picture loader's (481 and the like). After a failure the logo surface is black. Throws
    // RunTimeError 7 when the logo surface cannot be had.
    void CutStartupLogo(const std::filesystem::path& path);

    // Scales the picture onto the full-image surface of `season` and cuts it onto that
    // season's part surfaces. A season outside the table does nothing. Errors as above; after a
    // failure the season's full-image and part surfaces are black.
    void CutLoadingScreen(SeasonIndex season, const std::filesystem::path& path);

    const MemorySurface& logoSurface() const { return logo(); }
    // `season` must be a season of the table, `part` an index into its parts (error 9,
    // subscript out of range, otherwise).
    const MemorySurface& fullImageSurface(SeasonIndex season) const;
    const MemorySurface& partSurface(SeasonIndex season, int part) const;

    const clsImage& imageInfo() const { return m_imageInfo; }

    // How a JPEG picture is decoded for the stretch: by default one at least twice the target
    // size on both axes is decoded at 1/2, 1/4 or 1/8 scale first (see platform/picture_reader.h),
    // which changes the result slightly (more than 40 dB PSNR against full decoding).
    void setJpegScaling(JpegScaling scaling) { m_jpegScaling = scaling; }

    // How the picture is shown before it is scaled: turned upright by its orientation tag and
    // composed onto white by default (platform/picture_decoders.h).
    void setPictureOptions(const PictureOptions& options) { m_pictureOptions = options; }
    // What the last cut passed over in the picture (a damaged colour profile, say).
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    struct SeasonSurfaces {
        std::unique_ptr<MemorySurface> fullImage;
        std::vector<std::unique_ptr<MemorySurface>> parts;
    };

    // The surfaces, made when first asked for. Lazily made state, hence mutable: the accessors
    // stay const for the callers that only read the pixels.
    MemorySurface& logo() const;
    SeasonSurfaces& seasonSurfaces(SeasonIndex season) const;

    // Reads the header, then scales the picture onto `target` (its whole surface), reading the
    // picture row by row.
    void scaleOnto(MemorySurface& target, const std::filesystem::path& path);

    clsImage m_imageInfo;
    JpegScaling m_jpegScaling = JpegScaling::Reduced;
    PictureOptions m_pictureOptions;
    std::vector<std::string> m_warnings;
    mutable std::unique_ptr<MemorySurface> m_logo;
    mutable std::array<SeasonSurfaces, kSeasonCount> m_seasons;
};

}  // namespace tav
