// Comment text: character counting and the conversion to code page 1252.
#include "jpeg/comment_text.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

TEST(CommentText, CountsCharactersNotBytes)
{
    const struct {
        const char* text;
        std::size_t characters;
    } rows[] = {
        {"", 0}, {"abc", 3}, {"caf\xC3\xA9", 4}, {"\xE2\x82\xAC", 1}, {"\xF0\x9F\x98\x80", 1},
        {"\xFF\xFE", 2},  // invalid bytes count one each
        {"\xC3", 1},  // truncated sequence
        {"\xE2\x82x", 3},  // broken sequence
    };
    for (const auto& row : rows)
        EXPECT_EQ(characterCount(row.text), row.characters) << row.text;
}

TEST(CommentText, ConvertsToCodePage1252)
{
    using Bytes = std::vector<std::uint8_t>;
    const struct {
        const char* text;
        std::optional<Bytes> bytes;
    } rows[] = {
        {"Tavrenix 1.0", Bytes{'T', 'a', 'v', 'r', 'e', 'n', 'i', 'x', ' ', '1', '.', '0'}},
        {"\xC3\xA9\xC3\xBF\xC2\xA0", Bytes{0xE9, 0xFF, 0xA0}},  // U+00E9, U+00FF, U+00A0
        {"\xE2\x82\xAC\xE2\x80\x9C\xC5\xB8", Bytes{0x80, 0x93, 0x9F}},  // euro, left quote, Y diaeresis
        {"\xC2\x81", Bytes{0x81}},  // unassigned byte keeps its control
        {"\xC2\x80", std::nullopt},  // U+0080 has no byte
        {"\xCE\xB1", std::nullopt},  // Greek alpha
        {"\xF0\x9F\x98\x80", std::nullopt},  // emoji
        {"\xE9", std::nullopt},  // not UTF-8
        {"\xC0\xAF", std::nullopt},  // overlong
        {"\xED\xA0\x80", std::nullopt},  // surrogate
    };
    for (const auto& row : rows)
        EXPECT_EQ(toCodePage1252(row.text), row.bytes) << row.text;
}

}  // namespace
}  // namespace tav
