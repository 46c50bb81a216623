// UTF-8 and UTF-16 through the system's own conversion (MultiByteToWideChar and
// WideCharToMultiByte with the UTF-8 code page), so that text the program hands to a wide call
// reads back as the same bytes.
#include "wide_text.h"

#include <climits>

#include <windows.h>

namespace tav {

namespace {

// The conversion calls count in int; longer text is converted in pieces. A piece of UTF-8 must
// not end inside a character, nor a piece of UTF-16 between the halves of a surrogate pair.
constexpr std::size_t kPiece = INT_MAX / 4;

std::size_t utf8PieceEnd(std::string_view text, std::size_t start)
{
    std::size_t end = start + kPiece;
    if (end >= text.size())
        return text.size();
    // A character is at most four bytes: back over up to three continuation bytes.
    for (int back = 0; back < 3 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++back)
        --end;
    return end;
}

std::size_t utf16PieceEnd(std::wstring_view text, std::size_t start)
{
    std::size_t end = start + kPiece;
    if (end >= text.size())
        return text.size();
    if (text[end] >= 0xDC00 && text[end] <= 0xDFFF)
        --end;
    return end;
}

}  // namespace

std::wstring toWide(std::string_view utf8)
{
    std::wstring wide;
    for (std::size_t start = 0; start < utf8.size();) {
        const std::size_t end = utf8PieceEnd(utf8, start);
        const int bytes = int(end - start);
        const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data() + start, bytes, nullptr, 0);
        const std::size_t used = wide.size();
        wide.resize(used + std::size_t(units > 0 ? units : 0));
        if (units > 0)
            MultiByteToWideChar(CP_UTF8, 0, utf8.data() + start, bytes, wide.data() + used, units);
        start = end;
    }
    return wide;
}

std::string toUtf8(std::wstring_view wide)
{
    std::string utf8;
    for (std::size_t start = 0; start < wide.size();) {
        const std::size_t end = utf16PieceEnd(wide, start);
        const int units = int(end - start);
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data() + start, units, nullptr, 0, nullptr, nullptr);
        const std::size_t used = utf8.size();
        utf8.resize(used + std::size_t(bytes > 0 ? bytes : 0));
        if (bytes > 0)
            WideCharToMultiByte(CP_UTF8, 0, wide.data() + start, units, utf8.data() + used, bytes, nullptr, nullptr);
        start = end;
    }
    return utf8;
}

}  // namespace tav
