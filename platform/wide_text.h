// UTF-8, the program's text everywhere, to and from UTF-16, the text of the Windows wide calls.
// Windows only (wide_text_windows.cpp): elsewhere no system call takes UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace tav {

// Invalid UTF-8 becomes U+FFFD, as the system's own conversion does.
std::wstring toWide(std::string_view utf8);
// An unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::wstring_view wide);

}  // namespace tav
