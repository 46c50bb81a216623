// Where a run keeps its intermediate files (the JPEG of each image before it is wrapped, and
// the export's scratch bitmap, which only a surface that is not 24 bits deep needs; the logo
// run's surfaces are all 24-bit, so it writes none): the folder of the executable when it can be written,
// otherwise the program's private folder under the user's cache folder (privateCacheFolder),
// created when needed.
#pragma once

#include "platform/file_access.h"

#include <filesystem>

namespace tav {

// `preferred` when a file can be made in it, else the cache fallback. Throws RunTimeError 75
// when neither can be used.
std::filesystem::path applicationFolder(const std::filesystem::path& preferred);

}  // namespace tav
