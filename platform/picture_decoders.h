// The decoders behind LoadPicture: each turns a whole file's bytes into a bitmap or throws
// RunTimeError(kErrInvalidPicture, problem) with a short description of the problem (the
// caller adds the file name). None allocates pixel memory before the size passed
// checkPictureSize.
#pragma once

#include "dib.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>

namespace tav {

enum class PictureFormat { Unknown, Bmp, Gif, Jpeg, Png };

// Tells the format by the signature at the start of the file: the first
// kPictureSignatureBytes bytes are all it reads.
inline constexpr std::size_t kPictureSignatureBytes = 8;
PictureFormat sniffPictureFormat(std::span<const std::uint8_t> head);

// Throws the invalid-picture error when the size is not positive or over the limits.
void checkPictureSize(std::int64_t width, std::int64_t height);
[[noreturn]] void invalidPicture(const char* problem);

std::unique_ptr<DIBSection> decodeBmp(std::span<const std::uint8_t> data);

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

std::unique_ptr<DIBSection> decodeGif(std::span<const std::uint8_t> data);
std::unique_ptr<DIBSection> decodeJpeg(std::span<const std::uint8_t> data);
std::unique_ptr<DIBSection> decodePng(std::span<const std::uint8_t> data);

}  // namespace tav
