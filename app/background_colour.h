// The colour transparent pixels are composed onto, as the user names it: one of the sixteen
// basic colour names of HTML (and "grey" for "gray"), in any case, or #RRGGBB.
#pragma once

#include "platform/gdi_types.h"

#include <optional>
#include <string_view>

namespace tav {

std::optional<COLORREF> parseBackgroundColour(std::string_view text);

// What parseBackgroundColour accepts, for a refusal or a help text.
inline constexpr const char* kBackgroundColourForms =
    "a colour name (white, black, silver, gray, red, maroon, yellow, olive, lime, green, aqua, teal, blue, navy, "
    "fuchsia, purple) or #RRGGBB";

}  // namespace tav
