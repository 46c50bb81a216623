/* The Windows program's resources: their ids, read by the resource compiler for tavrenix.rc
   too (so they are plain macros, and the C++ part is hidden from it), and the access to the
   built-in artwork. */
#ifndef TAVRENIX_APP_WIN32_RESOURCES_H
#define TAVRENIX_APP_WIN32_RESOURCES_H

/* The shell shows a program's icon group of the lowest id; 1 is also the id of the manifest. */
#define TAVRENIX_ICON_ID 1
#define TAVRENIX_BACKGROUND_JPEG_ID 101
#define TAVRENIX_PLACEHOLDER_PNG_ID 102

#ifndef RC_INVOKED

#include <cstdint>
#include <optional>
#include <span>

namespace tav {

inline constexpr int kIconResource = TAVRENIX_ICON_ID;                   // assets/icon.ico
inline constexpr int kBackgroundResource = TAVRENIX_BACKGROUND_JPEG_ID;  // assets/background.jpg
inline constexpr int kPlaceholderResource = TAVRENIX_PLACEHOLDER_PNG_ID; // assets/placeholder.png

// The bytes of the running program's RCDATA resource `id`, mapped with the program and valid
// as long as it runs; nothing when it carries no such resource.
std::optional<std::span<const std::uint8_t>> resourceBytes(int id);

}  // namespace tav

#endif
#endif
