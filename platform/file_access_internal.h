// What the system-specific halves of the file module share.
#pragma once

#include <filesystem>
#include <string>

namespace tav::file_access {

// Error 75 with the standard text and the reason: "Path/File access error: is a folder, not a file".
[[noreturn]] void accessError(const std::string& reason);
// A destination's errors name the file and the reason only: "IntroLogo.ozj: is a folder, not a file".
[[noreturn]] void destinationError(const std::filesystem::path& path, const std::string& reason);
// Error 75 naming the file with the standard text: "<path>: Path/File access error".
[[noreturn]] void newFileError(const std::filesystem::path& path);

// The file a chain of symbolic links at `path` ends in (`path` itself when it is no link):
// replacing a file writes through the links, so a link stays a link.
std::filesystem::path linkTarget(const std::filesystem::path& path);

inline constexpr const char* kFolderReason = "is a folder, not a file";
inline constexpr const char* kNotRegularReason = "is not a regular file (a pipe, device or socket)";

}  // namespace tav::file_access
