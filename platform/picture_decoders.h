// The decoders behind LoadPicture: each turns a whole file's bytes into a bitmap or throws
// RunTimeError(kErrInvalidPicture, problem) with a short description of the problem (the
// caller adds the file name). None allocates pixel memory before the size passed
// checkPictureSize.
#pragma once

#include "dib.h"

#include <cstdint>
#include <memory>
#include <span>

namespace tav {

enum class PictureFormat { Unknown, Bmp, Gif, Jpeg, Png };

PictureFormat sniffPictureFormat(std::span<const std::uint8_t> head);

// Throws the invalid-picture error when the size is not positive or over the limits.
void checkPictureSize(std::int64_t width, std::int64_t height);
[[noreturn]] void invalidPicture(const char* problem);

std::unique_ptr<DIBSection> decodeBmp(std::span<const std::uint8_t> data);
std::unique_ptr<DIBSection> decodeGif(std::span<const std::uint8_t> data);
std::unique_ptr<DIBSection> decodeJpeg(std::span<const std::uint8_t> data);
std::unique_ptr<DIBSection> decodePng(std::span<const std::uint8_t> data);

}  // namespace tav
