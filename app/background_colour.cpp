// Background colours by name or by value.
#include "app/background_colour.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace tav {

namespace {

struct NamedColour {
    std::string_view name;
    COLORREF colour;
};

constexpr std::array<NamedColour, 17> kNamedColours = {{
    {"white", RGB(255, 255, 255)},
    {"black", RGB(0, 0, 0)},
    {"silver", RGB(192, 192, 192)},
    {"gray", RGB(128, 128, 128)},
    {"grey", RGB(128, 128, 128)},
    {"red", RGB(255, 0, 0)},
    {"maroon", RGB(128, 0, 0)},
    {"yellow", RGB(255, 255, 0)},
    {"olive", RGB(128, 128, 0)},
    {"lime", RGB(0, 255, 0)},
    {"green", RGB(0, 128, 0)},
    {"aqua", RGB(0, 255, 255)},
    {"teal", RGB(0, 128, 128)},
    {"blue", RGB(0, 0, 255)},
    {"navy", RGB(0, 0, 128)},
    {"fuchsia", RGB(255, 0, 255)},
    {"purple", RGB(128, 0, 128)},
}};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

std::optional<COLORREF> parseBackgroundColour(std::string_view text)
{
    if (text.size() == 7 && text[0] == '#') {
        int channel[3];
        for (int i = 0; i < 3; ++i) {
            const int high = hexDigit(text[std::size_t(1 + 2 * i)]);
            const int low = hexDigit(text[std::size_t(2 + 2 * i)]);
            if (high < 0 || low < 0)
                return std::nullopt;
            channel[i] = high * 16 + low;
        }
        return RGB(std::uint8_t(channel[0]), std::uint8_t(channel[1]), std::uint8_t(channel[2]));
    }
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const NamedColour& named : kNamedColours) {
        if (named.name == lower)
            return named.colour;
    }
    return std::nullopt;
}

}  // namespace tav
