// The OZJ container, the game client's image file: a copy of the JPEG's first 24 bytes
// followed by the whole JPEG, byte for byte. There is no field of its own: no magic number,
// length or checksum.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace tav {

inline constexpr std::size_t kOzjHeaderSize = 24;

// The container of a JPEG stream. Throws RunTimeError 321 for a stream shorter than 24 bytes.
std::vector<std::uint8_t> wrapOzj(std::span<const std::uint8_t> jpeg);

// The JPEG inside a container. Throws RunTimeError 321 unless the bytes are a JPEG (starting
// with the start-of-image marker) behind a copy of its own first 24 bytes.
std::vector<std::uint8_t> unwrapOzj(std::span<const std::uint8_t> ozj);

// Writes the container of the JPEG file at `jpegPath` to `ozjPath` (replacing an existing file
// whole, never leaving a half-written one), then deletes the JPEG file. Throws RunTimeError
// (53, 75, 321) naming the file when a step fails; the JPEG is deleted only after the
// container is in place.
void WriteOzj(const std::filesystem::path& jpegPath, const std::filesystem::path& ozjPath);

}  // namespace tav
