// The decoders behind LoadPicture: each turns a whole file's bytes into a bitmap or throws
// RunTimeError(kErrInvalidPicture, problem) with a short description of the problem (the
// caller adds the file name). None allocates pixel memory before the size passed
// checkPictureSize.
//
// What every decoder hands back is what a viewer shows, except for the orientation: colours
// converted to sRGB when the file carries a colour profile (colour_profile.h), transparency
// composed onto the background of the options (transparency.h). The file's orientation is
// reported, not applied, so that the loader applies it once for every format (orientation.h).
#pragma once

#include "dib.h"
#include "gdi_types.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tav {

enum class PictureFormat { Unknown, Bmp, Gif, Jpeg, Png, Tiff, Webp };

// Tells the format by the signature at the start of the file: the first
// kPictureSignatureBytes bytes are all it reads.
inline constexpr std::size_t kPictureSignatureBytes = 16;
PictureFormat sniffPictureFormat(std::span<const std::uint8_t> head);

// The formats the decoders read, as a refusal names them.
inline constexpr const char* kReadablePictureFormats = "JPEG, PNG, GIF, BMP, WebP and TIFF";

// For a file in a common format this program does not read, what it is ("a HEIC picture",
// "an SVG drawing"); null otherwise. `head` is the start of the file, the more the better (an
// SVG drawing is looked for in its first 4 KB).
const char* foreignPictureFormat(std::span<const std::uint8_t> head);

// How a picture is turned into the pixels a viewer shows.
struct PictureOptions {
    // Turn the pixels upright as the file's orientation tag says; false keeps them as stored.
    bool applyOrientation = true;
    // What transparent pixels are composed onto.
    COLORREF background = RGB(255, 255, 255);
};

// A decoded file.
struct DecodedPicture {
    std::unique_ptr<DIBSection> bitmap;
    // The file's orientation tag (1 to 8, as Exif numbers them; 1 when there is none or it is
    // not one of those), not yet applied to the bitmap.
    int orientation = 1;
    // What was passed over and the user may want to know, worded to follow the file name ("its
    // colour profile is damaged and was ignored").
    std::vector<std::string> warnings;
};

// Throws the invalid-picture error when the size is not positive or over the limits.
void checkPictureSize(std::int64_t width, std::int64_t height);
[[noreturn]] void invalidPicture(const char* problem);

DecodedPicture decodeBmp(std::span<const std::uint8_t> data, const PictureOptions& options = {});

// Where an uncompressed 24-bit BMP keeps its rows, for reading them from the file in place.
struct BmpRows24 {
    int width = 0;
    int height = 0;
    bool topDown = false;
    std::uint64_t pixelOffset = 0;  // of the first row in the file
    std::uint64_t stride = 0;
};
// Nothing for any other kind of BMP, for a damaged one, or when `head` (the file's first bytes)
// does not reach the pixels or the file of `fileSize` bytes is too short for its rows: then
// decodeBmp on the whole file gives the picture or the precise error. Never throws.
std::optional<BmpRows24> plainBmpRows24(std::span<const std::uint8_t> head, std::uint64_t fileSize);

DecodedPicture decodeGif(std::span<const std::uint8_t> data, const PictureOptions& options = {});
DecodedPicture decodeJpeg(std::span<const std::uint8_t> data, const PictureOptions& options = {});
DecodedPicture decodePng(std::span<const std::uint8_t> data, const PictureOptions& options = {});
// First page; strips or tiles, 1 to 16 bits, grey, RGB, palette, CMYK, with or without alpha.
DecodedPicture decodeTiff(std::span<const std::uint8_t> data, const PictureOptions& options = {});
// First frame of a lossy or lossless, still or animated WebP.
DecodedPicture decodeWebp(std::span<const std::uint8_t> data, const PictureOptions& options = {});

}  // namespace tav
