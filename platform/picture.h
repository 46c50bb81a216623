// Picture objects: a file decoded into a bitmap of the file's own pixel size, and a bitmap
// saved as a 24-bit BMP file.
//
// Formats: JPEG (libjpeg-turbo), GIF (giflib, first frame), PNG (libpng), BMP (own reader),
// WebP (libwebp, first frame) and TIFF (libtiff, first page). The bitmap is what a viewer shows: turned upright by the file's orientation tag,
// colours converted to sRGB by its colour profile, transparency composed onto the background
// (PictureOptions, picture_decoders.h).
// Depth of the loaded bitmap: a BMP keeps its file depth (1, 4, 8, 16, 24, 32; RLE8 gives 8,
// RLE4 gives 4, bit fields give 24 unless they are the plain 5-5-5 layout at 16 bits or the
// plain 8-8-8 BGRX layout at 32, and so does an alpha mask); the others give 24 bits (a GIF
// or an animated WebP is its first image on its canvas).
#pragma once

#include "gdi_types.h"
#include "picture_decoders.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tav {

class InputFile;

class Picture {
public:
    explicit Picture(std::unique_ptr<DIBSection> bitmap, std::vector<std::string> warnings = {});
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // The picture's bitmap, owned by the picture.
    HBITMAP Handle() const { return m_bitmap.get(); }
    int width() const;
    int height() const;
    // What was passed over while decoding (a damaged colour profile, say).
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    std::unique_ptr<DIBSection> m_bitmap;
    std::vector<std::string> m_warnings;
};

// Pictures larger than this are refused before any pixel memory is allocated.
inline constexpr std::int64_t kMaxPicturePixels = 200'000'000;
inline constexpr std::int64_t kMaxPictureSide = 65535;

// Decodes a picture file. Throws RunTimeError: 53 when the file does not exist, 75 when it
// cannot be read, 481 for a file that is not a picture this program reads, malformed,
// truncated or too large; the message names the file and the problem (and, for a picture in a
// format it does not read, the format: "photo.heic is a HEIC picture; ...").
std::unique_ptr<Picture> LoadPicture(const std::filesystem::path& path, const PictureOptions& options = {});
// The same for a file already open, read from its start.
std::unique_ptr<Picture> LoadPicture(const InputFile& file, const PictureOptions& options = {});


// Writes the bitmap's exact pixels as a bottom-up 24-bit BMP. Throws RunTimeError 75 when
// the file cannot be written (nothing is left behind then).
void SavePicture(const DIBSection& bitmap, const std::filesystem::path& path);

}  // namespace tav
