// Comment text: the caller's UTF-8 string, counted in characters and written one byte per
// character in the Windows "ANSI" code page 1252, the single-byte code page the file format's
// comments have always been written in by this encoder.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tav {

// Number of characters (code points) of a UTF-8 string; a byte that does not begin or
// continue a valid sequence counts as one character.
std::size_t characterCount(std::string_view utf8);

// The bytes of the text in code page 1252, or nothing when the text is not valid UTF-8 or
// holds a character that code page has no single byte for.
std::optional<std::vector<std::uint8_t>> toCodePage1252(std::string_view utf8);

}  // namespace tav
