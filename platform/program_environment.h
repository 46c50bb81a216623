// What a program gets from the system it starts on: its arguments, and a console that shows
// what it prints. On Windows the arguments arrive as UTF-16 and the console has its own code
// page; everywhere else they are bytes already, UTF-8 by convention.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

// The program's arguments (its name first) as UTF-8.
std::vector<std::string> programArguments(int argc, char** argv);

// Makes the console show the UTF-8 the program prints.
void useUtf8Console();

// A path from the program's UTF-8 text and back. A path's plain string() is in the system's
// narrow encoding, which on Windows is a code page that cannot spell most names.
inline std::filesystem::path pathFromUtf8(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace tav
