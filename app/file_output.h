// Writing a file so that it is either there whole or not changed at all: the bytes go to a
// temporary file in the destination's own folder, which is renamed over the destination only
// once everything is written. An older file of the same name is replaced whole or
// left as it was, never truncated, half-written or left with stale bytes at its end.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace tav {

// Throws RunTimeError 75 naming the file and the reason when it cannot be written (the
// temporary file is removed then).
void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// The whole file. Throws RunTimeError 53 when it does not exist, 75 when it cannot be read.
std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path);

}  // namespace tav
