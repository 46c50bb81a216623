// UTF-8 decoding (RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF) and the
// mapping of Unicode to code page 1252 (the published best-fit table's exact part: ASCII and
// U+00A0..U+00FF map to themselves, 27 characters such as the euro sign live in 0x80..0x9F,
// and the five unassigned bytes 0x81, 0x8D, 0x8F, 0x90, 0x9D round-trip their C1 controls).
#include "jpeg/comment_text.h"

#include <array>
#include <utility>

namespace tav {

namespace {

// Decodes one code point at text[i]; returns it and its length, or -1 and 1 for a byte that
// does not start a valid sequence.
std::pair<std::int32_t, std::size_t> decodeOne(std::string_view text, std::size_t i)
{
    const auto lead = std::uint8_t(text[i]);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    std::int32_t value = 0;
    std::int32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return {-1, 1};
    }
    if (i + length > text.size())
        return {-1, 1};
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = std::uint8_t(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return {-1, 1};
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return {-1, 1};
    return {value, length};
}

// Code page 1252, bytes 0x80 to 0x9F.
constexpr std::array<std::uint16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  //
};

std::optional<std::uint8_t> byteFor(std::int32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return std::uint8_t(codePoint);
    for (std::size_t k = 0; k < kHighControls.size(); ++k) {
        if (kHighControls[k] == codePoint)
            return std::uint8_t(0x80 + k);
    }
    return std::nullopt;
}

}  // namespace

std::size_t characterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size(); ++count)
        i += decodeOne(utf8, i).second;
    return count;
}

std::optional<std::vector<std::uint8_t>> toCodePage1252(std::string_view utf8)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [codePoint, length] = decodeOne(utf8, i);
        if (codePoint < 0)
            return std::nullopt;
        const std::optional<std::uint8_t> byte = byteFor(codePoint);
        if (!byte)
            return std::nullopt;
        bytes.push_back(*byte);
        i += length;
    }
    return bytes;
}

}  // namespace tav
